// Editing a line shape: the node under the pointer, dragging a node with snapping, refitting the frame and
// the path point from an edited outline, and turning the shape by turning its geometry.
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/symbol_shape.h"

#include <cmath>

namespace {

using ElementType = kx::BezierPath::ElementType;

const QString kElementKey = QStringLiteral("element");

// The on-path point of element i: the end point of a curve, else its first point.
kx::Point onPathPoint(const kx::BezierPath& path, int i) {
    const kx::BezierPath::Element e = path.elementAtIndex(i);
    return e.type == ElementType::CurveTo ? e.points[2] : e.points[0];
}

bool inNodeSquare(const kx::Point& node, const kx::Point& p) {
    return kx::Rect(node.x - 3, node.y - 3, 6, 6).contains(p);
}

kx::Point curveHandlePoint(const kx::Point& s, const kx::Point& e, const kx::Point& h) {
    return {curvePointAtHandleParam(s.x, e.x, h.x), curvePointAtHandleParam(s.y, e.y, h.y)};
}

void offsetElement(kx::BezierPath& path, int index, const kx::Point& o, bool first, bool second, bool third) {
    kx::BezierPath out;
    int i = 0;
    for (kx::BezierPath::Element e : path.elements()) {
        if (i++ == index) {
            const bool move[3] = {first, second, third};
            for (int k = 0; k < 3; ++k)
                if (move[k])
                    e.points[k] = {e.points[k].x + o.x, e.points[k].y + o.y};
        }
        switch (e.type) {
        case ElementType::MoveTo: out.moveTo(e.points[0]); break;
        case ElementType::LineTo: out.lineTo(e.points[0]); break;
        case ElementType::CurveTo: out.curveTo(e.points[2], e.points[0], e.points[1]); break;
        case ElementType::ClosePath: out.closePath(); break;
        }
    }
    path = out;
}

// Every point of every element moved by the offset.
kx::BezierPath translated(const kx::BezierPath& path, double dx, double dy) {
    kx::BezierPath out = path;
    out.transform(kx::AffineTransform::makeTranslation(dx, dy));
    return out;
}

kx::Size atLeastTwo(kx::Size s) {
    if (s.width <= 1)
        s.width = 2;
    if (s.height <= 1)
        s.height = 2;
    return s;
}

}  // namespace

// ---- nodes ----

std::vector<kx::Point> KXSymbolShape::nodePoints() const {
    const kx::BezierPath& p = path();
    switch (shapeType()) {
    case KXShapeTypeLine:
        if (p.elementCount() < 2)
            return {};
        return {onPathPoint(p, 0), onPathPoint(p, 1)};
    case KXShapeTypeCurve: {
        if (p.elementCount() < 2)
            return {};
        const kx::BezierPath::Element curve = p.elementAtIndex(1);
        const kx::Point s = onPathPoint(p, 0), e = onPathPoint(p, 1);
        return {s, e, curveHandlePoint(s, e, curve.points[1])};
    }
    case KXShapeTypeArrowLine: {
        const kx::Rect frame = frameRect();
        if (frame.size.width == 0 || frame.size.height == 0 || pointsArray().empty() || !pointsArray()[0])
            return {};
        kx::Size size = roundRectComponents(frame).size;
        if (std::abs(float(size.width)) < 1)
            size.width = 1;
        if (std::abs(float(size.height)) < 1)
            size.height = 1;
        const KXPathPoint& pp = *pointsArray()[0];
        return {{pp.point1().x * size.width, pp.point1().y * size.height},
                {pp.point2().x * size.width, pp.point2().y * size.height}};
    }
    default: return {};
    }
}

bool KXSymbolShape::hitTestEditableAtPoint(const kx::Point& point) const {
    for (const kx::Point& node : nodePoints())
        if (inNodeSquare(node, point))
            return true;
    return false;
}

std::optional<kx::ValueDictionary> KXSymbolShape::handlerInfoAtPoint(const kx::Point& point) const {
    auto* self = const_cast<KXSymbolShape*>(this);
    const std::vector<kx::Point> nodes = nodePoints();
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (inNodeSquare(nodes[i], point)) {
            self->setPointElement(std::int32_t(i));
            return kx::ValueDictionary{{kElementKey, kx::Value(int(i))}};
        }
    }
    self->setPointElement(-1);
    return std::nullopt;
}

// ---- snapping ----

kx::Point KXSymbolShape::offsetPointAtElement(int k, const kx::BezierPath& path, double dx, double dy) {
    const kx::Point a = onPathPoint(path, k);
    kx::Point t(a.x + dx, a.y + dy);
    float bestX = 5, bestY = 5;
    for (int i = 0; i < path.elementCount(); ++i) {
        if (i == k)
            continue;
        const kx::Point q = onPathPoint(path, i);
        const float distX = std::abs(float(t.x) - float(q.x)), distY = std::abs(float(t.y) - float(q.y));
        if (distX < bestX)
            t.x = q.x;
        if (distY < bestY)
            t.y = q.y;
        bestX = std::min(bestX, distX);
        bestY = std::min(bestY, distY);
    }
    return {t.x - a.x, t.y - a.y};
}

