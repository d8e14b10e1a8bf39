#include "graphics/geometry_utilities.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

using kx::AffineTransform;
using kx::Point;
using kx::Rect;
using kx::Size;

namespace {

// Truncation toward zero into an integer type without undefined behaviour: NaN gives 0 and values
// beyond the type's range saturate to its ends.
template <class Int>
Int truncateSaturating(double v) {
    if (std::isnan(v))
        return 0;
    // The limits of 32- and 64-bit types as doubles: max + 1 is a power of two, exactly representable.
    const double upper = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    if (v >= upper)
        return std::numeric_limits<Int>::max();
    if (v <= -upper)
        return std::numeric_limits<Int>::min();
    return static_cast<Int>(v);
}

// A value that should be a size component; NaN from degenerate arithmetic becomes 0.
double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace

double degreesToRadians(double degrees) {
    return degrees * kPi / 180.0;
}

double radiansToDegrees(double radians) {
    return radians * 180.0 / kPi;
}

AffineTransform makeTransformAboutCenter(Point center, double angle, double scaleX, double scaleY,
                                         const AffineTransform& base) {
    return base.translated(center.x, center.y).scaled(scaleX, scaleY).rotated(angle).translated(-center.x, -center.y);
}

Point transformPointAboutCenter(Point point, Point center, double angle, double scaleX, double scaleY) {
    return makeTransformAboutCenter(center, angle, scaleX, scaleY, AffineTransform()).apply(point);
}

Rect transformRectAboutCenter(Point center, double angle, double scaleX, double scaleY, Rect rect) {
    return makeTransformAboutCenter(center, angle, scaleX, scaleY, AffineTransform()).apply(rect);
}

Size aspectFitSize(Size size, Size bound) {
    if ((size.width == 0 && size.height == 0) || (bound.width == 0 && bound.height == 0))
        return {0, 0};
    const double aspect = size.width / size.height;
    if (aspect > bound.width / bound.height)
        return {finiteOrZero(bound.width), finiteOrZero(bound.width / aspect)};
    return {finiteOrZero(aspect * bound.height), finiteOrZero(bound.height)};
}

Size aspectFillSize(Size size, Size bound) {
    if ((size.width == 0 && size.height == 0) || (bound.width == 0 && bound.height == 0))
        return {0, 0};
    const double aspect = size.width / size.height;
    if (bound.width / bound.height > aspect)
        return {finiteOrZero(bound.width), finiteOrZero(bound.width / aspect)};
    return {finiteOrZero(aspect * bound.height), finiteOrZero(bound.height)};
}

int compareSizeToSize(Size size, Size bound) {
    return (size.width > bound.width || size.height > bound.height) ? 1 : -1;
}

Rect aspectFitRect(Rect rect, Rect bound) {
    const double s = std::min(bound.size.width / rect.size.width, bound.size.height / rect.size.height);
    const double w = s * rect.size.width, h = s * rect.size.height;
    if (!std::isfinite(w) || !std::isfinite(h))
        return Rect(bound.origin.x + bound.size.width / 2, bound.origin.y + bound.size.height / 2, 0, 0);
    return Rect(bound.origin.x + (bound.size.width - w) / 2, bound.origin.y + (bound.size.height - h) / 2, w, h);
}

static double roundComponent(double v) {
    // Values beyond single precision's range would become infinite in a float; they are far past
    // any fraction, so rounding them in double precision gives the same whole number.
    if (!(std::fabs(v) <= FLT_MAX))
        return std::nearbyint(v);
    return double(std::nearbyintf(float(v)));
}

Rect roundRectComponents(Rect rect) {
    return Rect(roundComponent(rect.origin.x), roundComponent(rect.origin.y), roundComponent(rect.size.width),
                roundComponent(rect.size.height));
}

Rect rectForPointsWithMargin(double x1, double y1, double x2, double y2) {
    return Rect(std::min(x1, x2) - 1, std::min(y1, y2) - 1, std::fabs(x2 - x1) + 2, std::fabs(y2 - y1) + 2);
}

Point lineIntersectionPoint(Point p1, Point p2, Point p3, Point p4) {
    const double x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y, x3 = p3.x, y3 = p3.y, x4 = p4.x, y4 = p4.y;
    const double dx = (y1 - y2) * (x4 - x3) - (y3 - y4) * (x2 - x1);
    const double nx = (y4 - y3) * x3 * (x2 - x1) + (y1 - y3) * (x2 - x1) * (x4 - x3) - (y2 - y1) * x1 * (x4 - x3);
    const double dy = (x1 - x2) * (y4 - y3) - (y2 - y1) * (x3 - x4);
    const double ny = (y4 - y3) * y2 * (x1 - x2) + (y1 - y2) * (y4 - y3) * (x4 - x2) - (x3 - x4) * y4 * (y2 - y1);
    const auto quotient = [](double n, double d) {
        const double q = double(truncateSaturating<std::int64_t>(n)) / double(truncateSaturating<std::int64_t>(d));
        return double(truncateSaturating<std::int32_t>(q));
    };
    return Point(quotient(nx, dx), quotient(ny, dy));
}

bool segmentsIntersect(Point p1, Point p2, Point p3, Point p4) {
    const double x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y, x3 = p3.x, y3 = p3.y, x4 = p4.x, y4 = p4.y;
    const auto side = [](double v) { return truncateSaturating<std::int64_t>(v); };
    const std::int64_t s3 = side((y3 - y2) * x1 + (y1 - y3) * x2 + (y2 - y1) * x3);
    const std::int64_t s4 = side((y4 - y2) * x1 + (y1 - y4) * x2 + (y2 - y1) * x4);
    if ((s3 >= 0) == (s4 >= 0) && !(s3 == 0 && s4 == 0))
        return false;
    const std::int64_t t1 = side((y4 - y3) * x1 + (y1 - y4) * x3 + (y3 - y1) * x4);
    const std::int64_t t2 = side((y4 - y3) * x2 + (y2 - y4) * x3 + (y3 - y2) * x4);
    return (t1 >= 0) != (t2 >= 0) || (t1 == 0 && t2 == 0);
}

Point projectPointToRectEdge(Point p, Rect r) {
    if (!r.contains(p))
        return p;
    const double mx = r.midX(), my = r.midY();
    const double ex = r.width() / 2 + 1, ey = r.height() / 2 + 1;
    const float dx = float(p.x - mx), dy = float(p.y - my);

    // The quadrant decides which vertical (x) and horizontal (y) edge the ray can cross.
    const bool right = p.x >= mx;
    const bool top = right ? p.y >= my : !(p.y <= my);
    const float toVertical = float(right ? r.maxX() - p.x : p.x - r.minX());
    const float toHorizontal = float(top ? r.maxY() - p.y : p.y - r.minY());
    const double xEdge = right ? ex : -ex, yEdge = top ? ey : -ey;

    // A ray along an axis meets only the edge across it; the centre itself goes to the top edge.
    bool vertical = toHorizontal > toVertical;
    if (dx == 0)
        vertical = false;
    else if (dy == 0)
        vertical = true;
    if (vertical)
        return Point(mx + xEdge, my + double(dy) * xEdge / double(dx));
    if (dy == 0)
        return Point(mx, my + ey);
    return Point(mx + double(dx) * yEdge / double(dy), my + yEdge);
}

double cubicBezierValue(double start, double end, double control1, double control2, double t) {
    const float ft = float(t), mt = 1.0f - ft;
    const float mt2 = mt * mt, mt3 = mt2 * mt, t2 = ft * ft, t3 = t2 * ft;
    return double(mt3) * start + 3.0 * double(mt2) * t * control1 + 3.0 * (1.0 - t) * double(t2) * control2 +
           double(t3) * end;
}

namespace {

// The weights of the one-handle curve at its handle parameter, with the powers in single precision:
// start (1 - t)³ + 3(1 - t)²t, handle 3(1 - t)t², end t³.
constexpr double kHandleParam = 0.68;

struct HandleWeights {
    double start, handle, end;
};

HandleWeights handleWeights() {
    const float t = float(kHandleParam), mt = 1.0f - t;
    return {double(mt * mt * mt) + 3.0 * double(mt * mt) * kHandleParam,
            3.0 * (1.0 - kHandleParam) * double(t * t), double(t * t * t)};
}

}  // namespace

double curvePointAtHandleParam(double start, double end, double handle) {
    const HandleWeights w = handleWeights();
    return w.start * start + w.end * end + w.handle * handle;
}

double curveHandleThroughPoint(double start, double end, double through) {
    const HandleWeights w = handleWeights();
    return (through - w.start * start - w.end * end) / w.handle;
}

QStringList splitCubicBezier(Point p0, Point p3, Point p1, Point p2, double t) {
    const auto lerp = [t](Point a, Point b) { return a + (b - a) * t; };
    const Point q0 = lerp(p0, p1), q1 = lerp(p1, p2), q2 = lerp(p2, p3);
    const Point r0 = lerp(q0, q1), r1 = lerp(q1, q2);
    return {kx::stringFromPoint(q0), kx::stringFromPoint(r0), kx::stringFromPoint(r1), kx::stringFromPoint(q2)};
}
