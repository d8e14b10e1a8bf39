#include "canvas/canvas_layer.h"

#include "canvas/auxiliary_layer.h"
#include "canvas/calendar_layer.h"
#include "canvas/graph_layer.h"
#include "canvas/group_layer.h"
#include "canvas/shape_layer.h"
#include "model/graph.h"
#include "model/photo.h"
#include "platform/foundation/notification_center.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

namespace {
bool isGraphLayer(const kx::Layer& layer) {
    return dynamic_cast<const KXGraphLayer*>(&layer) != nullptr;
}

}  // namespace

// Shapes, photos, text boxes and line shapes get shape layers, calendars calendar layers, groups group layers;
// a graph of one of these types that is not of the matching class is shown by the base layer, which paints it.
std::shared_ptr<KXGraphLayer> makeGraphLayer(const std::shared_ptr<KXGraph>& graph) {
    switch (graph->graphType()) {
    case KXGraphTypeCalendar: return KXGraphLayer::create<KXCalendarLayer>(graph);
    case KXGraphTypeShape:
    case KXGraphTypePhoto:
    case KXGraphTypeText:
    case KXGraphTypeLine:
        if (std::dynamic_pointer_cast<KXShape>(graph))
            return KXGraphLayer::create<KXShapeLayer>(graph);
        return KXGraphLayer::create(graph);
    case KXGraphTypeGroup:
        if (std::dynamic_pointer_cast<KXGroup>(graph))
            return KXGraphLayer::create<KXGroupLayer>(graph);
        return KXGraphLayer::create(graph);
    default: return nullptr;
    }
}

KXCanvasLayer::KXCanvasLayer() {
    setMasksToBounds(true);
    const double scale = kx::mainScreenBackingScaleFactor();
    if (scale != 1.0)
        setContentsScale(2.0);
}

KXCanvasLayer::~KXCanvasLayer() {
    if (m_canvas && m_canvas->owner() == this)
        m_canvas->setOwner(nullptr);
}

std::shared_ptr<KXCanvasLayer> KXCanvasLayer::create(std::shared_ptr<KXCanvas> canvas) {
    auto layer = std::make_shared<KXCanvasLayer>();
    if (!canvas) {
        canvas = std::make_shared<KXCanvas>();
        canvas->setLayoutType(KXLayoutTypeProportional);
    }
    layer->setCanvas(std::move(canvas));
    return layer;
}

void KXCanvasLayer::setCanvas(std::shared_ptr<KXCanvas> canvas) {
    if (canvas == m_canvas)
        return;
    if (m_canvas && m_canvas->owner() == this)
        m_canvas->setOwner(nullptr);
    detachGraphLayers();
    m_canvas = std::move(canvas);
    if (m_canvas)
        m_canvas->setOwner(this);
}

void KXCanvasLayer::detachGraphLayers() {
    // Companions stay; every graph layer goes, and its graph forgets it, so that nothing of the page shown
    // before is drawn, counted or redrawn through this tree.
    const std::vector<std::shared_ptr<kx::Layer>> layers = sublayers();
    kx::LayerTransaction transaction;
    for (const std::shared_ptr<kx::Layer>& sublayer : layers) {
        auto* graphLayer = dynamic_cast<KXGraphLayer*>(sublayer.get());
        if (!graphLayer)
            continue;
        if (KXGraph* graph = graphLayer->graph(); graph && graph->render() == graphLayer)
            graph->setRender(nullptr);
        sublayer->removeFromSuperlayer();
    }
}

