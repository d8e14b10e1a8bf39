#include "canvas/auxiliary_layer.h"

#include "canvas/graph_placement.h"

#include "canvas/canvas_layer.h"
#include "canvas/graph_layer.h"
#include "canvas/shape_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"
#include "shapes/shape_path_builders.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"

#include <algorithm>
#include <cmath>

namespace {

// Rows of one piece of a vertical guide line (see drawGuideLines).
constexpr double kGuidePieceRows = 20;

kx::Color rgb255(int r, int g, int b, double a = 1.0) {
    return kx::Color::srgb(r / 255.0, g / 255.0, b / 255.0, a);
}

// A pen-drawn path: a shape of shape type 0 that is neither a parametric nor a line shape.
bool isPathShape(const KXShape* shape) {
    return shape && shape->shapeType() == 0 && !dynamic_cast<const KXSymbolShape*>(shape) &&
           !dynamic_cast<const KXSpecialShape*>(shape);
}

}  // namespace

template <class T, class Base>
void KXAuxiliaryLayer::WeakLink<T, Base>::set(T* object) {
    raw = object;
    weak = object ? std::weak_ptr<Base>(static_cast<Base*>(object)->weak_from_this()) : std::weak_ptr<Base>();
    // An object that no shared pointer owns cannot be watched: it is not linked at all.
    if (weak.expired())
        raw = nullptr;
}

KXAuxiliaryLayer::KXAuxiliaryLayer()
    : m_unSelFillColor(kx::Color::srgb(1, 1, 1, 1)),
      m_selFillColor(rgb255(24, 231, 161)),
      m_strokeColor(kx::Color::srgb(0, 0, 0, 1)) {
    m_cropTracker1.setHasRotateNode(false);
    m_cropTracker1.setLineColor(kx::Color::srgb(0, 0, 0, 1));
    m_cropTracker1.setNodeColor(kx::Color::srgb(1, 1, 0, 1));
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
    m_marginBoxToken = kx::NotificationCenter::defaultCenter().addObserver(
        KXShowMarginBoxChanged, nullptr, [this](const kx::Notification&) { setNeedsDisplay(); });
}

KXAuxiliaryLayer::~KXAuxiliaryLayer() = default;

// ---- links ----

KXCanvasLayer* KXAuxiliaryLayer::canvasLayer() const {
    return m_canvasLayer.get();
}

void KXAuxiliaryLayer::setCanvasLayer(KXCanvasLayer* layer) {
    m_canvasLayer.set(layer);
}

KXGraph* KXAuxiliaryLayer::draggingGraph() const {
    return m_draggingGraph.get();
}

void KXAuxiliaryLayer::setDraggingGraph(KXGraph* graph) {
    m_draggingGraph.set(graph);
}

KXShapeLayer* KXAuxiliaryLayer::replacingLayer() const {
    return m_replacingLayer.get();
}

void KXAuxiliaryLayer::setReplacingLayer(KXShapeLayer* layer) {
    if (layer == replacingLayer())
        return;
    m_replacingLayer.set(layer);
    setNeedsDisplay();
}

KXPhoto* KXAuxiliaryLayer::croppingPhoto() const {
    return m_croppingPhoto.get();
}

void KXAuxiliaryLayer::setCroppingPhoto(KXPhoto* photo) {
    m_croppingPhoto.set(photo);
}

void KXAuxiliaryLayer::addLine(const KXLine& line) {
    m_lines.push_back(line);
}

void KXAuxiliaryLayer::clearLine() {
    m_lines.clear();
}

// ---- display ----

void KXAuxiliaryLayer::setNeedsDisplay() {
    if (m_displayLocked)
        return;
    // Piece by piece: a guide line across the page and a handle in a corner repaint two thin strips, not the
    // rectangle around them.
    for (const kx::Rect& piece : m_paintedPieces)
        setNeedsDisplayInRect(piece);
    for (const kx::Rect& piece : paintPieces())
        setNeedsDisplayInRect(piece);
}

