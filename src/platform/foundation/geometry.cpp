#include "platform/foundation/geometry.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kx {

// ---- Rect -----------------------------------------------------------------------------------

Rect Rect::null() {
    const double inf = std::numeric_limits<double>::infinity();
    return Rect(inf, inf, 0, 0);
}

bool Rect::isNull() const {
    return std::isinf(origin.x) || std::isinf(origin.y);
}

bool Rect::isEmpty() const {
    return isNull() || size.width == 0 || size.height == 0 || std::isnan(size.width) || std::isnan(size.height);
}

Rect Rect::standardized() const {
    if (isNull())
        return *this;
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double Rect::minX() const { return standardized().origin.x; }
double Rect::minY() const { return standardized().origin.y; }
double Rect::maxX() const { const Rect r = standardized(); return r.origin.x + r.size.width; }
double Rect::maxY() const { const Rect r = standardized(); return r.origin.y + r.size.height; }
double Rect::midX() const { const Rect r = standardized(); return r.origin.x + r.size.width / 2; }
double Rect::midY() const { const Rect r = standardized(); return r.origin.y + r.size.height / 2; }
double Rect::width() const { return std::fabs(size.width); }
double Rect::height() const { return std::fabs(size.height); }

bool Rect::contains(const Point& p) const {
    if (isNull())
        return false;
    const Rect r = standardized();
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
           p.y < r.origin.y + r.size.height;
}

bool Rect::contains(const Rect& other) const {
    if (isNull() || other.isNull())
        return false;
    return united(other) == standardized();
}

bool Rect::intersects(const Rect& other) const {
    return !intersected(other).isNull();
}

Rect Rect::intersected(const Rect& other) const {
    if (isNull() || other.isNull())
        return null();
    const Rect a = standardized(), b = other.standardized();
    const double x1 = std::max(a.origin.x, b.origin.x);
    const double y1 = std::max(a.origin.y, b.origin.y);
    const double x2 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y2 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (x2 < x1 || y2 < y1)
        return null();
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

Rect Rect::united(const Rect& other) const {
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    const Rect a = standardized(), b = other.standardized();
    const double x1 = std::min(a.origin.x, b.origin.x);
    const double y1 = std::min(a.origin.y, b.origin.y);
    const double x2 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y2 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull())
        return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull())
        return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
}

Rect Rect::integral() const {
    if (isNull())
        return *this;
    const Rect r = standardized();
    const double x1 = std::floor(r.origin.x), y1 = std::floor(r.origin.y);
    const double x2 = std::ceil(r.origin.x + r.size.width), y2 = std::ceil(r.origin.y + r.size.height);
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

// ---- AffineTransform --------------------------------------------------------------------------

AffineTransform AffineTransform::makeRotation(double radians) {
    const double s = std::sin(radians), c = std::cos(radians);
    return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& t1, const AffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,
            t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,
            t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx,
            t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

AffineTransform AffineTransform::translated(double x, double y) const {
    return concat(makeTranslation(x, y), *this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const {
    return concat(makeScale(sx, sy), *this);
}

AffineTransform AffineTransform::rotated(double radians) const {
    return concat(makeRotation(radians), *this);
}

bool AffineTransform::isInvertible() const {
    const double det = a * d - b * c;
    return det != 0 && std::isfinite(det);
}

AffineTransform AffineTransform::inverted() const {
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det))
        return *this;
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Rect AffineTransform::apply(const Rect& r) const {
    if (r.isNull())
        return r;
    const Rect s = r.standardized();
    const Point corners[4] = {apply(s.origin), apply(Point(s.origin.x + s.size.width, s.origin.y)),
                              apply(Point(s.origin.x, s.origin.y + s.size.height)),
                              apply(Point(s.origin.x + s.size.width, s.origin.y + s.size.height))};
    double x1 = corners[0].x, x2 = x1, y1 = corners[0].y, y2 = y1;
    for (const Point& p : corners) {
        x1 = std::min(x1, p.x);
        x2 = std::max(x2, p.x);
        y1 = std::min(y1, p.y);
        y2 = std::max(y2, p.y);
    }
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

// ---- String forms ------------------------------------------------------------------------------

static QString number(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString stringFromPoint(const Point& p) {
    return QStringLiteral("{%1, %2}").arg(number(p.x), number(p.y));
}

QString stringFromSize(const Size& s) {
    return QStringLiteral("{%1, %2}").arg(number(s.width), number(s.height));
}

QString stringFromRect(const Rect& r) {
    return QStringLiteral("{%1, %2}").arg(stringFromPoint(r.origin), stringFromSize(r.size));
}

// The numbers of a string form in order, or all zero when any field is not a finite number: one field
// that does not parse must never shift the later numbers into earlier fields. Missing trailing fields
// read as 0.
static std::vector<double> numbersIn(const QString& s, std::size_t count) {
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?\s*$)"));
    std::vector<double> out(count, 0.0);
    QString fields = s;
    fields.remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    if (fields.trimmed().isEmpty())
        return out;
    const QStringList parts = fields.split(QLatin1Char(','));
    if (std::size_t(parts.size()) > count)
        return out;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const double value = parts[i].trimmed().toDouble();
        if (!number.match(parts[i]).hasMatch() || !std::isfinite(value))
            return std::vector<double>(count, 0.0);
        out[std::size_t(i)] = value;
    }
    return out;
}

bool isFiniteGeometry(const Point& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool isFiniteGeometry(const Size& s) {
    return std::isfinite(s.width) && std::isfinite(s.height);
}

bool isFiniteGeometry(const Rect& r) {
    return isFiniteGeometry(r.origin) && isFiniteGeometry(r.size);
}

Point pointFromString(const QString& s) {
    const auto n = numbersIn(s, 2);
    return {n[0], n[1]};
}

Size sizeFromString(const QString& s) {
    const auto n = numbersIn(s, 2);
    return {n[0], n[1]};
}

Rect rectFromString(const QString& s) {
    const auto n = numbersIn(s, 4);
    return {n[0], n[1], n[2], n[3]};
}

}  // namespace kx
