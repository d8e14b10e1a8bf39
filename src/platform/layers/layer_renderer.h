// Rendering a layer tree into an image. Drawing a tree into an existing context (the canvas view's case) is
// Layer::renderInContext().
#pragma once

#include "platform/gfx/image.h"

#include <cstdint>

namespace kx {

class Layer;

// The layer with its subtree, as renderInContext() draws it, in an image of the layer's bounds size times
// `scale` pixels (rounded up) whose point size is the bounds size. Lays out and displays what needs it first.
// An empty layer, a non-positive scale or an image too large to make gives the null image.
Image renderLayerTree(Layer& root, double scale = 1.0);

// How many shadows rendering has blurred so far, in all threads: what a rendering had to redo shows in the
// difference.
std::uint64_t renderedShadowBlurCount();
// Whether rendering keeps the pictures of layers drawn as one piece for the next rendering (on by default).
// Off, every rendering draws every layer anew: for comparisons.
void setLayerPictureCacheEnabled(bool enabled);

}  // namespace kx