namespace {
void unite(std::vector<kx::Rect>& pieces, const kx::Rect& rect, double grow) {
    if (rect.isNull() || !std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
        !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height))
        return;
    pieces.push_back(rect.insetBy(-grow, -grow));
}
}  // namespace

kx::Rect KXAuxiliaryLayer::paintExtent() const {
    kx::Rect extent = kx::Rect::null();
    for (const kx::Rect& piece : paintPieces())
        extent = extent.isNull() ? piece : extent.united(piece);
    return extent;
}

std::vector<kx::Rect> KXAuxiliaryLayer::paintPieces() const {
    std::vector<kx::Rect> extent;
    KXCanvasLayer* page = canvasLayer();
    KXCanvas* canvas = page ? page->canvas() : nullptr;
    if (canvas && (canvas->clipMargin() || kx::UserDefaults::standard().boolValue(KXShowMarginBox)))
        unite(extent, fromPage(page->bounds()).united(fromPage(canvas->previewMarginRect())), 1);
    // A graph's marks: its frame with its outline's handles (which may lie outside the frame) and its rotate
    // node, each grown by half a node and a little, placed as the graph's layer stands now (turned, mirrored,
    // about whatever anchor).
    const auto addGraph = [&](KXGraph* graph) {
        const KXTracker* tracker = graph->tracker();
        const double grow = double(tracker->nodeRadius()) / 2 + 3;
        const kx::Rect frame = graph->frameRect();
        kx::Rect local(0, 0, frame.size.width, frame.size.height);
        if (auto* shape = dynamic_cast<KXShape*>(graph); shape && !shape->path().isEmpty())
            local = local.united(shape->path().controlPointBounds());
        kx::Rect marks = local.insetBy(-grow, -grow);
        if (tracker->hasRotateNode()) {
            const kx::Point rotate = tracker->positionOfNode(KXTrackerNodeRotate, {0, 0, frame.size.width,
                                                                                   frame.size.height});
            marks = marks.united({rotate.x - grow, rotate.y - grow, 2 * grow, 2 * grow});
        }
        kx::Layer* layer = graph->render() ? graph->render()->graphLayer() : nullptr;
        if (layer && layer->superlayer()) {
            unite(extent, transformFromLayer(layer).apply(marks.offsetBy(layer->bounds().origin.x,
                                                                         layer->bounds().origin.y)), 1);
            return;
        }
        // Without a layer: turned about its centre, within the circle through the farthest corner.
        const double cx = frame.size.width / 2, cy = frame.size.height / 2;
        const double radius = std::hypot(std::max(std::abs(marks.minX() - cx), std::abs(marks.maxX() - cx)),
                                          std::max(std::abs(marks.minY() - cy), std::abs(marks.maxY() - cy)));
        const kx::Point c = frame.center();
        unite(extent, fromPage({c.x - radius, c.y - radius, 2 * radius, 2 * radius}), 1);
    };
    if (page) {
        for (const std::shared_ptr<KXGraph>& graph : page->selectedGraphs())
            addGraph(graph.get());
    }
    if (KXGraph* graph = draggingGraph())
        addGraph(graph);
    if (KXPhoto* photo = croppingPhoto()) {
        if (KXGraph* owner = photo->ownerGraph()) {
            const kx::Rect image = photo->fullImageRectForDrawing(owner->frameRect());
            const double radius = std::hypot(image.size.width, image.size.height) / 2 +
                                  std::hypot(image.center().x - owner->frameRect().center().x,
                                             image.center().y - owner->frameRect().center().y);
            const kx::Point c = owner->frameRect().center();
            unite(extent, fromPage({c.x - radius, c.y - radius, 2 * radius, 2 * radius}),
                  double(m_cropTracker1.nodeRadius()) + 4);
        }
    }
    for (const KXLine& line : m_lines)
        unite(extent, {line.minX(), line.minY(), line.maxX() - line.minX(), line.maxY() - line.minY()}, 2);
    if (!m_selectionFrame.isEmpty())
        unite(extent, m_selectionFrame, 2);
    if (KXShapeLayer* layer = replacingLayer(); layer && layer->superlayer())
        unite(extent, transformFromLayer(layer->superlayer()).apply(layer->frame()), 2);
    return extent;
}

