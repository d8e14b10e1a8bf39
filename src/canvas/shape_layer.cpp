#include "canvas/shape_layer.h"

#include "model/canvas.h"
#include "model/frame.h"
#include "model/photo.h"
#include "model/stroke.h"
#include "platform/foundation/undo_manager.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/shape_path_builders.h"
#include "shapes/symbol_shape.h"

#include <algorithm>
#include <cmath>

namespace {

// Keeps a page's undo registration off for a scope; nothing without a page.
class PageUndoOff {
public:
    explicit PageUndoOff(KXGraph* graph) : m_page(graph ? graph->canvas() : nullptr) {
        if (m_page)
            m_page->undoManager().disableUndoRegistration();
    }
    ~PageUndoOff() {
        if (m_page)
            m_page->undoManager().enableUndoRegistration();
    }
    PageUndoOff(const PageUndoOff&) = delete;
    PageUndoOff& operator=(const PageUndoOff&) = delete;

private:
    KXCanvas* m_page;
};

// A one-pixel alpha bitmap for hit tests.
kx::BitmapContext onePixel() {
    return kx::BitmapContext(1, 1, kx::BitmapContext::Kind::AlphaOnly);
}

}  // namespace

KXShapeLayer::KXShapeLayer(std::shared_ptr<KXGraph> graph) : KXGraphLayer(std::move(graph)) {
    setMasksToBounds(false);
    // Made before the graph is attached, so that the first frame already reaches it.
    m_contentLayer = std::make_shared<KXContentLayer>(this);
    addSublayer(m_contentLayer);
}

KXShapeLayer::~KXShapeLayer() {
    if (m_contentLayer)
        m_contentLayer->setOwner(nullptr);
}

void KXShapeLayer::setFrame(const kx::Rect& frame) {
    kx::LayerTransaction transaction;
    KXGraphLayer::setFrame(frame);
    if (KXShape* s = shape()) {
        PageUndoOff noUndo(s);
        s->updatePath();
    }
    updateContentLayerFrame();
}

double KXShapeLayer::getExpandSize() const {
    const KXGraph* g = graph();
    const KXCanvas* page = g ? g->canvas() : nullptr;
    const kx::Size preview = page ? page->previewSize() : kx::Size();
    const double x = std::min(preview.width, preview.height) / 10;
    const double e = x > 50 ? (x + 50) * 2 : 100;
    return std::round(e);
}

std::optional<double> KXShapeLayer::drawingReach() const {
    const KXShape* s = shape();
    if (!s)
        return std::nullopt;
    const std::int32_t type = s->graphType();
    if (!(type == KXGraphTypePhoto || (type == KXGraphTypeShape && s->shapeType() == KXShapeTypeRectangle)))
        return std::nullopt;
    const KXCanvas* page = s->canvas();
    const kx::Size preview = page ? page->previewSize() : kx::Size();
    double reach = 2;
    if (s->isStrokeEnabled() && s->stroke())
        reach += s->stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
    if (type == KXGraphTypePhoto && s->photo()->frame() && s->photo()->isFrameEnabled()) {
        const KXFrame& frame = *s->photo()->frame();
        if (frame.style() == KXFrameStyleExpandable && !frame.name().isEmpty()) {
            // The photo draws it at the page's zoom scaled by the drawn size over the frame size (whole
            // points apart at most).
            const kx::Rect f = s->frameRect();
            const double stretch = f.size.width > 0 ? (f.size.width + 1) / f.size.width : 1;
            reach += std::abs(frame.expansion() * frame.scale() * (page ? page->zoomValue() : 1.0)) * stretch + 1;
        }
    }
    if (!std::isfinite(reach))
        return std::nullopt;
    return reach;
}

void KXShapeLayer::updateContentLayerFrame() {
    if (!m_contentLayer)
        return;
    const kx::Size size = bounds().size;
    if (size.width < 1 || size.height < 1)
        return;
    const double e = getExpandSize();
    kx::LayerTransaction transaction;
    m_contentLayer->setFrame({-e, -e, size.width + 2 * e, size.height + 2 * e});
}

void KXShapeLayer::updateOpaicty() {
    if (!graph() || !m_contentLayer)
        return;
    m_contentLayer->setOpacity(graph()->opacity());
}

// ---- hit tests ----

bool KXShapeLayer::containsPoint(const kx::Point& point) const {
    const kx::Point turned = convertPointToRenderSpace(point);
    const kx::Rect frame = graph() ? graph()->frameRect() : kx::Rect();
    return containsLocalPoint({turned.x - frame.origin.x, turned.y - frame.origin.y});
}

