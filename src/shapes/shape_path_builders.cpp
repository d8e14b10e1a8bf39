#include "shapes/shape_path_builders.h"

#include "graphics/geometry_utilities.h"

#include <algorithm>
#include <cmath>

using kx::BezierPath;
using kx::Point;
using kx::Rect;

namespace {

using ElementType = BezierPath::ElementType;

// The rectangle's own numbers, unstandardised: builders measure from its origin.
struct Frame {
    double x, y, w, h;
    explicit Frame(const Rect& r) : x(r.origin.x), y(r.origin.y), w(r.size.width), h(r.size.height) {}
    double minX() const { return x; }
    double maxX() const { return x + w; }
    double midX() const { return x + w / 2; }
    double minY() const { return y; }
    double maxY() const { return y + h; }
    double midY() const { return y + h / 2; }
};

double number(const kx::ValueDictionary& dic, const char* key) {
    const auto found = dic.find(QString::fromLatin1(key));
    return found == dic.end() ? 0.0 : found->second.toDouble();
}

bool flag(const kx::ValueDictionary& dic, const char* key) {
    const auto found = dic.find(QString::fromLatin1(key));
    return found != dic.end() && found->second.toBool();
}

// Maps frame-relative points into a rectangle whose sides below `floor` read as 1.
class RelativeMapper {
public:
    RelativeMapper(const Rect& rect, bool sideOfOneOrLessIsOne) : m_frame(rect) {
        const auto side = [sideOfOneOrLessIsOne](double v) {
            return (sideOfOneOrLessIsOne ? v > 1 : v > 0) ? v : 1.0;
        };
        m_w = side(m_frame.w);
        m_h = side(m_frame.h);
    }
    Point map(const Point& p) const { return Point(m_frame.x + p.x * m_w, m_frame.y + p.y * m_h); }

private:
    Frame m_frame;
    double m_w = 1, m_h = 1;
};

const KXPathPoint& entry(const KXPathPointArray& points, size_t i) {
    static const KXPathPoint zero;
    return points[i] ? *points[i] : zero;
}

Point rotatedAbout(const Point& p, const Point& center, double degrees) {
    return transformPointAboutCenter(p, center, degreesToRadians(degrees), 1, 1);
}

// ---- speech bubble ----

// The end point of element i: a close repeats the end of what precedes it.
Point endPointOf(const BezierPath& path, int i) {
    for (; i >= 0; --i) {
        const BezierPath::Element& e = path.elements()[size_t(i)];
        switch (e.type) {
        case ElementType::MoveTo:
        case ElementType::LineTo: return e.points[0];
        case ElementType::CurveTo: return e.points[2];
        case ElementType::ClosePath: break;
        }
    }
    return Point();
}

// The curve parameter, in steps of 0.01, at which the curve of element `index` comes within
// `precision` of the point in both coordinates; 0 when no step does.
float splitParameter(const BezierPath& path, int index, const Point& target, double precision) {
    const BezierPath::Element& e = path.elements()[size_t(index)];
    const Point start = endPointOf(path, index - 1);
    const float eps = float(precision);
    for (float t = 0; t <= 1; t += 0.01f) {
        const double x = cubicBezierValue(start.x, e.points[2].x, e.points[0].x, e.points[1].x, t);
        const double y = cubicBezierValue(start.y, e.points[2].y, e.points[0].y, e.points[1].y, t);
        if (std::fabs(float(x - target.x)) <= eps && std::fabs(float(y - target.y)) <= eps)
            return t;
    }
    return 0;
}

// The control points Q0, R0, R1, Q2 of the two halves of element `index` (a curve) split at t.
struct SplitControls {
    Point q0, r0, r1, q2;
};

SplitControls splitElement(const BezierPath& path, int index, float t) {
    const BezierPath::Element& e = path.elements()[size_t(index)];
    const QStringList parts = splitCubicBezier(endPointOf(path, index - 1), e.points[2], e.points[0], e.points[1], t);
    return {kx::pointFromString(parts.value(0)), kx::pointFromString(parts.value(1)),
            kx::pointFromString(parts.value(2)), kx::pointFromString(parts.value(3))};
}

bool isCurve(const BezierPath& path, int index) {
    return index >= 0 && index < path.elementCount() && path.elements()[size_t(index)].type == ElementType::CurveTo;
}

void emitUnchanged(BezierPath& out, const BezierPath::Element& e) {
    switch (e.type) {
    case ElementType::MoveTo: out.moveTo(e.points[0]); break;
    case ElementType::LineTo: out.lineTo(e.points[0]); break;
    case ElementType::CurveTo: out.curveTo(e.points[2], e.points[0], e.points[1]); break;
    case ElementType::ClosePath: break;  // the result is closed once, at its end
    }
}

}  // namespace