void KXAuxiliaryLayer::setFrame(const kx::Rect& frame) {
    {
        kx::LayerTransaction transaction;
        kx::Layer::setFrame(frame);
    }
    setNeedsDisplay();
}

void KXAuxiliaryLayer::drawInContext(kx::BitmapContext& context) {
    paint(context);
}

kx::AffineTransform KXAuxiliaryLayer::transformFromLayer(const kx::Layer* layer) const {
    if (!layer)
        return {};
    // Layers of one tree convert through their common ancestor; separate trees share their roots' space.
    const kx::Point o = convertPointFromLayer({0, 0}, layer);
    const kx::Point x = convertPointFromLayer({1, 0}, layer);
    const kx::Point y = convertPointFromLayer({0, 1}, layer);
    kx::AffineTransform t;
    t.a = x.x - o.x;
    t.b = x.y - o.y;
    t.c = y.x - o.x;
    t.d = y.y - o.y;
    t.tx = o.x;
    t.ty = o.y;
    return t;
}

kx::AffineTransform KXAuxiliaryLayer::pageToOverlay() const {
    return transformFromLayer(canvasLayer());
}

kx::Rect KXAuxiliaryLayer::fromPage(const kx::Rect& rect) const {
    return pageToOverlay().apply(rect);
}

void KXAuxiliaryLayer::paint(kx::BitmapContext& context) {
    m_paintedPieces = paintPieces();
    context.saveGState();
    drawMargin(context);
    if (draggingGraph())
        drawDragging(context);
    else if (croppingPhoto())
        drawCropping(context);
    else if (m_drawMode == KXAuxiliaryDrawModeNormal)
        drawNormal(context);
    else if (m_drawMode == KXAuxiliaryDrawModeControlNodes)
        drawControlNodesInContext(context);
    else if (m_drawMode == KXAuxiliaryDrawModeEditable)
        drawEditableNodesModeInContext(context);
    drawReplacingHighlight(context);
    context.restoreGState();
}

void KXAuxiliaryLayer::drawMargin(kx::BitmapContext& context) {
    KXCanvasLayer* page = canvasLayer();
    KXCanvas* canvas = page ? page->canvas() : nullptr;
    if (!canvas)
        return;
    const kx::Rect pageRect = fromPage(page->bounds());
    const kx::Rect margin = fromPage(canvas->previewMarginRect());
    if (canvas->clipMargin()) {
        context.saveGState();
        context.beginPath();
        context.addRect(pageRect);
        context.addRect(margin);
        context.clip(kx::FillRule::EvenOdd);
        context.setFillColor(kx::Color::srgb(1, 1, 1, 1));
        context.fillRect(pageRect);
        context.restoreGState();
    }
    if (kx::UserDefaults::standard().boolValue(KXShowMarginBox)) {
        context.saveGState();
        context.setStrokeColor(kx::Color::srgb(0, 0, 1, 1));
        context.setLineWidth(0.5);
        context.strokeRect(margin);
        context.restoreGState();
    }
}

void KXAuxiliaryLayer::rotateAboutAnchor(kx::BitmapContext& context, KXGraph* graph, const kx::Rect& r) const {
    kx::Point anchor(0.5, 0.5);
    if (KXGraphRender* render = graph->render()) {
        if (kx::Layer* layer = render->graphLayer())
            anchor = layer->anchorPoint();
    }
    const kx::Point pivot(r.origin.x + anchor.x * r.size.width, r.origin.y + anchor.y * r.size.height);
    context.translate(pivot.x, pivot.y);
    context.rotate(graph->angle());
    context.translate(-pivot.x, -pivot.y);
}

