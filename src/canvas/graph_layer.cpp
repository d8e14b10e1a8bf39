#include "canvas/graph_layer.h"

#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "canvas/contact_shadow_layer.h"
#include "canvas/reflection_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "model/tracker.h"
#include "platform/foundation/notification_center.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"
#include "text/text.h"

#include <QCoreApplication>
#include <QTimer>

#include <cmath>

namespace {
const QString kShadowEnabledKey = QStringLiteral("shadowEnabled");
const QString kAngleKey = QStringLiteral("angle");
const QString kRelativeRectKey = QStringLiteral("relativeRect");
const QString kReflectionEnabledKey = QStringLiteral("reflectionEnabled");
const QString kReflectionAlphaKey = QStringLiteral("reflectionAlpha");
const QString kContactShadowEnabledKey = QStringLiteral("contactShadowEnabled");
const QString kStrokeEnabledKey = QStringLiteral("strokeEnabled");
const QString kWidthKey = QStringLiteral("width");
const QString kOpacityKey = QStringLiteral("opacity");

// To the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value) {
    return std::nearbyint(value);
}
}  // namespace

KXGraphLayer::KXGraphLayer(std::shared_ptr<KXGraph> graph) : m_graph(std::move(graph)) {}

KXGraphLayer::~KXGraphLayer() {
    if (!m_graph)
        return;
    if (m_observing)
        m_graph->removeObserver(this);
    if (m_graph->render() == this)
        m_graph->setRender(nullptr);
}

void KXGraphLayer::initWithGraph() {
    m_editing = false;
    if (m_graph) {
        m_graph->setRender(this);
        // Shown on a page, stroke widths and shadows are measured on the page preview.
        if (m_graph->stroke())
            m_graph->stroke()->setType(KXStrokeWidthRelative);
        if (m_graph->shadow())
            m_graph->shadow()->setType(1);
        m_graph->tracker()->setStrokeWidth(1.0);
        m_graph->tracker()->setLineType(1);
        m_graph->addObserver(this);
        m_observing = true;
    }
    setFrame(frameInSuperlayer());
    updateShadow();
    setAngle(m_graph ? m_graph->angle() : 0);
    updateOpaicty();
    const double scale = kx::mainScreenBackingScaleFactor();
    if (scale != 1.0)
        setContentsScale(2.0);
}

kx::Rect KXGraphLayer::frameInSuperlayer() const {
    if (!m_graph)
        return {};
    kx::Rect frame = m_graph->frameRect();
    if (const KXGraph* group = m_graph->group()) {
        const kx::Point origin = group->frameRect().origin;
        frame.origin.x -= origin.x;
        frame.origin.y -= origin.y;
    }
    return frame;
}

void KXGraphLayer::setFrame(const kx::Rect& frame) {
    kx::LayerTransaction transaction;
    const kx::AffineTransform turned = affineTransform();
    setAffineTransform(kx::AffineTransform());
    const kx::Rect before = this->frame();
    const kx::Rect rounded(roundHalfEven(frame.origin.x), roundHalfEven(frame.origin.y),
                           roundHalfEven(frame.size.width), roundHalfEven(frame.size.height));
    kx::Layer::setFrame(rounded);
    updateShadow();
    setAffineTransform(turned);
    if (m_reflectionLayer)
        m_reflectionLayer->updateReflectionFrame();
    if (m_contactShadowLayer)
        m_contactShadowLayer->updateFrame();
    if (before.size != rounded.size) {
        updateShadow();
        if (m_graph)
            m_graph->setNeedsDisplay();
        if (m_reflectionLayer)
            m_reflectionLayer->updateReflectionContents();
        if (m_contactShadowLayer)
            m_contactShadowLayer->updateContactShadowContents();
    }
}

void KXGraphLayer::setAngle(double angle) {
    {
        kx::LayerTransaction transaction;
        setAffineTransform(kx::AffineTransform::makeRotation(angle));
    }
    kx::NotificationCenter::defaultCenter().post(KXGraphLayerRotationCHanged, this);
}

kx::Point KXGraphLayer::convertPointToRenderSpace(const kx::Point& point) const {
    if (!m_graph)
        return point;
    return transformPointAboutCenter(point, m_graph->frameRect().center(), -m_graph->angle(), 1, 1);
}