std::optional<kx::Path> quartzPathWhileClose(const BezierPath& path, bool close) {
    if (path.isEmpty())
        return std::nullopt;
    kx::Path out;
    bool lastSubpathClosed = true;
    for (const BezierPath::Element& e : path.elements()) {
        switch (e.type) {
        case ElementType::MoveTo: out.moveTo(e.points[0]); break;
        case ElementType::LineTo:
            out.lineTo(e.points[0]);
            lastSubpathClosed = false;
            break;
        case ElementType::CurveTo:
            out.curveTo(e.points[0], e.points[1], e.points[2]);
            lastSubpathClosed = false;
            break;
        case ElementType::ClosePath:
            out.closeSubpath();
            lastSubpathClosed = true;
            break;
        }
    }
    if (close && !lastSubpathClosed)
        out.closeSubpath();
    return out;
}

BezierPath equilTriangle(const Rect& rect) {
    const Frame f(rect);
    BezierPath path;
    path.moveTo(Point(f.midX(), f.maxY()));
    path.lineTo(Point(f.minX(), f.minY()));
    path.lineTo(Point(f.maxX(), f.minY()));
    path.closePath();
    return path;
}

BezierPath rightTriangle(const Rect& rect) {
    const Frame f(rect);
    BezierPath path;
    path.moveTo(Point(f.minX(), f.maxY()));
    path.lineTo(Point(f.minX(), f.minY()));
    path.lineTo(Point(f.maxX(), f.minY()));
    path.closePath();
    return path;
}

BezierPath circular(const Rect& rect, double radiusX, double radiusY) {
    return BezierPath::withRoundedRect(rect, radiusX, radiusY);
}

BezierPath singleArrow(const Rect& rect, const kx::ValueDictionary& dic) {
    const Frame f(rect);
    const bool pointsRight = flag(dic, "rightDirection");
    const float width = float(number(dic, "width"));
    const float arrow = float(number(dic, "arrow"));
    const double headBase = pointsRight ? f.minX() + (1 - arrow) * f.w : f.minX() + arrow * f.w;
    const float inset = width * float(f.h) * 0.5f;

    BezierPath path;
    path.moveTo(Point(headBase, f.minY() + inset));
    path.lineTo(Point(headBase, f.minY()));
    path.lineTo(Point(pointsRight ? f.maxX() : f.minX(), f.midY()));
    path.lineTo(Point(headBase, f.maxY()));
    path.lineTo(Point(headBase, f.maxY() - inset));
    if (arrow == 1.0f) {
        path.closePath();  // all head, no shaft
        return path;
    }
    const double tailEnd = pointsRight ? f.minX() : f.maxX();
    path.lineTo(Point(tailEnd, f.maxY() - inset));
    path.lineTo(Point(tailEnd, f.minY() + inset));
    path.closePath();
    return path;
}

BezierPath doubleArrowInRect(const Rect& rect, const kx::ValueDictionary& dic) {
    const Frame f(rect);
    const float dx = float(number(dic, "widthScale") * f.w / 2);
    const float dy = float(number(dic, "breadthScale") * f.h / 2);
    const double right = f.midX() + dx, left = f.midX() - dx;
    BezierPath path;
    path.moveTo(Point(f.midX(), f.minY() + dy));
    path.lineTo(Point(right, f.minY() + dy));
    path.lineTo(Point(right, f.minY()));
    path.lineTo(Point(f.maxX(), f.midY()));
    path.lineTo(Point(right, f.maxY()));
    path.lineTo(Point(right, f.maxY() - dy));
    path.lineTo(Point(left, f.maxY() - dy));
    path.lineTo(Point(left, f.maxY()));
    path.lineTo(Point(f.minX(), f.midY()));
    path.lineTo(Point(left, f.minY()));
    path.lineTo(Point(left, f.minY() + dy));
    path.lineTo(Point(f.midX(), f.minY() + dy));
    path.closePath();
    return path;
}

