// The sublayer that paints a graph for its graph layer. It is larger than the graph's frame by a margin on
// every side, so that what a graph draws outside its frame (borders, frames, glows) has room, while the
// graph layer keeps the graph's frame for selection and snapping. The graph's opacity is applied here, not
// in the graph's drawing.
#pragma once

#include "platform/layers/layer.h"

class KXGraphLayer;

class KXContentLayer : public kx::Layer {
public:
    // Contents at scale 2 on a screen whose backing scale factor is not 1.
    explicit KXContentLayer(KXGraphLayer* owner);
    ~KXContentLayer() override;

    KXGraphLayer* owner() const { return m_owner; }
    void setOwner(KXGraphLayer* owner) { m_owner = owner; }

    // Each component rounded to a whole number.
    void setFrame(const kx::Rect& frame) override;
    // Without implicit animation.
    void setOpacity(double opacity) override;
    // The owner paints its graph over the owner's bounds, centred in this layer's larger bounds.
    void drawInContext(kx::BitmapContext& context) override;
    // Where the owner's graph can paint: the owner's place grown by what the graph may draw beyond its frame,
    // when the owner knows it; otherwise the whole bounds.
    kx::Rect displayArea() const override;

private:
    // The owner's bounds placed in the middle of this layer's bounds.
    kx::Rect ownerRect() const;

    KXGraphLayer* m_owner = nullptr;
};
