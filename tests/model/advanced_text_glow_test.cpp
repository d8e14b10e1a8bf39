// The word-art glow looks the same at every size: drawn at a larger zoom, a larger font scale or a higher
// backing scale, and brought back to the size of the plain drawing, it covers as much and reaches as far,
// and it always fades out inside its bitmap rather than being cut off at an edge.
#include "page_test_support.h"
#include "text_test_support.h"

#include "graphics/color_utilities.h"
#include "platform/gfx/jpng.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kxtest;

namespace {

// Measures of the glow's alpha, in the pixels of the plain drawing (`scale` pixels of the image to one).
struct GlowMeasure {
    double coverage = 0;               // total alpha, in whole pixels
    double left = 0, right = 0;        // how far the visible glow reaches from the image's centre
    double top = 0, bottom = 0;
    int edgeAlpha = 0;                 // the largest alpha on the image's outermost pixels
};

GlowMeasure measure(const QImage& image, double scale) {
    constexpr int kVisible = 16;
    GlowMeasure m;
    int minX = image.width(), maxX = -1, minY = image.height(), maxY = -1;
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int a = pixelAt(image, x, y).a;
            sum += a;
            if (x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1)
                m.edgeAlpha = std::max(m.edgeAlpha, a);
            if (a > kVisible) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    m.coverage = sum / 255 / (scale * scale);
    const double cx = image.width() / 2.0, cy = image.height() / 2.0;
    m.left = (cx - minX) / scale;
    m.right = (maxX + 1 - cx) / scale;
    m.top = (cy - minY) / scale;
    m.bottom = (maxY + 1 - cy) / scale;
    return m;
}

struct Drawing {
    double zoom, fontScale, backingScale;
    double blur, radius = 50, outline = 0;  // glow blur and width; an outline (unseen) widens the glow
    Drawing plain() const { return {1, 1, 1, blur, radius, outline}; }
};

class AdvancedTextGlowTest : public ::testing::TestWithParam<Drawing> {
protected:
    void TearDown() override { kx::setMainScreenBackingScaleOverride(0); }

    // Only the glow: the glyphs and their outline are transparent.
    static QImage glow(const Drawing& d) {
        registerPageClasses();
        kx::setMainScreenBackingScaleOverride(d.backingScale);
        auto page = textPage(1600, 800);
        kx::TextAttributes attributes = dejaVu(60);
        attributes.foregroundColor = kx::Color::srgb(0, 0, 0, 0);
        auto shape = textShape(*page, {40, 40, 300 * d.fontScale, 120 * d.fontScale}, QStringLiteral("IIII"),
                               attributes);
        shape->setStrokeEnabled(false);
        page->zoomToFitSize({page->pixelSize().width * d.zoom, page->pixelSize().height * d.zoom});
        auto& text = *static_cast<KXAdvancedText*>(shape->text());
        text.setFontScale(d.fontScale);
        text.setGlowEnabled(true);
        text.setGlowBlur(d.blur);
        text.setGlowRadius(d.radius);
        text.setOutlineEnabled(d.outline > 0);
        text.setOutlineWidth(d.outline);
        text.setOutlineColorValue(makeRGBA(0, 0, 255, 0));
        text.setGlowColorValue(makeRGBA(255, 0, 0, 255));
        return text.image().qimage();
    }
};

TEST_P(AdvancedTextGlowTest, GlowKeepsItsShapeAtEverySize) {
    const Drawing d = GetParam();
    const GlowMeasure plain = measure(glow(d.plain()), 1);
    ASSERT_GT(plain.coverage, 1000);
    EXPECT_EQ(plain.edgeAlpha, 0);
    const double scale = d.zoom * d.fontScale * d.backingScale;
    const QImage image = glow(d);
    ASSERT_FALSE(image.isNull());
    const GlowMeasure large = measure(image, scale);
    EXPECT_EQ(large.edgeAlpha, 0) << "the glow is cut off at the bitmap's edge";
    EXPECT_NEAR(large.coverage, plain.coverage, plain.coverage * 0.05);
    EXPECT_NEAR(large.left, plain.left, 1.5);
    EXPECT_NEAR(large.right, plain.right, 1.5);
    EXPECT_NEAR(large.top, plain.top, 1.5);
    EXPECT_NEAR(large.bottom, plain.bottom, 1.5);
}

// A wide blur at a large zoom reaches well beyond the text; a wide glow stroke at a large font scale reaches
// beyond the text area. The glow blur follows the zoom but not the font scale (a larger text keeps the same
// soft edge), so the font scale is compared without blur.
INSTANTIATE_TEST_SUITE_P(Sizes, AdvancedTextGlowTest,
                         ::testing::Values(Drawing{4, 1, 1, 30}, Drawing{1, 1, 2, 10}, Drawing{2, 1, 2, 10},
                                           Drawing{1, 5, 1, 0, 200, 200}));

}  // namespace
