#include "platform/gfx/path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kx {

int Path::Element::pointCount() const {
    switch (type) {
    case ElementType::MoveTo:
    case ElementType::LineTo: return 1;
    case ElementType::QuadTo: return 2;
    case ElementType::CurveTo: return 3;
    case ElementType::Close: return 0;
    }
    return 0;
}

void Path::forEachElement(const std::function<void(const Element&)>& visit) const {
    for (const Element& e : m_elements)
        visit(e);
}

void Path::moveTo(const Point& p) {
    m_elements.push_back({ElementType::MoveTo, {p, {}, {}}});
    m_subpathStart = p;
}

void Path::lineTo(const Point& p) {
    if (!hasCurrentPoint()) {
        moveTo(p);
        return;
    }
    m_elements.push_back({ElementType::LineTo, {p, {}, {}}});
}

void Path::quadTo(const Point& control, const Point& end) {
    if (!hasCurrentPoint())
        moveTo(control);
    m_elements.push_back({ElementType::QuadTo, {control, end, {}}});
}

void Path::curveTo(const Point& control1, const Point& control2, const Point& end) {
    if (!hasCurrentPoint())
        moveTo(control1);
    m_elements.push_back({ElementType::CurveTo, {control1, control2, end}});
}

void Path::addArc(const Point& center, double radius, double startAngle, double endAngle, bool clockwise) {
    if (!std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle))
        return;
    radius = std::abs(radius);
    constexpr double fullTurn = 2 * std::numbers::pi;
    // Signed sweep: positive counter-clockwise. A sweep of a full turn or more is one full circle.
    double sweep = clockwise ? startAngle - endAngle : endAngle - startAngle;
    if (sweep >= fullTurn) {
        sweep = fullTurn;
    } else {
        sweep = std::fmod(sweep, fullTurn);
        if (sweep < 0)
            sweep += fullTurn;
    }
    if (clockwise)
        sweep = -sweep;

    const Point start{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (hasCurrentPoint())
        lineTo(start);
    else
        moveTo(start);
    if (sweep == 0 || radius == 0)
        return;

    // Cubic segments of at most a quarter turn each.
    const int segments = std::max(1, int(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    const double step = sweep / segments;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    double a0 = startAngle;
    for (int i = 0; i < segments; ++i) {
        const double a1 = a0 + step;
        const double c0 = std::cos(a0), s0 = std::sin(a0), c1 = std::cos(a1), s1 = std::sin(a1);
        const Point p1{center.x + radius * (c0 - k * s0), center.y + radius * (s0 + k * c0)};
        const Point p2{center.x + radius * (c1 + k * s1), center.y + radius * (s1 - k * c1)};
        const Point p3{center.x + radius * c1, center.y + radius * s1};
        m_elements.push_back({ElementType::CurveTo, {p1, p2, p3}});
        a0 = a1;
    }
}

void Path::addRect(const Rect& rect) {
    const Rect r = rect.standardized();
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    closeSubpath();
}

void Path::addEllipseInRect(const Rect& rect) {
    const Rect r = rect.standardized();
    const double rx = r.width() / 2, ry = r.height() / 2, cx = r.midX(), cy = r.midY();
    const double k = 4.0 / 3.0 * (std::numbers::sqrt2 - 1);  // control distance of a quarter circle
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
    curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
    curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
    curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
    closeSubpath();
}

void Path::addPath(const Path& other, const AffineTransform& transform) {
    for (const Element& e : other.m_elements) {
        Element mapped = e;
        for (int i = 0; i < e.pointCount(); ++i)
            mapped.points[i] = transform.apply(e.points[i]);
        if (mapped.type == ElementType::MoveTo)
            m_subpathStart = mapped.points[0];
        m_elements.push_back(mapped);
    }
}

void Path::closeSubpath() {
    if (!hasCurrentPoint() || m_elements.back().type == ElementType::Close)
        return;
    m_elements.push_back({ElementType::Close, {}});
}

Point Path::currentPoint() const {
    if (m_elements.empty())
        return {};
    const Element& last = m_elements.back();
    if (last.type == ElementType::Close)
        return m_subpathStart;
    return last.points[last.pointCount() - 1];
}

namespace {

// Extremes of one coordinate of a cubic Bezier on (0, 1), found from the roots of its derivative.
void cubicExtremes(double p0, double p1, double p2, double p3, double& lo, double& hi) {
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    auto consider = [&](double t) {
        if (t <= 0 || t >= 1)
            return;
        const double u = 1 - t;
        const double v = u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    if (std::abs(a) < 1e-12) {
        if (std::abs(b) > 1e-12)
            consider(-c / b);
        return;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0)
        return;
    const double root = std::sqrt(disc);
    consider((-b + root) / (2 * a));
    consider((-b - root) / (2 * a));
}

struct Bounds {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    void add(const Point& p) {
        if (!any) {
            minX = maxX = p.x;
            minY = maxY = p.y;
            any = true;
            return;
        }
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    Rect rect() const { return any ? Rect(minX, minY, maxX - minX, maxY - minY) : Rect::null(); }
};

}  // namespace

Rect Path::boundingBox() const {
    Bounds b;
    Point current;
    for (const Element& e : m_elements) {
        switch (e.type) {
        case ElementType::MoveTo:
        case ElementType::LineTo:
            b.add(e.points[0]);
            current = e.points[0];
            break;
        case ElementType::QuadTo: {
            // Raise to a cubic: the same curve.
            const Point c1 = current + (e.points[0] - current) * (2.0 / 3.0);
            const Point c2 = e.points[1] + (e.points[0] - e.points[1]) * (2.0 / 3.0);
            b.add(e.points[1]);
            cubicExtremes(current.x, c1.x, c2.x, e.points[1].x, b.minX, b.maxX);
            cubicExtremes(current.y, c1.y, c2.y, e.points[1].y, b.minY, b.maxY);
            current = e.points[1];
            break;
        }
        case ElementType::CurveTo:
            b.add(e.points[2]);
            cubicExtremes(current.x, e.points[0].x, e.points[1].x, e.points[2].x, b.minX, b.maxX);
            cubicExtremes(current.y, e.points[0].y, e.points[1].y, e.points[2].y, b.minY, b.maxY);
            current = e.points[2];
            break;
        case ElementType::Close:
            break;
        }
    }
    return b.rect();
}

Rect Path::controlPointBoundingBox() const {
    Bounds b;
    for (const Element& e : m_elements)
        for (int i = 0; i < e.pointCount(); ++i)
            b.add(e.points[i]);
    return b.rect();
}

bool Path::contains(const Point& p, FillRule rule) const {
    return toQPainterPath(rule).contains(p.toQt());
}

Path Path::transformed(const AffineTransform& transform) const {
    Path result;
    result.addPath(*this, transform);
    result.m_subpathStart = transform.apply(m_subpathStart);
    return result;
}

QPainterPath Path::toQPainterPath(FillRule rule) const {
    QPainterPath qp;
    qp.setFillRule(rule == FillRule::EvenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    for (const Element& e : m_elements) {
        switch (e.type) {
        case ElementType::MoveTo: qp.moveTo(e.points[0].toQt()); break;
        case ElementType::LineTo: qp.lineTo(e.points[0].toQt()); break;
        case ElementType::QuadTo: qp.quadTo(e.points[0].toQt(), e.points[1].toQt()); break;
        case ElementType::CurveTo: qp.cubicTo(e.points[0].toQt(), e.points[1].toQt(), e.points[2].toQt()); break;
        case ElementType::Close: qp.closeSubpath(); break;
        }
    }
    return qp;
}

Path Path::fromQPainterPath(const QPainterPath& qp) {
    Path path;
    for (int i = 0; i < qp.elementCount(); ++i) {
        const QPainterPath::Element e = qp.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement: path.moveTo({e.x, e.y}); break;
        case QPainterPath::LineToElement: path.lineTo({e.x, e.y}); break;
        case QPainterPath::CurveToElement:
            if (i + 2 < qp.elementCount()) {
                const QPainterPath::Element c2 = qp.elementAt(i + 1), end = qp.elementAt(i + 2);
                path.curveTo({e.x, e.y}, {c2.x, c2.y}, {end.x, end.y});
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement: break;
        }
    }
    return path;
}

}  // namespace kx
