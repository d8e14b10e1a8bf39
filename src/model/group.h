// A page object that holds other page objects. The children keep their own settings (fill, stroke, angle,
// flips) but measure their rectangles relative to the group's frame: a child's relativeRect runs from 0 to
// 1 over the group's frame and its frameRect is computed through the group. Groups can hold groups.
//
// The group paints nothing of its own: it draws its children under its rotation, opacity and flips.
#pragma once

#include "model/graph.h"

#include <memory>
#include <vector>

class KXGroup : public KXGraph {
public:
    using GraphList = std::vector<std::shared_ptr<KXGraph>>;

    KXGroup();
    ~KXGroup() override;

    QString className() const override { return QStringLiteral("KXGroup"); }

    // A group of the graphs, on the page of the first one: its rectangle is the bounding box of the
    // children's turned frames, its aspect ratio that box's width over its height. The children are left
    // as they are (the page links them when it adds the group). Null for an empty list.
    static std::shared_ptr<KXGroup> groupGraphWithGraphs(const GraphList& graphs);

    std::int32_t graphType() const override { return KXGraphTypeGroup; }
    const GraphList& graphs() const override { return m_graphs; }
    void setGraphs(GraphList graphs) { m_graphs = std::move(graphs); }
    // The leaf graphs under the group, back to front.
    std::vector<KXGraph*> rootOfGraphs() override;

    // Gives every child the group's page; a child that has no group yet becomes this group's, with its
    // rectangle made relative to the group's frame from the frame it had on the page.
    void linkChildren();

    // Whether a page point hits a child: the point is turned and mirrored into the group's unturned frame and
    // tried on the children from the front.
    bool containsPoint(const kx::Point& point) const override;

    // Draws the children into the rectangle, mirrored by the group's flips, each turned about its own centre;
    // the caller has turned the context by the group's own angle. No shadow or reflection.
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // The children composed at a zoom, with room for the group's stroke width (three times it) on each
    // side; children with a shadow cast it. The group's own flips and opacity are not applied.
    kx::Image graphImageWithZoom(double zoom) override;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    GraphList m_graphs;
};
