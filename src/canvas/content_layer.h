// The sublayer in which a shape or calendar layer has its graph painted. It is larger than its owner by a
// margin on every side, so that what a graph draws outside its frame (borders, glows) still shows, while the
// owner keeps its frame equal to the graph's frame. The graph's opacity is applied here.
#pragma once

#include "platform/layers/layer.h"

class KXGraphLayer;

class KXContentLayer : public kx::Layer {
public:
    KXContentLayer();
    // A content layer of the owner, which it does not keep alive; the owner clears the link when it goes.
    explicit KXContentLayer(KXGraphLayer* owner);
    ~KXContentLayer() override;

    KXGraphLayer* owner() const { return m_owner; }
    void setOwner(KXGraphLayer* owner) { m_owner = owner; }

    // Each component rounded to a whole number.
    void setFrame(const kx::Rect& frame) override;
    void setOpacity(double opacity) override;
    // Has the owner paint its graph over the owner's bounds, centred in this larger layer.
    void drawInContext(kx::BitmapContext& context) override;

private:
    KXGraphLayer* m_owner = nullptr;
};
