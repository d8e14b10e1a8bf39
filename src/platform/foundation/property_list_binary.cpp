// Binary property lists ("bplist00"): a header, the objects, an offset table and a 32-byte trailer.
// The reader trusts nothing in the file: every offset, count and reference is checked against the
// object area before it is used, nesting is bounded, cycles are refused, and the number of values
// a file may expand to is bounded, so that shared sub-trees cannot multiply into an endless read.

#include "platform/foundation/property_list_formats.h"

#include <QTimeZone>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>

namespace kx {

namespace {

constexpr char kMagic[] = "bplist00";
constexpr qsizetype kHeaderSize = 8;
constexpr qsizetype kTrailerSize = 32;

// Object markers: the high nibble is the type, the low nibble a size or a count.
enum Marker : quint8 {
    kNullOrBool = 0x0,
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAsciiString = 0x5,
    kUtf16String = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kSet = 0xC,
    kDictionary = 0xD,
};

int bytesFor(quint64 v) {
    return v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFFFFull ? 4 : 8;
}

void appendBigEndian(QByteArray& out, quint64 v, int size) {
    for (int i = size - 1; i >= 0; --i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void appendInteger(QByteArray& out, std::int64_t v) {
    if (v < 0) {
        out.append(char(kInteger << 4 | 3));
        appendBigEndian(out, quint64(v), 8);
        return;
    }
    const int size = bytesFor(quint64(v));
    out.append(char(kInteger << 4 | std::countr_zero(unsigned(size))));
    appendBigEndian(out, quint64(v), size);
}

void appendMarker(QByteArray& out, quint8 type, quint64 count) {
    if (count < 15) {
        out.append(char(type << 4 | count));
    } else {
        out.append(char(type << 4 | 0xF));
        appendInteger(out, std::int64_t(count));
    }
}

void appendDouble(QByteArray& out, double d) {
    appendBigEndian(out, std::bit_cast<quint64>(d), 8);
}

QByteArray encodeString(const QString& s) {
    QByteArray out;
    const bool ascii = std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        appendMarker(out, kAsciiString, quint64(s.size()));
        out.append(s.toLatin1());
    } else {
        appendMarker(out, kUtf16String, quint64(s.size()));
        for (QChar c : s)
            appendBigEndian(out, c.unicode(), 2);
    }
    return out;
}

class BinaryWriter {
public:
    QByteArray write(const Value& root, QString* error) {
        if (!add(root)) {
            if (error)
                *error = m_error;
            return {};
        }
        const quint64 count = m_entries.size();
        const int refSize = bytesFor(count - 1);
        QByteArray out(kMagic, kHeaderSize);
        std::vector<quint64> offsets;
        offsets.reserve(count);
        for (const Entry& e : m_entries) {
            offsets.push_back(quint64(out.size()));
            out.append(e.bytes);
            for (quint64 ref : e.refs)
                appendBigEndian(out, ref, refSize);
        }
        const quint64 tableOffset = quint64(out.size());
        const int offsetSize = bytesFor(offsets.back());
        for (quint64 offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out.append(QByteArray(6, '\0'));  // five unused bytes and the sort version
        out.append(char(offsetSize));
        out.append(char(refSize));
        appendBigEndian(out, count, 8);
        appendBigEndian(out, 0, 8);  // the top object is written first
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

private:
    // One object: its encoded bytes, then (for containers) its references, written once sizes are known.
    struct Entry {
        QByteArray bytes;
        std::vector<quint64> refs;
    };

    std::optional<quint64> add(const Value& v) {
        using T = Value::Type;
        QByteArray bytes;
        switch (v.type()) {
        case T::Nil: m_error = QStringLiteral("a property list cannot hold nil"); return std::nullopt;
        case T::Object:
            m_error =
                QStringLiteral("a property list cannot hold an object of class %1").arg(v.toObject()->className());
            return std::nullopt;
        case T::Bool: bytes.append(char(v.toBool() ? 0x09 : 0x08)); break;
        case T::Integer: appendInteger(bytes, v.toInteger()); break;
        case T::Real:
            if (v.isFloat()) {
                bytes.append(char(kReal << 4 | 2));
                appendBigEndian(bytes, std::bit_cast<quint32>(float(v.toDouble())), 4);
            } else {
                bytes.append(char(kReal << 4 | 3));
                appendDouble(bytes, v.toDouble());
            }
            break;
        case T::Date: {
            // Seconds since 2001-01-01 00:00:00 UTC, exactly as held.
            const Date date = v.toExactDate();
            if (!date.isValid()) {
                m_error = QStringLiteral("a property list cannot hold an invalid date");
                return std::nullopt;
            }
            bytes.append(char(kDate << 4 | 3));
            appendDouble(bytes, date.seconds);
            break;
        }
        case T::Data: {
            const QByteArray data = v.toData();
            appendMarker(bytes, kData, quint64(data.size()));
            bytes.append(data);
            break;
        }
        case T::String: bytes = encodeString(v.toString()); break;
        case T::Point: bytes = encodeString(stringFromPoint(v.toPoint())); break;
        case T::Size: bytes = encodeString(stringFromSize(v.toSize())); break;
        case T::Rect: bytes = encodeString(stringFromRect(v.toRect())); break;
        case T::Uid: {
            const quint64 uid = v.toUid().value;
            const int size = bytesFor(uid);
            bytes.append(char(kUid << 4 | (size - 1)));
            appendBigEndian(bytes, uid, size);
            break;
        }
        case T::Array: {
            const quint64 index = reserve();
            const ValueArray& array = v.toArray();
            appendMarker(m_entries[index].bytes, kArray, array.size());
            std::vector<quint64> refs;
            refs.reserve(array.size());
            for (const Value& e : array) {
                const auto ref = add(e);
                if (!ref)
                    return std::nullopt;
                refs.push_back(*ref);
            }
            m_entries[index].refs = std::move(refs);
            return index;
        }
        case T::Dictionary: {
            const quint64 index = reserve();
            const ValueDictionary& dict = v.toDictionary();
            appendMarker(m_entries[index].bytes, kDictionary, dict.size());
            std::vector<quint64> refs;
            refs.reserve(2 * dict.size());
            for (const auto& entry : dict)
                refs.push_back(addScalar(encodeString(entry.first)));
            for (const auto& entry : dict) {
                const auto ref = add(entry.second);
                if (!ref)
                    return std::nullopt;
                refs.push_back(*ref);
            }
            m_entries[index].refs = std::move(refs);
            return index;
        }
        }
        return addScalar(std::move(bytes));
    }

    quint64 reserve() {
        m_entries.emplace_back();
        return m_entries.size() - 1;
    }

    // Equal scalars are stored once; their encodings carry the type, so equal bytes mean equal values.
    quint64 addScalar(QByteArray bytes) {
        const auto found = m_scalars.find(bytes);
        if (found != m_scalars.end())
            return found->second;
        m_entries.push_back(Entry{bytes, {}});
        m_scalars.emplace(std::move(bytes), m_entries.size() - 1);
        return m_entries.size() - 1;
    }

    std::vector<Entry> m_entries;
    std::map<QByteArray, quint64> m_scalars;
    QString m_error;
};

class BinaryReader {
public:
    explicit BinaryReader(const QByteArray& data)
        : m_bytes(reinterpret_cast<const uchar*>(data.constData())),
          m_size(data.size()),
          // A file without shared containers yields at most one value per reference byte; the slack
          // allows honest sharing while bounding the expansion of hostile files.
          m_budget(quint64(data.size()) * 2 + 4096) {}

    std::optional<Value> read(QString* error) {
        Value result;
        if (!readTrailer() || !readObject(m_topObject, 0, &result)) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        return result;
    }

private:
    bool fail(const QString& message) {
        if (m_error.isEmpty())
            m_error = message;
        return false;
    }

    // Caller has checked that [pos, pos + size) lies inside the data.
    quint64 readUnsigned(qsizetype pos, int size) const {
        quint64 v = 0;
        for (int i = 0; i < size; ++i)
            v = (v << 8) | m_bytes[pos + i];
        return v;
    }

    bool readTrailer() {
        if (m_size < kHeaderSize + 1 + kTrailerSize)
            return fail(QStringLiteral("binary property list too short"));
        if (std::memcmp(m_bytes, kMagic, kHeaderSize) != 0)
            return fail(QStringLiteral("not a binary property list"));
        const qsizetype trailer = m_size - kTrailerSize;
        m_offsetSize = m_bytes[trailer + 6];
        m_refSize = m_bytes[trailer + 7];
        m_objectCount = readUnsigned(trailer + 8, 8);
        m_topObject = readUnsigned(trailer + 16, 8);
        const quint64 tableOffset = readUnsigned(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail(QStringLiteral("bad offset or reference size in trailer"));
        if (m_objectCount == 0 || m_topObject >= m_objectCount)
            return fail(QStringLiteral("bad object count or top object in trailer"));
        if (tableOffset < quint64(kHeaderSize + 1) || tableOffset >= quint64(trailer))
            return fail(QStringLiteral("offset table outside the file"));
        if (m_objectCount > (quint64(trailer) - tableOffset) / quint64(m_offsetSize))
            return fail(QStringLiteral("offset table overruns the trailer"));
        m_tableOffset = qsizetype(tableOffset);
        m_inProgress.assign(m_objectCount, false);
        return true;
    }

    bool objectOffset(quint64 index, qsizetype* offset) {
        const quint64 value = readUnsigned(m_tableOffset + qsizetype(index) * m_offsetSize, m_offsetSize);
        if (value < quint64(kHeaderSize) || value >= quint64(m_tableOffset))
            return fail(QStringLiteral("object offset outside the object area"));
        *offset = qsizetype(value);
        return true;
    }

    // Bytes left in the object area from pos on.
    quint64 remaining(qsizetype pos) const { return pos <= m_tableOffset ? quint64(m_tableOffset - pos) : 0; }

    // Reads the count of a data, string or container marker; pos moves past it.
    bool readCount(quint8 info, qsizetype& pos, quint64* count) {
        if (info != 0xF) {
            *count = info;
            return true;
        }
        if (remaining(pos) < 1)
            return fail(QStringLiteral("truncated object count"));
        const quint8 marker = m_bytes[pos];
        const int size = 1 << (marker & 0xF);
        if (marker >> 4 != kInteger || (marker & 0xF) > 3 || remaining(pos + 1) < quint64(size))
            return fail(QStringLiteral("bad object count"));
        *count = readUnsigned(pos + 1, size);
        pos += 1 + size;
        return true;
    }

    bool needBytes(qsizetype pos, quint64 count, quint64 unit) {
        if (count > remaining(pos) / unit)
            return fail(QStringLiteral("object runs past the object area"));
        return true;
    }

    bool readRef(qsizetype pos, quint64* index) {
        *index = readUnsigned(pos, m_refSize);
        if (*index >= m_objectCount)
            return fail(QStringLiteral("object reference out of range"));
        return true;
    }

    bool readObject(quint64 index, int depth, Value* out) {
        if (depth > kMaxPropertyListDepth)
            return fail(QStringLiteral("property list nested too deeply"));
        if (m_budget == 0)
            return fail(QStringLiteral("property list expands to too many values"));
        --m_budget;
        qsizetype pos = 0;
        if (!objectOffset(index, &pos))
            return false;
        const quint8 marker = m_bytes[pos];
        const quint8 type = marker >> 4;
        const quint8 info = marker & 0xF;
        ++pos;
        switch (type) {
        case kNullOrBool:
            if (info == 0x0)
                *out = Value();
            else if (info == 0x8 || info == 0x9)
                *out = Value(info == 0x9);
            else
                return fail(QStringLiteral("unknown object marker"));
            return true;
        case kInteger: return readInteger(pos, info, out);
        case kReal:
            if (info == 2 && needBytes(pos, 4, 1)) {
                *out = Value(std::bit_cast<float>(quint32(readUnsigned(pos, 4))));
                return true;
            }
            if (info == 3 && needBytes(pos, 8, 1)) {
                *out = Value(std::bit_cast<double>(readUnsigned(pos, 8)));
                return true;
            }
            return fail(QStringLiteral("bad real"));
        case kDate: {
            if (info != 3 || !needBytes(pos, 8, 1))
                return fail(QStringLiteral("bad date"));
            const Date date{std::bit_cast<double>(readUnsigned(pos, 8))};
            if (!date.isValid())
                return fail(QStringLiteral("date out of range"));
            *out = Value(date);
            return true;
        }
        case kData:
        case kAsciiString:
        case kUtf16String: {
            quint64 count = 0;
            if (!readCount(info, pos, &count) || !needBytes(pos, count, type == kUtf16String ? 2 : 1))
                return false;
            const char* bytes = reinterpret_cast<const char*>(m_bytes + pos);
            if (type == kData) {
                *out = Value(QByteArray(bytes, qsizetype(count)));
            } else if (type == kAsciiString) {
                *out = Value(QString::fromLatin1(bytes, qsizetype(count)));
            } else {
                QString s(qsizetype(count), Qt::Uninitialized);
                for (quint64 i = 0; i < count; ++i)
                    s[qsizetype(i)] = QChar(char16_t(readUnsigned(pos + qsizetype(2 * i), 2)));
                *out = Value(s);
            }
            return true;
        }
        case kUid:
            if (info > 7 || !needBytes(pos, info + 1, 1))
                return fail(QStringLiteral("bad UID"));
            *out = Value(Uid{readUnsigned(pos, info + 1)});
            return true;
        case kArray:
        case kSet:
        case kDictionary: return readContainer(index, type, info, pos, depth, out);
        default: return fail(QStringLiteral("unknown object marker"));
        }
    }

    bool readInteger(qsizetype pos, quint8 info, Value* out) {
        if (info > 4)
            return fail(QStringLiteral("bad integer size"));
        const int size = 1 << info;
        if (!needBytes(pos, quint64(size), 1))
            return false;
        if (size < 8) {
            *out = Value(std::int64_t(readUnsigned(pos, size)));  // 1, 2 and 4 bytes are unsigned
        } else if (size == 8) {
            *out = Value(std::int64_t(readUnsigned(pos, 8)));  // 8 bytes are signed
        } else {
            // 16 bytes: accepted only when the value fits 64 signed bits.
            const quint64 high = readUnsigned(pos, 8);
            const quint64 low = readUnsigned(pos + 8, 8);
            const bool negative = low >> 63;
            if (high != (negative ? ~quint64(0) : 0))
                return fail(QStringLiteral("integer too large"));
            *out = Value(std::int64_t(low));
        }
        return true;
    }

    bool readContainer(quint64 index, quint8 type, quint8 info, qsizetype pos, int depth, Value* out) {
        quint64 count = 0;
        const quint64 refsPerEntry = type == kDictionary ? 2 : 1;
        if (!readCount(info, pos, &count) || !needBytes(pos, count, refsPerEntry * quint64(m_refSize)))
            return false;
        if (m_inProgress[index])
            return fail(QStringLiteral("property list contains a cycle"));
        m_inProgress[index] = true;
        const bool ok =
            type == kDictionary ? readDictionary(pos, count, depth, out) : readArray(pos, count, depth, out);
        m_inProgress[index] = false;
        return ok;
    }

    bool readArray(qsizetype pos, quint64 count, int depth, Value* out) {
        ValueArray array;
        array.reserve(count);
        for (quint64 i = 0; i < count; ++i) {
            quint64 ref = 0;
            Value element;
            if (!readRef(pos + qsizetype(i) * m_refSize, &ref) || !readObject(ref, depth + 1, &element))
                return false;
            array.push_back(std::move(element));
        }
        *out = Value(std::move(array));
        return true;
    }

    bool readDictionary(qsizetype pos, quint64 count, int depth, Value* out) {
        ValueDictionary dict;
        const qsizetype valuesPos = pos + qsizetype(count) * m_refSize;
        for (quint64 i = 0; i < count; ++i) {
            quint64 keyRef = 0;
            quint64 valueRef = 0;
            Value key;
            Value value;
            if (!readRef(pos + qsizetype(i) * m_refSize, &keyRef) || !readObject(keyRef, depth + 1, &key))
                return false;
            if (key.type() != Value::Type::String)
                return fail(QStringLiteral("dictionary key is not a string"));
            if (!readRef(valuesPos + qsizetype(i) * m_refSize, &valueRef) || !readObject(valueRef, depth + 1, &value))
                return false;
            dict.insert_or_assign(key.toString(), std::move(value));
        }
        *out = Value(std::move(dict));
        return true;
    }

    const uchar* m_bytes;
    qsizetype m_size;
    quint64 m_budget;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    qsizetype m_tableOffset = 0;
    std::vector<bool> m_inProgress;
    QString m_error;
};

}  // namespace

std::optional<Value> readBinaryPropertyList(const QByteArray& data, QString* error) {
    return BinaryReader(data).read(error);
}

QByteArray writeBinaryPropertyList(const Value& v, QString* error) {
    return BinaryWriter().write(v, error);
}

}  // namespace kx
