#include "platform/foundation/keyed_archiver.h"

#include "platform/foundation/atomic_file.h"

#include <QTimeZone>

#include <bit>

namespace kx {

namespace {

const QString kNull = QStringLiteral("$null");

// A key under which equal plain values share one "$objects" entry: the type, then the exact bits.
QByteArray plainKey(const Value& v) {
    QByteArray key;
    key.append(char('a' + int(v.type())));
    switch (v.type()) {
    case Value::Type::Bool: key.append(v.toBool() ? '1' : '0'); break;
    case Value::Type::Integer: key.append(QByteArray::number(qlonglong(v.toInteger()))); break;
    case Value::Type::Real:
        key.append(v.isFloat() ? 'f' : 'd');
        key.append(QByteArray::number(std::bit_cast<quint64>(v.toDouble()), 16));
        break;
    case Value::Type::String: {
        const QString s = v.toString();
        key.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        break;
    }
    case Value::Type::Data: key.append(v.toData()); break;
    default: break;
    }
    return key;
}

// The superclasses of the platform classes the archiver writes itself.
QStringList platformClassChain(const QString& className) {
    if (className == QLatin1String("NSMutableArray"))
        return {className, QStringLiteral("NSArray"), kRootClassName};
    if (className == QLatin1String("NSMutableDictionary"))
        return {className, QStringLiteral("NSDictionary"), kRootClassName};
    return {};
}

}  // namespace

QString escapeArchiveKey(const QString& key) {
    return key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
}

KeyedArchiver::KeyedArchiver(const ClassRegistry& registry) : m_registry(registry) {
    m_objects.push_back(Value(kNull));
    m_scopes.emplace_back();
}

void KeyedArchiver::fail(const QString& message) {
    if (m_error.isEmpty())
        m_error = message;
}

void KeyedArchiver::setValue(const QString& key, Value value) {
    m_scopes.back().insert_or_assign(escapeArchiveKey(key), std::move(value));
}

void KeyedArchiver::encodeBool(bool value, const QString& key) {
    setValue(key, Value(value));
}

void KeyedArchiver::encodeInt32(std::int32_t value, const QString& key) {
    setValue(key, Value(std::int64_t(value)));
}

void KeyedArchiver::encodeInt64(std::int64_t value, const QString& key) {
    setValue(key, Value(value));
}

void KeyedArchiver::encodeInteger(std::int64_t value, const QString& key) {
    setValue(key, Value(value));
}

void KeyedArchiver::encodeFloat(float value, const QString& key) {
    setValue(key, Value(value));
}

void KeyedArchiver::encodeDouble(double value, const QString& key) {
    setValue(key, Value(value));
}

void KeyedArchiver::encodePoint(Point value, const QString& key) {
    setValue(key, Value(stringFromPoint(value)));
}

void KeyedArchiver::encodeSize(Size value, const QString& key) {
    setValue(key, Value(stringFromSize(value)));
}

void KeyedArchiver::encodeRect(Rect value, const QString& key) {
    setValue(key, Value(stringFromRect(value)));
}

void KeyedArchiver::encodeObject(const Value& object, const QString& key, CollectionClass collectionClass) {
    const Uid uid = reference(object, collectionClass);
    setValue(key, Value(uid));
}

void KeyedArchiver::encodeObject(const Object& object, const QString& key) {
    const Uid uid = referenceObject(object);
    setValue(key, Value(uid));
}

void KeyedArchiver::encodeValueInPlace(const Value& value, const QString& key) {
    switch (value.type()) {
    case Value::Type::Bool:
    case Value::Type::Integer:
    case Value::Type::Real:
    case Value::Type::String:
    case Value::Type::Data:
        setValue(key, value);
        break;
    default:
        encodeObject(value, key);
    }
}

Uid KeyedArchiver::reserve() {
    m_objects.emplace_back();
    return Uid{m_objects.size() - 1};
}

Uid KeyedArchiver::addPlain(const Value& value) {
    QByteArray key = plainKey(value);
    const auto found = m_plainUids.find(key);
    if (found != m_plainUids.end())
        return found->second;
    m_objects.push_back(value);
    const Uid uid{m_objects.size() - 1};
    m_plainUids.emplace(std::move(key), uid);
    return uid;
}

QStringList KeyedArchiver::classChain(const QString& className) const {
    const QStringList platform = platformClassChain(className);
    return platform.isEmpty() ? m_registry.classChain(className) : platform;
}

Uid KeyedArchiver::classReference(const QString& className) {
    const auto found = m_classUids.find(className);
    if (found != m_classUids.end())
        return found->second;
    ValueDictionary classInfo;
    classInfo.emplace(QStringLiteral("$classname"), Value(className));
    ValueArray chain;
    for (const QString& name : classChain(className))
        chain.emplace_back(name);
    classInfo.emplace(QStringLiteral("$classes"), Value(std::move(chain)));
    m_objects.push_back(Value(std::move(classInfo)));
    const Uid uid{m_objects.size() - 1};
    m_classUids.emplace(className, uid);
    return uid;
}

// Adds a built-in class's object whose fields are already known.
Uid KeyedArchiver::addClassObject(const QString& className, ValueDictionary fields) {
    const Uid uid = reserve();
    fields.insert_or_assign(QStringLiteral("$class"), Value(classReference(className)));
    m_objects[uid.value] = Value(std::move(fields));
    return uid;
}

Uid KeyedArchiver::reference(const Value& value, CollectionClass collectionClass) {
    using T = Value::Type;
    switch (value.type()) {
    case T::Nil: return Uid{0};
    case T::Bool:
    case T::Integer:
    case T::Real:
    case T::String:
    case T::Data: return addPlain(value);
    case T::Date: {
        const Date date = value.toExactDate();
        if (!date.isValid()) {
            fail(QStringLiteral("cannot archive an invalid date"));
            return Uid{0};
        }
        ValueDictionary fields;
        fields.emplace(QStringLiteral("NS.time"), Value(date.seconds));
        return addClassObject(QStringLiteral("NSDate"), std::move(fields));
    }
    case T::Point:
    case T::Size:
    case T::Rect: {
        ValueDictionary fields;
        if (value.type() == T::Point) {
            fields.emplace(QStringLiteral("NS.special"), Value(1));
            fields.emplace(QStringLiteral("NS.pointval"), Value(stringFromPoint(value.toPoint())));
        } else if (value.type() == T::Size) {
            fields.emplace(QStringLiteral("NS.special"), Value(2));
            fields.emplace(QStringLiteral("NS.sizeval"), Value(stringFromSize(value.toSize())));
        } else {
            fields.emplace(QStringLiteral("NS.special"), Value(3));
            fields.emplace(QStringLiteral("NS.rectval"), Value(stringFromRect(value.toRect())));
        }
        return addClassObject(QStringLiteral("NSValue"), std::move(fields));
    }
    case T::Uid: fail(QStringLiteral("cannot archive a UID")); return Uid{0};
    case T::Array:
    case T::Dictionary: {
        if (m_depth >= kMaxArchiveDepth) {
            fail(QStringLiteral("object graph nested too deeply"));
            return Uid{0};
        }
        ++m_depth;
        // The collection's own entry comes before its elements, as objects do.
        const Uid uid = reserve();
        ValueDictionary fields;
        QString className;
        const bool mutableCollection = collectionClass == CollectionClass::Mutable;
        if (value.type() == T::Array) {
            ValueArray elements;
            for (const Value& e : value.toArray())
                elements.push_back(Value(reference(e)));
            fields.emplace(QStringLiteral("NS.objects"), Value(std::move(elements)));
            className = mutableCollection ? QStringLiteral("NSMutableArray") : QStringLiteral("NSArray");
        } else {
            ValueArray keys;
            ValueArray objects;
            for (const auto& [k, v] : value.toDictionary()) {
                keys.push_back(Value(reference(Value(k))));
                objects.push_back(Value(reference(v)));
            }
            fields.emplace(QStringLiteral("NS.keys"), Value(std::move(keys)));
            fields.emplace(QStringLiteral("NS.objects"), Value(std::move(objects)));
            className =
                mutableCollection ? QStringLiteral("NSMutableDictionary") : QStringLiteral("NSDictionary");
        }
        fields.emplace(QStringLiteral("$class"), Value(classReference(className)));
        m_objects[uid.value] = Value(std::move(fields));
        --m_depth;
        return uid;
    }
    case T::Object: {
        const ObjectPtr object = value.toObject();
        if (!m_objectUids.count(object.get()))
            m_keptAlive.push_back(object);
        return referenceObject(*object);
    }
    }
    return Uid{0};
}

Uid KeyedArchiver::referenceObject(const Object& object) {
    const auto found = m_objectUids.find(&object);
    if (found != m_objectUids.end()) {
        // A reference back to an object whose keys are still being written is a cycle: no model object
        // owns one of its owners, and the unarchiver refuses what such a graph would give.
        if (m_encoding.count(&object))
            fail(QStringLiteral("an object of class %1 contains itself").arg(object.className()));
        return found->second;
    }
    const auto* coding = dynamic_cast<const Coding*>(&object);
    if (!coding) {
        fail(QStringLiteral("cannot archive an object of class %1").arg(object.className()));
        return Uid{0};
    }
    if (m_depth >= kMaxArchiveDepth) {
        fail(QStringLiteral("object graph nested too deeply"));
        return Uid{0};
    }
    // The object's entry comes before the entries of what it holds.
    const Uid uid = reserve();
    m_objectUids.emplace(&object, uid);
    const Uid classUid = classReference(object.className());
    ++m_depth;
    m_encoding.insert(&object);
    m_scopes.emplace_back();
    coding->encodeWithCoder(*this);
    ValueDictionary fields = std::move(m_scopes.back());
    m_scopes.pop_back();
    m_encoding.erase(&object);
    --m_depth;
    fields.insert_or_assign(QStringLiteral("$class"), Value(classUid));
    m_objects[uid.value] = Value(std::move(fields));
    return uid;
}

Value KeyedArchiver::archive() const {
    ValueDictionary archive;
    archive.emplace(QStringLiteral("$archiver"), Value("NSKeyedArchiver"));
    archive.emplace(QStringLiteral("$version"), Value(100000));
    archive.emplace(QStringLiteral("$top"), Value(m_scopes.front()));
    archive.emplace(QStringLiteral("$objects"), Value(ValueArray(m_objects)));
    return Value(std::move(archive));
}

QByteArray KeyedArchiver::encodedData(PropertyListFormat format) const {
    if (failed())
        return {};
    return writePropertyList(archive(), format);
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const Value& root, QString* error,
                                                     CollectionClass collectionClass) {
    KeyedArchiver archiver;
    archiver.encodeObject(root, QStringLiteral("root"), collectionClass);
    QByteArray data = archiver.encodedData();
    if (data.isEmpty() && error)
        *error = archiver.failed() ? archiver.error() : QStringLiteral("archive could not be written");
    return data;
}

bool KeyedArchiver::archiveRootObject(const Value& root, const QString& path, QString* error,
                                      CollectionClass collectionClass) {
    const QByteArray data = archivedDataWithRootObject(root, error, collectionClass);
    return !data.isEmpty() && writeFileAtomically(path, data, error);
}

}  // namespace kx
