// The shadow blur: a Gaussian approximated by three box blurs in each direction, worked out in whole numbers.
//
// No pass divides: each adds up its window, so that the six passes give the blurred coverage times the product
// of the six window lengths exactly, and the only rounding is the last one, to bytes. Because the sums are
// exact, the passes may run in any order and on any number of threads and still give the same bytes.
#pragma once

#include <QImage>
#include <QRect>

#include <array>

namespace kx {

// The radii of the three box passes for a Gaussian of standard deviation `sigma`.
std::array<int, 3> shadowBoxRadii(double sigma);

// The shadow of the alpha channel of `part` of `source` (premultiplied R, G, B, A bytes), blurred by the three
// box passes `radii` along the rows and down the columns, in the colour whose premultiplied components (0 to 1)
// are `premultiplied`, written into the top-left w x h pixels of `shadow` (same format, at least w x h).
// Samples of the w x h area beyond the part count as transparent. `threads` is how many threads may share the
// work (0: as many as the machine has). The working memory is kept for the next shadow. False when the memory
// cannot be had.
bool blurShadow(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii,
                const std::array<double, 4>& premultiplied, QImage& shadow, int threads = 0);

}  // namespace kx