void KXAuxiliaryLayer::drawNormal(kx::BitmapContext& context) {
    KXCanvasLayer* page = canvasLayer();
    if (page) {
        for (const std::shared_ptr<KXGraph>& graph : page->selectedGraphs()) {
            const kx::Rect r = fromPage(roundRectComponents(graph->frameRect()));
            KXTracker* tracker = graph->tracker();
            tracker->setAngle(graph->angle());
            tracker->setFrame(r);
            context.saveGState();
            rotateAboutAnchor(context, graph.get(), r);
            auto* shape = dynamic_cast<KXShape*>(graph.get());
            if (graph->isLocked()) {
                context.setLineWidth(1);
                tracker->drawLockLineInContext(context);
            } else if (dynamic_cast<KXSpecialShape*>(shape)) {
                tracker->drawInContext(context);
                drawSpecialTrackerOfShape(shape, context);
            } else if (isPathShape(shape)) {
                if (shape->path().elementCount() > 2)
                    tracker->drawInContext(context);
                drawHandlerOfCustomShape(shape, context);
            } else if (dynamic_cast<KXSymbolShape*>(shape)) {
                drawHandlerOfSymbolShape(shape, context);
            } else {
                tracker->drawInContext(context);
            }
            context.restoreGState();
        }
    }
    drawGuideLines(context);
    drawMarquee(context);
}

void KXAuxiliaryLayer::drawGuideLines(kx::BitmapContext& context) {
    if (m_lines.empty())
        return;
    context.saveGState();
    context.setStrokeColor(kx::Color::srgb(1, 1, 0, 1));
    context.setLineWidth(1);
    // A guide crosses the whole page while a repaint covers a small part of it: the part of a horizontal or
    // vertical guide beyond the painted area (and a margin for its width and antialiasing) is left out, which
    // leaves the painted pixels as they were and spares stroking the rest.
    const kx::Rect painted = context.clipBoundingBox().insetBy(-4, -4);
    const auto within = [](double a, double b, double low, double high, double& from, double& to) {
        from = std::clamp(a, low, high);
        to = std::clamp(b, low, high);
    };
    for (const KXLine& line : m_lines) {
        double x1 = std::trunc(line.beginX()), y1 = std::trunc(line.beginY());
        double x2 = std::trunc(line.endX()), y2 = std::trunc(line.endY());
        if (!painted.isNull() && y1 == y2 && x1 != x2)
            within(x1, x2, painted.minX(), painted.maxX(), x1, x2);
        else if (!painted.isNull() && x1 == x2 && y1 != y2)
            within(y1, y2, painted.minY(), painted.maxY(), y1, y2);
        if (x1 == x2 && y1 == y2 && (line.beginX() != line.endX() || line.beginY() != line.endY()))
            continue;  // wholly outside the painted area
        // A vertical guide is stroked in short pieces: Qt's raster engine hands a fill of more than about a
        // hundred spans (two a row for an antialiased line) to its threads, which costs far more than the
        // line. The pieces meet on whole rows, so no pixel is covered twice.
        const double step = x1 == x2 ? kGuidePieceRows * (y2 >= y1 ? 1 : -1) : 0;
        for (double from = y1;;) {
            const double to = step == 0 || std::abs(y2 - from) <= std::abs(step) ? y2 : from + step;
            context.beginPath();
            context.moveTo({x1, step == 0 ? y1 : from});
            context.lineTo({x2, to});
            context.strokePath();
            if (to == y2)
                break;
            from = to;
        }
    }
    context.restoreGState();
}

void KXAuxiliaryLayer::drawMarquee(kx::BitmapContext& context) {
    if (m_selectionFrame.isEmpty())
        return;
    context.saveGState();
    context.setStrokeColor(kx::Color::srgb(0.75, 0.75, 0.75, 1));
    context.setLineWidth(1);
    context.strokeRect(m_selectionFrame);
    context.setFillColor(rgb255(170, 182, 189, 0.2));
    context.fillRect(m_selectionFrame);
    context.restoreGState();
}

