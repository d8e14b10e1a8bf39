// The packed colour forms the model stores colours in, and conversions between them and colour
// values. Drawing colours and interface colours are both kx::Color; a null kx::Color stands for
// "no colour".
#pragma once

#include "platform/gfx/color.h"

#include <cstdint>

namespace kx {
class Image;
}

// Blue in the top byte, then green, red and alpha in the low byte. Opaque white is -1.
using KXPackedRGBA = std::int32_t;
// Red in the low byte, then green and blue; the top byte is unused and there is no alpha.
using KXPackedRGB = std::int32_t;

// Components 0..3 of the colour as red, green, blue and alpha, each × 255 truncated. A null or
// pattern colour gives 0; a grey colour is read as its sRGB equivalent. Components outside 0..1
// are clamped first.
KXPackedRGBA rgbaFromCGColor(const kx::Color& color);
// An sRGB colour; each byte divided by 255 in single precision.
kx::Color cgColorFromRGBA(KXPackedRGBA rgba);
// The colour converted to calibrated RGB, then packed like rgbaFromCGColor.
KXPackedRGBA rgbaFromNSColor(const kx::Color& color);
// An sRGB interface colour; each byte divided by 255 in single precision.
kx::Color nsColorFromRGBA(KXPackedRGBA rgba);
// blue << 24 + green << 16 + red << 8 + alpha, each clamped to 0..255.
KXPackedRGBA makeRGBA(int red, int green, int blue, int alpha);
// An opaque sRGB colour; each byte divided by 255 in double precision; the top byte is ignored.
kx::Color cgColorFromRGB(KXPackedRGB rgb);
// The drawing colour's four components as an sRGB interface colour; null for null. A grey colour
// is read as its sRGB equivalent.
kx::Color nsColorFromCGColor(const kx::Color& color);
// The interface colour converted to sRGB; null for null and for colours that cannot be converted.
kx::Color cgColorFromNSColor(const kx::Color& color);
// A new sRGB colour.
kx::Color createSRGBColor(double red, double green, double blue, double alpha);
// The colour of the image's top-left pixel as stored in an RGBA premultiplied bitmap (the
// components are not un-premultiplied); null for an image without pixels.
kx::Color firstPixelColor(const kx::Image& image);
