#include "platform/gfx/bezier_path.h"

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

// Control-point distance of a cubic quarter circle of radius 1.
constexpr double kCircleKappa = 0.5522847498307936;
// Upper bound of lines one curve is flattened into, so that huge or degenerate curves stay cheap.
constexpr int kMaxSegmentsPerCurve = 1024;

Point cubicPoint(const Point& p0, const Point& p1, const Point& p2, const Point& p3, double t) {
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

// Parameters in (0, 1) where one coordinate of a cubic has a zero derivative.
void cubicExtremes(double p0, double p1, double p2, double p3, std::vector<double>& out) {
    // Derivative / 3 = a t^2 + b t + c.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    const auto keep = [&out](double t) {
        if (t > 0 && t < 1)
            out.push_back(t);
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12)
            keep(-c / b);
        return;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0)
        return;
    const double root = std::sqrt(disc);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
}

// Number of lines that keep a cubic within `flatness` of its true course (Wang's bound).
int segmentsForCubic(const Point& p0, const Point& p1, const Point& p2, const Point& p3, double flatness) {
    const double ddx = std::max(std::fabs(p0.x - 2 * p1.x + p2.x), std::fabs(p1.x - 2 * p2.x + p3.x));
    const double ddy = std::max(std::fabs(p0.y - 2 * p1.y + p2.y), std::fabs(p1.y - 2 * p2.y + p3.y));
    const double dd = std::hypot(ddx, ddy);
    const double tolerance = flatness > 0 && std::isfinite(flatness) ? flatness : BezierPath::defaultFlatness;
    const double n = std::ceil(std::sqrt(0.75 * dd / tolerance));
    if (!std::isfinite(n) || n < 1)
        return std::isfinite(n) ? 1 : kMaxSegmentsPerCurve;
    return int(std::min<double>(n, kMaxSegmentsPerCurve));
}

Rect rectFromExtents(double minX, double minY, double maxX, double maxY) {
    return Rect(minX, minY, maxX - minX, maxY - minY);
}

}  // namespace

int BezierPath::Element::pointCount() const {
    switch (type) {
    case ElementType::MoveTo:
    case ElementType::LineTo:
        return 1;
    case ElementType::CurveTo:
        return 3;
    case ElementType::ClosePath:
        return 0;
    }
    return 0;
}

BezierPath BezierPath::withRect(const Rect& rect) {
    BezierPath path;
    path.appendBezierPathWithRect(rect);
    return path;
}

BezierPath BezierPath::withOvalInRect(const Rect& rect) {
    BezierPath path;
    path.appendBezierPathWithOvalInRect(rect);
    return path;
}

BezierPath BezierPath::withRoundedRect(const Rect& rect, double xRadius, double yRadius) {
    BezierPath path;
    path.appendBezierPathWithRoundedRect(rect, xRadius, yRadius);
    return path;
}

bool BezierPath::hasOpenSubpath() const {
    return !m_elements.empty() && m_elements.back().type != ElementType::ClosePath;
}

void BezierPath::ensureSubpathForDrawing() {
    if (m_elements.empty())
        moveTo(Point(0, 0));
    else if (m_elements.back().type == ElementType::ClosePath)
        moveTo(m_subpathStart);
}

void BezierPath::moveTo(const Point& p) {
    Element e;
    e.type = ElementType::MoveTo;
    e.points[0] = p;
    m_elements.push_back(e);
    m_subpathStart = p;
}

void BezierPath::lineTo(const Point& p) {
    ensureSubpathForDrawing();
    Element e;
    e.type = ElementType::LineTo;
    e.points[0] = p;
    m_elements.push_back(e);
}

void BezierPath::curveTo(const Point& end, const Point& control1, const Point& control2) {
    ensureSubpathForDrawing();
    Element e;
    e.type = ElementType::CurveTo;
    e.points[0] = control1;
    e.points[1] = control2;
    e.points[2] = end;
    m_elements.push_back(e);
}

void BezierPath::closePath() {
    if (!hasOpenSubpath())
        return;
    Element e;
    e.type = ElementType::ClosePath;
    m_elements.push_back(e);
}

void BezierPath::removeAllPoints() {
    m_elements.clear();
    m_subpathStart = Point();
}

