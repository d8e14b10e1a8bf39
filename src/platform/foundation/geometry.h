// Plane geometry value types with the semantics the whole program assumes: double precision,
// y grows upward, rectangles may carry negative sizes (their edges are read standardised),
// containment includes the minimum edges and excludes the maximum ones, and transforms are
// 2x3 affine matrices applied to row vectors, with prepend-style helpers.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace kx {

struct Point {
    double x = 0, y = 0;

    constexpr Point() = default;
    constexpr Point(double px, double py) : x(px), y(py) {}

    friend constexpr bool operator==(const Point&, const Point&) = default;
    constexpr Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    constexpr Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
    constexpr Point operator*(double s) const { return {x * s, y * s}; }

    QPointF toQt() const { return {x, y}; }
    static Point fromQt(const QPointF& p) { return {p.x(), p.y()}; }
};

struct Size {
    double width = 0, height = 0;

    constexpr Size() = default;
    constexpr Size(double w, double h) : width(w), height(h) {}

    friend constexpr bool operator==(const Size&, const Size&) = default;

    QSizeF toQt() const { return {width, height}; }
    static Size fromQt(const QSizeF& s) { return {s.width(), s.height()}; }
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double w, double h) : origin(x, y), size(w, h) {}

    friend constexpr bool operator==(const Rect&, const Rect&) = default;

    // The null rectangle: the result of intersecting disjoint rectangles; a union ignores it.
    static Rect null();
    bool isNull() const;
    // True for the null rectangle and for rectangles without area.
    bool isEmpty() const;

    // The same rectangle with non-negative width and height.
    Rect standardized() const;
    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    double width() const;   // absolute
    double height() const;  // absolute
    Point center() const { return {midX(), midY()}; }

    // Minimum edges inside, maximum edges outside.
    bool contains(const Point& p) const;
    bool contains(const Rect& r) const;
    bool intersects(const Rect& r) const;
    Rect intersected(const Rect& r) const;
    Rect united(const Rect& r) const;
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const;
    // Smallest rectangle of whole numbers that contains this one.
    Rect integral() const;

    QRectF toQt() const { return {origin.x, origin.y, size.width, size.height}; }
    static Rect fromQt(const QRectF& r) { return {r.x(), r.y(), r.width(), r.height()}; }
};

// Affine transform [a b 0; c d 0; tx ty 1] applied to row vectors:
// x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    constexpr AffineTransform() = default;
    constexpr AffineTransform(double pa, double pb, double pc, double pd, double ptx, double pty)
        : a(pa), b(pb), c(pc), d(pd), tx(ptx), ty(pty) {}

    friend constexpr bool operator==(const AffineTransform&, const AffineTransform&) = default;

    static constexpr AffineTransform identity() { return {}; }
    static constexpr AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static constexpr AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform makeRotation(double radians);

    bool isIdentity() const { return *this == AffineTransform(); }

    // `first` then `second`: the point goes through `first` before `second`.
    static AffineTransform concat(const AffineTransform& first, const AffineTransform& second);

    // Prepend-style helpers: the new operation is applied to points before this transform.
    AffineTransform translated(double x, double y) const;
    AffineTransform scaled(double sx, double sy) const;
    AffineTransform rotated(double radians) const;

    // The inverse, or this transform unchanged when it cannot be inverted.
    AffineTransform inverted() const;
    bool isInvertible() const;

    Point apply(const Point& p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Applies the linear part only (no translation).
    Size apply(const Size& s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // Bounding box of the transformed corners of the rectangle; null stays null.
    Rect apply(const Rect& r) const;
    // Qt's QTransform uses the same row-vector convention: QTransform(a, b, c, d, tx, ty).
};

// The string forms of points, sizes and rectangles used by archives and by point arrays:
// "{x, y}", "{w, h}" and "{{x, y}, {w, h}}", numbers printed in their shortest exact form.
QString stringFromPoint(const Point& p);
QString stringFromSize(const Size& s);
QString stringFromRect(const Rect& r);
// Parsing takes the numbers between the braces and commas; missing trailing numbers read as 0. A string
// with a field that is not a finite number, or with more fields than the form has, reads as the zero
// value as a whole.
Point pointFromString(const QString& s);
Size sizeFromString(const QString& s);
Rect rectFromString(const QString& s);

// Whether every component is a finite number: only such values have a string form that reads back.
bool isFiniteGeometry(const Point& p);
bool isFiniteGeometry(const Size& s);
bool isFiniteGeometry(const Rect& r);

}  // namespace kx