bool KXShapeLayer::renderContainsPoint(const kx::Point& point) {
    const kx::Rect frame = graph() ? graph()->frameRect() : kx::Rect();
    return containsLocalPoint({point.x - frame.origin.x, point.y - frame.origin.y});
}

bool KXShapeLayer::containsLocalPoint(const kx::Point& q) const {
    KXShape* s = shape();
    if (!s)
        return false;
    const std::int32_t type = s->graphType();
    if (type == KXGraphTypeLine && s->isStrokeEnabled()) {
        const kx::Point inContent = m_contentLayer ? m_contentLayer->convertPointFromLayer(q, this) : q;
        if (!m_contentLayer || !m_contentLayer->bounds().contains(inContent))
            return false;
        return pathContainsPoint(q);
    }
    const kx::Size size = s->frameRect().size;
    if (!kx::Rect(0, 0, size.width, size.height).contains(q))
        return false;
    if (type == KXGraphTypePhoto)
        return _containsPoint(q);
    if (type == KXGraphTypeShape) {
        const std::optional<kx::Path> outline = quartzPathWhileClose(s->path(), true);
        return outline && outline->contains(q, kx::FillRule::Winding);
    }
    return true;
}

bool KXShapeLayer::_containsPoint(const kx::Point& q) const {
    KXShape* s = shape();
    if (!s)
        return false;
    kx::BitmapContext pixel = onePixel();
    if (!pixel.isValid())
        return false;
    const kx::Size size = bounds().size;
    {
        PageUndoOff noUndo(s);
        s->drawInContext(pixel, {-q.x, -q.y, size.width, size.height});
    }
    return pixel.constData()[0] > 10;
}

bool KXShapeLayer::pathContainsPoint(const kx::Point& q) const {
    KXShape* s = shape();
    if (!s)
        return false;
    const std::optional<kx::Path> path = quartzPathWhileClose(s->path(), false);
    if (!path)
        return false;
    kx::BitmapContext pixel = onePixel();
    if (!pixel.isValid())
        return false;
    const KXCanvas* page = s->canvas();
    const kx::Size preview = page ? page->previewSize() : kx::Size();
    const double width =
        s->stroke() ? s->stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1) : 0;
    pixel.translate(-q.x, -q.y);
    pixel.setLineWidth(std::max(5.0, std::isfinite(width) ? width : 0.0));
    pixel.setStrokeColor(kx::Color::srgb(0, 0, 0, 1));
    pixel.beginPath();
    pixel.addPath(*path);
    pixel.strokePath();
    // An arrow line is hit on its filled head too.
    if (auto* line = dynamic_cast<KXSymbolShape*>(s); line && line->shapeType() == KXShapeTypeArrowLine)
        line->drawMarkPathInContext(pixel);
    return pixel.constData()[0] != 0;
}

// ---- drawing ----

void KXShapeLayer::display() {}

void KXShapeLayer::drawInContext(kx::BitmapContext&) {}

void KXShapeLayer::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    KXGraph* g = graph();
    if (!g)
        return;
    // Drawn for the screen: a photo still without its picture shows the placeholder while it is decoded.
    const KXPhoto::ScreenDrawing onScreen;
    // The content layer carries the opacity: the shape paints at full strength, without its opacity being
    // written (observers and the page's undo hear nothing).
    PageUndoOff noUndo(g);
    const KXGraph::PaintOpacity fullStrength(g, 1.0);
    g->drawInContext(context, rect);
}

void KXShapeLayer::displayIfNeeded() {
    if (m_contentLayer)
        m_contentLayer->displayIfNeeded();
}

void KXShapeLayer::setNeedsDisplayGraph(KXGraph* g) {
    if (m_contentLayer)
        m_contentLayer->setNeedsDisplay();
    refreshCompanionLayers(true);
    drawGraphSelection(g);
}

void KXShapeLayer::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                                const kx::Value& newValue) {
    auto* line = dynamic_cast<KXSymbolShape*>(graph());
    const bool arrowWidth = line && line->shapeType() == KXShapeTypeArrowLine && object == line->stroke() &&
                            key == QLatin1String("width");
    if (arrowWidth)
        line->updatePathForStrokeWidthChanged();
    KXGraphLayer::observeValue(key, object, oldValue, newValue);
    // The head's new size changes what the reflection shows.
    if (arrowWidth)
        updateReflectionLayer();
}