BezierPath lozengeInRect(const Rect& rect) {
    const Frame f(rect);
    BezierPath path;
    path.moveTo(Point(f.minX(), f.midY()));
    path.lineTo(Point(f.midX(), f.maxY()));
    path.lineTo(Point(f.maxX(), f.midY()));
    path.lineTo(Point(f.midX(), f.minY()));
    path.closePath();
    return path;
}

BezierPath polygonInRect(const Rect& rect, long sides) {
    BezierPath path;
    if (sides <= 0)
        return path;
    const long n = std::min(sides, kMaxShapeSides);
    const Frame f(rect);
    for (long i = 0; i < n; ++i) {
        const float theta = float(2 * kPi * double(i) / double(n));
        // On the inscribed ellipse; written without dividing by the height so a flat rectangle stays finite.
        const Point vertex(f.midX() + f.w / 2 * std::sin(double(theta)), f.midY() + f.h / 2 * std::cos(double(theta)));
        if (i == 0)
            path.moveTo(vertex);
        else
            path.lineTo(vertex);
    }
    return path;
}

BezierPath starInRect(const Rect& rect, long points, float radiusScale) {
    BezierPath path;
    if (points <= 0)
        return path;
    const long n = std::min(points, kMaxShapeSides);
    const Frame f(rect);
    const double outer = f.h / 2;
    const float inner = radiusScale * float(f.h / 2);
    for (long i = 0; i < 2 * n; ++i) {
        const float theta = float(double(i) * kPi / double(n));
        const bool isOuter = i % 2 == 0;
        const double radius = isOuter ? outer : double(inner);
        // x is stretched by w/h; as a share of the half width it needs no division by the height.
        const double share = isOuter ? 1.0 : double(radiusScale);
        const Point vertex(f.midX() + f.w / 2 * share * std::sin(double(theta)), f.midY() + radius * std::cos(double(theta)));
        if (i == 0)
            path.moveTo(vertex);
        else
            path.lineTo(vertex);
    }
    return path;
}

BezierPath bubble(const Rect&, const Rect& bubbleRect, double bubbleRadius, double arrowRadius,
                  const Point& arrowPoint, double precision) {
    const BezierPath body = BezierPath::withRoundedRect(bubbleRect, bubbleRadius, bubbleRadius);
    const BezierPath flat = body.flattened();
    if (flat.containsPoint(arrowPoint))
        return body;

    // The two rays from the centre that the tail's sides follow, ending just beyond the body.
    const Point center = bubbleRect.center();
    const Point q1 = projectPointToRectEdge(rotatedAbout(arrowPoint, center, -arrowRadius), bubbleRect);
    const Point q2 = projectPointToRectEdge(rotatedAbout(arrowPoint, center, arrowRadius), bubbleRect);

    // Where the rays cross the flattened outline (the closing segment is not tested).
    Point break1, break2;
    bool found1 = false, found2 = false;
    for (int i = 0; i + 1 < flat.elementCount() && !(found1 && found2); ++i) {
        const Point a = endPointOf(flat, i), b = endPointOf(flat, i + 1);
        if (!found1) {
            break1 = lineIntersectionPoint(a, b, center, q1);
            found1 = segmentsIntersect(a, b, center, q1);
        }
        if (!found2) {
            break2 = lineIntersectionPoint(a, b, center, q2);
            found2 = segmentsIntersect(a, b, center, q2);
        }
    }

    // The body elements k whose following element k + 1 carries each break.
    const int count = body.elementCount();
    int ka = -1, kb = -1;
    for (int k = 0; k < count; ++k) {
        const Point from = endPointOf(body, k), to = endPointOf(body, k + 1 < count ? k + 1 : 0);
        const Rect span = rectForPointsWithMargin(from.x, from.y, to.x, to.y);
        if (span.contains(break1))
            ka = k;
        if (span.contains(break2))
            kb = k;
        if (ka >= 0 && kb >= 0)
            break;
    }
    if (ka < 0 && kb < 0)
        return body;

    BezierPath out;
    // Along element ka + 1 up to the first break: its first piece when it is a curve.
    const auto toFirstBreak = [&] {
        if (!isCurve(body, ka) && isCurve(body, ka + 1)) {
            const SplitControls c = splitElement(body, ka + 1, splitParameter(body, ka + 1, break1, precision));
            out.curveTo(break1, c.q0, c.r0);
        } else {
            out.lineTo(break1);
        }
    };
    const auto drawTail = [&] {
        out.lineTo(arrowPoint);
        out.lineTo(break2);
    };

    bool tailDrawn = false;
    int e = 0;
    if (ka > kb) {
        // The tail straddles the start of the body's outline: begin with it.
        out.moveTo(break1);
        drawTail();
        tailDrawn = true;
        e = kb + 1;
    }
    while (e < count - 1) {
        const BezierPath::Element& element = body.elements()[size_t(e)];
        if (e == ka && ka > kb && tailDrawn) {
            emitUnchanged(out, element);
            toFirstBreak();
            break;
        }
        if (e == ka && !tailDrawn) {
            emitUnchanged(out, element);
            toFirstBreak();
            drawTail();
            tailDrawn = true;
            e = kb + 1;
            continue;
        }
        if (e == kb + 1) {
            // From the second break along the rest of this element.
            if (element.type == ElementType::CurveTo) {
                const SplitControls c = splitElement(body, e, splitParameter(body, e, break2, precision));
                out.curveTo(element.points[2], c.r1, c.q2);
            } else if (element.type != ElementType::ClosePath) {
                out.lineTo(element.points[0]);
            }
        } else {
            emitUnchanged(out, element);
        }
        ++e;
    }
    out.closePath();
    return out;
}

