// The reflection of a graph on the page: a band under the graph's layer showing the graph's lowest part
// mirrored upside down, faded out through the "reflectionMask" image, at the graph's reflection opacity. It
// renders the graph's layer tree itself, so it shows what the canvas shows. Its graph layer creates it
// while the reflection is on, places it directly beneath itself and refreshes it.
#pragma once

#include "model/graph.h"
#include "platform/foundation/observable.h"
#include "platform/layers/layer.h"

#include <memory>

class KXGraphLayer;

class KXReflectionLayer : public kx::Layer, public kx::KeyObserver {
public:
    KXReflectionLayer();
    // Keeps the graph, follows its "reflectionAlpha" with the layer's opacity, and takes its frame and
    // contents.
    explicit KXReflectionLayer(std::shared_ptr<KXGraph> graph);
    ~KXReflectionLayer() override;

    const std::shared_ptr<KXGraph>& graph() const { return m_graph; }
    void setGraph(std::shared_ptr<KXGraph> graph);

    // Frame and contents change without implicit actions.
    void setFrame(const kx::Rect& frame) override;
    void setContents(const kx::Image& contents) override;
    // The mirrored graph layer, clipped to the mask over the bounds, without the graph's drop shadow.
    void drawInContext(kx::BitmapContext& context) override;

    // Both do nothing while the graph's layer is editing, so the reflection stays as it was during a drag.
    void updateReflectionContents();
    // A band 35 percent as high as the graph's (turned) bounding box, as wide as it, ending a gap of the
    // page's zoom rounded (at least 1) below the graph's lowest point.
    void updateReflectionFrame();
    double expansion() const { return 0; }
    // The graph's frame; a grouped graph's relative to its group's frame origin (where its layer lives).
    kx::Rect graphFrameRect() const;

    double offsetY() const { return m_offsetY; }
    double graphHeight() const { return m_graphHeight; }

    // The reflection opacity follows the graph's.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

private:
    KXGraphLayer* graphLayer() const;
    bool isGraphEditing() const;
    void bind();
    void unbind();

    std::shared_ptr<KXGraph> m_graph;
    bool m_bound = false;
    double m_offsetY = 0;
    double m_graphHeight = 0;
};
