// A dynamically typed value: what property lists hold, what key-value coding passes around and
// what observers receive as old and new values.
#pragma once

#include "platform/foundation/geometry.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <variant>
#include <vector>

namespace kx {

// Base of every object that can be held by reference in a Value: model objects, archivable
// objects, observable objects. Shared ownership; identity is the pointer.
class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object() = default;
    // The class name under which the object is archived and registered.
    virtual QString className() const = 0;
};

using ObjectPtr = std::shared_ptr<Object>;

class Value;
using ValueArray = std::vector<Value>;
using ValueDictionary = std::map<QString, Value>;

// A real number with a flag saying it is stored in 4 bytes (a float) in archives.
struct Real {
    double value = 0;
    bool isFloat = false;
    friend bool operator==(const Real&, const Real&) = default;
};

// A property-list UID: the object reference of keyed archives.
struct Uid {
    std::uint64_t value = 0;
    friend bool operator==(const Uid&, const Uid&) = default;
};

// A moment as property lists and archives store it: seconds since 2001-01-01 00:00:00 UTC, kept to the
// full precision of a double (QDateTime keeps milliseconds only). NaN is no date.
struct Date {
    // About 31,700 years either side of the reference date: far beyond any real date, well inside what
    // QDateTime and a 64-bit millisecond count hold. Dates beyond are not valid.
    static constexpr double kMaxSeconds = 1e12;
    double seconds = 0;
    bool isValid() const { return std::abs(seconds) <= kMaxSeconds; }
    static const QDateTime& referenceDate();
    // QDateTime keeps milliseconds: the moment rounded to the nearest one; invalid for no date or one
    // beyond what QDateTime holds.
    QDateTime toDateTime() const;
    static Date fromDateTime(const QDateTime& dateTime);
    friend bool operator==(const Date&, const Date&) = default;
};

class Value {
public:
    enum class Type { Nil, Bool, Integer, Real, String, Data, Date, Point, Size, Rect, Object, Uid, Array, Dictionary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : m_data(b) {}
    Value(int i) : m_data(std::int64_t(i)) {}
    Value(unsigned int i) : m_data(std::int64_t(i)) {}
    Value(long i) : m_data(std::int64_t(i)) {}
    Value(long long i) : m_data(std::int64_t(i)) {}
    Value(double d) : m_data(Real{d, false}) {}
    Value(float f) : m_data(Real{f, true}) {}
    Value(Real r) : m_data(r) {}
    Value(const QString& s) : m_data(s) {}
    Value(const char* s) : m_data(QString::fromUtf8(s)) {}
    Value(const QByteArray& d) : m_data(d) {}
    Value(const QDateTime& d) : m_data(Date::fromDateTime(d)) {}
    Value(Date d) : m_data(d) {}
    Value(Point p) : m_data(p) {}
    Value(Size s) : m_data(s) {}
    Value(Rect r) : m_data(r) {}
    Value(Uid u) : m_data(u) {}
    Value(ValueArray a) : m_data(std::move(a)) {}
    Value(ValueDictionary d) : m_data(std::move(d)) {}
    // A null pointer is nil.
    template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
    Value(std::shared_ptr<T> o) : m_data(objectData(std::move(o))) {}

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNil() const { return type() == Type::Nil; }
    bool isNumber() const { return type() == Type::Bool || type() == Type::Integer || type() == Type::Real; }

    // Loose readers: numbers convert among themselves; anything else gives the zero value.
    bool toBool() const;
    std::int64_t toInteger() const;  // reals are truncated toward zero, clamped to the 64-bit range, NaN is 0
    double toDouble() const;
    QString toString() const;        // strings only
    QByteArray toData() const;
    QDateTime toDate() const;        // to the millisecond; see toExactDate
    Date toExactDate() const;        // NaN seconds for other types
    Point toPoint() const;           // a point, or a "{x, y}" string
    Size toSize() const;             // a size, or a "{w, h}" string
    Rect toRect() const;             // a rect, or a "{{x, y}, {w, h}}" string
    ObjectPtr toObject() const;
    Uid toUid() const;
    const ValueArray& toArray() const;            // an empty array for other types
    const ValueDictionary& toDictionary() const;  // an empty dictionary for other types

    // The object cast to a class, or null.
    template <class T>
    std::shared_ptr<T> objectAs() const {
        return std::dynamic_pointer_cast<T>(toObject());
    }

    // Whether a real is marked as a 4-byte float.
    bool isFloat() const;

    // Deep equality; objects compare by identity, reals by value (the float flag is ignored).
    friend bool operator==(const Value& a, const Value& b);

private:
    using Data = std::variant<std::monostate, bool, std::int64_t, Real, QString, QByteArray, Date, Point, Size,
                              Rect, ObjectPtr, Uid, ValueArray, ValueDictionary>;
    static Data objectData(ObjectPtr o) { return o ? Data(std::move(o)) : Data(); }

    Data m_data;
};

// A readable rendering for test failures and logs.
QString describe(const Value& v);

}  // namespace kx
