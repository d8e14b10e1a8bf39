// The special handles of the parametric shapes: where they stand, which one a point hits and how a drag
// step rewrites the parameters (and, for the arrows' tips and the bubble's tail, the frame).
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/parametric_shape.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString kElementKey = QStringLiteral("element");

kx::Rect squareAt(const kx::Point& centre, double side) {
    return {centre.x - side / 2, centre.y - side / 2, side, side};
}

// The on-path point of element i; a close repeats the end of what precedes it.
kx::Point onPathPoint(const kx::BezierPath& path, int i) {
    for (; i >= 0 && i < path.elementCount(); --i) {
        const kx::BezierPath::Element& e = path.elements()[size_t(i)];
        switch (e.type) {
        case kx::BezierPath::ElementType::MoveTo:
        case kx::BezierPath::ElementType::LineTo: return e.points[0];
        case kx::BezierPath::ElementType::CurveTo: return e.points[2];
        case kx::BezierPath::ElementType::ClosePath: break;
        }
    }
    return {};
}

bool finite(double a, double b = 0) {
    return std::isfinite(a) && std::isfinite(b);
}

// A corner radius dragged by dx: the stored page length at the zoom plus dx, at most `cap`, and 1 when it
// went below 0; back in page lengths. nullopt when the result would be no length (no zoom, no cap).
std::optional<float> draggedRadius(double stored, double zoom, float dx, double cap) {
    if (!(zoom > 0) || !finite(zoom, dx) || !(cap > 0) || !std::isfinite(cap))
        return std::nullopt;
    float t = float((std::isfinite(stored) ? stored : 0) * zoom) + dx;
    if (t > cap)
        t = float(cap);
    else if (t < 0)
        t = 1;
    return float(t / zoom);
}

}  // namespace

kx::Point KXSpecialShape::countPoint(double w, double h, double count) {
    const kx::Point centre(w / 2, h / 2);
    const kx::Point start(w / 2, h / 2 + std::min(w / 2, h / 2) * 0.5);
    return transformPointAboutCenter(start, centre, degreesToRadians(-(count * 30)), 1, 1);
}

kx::Rect KXSpecialShape::bubbleArrowRect(const kx::Rect& body, double arrowRadius, const kx::Point& arrowPoint,
                                         double bubbleRadius) {
    const kx::BezierPath flat = kx::BezierPath::withRoundedRect(body, bubbleRadius, bubbleRadius).flattened();
    if (flat.containsPoint(arrowPoint))
        return kx::Rect();
    const kx::Point centre = body.center();
    const kx::Point turned = transformPointAboutCenter(arrowPoint, centre, degreesToRadians(-arrowRadius), 1, 1);
    const kx::Point edge = projectPointToRectEdge(turned, body);
    for (int i = 0; i + 1 < flat.elementCount(); ++i) {
        const kx::Point a = onPathPoint(flat, i), b = onPathPoint(flat, i + 1);
        if (segmentsIntersect(a, b, centre, edge))
            return squareAt(lineIntersectionPoint(a, b, centre, edge), 6);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan, 6, 6};
}

std::vector<KXSpecialShape::Handle> KXSpecialShape::handles(bool roundedFrame) const {
    const kx::Rect frame = roundedFrame ? roundRectComponents(frameRect()) : frameRect();
    const double w = frame.size.width, h = frame.size.height;
    const double z = zoom();
    const auto six = [](const kx::Point& p) { return squareAt(p, 6); };
    std::vector<Handle> out;
    switch (shapeType()) {
    case KXShapeTypeRoundedRectangle: {
        const double r = std::min(std::max(1.0, std::min(w, h) * 0.5), number("radius") * z);
        const kx::Rect square = squareAt({r, h}, 10);
        out.push_back({0, square, square});
        break;
    }
    case KXShapeTypeSingleArrow: {
        const bool right = shapeInfoForKey(QStringLiteral("rightDirection")).toBool();
        const kx::Rect base = six(onPathPoint(path(), 0));
        out.push_back({0, base, base});
        out.push_back({1, six(right ? kx::Point(0, h / 2) : kx::Point(w, h / 2)), std::nullopt});
        out.push_back({2, six(right ? kx::Point(w, h / 2) : kx::Point(0, h / 2)), std::nullopt});
        break;
    }
    case KXShapeTypeDoubleArrow: {
        const kx::Rect corner = six(onPathPoint(path(), 1));
        out.push_back({0, corner, corner});
        out.push_back({1, six({0, h / 2}), std::nullopt});
        out.push_back({2, six({w, h / 2}), std::nullopt});
        break;
    }
    case KXShapeTypeBubble: {
        const kx::Rect fraction = shapeInfoForKey(QStringLiteral("bubbleRect")).toRect();
        const kx::Rect body(fraction.origin.x * w, fraction.origin.y * h, fraction.size.width * w,
                            fraction.size.height * h);
        const double r = std::min(std::max(1.0, std::max(body.size.width, body.size.height) * 0.5),
                                  number("bubbleRadius") * z);
        const kx::Point p = shapeInfoForKey(QStringLiteral("arrowPoint")).toPoint();
        const kx::Point tail(p.x * w, p.y * h);
        const kx::Point corner(body.origin.x + r, body.origin.y + body.size.height);
        out.push_back({0, squareAt(corner, 10), six(corner)});
        const kx::Rect base = bubbleArrowRect(body, number("arrowRadius"), tail, r);
        out.push_back({1, base, base});
        out.push_back({2, squareAt(tail, 10), six(tail)});
        break;
    }
    case KXShapeTypePolygon: {
        const kx::Rect count = six(countPoint(w, h, number("sider")));
        out.push_back({1, count, count});
        break;
    }
    case KXShapeTypeStar: {
        const kx::Rect inner = six(onPathPoint(path(), 1));
        out.push_back({1, inner, inner});
        const kx::Rect count = six(countPoint(w, h, number("point")));
        out.push_back({2, count, count});
        break;
    }
    default: break;
    }
    return out;
}

