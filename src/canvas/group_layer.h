// The layer of a group. It paints nothing itself: its sublayers are the layers of the group's children
// (made with the page layer's class table), placed in the group's own space, and its transform carries the
// group's rotation and flips, so the children show mirrored inside the group's frame and the mirrored group
// is then turned.
#pragma once

#include "canvas/graph_layer.h"
#include "model/group.h"

#include <memory>

class KXGroupLayer : public KXGraphLayer {
public:
    explicit KXGroupLayer(std::shared_ptr<KXGraph> graph);

    KXGroup* groupGraph() const { return dynamic_cast<KXGroup*>(graph()); }

    // The frame as the graph layer sets it; then, unless the frame is empty, every child layer takes its
    // child's rectangle in group units times the new bounds size.
    void setFrame(const kx::Rect& frame) override;
    // The rotation combined with the flips.
    void setAngle(double angle) override;
    // Sets the transform: the group's flips first, then its rotation.
    void updateFlip();
    // The group fades as one: the layer itself carries the group's opacity over its children's layers, as
    // the page output draws it.
    void updateOpaicty() override;

    // A rectangle change re-frames the group, redraws the overlay and is announced; a flip re-transforms
    // the layer silently; anything else goes to the graph layer.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

    // Builds the children's layers, back to front, linking loose children to the group on the way.
    void initWithGraph() override;

private:
    kx::AffineTransform groupTransform(double angle) const;
};
