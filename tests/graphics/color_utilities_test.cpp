#include "graphics/color_utilities.h"

#include "platform/gfx/image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using kx::Color;
using kx::ColorSpace;

TEST(PackedRGBA, LayoutAndSign) {
    EXPECT_EQ(rgbaFromCGColor(Color::srgb(1, 0, 0, 1)), 0x0000FFFF);
    EXPECT_EQ(rgbaFromCGColor(Color::srgb(1, 1, 1, 1)), -1);
    const KXPackedRGBA v = makeRGBA(113, 185, 255, 255);
    const auto u = static_cast<std::uint32_t>(v);
    EXPECT_EQ(u >> 24, 255u);
    EXPECT_EQ((u >> 16) & 0xFF, 185u);
    EXPECT_EQ((u >> 8) & 0xFF, 113u);
    EXPECT_EQ(u & 0xFF, 255u);
    EXPECT_LT(v, 0);
}

TEST(PackedRGBA, ComponentsAreTruncated) {
    EXPECT_EQ(rgbaFromCGColor(Color::srgb(0, 0, 0, 0.999)), 254);
    EXPECT_EQ(rgbaFromCGColor(Color::srgb(0.5, 0, 0, 0)), 127 << 8);
}

TEST(PackedRGBA, UnpackingGivesSRGBColours) {
    const Color white = cgColorFromRGBA(-1);
    EXPECT_EQ(white, Color::srgb(1, 1, 1, 1));
    EXPECT_EQ(cgColorFromRGBA(0), Color::srgb(0, 0, 0, 0));
    const Color c = nsColorFromRGBA(makeRGBA(10, 20, 30, 40));
    EXPECT_EQ(c.colorSpace(), ColorSpace::SRGB);
    EXPECT_FLOAT_EQ(float(c.red()), 10.0f / 255.0f);
    EXPECT_FLOAT_EQ(float(c.alpha()), 40.0f / 255.0f);
}

TEST(PackedRGBA, EveryByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const KXPackedRGBA packed = makeRGBA(b, 255 - b, b / 2, b);
        ASSERT_EQ(rgbaFromCGColor(cgColorFromRGBA(packed)), packed) << b;
        ASSERT_EQ(rgbaFromNSColor(nsColorFromRGBA(packed)), packed) << b;
    }
}

TEST(PackedRGBA, PackingThenUnpackingNeverRaisesAComponent) {
    for (int i = 0; i <= 1000; ++i) {
        const double c = i / 1000.0;
        const Color back = cgColorFromRGBA(rgbaFromCGColor(Color::srgb(c, c, c, c)));
        // Unpacking divides in single precision, so allow its rounding, but never a step upward.
        ASSERT_LE(back.red(), c + 1e-7) << c;
        ASSERT_LE(back.alpha(), c + 1e-7) << c;
    }
}

TEST(PackedRGBA, OutOfRangeComponentsAreClamped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(rgbaFromCGColor(Color::srgb(2.0, -1.0, nan, 1e300)), makeRGBA(255, 0, 0, 255));
    EXPECT_EQ(makeRGBA(300, -5, 256, 1000), makeRGBA(255, 0, 255, 255));
}

TEST(PackedRGBA, NullPatternAndGreyColours) {
    EXPECT_EQ(rgbaFromCGColor(Color()), 0);
    EXPECT_EQ(rgbaFromCGColor(Color::pattern()), 0);
    EXPECT_EQ(rgbaFromNSColor(Color::pattern()), 0);
    EXPECT_EQ(rgbaFromCGColor(Color::gray(1.0, 1.0)), -1);
    EXPECT_EQ(rgbaFromNSColor(Color::gray(0.0, 0.5)), makeRGBA(0, 0, 0, 127));
}

TEST(PackedRGB, ReadsRedInTheLowByteAndIsOpaque) {
    EXPECT_EQ(cgColorFromRGB(0x0000FF), Color::srgb(1, 0, 0, 1));
    const Color c = cgColorFromRGB(static_cast<KXPackedRGB>(0x7F00FF00u));
    EXPECT_EQ(c.green(), 1.0);
    EXPECT_EQ(c.alpha(), 1.0);
    EXPECT_EQ(cgColorFromRGB(0x336699).blue(), 0x33 / 255.0);
}

TEST(ColourConversions, NullsAndSpaces) {
    EXPECT_TRUE(nsColorFromCGColor(Color()).isNull());
    EXPECT_TRUE(cgColorFromNSColor(Color()).isNull());
    EXPECT_TRUE(cgColorFromNSColor(Color::pattern()).isNull());
    const Color calibrated(ColorSpace::CalibratedRGB, {0.25, 0.5, 0.75, 1});
    const Color drawing = cgColorFromNSColor(calibrated);
    EXPECT_EQ(drawing.colorSpace(), ColorSpace::SRGB);
    EXPECT_EQ(drawing.component(2), 0.75);
    EXPECT_EQ(nsColorFromCGColor(Color::gray(0.5, 1)), Color::srgb(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(createSRGBColor(0.1, 0.2, 0.3, 0.4), Color::srgb(0.1, 0.2, 0.3, 0.4));
}

TEST(FirstPixelColor, ReadsTheTopLeftPixelPremultiplied) {
    QImage q(3, 2, QImage::Format_RGBA8888);
    q.fill(QColor(0, 0, 255, 255));
    q.setPixelColor(0, 0, QColor(255, 0, 0, 128));  // row 0 is the top row
    const Color c = firstPixelColor(kx::Image(q));
    EXPECT_NEAR(c.red(), 128 / 255.0, 1.0 / 255);  // premultiplied as stored, not un-premultiplied
    EXPECT_EQ(c.green(), 0);
    EXPECT_EQ(c.blue(), 0);
    EXPECT_EQ(c.alpha(), 128 / 255.0);
    EXPECT_TRUE(firstPixelColor(kx::Image()).isNull());
    const Color grey = firstPixelColor(kx::Image(QImage(1, 1, QImage::Format_Grayscale8)));
    EXPECT_FALSE(grey.isNull());
}
