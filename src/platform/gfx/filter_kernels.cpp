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

// Row buffers hold whole blocks of 16 elements plus one spare block, so that the vector loops can run to the end
// of a block without a scalar tail; the elements past the row stay zero.
constexpr size_t kBlock = 16;
inline size_t paddedLength(size_t elements) { return (elements + kBlock - 1) / kBlock * kBlock + kBlock; }

#if defined(__SSE2__)
inline __m128i load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store16(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// The four bytes of one pixel as four 32-bit lanes.
inline __m128i loadPixel(const std::uint8_t* p) {
    std::int32_t packed;
    std::memcpy(&packed, p, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), zero), zero);
}

// Lanes of 0..255 narrowed to bytes: one pixel, or four at once.
inline void storePixel(std::uint8_t* p, __m128i v) {
    const __m128i words = _mm_packs_epi32(v, v);
    const std::int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(p, &packed, 4);
}
inline void storePixels(std::uint8_t* p, __m128i a, __m128i b, __m128i c, __m128i d) {
    store16(p, _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
}
#endif

// round(sum / n) for odd n up to 1001 and sums up to 255 n, exactly: (sum + (n - 1) / 2 + 0.5) / n lies at
// least 0.5 / n away from a whole number, far more than the error of a single-precision multiply, so
// truncating the product gives the right whole number.
struct RoundingDivider {
    float offset, inverse;
    explicit RoundingDivider(int n) : offset(float(n / 2) + 0.5f), inverse(1.f / float(n)) {}
    std::uint8_t operator()(std::int32_t sum) const { return std::uint8_t((float(sum) + offset) * inverse); }
#if defined(__SSE2__)
    __m128i operator()(__m128i sums) const {
        const __m128 shifted = _mm_add_ps(_mm_cvtepi32_ps(sums), _mm_set1_ps(offset));
        return _mm_cvttps_epi32(_mm_mul_ps(shifted, _mm_set1_ps(inverse)));
    }
#endif
};

// round(sum / n) for odd n and sums up to 255 n in 16-bit lanes: floor(v m / 2^k) with v = sum + n / 2,
// k = 16 + s and m = ceil(2^k / n) < 2^16. As v m / 2^k = v / n + v (m n - 2^k) / (n 2^k) and v / n falls at
// least 1 / n short of the next whole number, the quotient is exact when v (m n - 2^k) < 2^k for the largest v.
// Some s satisfies that for every odd n up to 201 and most up to 255; `exact` says whether one does for this
// n, and the 32-bit float division takes the others.
struct WordDivider {
    bool exact = false;
#if defined(__SSE2__)
    __m128i half, multiplier, shift;
#endif
    explicit WordDivider(int n) {
        const std::uint64_t largest = 255 * std::uint64_t(n) + std::uint64_t(n / 2);
        if (largest > 0xFFFF)
            return;
        for (int s = 0; s < 16 && !exact; ++s) {
            const std::uint64_t power = std::uint64_t(1) << (16 + s);
            const std::uint64_t m = (power + std::uint64_t(n) - 1) / std::uint64_t(n);
            if (m > 0xFFFF)
                break;
            exact = largest * (m * std::uint64_t(n) - power) < power;
#if defined(__SSE2__)
            half = _mm_set1_epi16(std::int16_t(n / 2));
            multiplier = _mm_set1_epi16(std::int16_t(std::uint16_t(m)));
            shift = _mm_cvtsi32_si128(s);
#endif
        }
    }
#if defined(__SSE2__)
    __m128i operator()(__m128i sums) const {
        return _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(sums, half), multiplier), shift);
    }
#endif
};

