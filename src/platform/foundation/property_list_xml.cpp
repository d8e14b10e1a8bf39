// XML property lists in the usual layout: a plist element around one value, tab-indented.
// UIDs travel as {"CF$UID": n} dictionaries, which the reader turns back into UIDs.

#include "platform/foundation/property_list_formats.h"

#include <QTimeZone>
#include <QXmlStreamReader>

#include <cmath>
#include <limits>

namespace kx {

namespace {

const QString kUidKey = QStringLiteral("CF$UID");

// Characters XML 1.0 cannot carry, even as character references.
bool isXmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

class XmlWriter {
public:
    QByteArray write(const Value& root, QString* error) {
        m_out =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n";
        if (!writeValue(root, 0)) {
            if (error)
                *error = m_error;
            return {};
        }
        m_out += "</plist>\n";
        return m_out.toUtf8();
    }

private:
    void line(int depth, const QString& text) {
        m_out += QString(depth, QLatin1Char('\t'));
        m_out += text;
        m_out += QLatin1Char('\n');
    }

    // Escapes text for element content. A carriage return is written as a reference so that XML's
    // line-end normalisation does not turn it into a line feed.
    bool escape(const QString& s, QString* out) {
        out->reserve(s.size());
        for (const char32_t c : s.toUcs4()) {
            if (!isXmlCharacter(c)) {
                m_error = QStringLiteral("string holds a character XML cannot carry (U+%1)")
                              .arg(quint32(c), 4, 16, QLatin1Char('0'));
                return false;
            }
            switch (c) {
            case '&': *out += QStringLiteral("&amp;"); break;
            case '<': *out += QStringLiteral("&lt;"); break;
            case '>': *out += QStringLiteral("&gt;"); break;
            case '\r': *out += QStringLiteral("&#13;"); break;
            default: *out += QString::fromUcs4(&c, 1);
            }
        }
        return true;
    }

    bool writeString(const QString& tag, const QString& text, int depth) {
        QString escaped;
        if (!escape(text, &escaped))
            return false;
        line(depth, QStringLiteral("<%1>%2</%1>").arg(tag, escaped));
        return true;
    }

    static QString realText(double d) {
        if (std::isnan(d))
            return QStringLiteral("nan");
        if (std::isinf(d))
            return d > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
        // The shortest form of -0.0 is "0"; the sign is part of the value.
        if (d == 0 && std::signbit(d))
            return QStringLiteral("-0.0");
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }

    bool writeValue(const Value& v, int depth) {
        using T = Value::Type;
        switch (v.type()) {
        case T::Nil: m_error = QStringLiteral("a property list cannot hold nil"); return false;
        case T::Object:
            m_error =
                QStringLiteral("a property list cannot hold an object of class %1").arg(v.toObject()->className());
            return false;
        case T::Bool: line(depth, v.toBool() ? QStringLiteral("<true/>") : QStringLiteral("<false/>")); return true;
        case T::Integer: line(depth, QStringLiteral("<integer>%1</integer>").arg(v.toInteger())); return true;
        case T::Real: line(depth, QStringLiteral("<real>%1</real>").arg(realText(v.toDouble()))); return true;
        case T::String: return writeString(QStringLiteral("string"), v.toString(), depth);
        case T::Point: return writeString(QStringLiteral("string"), stringFromPoint(v.toPoint()), depth);
        case T::Size: return writeString(QStringLiteral("string"), stringFromSize(v.toSize()), depth);
        case T::Rect: return writeString(QStringLiteral("string"), stringFromRect(v.toRect()), depth);
        case T::Date: {
            const QDateTime date = v.toDate().toUTC();
            // The text form has four-digit years.
            if (!date.isValid() || date.date().year() < 1 || date.date().year() > 9999) {
                m_error = QStringLiteral("an XML property list cannot hold this date");
                return false;
            }
            line(depth,
                 QStringLiteral("<date>%1</date>").arg(date.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"))));
            return true;
        }
        case T::Data: {
            const QByteArray base64 = v.toData().toBase64();
            line(depth, QStringLiteral("<data>"));
            for (qsizetype i = 0; i < base64.size(); i += 68)
                line(depth, QString::fromLatin1(base64.mid(i, 68)));
            line(depth, QStringLiteral("</data>"));
            return true;
        }
        case T::Uid: {
            ValueDictionary uid;
            uid.emplace(kUidKey, Value(std::int64_t(v.toUid().value)));
            return writeValue(Value(std::move(uid)), depth);
        }
        case T::Array: {
            const ValueArray& array = v.toArray();
            if (array.empty()) {
                line(depth, QStringLiteral("<array/>"));
                return true;
            }
            line(depth, QStringLiteral("<array>"));
            for (const Value& e : array)
                if (!writeValue(e, depth + 1))
                    return false;
            line(depth, QStringLiteral("</array>"));
            return true;
        }
        case T::Dictionary: {
            const ValueDictionary& dict = v.toDictionary();
            if (dict.empty()) {
                line(depth, QStringLiteral("<dict/>"));
                return true;
            }
            line(depth, QStringLiteral("<dict>"));
            for (const auto& [key, value] : dict)
                if (!writeString(QStringLiteral("key"), key, depth + 1) || !writeValue(value, depth + 1))
                    return false;
            line(depth, QStringLiteral("</dict>"));
            return true;
        }
        }
        return false;
    }

    QString m_out;
    QString m_error;
};

class XmlReader {
public:
    explicit XmlReader(const QByteArray& data) : m_xml(data) {
        // Internal entities may expand, but only a little: no "billion laughs".
        m_xml.setEntityExpansionLimit(4096);
    }

    std::optional<Value> read(QString* error) {
        Value result;
        if (!readDocument(&result)) {
            if (error)
                *error =
                    m_xml.hasError()
                        ? QStringLiteral("XML error at line %1: %2").arg(m_xml.lineNumber()).arg(m_xml.errorString())
                        : QStringLiteral("%1 (line %2)").arg(m_error).arg(m_xml.lineNumber());
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

    // Moves to the next start or end element, skipping whitespace, comments and the DTD.
    // Text other than whitespace between elements is an error.
    bool nextElement() {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement: return true;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace())
                    return fail(QStringLiteral("unexpected text"));
                break;
            case QXmlStreamReader::EntityReference: return fail(QStringLiteral("unresolved entity"));
            case QXmlStreamReader::Invalid: return false;
            default: break;
            }
        }
        return fail(QStringLiteral("unexpected end of document"));
    }

    bool readDocument(Value* out) {
        if (!nextElement() || !m_xml.isStartElement())
            return fail(QStringLiteral("no property list element"));
        if (m_xml.name() == QLatin1String("plist")) {
            if (!nextElement() || !m_xml.isStartElement())
                return fail(QStringLiteral("empty plist element"));
            if (!readValue(0, out))
                return false;
            if (!nextElement() || !m_xml.isEndElement())
                return fail(QStringLiteral("more than one value in plist element"));
        } else if (!readValue(0, out)) {
            return false;
        }
        // Only whitespace, comments and processing instructions may follow.
        while (!m_xml.atEnd()) {
            const auto token = m_xml.readNext();
            if (token == QXmlStreamReader::Invalid)
                return false;
            if (token == QXmlStreamReader::StartElement ||
                (token == QXmlStreamReader::Characters && !m_xml.isWhitespace()))
                return fail(QStringLiteral("content after the property list"));
        }
        return !m_xml.hasError();
    }

    bool readText(QString* text) {
        *text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        return !m_xml.hasError();
    }

    // At a start element: reads the value it holds, ending on its end element.
    bool readValue(int depth, Value* out) {
        if (depth > kMaxPropertyListDepth)
            return fail(QStringLiteral("property list nested too deeply"));
        const QString name = m_xml.name().toString();  // the view dies with the next read
        QString text;
        if (name == QLatin1String("dict"))
            return readDictionary(depth, out);
        if (name == QLatin1String("array"))
            return readArray(depth, out);
        if (!readText(&text))
            return false;
        if (name == QLatin1String("string")) {
            *out = Value(text);
        } else if (name == QLatin1String("integer")) {
            const auto v = parseInteger(text.trimmed());
            if (!v)
                return fail(QStringLiteral("bad integer \"%1\"").arg(text.left(40)));
            *out = Value(*v);
        } else if (name == QLatin1String("real")) {
            const auto v = parseReal(text.trimmed());
            if (!v)
                return fail(QStringLiteral("bad real \"%1\"").arg(text.left(40)));
            *out = Value(*v);
        } else if (name == QLatin1String("true") || name == QLatin1String("false")) {
            if (!text.trimmed().isEmpty())
                return fail(QStringLiteral("boolean element with content"));
            *out = Value(name == QLatin1String("true"));
        } else if (name == QLatin1String("data")) {
            QByteArray base64 = text.toLatin1();
            base64.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return fail(QStringLiteral("bad base64 data"));
            *out = Value(*decoded);
        } else if (name == QLatin1String("date")) {
            QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            if (!date.isValid())
                return fail(QStringLiteral("bad date \"%1\"").arg(text.left(40)));
            if (date.timeSpec() == Qt::LocalTime)
                date.setTimeSpec(Qt::UTC);  // dates without a zone are UTC
            *out = Value(date.toUTC());
        } else {
            return fail(QStringLiteral("unknown element <%1>").arg(name.left(40)));
        }
        return true;
    }

    static std::optional<std::int64_t> parseInteger(const QString& text) {
        bool ok = false;
        QString digits = text;
        bool negative = false;
        if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
            negative = digits.startsWith(QLatin1Char('-'));
            digits.remove(0, 1);
        }
        if (digits.isEmpty() || digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+')))
            return std::nullopt;
        const bool hex = digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const quint64 magnitude = hex ? digits.mid(2).toULongLong(&ok, 16) : digits.toULongLong(&ok, 10);
        if (!ok)
            return std::nullopt;
        if (negative) {
            if (magnitude > quint64(1) << 63)
                return std::nullopt;
            return std::int64_t(0 - magnitude);
        }
        if (magnitude > quint64(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return std::int64_t(magnitude);
    }

    static std::optional<double> parseReal(const QString& text) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan") || lower == QLatin1String("+nan") || lower == QLatin1String("-nan"))
            return std::nan("");
        if (lower == QLatin1String("inf") || lower == QLatin1String("+inf") || lower == QLatin1String("infinity") ||
            lower == QLatin1String("+infinity"))
            return std::numeric_limits<double>::infinity();
        if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity"))
            return -std::numeric_limits<double>::infinity();
        bool ok = false;
        const double d = text.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return d;
    }

    bool readArray(int depth, Value* out) {
        ValueArray array;
        while (nextElement() && m_xml.isStartElement()) {
            Value element;
            if (!readValue(depth + 1, &element))
                return false;
            array.push_back(std::move(element));
        }
        if (!m_error.isEmpty() || m_xml.hasError())
            return false;
        *out = Value(std::move(array));
        return true;
    }

    bool readDictionary(int depth, Value* out) {
        ValueDictionary dict;
        while (nextElement() && m_xml.isStartElement()) {
            if (m_xml.name() != QLatin1String("key"))
                return fail(QStringLiteral("dictionary entry without a key"));
            QString key;
            if (!readText(&key))
                return false;
            if (!nextElement() || !m_xml.isStartElement())
                return fail(QStringLiteral("dictionary key \"%1\" without a value").arg(key.left(40)));
            Value value;
            if (!readValue(depth + 1, &value))
                return false;
            dict.insert_or_assign(key, std::move(value));
        }
        if (!m_error.isEmpty() || m_xml.hasError())
            return false;
        // {"CF$UID": n} is how XML carries a UID.
        if (dict.size() == 1 && dict.begin()->first == kUidKey && dict.begin()->second.type() == Value::Type::Integer &&
            dict.begin()->second.toInteger() >= 0) {
            *out = Value(Uid{quint64(dict.begin()->second.toInteger())});
            return true;
        }
        *out = Value(std::move(dict));
        return true;
    }

    QXmlStreamReader m_xml;
    QString m_error;
};

}  // namespace

std::optional<Value> readXmlPropertyList(const QByteArray& data, QString* error) {
    return XmlReader(data).read(error);
}

QByteArray writeXmlPropertyList(const Value& v, QString* error) {
    return XmlWriter().write(v, error);
}

}  // namespace kx
