// The shadow of an axis-aligned rectangle, worked out directly. A blurred rectangle is the product of its two
// blurred edges: blurring the rectangle's coverage along each axis once, in one dimension, gives what a
// bitmap of the rectangle blurred in two dimensions would, without that bitmap or the blur's working planes.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"

#include <optional>

namespace kx {

class Path;

// The rectangle a path outlines when it is one closed axis-aligned rectangle of four corners with some area
// (as Path::addRect makes), in the path's coordinates; nothing otherwise.
std::optional<Rect> axisAlignedRectangle(const Path& path);

// The shadow that BitmapContext::setShadow(offset, blur, color) casts from an antialiased fill of `rect`
// (device pixels, y up), over the whole device pixels of `area`: an image of `area`'s size whose top row is
// the area's top. The values are the context's, within one level where a corner of the rectangle falls
// between pixels. Null when the area is empty or too large.
Image rectangleShadow(const Rect& rect, const Size& offset, double blur, const Color& color, const Rect& area);

}  // namespace kx
