// The pixel loops behind the named filters. Every function takes and returns 8-bit RGBA premultiplied
// images (QImage::Format_RGBA8888_Premultiplied); a null image stands for a refused or failed result.
#pragma once

#include <QImage>

#include <array>
#include <functional>

namespace kx::filterkernels {

// An un-premultiplied pixel with components in 0..1.
struct Pixel {
    float r, g, b, a;
};

// Calls `f` on every pixel, un-premultiplied, and stores what it leaves, clamped to 0..1 and premultiplied.
// Transparent pixels reach `f` as (0, 0, 0, 0).
QImage mapPixels(const QImage& source, const std::function<void(Pixel&)>& f);

// A 4 x 5 colour matrix: four rows (output red, green, blue, alpha) of weights for the input red, green, blue,
// alpha and a bias, all in 0..1 units.
using ColorMatrix = std::array<std::array<float, 5>, 4>;
QImage colorMatrix(const QImage& source, const ColorMatrix& matrix);

// Box blur of radius r (a whole number >= 0); the result is 2r larger in each direction.
QImage boxBlur(const QImage& source, int radius);
// Gaussian blur with standard deviation sigma >= 0; the result is 2 ceil(3 sigma) larger in each direction.
QImage gaussianBlur(const QImage& source, double sigma);
// How far a Gaussian blur of that sigma spreads the image on each side.
int gaussianSpread(double sigma);

// The glow screened over the image: each un-premultiplied colour component c becomes c + i g - i g c, with
// i = intensity and g the un-premultiplied component of the glow's pixel (x + offset, y + offset), clamped to
// 0..1. Alpha is kept. Null unless the glow covers the image at that offset.
QImage screenGlow(const QImage& source, const QImage& glow, int offset, float intensity);

}  // namespace kx::filterkernels