#if defined(__SSE2__)
// One or two pixels as 16-bit lanes (one pixel fills the low half).
inline __m128i loadPixelWords(const std::uint8_t* p) {
    std::int32_t packed;
    std::memcpy(&packed, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), _mm_setzero_si128());
}
inline __m128i loadTwoPixelWords(const std::uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// boxRowPass in 16-bit lanes, two pixels to a vector: the running sums of pixels x and x + 1 are the previous
// sum plus the change at x, and plus both changes.
void boxRowPassWords(const std::uint8_t* in, int width, int r, std::uint8_t* out, const WordDivider& divide) {
    const std::uint8_t* leaving = in - 4 * (2 * r + 1);
    const int outWidth = width + 2 * r;
    __m128i last = _mm_setzero_si128();  // the sums of the latest pixel, in both halves
    const auto step = [&](__m128i change) {
        const __m128i sums = _mm_add_epi16(_mm_add_epi16(change, _mm_slli_si128(change, 8)), last);
        last = _mm_unpackhi_epi64(sums, sums);
        return divide(sums);
    };
    int x = 0;
    for (; x + 4 <= outWidth; x += 4) {
        const __m128i a = step(_mm_sub_epi16(loadTwoPixelWords(in + 4 * x), loadTwoPixelWords(leaving + 4 * x)));
        const __m128i b =
            step(_mm_sub_epi16(loadTwoPixelWords(in + 4 * x + 8), loadTwoPixelWords(leaving + 4 * x + 8)));
        store16(out + 4 * x, _mm_packus_epi16(a, b));
    }
    for (; x < outWidth; ++x) {
        const __m128i a = step(_mm_sub_epi16(loadPixelWords(in + 4 * x), loadPixelWords(leaving + 4 * x)));
        const std::int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(a, a));
        std::memcpy(out + 4 * x, &packed, 4);
    }
}
#endif

// One box pass along a row: output pixel x (0 <= x < width + 2r) averages input pixels x - 2r .. x, pixels off
// the row counting as transparent. `in` lies in a buffer with 2r + 1 transparent pixels before the row and 2r
// after it, so that the window slides over the ends without tests. The four channels are summed side by side.
void boxRowPass(const std::uint8_t* in, int width, int r, std::uint8_t* out, const WordDivider& word) {
#if defined(__SSE2__)
    if (word.exact)
        return boxRowPassWords(in, width, r, out, word);
#else
    (void)word;
#endif
    const RoundingDivider divide(2 * r + 1);
    const std::uint8_t* leaving = in - 4 * (2 * r + 1);
    const int outWidth = width + 2 * r;
    int x = 0;
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    const auto step = [&](int i) {
        sum = _mm_add_epi32(sum, _mm_sub_epi32(loadPixel(in + 4 * i), loadPixel(leaving + 4 * i)));
        return divide(sum);
    };
    for (; x + 4 <= outWidth; x += 4) {
        const __m128i a = step(x), b = step(x + 1), c = step(x + 2), d = step(x + 3);
        storePixels(out + 4 * x, a, b, c, d);
    }
    for (; x < outWidth; ++x)
        storePixel(out + 4 * x, step(x));
#else
    std::int32_t sum[4] = {0, 0, 0, 0};
    for (; x < outWidth; ++x)
        for (int c = 0; c < 4; ++c) {
            sum[c] += in[4 * x + c] - leaving[4 * x + c];
            out[4 * x + c] = divide(sum[c]);
        }
#endif
}

// The row passes of a box cascade, one source row at a time. Each pass reads from its own buffer, whose
// transparent borders are never written, and writes into the next pass's buffer or the caller's row.
class HorizontalBoxes {
public:
    HorizontalBoxes(int width, const std::vector<int>& radii) : m_radii(radii) {
        for (int r : radii) {
            m_dividers.emplace_back(2 * r + 1);
            m_widths.push_back(width);
            m_buffers.emplace_back(size_t(4) * (size_t(width) + 4 * size_t(r) + 1), std::uint8_t(0));
            width += 2 * r;
        }
    }

    // Blurs `row` (as wide as the source) into `out` (wider by twice the sum of the radii).
    void run(const std::uint8_t* row, std::uint8_t* out) {
        std::copy_n(row, 4 * size_t(m_widths[0]), interior(0));
        for (size_t k = 0; k < m_radii.size(); ++k)
            boxRowPass(interior(k), m_widths[k], m_radii[k], k + 1 < m_radii.size() ? interior(k + 1) : out,
                       m_dividers[k]);
    }

private:
    std::uint8_t* interior(size_t k) { return m_buffers[k].data() + 4 * (2 * size_t(m_radii[k]) + 1); }

    std::vector<int> m_radii, m_widths;
    std::vector<WordDivider> m_dividers;
    std::vector<std::vector<std::uint8_t>> m_buffers;
};

// One box pass down the columns, fed a row at a time: the caller writes each row into inputSlot(), and
// advance() takes it in and writes the average of it and the 2r rows before it. Rows before the first count as
// transparent; feeding 2r transparent rows after the last yields the bottom of the result. Only 2r + 2 rows
// are kept, so a cascade of these stays in the cache instead of sweeping whole images.
class VerticalBox {
public:
    VerticalBox(int r, size_t elements)
        : m_divide(2 * r + 1), m_word(2 * r + 1), m_stride(paddedLength(elements)), m_slots(2 * size_t(r) + 2),
          m_ring(m_slots * m_stride, 0) {
#if defined(__SSE2__)
        if (m_word.exact)
            m_wordSums.assign(m_stride, 0);
        else
#endif
            m_sums.assign(m_stride, 0);
    }

