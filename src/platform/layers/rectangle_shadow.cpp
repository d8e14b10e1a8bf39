#include "platform/layers/rectangle_shadow.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/path.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kx {

namespace {

// Coverage (0 to 255) of the pixel [i, i + 1) by the span [from, to], as the antialiased fill of a rectangle
// gives it: edges are placed on a grid of 1/64 pixel, each 64th covered counts 4, and a whole pixel 255.
std::int64_t spanCoverage(double from, double to, double i) {
    const double start = std::max(std::round(from * 64), i * 64), end = std::min(std::round(to * 64), i * 64 + 64);
    const double sixtyFourths = std::clamp(end - start, 0.0, 64.0);
    return std::min<std::int64_t>(255, std::int64_t(sixtyFourths) * 4);
}

// The blurred coverage of the span [from, to] at the `count` pixels from `first` on, as a fraction of full
// coverage: the three box passes of the shadow blur along one axis, summed in whole numbers as the context's
// blur sums them. The working row reaches the blur's spread beyond both ends, so nothing is cut off.
std::vector<double> blurredSpan(double from, double to, double first, int count, const std::array<int, 3>& radii) {
    const int spread = radii[0] + radii[1] + radii[2];
    const int n = count + 2 * spread;
    std::vector<std::int64_t> row(std::size_t(n), 0), sums(std::size_t(n), 0);
    for (int i = 0; i < n; ++i)
        row[std::size_t(i)] = spanCoverage(from, to, first - spread + i);
    double product = 1;
    for (const int r : radii) {
        product *= 2 * r + 1;
        if (r <= 0)
            continue;
        // Window sums of radius r, samples outside the row counting as 0.
        std::int64_t sum = 0;
        for (int i = 0; i <= r && i < n; ++i)
            sum += row[std::size_t(i)];
        for (int i = 0; i < n; ++i) {
            sums[std::size_t(i)] = sum;
            if (i + r + 1 < n)
                sum += row[std::size_t(i + r + 1)];
            if (i - r >= 0)
                sum -= row[std::size_t(i - r)];
        }
        row.swap(sums);
    }
    std::vector<double> fractions(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        fractions[std::size_t(i)] = double(row[std::size_t(spread + i)]) / (255 * product);
    return fractions;
}

}  // namespace

std::optional<Rect> axisAlignedRectangle(const Path& path) {
    using Type = Path::ElementType;
    const std::vector<Path::Element>& elements = path.elements();
    if (elements.size() != 5 || elements[0].type != Type::MoveTo || elements[4].type != Type::Close)
        return std::nullopt;
    Point corners[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && elements[std::size_t(i)].type != Type::LineTo)
            return std::nullopt;
        corners[i] = elements[std::size_t(i)].points[0];
    }
    // Sides alternate between horizontal and vertical, starting with either.
    const auto side = [&](int i, bool horizontal) {
        const Point& p = corners[i];
        const Point& q = corners[(i + 1) % 4];
        return horizontal ? p.y == q.y && p.x != q.x : p.x == q.x && p.y != q.y;
    };
    for (const bool firstHorizontal : {true, false}) {
        if (side(0, firstHorizontal) && side(1, !firstHorizontal) && side(2, firstHorizontal) &&
            side(3, !firstHorizontal)) {
            const Rect rect = Rect(corners[0].x, corners[0].y, corners[2].x - corners[0].x,
                                   corners[2].y - corners[0].y)
                                  .standardized();
            if (std::isfinite(rect.minX()) && std::isfinite(rect.maxX()) && std::isfinite(rect.minY()) &&
                std::isfinite(rect.maxY()))
                return rect;
        }
    }
    return std::nullopt;
}

Image rectangleShadow(const Rect& rect, const Size& offset, double blur, const Color& color, const Rect& area) {
    const double width = area.size.width, height = area.size.height;
    if (color.isNull() || !(width >= 1 && height >= 1) || width * height > double(Image::maximumPixelCount) ||
        !std::isfinite(area.origin.x) || !std::isfinite(area.origin.y))
        return {};
    const int w = int(width), h = int(height);
    // The context moves its shadow by whole pixels.
    const double dx = std::round(std::clamp(offset.width, -1e7, 1e7));
    const double dy = std::round(std::clamp(offset.height, -1e7, 1e7));
    const std::array<int, 3> radii = shadowBlurRadii(blur);
    // Columns left to right; rows from the area's top down, so the profile runs from the top pixel row.
    const std::vector<double> across = blurredSpan(rect.minX(), rect.maxX(), area.minX() - dx, w, radii);
    std::vector<double> down = blurredSpan(rect.minY(), rect.maxY(), area.minY() - dy, h, radii);
    std::reverse(down.begin(), down.end());

    QImage shadow(w, h, QImage::Format_RGBA8888_Premultiplied);
    if (shadow.isNull())
        return {};
    const Color c = color.convertedTo(ColorSpace::SRGB);
    const double alpha = std::clamp(c.alpha(), 0.0, 1.0);
    const double scaled[4] = {std::clamp(c.red(), 0.0, 1.0) * alpha * 255, std::clamp(c.green(), 0.0, 1.0) * alpha * 255,
                              std::clamp(c.blue(), 0.0, 1.0) * alpha * 255, alpha * 255};
    for (int y = 0; y < h; ++y) {
        uchar* out = shadow.scanLine(y);
        const double fy = down[std::size_t(y)];
        for (int x = 0; x < w; ++x, out += 4) {
            const double f = std::min(1.0, across[std::size_t(x)] * fy);
            for (int k = 0; k < 4; ++k)
                out[k] = uchar(int(scaled[k] * f + 0.5));
        }
    }
    return Image(std::move(shadow));
}

}  // namespace kx
