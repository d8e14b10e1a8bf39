#include "platform/gfx/shadow_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr QImage::Format kFormat = QImage::Format_RGBA8888_Premultiplied;
const std::array<double, 4> kColor{0.2 * 0.7, 0.5 * 0.7, 0.9 * 0.7, 0.7};

// The blur worked out the plain way, one pass after another on one thread: each box pass sums its window along
// every row, then down every column, into a plane of whole numbers, which is turned into colour at the end.
template <typename Sum>
QImage plainBlur(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii) {
    std::vector<Sum> plane(std::size_t(w) * h, 0), next(plane.size());
    for (int y = 0; y < std::min(h, part.height()); ++y)
        for (int x = 0; x < std::min(w, part.width()); ++x)
            plane[std::size_t(y) * w + x] = qAlpha(source.pixel(part.x() + x, part.y() + y));
    auto at = [&](int x, int y) { return x < 0 || y < 0 || x >= w || y >= h ? Sum(0) : plane[std::size_t(y) * w + x]; };
    double product = 1;
    for (const int r : radii) {
        product *= double(2 * r + 1) * double(2 * r + 1);
        for (int dir = 0; dir < 2; ++dir) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    Sum sum = 0;
                    for (int k = -r; k <= r; ++k)
                        sum += dir == 0 ? at(x + k, y) : at(x, y + k);
                    next[std::size_t(y) * w + x] = sum;
                }
            plane.swap(next);
        }
    }
    // Scaled by the reciprocal of the full sum, as the shadow has always been.
    const double toFraction = 1 / (255 * product);
    QImage out(w, h, kFormat);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Sum s = plane[std::size_t(y) * w + x];
            const double f = s >= Sum(255 * product) ? 1.0 : double(s) * toFraction;
            uchar* p = out.scanLine(y) + 4 * x;
            for (int c = 0; c < 4; ++c)
                p[c] = uchar(int(kColor[std::size_t(c)] * 255 * f + 0.5));
        }
    return out;
}

QImage expectedBlur(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii) {
    double largest = 255;
    for (const int r : radii)
        largest *= double(2 * r + 1) * double(2 * r + 1);
    return largest <= double(std::numeric_limits<std::uint32_t>::max())
               ? plainBlur<std::uint32_t>(source, part, w, h, radii)
               : plainBlur<std::uint64_t>(source, part, w, h, radii);
}

// Noise over a few opaque blocks, so that some of the blur reaches full coverage and some does not.
QImage randomAlpha(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    QImage image(w, h, kFormat);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = (x / 9 + y / 7) % 3 == 0 ? 255 : int(random() % 256);
            image.setPixel(x, y, qRgba(a / 2, 0, a, a));
        }
    return image;
}

// The blur into a shadow image with room to spare, answering the w x h corner it writes.
QImage blurred(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii, int threads) {
    QImage shadow(w + 3, h + 2, kFormat);
    shadow.fill(Qt::transparent);
    EXPECT_TRUE(kx::blurShadow(source, part, w, h, radii, kColor, shadow, threads));
    return shadow.copy(0, 0, w, h);
}

struct BlurCase {
    int w, h;
    double sigma;
};

TEST(ShadowBlur, EqualsThePlainBlurOnAnyNumberOfThreads) {
    const BlurCase cases[] = {
        {1, 1, 3},   {1, 40, 1.5}, {40, 1, 10}, {3, 2, 3},    {7, 5, 0.4},  {64, 33, 0},
        {64, 33, 1}, {97, 61, 3},  {97, 61, 10}, {130, 70, 10}, {23, 17, 140},
        // Tall enough to be cut into bands of rows as well as strips of columns.
        {61, 300, 3}, {33, 420, 10},
    };
    for (const BlurCase& c : cases) {
        const std::array<int, 3> radii = c.sigma == 0 ? std::array<int, 3>{} : kx::shadowBoxRadii(c.sigma);
        const QImage source = randomAlpha(c.w, c.h, unsigned(c.w * 131 + c.h));
        const QImage expected = expectedBlur(source, source.rect(), c.w, c.h, radii);
        for (const int threads : {1, 2, 3, 8, 13})
            EXPECT_EQ(blurred(source, source.rect(), c.w, c.h, radii, threads), expected)
                << c.w << "x" << c.h << " sigma " << c.sigma << " on " << threads << " threads";
    }
}

TEST(ShadowBlur, AreaBeyondThePartCountsAsTransparent) {
    // The part lies inside a larger source; the blurred area reaches past it to the right and below.
    const QImage source = randomAlpha(90, 260, 7);
    const QRect part(11, 5, 40, 200);
    const std::array<int, 3> radii = kx::shadowBoxRadii(4);
    const QImage expected = expectedBlur(source, part, 70, 240, radii);
    for (const int threads : {1, 4, 7})
        EXPECT_EQ(blurred(source, part, 70, 240, radii, threads), expected) << threads << " threads";
}

TEST(ShadowBlur, SeveralCallersAtOnceEachGetTheirOwnShadow) {
    // Callers on several threads share the working memory and the blur's threads.
    struct Job {
        QImage source, expected, result;
        std::array<int, 3> radii;
    };
    std::vector<Job> jobs;
    for (int k = 0; k < 4; ++k) {
        Job job;
        job.source = randomAlpha(60 + 17 * k, 45 - 5 * k, unsigned(k));
        job.radii = kx::shadowBoxRadii(1 + 4 * k);
        job.expected = expectedBlur(job.source, job.source.rect(), job.source.width(), job.source.height(), job.radii);
        jobs.push_back(job);
    }
    std::vector<std::thread> callers;
    for (Job& job : jobs)
        callers.emplace_back([&job] {
            for (int round = 0; round < 3; ++round) {
                QImage shadow(job.source.size(), kFormat);
                if (!kx::blurShadow(job.source, job.source.rect(), shadow.width(), shadow.height(), job.radii, kColor,
                                    shadow, 3))
                    return;
                job.result = shadow;
            }
        });
    for (std::thread& t : callers)
        t.join();
    for (const Job& job : jobs)
        EXPECT_EQ(job.result, job.expected);
}

}  // namespace