void BezierPath::appendBezierPath(const BezierPath& other) {
    for (const Element& e : other.m_elements) {
        switch (e.type) {
        case ElementType::MoveTo: moveTo(e.points[0]); break;
        case ElementType::LineTo: lineTo(e.points[0]); break;
        case ElementType::CurveTo: curveTo(e.points[2], e.points[0], e.points[1]); break;
        case ElementType::ClosePath: closePath(); break;
        }
    }
}

void BezierPath::appendBezierPathWithRect(const Rect& rect) {
    const Rect r = rect.standardized();
    moveTo(Point(r.minX(), r.minY()));
    lineTo(Point(r.maxX(), r.minY()));
    lineTo(Point(r.maxX(), r.maxY()));
    lineTo(Point(r.minX(), r.maxY()));
    closePath();
}

void BezierPath::appendBezierPathWithOvalInRect(const Rect& rect) {
    const Rect r = rect.standardized();
    const double cx = r.midX(), cy = r.midY();
    const double rx = r.width() / 2, ry = r.height() / 2;
    const double kx = rx * kCircleKappa, ky = ry * kCircleKappa;
    moveTo(Point(cx + rx, cy));
    curveTo(Point(cx, cy + ry), Point(cx + rx, cy + ky), Point(cx + kx, cy + ry));
    curveTo(Point(cx - rx, cy), Point(cx - kx, cy + ry), Point(cx - rx, cy + ky));
    curveTo(Point(cx, cy - ry), Point(cx - rx, cy - ky), Point(cx - kx, cy - ry));
    curveTo(Point(cx + rx, cy), Point(cx + kx, cy - ry), Point(cx + rx, cy - ky));
    closePath();
}

void BezierPath::appendBezierPathWithRoundedRect(const Rect& rect, double xRadius, double yRadius) {
    const Rect r = rect.standardized();
    const double rx = std::clamp(std::isfinite(xRadius) ? xRadius : 0.0, 0.0, r.width() / 2);
    const double ry = std::clamp(std::isfinite(yRadius) ? yRadius : 0.0, 0.0, r.height() / 2);
    if (rx <= 0 || ry <= 0) {
        appendBezierPathWithRect(r);
        return;
    }
    const double kx = rx * kCircleKappa, ky = ry * kCircleKappa;
    const double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
    moveTo(Point(x0 + rx, y0));
    lineTo(Point(x1 - rx, y0));
    curveTo(Point(x1, y0 + ry), Point(x1 - rx + kx, y0), Point(x1, y0 + ry - ky));
    lineTo(Point(x1, y1 - ry));
    curveTo(Point(x1 - rx, y1), Point(x1, y1 - ry + ky), Point(x1 - rx + kx, y1));
    lineTo(Point(x0 + rx, y1));
    curveTo(Point(x0, y1 - ry), Point(x0 + rx - kx, y1), Point(x0, y1 - ry + ky));
    lineTo(Point(x0, y0 + ry));
    curveTo(Point(x0 + rx, y0), Point(x0, y0 + ry - ky), Point(x0 + rx - kx, y0));
    closePath();
}

BezierPath::Element BezierPath::elementAtIndex(int index) const {
    if (index < 0 || index >= elementCount())
        return Element();
    return m_elements[size_t(index)];
}

Point BezierPath::currentPoint() const {
    if (m_elements.empty())
        return Point();
    const Element& last = m_elements.back();
    switch (last.type) {
    case ElementType::MoveTo:
    case ElementType::LineTo:
        return last.points[0];
    case ElementType::CurveTo:
        return last.points[2];
    case ElementType::ClosePath:
        return m_subpathStart;
    }
    return Point();
}

Rect BezierPath::bounds() const {
    if (m_elements.empty())
        return Rect();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    const auto add = [&](const Point& p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    };
    Point current;
    std::vector<double> ts;
    for (const Element& e : m_elements) {
        switch (e.type) {
        case ElementType::MoveTo:
        case ElementType::LineTo:
            add(e.points[0]);
            current = e.points[0];
            break;
        case ElementType::CurveTo: {
            const Point& p0 = current;
            const Point &p1 = e.points[0], &p2 = e.points[1], &p3 = e.points[2];
            add(p3);
            ts.clear();
            cubicExtremes(p0.x, p1.x, p2.x, p3.x, ts);
            cubicExtremes(p0.y, p1.y, p2.y, p3.y, ts);
            for (double t : ts)
                add(cubicPoint(p0, p1, p2, p3, t));
            current = p3;
            break;
        }
        case ElementType::ClosePath:
            break;
        }
    }
    if (!(minX <= maxX) || !(minY <= maxY))
        return Rect();
    return rectFromExtents(minX, minY, maxX, maxY);
}

