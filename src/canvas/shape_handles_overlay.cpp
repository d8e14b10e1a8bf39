// The handles that reshape shapes, drawn by the selection overlay: the corner radius of a rounded rectangle,
// the notch of the arrows, the corner radius, tip and tail base of a speech bubble, the side or point count
// of a polygon or star, the ends and bend of lines, and the nodes, control points and insertion hints of pen
// paths. A handle node is a 6 by 6 circle filled and outlined, centred on its point.
//
// All but the rounded rectangle's handle are drawn in the shape's own unflipped coordinates (0, 0) to its
// frame's size, the frame rounded to whole points in the overlay's space and mirrored along the shape's
// flips, so the handles sit on the drawn outline; the caller has already turned the drawing by the shape's
// angle.
#include "canvas/auxiliary_layer.h"

#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "shapes/custom_shape.h"
#include "shapes/custom_shape_outline.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kElementKey = QStringLiteral("element");

kx::Color rgb255(int r, int g, int b) {
    return kx::Color::srgb(r / 255.0, g / 255.0, b / 255.0, 1);
}

kx::Rect nodeRectAt(const kx::Point& p, double side = 6) {
    return {p.x - side / 2, p.y - side / 2, side, side};
}

// The end point of element i of a path; the origin for an index that names no element.
kx::Point elementEnd(const kx::BezierPath& path, int i) {
    if (i < 0 || i >= path.elementCount())
        return {};
    return kx::pen::onPathPoint(path.elements()[std::size_t(i)]);
}

bool finitePoint(const kx::Point& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

double infoNumber(const KXSpecialShape& shape, const char* key) {
    const double v = shape.shapeInfoForKey(QString::fromLatin1(key)).toDouble();
    return std::isfinite(v) ? v : 0;
}

double zoomOf(const KXShape& shape) {
    const KXCanvas* page = shape.canvas();
    return page ? page->zoomValue() : 1;
}

}  // namespace

void KXAuxiliaryLayer::drawSpecialTrackerOfShape(KXShape* shape, kx::BitmapContext& context) {
    auto* special = dynamic_cast<KXSpecialShape*>(shape);
    if (!special)
        return;
    const std::optional<std::int64_t> dragged =
        m_dragEventDictionary && m_dragEventDictionary->count(kElementKey)
            ? std::optional<std::int64_t>(m_dragEventDictionary->at(kElementKey).toInteger())
            : std::nullopt;
    const auto node = [&](const kx::Point& p) {
        if (finitePoint(p))
            drawNodeInContext(context, nodeRectAt(p), m_selFillColor, m_strokeColor);
    };
    // The count handles of the polygon and the star ride on a circle a quarter of the shorter side in radius,
    // which shows while the handle is dragged.
    const auto countHandle = [&](const kx::Rect& f, const char* key, bool dragging) {
        const kx::Point c(f.size.width / 2, f.size.height / 2);
        const double q = std::min(f.size.width, f.size.height) / 4;
        if (dragging) {
            context.saveGState();
            context.setStrokeColor(rgb255(110, 110, 110));
            context.beginPath();
            context.addEllipseInRect({c.x - q, c.y - q, 2 * q, 2 * q});
            context.strokePath();
            context.restoreGState();
        }
        node(KXSpecialShape::countPoint(f.size.width, f.size.height, infoNumber(*special, key)));
    };
    switch (special->shapeType()) {
    case KXShapeTypeRoundedRectangle: {
        // In the overlay's space, unmirrored: on the top edge, the radius from the left corner, at most the
        // middle of the shorter side.
        const kx::Rect f = roundRectComponents(fromPage(shape->frameRect()));
        const double d = infoNumber(*special, "radius") * zoomOf(*shape);
        const double b = std::max(1.0, std::min(f.size.width, f.size.height) / 2);
        context.saveGState();
        context.setAlpha(opacity());
        node({f.origin.x + std::min(d, b), f.origin.y + f.size.height});
        context.restoreGState();
        return;
    }
    case KXShapeTypeSingleArrow: {
        beginShapeFrame(shape, context);
        node(elementEnd(shape->path(), 0));
        break;
    }
    case KXShapeTypeDoubleArrow: {
        beginShapeFrame(shape, context);
        node(elementEnd(shape->path(), 1));
        break;
    }
    case KXShapeTypeBubble: {
        const kx::Rect f = beginShapeFrame(shape, context);
        const kx::Rect fraction = special->shapeInfoForKey(QStringLiteral("bubbleRect")).toRect();
        const kx::Rect body(fraction.origin.x * f.size.width, fraction.origin.y * f.size.height,
                            fraction.size.width * f.size.width, fraction.size.height * f.size.height);
        const double r = std::min(std::max(1.0, std::max(body.size.width, body.size.height) / 2),
                                  infoNumber(*special, "bubbleRadius") * zoomOf(*shape));
        const kx::Point p = special->shapeInfoForKey(QStringLiteral("arrowPoint")).toPoint();
        const kx::Point tip(p.x * f.size.width, p.y * f.size.height);
        node({body.origin.x + r, body.origin.y + body.size.height});
        node(tip);
        // The tail's base on the outline shows only while the tip lies outside the bubble.
        const kx::Rect base = KXSpecialShape::bubbleArrowRect(body, infoNumber(*special, "arrowRadius"), tip, r);
        if (!base.isEmpty() && finitePoint(base.origin))
            node(base.center());
        break;
    }
    case KXShapeTypePolygon: {
        const kx::Rect f = beginShapeFrame(shape, context);
        countHandle(f, "sider", dragged == 1);
        break;
    }
    case KXShapeTypeStar: {
        const kx::Rect f = beginShapeFrame(shape, context);
        node(elementEnd(shape->path(), 1));
        countHandle(f, "point", dragged == 2);
        break;
    }
    default:
        return;
    }
    context.restoreGState();
}

