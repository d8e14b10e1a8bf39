// Observable properties and key-value coding.
//
// An Observable names the keys it announces; observers registered for a key hear about every change of it,
// synchronously, with the key, the object and the old and new values (nil stays nil). A per-class property
// table gives read and write access by key name, so that an undo step can put an old value back knowing only
// the key.
#pragma once

#include "platform/foundation/value.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <type_traits>
#include <vector>

namespace kx {

class Observable;

// Receives the changes of the keys it is registered for.
class KeyObserver {
public:
    virtual ~KeyObserver() = default;
    virtual void observeValue(const QString& key, Observable* object, const Value& oldValue,
                              const Value& newValue) = 0;
};

// Converts a Value into a C++ property type, loosely: numbers convert among themselves, nil gives zero.
template <class T, class D = std::remove_cvref_t<T>>
D valueAs(const Value& v) {
    if constexpr (std::is_same_v<D, Value>)
        return v;
    else if constexpr (std::is_same_v<D, bool>)
        return v.toBool();
    else if constexpr (std::is_enum_v<D>)
        return static_cast<D>(v.toInteger());
    else if constexpr (std::is_integral_v<D>)
        return static_cast<D>(v.toInteger());
    else if constexpr (std::is_floating_point_v<D>)
        return static_cast<D>(v.toDouble());
    else if constexpr (std::is_same_v<D, QString>)
        return v.toString();
    else if constexpr (std::is_same_v<D, QByteArray>)
        return v.toData();
    else if constexpr (std::is_same_v<D, Point>)
        return v.toPoint();
    else if constexpr (std::is_same_v<D, Size>)
        return v.toSize();
    else if constexpr (std::is_same_v<D, Rect>)
        return v.toRect();
    else if constexpr (std::is_same_v<D, ValueArray>)
        return v.toArray();
    else if constexpr (std::is_same_v<D, ValueDictionary>)
        return v.toDictionary();
    else
        return v.template objectAs<typename D::element_type>();  // std::shared_ptr<SomeObject>
}

// Wraps a C++ property value as a Value.
template <class T>
Value valueFrom(const T& t) {
    if constexpr (std::is_enum_v<T>)
        return Value(static_cast<std::int64_t>(t));
    else
        return Value(t);
}

// One readable (and usually writable) key of a class.
struct PropertyAccessor {
    QString key;
    std::function<Value(const Observable&)> get;
    std::function<void(Observable&, const Value&)> set;  // empty for a read-only key
};

// The keys of one class, in the order they were added, after those of its base class's table.
// A class builds its table once (a function-local static) and returns it from propertyTable().
class PropertyTable {
public:
    explicit PropertyTable(const PropertyTable* base = nullptr) : m_base(base) {}

    // A key read and written through lambdas on the concrete class.
    template <class T>
    PropertyTable& add(const QString& key, std::function<Value(const T&)> getter,
                       std::function<void(T&, const Value&)> setter = {}) {
        PropertyAccessor a;
        a.key = key;
        a.get = [getter](const Observable& o) -> Value {
            const T* t = dynamic_cast<const T*>(&o);
            return t ? getter(*t) : Value();
        };
        if (setter) {
            a.set = [setter](Observable& o, const Value& v) {
                if (T* t = dynamic_cast<T*>(&o))
                    setter(*t, v);
            };
        }
        m_entries.push_back(std::move(a));
        return *this;
    }

    // A key read and written through a getter and a setter member function.
    template <class T, class G, class S>
    PropertyTable& add(const QString& key, G (T::*getter)() const, void (T::*setter)(S)) {
        return add<T>(
            key, [getter](const T& t) { return valueFrom((t.*getter)()); },
            [setter](T& t, const Value& v) { (t.*setter)(valueAs<S>(v)); });
    }

    // A read-only key.
    template <class T, class G>
    PropertyTable& add(const QString& key, G (T::*getter)() const) {
        return add<T>(key, [getter](const T& t) { return valueFrom((t.*getter)()); });
    }

    // The accessor of a key, searching this table then the base tables; null when unknown.
    const PropertyAccessor* find(const QString& key) const;
    // Every key, base-class keys first.
    QStringList keys() const;

private:
    const PropertyTable* m_base;
    std::vector<PropertyAccessor> m_entries;
};

class Observable : public Object {
public:
    Observable() = default;
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    // The keys whose changes this object announces, in order. Empty in the base.
    virtual QStringList announcedKeys() const;
    // Registers the observer for every announced key; subclasses that own observable parts forward the call
    // to them. removeObserver(observer) undoes the same registrations. A subclass that overrides these keeps
    // the keyed overloads below visible with `using Observable::addObserver; using Observable::removeObserver;`.
    virtual void addObserver(KeyObserver* observer);
    virtual void removeObserver(KeyObserver* observer);

    // Registrations are counted: an observer added twice for a key hears each change twice and needs two
    // removals. Removing an observer that is not registered does nothing. Any key may be observed, announced
    // or not.
    void addObserver(KeyObserver* observer, const QString& key);
    void removeObserver(KeyObserver* observer, const QString& key);
    // How many registrations the observer holds for the key.
    int observationCount(const KeyObserver* observer, const QString& key) const;
    bool hasObservers() const { return !m_registrations.empty(); }

    // Key-value coding through the class's property table. Unknown keys read as nil; writing an unknown or
    // read-only key does nothing and returns false.
    virtual const PropertyTable& propertyTable() const;
    Value valueForKey(const QString& key) const;
    bool setValueForKey(const QString& key, const Value& value);

protected:
    // Tells every observer of the key about a change that has just been made. Observers run in registration
    // order; one may add or remove registrations (its own included) while it is being told: a registration
    // removed meanwhile is not told, one added meanwhile hears only later changes.
    void didChangeValue(const QString& key, const Value& oldValue, const Value& newValue);

    // Stores a new value in a field and announces the change, as every property setter does. The change is
    // announced even when the value is the same; setters that must stay silent then compare first.
    template <class T>
    void setProperty(const QString& key, T& field, const T& newValue) {
        const Value oldValue = valueFrom(field);
        field = newValue;
        didChangeValue(key, oldValue, valueFrom(field));
    }

private:
    struct Registration {
        KeyObserver* observer;
        QString key;
        std::uint64_t id;
    };
    std::vector<Registration> m_registrations;
    std::uint64_t m_nextId = 1;
};

}  // namespace kx
