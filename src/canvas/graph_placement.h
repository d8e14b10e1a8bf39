// Placing a graph's own drawing on a page: layers above the page (the overlay, the crop ghost) draw in a
// graph's unturned frame and let the context put it where the graph shows.
#pragma once

#include "platform/foundation/geometry.h"

#include <optional>

class KXGraph;
namespace kx {
class BitmapContext;
}

// Moves the context's origin to the frame's origin, turns it by the graph's angle about `pivot` (a point of
// the frame, from its origin) when one is given, then mirrors it along the axes the graph is flipped on, so
// that drawing in (0, 0, frame width, frame height) lands where the graph shows.
void placeGraphInContext(kx::BitmapContext& context, const KXGraph& graph, const kx::Rect& frame,
                         std::optional<kx::Point> pivot);