bool KXSpecialShape::hitTestEditableAtPoint(const kx::Point& point) const {
    for (const Handle& handle : handles(false))
        if (handle.hitSquare && handle.hitSquare->contains(point))
            return true;
    return false;
}

std::optional<kx::ValueDictionary> KXSpecialShape::handlerInfoAtPoint(const kx::Point& point) const {
    for (const Handle& handle : handles(true))
        if (handle.infoSquare.contains(point))
            return kx::ValueDictionary{{kElementKey, kx::Value(handle.number)}};
    return std::nullopt;
}

// ---- resizing about an anchor ----

KXSpecialShape::Anchor KXSpecialShape::takeAnchor(std::uint32_t node) {
    const kx::Point anchor = anchorPointOfTrackerNode(node);
    return {anchor, fixedPositionOfAnchorPoint(anchor)};
}

bool KXSpecialShape::placeFrameAboutAnchor(const Anchor& a, double width, double height) {
    const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
    if (!(preview.width > 0) || !(preview.height > 0))
        return false;
    const double x = a.position.x - a.anchor.x * width, y = a.position.y - a.anchor.y * height;
    kx::LayerTransaction transaction;
    setRelativeRect({x / preview.width, y / preview.height, width / preview.width, height / preview.height});
    return true;
}

// ---- drag steps ----

void KXSpecialShape::dragCircularSpecialNode(int, float dx, float) {
    const kx::Size size = frameRect().size;
    const std::optional<float> radius =
        draggedRadius(number("radius"), zoom(), dx, std::min(size.width, size.height) * 0.5);
    if (!radius)
        return;
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
    info[QStringLiteral("radius")] = kx::Value(*radius);
    setShapeInfo(info);
}

void KXSpecialShape::dragSingleArrowSpecialNode(int node, double dx, double dy) {
    const kx::Size size = frameRect().size;
    const double w = size.width, h = size.height;
    if (!finite(dx, dy) || !finite(w, h) || w == 0 || h == 0)
        return;
    const double width = number("width"), arrow = number("arrow"), triangle = number("triangle");
    setUpdateAspectRatio(true);
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
    const auto keepWithin = [](double v, double high) { return v > high ? high : (v < 1 ? 1.0 : v); };
    if (node == 0) {
        double m = h > 0 ? width * h + 2 * dy : width * std::abs(h) - 2 * dy;
        double t = arrow * std::abs(w) - dx;
        m = keepWithin(m, std::abs(h));
        t = keepWithin(t, std::abs(w));
        if (!finite(m, t))
            return;
        info[QStringLiteral("arrow")] = kx::Value(float(t / w));
        info[QStringLiteral("width")] = kx::Value(float(m / std::abs(h)));
        info[QStringLiteral("triangle")] = kx::Value(float(t));
        setShapeInfo(info);
    } else if (node == 1 || node == 2) {
        const double newWidth = node == 1 ? w - dx : w + dx;
        if (!(newWidth >= 1))
            return;
        const double head = arrow * std::abs(w);
        const double span = std::abs(newWidth);
        info[QStringLiteral("arrow")] = kx::Value(float(span > head && span > triangle ? head / span : 1.0));
        info[QStringLiteral("rightDirection")] = kx::Value(true);
        const bool flipped = flipX() == -1;
        const std::uint32_t anchorNode = (node == 2) != flipped ? 3 : 7;
        const Anchor a = takeAnchor(anchorNode);
        setShapeInfo(info);
        placeFrameAboutAnchor(a, newWidth, h);
        resetAnchor();
    }
}

