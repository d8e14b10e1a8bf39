// The interface through which whatever shows a layer tree (a view) learns which part of it must be painted
// again. A host is attached to one layer, normally the root of the tree the view shows; every change inside
// that layer's subtree that alters what it looks like (geometry, opacity, visibility, shadow, stacking,
// contents, a request for redisplay) reports the affected area in the host layer's own coordinates.
#pragma once

#include "platform/foundation/geometry.h"

namespace kx {

class LayerHost {
public:
    virtual ~LayerHost();

    // `rect` is in the coordinate space of the layer the host is attached to; it may reach beyond that
    // layer's bounds. Called on the thread that changed the layer, once per change outside a transaction and
    // once per host at the end of the outermost transaction otherwise.
    virtual void layerNeedsRepaint(const Rect& rect) = 0;
};

}  // namespace kx
