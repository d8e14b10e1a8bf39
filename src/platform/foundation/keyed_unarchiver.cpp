#include "platform/foundation/keyed_unarchiver.h"

#include "platform/foundation/bounded_read.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/property_list.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace kx {

namespace {

// Counts the references in the archive: an archive whose collections are not shared decodes at
// most one value per reference, which bounds the work a hostile archive can ask for.
std::uint64_t countReferences(const Value& v) {
    switch (v.type()) {
    case Value::Type::Uid: return 1;
    case Value::Type::Array: {
        std::uint64_t n = 0;
        for (const Value& e : v.toArray())
            n += countReferences(e);
        return n;
    }
    case Value::Type::Dictionary: {
        std::uint64_t n = 0;
        for (const auto& entry : v.toDictionary())
            n += countReferences(entry.second);
        return n;
    }
    default: return 0;
    }
}

bool isOneOf(const QString& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

}  // namespace

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data, const ClassRegistry& registry) : m_registry(registry) {
    m_scopes.push_back(&m_top);
    QString error;
    const std::optional<Value> plist = readPropertyList(data, &error);
    if (!plist) {
        failWithError(QStringLiteral("not a property list: %1").arg(error));
        return;
    }
    const ValueDictionary& root = plist->toDictionary();
    const auto archiver = root.find(QStringLiteral("$archiver"));
    const auto top = root.find(QStringLiteral("$top"));
    const auto objects = root.find(QStringLiteral("$objects"));
    if (archiver == root.end() || archiver->second.toString() != QLatin1String("NSKeyedArchiver")) {
        failWithError(QStringLiteral("not a keyed archive"));
        return;
    }
    if (top == root.end() || top->second.type() != Value::Type::Dictionary || objects == root.end() ||
        objects->second.type() != Value::Type::Array || objects->second.toArray().empty()) {
        failWithError(QStringLiteral("keyed archive without \"$top\" or \"$objects\""));
        return;
    }
    m_top = top->second.toDictionary();
    m_objects = objects->second.toArray();
    m_decoded.resize(m_objects.size());
    m_inProgress.assign(m_objects.size(), false);
    m_budget = 4 * (countReferences(objects->second) + countReferences(top->second) + m_objects.size()) + 1024;
}

void KeyedUnarchiver::failWithError(const QString& message) {
    if (m_error.isEmpty())
        m_error = message;
}

const Value* KeyedUnarchiver::find(const QString& key) const {
    if (failed())
        return nullptr;
    const ValueDictionary& scope = *m_scopes.back();
    const auto found = scope.find(escapeArchiveKey(key));
    return found == scope.end() ? nullptr : &found->second;
}

bool KeyedUnarchiver::containsValue(const QString& key) const {
    return find(key) != nullptr;
}

bool KeyedUnarchiver::decodeBool(const QString& key) {
    const Value* v = find(key);
    if (!v)
        return false;
    if (!v->isNumber()) {
        failWithError(QStringLiteral("value for key \"%1\" is not a boolean").arg(key));
        return false;
    }
    return v->toBool();
}

std::int64_t KeyedUnarchiver::decodeInt64(const QString& key) {
    const Value* v = find(key);
    if (!v)
        return 0;
    if (!v->isNumber()) {
        failWithError(QStringLiteral("value for key \"%1\" is not an integer").arg(key));
        return 0;
    }
    return v->toInteger();
}

std::int64_t KeyedUnarchiver::decodeInteger(const QString& key) {
    return decodeInt64(key);
}

std::int32_t KeyedUnarchiver::decodeInt32(const QString& key) {
    const std::int64_t v = decodeInt64(key);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        failWithError(QStringLiteral("value for key \"%1\" does not fit 32 bits").arg(key));
        return 0;
    }
    return std::int32_t(v);
}

double KeyedUnarchiver::decodeDouble(const QString& key) {
    const Value* v = find(key);
    if (!v)
        return 0;
    if (!v->isNumber()) {
        failWithError(QStringLiteral("value for key \"%1\" is not a number").arg(key));
        return 0;
    }
    return v->toDouble();
}

float KeyedUnarchiver::decodeFloat(const QString& key) {
    const double d = decodeDouble(key);
    // Out of float range becomes infinity, as the hardware conversion would, without relying on it.
    if (std::isfinite(d) && std::abs(d) > double(FLT_MAX))
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return float(d);
}

QString KeyedUnarchiver::geometryString(const QString& key) {
    const Value* v = find(key);
    if (!v)
        return {};
    if (v->type() != Value::Type::String) {
        failWithError(QStringLiteral("value for key \"%1\" is not a geometry string").arg(key));
        return {};
    }
    return v->toString();
}

