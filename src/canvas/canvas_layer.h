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

class KXGraph;
class KXGraphLayer;

// Posted with the page layer as sender after a graph layer was inserted.
inline const QString KXCanvasAddGraph = QStringLiteral("KXCanvasAddGraph");

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

    // The overlay of the shown page (not owned); null for a page not shown.
    kx::Layer* auxiliaryLayer() const { return m_auxiliaryLayer; }
    void setAuxiliaryLayer(kx::Layer* layer) { m_auxiliaryLayer = layer; }
    // Paste offset in page-relative units.
    kx::Point offset() const { return m_offset; }
    void setOffset(const kx::Point& offset) { m_offset = offset; }

    // While locked the page neither redraws on a frame change nor paints, and layout locks every graph's
    // display. Neither call redraws anything by itself.
    void lockDisplay() { m_displayLocked = true; }
    void unlockDisplay() { m_displayLocked = false; }
    bool isDisplayLocked() const { return m_displayLocked; }

    // KXCanvasOwner.
    void insertGraph(KXGraph* graph, unsigned index) override;
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

    // Sets the frame, fits the page into it (which re-frames the graphs) and redraws unless locked.
    void setFrame(const kx::Rect& frame) override;
    void drawInContext(kx::BitmapContext& context) override;

    KXCanvas::GraphList selectedGraphs() const;

protected:
    // Keep the count of graph layers among the sublayers exact, whichever way a layer enters or leaves.
    void didInsertSublayer(kx::Layer& layer) override;
    void didRemoveSublayer(kx::Layer& layer) override;

private:
    void detachGraphLayers();

    std::shared_ptr<KXCanvas> m_canvas;
    kx::Layer* m_auxiliaryLayer = nullptr;
    kx::Point m_offset{-0.01, 0.01};
    bool m_displayLocked = false;
    std::int64_t m_graphLayerCount = 0;
};