    std::uint8_t* inputSlot() { return slot(m_rows); }

    // `out` receives a whole padded row (the elements past the row come out 0).
    void advance(std::uint8_t* out) {
        const std::uint8_t* entering = slot(m_rows);
        const std::uint8_t* leaving = slot(m_rows + 1);  // the row 2r + 1 before, or transparent
        std::int32_t* sums = m_sums.data();
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        // 16-bit sums wrap around, but their true values stay within 0..255 (2r + 1) < 2^16.
        for (size_t i = 0; m_word.exact && i < m_stride; i += kBlock) {
            const __m128i in = load16(entering + i), old = load16(leaving + i);
            std::uint16_t* words = m_wordSums.data() + i;
            const __m128i low = _mm_add_epi16(
                load16(words), _mm_sub_epi16(_mm_unpacklo_epi8(in, zero), _mm_unpacklo_epi8(old, zero)));
            const __m128i high = _mm_add_epi16(
                load16(words + 8), _mm_sub_epi16(_mm_unpackhi_epi8(in, zero), _mm_unpackhi_epi8(old, zero)));
            store16(words, low);
            store16(words + 8, high);
            store16(out + i, _mm_packus_epi16(m_word(low), m_word(high)));
        }
        for (size_t i = 0; !m_word.exact && i < m_stride; i += kBlock) {
            const __m128i in = load16(entering + i), old = load16(leaving + i);
            const __m128i low = _mm_sub_epi16(_mm_unpacklo_epi8(in, zero), _mm_unpacklo_epi8(old, zero));
            const __m128i high = _mm_sub_epi16(_mm_unpackhi_epi8(in, zero), _mm_unpackhi_epi8(old, zero));
            // The 16-bit differences sign-extended to 32 bits.
            const __m128i change[4] = {_mm_srai_epi32(_mm_unpacklo_epi16(low, low), 16),
                                       _mm_srai_epi32(_mm_unpackhi_epi16(low, low), 16),
                                       _mm_srai_epi32(_mm_unpacklo_epi16(high, high), 16),
                                       _mm_srai_epi32(_mm_unpackhi_epi16(high, high), 16)};
            __m128i averages[4];
            for (size_t k = 0; k < 4; ++k) {
                const __m128i sum = _mm_add_epi32(load16(sums + i + 4 * k), change[k]);
                store16(sums + i + 4 * k, sum);
                averages[k] = m_divide(sum);
            }
            storePixels(out + i, averages[0], averages[1], averages[2], averages[3]);
        }
#else
        for (size_t i = 0; i < m_stride; ++i) {
            sums[i] += entering[i] - leaving[i];
            out[i] = m_divide(sums[i]);
        }
#endif
        ++m_rows;
    }

private:
    std::uint8_t* slot(size_t row) { return m_ring.data() + (row % m_slots) * m_stride; }

    RoundingDivider m_divide;
    WordDivider m_word;
    size_t m_stride, m_slots;
    std::vector<std::int32_t> m_sums;
    std::vector<std::uint16_t> m_wordSums;  // used instead of m_sums where the 16-bit division is exact
    std::vector<std::uint8_t> m_ring;
    size_t m_rows = 0;
};