void KXAuxiliaryLayer::drawDragging(kx::BitmapContext& context) {
    KXGraph* graph = draggingGraph();
    if (croppingPhoto()) {
        context.saveGState();
        if (prepareCropTracker(context))
            m_cropTracker1.drawInContext(context, m_draggingNode);
        context.restoreGState();
    } else if (m_drawMode == KXAuxiliaryDrawModeNormal && graph) {
        KXGraphRender* render = graph->render();
        kx::Layer* layer = render ? render->graphLayer() : nullptr;
        const bool textWithoutStroke = graph->graphType() == KXGraphTypeText && !graph->isStrokeEnabled();
        if (layer && (graph->graphType() == KXGraphTypeGroup || textWithoutStroke)) {
            // The outline of the layer as it stands now (turned, mirrored), in this space.
            context.saveGState();
            context.concat(kx::AffineTransform::concat(layer->transformToSuperlayer(),
                                                       transformFromLayer(layer->superlayer())));
            context.setStrokeColor(kx::Color::srgb(0, 0, 0, 1));
            context.setLineWidth(textWithoutStroke ? 0.5 : 1);
            const kx::Rect b = layer->bounds();
            context.strokeRect(textWithoutStroke ? roundRectComponents(b) : b);
            context.restoreGState();
        }
        if (layer && m_draggingNode != KXTrackerNodeNone) {
            KXTracker* tracker = graph->tracker();
            const kx::Point inLayer = tracker->positionOfNode(m_draggingNode, layer->bounds());
            const kx::Point centre = convertPointFromLayer(inLayer, layer);
            const std::int64_t r = tracker->nodeRadius();
            const std::int64_t half = r / 2;
            const kx::Rect square =
                roundRectComponents({centre.x - double(half), centre.y - double(half), double(r), double(r)});
            tracker->drawInContext(context, m_draggingNode, square);
        }
    }
    drawGuideLines(context);
}

bool KXAuxiliaryLayer::prepareCropTracker(kx::BitmapContext& context) {
    KXPhoto* photo = croppingPhoto();
    auto* shape = photo ? dynamic_cast<KXShape*>(photo->ownerGraph()) : nullptr;
    if (!shape || photo->renderMode() != 1)
        return false;
    const kx::Rect frame = shape->frameRect();
    const kx::Rect f = fromPage(frame);
    const kx::Rect image = fromPage(photo->fullImageRectForDrawing(frame));
    kx::Point anchor(0.5, 0.5);
    if (KXGraphRender* render = shape->render(); render && render->graphLayer())
        anchor = render->graphLayer()->anchorPoint();
    const kx::Rect relative = image.offsetBy(-f.origin.x, -f.origin.y);
    placeGraphInContext(context, *shape, f, kx::Point(anchor.x * f.size.width, anchor.y * f.size.height));
    m_cropTracker1.setAngle(shape->angle());
    m_cropTracker1.setFrame(relative);
    return true;
}

void KXAuxiliaryLayer::drawCropping(kx::BitmapContext& context) {
    context.saveGState();
    if (prepareCropTracker(context))
        m_cropTracker1.drawInContext(context);
    context.restoreGState();
}