kx::Point KXSymbolShape::offsetCenterPoint(const kx::Point& p, const kx::Point& s, const kx::Point& e) {
    const float a1 = std::atan2(float(e.y - s.y), float(e.x - s.x));
    const float a2 = std::atan2(float(p.y - s.y), float(p.x - s.x));
    const double distance = std::hypot(p.x - s.x, p.y - s.y) * std::sin(std::abs(double(a1) - double(a2)));
    if (!(std::abs(distance) < 5))
        return p;
    const double delta = radiansToDegrees(a1) - radiansToDegrees(a2);
    double rotation = delta;
    if (std::abs(180 - std::abs(delta)) < 5)
        rotation = delta >= 0 ? std::abs(delta) - 180 : 180 - std::abs(delta);
    return transformPointAboutCenter(p, s, degreesToRadians(rotation), 1, 1);
}

// ---- drags ----

kx::Point KXSymbolShape::dragLineShapeNode(int node, double dx, double dy) {
    if (node != 0 && node != 1)
        return {dx, dy};
    kx::BezierPath copy = path();
    if (copy.elementCount() < 2)
        return {dx, dy};
    const kx::Point o = offsetPointAtElement(node, copy, dx, dy);
    offsetElement(copy, node, o, true, true, true);
    updateLinePathFromPath(copy);
    return o;
}

kx::Point KXSymbolShape::dragCurveShapeNode(int node, double dx, double dy) {
    kx::BezierPath copy = path();
    if (copy.elementCount() < 2 || copy.elementAtIndex(1).type != ElementType::CurveTo)
        return {dx, dy};
    kx::Point o(dx, dy);
    if (node == 0) {
        o = offsetPointAtElement(0, copy, dx, dy);
        offsetElement(copy, 0, o, true, false, false);
        offsetElement(copy, 1, o, true, true, false);
    } else if (node == 1) {
        o = offsetPointAtElement(1, copy, dx, dy);
        offsetElement(copy, 1, o, false, true, true);
    } else if (node == 2) {
        const kx::BezierPath::Element curve = copy.elementAtIndex(1);
        const kx::Point s = onPathPoint(copy, 0), e = curve.points[2];
        const kx::Point g = curveHandlePoint(s, e, curve.points[1]);
        const kx::Point n = offsetCenterPoint({g.x + dx, g.y + dy}, s, e);
        o = {n.x - g.x, n.y - g.y};
        const kx::Point h(curveHandleThroughPoint(s.x, e.x, n.x), curveHandleThroughPoint(s.y, e.y, n.y));
        offsetElement(copy, 1, {h.x - curve.points[1].x, h.y - curve.points[1].y}, false, true, false);
    }
    updateCurvePathFromPath(copy);
    return o;
}

kx::Point KXSymbolShape::dragMarkShapeNode(int node, double dx, double dy) {
    const kx::BezierPath& p = path();
    if (p.elementCount() < 4)
        return {dx, dy};
    kx::Point s = onPathPoint(p, 0), e = onPathPoint(p, 3);
    kx::BezierPath stem;
    stem.moveTo(s);
    stem.lineTo(e);
    kx::Point o(dx, dy);
    if (node == 0 || node == 1)
        o = offsetPointAtElement(node, stem, dx, dy);
    if (node == 1)
        e = {e.x + o.x, e.y + o.y};
    else if (node == 0)
        s = {s.x + o.x, s.y + o.y};
    updateMarkPathWithStartPoint(s, e);
    return o;
}

// ---- refitting ----

kx::BezierPath KXSymbolShape::updateFrameAndPathFormNewPath(const kx::BezierPath& newPath) {
    const kx::Rect f = roundRectComponents(frameRect());
    const kx::BezierPath c = translated(newPath, f.origin.x, f.origin.y);
    const kx::Rect cb = c.bounds();
    const kx::Rect b = roundRectComponents({cb.origin, atLeastTwo(cb.size)});
    if (f.center() != b.center()) {
        if (kx::Layer* layer = render() ? render()->graphLayer() : nullptr) {
            kx::LayerTransaction transaction;
            layer->setAnchorPoint(overloadAnchorPointAtOldRect(f, b));
        }
    }
    double x = b.origin.x, y = b.origin.y;
    if (flipX() == -1 && f.size.width != b.size.width)
        x = b.origin.x != f.origin.x ? f.origin.x : f.origin.x + f.size.width - b.size.width;
    if (flipY() == -1 && f.size.height != b.size.height)
        y = b.origin.y != f.origin.y ? f.origin.y : f.origin.y + f.size.height - b.size.height;
    const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
    if (preview.width > 0 && preview.height > 0)
        setRelativeRect({x / preview.width, y / preview.height, b.size.width / preview.width,
                         b.size.height / preview.height});
    return translated(c, -b.origin.x, -b.origin.y);
}