Rect BezierPath::controlPointBounds() const {
    if (m_elements.empty())
        return Rect();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const Element& e : m_elements) {
        for (int i = 0; i < e.pointCount(); ++i) {
            minX = std::min(minX, e.points[i].x);
            minY = std::min(minY, e.points[i].y);
            maxX = std::max(maxX, e.points[i].x);
            maxY = std::max(maxY, e.points[i].y);
        }
    }
    if (!(minX <= maxX) || !(minY <= maxY))
        return Rect();
    return rectFromExtents(minX, minY, maxX, maxY);
}

void BezierPath::transform(const AffineTransform& t) {
    for (Element& e : m_elements) {
        for (int i = 0; i < e.pointCount(); ++i)
            e.points[i] = t.apply(e.points[i]);
    }
    m_subpathStart = t.apply(m_subpathStart);
}

BezierPath BezierPath::flattened() const {
    BezierPath out = *this;
    out.m_elements.clear();
    out.m_elements.reserve(m_elements.size());
    Point current;
    for (const Element& e : m_elements) {
        switch (e.type) {
        case ElementType::MoveTo:
            out.moveTo(e.points[0]);
            current = e.points[0];
            break;
        case ElementType::LineTo:
            out.lineTo(e.points[0]);
            current = e.points[0];
            break;
        case ElementType::CurveTo: {
            const int n = segmentsForCubic(current, e.points[0], e.points[1], e.points[2], m_flatness);
            for (int i = 1; i < n; ++i)
                out.lineTo(cubicPoint(current, e.points[0], e.points[1], e.points[2], double(i) / n));
            out.lineTo(e.points[2]);
            current = e.points[2];
            break;
        }
        case ElementType::ClosePath:
            out.closePath();
            current = out.currentPoint();
            break;
        }
    }
    return out;
}

bool BezierPath::containsPoint(const Point& p) const {
    const BezierPath flat = flattened();
    int winding = 0;
    Point start, previous;
    bool open = false;
    // Signed crossings of a ray from p towards +x with the edge a -> b.
    const auto edge = [&](const Point& a, const Point& b) {
        if (a.y <= p.y) {
            if (b.y > p.y && (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y) > 0)
                ++winding;
        } else if (b.y <= p.y && (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y) < 0) {
            --winding;
        }
    };
    for (const Element& e : flat.m_elements) {
        switch (e.type) {
        case ElementType::MoveTo:
            if (open)
                edge(previous, start);
            start = previous = e.points[0];
            open = true;
            break;
        case ElementType::LineTo:
            edge(previous, e.points[0]);
            previous = e.points[0];
            break;
        case ElementType::ClosePath:
            if (open)
                edge(previous, start);
            previous = start;
            open = false;
            break;
        case ElementType::CurveTo:
            break;  // a flattened path has none
        }
    }
    if (open)
        edge(previous, start);
    return m_windingRule == FillRule::EvenOdd ? (winding % 2) != 0 : winding != 0;
}

void BezierPath::setLineDash(const std::vector<double>& pattern, double phase) {
    m_dashPattern = pattern;
    m_dashPhase = phase;
}

Path BezierPath::toPath() const {
    Path path;
    for (const Element& e : m_elements) {
        switch (e.type) {
        case ElementType::MoveTo: path.moveTo(e.points[0]); break;
        case ElementType::LineTo: path.lineTo(e.points[0]); break;
        case ElementType::CurveTo: path.curveTo(e.points[0], e.points[1], e.points[2]); break;
        case ElementType::ClosePath: path.closeSubpath(); break;
        }
    }
    return path;
}

QString BezierPath::description() const {
    return QStringLiteral("BezierPath(%1 elements, bounds %2)").arg(elementCount()).arg(stringFromRect(bounds()));
}

}  // namespace kx