Point KeyedUnarchiver::decodePoint(const QString& key) {
    return pointFromString(geometryString(key));
}

Size KeyedUnarchiver::decodeSize(const QString& key) {
    return sizeFromString(geometryString(key));
}

Rect KeyedUnarchiver::decodeRect(const QString& key) {
    return rectFromString(geometryString(key));
}

Value KeyedUnarchiver::decodeObject(const QString& key) {
    const Value* v = find(key);
    if (!v)
        return {};
    if (v->type() != Value::Type::Uid) {
        failWithError(QStringLiteral("value for key \"%1\" is not an object reference").arg(key));
        return {};
    }
    return resolve(v->toUid());
}

QStringList KeyedUnarchiver::allKeys() const {
    QStringList keys;
    if (failed())
        return keys;
    for (const auto& [stored, value] : *m_scopes.back()) {
        if (stored == QLatin1String("$class"))
            continue;
        // Escaped "$" keys lose their extra "$".
        keys << (stored.startsWith(QLatin1String("$$")) ? stored.mid(1) : stored);
    }
    return keys;
}

Value KeyedUnarchiver::decodeStoredValue(const QString& key, bool* inPlace) {
    const Value* v = find(key);
    if (inPlace)
        *inPlace = v && v->type() != Value::Type::Uid;
    if (!v)
        return {};
    return v->type() == Value::Type::Uid ? resolve(v->toUid()) : *v;
}

Value KeyedUnarchiver::decodeObjectOfType(const QString& key, Value::Type type) {
    Value v = decodeObject(key);
    if (!v.isNil() && v.type() != type) {
        failWithError(QStringLiteral("value for key \"%1\" is of the wrong type").arg(key));
        return {};
    }
    return v;
}

Value KeyedUnarchiver::resolve(Uid uid) {
    if (failed())
        return {};
    if (m_budget == 0) {
        failWithError(QStringLiteral("archive expands to too many values"));
        return {};
    }
    --m_budget;
    if (uid.value >= m_objects.size()) {
        failWithError(QStringLiteral("object reference %1 out of range").arg(uid.value));
        return {};
    }
    const std::uint64_t index = uid.value;
    if (index == 0)
        return {};  // "$null"
    if (m_decoded[index]) {
        // An object whose keys are still being read is one of the objects that hold this reference: taking
        // it would close a cycle of owners that is never released. The model holds no such cycles.
        if (m_inProgress[index]) {
            failWithError(QStringLiteral("archive entry %1 contains itself").arg(index));
            return {};
        }
        return Value(m_decoded[index]);
    }
    const Value& entry = m_objects[index];
    switch (entry.type()) {
    case Value::Type::Bool:
    case Value::Type::Integer:
    case Value::Type::Real:
    case Value::Type::String:
    case Value::Type::Data: return entry;
    case Value::Type::Dictionary: break;
    default: failWithError(QStringLiteral("archive entry %1 is not an archived value").arg(index)); return {};
    }
    const ValueDictionary& fields = entry.toDictionary();
    const auto classRef = fields.find(QStringLiteral("$class"));
    if (classRef == fields.end() || classRef->second.type() != Value::Type::Uid ||
        classRef->second.toUid().value >= m_objects.size()) {
        failWithError(QStringLiteral("archive entry %1 has no class").arg(index));
        return {};
    }
    const ValueDictionary& classInfo = m_objects[classRef->second.toUid().value].toDictionary();
    const auto className = classInfo.find(QStringLiteral("$classname"));
    if (className == classInfo.end() || className->second.type() != Value::Type::String) {
        failWithError(QStringLiteral("archive entry %1 has no class name").arg(index));
        return {};
    }
    const QString name = className->second.toString();
    if (isOneOf(name, {"NSArray", "NSMutableArray", "NSDictionary", "NSMutableDictionary", "NSString",
                       "NSMutableString", "NSData", "NSMutableData", "NSDate", "NSValue"}))
        return resolveCollection(index, name, fields);
    return resolveObject(index, name, fields);
}

ValueArray KeyedUnarchiver::resolveReferences(const Value& list, const char* what) {
    ValueArray values;
    if (list.type() != Value::Type::Array) {
        failWithError(QStringLiteral("collection without \"%1\"").arg(QLatin1String(what)));
        return values;
    }
    values.reserve(list.toArray().size());
    for (const Value& ref : list.toArray()) {
        if (ref.type() != Value::Type::Uid) {
            failWithError(QStringLiteral("collection element is not an object reference"));
            return {};
        }
        values.push_back(resolve(ref.toUid()));
        if (failed())
            return {};
    }
    return values;
}