void KXCanvasLayer::insertGraph(KXGraph* graph, unsigned index) {
    if (!graph)
        return;
    std::shared_ptr<kx::Layer> layer;
    if (KXGraphRender* render = graph->render()) {
        if (kx::Layer* existing = render->graphLayer())
            layer = existing->shared_from_this();
    } else if (auto shared = std::dynamic_pointer_cast<KXGraph>(graph->weak_from_this().lock())) {
        layer = makeGraphLayer(shared);
    }
    if (!layer || layer->superlayer() == this)
        return;
    {
        kx::LayerTransaction transaction;
        insertSublayer(layer, index);
        // The reflection and contact shadow go directly beneath their graph layer.
        if (auto* graphLayer = dynamic_cast<KXGraphLayer*>(layer.get())) {
            graphLayer->updateReflectionLayer();
            graphLayer->updateShadowLayer();
        }
    }
    kx::NotificationCenter::defaultCenter().post(KXCanvasAddGraph, this);
}

void KXCanvasLayer::removeGraph(KXGraph* graph) {
    if (!graph)
        return;
    if (graph->graphType() == KXGraphTypePhoto) {
        if (auto* shape = dynamic_cast<KXShape*>(graph); shape && shape->photo()) {
            shape->photo()->setRenderMode(KXPhotoRenderModeNormal);
            if (shape->photo()->isEmpty())
                kx::NotificationCenter::defaultCenter().post(KXRemoveEmptyPhoto, this);
        }
    }
    KXGraphRender* render = graph->render();
    kx::Layer* layer = render ? render->graphLayer() : nullptr;
    if (layer && layer->superlayer() == this) {
        // The page holds the only strong reference: the graph layer goes, and stops observing the graph.
        kx::LayerTransaction transaction;
        if (auto* graphLayer = dynamic_cast<KXGraphLayer*>(layer))
            graphLayer->removeCompanionLayers();
        layer->removeFromSuperlayer();
    }
    graph->setRender(nullptr);
    graph->setCanvas(nullptr);
    graph->setSelected(false);
    if (KXAuxiliaryLayer* overlay = auxiliaryLayer()) {
        if (overlay->croppingPhoto())
            overlay->setCroppingPhoto(nullptr);
        overlay->setDraggingGraph(nullptr);
        overlay->setNeedsDisplay();
    }
}

KXAuxiliaryLayer* KXCanvasLayer::auxiliaryLayer() const {
    return static_cast<KXAuxiliaryLayer*>(m_auxiliaryLayer.lock().get());
}

void KXCanvasLayer::setAuxiliaryLayer(KXAuxiliaryLayer* layer) {
    m_auxiliaryLayer = layer ? layer->weak_from_this() : std::weak_ptr<kx::Layer>();
}

KXShapeLayer* KXCanvasLayer::draggingLayerAtPoint(const kx::Point& point) const {
    const auto& layers = sublayers();
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        auto* shapeLayer = dynamic_cast<KXShapeLayer*>(it->get());
        KXShape* shape = shapeLayer ? shapeLayer->shape() : nullptr;
        if (!shape || shape->graphType() != KXGraphTypePhoto)
            continue;
        if (shapeLayer->containsPoint(point) && !shape->isLocked() && shape->photo() && !shape->photo()->isClipart())
            return shapeLayer;
    }
    return nullptr;
}

void KXCanvasLayer::moveGraph(KXGraph* graph, unsigned index) {
    KXGraphRender* render = graph ? graph->render() : nullptr;
    kx::Layer* layer = render ? render->graphLayer() : nullptr;
    if (!layer || layer->superlayer() != this)
        return;
    // Kept alive while it is out of the tree; its companions go with it, in their order.
    const std::shared_ptr<kx::Layer> kept = layer->shared_from_this();
    auto* graphLayer = dynamic_cast<KXGraphLayer*>(layer);
    const std::vector<std::shared_ptr<kx::Layer>> companions =
        graphLayer ? graphLayer->companionsBeneath() : std::vector<std::shared_ptr<kx::Layer>>();
    kx::LayerTransaction transaction;
    for (const std::shared_ptr<kx::Layer>& companion : companions)
        companion->removeFromSuperlayer();
    layer->removeFromSuperlayer();
    insertSublayer(kept, index);
    if (graphLayer)
        graphLayer->placeCompanionsBeneath(companions);
}