KXCanvasLayer* KXGraphLayer::canvasLayer() {
    for (kx::Layer* layer = superlayer(); layer; layer = layer->superlayer()) {
        if (auto* page = dynamic_cast<KXCanvasLayer*>(layer))
            return page;
    }
    return nullptr;
}

void KXGraphLayer::setEditing(bool editing) {
    if (editing == m_editing)
        return;
    m_editing = editing;
    if (!m_reflectionLayer)
        return;
    kx::LayerTransaction transaction;
    m_reflectionLayer->setHidden(editing);
    if (!editing)
        m_reflectionLayer->updateReflectionContents();
}

// Makes the companion while `on` (removes it otherwise) and puts it directly beneath the graph layer.
template <class Companion>
static void placeCompanion(std::shared_ptr<Companion>& companion, bool on, kx::Layer& graphLayer,
                           const std::shared_ptr<KXGraph>& graph) {
    kx::LayerTransaction transaction;
    if (!on) {
        if (companion)
            companion->removeFromSuperlayer();
        companion.reset();
        return;
    }
    if (!companion)
        companion = std::make_shared<Companion>(graph);
    if (graphLayer.superlayer())
        graphLayer.superlayer()->insertSublayerBelow(companion, &graphLayer);
}

void KXGraphLayer::updateReflectionLayer() {
    placeCompanion(m_reflectionLayer, m_graph && m_graph->isReflectionEnabled(), *this, m_graph);
    if (m_reflectionLayer)
        m_reflectionLayer->setHidden(m_editing);
}

void KXGraphLayer::updateShadowLayer() {
    placeCompanion(m_contactShadowLayer, m_graph && m_graph->isContactShadowEnabled(), *this, m_graph);
}

void KXGraphLayer::removeCompanionLayers() {
    kx::LayerTransaction transaction;
    if (m_reflectionLayer)
        m_reflectionLayer->removeFromSuperlayer();
    if (m_contactShadowLayer)
        m_contactShadowLayer->removeFromSuperlayer();
}

std::vector<std::shared_ptr<kx::Layer>> KXGraphLayer::companionsBeneath() const {
    std::vector<std::shared_ptr<kx::Layer>> companions;
    const kx::Layer* parent = superlayer();
    if (!parent)
        return companions;
    const auto& layers = parent->sublayers();
    for (int i = parent->indexOfSublayer(this) - 1; i >= 0; --i) {
        const std::shared_ptr<kx::Layer>& below = layers[std::size_t(i)];
        if (below.get() != m_reflectionLayer.get() && below.get() != m_contactShadowLayer.get())
            break;
        companions.push_back(below);
    }
    return companions;
}

void KXGraphLayer::placeCompanionsBeneath(const std::vector<std::shared_ptr<kx::Layer>>& companions) {
    kx::Layer* parent = superlayer();
    if (!parent)
        return;
    kx::LayerTransaction transaction;
    const kx::Layer* above = this;
    for (const std::shared_ptr<kx::Layer>& companion : companions) {
        parent->insertSublayerBelow(companion, above);
        above = companion.get();
    }
}

void KXGraphLayer::refreshCompanionLayers(bool contactShadow) {
    if (m_reflectionLayer)
        m_reflectionLayer->updateReflectionContents();
    if (contactShadow && m_contactShadowLayer)
        m_contactShadowLayer->updateContactShadowContents();
}

void KXGraphLayer::setNeedsDisplayGraph(KXGraph*) {
    setNeedsDisplay();
    refreshCompanionLayers(true);
}

void KXGraphLayer::drawGraphSelection(KXGraph*) {
    KXCanvasLayer* page = canvasLayer();
    if (page && page->auxiliaryLayer())
        page->auxiliaryLayer()->setNeedsDisplay();
}

void KXGraphLayer::drawInContext(kx::BitmapContext& context) {
    drawInContext(context, bounds());
}

void KXGraphLayer::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    // Drawn for the screen: photos still without their picture show the placeholder while it is decoded.
    const KXPhoto::ScreenDrawing onScreen;
    if (m_graph)
        m_graph->drawInContext(context, rect);
}

