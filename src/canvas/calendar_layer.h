// The layer of a calendar graph. It paints nothing itself: its content layer, larger than the calendar's
// frame by the expand size on every side, paints the calendar at full opacity and carries the calendar's
// opacity. Hit tests count the whole frame, and a border painted outside it where the calendar really
// paints.
#pragma once

#include "canvas/graph_layer.h"

#include <memory>

class KXCalendar;
class KXContentLayer;

class KXCalendarLayer : public KXGraphLayer {
public:
    explicit KXCalendarLayer(std::shared_ptr<KXGraph> graph);
    ~KXCalendarLayer() override;

    KXCalendar* calendar() const;
    KXContentLayer* contentLayer() const { return m_contentLayer.get(); }

    // The base frame, then the content layer's frame.
    void setFrame(const kx::Rect& frame) override;
    // Whether a point in the superlayer's space hits the calendar: anywhere in its turned frame, or outside
    // it where its border paints.
    bool containsPoint(const kx::Point& point) const override;
    // Whether the calendar paints the point, local to its unturned frame.
    bool _containsPoint(const kx::Point& point) const;

    // The calendar layer itself paints nothing; its content layer calls the rectangle variant.
    void drawInContext(kx::BitmapContext& context) override;
    // Paints the calendar at full opacity into the rectangle, without undo steps.
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    void setNeedsDisplayGraph(KXGraph* graph) override;
    void updateOpaicty() override;

    // Sets the content layer to the bounds grown by the expand size (not while the bounds are under a point).
    void updateContentLayerFrame();
    // From the page's preview size (w, h): x = min(w, h) / 10; (x + 50) x 2 when x > 50, else 100.
    double getExpandSize() const;

private:
    std::shared_ptr<KXContentLayer> m_contentLayer;
};
