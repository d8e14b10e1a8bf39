// Reads keyed archives written by KeyedArchiver (binary or XML property lists). Defensive: a damaged
// or hostile archive gives an error, never a crash, an endless loop or an unbounded expansion.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace kx {

// Archive files larger than this are refused unread: a page holds its images beside the archive, so
// no archive of ours comes near it.
inline constexpr qint64 kMaxArchiveFileBytes = 256 * 1024 * 1024;

// The decode calls read keys of the object being decoded (at first, of "$top"). A missing key
// reads as 0, NO, a zero point, size or rect, or nil. A key that holds the wrong kind of value,
// a reference that leads nowhere, an unknown class, or an object or collection that contains itself
// (directly or through others: a cycle of owners would never be released) fails the whole archive:
// failed() turns true, error() says why, and every later call reads zero. Objects shared without a
// cycle stay shared.
class KeyedUnarchiver {
public:
    explicit KeyedUnarchiver(const QByteArray& data, const ClassRegistry& registry = ClassRegistry::shared());
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    // For decoding objects that find content they cannot accept.
    void failWithError(const QString& message);

    bool containsValue(const QString& key) const;
    bool decodeBool(const QString& key);
    std::int32_t decodeInt32(const QString& key);  // values beyond 32 bits fail the archive
    std::int64_t decodeInt64(const QString& key);
    std::int64_t decodeInteger(const QString& key);
    float decodeFloat(const QString& key);
    double decodeDouble(const QString& key);
    Point decodePoint(const QString& key);
    Size decodeSize(const QString& key);
    Rect decodeRect(const QString& key);
    // Any archived value: nil, a number, string, data, date, point/size/rect, array, dictionary or object.
    Value decodeObject(const QString& key);
    // Like decodeObject, but a present value of another type fails the archive (nil passes).
    Value decodeObjectOfType(const QString& key, Value::Type type);
    // The keys of the object being decoded, in key order ("$class" left out), so that a class can carry
    // keys it does not know through a load and a save.
    QStringList allKeys() const;
    // A value as it is stored under the key: a reference is resolved as decodeObject does; a value stored
    // in place (a number, boolean or geometry string) is given as it is, and *inPlace tells which.
    Value decodeStoredValue(const QString& key, bool* inPlace = nullptr);
    // An object of class T, or null when the key is missing or holds nil; another kind fails the archive.
    template <class T>
    std::shared_ptr<T> decodeObjectOfClass(const QString& key) {
        const Value v = decodeObject(key);
        if (v.isNil())
            return nullptr;
        auto object = v.objectAs<T>();
        if (!object)
            failWithError(QStringLiteral("value for key \"%1\" is not of the expected class").arg(key));
        return object;
    }

    // Reads the archive's "root" object. nullopt and *error when the archive cannot be read.
    static std::optional<Value> unarchiveObjectWithData(const QByteArray& data, QString* error = nullptr,
                                                        const ClassRegistry& registry = ClassRegistry::shared());
    // Reads a regular file of at most kMaxArchiveFileBytes.
    static std::optional<Value> unarchiveObjectWithFile(const QString& path, QString* error = nullptr,
                                                        const ClassRegistry& registry = ClassRegistry::shared());

private:
    const Value* find(const QString& key) const;
    std::optional<double> number(const QString& key, const char* expected);
    QString geometryString(const QString& key);
    Value resolve(Uid uid);
    Value resolveCollection(std::uint64_t index, const QString& className, const ValueDictionary& fields);
    Value resolveObject(std::uint64_t index, const QString& className, const ValueDictionary& fields);
    ValueArray resolveReferences(const Value& list, const char* what);

    const ClassRegistry& m_registry;
    ValueArray m_objects;
    // The dictionaries whose keys are read: "$top", then one per object being decoded.
    std::vector<const ValueDictionary*> m_scopes;
    ValueDictionary m_top;
    std::vector<ObjectPtr> m_decoded;  // objects by "$objects" index, once made
    std::vector<bool> m_inProgress;    // entries being decoded, to refuse cycles through them
    std::uint64_t m_budget = 0;        // values left to decode, against shared collections expanding
    int m_depth = 0;
    QString m_error;
};

}  // namespace kx