void KXSpecialShape::dragDoubleArrowSpecialNode(int node, float dx, float dy) {
    const kx::Size size = frameRect().size;
    const double w = size.width, h = size.height;
    if (!finite(dx, dy) || !finite(w, h) || !(w > 0) || !(h > 0))
        return;
    const double ws = number("widthScale"), bs = number("breadthScale");
    setUpdateAspectRatio(true);
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
    if (node == 0) {
        const double sx = std::clamp(ws * w / 2 + dx, 0.0, w / 2);
        const double sy = std::clamp(bs * h / 2 + dy, 0.0, h / 2);
        if (!finite(sx, sy))
            return;
        info[QStringLiteral("widthScale")] = kx::Value(float(sx / (w / 2)));
        info[QStringLiteral("breadthScale")] = kx::Value(float(sy / (h / 2)));
        setShapeInfo(info);
    } else if (node == 1 || node == 2) {
        const double d = node == 1 ? dx : -dx;
        const double newWidth = std::max(1.0, w - d);
        double u = ws * w / 2 - d / 2;
        if (u < 1)
            u = 1;
        else if (ws * w / 2 > newWidth / 2)
            u = newWidth / 2;
        // The shaft never reaches past the heads' tips, however narrow the arrow.
        u = std::min(u, newWidth / 2);
        if (!std::isfinite(u))
            return;
        const bool flipped = flipX() == -1;
        const std::uint32_t anchorNode = (node == 1) != flipped ? 7 : 3;
        const Anchor a = takeAnchor(anchorNode);
        info[QStringLiteral("widthScale")] = kx::Value(float(u / (newWidth / 2)));
        setShapeInfo(info);
        placeFrameAboutAnchor(a, newWidth, h);
        resetAnchor();
    }
}

void KXSpecialShape::dragCount(const char* key, const kx::Point& p) {
    const kx::Rect frame = frameRect();
    const kx::Point centre = frame.center();
    const kx::Point q = transformPointAboutCenter(p, centre, -angle(), 1, 1);
    double dx = q.x - centre.x, dy = q.y - centre.y;
    if (flipX() == -1)
        dx = -dx;
    if (flipY() == -1)
        dy = -dy;
    const double a = radiansToDegrees(double(float(std::atan(dy / dx))));
    double theta = dx >= 0 ? 90 - a : 270 - a;
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
    // A pointer on the centre has no direction: the count stays.
    if (std::isfinite(theta)) {
        theta = std::clamp(theta, 90.0, 330.0);
        const std::int64_t n = std::int64_t(theta / 30);
        const QString k = QString::fromLatin1(key);
        const std::int64_t stored = shapeInfoForKey(k).toInteger();
        if (stored - n == 1 || n - stored == 1)
            info[k] = kx::Value(static_cast<long long>(n));
    }
    setShapeInfo(info);
}

void KXSpecialShape::dragPolygonSpecialNode(int, const kx::Point& point) {
    dragCount("sider", point);
}

void KXSpecialShape::dragStarSpecialNode(int node, const kx::Point& p) {
    if (node == 2) {
        dragCount("point", p);
        return;
    }
    if (node != 1)
        return;
    const kx::Rect frame = frameRect();
    const double w = frame.size.width, h = frame.size.height;
    if (!(w > 0) || !(h > 0))
        return;
    const kx::Point c = frame.center();
    const double radius = h * 0.5;
    const float ex = float((p.x - c.x) / (w / h)), ey = float(p.y - c.y);
    const float d = std::sqrt(ex * ex + ey * ey);
    if (!std::isfinite(d))
        return;
    double k = double(d) > radius ? 1.0 : double(d) / radius;
    k = std::max(k, 0.1);
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
    info[QStringLiteral("radius")] = kx::Value(float(k));
    setShapeInfo(info);
}

std::uint32_t KXSpecialShape::nodeAtPositionX(int xCode, int yCode) {
    switch (xCode) {
    case 0: return yCode == 3 ? 6 : yCode == 2 ? 0 : 7;
    case 1: return yCode == 3 ? 4 : yCode == 2 ? 2 : 3;
    case 4: return yCode == 3 ? 5 : yCode == 2 ? 1 : 9;
    default: return 7;
    }
}

