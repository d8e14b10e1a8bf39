#include "graphics/bitmap_contexts.h"

#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <limits>

TEST(BitmapContexts, SizeIsRoundedUpWithRowsOfFourBytesPerPixel) {
    BitmapContextRef ctx = createBitmapContext(10.2, 5.5);
    ASSERT_TRUE(ctx);
    EXPECT_EQ(ctx->width(), 11);
    EXPECT_EQ(ctx->height(), 6);
    EXPECT_EQ(ctx->bytesPerRow(), 44);
    releaseBitmapContext(ctx);
    EXPECT_FALSE(ctx);
    releaseBitmapContext(ctx);  // a null context is ignored
}

TEST(BitmapContexts, StartsTransparentWithAntialiasingAndSmoothImages) {
    BitmapContextRef ctx = createBitmapContext(8, 8);
    ASSERT_TRUE(ctx);
    for (int i = 0; i < 8 * 8 * 4; ++i)
        ASSERT_EQ(ctx->constData()[i], 0);
    EXPECT_EQ(ctx->interpolationQuality(), kx::InterpolationQuality::High);
    ctx->fillRect(kx::Rect(0.5, 0.5, 4, 4));
    const int edge = kxtest::pixelAtYUp(ctx->makeImage().qimage(), 0, 2).a;
    EXPECT_GT(edge, 0);
    EXPECT_LT(edge, 255);
}

TEST(BitmapContexts, RefusedSizes) {
    struct Case {
        double w, h;
        const char* message;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0, 10, ""},
        {10, -1, ""},
        {std::numeric_limits<double>::quiet_NaN(), 10, ""},
        {1e6, 1e6, "Context not created!\n"},          // beyond the pixel limit
        {4.0e9, 4.0e9, "Context not created!\n"},      // width x height x 4 overflows 32-bit arithmetic
        {inf, 10, "Context not created!\n"},
        {3e9, 1, "Context not created!\n"},            // wider than an int row can hold
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        BitmapContextRef ctx = createBitmapContext(c.w, c.h);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(ctx) << c.w << " x " << c.h;
        EXPECT_EQ(printed, c.message) << c.w << " x " << c.h;
    }
}
