#include "canvas/calendar_layer.h"

#include "canvas/content_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

#include <algorithm>

KXCalendarLayer::KXCalendarLayer(std::shared_ptr<KXGraph> graph) : KXGraphLayer(std::move(graph)) {
    setMasksToBounds(false);
    // Made before the graph is attached, so that the first frame already reaches it.
    m_contentLayer = std::make_shared<KXContentLayer>(this);
    addSublayer(m_contentLayer);
}

KXCalendarLayer::~KXCalendarLayer() {
    if (m_contentLayer)
        m_contentLayer->setOwner(nullptr);
}

KXCalendar* KXCalendarLayer::calendar() const {
    return dynamic_cast<KXCalendar*>(graph());
}

void KXCalendarLayer::setFrame(const kx::Rect& frame) {
    KXGraphLayer::setFrame(frame);
    updateContentLayerFrame();
}

double KXCalendarLayer::getExpandSize() const {
    KXGraph* g = graph();
    const kx::Size preview = g && g->canvas() ? g->canvas()->previewSize() : kx::Size();
    const double x = std::min(preview.width, preview.height) / 10;
    return x > 50 ? (x + 50) * 2 : 100;
}

void KXCalendarLayer::updateContentLayerFrame() {
    const kx::Size size = bounds().size;
    if (!m_contentLayer || size.width < 1 || size.height < 1)
        return;
    const double e = getExpandSize();
    kx::LayerTransaction transaction;
    m_contentLayer->setFrame({-e, -e, size.width + 2 * e, size.height + 2 * e});
}

bool KXCalendarLayer::containsPoint(const kx::Point& point) const {
    KXGraph* g = graph();
    if (!g)
        return false;
    const kx::Rect frame = g->frameRect();
    const kx::Point turned = transformPointAboutCenter(point, frame.center(), -g->angle(), 1, 1);
    if (frame.contains(turned))
        return true;
    if (!g->isStrokeEnabled())
        return false;
    // A border may paint outside the frame: test where the calendar really paints.
    const kx::Point local(turned.x - frame.origin.x, turned.y - frame.origin.y);
    if (!m_contentLayer || !m_contentLayer->frame().contains(local))
        return false;
    return _containsPoint(local);
}

bool KXCalendarLayer::_containsPoint(const kx::Point& point) const {
    KXGraph* g = graph();
    if (!g)
        return false;
    kx::BitmapContext pixel(1, 1, kx::BitmapContext::Kind::AlphaOnly);
    const kx::Size size = bounds().size;
    g->drawInContext(pixel, {-point.x, -point.y, size.width, size.height});
    return pixel.constData()[0] != 0;
}

void KXCalendarLayer::drawInContext(kx::BitmapContext&) {}

void KXCalendarLayer::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    const double scale = kx::mainScreenBackingScaleFactor();
    if (contentsScale() != scale)
        setContentsScale(scale);
    KXGraph* g = graph();
    if (!g)
        return;
    // The content layer carries the opacity; the calendar paints at full strength without its opacity
    // being written.
    const KXGraph::PaintOpacity fullStrength(g, 1.0);
    g->drawInContext(context, rect);
}

void KXCalendarLayer::setNeedsDisplayGraph(KXGraph* graph) {
    setNeedsDisplay();
    if (m_contentLayer)
        m_contentLayer->setNeedsDisplay();
    refreshCompanionLayers(false);
    if (graph && graph->isSelected())
        drawGraphSelection(graph);
}

void KXCalendarLayer::updateOpaicty() {
    KXGraph* g = graph();
    if (!g || !m_contentLayer)
        return;
    m_contentLayer->setOpacity(g->opacity());
}