BezierPath customPathWithPoints(const KXPathPointArray& points, const Rect& rect) {
    BezierPath path;
    if (points.empty())
        return path;
    const RelativeMapper m(rect, true);
    path.moveTo(m.map(entry(points, 0).point1()));
    for (size_t i = 1; i < points.size(); ++i) {
        const KXPathPoint& p = entry(points, i);
        path.curveTo(m.map(p.point3()), m.map(p.point1()), m.map(p.point2()));
    }
    return path;
}

BezierPath linePathWithPoints(const KXPathPointArray& points, const Rect& rect) {
    BezierPath path;
    if (points.empty())
        return path;
    const RelativeMapper m(rect, false);
    path.moveTo(m.map(entry(points, 0).point1()));
    path.lineTo(m.map(entry(points, 0).point2()));
    return path;
}

BezierPath curvePathWithPoints(const KXPathPointArray& points, const Rect& rect) {
    BezierPath path;
    if (points.empty())
        return path;
    const RelativeMapper m(rect, false);
    const Point start = m.map(entry(points, 0).point1());
    const Point end = m.map(entry(points, 0).point2());
    const Point through = m.map(entry(points, 0).point3());
    const Point handle(curveHandleThroughPoint(start.x, end.x, through.x),
                       curveHandleThroughPoint(start.y, end.y, through.y));
    path.moveTo(start);
    path.curveTo(end, start, handle);
    return path;
}

BezierPath markShapeWithPoint(const KXPathPointArray& points, const Rect& rect, double markRadius) {
    if (points.empty())
        return BezierPath();
    const RelativeMapper m(rect, false);
    return markPathWithStartPoint(m.map(entry(points, 0).point1()), m.map(entry(points, 0).point2()), markRadius);
}

BezierPath markPathWithStartPoint(const Point& tail, const Point& tip, double markRadius) {
    BezierPath path;
    const float dx = float(tip.x - tail.x), dy = float(tip.y - tail.y);
    const float length = std::sqrt(dx * dx + dy * dy);
    // A stem without length has no direction: the head collapses onto the tip.
    const Point base = length > 0 ? Point(tip.x - markRadius * dx / length, tip.y - markRadius * dy / length) : tip;
    const Point leftCorner = rotatedAbout(base, tip, 20);
    const Point rightCorner = rotatedAbout(base, tip, -20);
    // A head without width has no base line to cross the stem (the crossing of a line with itself is no
    // point): the crossing is the head's base point.
    const Point crossing =
        leftCorner == rightCorner ? base : lineIntersectionPoint(leftCorner, rightCorner, tail, tip);
    path.moveTo(tail);
    path.lineTo(crossing);
    path.lineTo(leftCorner);
    path.lineTo(tip);
    path.lineTo(rightCorner);
    path.lineTo(crossing);
    path.closePath();
    return path;
}
