// The layer of one page. It draws the page itself (paper, margin clip, fill) through its canvas, hosts one
// graph layer per graph in the page's stacking order, and is the page's owner: the canvas mirrors every
// insertion, removal and relayout of its graphs into it. Other layers (companions that callers place beside
// a graph layer) may sit among the graph layers; graph indexes count graph layers only and are mapped past
// the companions.
//
// Make one with KXCanvasLayer::create(canvas): the canvas re-adds its graphs to the new layer, which needs the
// layer to be owned already.
#pragma once

#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "platform/layers/layer.h"

#include <QString>

#include <memory>

class KXAuxiliaryLayer;
class KXGraph;
class KXGraphLayer;
class KXShapeLayer;

// Posted with the page layer as sender after a graph layer was inserted.
inline const QString KXCanvasAddGraph = QStringLiteral("KXCanvasAddGraph");
// Posted with the page layer as sender when a photo graph whose photo holds no image is being removed.
inline const QString KXRemoveEmptyPhoto = QStringLiteral("KXRemoveEmptyPhoto");

class KXCanvasLayer : public kx::Layer, public KXCanvasOwner {
public:
    // A page layer around a fresh page with the proportional layout, or around the given page. Made through
    // create(), which attaches the page.
    KXCanvasLayer();
    ~KXCanvasLayer() override;
    static std::shared_ptr<KXCanvasLayer> create(std::shared_ptr<KXCanvas> canvas = nullptr);

    KXCanvas* canvas() const { return m_canvas.get(); }
    const std::shared_ptr<KXCanvas>& sharedCanvas() const { return m_canvas; }
    // Takes another page: the old one loses its owner and its graphs lose their layers, which leave this
    // tree; the new one re-adds its graphs here.
    void setCanvas(std::shared_ptr<KXCanvas> canvas);

    // The overlay of the shown page (not owned, and read as null once it is gone); null for a page not shown.
    KXAuxiliaryLayer* auxiliaryLayer() const;
    void setAuxiliaryLayer(KXAuxiliaryLayer* layer);
    // Paste offset in page-relative units.
    kx::Point offset() const { return m_offset; }
    void setOffset(const kx::Point& offset) { m_offset = offset; }

    // While locked the page neither redraws on a frame change nor paints, and layout locks every graph's
    // display. Neither call redraws anything by itself.
    void lockDisplay() { m_displayLocked = true; }
    void unlockDisplay() { m_displayLocked = false; }
    bool isDisplayLocked() const { return m_displayLocked; }

    // KXCanvasOwner.
    // Gives the graph its layer at the graph index with its companions beneath it, and posts
    // KXCanvasAddGraph; nothing when the layer is already here.
    void insertGraph(KXGraph* graph, unsigned index) override;
    // Takes the graph's layer and its companions out and detaches the graph. A photo leaves crop editing
    // first (and KXRemoveEmptyPhoto is posted for one without an image); the overlay forgets the photo being
    // cropped and the graph being dragged, and redraws.
    void removeGraph(KXGraph* graph) override;
    // Takes the graph's layer out and stacks it again at the graph index.
    void moveGraph(KXGraph* graph, unsigned index) override;
    // Redraws the page and the overlay.
    void setNeedsDisplay() override;
    void layoutGraphs() override;

    // For a graph layer the index counts graph layers only; any other layer goes to the plain index.
    void insertSublayer(std::shared_ptr<kx::Layer> layer, unsigned index) override;
    // The sublayer position just above the index-th graph layer, past the companions beneath it; past the
    // last graph layer, the index plus every other sublayer. Walks from the nearer end of the sublayers, so
    // that stacking a graph on top (the usual case) costs no walk through the page.
    std::int64_t actualIndex(std::int64_t graphIndex) const;
    // How many sublayers are graph layers.
    std::int64_t graphLayerCount() const { return m_graphLayerCount; }

    // The topmost photo layer that holds the point (page-layer space) and may take a dropped image: its
    // graph is not locked and its photo is not clip-art. Layers of other kinds do not hide a photo beneath.
    KXShapeLayer* draggingLayerAtPoint(const kx::Point& point) const;

    // Sets the frame, fits the page into it (which re-frames the graphs) and redraws unless locked.
    void setFrame(const kx::Rect& frame) override;
    // Without implicit actions.
    void setContents(const kx::Image& contents) override;
    void drawInContext(kx::BitmapContext& context) override;

    KXCanvas::GraphList selectedGraphs() const;

protected:
    // Keep the count of graph layers among the sublayers exact, whichever way a layer enters or leaves.
    void didInsertSublayer(kx::Layer& layer) override;
    void didRemoveSublayer(kx::Layer& layer) override;

private:
    void detachGraphLayers();

    std::shared_ptr<KXCanvas> m_canvas;
    std::weak_ptr<kx::Layer> m_auxiliaryLayer;
    kx::Point m_offset{-0.01, 0.01};
    bool m_displayLocked = false;
    std::int64_t m_graphLayerCount = 0;
};