kx::Point KXSymbolShape::overloadAnchorPointAtOldRect(const kx::Rect& o, const kx::Rect& n) const {
    kx::Point anchor(0.5, 0.5);
    if (kx::Layer* layer = render() ? render()->graphLayer() : nullptr)
        anchor = layer->anchorPoint();
    const float ox = float(n.origin.x - o.origin.x), oy = float(n.origin.y - o.origin.y);
    return {(anchor.x * o.size.width - ox) / n.size.width, (anchor.y * o.size.height - oy) / n.size.height};
}

void KXSymbolShape::refit(const kx::BezierPath& newPath, int endElement, bool curve) {
    if (newPath.elementCount() <= endElement)
        return;
    const kx::BezierPath q = updateFrameAndPathFormNewPath(newPath);
    const kx::Size size = roundRectComponents({{}, atLeastTwo(q.bounds().size)}).size;
    const double w = size.width, h = size.height;
    const kx::Point s = onPathPoint(q, 0), e = onPathPoint(q, endElement);
    auto point = std::make_shared<KXPathPoint>();
    point->setPoint1({s.x / w, s.y / h});
    point->setPoint2({e.x / w, e.y / h});
    if (curve) {
        const kx::Point g = curveHandlePoint(s, e, q.elementAtIndex(1).points[1]);
        point->setPoint3({g.x / w, g.y / h});
    }
    setPointsArray({point});
    // The outline is then built from the points for the frame, as a move, a resize or an undo builds it: an
    // outline kept from the refitted path would differ from those in its rounding (an arrow's stem end is
    // whole in frame units only when built for the frame).
    setPath(q);
    updatePath();
    setNeedsDisplay();
}

void KXSymbolShape::updateLinePathFromPath(const kx::BezierPath& p) {
    refit(p, 1, false);
}

void KXSymbolShape::updateCurvePathFromPath(const kx::BezierPath& p) {
    refit(p, 1, true);
}

void KXSymbolShape::updateMarkPathFormPath(const kx::BezierPath& p) {
    refit(p, 3, false);
}

// ---- turning ----

KXSymbolShape::Geometry KXSymbolShape::geometry() const {
    return {relativeRect(), pointsArray(), path()};
}

void KXSymbolShape::restoreGeometry(const Geometry& g) {
    KXCanvas* page = canvas();
    if (page && page->undoManager().isUndoRegistrationEnabled()) {
        auto keep = std::dynamic_pointer_cast<KXSymbolShape>(weak_from_this().lock());
        page->undoManager().registerUndo(this, [self = this, keep, now = geometry()] { self->restoreGeometry(now); });
    }
    std::optional<kx::UndoDisabler> quiet;
    if (page)
        quiet.emplace(page->undoManager());
    setRelativeRect(g.relativeRect);
    setPointsArray(g.points);
    setPath(g.path);
    setNeedsDisplay();
}

void KXSymbolShape::resetAngleWithAngle(double angle) {
    if (angle == 0 || !std::isfinite(angle))
        return;
    KXCanvas* page = canvas();
    // One undo step puts back the exact geometry from before the turn (turning back would round twice).
    if (page && page->undoManager().isUndoRegistrationEnabled()) {
        auto keep = std::dynamic_pointer_cast<KXSymbolShape>(weak_from_this().lock());
        page->undoManager().registerUndo(this, [self = this, keep, before = geometry()] {
            self->restoreGeometry(before);
        });
    }
    std::optional<kx::UndoDisabler> quiet;
    if (page)
        quiet.emplace(page->undoManager());
    const kx::Size size = roundRectComponents(frameRect()).size;
    const kx::Point c(size.width / 2, size.height / 2);
    const kx::AffineTransform t = kx::AffineTransform::concat(
        kx::AffineTransform::concat(kx::AffineTransform::makeTranslation(-c.x, -c.y),
                                    kx::AffineTransform::makeRotation(angle)),
        kx::AffineTransform::makeTranslation(c.x, c.y));
    kx::BezierPath turned = path();
    turned.transform(t);
    switch (shapeType()) {
    case KXShapeTypeLine: updateLinePathFromPath(turned); break;
    case KXShapeTypeCurve: updateCurvePathFromPath(turned); break;
    case KXShapeTypeArrowLine: updateMarkPathFormPath(turned); break;
    default: break;
    }
}
