#include "platform/gfx/filter_kernels.h"

#include "platform/gfx/image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx::filterkernels {

namespace {

constexpr QImage::Format kFormat = QImage::Format_RGBA8888_Premultiplied;

// 0..1, with NaN going to 0 so that a bad input can never reach an integer conversion.
inline float clamp01(float v) {
    if (!(v > 0.f))
        return 0.f;
    return v < 1.f ? v : 1.f;
}

inline std::uint8_t toByte(float v) { return std::uint8_t(clamp01(v) * 255.f + 0.5f); }

// A transparent image of the given size (left unset when `clear` is false, for passes that write every
// pixel), or null when it is larger than the program accepts.
QImage blankImage(qint64 width, qint64 height, bool clear = true) {
    if (width <= 0 || height <= 0 || width > INT32_MAX / 4 || height > INT32_MAX ||
        width * height > Image::maximumPixelCount)
        return {};
    QImage image(int(width), int(height), kFormat);
    if (!image.isNull() && clear)
        std::fill_n(image.bits(), image.sizeInBytes(), std::uint8_t(0));
    return image;
}

// round(sum / n) for odd n up to 1001 and sums up to 255 n, exactly: (sum + (n - 1) / 2 + 0.5) / n lies at
// least 0.5 / n away from a whole number, far more than the error of a single-precision multiply, so
// truncating the product gives the right whole number. Written as plain loops so that they vectorise.
struct RoundingDivider {
    float offset, inverse;
    explicit RoundingDivider(std::uint32_t n) : offset(float(n / 2) + 0.5f), inverse(1.f / float(n)) {}
    void operator()(const std::uint32_t* sums, std::uint8_t* out, int count) const {
        for (int i = 0; i < count; ++i)
            out[i] = std::uint8_t((float(sums[i]) + offset) * inverse);
    }
};

// out[4 (x + 1) + c] = out[4 x + c] + in[4 x + c] for x = 0 .. pixels - 1: running sums of the four channels,
// kept in one vector register where the processor has one.
void runningSums(const std::uint8_t* in, int pixels, std::uint32_t* out) {
#if defined(__SSE2__)
    __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
    const __m128i zero = _mm_setzero_si128();
    for (int x = 0; x < pixels; ++x) {
        std::int32_t packed;
        std::memcpy(&packed, in + 4 * x, 4);
        const __m128i bytes = _mm_cvtsi32_si128(packed);
        sum = _mm_add_epi32(sum, _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * (x + 1)), sum);
    }
#else
    for (int i = 0; i < 4 * pixels; ++i)
        out[i + 4] = out[i] + in[i];
#endif
}

// Box passes along the rows, one radius after the other, each growing the row by its radius on the left and
// the right. Each pass takes a prefix sum over the row padded with 2r transparent pixels on each side; rows
// are processed one at a time in small buffers.
// `margin` more transparent columns are added on each side of the result.
QImage boxPassesHorizontal(const QImage& src, const std::vector<int>& radii, int margin = 0) {
    const int w = src.width(), h = src.height();
    int grown = 0;
    for (int r : radii)
        grown += r;
    QImage dst = blankImage(qint64(w) + 2 * grown + 2 * margin, h, margin > 0);
    if (dst.isNull())
        return dst;
    const int widest = w + 4 * grown;
    std::vector<std::uint8_t> row(size_t(4) * widest), next(size_t(4) * widest);
    std::vector<std::uint32_t> prefix(size_t(4) * (widest + 1)), sums(size_t(4) * widest);
    for (int y = 0; y < h; ++y) {
        std::copy_n(src.constScanLine(y), 4 * w, row.begin());
        int width = w;
        for (int r : radii) {
            const RoundingDivider divide(2 * r + 1);
            const int outWidth = width + 2 * r;
            // prefix[4 j + c]: channel c summed over padded columns 0 .. j - 1; the padding adds nothing.
            std::fill_n(prefix.begin(), 4 * (2 * r + 1), 0u);
            std::uint32_t* p = prefix.data() + 4 * 2 * r;
            runningSums(row.data(), width, p);
            for (int i = 4 * width; i < 4 * (width + 2 * r); ++i)
                p[i + 4] = p[i];
            // Output column x averages padded columns x .. x + 2r.
            const std::uint32_t* upper = prefix.data() + 4 * (2 * r + 1);
            for (int i = 0; i < 4 * outWidth; ++i)
                sums[size_t(i)] = upper[i] - prefix[size_t(i)];
            divide(sums.data(), next.data(), 4 * outWidth);
            row.swap(next);
            width = outWidth;
        }
        std::copy_n(row.begin(), 4 * width, dst.scanLine(y) + 4 * margin);
    }
    return dst;
}

QImage boxPassHorizontal(const QImage& src, int r) { return boxPassesHorizontal(src, {r}); }

