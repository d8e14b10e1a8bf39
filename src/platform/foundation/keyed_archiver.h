// Writes object graphs as keyed archives: binary property lists with "$archiver" "NSKeyedArchiver",
// "$version" 100000, "$top" and "$objects", where objects refer to each other by UID.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kx {

// Layout of what encodeObject stores in "$objects":
// - strings, data, booleans and numbers as plain property-list values (equal values once);
// - arrays and dictionaries as NSArray / NSDictionary with "NS.objects" (and "NS.keys");
// - dates as NSDate with "NS.time" (seconds since 2001-01-01 UTC);
// - points, sizes and rects as NSValue with "NS.special" (1, 2, 3) and "NS.pointval",
//   "NS.sizeval" or "NS.rectval" strings;
// - objects that implement Coding as a dictionary of their keys plus "$class", a reference to
//   {"$classname": name, "$classes": chain}, the chain being the class registry's (class, its
//   superclasses, NSObject); an object met twice is stored once; an object that contains itself,
//   directly or through others, fails the archive (the unarchiver refuses such cycles too);
// - nil as the reference to "$null", the first entry.
// Keys that begin with "$" are stored with one more "$" in front, so that they never clash with
// the archive's own keys. The output is deterministic: the same graph gives the same bytes.
// How encodeObject stores an array or dictionary at the top of the value: under the immutable class
// names, or under the mutable ones (NSMutableArray, NSMutableDictionary) for collections that the model
// holds as editable lists. Collections nested inside are stored as immutable.
enum class CollectionClass { Immutable, Mutable };

class KeyedArchiver {
public:
    // The registry gives the superclass chains of the archived classes.
    explicit KeyedArchiver(const ClassRegistry& registry = ClassRegistry::shared());
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    void encodeBool(bool value, const QString& key);
    void encodeInt32(std::int32_t value, const QString& key);
    void encodeInt64(std::int64_t value, const QString& key);
    void encodeInteger(std::int64_t value, const QString& key);
    void encodeFloat(float value, const QString& key);  // stored as a 4-byte real
    void encodeDouble(double value, const QString& key);
    void encodePoint(Point value, const QString& key);  // "{x, y}"
    void encodeSize(Size value, const QString& key);    // "{w, h}"
    void encodeRect(Rect value, const QString& key);    // "{{x, y}, {w, h}}"
    // Any value: nil, numbers, strings, data, dates, geometry, arrays, dictionaries and objects that
    // implement Coding. Anything else (a UID, an object that cannot be archived) fails the archive.
    void encodeObject(const Value& object, const QString& key,
                      CollectionClass collectionClass = CollectionClass::Immutable);
    // An object not held by a shared pointer (an object archiving itself to make a copy).
    void encodeObject(const Object& object, const QString& key);
    // Stores a number, boolean, string or data in place under the key (as encodeInteger and encodePoint do);
    // other values are stored as objects.
    void encodeValueInPlace(const Value& value, const QString& key);

    // Whether something could not be archived, and what.
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

    // The archive as a property-list value, and its bytes (empty when the archive failed).
    Value archive() const;
    QByteArray encodedData(PropertyListFormat format = PropertyListFormat::Binary) const;

    // Archives a root object under "root": empty data, or false, when it cannot be archived.
    static QByteArray archivedDataWithRootObject(const Value& root, QString* error = nullptr,
                                                 CollectionClass collectionClass = CollectionClass::Immutable);
    // Writes the archive to the file atomically.
    static bool archiveRootObject(const Value& root, const QString& path, QString* error = nullptr,
                                  CollectionClass collectionClass = CollectionClass::Immutable);

private:
    void setValue(const QString& key, Value value);
    Uid reference(const Value& value, CollectionClass collectionClass = CollectionClass::Immutable);
    Uid referenceObject(const Object& object);
    Uid classReference(const QString& className);
    QStringList classChain(const QString& className) const;
    Uid addPlain(const Value& value);
    Uid reserve();
    Uid addClassObject(const QString& className, ValueDictionary fields);
    void fail(const QString& message);

    const ClassRegistry& m_registry;
    std::vector<Value> m_objects;
    // The dictionaries being filled: the top one, then one per object whose keys are being written.
    std::vector<ValueDictionary> m_scopes;
    std::unordered_map<const Object*, Uid> m_objectUids;
    std::unordered_set<const Object*> m_encoding;  // objects whose keys are being written
    std::vector<ObjectPtr> m_keptAlive;  // so that no address is reused while the archive is made
    std::map<QString, Uid> m_classUids;
    std::map<QByteArray, Uid> m_plainUids;
    int m_depth = 0;
    QString m_error;
};

// "$" keys get one more "$" in front.
QString escapeArchiveKey(const QString& key);

}  // namespace kx
