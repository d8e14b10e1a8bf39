// How a page tells the layer that shows it about graphs entering and leaving. The page layer of the canvas
// implements it; the model knows no layer class, so that a page can also live without any layers.
#pragma once

class KXGraph;

class KXCanvasOwner {
public:
    // A graph entered the page's list at that index: the owner makes and stacks the graph's layer, which
    // becomes the graph's render object and observes the graph.
    virtual void insertGraph(KXGraph* graph, unsigned index) = 0;
    // A graph is leaving: the owner removes its layer and clears the graph's render object, page link and
    // selection.
    virtual void removeGraph(KXGraph* graph) = 0;
    // A graph moved within the page's list to that index: the owner restacks its layer there.
    virtual void moveGraph(KXGraph* graph, unsigned index) {
        (void)graph;
        (void)index;
    }
    // Redraw the page (its fill and the overlay).
    virtual void setNeedsDisplay() = 0;
    // Re-frame every graph layer after the page's preview size changed.
    virtual void layoutGraphs() = 0;

protected:
    ~KXCanvasOwner() = default;
};
