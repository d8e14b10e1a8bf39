#include "graphics/bitmap_contexts.h"

#include <cmath>
#include <cstdio>

BitmapContextRef createBitmapContext(double w, double h) {
    if (!(w > 0) || !(h > 0))
        return nullptr;
    // The integral rectangle of (0, 0, w, h): its far edges rounded up. Sizes are checked before any
    // conversion to integers, so an enormous or infinite request fails instead of overflowing.
    const double width = std::ceil(w), height = std::ceil(h);
    const bool fits = std::isfinite(width) && std::isfinite(height) && width <= double(INT32_MAX / 4) &&
                      height <= double(INT32_MAX) &&
                      width * height <= double(kx::Image::maximumPixelCount);
    BitmapContextRef context;
    if (fits)
        context = std::make_unique<kx::BitmapContext>(int(width), int(height), kx::BitmapContext::Kind::RGBA);
    if (!context || !context->isValid()) {
        std::fputs("Context not created!\n", stderr);
        return nullptr;
    }
    // A new context is already clear, at high interpolation quality, with antialiasing allowed and on.
    context->setInterpolationQuality(kx::InterpolationQuality::High);
    context->setAllowsAntialiasing(true);
    context->setShouldAntialias(true);
    return context;
}

void releaseBitmapContext(BitmapContextRef& context) { context.reset(); }
