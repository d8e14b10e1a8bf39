// Creating and releasing the offscreen bitmap contexts in which pages, exporters and image routines draw:
// 8-bit RGBA premultiplied, sRGB, origin at the bottom left, starting fully transparent with high
// interpolation quality and antialiasing on.
#pragma once

#include "platform/gfx/bitmap_context.h"

#include <memory>

using BitmapContextRef = std::unique_ptr<kx::BitmapContext>;

// A context of the integral size of (0, 0, w, h), rows of width x 4 bytes. A size that is not positive gives
// null silently; a size the context cannot hold (beyond the pixel limit, overflowing, not a number) gives null
// with "Context not created!\n" on standard error.
BitmapContextRef createBitmapContext(double w, double h);
// Releases the context; a null context is ignored.
void releaseBitmapContext(BitmapContextRef& context);
