// How a graph reaches the layer that shows it. The layers of the canvas implement it; the model knows no
// layer class, so that a page can also live without any layers (tests, output copies).
#pragma once

#include "platform/foundation/geometry.h"

namespace kx {
class Layer;
}

class KXGraph;

class KXGraphRender {
public:
    // Redraw the graph.
    virtual void setNeedsDisplayGraph(KXGraph* graph) = 0;
    // Redraw the selection overlay, where the graph's handles are shown.
    virtual void drawGraphSelection(KXGraph* graph) = 0;

    // The platform layer that shows the graph: moving and resizing a graph about a fixed handle sets its
    // anchor point and position directly. Null for a render object that is no layer.
    virtual kx::Layer* graphLayer() = 0;
    // The page layer the graph's layer belongs to (through any group layers); null when detached.
    virtual kx::Layer* canvasLayer() = 0;
    // Turns the layer to the angle (radians).
    virtual void setAngle(double angle) = 0;
    // Whether the layer shows the graph at a point of the graph's unturned space (page preview points).
    // Layers that do not test their pixels answer NO.
    virtual bool renderContainsPoint(const kx::Point&) { return false; }

protected:
    ~KXGraphRender() = default;
};
