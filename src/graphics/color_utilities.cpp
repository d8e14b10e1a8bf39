#include "graphics/color_utilities.h"

#include "platform/gfx/image.h"

#include <algorithm>
#include <cmath>

using kx::Color;
using kx::ColorSpace;

namespace {

// A component in 0..1 as a byte: × 255 truncated toward zero. Out-of-range components and NaN
// would overflow the shifts of the packed form, so they are clamped first.
std::uint32_t componentByte(double c) {
    if (!(c > 0))
        return 0;
    if (c >= 1)
        return 255;
    return static_cast<std::uint32_t>(c * 255);
}

std::uint32_t clampByte(int v) {
    return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
}

KXPackedRGBA pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    // Unsigned arithmetic, then the two's complement reading: a blue of 128 or more is negative.
    return static_cast<KXPackedRGBA>((b << 24) + (g << 16) + (r << 8) + a);
}

// The four RGBA components of a colour: its own when it has four, else its sRGB equivalent.
Color asFourComponents(const Color& color) {
    return color.componentCount() == 4 ? color : color.convertedTo(ColorSpace::SRGB);
}

KXPackedRGBA packComponents(const Color& color) {
    if (color.isNull())
        return 0;
    return pack(componentByte(color.component(0)), componentByte(color.component(1)),
                componentByte(color.component(2)), componentByte(color.component(3)));
}

Color unpackRGBA(KXPackedRGBA rgba) {
    const auto v = static_cast<std::uint32_t>(rgba);
    const auto unit = [](std::uint32_t byte) { return double(float(byte & 0xFF) / 255.0f); };
    return Color::srgb(unit(v >> 8), unit(v >> 16), unit(v >> 24), unit(v));
}

}  // namespace

KXPackedRGBA rgbaFromCGColor(const Color& color) {
    return packComponents(asFourComponents(color));
}

Color cgColorFromRGBA(KXPackedRGBA rgba) {
    return unpackRGBA(rgba);
}

KXPackedRGBA rgbaFromNSColor(const Color& color) {
    return packComponents(color.convertedTo(ColorSpace::CalibratedRGB));
}

Color nsColorFromRGBA(KXPackedRGBA rgba) {
    return unpackRGBA(rgba);
}

KXPackedRGBA makeRGBA(int red, int green, int blue, int alpha) {
    return pack(clampByte(red), clampByte(green), clampByte(blue), clampByte(alpha));
}

Color cgColorFromRGB(KXPackedRGB rgb) {
    const auto v = static_cast<std::uint32_t>(rgb);
    return Color::srgb((v & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0, 1.0);
}

Color nsColorFromCGColor(const Color& color) {
    const Color c = asFourComponents(color);
    if (c.isNull())
        return Color();
    return Color::srgb(c.component(0), c.component(1), c.component(2), c.component(3));
}

Color cgColorFromNSColor(const Color& color) {
    return color.convertedTo(ColorSpace::SRGB);
}

Color createSRGBColor(double red, double green, double blue, double alpha) {
    return Color::srgb(red, green, blue, alpha);
}

Color firstPixelColor(const kx::Image& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return Color();
    // The top-left pixel as an RGBA premultiplied bitmap stores it; only that row is converted.
    const QImage topRow = image.qimage().copy(0, 0, 1, 1).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const uchar* p = topRow.constBits();
    return Color::srgb(p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0);
}