KXTrackerNode KXAuxiliaryLayer::cropTrackNodeAtPoint(const kx::Point& point) {
    KXPhoto* photo = croppingPhoto();
    auto* shape = photo ? dynamic_cast<KXShape*>(photo->ownerGraph()) : nullptr;
    if (!shape || photo->renderMode() != 1)
        return KXTrackerNodeNone;
    const kx::Rect frame = shape->frameRect();
    kx::Point q(point.x - frame.origin.x, point.y - frame.origin.y);
    const kx::Point centre(frame.size.width / 2, frame.size.height / 2);
    q = transformPointAboutCenter(q, centre, -m_cropTracker1.angle(), 1, 1);
    kx::Rect image = photo->fullImageRectForDrawing(frame).offsetBy(-frame.origin.x, -frame.origin.y);
    if (shape->flipX() == -1)
        image.origin.x = frame.size.width - image.maxX();
    if (shape->flipY() == -1)
        image.origin.y = frame.size.height - image.maxY();
    return m_cropTracker1.nodeAtPoint({q.x - image.origin.x, q.y - image.origin.y},
                                      {0, 0, image.size.width, image.size.height});
}

double KXAuxiliaryLayer::angleOfCropTrackNode(KXTrackerNode node) const {
    KXPhoto* photo = croppingPhoto();
    KXGraph* owner = photo ? photo->ownerGraph() : nullptr;
    if (!owner || photo->renderMode() == 0)
        return 0;
    return KXTracker::angleOfNode(node, owner->angle());
}

void KXAuxiliaryLayer::drawReplacingHighlight(kx::BitmapContext& context) {
    KXShapeLayer* layer = replacingLayer();
    KXShape* shape = layer ? layer->shape() : nullptr;
    if (!shape)
        return;
    const kx::Rect f = fromPage(shape->frameRect());
    const std::optional<kx::Path> outline = quartzPathWhileClose(shape->path(), true);
    if (!outline)
        return;
    context.saveGState();
    placeGraphInContext(context, *shape, f, kx::Point(f.size.width / 2, f.size.height / 2));
    context.beginPath();
    context.addPath(*outline);
    context.setFillColor(kx::Color::srgb(1, 1, 1, 0.4));
    context.fillPath();
    context.restoreGState();
}

void KXAuxiliaryLayer::drawNodeInContext(kx::BitmapContext& context, const kx::Rect& rect, const kx::Color& fill,
                                         const kx::Color& stroke) const {
    context.saveGState();
    context.beginPath();
    context.addEllipseInRect(rect);
    context.setFillColor(fill);
    context.fillPath();
    context.beginPath();
    context.addEllipseInRect(rect);
    context.setStrokeColor(stroke);
    context.strokePath();
    context.restoreGState();
}

// ---- shape handles ----

kx::Rect KXAuxiliaryLayer::beginShapeFrame(KXShape* shape, kx::BitmapContext& context) const {
    const kx::Rect f = roundRectComponents(fromPage(shape->frameRect()));
    context.saveGState();
    context.setAlpha(opacity());
    placeGraphInContext(context, *shape, f, std::nullopt);
    return f;
}

void KXAuxiliaryLayer::drawShapeHandles(kx::BitmapContext& context, bool special, bool paths, bool lines) {
    KXCanvasLayer* page = canvasLayer();
    if (!page)
        return;
    for (const std::shared_ptr<KXGraph>& graph : page->selectedGraphs()) {
        auto* shape = dynamic_cast<KXShape*>(graph.get());
        if (!shape || graph->isLocked())
            continue;
        const kx::Rect r = fromPage(roundRectComponents(graph->frameRect()));
        context.saveGState();
        rotateAboutAnchor(context, graph.get(), r);
        if (special && dynamic_cast<KXSpecialShape*>(shape))
            drawSpecialTrackerOfShape(shape, context);
        else if (paths && isPathShape(shape))
            drawHandlerOfCustomShape(shape, context);
        else if (lines && dynamic_cast<KXSymbolShape*>(shape))
            drawHandlerOfSymbolShape(shape, context);
        context.restoreGState();
    }
}

void KXAuxiliaryLayer::drawControlNodesInContext(kx::BitmapContext& context) {
    drawShapeHandles(context, false, true, true);
}

void KXAuxiliaryLayer::drawEditableNodesModeInContext(kx::BitmapContext& context) {
    drawShapeHandles(context, true, true, true);
}
