// A page owner for fuzz targets that draw nothing: a graph leaving the page is detached as a page layer
// would detach it (no render, no page, not selected), so the model's own checks see the same states.
#pragma once

#include "model/canvas_owner.h"
#include "model/graph.h"

class NoLayers : public KXCanvasOwner {
public:
    void insertGraph(KXGraph*, unsigned) override {}
    void removeGraph(KXGraph* graph) override {
        graph->setRender(nullptr);
        graph->setCanvas(nullptr);
        graph->setSelected(false);
    }
    void setNeedsDisplay() override {}
    void layoutGraphs() override {}
};
