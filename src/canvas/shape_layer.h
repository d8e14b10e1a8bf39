// The layer of a plain shape, a photo or a text box. It paints nothing itself: its content layer, larger
// than the shape's frame by the expand size on every side, paints the shape through it and carries the
// shape's opacity. It answers the hit tests of its shape by what the shape really paints.
#pragma once

#include "canvas/content_layer.h"
#include "canvas/graph_layer.h"
#include "model/shape.h"

#include <memory>
#include <optional>

class KXShapeLayer : public KXGraphLayer {
public:
    explicit KXShapeLayer(std::shared_ptr<KXGraph> graph);
    ~KXShapeLayer() override;

    KXShape* shape() const { return dynamic_cast<KXShape*>(graph()); }
    KXContentLayer* contentLayer() const { return m_contentLayer.get(); }

    // The frame as the graph layer sets it; then the shape's outline follows the new size (no undo step)
    // and the content layer its frame.
    void setFrame(const kx::Rect& frame) override;
    // The margin of the content layer around the frame, from the page's preview size: with x a tenth of the
    // shorter side, (x + 50) x 2 when x > 50, else 100; rounded.
    double getExpandSize() const;
    void updateContentLayerFrame();
    // How far the shape can paint beyond its frame, when that is known: a rectangle or a photo draws inside
    // its frame, a photo's expandable frame reaches out by its expansion; a border is counted whole. Nullopt
    // for outlines that may leave the frame (other shape types, text, lines).
    std::optional<double> drawingReach() const;

    // Hit test of a point in the superlayer's space, by what the shape paints.
    bool containsPoint(const kx::Point& point) const override;
    // The same for a point already turned into the shape's unturned frame (page preview points).
    bool renderContainsPoint(const kx::Point& point) override;
    // Whether the shape paints a pixel of more than 10/255 alpha at a point local to its frame.
    bool _containsPoint(const kx::Point& local) const;
    // Whether a local point lies within the shape's stroked path (at least 5 wide) or an arrow line's head.
    bool pathContainsPoint(const kx::Point& local) const;

    // The shape layer itself paints nothing and keeps no contents.
    void display() override;
    void drawInContext(kx::BitmapContext& context) override;
    // Paints the shape at full opacity (the content layer fades it), with undo registration off.
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // Displays the layer and its content layer now.
    void displayIfNeeded() override;

    void setNeedsDisplayGraph(KXGraph* graph) override;
    // An arrow line rebuilds its head when its stroke's width changes; then as every graph layer.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;
    void updateOpaicty() override;

private:
    bool containsLocalPoint(const kx::Point& local) const;

    std::shared_ptr<KXContentLayer> m_contentLayer;
};
