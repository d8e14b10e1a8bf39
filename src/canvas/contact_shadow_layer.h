// The contact shadow of a graph on the page: a soft dark band 20 points high just under the graph, whose
// strength at each column follows how close the painted graph comes to the bottom of its bounding box there
// (a graph standing on the band casts a dark line, one floating above it a faint one, one more than 80
// pixels up nothing). It renders the graph's layer tree to find the painted pixels. Its graph layer creates
// it while the contact-shadow flag is on, places it directly beneath itself and refreshes it.
#pragma once

#include "model/graph.h"
#include "platform/gfx/image.h"
#include "platform/layers/layer.h"

#include <memory>
#include <vector>

class KXGraphLayer;

class KXContactShadowLayer : public kx::Layer {
public:
    // The band's height, its margin beyond the graph on each side, and the distance of its top below the
    // graph's lowest point.
    static constexpr int kBandHeight = 20;
    static constexpr int kSideMargin = 5;
    static constexpr int kDrop = 2;
    // Columns whose painted pixels lie further above the bottom than this cast nothing.
    static constexpr int kReach = 80;
    // A column with no painted pixel.
    static constexpr int kEmptyColumn = 10000;

    KXContactShadowLayer();
    explicit KXContactShadowLayer(std::shared_ptr<KXGraph> graph);

    const std::shared_ptr<KXGraph>& graph() const { return m_graph; }
    void setGraph(std::shared_ptr<KXGraph> graph) { m_graph = std::move(graph); }

    void setFrame(const kx::Rect& frame) override;
    void setContents(const kx::Image& contents) override;

    // The band under the graph's drawing rectangle (rounded, turned by the graph's angle): 10 points wider
    // than it, its top 2 points below it.
    void updateFrame();
    // Renders the graph's silhouette, measures each column's gap and sets the blurred band as contents.
    // A band that cannot be made leaves the contents as they were (with a message on standard error).
    void updateContactShadowContents();

    // For each column of an alpha-only silhouette (row 0 on top), the count of fully transparent pixels from
    // the bottom row up to the first painted one; kEmptyColumn for a column with none.
    static std::vector<int> columnGaps(const kx::Image& silhouette);
    // The band before blurring, width x height pixels (RGBA premultiplied, row 0 on top), for a silhouette
    // of gaps.size() columns: five dark rows in the middle under each column that comes within kReach of
    // the bottom, tapered over the last ten columns at each end. Null when no bitmap of that size can be
    // made.
    static kx::Image bandImage(const std::vector<int>& gaps, int width, int height);

private:
    KXGraphLayer* graphLayer() const;
    // The graph's drawing rectangle with each component rounded; a grouped graph's relative to its group.
    kx::Rect roundedGraphRect() const;

    std::shared_ptr<KXGraph> m_graph;
};
