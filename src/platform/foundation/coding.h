// The interface of objects that keyed archives can store, and the registry that turns the class
// names found in an archive back into objects.
#pragma once

#include "platform/foundation/value.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace kx {

class KeyedArchiver;
class KeyedUnarchiver;

// Objects and collections nested deeper than this are refused by the archiver and the
// unarchiver alike, which keeps their recursion on a small stack.
inline constexpr int kMaxArchiveDepth = 256;

// Implemented by archivable objects next to kx::Object. The archiver stores an object under its
// className(); the unarchiver makes a fresh one through the class registry, records it (so that
// references back to it, cycles included, resolve to it) and then lets it read its keys.
class Coding {
public:
    virtual ~Coding() = default;
    // Writes the object's state under its keys.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
    // Reads the object's state into a freshly made object. Missing keys read as zero values;
    // content the object cannot accept is reported with coder.failWithError().
    virtual void initWithCoder(KeyedUnarchiver& coder) = 0;
};

// Makes an object in the state its decoding starts from.
using ClassFactory = std::function<ObjectPtr()>;

// The root of every class chain in an archive.
inline const QString kRootClassName = QStringLiteral("NSObject");

// Maps archived class names to factories and to their superclass names. The shared registry is what
// archives read and write by default; model classes register there at start-up. Lookups are
// thread-safe, since background work copies pages by archiving them.
//
// A class registers with its superclass's archived name (NSObject when left out); the archiver writes
// the chain it gives, class first, into the class record's "$classes".
class ClassRegistry {
public:
    static ClassRegistry& shared();

    void registerClass(const QString& className, ClassFactory factory,
                       const QString& superclassName = kRootClassName);
    bool hasClass(const QString& className) const;
    // A new object of the class, or null when the class is unknown or its factory gives none.
    ObjectPtr makeObject(const QString& className) const;
    // The class, its registered superclasses in order, then NSObject. A class that is not registered
    // gives [class, NSObject]; a loop among the registered names ends the walk.
    QStringList classChain(const QString& className) const;

    // Registers a default-constructed T under the class name.
    template <class T>
    void registerClass(const QString& className, const QString& superclassName = kRootClassName) {
        static_assert(std::is_base_of_v<Object, T> && std::is_base_of_v<Coding, T>);
        registerClass(className, [] { return std::make_shared<T>(); }, superclassName);
    }

private:
    struct Entry {
        ClassFactory factory;
        QString superclassName;
    };
    mutable std::mutex m_mutex;
    std::map<QString, Entry> m_classes;
};

}  // namespace kx