void KXCanvasLayer::setNeedsDisplay() {
    kx::Layer::setNeedsDisplay();
    if (KXAuxiliaryLayer* overlay = auxiliaryLayer())
        overlay->setNeedsDisplay();
}

void KXCanvasLayer::setContents(const kx::Image& contents) {
    kx::LayerTransaction transaction;
    kx::Layer::setContents(contents);
}

void KXCanvasLayer::layoutGraphs() {
    const kx::Size preview = m_canvas ? m_canvas->previewSize() : kx::Size();
    kx::LayerTransaction transaction;
    for (const std::shared_ptr<kx::Layer>& sublayer : sublayers()) {
        auto* graphLayer = dynamic_cast<KXGraphLayer*>(sublayer.get());
        if (!graphLayer)
            continue;
        KXGraph* graph = graphLayer->graph();
        const kx::Rect r = graph ? graph->relativeRect() : kx::Rect();
        graphLayer->setFrame({r.origin.x * preview.width, r.origin.y * preview.height, r.size.width * preview.width,
                              r.size.height * preview.height});
        if (!graph)
            continue;
        if (m_displayLocked) {
            graph->lockDisplay();
        } else {
            graph->unlockDisplay();
            graph->setNeedsDisplay();
        }
    }
}

void KXCanvasLayer::insertSublayer(std::shared_ptr<kx::Layer> layer, unsigned index) {
    if (layer && isGraphLayer(*layer)) {
        const std::int64_t position = actualIndex(index);
        kx::Layer::insertSublayer(std::move(layer), unsigned(std::max<std::int64_t>(0, position)));
        return;
    }
    kx::Layer::insertSublayer(std::move(layer), index);
}

std::int64_t KXCanvasLayer::actualIndex(std::int64_t graphIndex) const {
    if (graphIndex <= 0)
        return graphIndex;
    const auto& layers = sublayers();
    const std::int64_t total = std::int64_t(layers.size());
    // Past the last graph layer every other sublayer lies beneath the place asked for.
    if (graphIndex > m_graphLayerCount)
        return graphIndex + (total - m_graphLayerCount);
    // The answer is the position just above the graphIndex-th graph layer (counted from 1 at the back).
    const std::int64_t fromTop = m_graphLayerCount - graphIndex + 1;
    std::int64_t seen = 0;
    if (graphIndex <= fromTop) {
        for (std::int64_t i = 0; i < total; ++i) {
            if (isGraphLayer(*layers[std::size_t(i)]) && ++seen == graphIndex)
                return i + 1;
        }
    } else {
        for (std::int64_t i = total; i-- > 0;) {
            if (isGraphLayer(*layers[std::size_t(i)]) && ++seen == fromTop)
                return i + 1;
        }
    }
    // Unreachable while the count is exact; the plain index is the safe answer.
    return graphIndex;
}

void KXCanvasLayer::didInsertSublayer(kx::Layer& layer) {
    if (isGraphLayer(layer))
        ++m_graphLayerCount;
}

void KXCanvasLayer::didRemoveSublayer(kx::Layer& layer) {
    if (isGraphLayer(layer))
        --m_graphLayerCount;
}

void KXCanvasLayer::setFrame(const kx::Rect& frame) {
    {
        kx::LayerTransaction transaction;
        kx::Layer::setFrame(frame);
    }
    if (m_canvas)
        m_canvas->zoomToFitSize(frame.size);
    if (!m_displayLocked)
        setNeedsDisplay();
}

void KXCanvasLayer::drawInContext(kx::BitmapContext& context) {
    const double scale = kx::mainScreenBackingScaleFactor();
    if (contentsScale() != scale)
        setContentsScale(scale);
    if (!m_displayLocked && m_canvas)
        m_canvas->drawInContext(context);
}

KXCanvas::GraphList KXCanvasLayer::selectedGraphs() const {
    return m_canvas ? m_canvas->selectedGraphs() : KXCanvas::GraphList();
}