Value KeyedUnarchiver::resolveCollection(std::uint64_t index, const QString& className, const ValueDictionary& fields) {
    const auto field = [&](const char* key) {
        const auto found = fields.find(QLatin1String(key));
        return found == fields.end() ? Value() : found->second;
    };
    if (isOneOf(className, {"NSString", "NSMutableString"})) {
        if (field("NS.string").type() == Value::Type::String)
            return field("NS.string");
    } else if (isOneOf(className, {"NSData", "NSMutableData"})) {
        if (field("NS.data").type() == Value::Type::Data)
            return field("NS.data");
    } else if (className == QLatin1String("NSDate")) {
        const Value time = field("NS.time");
        const Date date{time.toDouble()};
        if (time.isNumber() && date.isValid())
            return Value(date);
    } else if (className == QLatin1String("NSValue")) {
        const std::int64_t special = field("NS.special").toInteger();
        if (special == 1 && field("NS.pointval").type() == Value::Type::String)
            return Value(pointFromString(field("NS.pointval").toString()));
        if (special == 2 && field("NS.sizeval").type() == Value::Type::String)
            return Value(sizeFromString(field("NS.sizeval").toString()));
        if (special == 3 && field("NS.rectval").type() == Value::Type::String)
            return Value(rectFromString(field("NS.rectval").toString()));
    } else {
        // Arrays and dictionaries are values here: one that contains itself cannot be built.
        if (m_inProgress[index]) {
            failWithError(QStringLiteral("collection %1 contains itself").arg(index));
            return {};
        }
        if (m_depth >= kMaxArchiveDepth) {
            failWithError(QStringLiteral("archive nested too deeply"));
            return {};
        }
        m_inProgress[index] = true;
        ++m_depth;
        Value result;
        if (isOneOf(className, {"NSArray", "NSMutableArray"})) {
            ValueArray elements = resolveReferences(field("NS.objects"), "NS.objects");
            result = Value(std::move(elements));
        } else {
            const ValueArray keys = resolveReferences(field("NS.keys"), "NS.keys");
            const ValueArray objects = resolveReferences(field("NS.objects"), "NS.objects");
            ValueDictionary dict;
            if (!failed() && keys.size() != objects.size())
                failWithError(
                    QStringLiteral("dictionary with %1 keys and %2 objects").arg(keys.size()).arg(objects.size()));
            for (size_t i = 0; !failed() && i < keys.size(); ++i) {
                if (keys[i].type() != Value::Type::String)
                    failWithError(QStringLiteral("dictionary key is not a string"));
                else
                    dict.insert_or_assign(keys[i].toString(), objects[i]);
            }
            result = Value(std::move(dict));
        }
        --m_depth;
        m_inProgress[index] = false;
        return failed() ? Value() : result;
    }
    failWithError(QStringLiteral("damaged %1 in archive entry %2").arg(className).arg(index));
    return {};
}

Value KeyedUnarchiver::resolveObject(std::uint64_t index, const QString& className, const ValueDictionary& fields) {
    if (m_depth >= kMaxArchiveDepth) {
        failWithError(QStringLiteral("archive nested too deeply"));
        return {};
    }
    const ObjectPtr object = m_registry.makeObject(className);
    auto* coding = dynamic_cast<Coding*>(object.get());
    if (!coding) {
        failWithError(QStringLiteral("cannot decode an object of class %1").arg(className));
        return {};
    }
    // Recorded before its keys are read, so that a reference back to it is recognised as a cycle.
    m_decoded[index] = object;
    m_inProgress[index] = true;
    ++m_depth;
    m_scopes.push_back(&fields);
    coding->initWithCoder(*this);
    m_scopes.pop_back();
    --m_depth;
    m_inProgress[index] = false;
    return failed() ? Value() : Value(object);
}

std::optional<Value> KeyedUnarchiver::unarchiveObjectWithData(const QByteArray& data, QString* error,
                                                              const ClassRegistry& registry) {
    KeyedUnarchiver unarchiver(data, registry);
    Value root = unarchiver.decodeObject(QStringLiteral("root"));
    if (unarchiver.failed()) {
        if (error)
            *error = unarchiver.error();
        return std::nullopt;
    }
    return root;
}

std::optional<Value> KeyedUnarchiver::unarchiveObjectWithFile(const QString& path, QString* error,
                                                              const ClassRegistry& registry) {
    const std::optional<QByteArray> data = readRegularFile(path, kMaxArchiveFileBytes, error);
    if (!data)
        return std::nullopt;
    return unarchiveObjectWithData(*data, error, registry);
}

}  // namespace kx