// One box pass along the columns, row by row with a running sum per column: the image grows by r on the top
// and the bottom, and by `margin` more transparent rows on each side.
QImage boxPassVertical(const QImage& src, int r, int margin = 0) {
    const int w = src.width(), h = src.height();
    QImage dst = blankImage(w, qint64(h) + 2 * r + 2 * margin, margin > 0);
    if (dst.isNull())
        return dst;
    const RoundingDivider divide(2 * r + 1);
    const int n = 4 * w;
    std::vector<std::uint32_t> sums(size_t(n), 0);
    for (int y = 0; y < h + 2 * r; ++y) {
        if (y < h) {
            const std::uint8_t* in = src.constScanLine(y);
            for (int i = 0; i < n; ++i)
                sums[size_t(i)] += in[i];
        }
        const int leaving = y - 2 * r - 1;
        if (leaving >= 0 && leaving < h) {
            const std::uint8_t* in = src.constScanLine(leaving);
            for (int i = 0; i < n; ++i)
                sums[size_t(i)] -= in[i];
        }
        divide(sums.data(), dst.scanLine(y + margin), n);
    }
    return dst;
}

// Integer weights of a sampled Gaussian, summing to exactly 2^15 (so that each fits 16 bits and the
// 16 x 16-bit products vectorise).
constexpr int kWeightBits = 15;
std::vector<std::uint16_t> gaussianWeights(double sigma, int half) {
    std::vector<double> raw(size_t(2 * half + 1));
    double total = 0;
    for (int k = -half; k <= half; ++k)
        total += raw[size_t(k + half)] = std::exp(-(k * k) / (2 * sigma * sigma));
    std::vector<std::uint16_t> weights(raw.size());
    int assigned = 0;
    for (size_t i = 0; i < raw.size(); ++i)
        assigned += weights[i] = std::uint16_t(std::lround(raw[i] / total * (1 << kWeightBits)));
    weights[size_t(half)] = std::uint16_t(weights[size_t(half)] + (1 << kWeightBits) - assigned);  // remainder
    return weights;
}

QImage kernelPassHorizontal(const QImage& src, const std::vector<std::uint16_t>& weights) {
    const int half = int(weights.size() / 2);
    const int w = src.width(), h = src.height();
    QImage dst = blankImage(qint64(w) + 2 * half, h);
    if (dst.isNull())
        return dst;
    const int outWidth = dst.width();
    std::vector<std::uint32_t> acc(size_t(4) * outWidth);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = src.constScanLine(y);
        std::fill(acc.begin(), acc.end(), 1u << (kWeightBits - 1));
        // Tap t adds input column x + t - 2 half to output column x, for a whole row at a time.
        for (int t = 0; t <= 2 * half; ++t) {
            const std::uint16_t wt = weights[size_t(t)];
            const int shift = t - 2 * half;
            const int x0 = std::max(0, -shift), x1 = std::min(outWidth, w - shift);
            std::uint32_t* a = acc.data() + 4 * x0;
            const std::uint8_t* p = in + 4 * (x0 + shift);
            for (int i = 0; i < 4 * (x1 - x0); ++i)
                a[i] += std::uint32_t(wt) * std::uint16_t(p[i]);
        }
        std::uint8_t* out = dst.scanLine(y);
        for (int i = 0; i < 4 * outWidth; ++i)
            out[i] = std::uint8_t(std::min<std::uint32_t>(255, acc[size_t(i)] >> kWeightBits));
    }
    return dst;
}

QImage kernelPassVertical(const QImage& src, const std::vector<std::uint16_t>& weights) {
    const int half = int(weights.size() / 2);
    const int w = src.width(), h = src.height();
    QImage dst = blankImage(w, qint64(h) + 2 * half);
    if (dst.isNull())
        return dst;
    const int n = 4 * w;
    std::vector<std::uint32_t> acc(static_cast<size_t>(n));
    for (int y = 0; y < dst.height(); ++y) {
        std::fill(acc.begin(), acc.end(), 1u << (kWeightBits - 1));
        const int first = std::max(0, y - 2 * half), last = std::min(h - 1, y);
        for (int j = first; j <= last; ++j) {
            const std::uint16_t wt = weights[size_t(j - y + 2 * half)];
            const std::uint8_t* in = src.constScanLine(j);
            for (int i = 0; i < n; ++i)
                acc[size_t(i)] += std::uint32_t(wt) * std::uint16_t(in[i]);
        }
        std::uint8_t* out = dst.scanLine(y);
        for (int i = 0; i < n; ++i)
            out[i] = std::uint8_t(std::min<std::uint32_t>(255, acc[size_t(i)] >> kWeightBits));
    }
    return dst;
}

// Radii of three box blurs whose combined variance matches sigma^2 as closely as odd widths allow.
std::array<int, 3> boxRadiiForGaussian(double sigma) {
    constexpr int passes = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / passes + 1.0);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = (12.0 * sigma * sigma - passes * lower * lower - 4.0 * passes * lower - 3.0 * passes) /
                     (-4.0 * lower - 4.0);
    const int lowerCount = std::clamp(int(std::lround(m)), 0, passes);
    std::array<int, 3> radii{};
    for (int i = 0; i < passes; ++i)
        radii[size_t(i)] = ((i < lowerCount) ? lower : upper) / 2;
    return radii;
}