void KXSpecialShape::dragBubbleSpecialNode(int node, float dx, float dy, const kx::Point& mousePoint) {
    const kx::Rect frame = frameRect();
    const double w = frame.size.width, h = frame.size.height;
    if (!finite(dx, dy) || !finite(w, h) || !(w > 0) || !(h > 0))
        return;
    const kx::Rect body = [&] {
        const kx::Rect f = shapeInfoForKey(QStringLiteral("bubbleRect")).toRect();
        return kx::Rect(f.origin.x * w, f.origin.y * h, f.size.width * w, f.size.height * h);
    }();
    const kx::Point fraction = shapeInfoForKey(QStringLiteral("arrowPoint")).toPoint();
    const kx::Point tail(fraction.x * w, fraction.y * h);
    kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());

    if (node == 0) {
        const std::optional<float> radius =
            draggedRadius(number("bubbleRadius"), zoom(), dx, std::max(body.size.width, body.size.height) * 0.5);
        if (radius)
            info[QStringLiteral("bubbleRadius")] = kx::Value(*radius);
    } else if (node == 1) {
        kx::Point l = transformPointAboutCenter(mousePoint, frame.center(), -angle(), 1, 1);
        l = {l.x - frame.origin.x, l.y - frame.origin.y};
        if (flipX() == -1)
            l.x = w - l.x;
        if (flipY() == -1)
            l.y = h - l.y;
        const kx::Point bc = body.center();
        const float ux = float(tail.x - bc.x), uy = float(tail.y - bc.y);
        const float vx = float(l.x - bc.x), vy = float(l.y - bc.y);
        const float lengths = std::sqrt((ux * ux + uy * uy) * (vx * vx + vy * vy));
        // A pointer on the body's centre, or a tail on it, gives no angle: the half-angle stays.
        if (lengths > 0 && std::isfinite(lengths)) {
            const double cosine = std::min(1.0, double(std::abs(ux * vx + uy * vy) / lengths));
            const double degrees = radiansToDegrees(std::acos(cosine));
            info[QStringLiteral("arrowRadius")] = kx::Value(float(std::min(45.0, degrees)));
        }
    } else if (node == 2) {
        if (!(body.size.width > 0) || !(body.size.height > 0))
            return;
        const bool fx = flipX() == -1, fy = flipY() == -1;
        const int xA = fx ? 1 : 0, xB = fx ? 0 : 1;
        const int yA = fy ? 2 : 3, yB = fy ? 3 : 2;
        int xCode = 4, yCode = 4;
        if (body.origin.x >= tail.x)
            xCode = xA;
        else if (tail.x >= body.size.width)
            xCode = xB;
        if (body.origin.y >= tail.y)
            yCode = yA;
        else if (tail.y >= body.size.height)
            yCode = yB;
        const bool insideX = xCode == 4, insideY = yCode == 4;
        const double nx = tail.x + dx, ny = tail.y + dy;

        // One axis: the new frame side, the body's new origin, the tail's fraction and the side code.
        struct Axis {
            double side, bodyOrigin, tail;
            int code;
        };
        const auto axis = [](double pos, double bodyOrigin, double bodySide, double frameSide, double d, bool inside,
                             int code, int lowCode, int highCode) {
            const Axis within{bodySide, 0, (pos - bodyOrigin) / bodySide, code};
            if (bodyOrigin >= pos) {
                if (!(inside || code == lowCode))
                    return within;
                const double side = frameSide - d;
                return Axis{side, side - bodySide, 0, lowCode};
            }
            if (pos >= bodySide) {
                if (!(inside || code == highCode))
                    return within;
                return Axis{frameSide + d, 0, 1, highCode};
            }
            return within;
        };
        const Axis ax = axis(nx, body.origin.x, body.size.width, w, dx, insideX, xCode, xA, xB);
        const Axis ay = axis(ny, body.origin.y, body.size.height, h, dy, insideY, yCode, yA, yB);
        // A frame smaller than the body, or not a number, is refused.
        if (!(ax.side >= 1) || !(ay.side >= 1) || !finite(ax.side, ay.side) || !finite(ax.tail, ay.tail))
            return;
        info[QStringLiteral("arrowPoint")] = kx::Value(kx::Point(ax.tail, ay.tail));
        info[QStringLiteral("bubbleRect")] =
            kx::Value(kx::Rect(ax.bodyOrigin / ax.side, ay.bodyOrigin / ay.side, body.size.width / ax.side,
                               body.size.height / ay.side));
        const Anchor a = takeAnchor(nodeAtPositionX(ax.code, ay.code));
        setUpdateAspectRatio(true);
        {
            kx::LayerTransaction transaction;
            placeFrameAboutAnchor(a, ax.side, ay.side);
            setLayerPosition(a.position);
        }
    }
    setShapeInfo(info);
}