// A cascade of box blurs, one per radius, along the rows and then down the columns, placed in a transparent
// canvas `spread` pixels larger than the source on every side. The cascade itself spreads the image by the sum
// of the radii; where that differs from `spread` the result is padded, or its far tails cropped. Each pass
// rounds to whole levels, like separate box blurs run one after the other.
QImage boxCascade(const QImage& src, const std::vector<int>& radii, int spread) {
    const int w = src.width(), h = src.height();
    int own = 0;
    for (int r : radii)
        own += r;
    QImage dst = blankImage(qint64(w) + 2 * spread, qint64(h) + 2 * spread, false);
    if (dst.isNull())
        return dst;
    const int boxWidth = w + 2 * own, boxHeight = h + 2 * own;
    const size_t elements = size_t(4) * size_t(boxWidth);
    HorizontalBoxes horizontal(w, radii);
    std::vector<VerticalBox> vertical;
    vertical.reserve(radii.size());
    for (int r : radii)
        vertical.emplace_back(r, elements);
    std::vector<std::uint8_t> last(paddedLength(elements));
    // The cascade's pixel (x, y) lands on the canvas at (x + shift, y + shift); columns x0 .. x1 - 1 fall on it.
    const int shift = spread - own;
    const int x0 = std::max(0, -shift), x1 = std::min(boxWidth, dst.width() - shift);
    const size_t rowBytes = 4 * size_t(dst.width());
    for (int y = 0; y < boxHeight; ++y) {
        std::uint8_t* first = vertical.front().inputSlot();
        if (y < h)
            horizontal.run(src.constScanLine(y), first);
        else
            std::fill_n(first, elements, std::uint8_t(0));
        for (size_t k = 0; k < vertical.size(); ++k)
            vertical[k].advance(k + 1 < vertical.size() ? vertical[k + 1].inputSlot() : last.data());
        const int ty = y + shift;
        if (ty < 0 || ty >= dst.height())
            continue;
        std::uint8_t* line = dst.scanLine(ty);
        const size_t left = 4 * size_t(x0 + shift), right = 4 * size_t(x1 + shift);
        std::fill(line, line + left, std::uint8_t(0));
        std::copy(last.data() + 4 * size_t(x0), last.data() + 4 * size_t(x1), line + left);
        std::fill(line + right, line + rowBytes, std::uint8_t(0));
    }
    for (int ty = 0; ty < dst.height(); ++ty)
        if (ty - shift < 0 || ty - shift >= boxHeight)
            std::fill_n(dst.scanLine(ty), rowBytes, std::uint8_t(0));
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

// Integer weights of a sampled Gaussian, summing to exactly 2^14, so that each fits a signed 16-bit lane.
constexpr int kWeightBits = 14;
// Fraction bits the row pass keeps for the column pass: 255 << 6 leaves room to add two values in 16 bits.
constexpr int kFractionBits = 6;

std::vector<std::int16_t> gaussianWeights(double sigma, int half) {
    std::vector<double> raw(size_t(2 * half + 1));
    double total = 0;
    for (int k = -half; k <= half; ++k)
        total += raw[size_t(k + half)] = std::exp(-(k * k) / (2 * sigma * sigma));
    std::vector<std::int16_t> weights(raw.size());
    int assigned = 0;
    for (size_t i = 0; i < raw.size(); ++i)
        assigned += weights[i] = std::int16_t(std::lround(raw[i] / total * (1 << kWeightBits)));
    weights[size_t(half)] = std::int16_t(weights[size_t(half)] + (1 << kWeightBits) - assigned);  // remainder
    return weights;
}

// Weighted sums over 16-bit rows for a symmetric kernel: element i is the sum over terms k of
// weight[k] (first[k][i] + second[k][i]), each term joining the two taps at the same distance from the centre
// (the centre tap joins a row of zeros). The vector code multiplies and adds two terms at a time, so an odd
// number of terms is made even with a zero-weighted one.
class SymmetricTaps {
public:
    SymmetricTaps(const std::vector<std::int16_t>& termWeights, const std::int16_t* zeros) : m_weights(termWeights) {
        if (m_weights.size() % 2)
            m_weights.push_back(0);
        m_first.assign(m_weights.size(), zeros);
        m_second.assign(m_weights.size(), zeros);
#if defined(__SSE2__)
        for (size_t j = 0; j < m_weights.size(); j += 2)
            m_pairs.push_back({_mm_set1_epi32(std::int32_t(std::uint16_t(m_weights[j])) |
                                              std::int32_t(std::uint32_t(std::uint16_t(m_weights[j + 1])) << 16))});
#endif
    }

    void setTerm(size_t k, const std::int16_t* first, const std::int16_t* second) {
        m_first[k] = first;
        m_second[k] = second;
    }

    // (sum + half) >> shift for elements 0 .. count rounded up to 16, as 16-bit values.
    void sumsToWords(size_t count, int shift, std::int16_t* out) const {
#if defined(__SSE2__)
        for (size_t i = 0; i < count; i += kBlock) {
            __m128i sums[4];
            block(i, sums, shift);
            store16(out + i, _mm_packs_epi32(sums[0], sums[1]));
            store16(out + i + 8, _mm_packs_epi32(sums[2], sums[3]));
        }
#else
        for (size_t i = 0; i < count; ++i)
            out[i] = std::int16_t((sum(i) + (1 << (shift - 1))) >> shift);
#endif
    }

    // (sum + half) >> shift for elements 0 .. count - 1, as bytes clamped to 0..255.
    void sumsToBytes(size_t count, int shift, std::uint8_t* out) const {
#if defined(__SSE2__)
        for (size_t i = 0; i < count; i += kBlock) {
            __m128i sums[4];
            block(i, sums, shift);
            const __m128i bytes =
                _mm_packus_epi16(_mm_packs_epi32(sums[0], sums[1]), _mm_packs_epi32(sums[2], sums[3]));
            if (i + kBlock <= count) {
                store16(out + i, bytes);
            } else {
                std::uint8_t last[kBlock];
                store16(last, bytes);
                std::copy_n(last, count - i, out + i);
            }
        }
#else
        for (size_t i = 0; i < count; ++i)
            out[i] = std::uint8_t(std::clamp((sum(i) + (1 << (shift - 1))) >> shift, 0, 255));
#endif
    }

private:
#if defined(__SSE2__)
    // Elements i .. i + 15 as four vectors of four 32-bit sums, rounded and shifted right. Written out by hand so
    // that the sums stay in registers without relying on the optimiser to unroll.
    void block(size_t i, __m128i (&sums)[4], int shift) const {
        __m128i s0 = _mm_set1_epi32(1 << (shift - 1)), s1 = s0, s2 = s0, s3 = s0;
        for (size_t j = 0; j < m_pairs.size(); ++j) {
            const std::int16_t *a0 = m_first[2 * j] + i, *a1 = m_second[2 * j] + i;
            const std::int16_t *b0 = m_first[2 * j + 1] + i, *b1 = m_second[2 * j + 1] + i;
            const __m128i weights = m_pairs[j].lanes;
            const __m128i aLow = _mm_add_epi16(load16(a0), load16(a1));
            const __m128i bLow = _mm_add_epi16(load16(b0), load16(b1));
            const __m128i aHigh = _mm_add_epi16(load16(a0 + 8), load16(a1 + 8));
            const __m128i bHigh = _mm_add_epi16(load16(b0 + 8), load16(b1 + 8));
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(aLow, bLow), weights));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(aLow, bLow), weights));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, bHigh), weights));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, bHigh), weights));
        }
        const __m128i bits = _mm_cvtsi32_si128(shift);
        sums[0] = _mm_sra_epi32(s0, bits);
        sums[1] = _mm_sra_epi32(s1, bits);
        sums[2] = _mm_sra_epi32(s2, bits);
        sums[3] = _mm_sra_epi32(s3, bits);
    }