void KXAuxiliaryLayer::drawHandlerOfSymbolShape(KXShape* shape, kx::BitmapContext& context) {
    auto* line = dynamic_cast<KXSymbolShape*>(shape);
    if (!line)
        return;
    const kx::Rect f = beginShapeFrame(shape, context);
    context.setLineWidth(1);
    const int active = line->pointElement();
    std::vector<kx::Point> nodes;
    if (line->shapeType() == KXShapeTypeArrowLine) {
        if (!line->pointsArray().empty() && line->pointsArray().front()) {
            const KXPathPoint& ends = *line->pointsArray().front();
            nodes.push_back({ends.point1().x * f.size.width, ends.point1().y * f.size.height});
            nodes.push_back({ends.point2().x * f.size.width, ends.point2().y * f.size.height});
        }
    } else {
        const kx::BezierPath& path = line->path();
        if (path.elementCount() >= 2) {
            const kx::BezierPath::Element& end = path.elements()[1];
            const kx::Point s = elementEnd(path, 0), e = elementEnd(path, 1);
            nodes.push_back(s);
            nodes.push_back(e);
            if (line->shapeType() == KXShapeTypeCurve && end.type == kx::BezierPath::ElementType::CurveTo) {
                const kx::Point h = end.points[0];
                nodes.push_back({curvePointAtHandleParam(s.x, e.x, h.x), curvePointAtHandleParam(s.y, e.y, h.y)});
            }
        }
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        drawNodeInContext(context, nodeRectAt(nodes[i]), int(i) == active ? m_selFillColor : m_unSelFillColor,
                          m_strokeColor);
    context.restoreGState();
}

void KXAuxiliaryLayer::drawHandlerOfCustomShape(KXShape* shape, kx::BitmapContext& context) {
    if (!shape)
        return;
    const auto* pen = dynamic_cast<const KXCustomShape*>(shape);
    const std::int64_t selected = pen ? pen->customPointElement() : -1;
    const bool showControls = pen && pen->isShowCustomCtlPoint();
    const kx::BezierPath path = shape->path();
    const bool penOutline = KXCustomShape::isPenOutline(path);
    const kx::Color handleColor = rgb255(103, 109, 176);
    const kx::Color white = kx::Color::srgb(1, 1, 1, 1);
    beginShapeFrame(shape, context);
    context.setLineWidth(1);
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const kx::BezierPath::Element& e = path.elements()[std::size_t(i)];
        if (e.type == kx::BezierPath::ElementType::ClosePath)
            continue;
        const kx::Point end = kx::pen::onPathPoint(e);
        drawNodeInContext(context, nodeRectAt(end), i == selected ? m_selFillColor : m_unSelFillColor,
                          m_strokeColor);
        // Insertion hint: with a node selected, the middle of the segment under the mouse.
        if (i > 0 && selected != -1 && penOutline && kx::pen::isCurve(e)) {
            if (kx::pen::segmentHoverBounds(elementEnd(path, i - 1), e).contains(m_mousePoint))
                drawNodeInContext(context, nodeRectAt(KXCustomShape::segmentMidpoint(path, i)), white,
                                  kx::Color::srgb(1, 0, 0, 1));
        }
        // The control points of the selected node: the one it arrives with and the one the next segment
        // leaves it with.
        if (!showControls || i != selected || !kx::pen::isCurve(e))
            continue;
        const auto handle = [&](const kx::Point& from, const kx::Point& knob) {
            context.saveGState();
            context.setStrokeColor(handleColor);
            context.beginPath();
            context.moveTo(from);
            context.lineTo(knob);
            context.strokePath();
            context.restoreGState();
            drawNodeInContext(context, nodeRectAt(knob, 5), white, handleColor);
        };
        if (e.points[1] != end)
            handle(end, e.points[1]);
        if (i + 1 < n) {
            const kx::BezierPath::Element& next = path.elements()[std::size_t(i + 1)];
            if (kx::pen::isCurve(next) && next.points[0] != end)
                handle(end, next.points[0]);
        }
    }
    context.restoreGState();
}
