// Pixel operations on images for the image cache, the photo field, picture frames, fills, the effect
// catalogue and sharing: redraw at a new pixel size, quarter turns, grey conversion, a colour matrix with an
// optional further filter, and an image fitted into a size. Inputs are never changed; "the same image" is
// a copy that shares the input's pixels.
#pragma once

#include "platform/gfx/filters.h"
#include "platform/gfx/image.h"

#include <span>

// The image redrawn (high-quality interpolation) into a new image of the integral size of (0, 0, w, h);
// the same image when (w, h) is already its pixel size or when no such image can be made (a size that is not
// positive); null for a null image.
kx::Image scaleImageToSize(const kx::Image& image, double w, double h);

// The image turned counter-clockwise by `angle` degrees, a multiple of 90 (as seen upright): 90 puts the top
// row in the left column, read from bottom to top. Angles that are no multiple of 90, and whole turns, give
// the same image; negative multiples turn clockwise (-90 as 270). Grey images stay grey.
kx::Image rotateImageByDegrees(const kx::Image& image, int angle);

// An 8-bit grey image without alpha: grey = 0.299 R + 0.587 G + 0.114 B of the pixels composited over black,
// so transparent areas come out black (an alpha-only image, being black paint, comes out black). A grey
// image is returned as it is. Null for a null image, and null with "Memory not allocated!\n" on standard error when the
// pixels cannot be allocated.
kx::Image convertImageToGray(const kx::Image& image);

// The image through "CIColorMatrix" set from `m` (four rows of five: weights of red, green, blue, alpha and
// a bias in 0..255 units) and then through `filter` when one is given; the result is the final image's
// extent. Only the colour rows' red, green and blue weights and biases are used (m0-m2, m5-m7, m10-m12 and
// m4, m9, m14): alpha passes through unchanged. The filter is not changed.
kx::Image applyColorMatrixAndFilter(const kx::Image& image, const kx::FilterPtr& filter, std::span<const float, 20> m);

// The colour matrix filter set as applyColorMatrixAndFilter sets it (shared with the effect catalogue).
kx::FilterPtr colorMatrixFilter(std::span<const float, 20> m);

// The image drawn into a new image of its pixel size fitted into (maxWidth, maxHeight) with aspectFitSize
// (it may scale up); the new image's point size is the fitted size, its pixel size that size rounded up.
// Null when the fitted size is (0, 0) or the image is null.
kx::Image nsImageFittingSize(const kx::Image& image, double maxWidth, double maxHeight);