#else
    std::int32_t sum(size_t i) const {
        std::int32_t total = 0;
        for (size_t k = 0; k < m_weights.size(); ++k)
            total += m_weights[k] * (m_first[k][i] + m_second[k][i]);
        return total;
    }
#endif

    std::vector<std::int16_t> m_weights;
    std::vector<const std::int16_t*> m_first, m_second;
#if defined(__SSE2__)
    struct WeightPair {
        __m128i lanes;  // the weights of terms 2j and 2j + 1 in alternate 16-bit lanes
    };
    std::vector<WeightPair> m_pairs;
#endif
};

// Bytes widened to 16 bits.
void widen(const std::uint8_t* in, size_t count, std::int16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = load16(in + i);
        store16(out + i, _mm_unpacklo_epi8(bytes, zero));
        store16(out + i + 8, _mm_unpackhi_epi8(bytes, zero));
    }
#endif
    for (; i < count; ++i)
        out[i] = in[i];
}

// The sampled Gaussian of half-width `half`, along the rows into 16-bit rows with kFractionBits of fraction,
// then down the columns. The row results live in a ring of 2 half + 1 rows, so each output row is made as soon
// as the rows it needs exist and nothing larger than a few rows is swept more than once.
QImage sampledGaussian(const QImage& src, double sigma, int half) {
    const int w = src.width(), h = src.height();
    QImage dst = blankImage(qint64(w) + 2 * half, qint64(h) + 2 * half, false);
    if (dst.isNull())
        return dst;
    const std::vector<std::int16_t> weights = gaussianWeights(sigma, half);
    const std::vector<std::int16_t> termWeights(weights.begin(), weights.begin() + half + 1);
    const size_t elements = 4 * size_t(dst.width());
    const size_t stride = paddedLength(elements);
    const size_t window = 2 * size_t(half) + 1;
    const std::vector<std::int16_t> zeros(stride, 0);
    // The source row with 2 half transparent pixels on each side, and room for the taps to read whole blocks.
    std::vector<std::int16_t> row(8 * size_t(half) + stride, 0);
    std::vector<std::int16_t> ring(window * stride, 0);

    SymmetricTaps horizontal(termWeights, zeros.data()), vertical(termWeights, zeros.data());
    for (size_t t = 0; t < size_t(half); ++t)
        horizontal.setTerm(t, row.data() + 4 * t, row.data() + 4 * (2 * size_t(half) - t));
    horizontal.setTerm(size_t(half), row.data() + 4 * size_t(half), zeros.data());

    std::vector<const std::int16_t*> rows(window);
    for (int y = 0; y < dst.height(); ++y) {
        if (y < h) {
            widen(src.constScanLine(y), 4 * size_t(w), row.data() + 8 * size_t(half));
            horizontal.sumsToWords(elements, kWeightBits - kFractionBits, ring.data() + size_t(y) % window * stride);
        }
        // Output row y gathers row results y - 2 half .. y; those outside the source are transparent.
        for (size_t t = 0; t < window; ++t) {
            const int j = y - 2 * half + int(t);
            rows[t] = j >= 0 && j < h ? ring.data() + size_t(j) % window * stride : zeros.data();
        }
        for (size_t t = 0; t < size_t(half); ++t)
            vertical.setTerm(t, rows[t], rows[window - 1 - t]);
        vertical.setTerm(size_t(half), rows[size_t(half)], zeros.data());
        vertical.sumsToBytes(elements, kWeightBits + kFractionBits, dst.scanLine(y));
    }
    return dst;
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
    return boxCascade(src, {radius}, radius);
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
    if (sigma < kKernelSigmaLimit)
        return sampledGaussian(src, sigma, spread);
    std::vector<int> radii;
    for (int r : boxRadiiForGaussian(sigma))
        if (r > 0)
            radii.push_back(r);
    return boxCascade(src, radii, spread);
}