namespace {

// A text box re-lays its text out at the next turn of the event loop when it is not top-aligned: its
// container's height depends on the border that just changed.
void scheduleRelayout(const std::shared_ptr<KXGraph>& graph) {
    auto* shape = dynamic_cast<KXShape*>(graph.get());
    auto* text = shape ? dynamic_cast<KXText*>(shape->text()) : nullptr;
    if (!text || text->verticalAlignment() == 0 || !QCoreApplication::instance())
        return;
    std::weak_ptr<KXGraph> weak = graph;
    QTimer::singleShot(0, QCoreApplication::instance(), [weak] {
        const std::shared_ptr<KXGraph> alive = weak.lock();
        auto* s = dynamic_cast<KXShape*>(alive.get());
        if (auto* t = s ? dynamic_cast<KXText*>(s->text()) : nullptr)
            t->relayoutText();
    });
}

// A photo whose border changed: an empty one redraws, one with an image fits its crop to the new visible area.
void refitPhoto(KXGraph* graph) {
    auto* shape = dynamic_cast<KXShape*>(graph);
    KXPhoto* photo = shape ? shape->photo() : nullptr;
    if (!photo)
        return;
    if (photo->isEmpty())
        graph->setNeedsDisplay();
    else
        photo->updateCropRect();
}

}  // namespace

void KXGraphLayer::observeValue(const QString& key, kx::Observable* object, const kx::Value&, const kx::Value&) {
    if (!m_graph)
        return;
    KXGraph* graph = m_graph.get();
    const bool ofShadow = object == graph->shadow();
    const bool ofGraph = object == graph;
    const std::int32_t type = graph->graphType();
    if (ofShadow || (ofGraph && key == kShadowEnabledKey)) {
        updateShadow();
    } else if (ofGraph && key == kAngleKey) {
        setAngle(graph->angle());
        graph->textWrapRectChanged();
        drawGraphSelection(graph);
        updateReflectionLayer();
        // The contact band lies under the turned graph: it follows the turn too.
        if (m_contactShadowLayer)
            m_contactShadowLayer->updateContactShadowContents();
    } else if (ofGraph && key == kRelativeRectKey) {
        setFrame(frameInSuperlayer());
        // The handles of a selected graph follow it, whoever moved it.
        if (graph->isSelected())
            drawGraphSelection(graph);
    } else if (ofGraph && (key == kReflectionEnabledKey || key == kReflectionAlphaKey)) {
        updateReflectionLayer();
    } else if (ofGraph && key == kContactShadowEnabledKey) {
        updateShadowLayer();
    } else if (ofGraph && key == kStrokeEnabledKey) {
        // Whoever changed the flag redraws a plain graph.
        if (type == KXGraphTypeText)
            scheduleRelayout(m_graph);
        else if (type == KXGraphTypePhoto)
            refitPhoto(graph);
    } else if (object == graph->stroke() && key == kWidthKey) {
        if (type == KXGraphTypeText)
            scheduleRelayout(m_graph);
        else if (type == KXGraphTypePhoto)
            refitPhoto(graph);
        graph->setNeedsDisplay();
    } else if (ofGraph && key == kOpacityKey) {
        // Painting never writes the opacity (it paints through KXGraph::PaintOpacity), so every change that
        // arrives here is real, whether or not the page records undo steps at the moment.
        updateOpaicty();
        if (m_reflectionLayer)
            m_reflectionLayer->updateReflectionContents();
        return;
    } else {
        graph->setNeedsDisplay();
    }
    kx::NotificationCenter::defaultCenter().post(KXGrapPropertyChanged, graph);
}

void KXGraphLayer::updateOpaicty() {
    if (!m_graph)
        return;
    if (sublayers().empty()) {
        kx::LayerTransaction transaction;
        setOpacity(m_graph->opacity());
    }
}

void KXGraphLayer::updateShadow() {
    kx::LayerTransaction transaction;
    KXShadow* shadow = m_graph ? m_graph->shadow() : nullptr;
    if (m_graph && m_graph->isShadowEnabled() && shadow) {
        KXCanvas* page = m_graph->canvas();
        const kx::Size preview = page ? page->previewSize() : kx::Size();
        const float reference = float(std::min(preview.width, preview.height)) / 10.0f;
        const kx::Point offset = shadow->offsetWithReference(reference);
        setShadowOffset({offset.x, offset.y});
        setShadowColor(shadow->color());
        setShadowOpacity(1.0);
        setShadowRadius(std::sqrt(page ? page->zoomValue() : 1.0) * shadow->blur());
    } else {
        setShadowColor(kx::Color());
        setShadowOffset({0, 0});
        setShadowOpacity(0);
        setShadowRadius(0);
    }
}
