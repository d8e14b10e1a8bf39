#include "platform/foundation/value.h"

#include <cmath>
#include <limits>

namespace kx {

bool Value::toBool() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(m_data);
    case Type::Integer: return std::get<std::int64_t>(m_data) != 0;
    case Type::Real: return std::get<Real>(m_data).value != 0;
    default: return false;
    }
}

std::int64_t Value::toInteger() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(m_data) ? 1 : 0;
    case Type::Integer: return std::get<std::int64_t>(m_data);
    case Type::Real: {
        const double d = std::get<Real>(m_data).value;
        if (std::isnan(d))
            return 0;
        // 2^63 is exactly representable; anything at or beyond it saturates.
        if (d >= 9223372036854775808.0)
            return std::numeric_limits<std::int64_t>::max();
        if (d <= -9223372036854775808.0)
            return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(d);
    }
    default: return 0;
    }
}

double Value::toDouble() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(m_data) ? 1.0 : 0.0;
    case Type::Integer: return static_cast<double>(std::get<std::int64_t>(m_data));
    case Type::Real: return std::get<Real>(m_data).value;
    default: return 0.0;
    }
}

QString Value::toString() const {
    return type() == Type::String ? std::get<QString>(m_data) : QString();
}

QByteArray Value::toData() const {
    return type() == Type::Data ? std::get<QByteArray>(m_data) : QByteArray();
}

const QDateTime& Date::referenceDate() {
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch;
}

QDateTime Date::toDateTime() const {
    if (!isValid())
        return {};
    return referenceDate().addMSecs(std::llround(seconds * 1000.0));
}

Date Date::fromDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return {std::numeric_limits<double>::quiet_NaN()};
    return {double(referenceDate().msecsTo(dateTime)) / 1000.0};
}

QDateTime Value::toDate() const {
    return type() == Type::Date ? std::get<Date>(m_data).toDateTime() : QDateTime();
}

Date Value::toExactDate() const {
    return type() == Type::Date ? std::get<Date>(m_data) : Date{std::numeric_limits<double>::quiet_NaN()};
}

Point Value::toPoint() const {
    if (type() == Type::Point)
        return std::get<Point>(m_data);
    if (type() == Type::String)
        return pointFromString(std::get<QString>(m_data));
    return {};
}

Size Value::toSize() const {
    if (type() == Type::Size)
        return std::get<Size>(m_data);
    if (type() == Type::String)
        return sizeFromString(std::get<QString>(m_data));
    return {};
}

Rect Value::toRect() const {
    if (type() == Type::Rect)
        return std::get<Rect>(m_data);
    if (type() == Type::String)
        return rectFromString(std::get<QString>(m_data));
    return {};
}

ObjectPtr Value::toObject() const {
    return type() == Type::Object ? std::get<ObjectPtr>(m_data) : nullptr;
}

Uid Value::toUid() const {
    return type() == Type::Uid ? std::get<Uid>(m_data) : Uid{};
}

const ValueArray& Value::toArray() const {
    static const ValueArray empty;
    return type() == Type::Array ? std::get<ValueArray>(m_data) : empty;
}

const ValueDictionary& Value::toDictionary() const {
    static const ValueDictionary empty;
    return type() == Type::Dictionary ? std::get<ValueDictionary>(m_data) : empty;
}

bool Value::isFloat() const {
    return type() == Type::Real && std::get<Real>(m_data).isFloat;
}

bool operator==(const Value& a, const Value& b) {
    if (a.type() != b.type())
        return false;
    if (a.type() == Value::Type::Real)
        return std::get<Real>(a.m_data).value == std::get<Real>(b.m_data).value;
    return a.m_data == b.m_data;
}

QString describe(const Value& v) {
    using T = Value::Type;
    switch (v.type()) {
    case T::Nil: return QStringLiteral("nil");
    case T::Bool: return v.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
    case T::Integer: return QString::number(v.toInteger());
    case T::Real: return QString::number(v.toDouble(), 'g', 17) + (v.isFloat() ? QStringLiteral("f") : QString());
    case T::String: return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    case T::Data: return QStringLiteral("<%1 bytes>").arg(v.toData().size());
    case T::Date: return v.toDate().toString(Qt::ISODateWithMs);
    case T::Point: return stringFromPoint(v.toPoint());
    case T::Size: return stringFromSize(v.toSize());
    case T::Rect: return stringFromRect(v.toRect());
    case T::Object: return QStringLiteral("<%1>").arg(v.toObject()->className());
    case T::Uid: return QStringLiteral("UID(%1)").arg(v.toUid().value);
    case T::Array: {
        QStringList parts;
        for (const Value& e : v.toArray())
            parts << describe(e);
        return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    case T::Dictionary: {
        QStringList parts;
        for (const auto& [k, e] : v.toDictionary())
            parts << k + QStringLiteral(" = ") + describe(e);
        return QLatin1Char('{') + parts.join(QStringLiteral("; ")) + QLatin1Char('}');
    }
    }
    return {};
}

}  // namespace kx
