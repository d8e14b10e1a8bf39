#include "canvas/graph_placement.h"

#include "model/graph.h"
#include "platform/gfx/bitmap_context.h"

void placeGraphInContext(kx::BitmapContext& context, const KXGraph& graph, const kx::Rect& frame,
                         std::optional<kx::Point> pivot) {
    context.translate(frame.origin.x, frame.origin.y);
    if (pivot) {
        context.translate(pivot->x, pivot->y);
        context.rotate(graph.angle());
        context.translate(-pivot->x, -pivot->y);
    }
    if (graph.flipX() == -1) {
        context.translate(frame.size.width, 0);
        context.scale(-1, 1);
    }
    if (graph.flipY() == -1) {
        context.translate(0, frame.size.height);
        context.scale(1, -1);
    }
}
