// The layer that shows one graph on a page. The graph reaches it through KXGraphRender; the layer observes
// the graph and turns every change into the matching layer update: frame (rounded to whole points),
// rotation about the anchor point, drop shadow (the layer's own shadow) and opacity. After each observed
// change except opacity it posts "KXGrapPropertyChanged" with the graph.
//
// Make one with KXGraphLayer::create<Class>(graph): the layer is set up after construction, so that the
// setting up reaches the overrides of the layer's class.
#pragma once

#include "canvas/canvas_layer.h"
#include "model/graph.h"
#include "model/graph_render.h"
#include "platform/foundation/observable.h"
#include "platform/layers/layer.h"

#include <QString>

#include <memory>
#include <vector>

class KXContactShadowLayer;
class KXReflectionLayer;

// Posted with the graph as sender after an observed change of it (not for opacity).
inline const QString KXGrapPropertyChanged = QStringLiteral("KXGrapPropertyChanged");
// Posted with the layer as sender whenever its angle is set.
inline const QString KXGraphLayerRotationCHanged = QStringLiteral("KXGraphLayerRotationCHanged");

// The layer that shows a graph, of the class for its kind (shape, calendar or group layer); null for a
// graph of no known kind.
std::shared_ptr<KXGraphLayer> makeGraphLayer(const std::shared_ptr<KXGraph>& graph);

class KXGraphLayer : public kx::Layer, public KXGraphRender, public kx::KeyObserver {
public:
    explicit KXGraphLayer(std::shared_ptr<KXGraph> graph);
    ~KXGraphLayer() override;

    template <class L = KXGraphLayer>
    static std::shared_ptr<L> create(std::shared_ptr<KXGraph> graph) {
        auto layer = std::make_shared<L>(std::move(graph));
        layer->initWithGraph();
        return layer;
    }

    KXGraph* graph() const { return m_graph.get(); }
    // The graph's frame in the superlayer's space: page preview points, or the group layer's space for a
    // grouped graph (the group's frame origin at 0, 0). Zero without a graph.
    kx::Rect frameInSuperlayer() const;

    // The rectangle in the superlayer's space, each component rounded to the nearest whole number (halves to
    // the even neighbour), set on the unturned layer; the rotation is kept. A new size redraws the graph.
    void setFrame(const kx::Rect& frame) override;
    // Turns the layer about its anchor point and posts KXGraphLayerRotationCHanged.
    void setAngle(double angle) override;
    // The point turned about the centre of the graph's frame by minus the graph's angle.
    kx::Point convertPointToRenderSpace(const kx::Point& point) const;
    // The nearest ancestor that is a page layer; null when detached.
    KXCanvasLayer* canvasLayer() override;

    bool isEditing() const { return m_editing; }
    // While editing, the reflection is hidden and keeps its frame and contents; when editing ends it is
    // shown again and refreshed.
    void setEditing(bool editing);

    // The companions directly beneath this layer in its superlayer, each present while its flag is on.
    KXReflectionLayer* reflectionLayer() const { return m_reflectionLayer.get(); }
    KXContactShadowLayer* contactShadowLayer() const { return m_contactShadowLayer.get(); }
    // Create or remove the companion after the graph's flag, and put it beneath this layer.
    void updateReflectionLayer();
    void updateShadowLayer();
    // Takes both companions out of the superlayer (the graph layer is leaving it).
    void removeCompanionLayers();
    // This layer's companions that lie directly beneath it in its superlayer, nearest first.
    std::vector<std::shared_ptr<kx::Layer>> companionsBeneath() const;
    // Puts the given companions back directly beneath this layer, nearest first (after it was restacked).
    void placeCompanionsBeneath(const std::vector<std::shared_ptr<kx::Layer>>& companions);

    // KXGraphRender.
    void setNeedsDisplayGraph(KXGraph* graph) override;
    void drawGraphSelection(KXGraph* graph) override;
    kx::Layer* graphLayer() override { return this; }

    // Paints the graph into the layer's bounds.
    void drawInContext(kx::BitmapContext& context) override;
    virtual void drawInContext(kx::BitmapContext& context, const kx::Rect& rect);

    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

    // The layer's opacity from the graph's (a layer with sublayers leaves fading to its content layers).
    virtual void updateOpaicty();
    // The drop shadow as the layer's own shadow, measured on the page's preview.
    void updateShadow();

protected:
    // A redisplay of the graph refreshes the reflection and, when asked, the contact shadow.
    void refreshCompanionLayers(bool contactShadow);
    // Becomes the graph's render object and observer and takes its frame, shadow, angle and opacity.
    virtual void initWithGraph();

private:
    std::shared_ptr<KXGraph> m_graph;
    bool m_editing = false;
    bool m_observing = false;
    std::shared_ptr<KXReflectionLayer> m_reflectionLayer;
    std::shared_ptr<KXContactShadowLayer> m_contactShadowLayer;
};