QImage screenGlow(const QImage& source, const QImage& glowImage, int offset, float intensity) {
    QImage src = source.format() == kFormat ? source : source.convertToFormat(kFormat);
    const QImage glow = glowImage.format() == kFormat ? glowImage : glowImage.convertToFormat(kFormat);
    const int w = src.width(), h = src.height();
    if (src.isNull() || glow.isNull() || offset < 0 || qint64(w) + offset > glow.width() ||
        qint64(h) + offset > glow.height())
        return {};
    QImage dst = blankImage(w, h, false);
    if (dst.isNull())
        return dst;
    // 1 / alpha of the glow, with 0 for transparent pixels: their colour reads as 0.
    std::array<float, 256> reciprocal{};
    for (size_t a = 1; a < reciprocal.size(); ++a)
        reciprocal[a] = 1.f / float(a);
    // With the image's premultiplied component p = c a, the result premultiplied is
    // clamp(c + i g (1 - c), 0, 1) a = clamp(p + i g (a - p), 0, a): no division by the image's alpha.
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = src.constScanLine(y);
        const std::uint8_t* halo = glow.constScanLine(y + offset) + 4 * size_t(offset);
        std::uint8_t* out = dst.scanLine(y);
        for (int x = 0; x < w; ++x, in += 4, halo += 4, out += 4) {
#if defined(__SSE2__)
            const __m128 p = _mm_cvtepi32_ps(loadPixel(in));
            const __m128 alpha = _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3));
            const __m128 g =
                _mm_min_ps(_mm_mul_ps(_mm_cvtepi32_ps(loadPixel(halo)), _mm_set1_ps(reciprocal[halo[3]])),
                           _mm_set1_ps(1.f));
            const __m128 gain = _mm_mul_ps(g, _mm_set1_ps(intensity));
            const __m128 screened = _mm_add_ps(p, _mm_mul_ps(gain, _mm_sub_ps(alpha, p)));
            // max(NaN, 0) is 0, so a result that is not a number comes out black.
            const __m128 clamped = _mm_min_ps(_mm_max_ps(screened, _mm_setzero_ps()), alpha);
            storePixel(out, _mm_cvttps_epi32(_mm_add_ps(clamped, _mm_set1_ps(0.5f))));
#else
            const float alpha = in[3];
            for (int k = 0; k < 3; ++k) {
                const float g = std::min(1.f, halo[k] * reciprocal[halo[3]]);
                const float screened = in[k] + g * intensity * (alpha - in[k]);
                out[k] = std::uint8_t((screened > 0.f ? std::min(screened, alpha) : 0.f) + 0.5f);
            }
#endif
            out[3] = in[3];
        }
    }
    return dst;
}

}  // namespace kx::filterkernels
