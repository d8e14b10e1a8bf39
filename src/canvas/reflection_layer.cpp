#include "canvas/reflection_layer.h"

#include "canvas/graph_layer.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_loading.h"
#include "model/canvas.h"
#include "model/reflection_geometry.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
const QString kReflectionAlphaKey = QStringLiteral("reflectionAlpha");

// Draws a layer with its sublayers as rendering does, in its own space, but without its own shadow.
void renderWithoutShadow(kx::Layer& layer, kx::BitmapContext& context) {
    if (layer.isHidden() || layer.opacity() <= 0)
        return;
    layer.layoutIfNeeded();
    layer.displayIfNeeded();
    context.saveGState();
    const bool fades = layer.opacity() < 1;
    if (fades) {
        // The layer's parts fade as one picture.
        context.setAlpha(context.alpha() * layer.opacity());
        context.beginTransparencyLayer();
    }
    if (layer.masksToBounds())
        context.clipToRect(layer.bounds());
    if (!layer.contents().isNull())
        context.drawImage(layer.bounds(), layer.contents());
    for (const std::shared_ptr<kx::Layer>& sublayer : std::vector<std::shared_ptr<kx::Layer>>(layer.sublayers())) {
        context.saveGState();
        context.concat(sublayer->transformToSuperlayer());
        sublayer->renderInContext(context);
        context.restoreGState();
    }
    if (fades)
        context.endTransparencyLayer();
    context.restoreGState();
}
}

KXReflectionLayer::KXReflectionLayer() {
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
}

KXReflectionLayer::KXReflectionLayer(std::shared_ptr<KXGraph> graph) : KXReflectionLayer() {
    m_graph = std::move(graph);
    bind();
    updateReflectionFrame();
    updateReflectionContents();
}

KXReflectionLayer::~KXReflectionLayer() {
    unbind();
}

void KXReflectionLayer::setGraph(std::shared_ptr<KXGraph> graph) {
    if (graph == m_graph)
        return;
    unbind();
    m_graph = std::move(graph);
    bind();
}

void KXReflectionLayer::bind() {
    if (!m_graph)
        return;
    m_graph->kx::Observable::addObserver(this, kReflectionAlphaKey);
    m_bound = true;
    setOpacity(m_graph->reflectionAlpha());
}

void KXReflectionLayer::unbind() {
    if (m_graph && m_bound)
        m_graph->kx::Observable::removeObserver(this, kReflectionAlphaKey);
    m_bound = false;
}

void KXReflectionLayer::observeValue(const QString& key, kx::Observable* object, const kx::Value&,
                                     const kx::Value&) {
    if (m_graph && object == m_graph.get() && key == kReflectionAlphaKey) {
        kx::LayerTransaction transaction;
        setOpacity(m_graph->reflectionAlpha());
    }
}

void KXReflectionLayer::setFrame(const kx::Rect& frame) {
    kx::LayerTransaction transaction;
    kx::Layer::setFrame(frame);
}

void KXReflectionLayer::setContents(const kx::Image& contents) {
    kx::LayerTransaction transaction;
    kx::Layer::setContents(contents);
}

KXGraphLayer* KXReflectionLayer::graphLayer() const {
    KXGraphRender* render = m_graph ? m_graph->render() : nullptr;
    return render ? dynamic_cast<KXGraphLayer*>(render->graphLayer()) : nullptr;
}

bool KXReflectionLayer::isGraphEditing() const {
    const KXGraphLayer* layer = graphLayer();
    return layer && layer->isEditing();
}

kx::Rect KXReflectionLayer::graphFrameRect() const {
    if (!m_graph)
        return {};
    kx::Rect frame = m_graph->frameRect();
    if (const KXGraph* group = m_graph->group()) {
        const kx::Point origin = group->frameRect().origin;
        frame = frame.offsetBy(-origin.x, -origin.y);
    }
    return frame;
}

void KXReflectionLayer::updateReflectionContents() {
    if (isGraphEditing())
        return;
    updateReflectionFrame();
    setNeedsDisplay();
}

void KXReflectionLayer::updateReflectionFrame() {
    if (isGraphEditing() || !m_graph)
        return;
    const KXCanvas* page = m_graph->canvas();
    kx::Rect r = graphFrameRect();
    const kx::Point c = r.center();
    // An empty frame keeps the last height, and the band stays where the graph last was.
    if (!r.isEmpty()) {
        r = reflectionSourceBounds(*m_graph, r, page ? page->previewSize() : kx::Size());
        m_graphHeight = r.size.height;
    }
    m_offsetY = c.y - r.origin.y;
    const kx::Rect source(r.origin, kx::Size(r.size.width, m_graphHeight));
    setFrame(reflectionBand(source, reflectionGap(page ? page->zoomValue() : 1.0), false));
}

void KXReflectionLayer::drawInContext(kx::BitmapContext& context) {
    const double scale = kx::mainScreenBackingScaleFactor();
    if (contentsScale() != scale)
        setContentsScale(scale);
    const kx::Rect b = bounds();
    KXGraphLayer* layer = graphLayer();
    if (b.isEmpty() || !m_graph || !layer)
        return;
    context.saveGState();
    // Without its mask resource the band shows the reflection unfaded.
    const kx::Image mask = reflectionMaskImage();
    if (mask.isNull())
        context.clipToRect(b);
    else
        context.clipToMask(b, mask);
    context.translate(0, b.maxY());
    context.scale(1, -1);
    const kx::Rect lb = layer->bounds();
    kx::Point m = lb.center();
    if (superlayer() && layer->superlayer() == superlayer())
        m = transformToSuperlayer().inverted().apply(layer->transformToSuperlayer().apply(m));
    const double w = lb.size.width;
    const double h = lb.size.height;
    context.translate(m.x - w / 2, m_offsetY - h / 2);
    context.translate(w / 2, h / 2);
    context.rotate(m_graph->angle());
    context.translate(-w / 2, -h / 2);
    // The graph's drop shadow is never reflected. The graph layer is drawn without it rather than having its
    // shadow switched off for a moment: drawing changes no layer (a change would ask the view to repaint).
    renderWithoutShadow(*layer, context);
    context.restoreGState();
}