// The image placed in a transparent canvas `grow` pixels larger on every side than `original`, with the
// image's own spread `own` (its excess over the original on each side) taken into account.
QImage recentre(const QImage& image, int own, int grow, int originalWidth, int originalHeight) {
    if (own == grow)
        return image;
    QImage canvas = blankImage(qint64(originalWidth) + 2 * grow, qint64(originalHeight) + 2 * grow);
    if (canvas.isNull())
        return canvas;
    const int shift = grow - own;  // >= 0 pads, < 0 crops the far tails
    for (int y = 0; y < image.height(); ++y) {
        const int ty = y + shift;
        if (ty < 0 || ty >= canvas.height())
            continue;
        const int x0 = std::max(0, -shift), x1 = std::min(image.width(), canvas.width() - shift);
        if (x1 > x0)
            std::copy_n(image.constScanLine(y) + 4 * x0, 4 * (x1 - x0), canvas.scanLine(ty) + 4 * (x0 + shift));
    }
    return canvas;
}

}  // namespace

QImage mapPixels(const QImage& source, const std::function<void(Pixel&)>& f) {
    QImage src = source.format() == kFormat ? source : source.convertToFormat(kFormat);
    QImage dst = blankImage(src.width(), src.height());
    if (dst.isNull())
        return dst;
    for (int y = 0; y < src.height(); ++y) {
        const std::uint8_t* in = src.constScanLine(y);
        std::uint8_t* out = dst.scanLine(y);
        for (int x = 0; x < src.width(); ++x, in += 4, out += 4) {
            Pixel p{0, 0, 0, 0};
            if (in[3] != 0) {
                const float a = in[3];
                p = {in[0] / a, in[1] / a, in[2] / a, a / 255.f};
            }
            f(p);
            const std::uint8_t alpha = toByte(p.a);
            const float scale = alpha / 255.f;
            out[0] = toByte(clamp01(p.r) * scale);
            out[1] = toByte(clamp01(p.g) * scale);
            out[2] = toByte(clamp01(p.b) * scale);
            out[3] = alpha;
        }
    }
    return dst;
}

QImage colorMatrix(const QImage& source, const ColorMatrix& m) {
    return mapPixels(source, [&m](Pixel& p) {
        const float in[4] = {p.r, p.g, p.b, p.a};
        float out[4];
        for (int row = 0; row < 4; ++row) {
            const auto& w = m[size_t(row)];
            out[row] = w[0] * in[0] + w[1] * in[1] + w[2] * in[2] + w[3] * in[3] + w[4];
        }
        p = {out[0], out[1], out[2], out[3]};
    });
}

QImage boxBlur(const QImage& source, int radius) {
    QImage src = source.format() == kFormat ? source : source.convertToFormat(kFormat);
    if (radius <= 0 || src.isNull())
        return src;
    const QImage horizontal = boxPassHorizontal(src, radius);
    return horizontal.isNull() ? QImage() : boxPassVertical(horizontal, radius);
}

// Below this sigma three boxes stray too far from the Gaussian (over 4% of full scale at sigma 2), and the
// sampled kernel is still short.
constexpr double kKernelSigmaLimit = 4.0;

int gaussianSpread(double sigma) { return sigma > 0 ? int(std::ceil(3 * sigma)) : 0; }

QImage gaussianBlur(const QImage& source, double sigma) {
    QImage src = source.format() == kFormat ? source : source.convertToFormat(kFormat);
    const int spread = gaussianSpread(sigma);
    if (spread == 0 || src.isNull())
        return src;
    if (sigma < kKernelSigmaLimit) {
        const auto weights = gaussianWeights(sigma, spread);
        const QImage horizontal = kernelPassHorizontal(src, weights);
        return horizontal.isNull() ? QImage() : kernelPassVertical(horizontal, weights);
    }
    std::vector<int> radii;
    int own = 0;
    for (int r : boxRadiiForGaussian(sigma))
        if (r > 0)
            radii.push_back(r), own += r;
    // The boxes spread the image a little less than the Gaussian's nominal 3 sigma; the difference is added
    // as transparent margin by the last passes in each direction.
    const int margin = std::max(0, spread - own);
    QImage blurred = boxPassesHorizontal(src, radii, margin);
    for (size_t i = 0; i < radii.size(); ++i) {
        if (blurred.isNull())
            return {};
        blurred = boxPassVertical(blurred, radii[i], i + 1 == radii.size() ? margin : 0);
    }
    if (blurred.isNull())
        return {};
    own += margin;
    return recentre(blurred, own, spread, src.width(), src.height());
}

}  // namespace kx::filterkernels
