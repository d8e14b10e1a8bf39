#include "model/background.h"

#include "background_fixture.h"
#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using kxtest::pixelAtYUp;
using kxtest::Rgba;

const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

class BackgroundDrawingTest : public kxtest::FillTest {};

QImage drawn(const KXBackground& fill, int w, int h, double zoom = 1, kx::Rect rect = kx::Rect()) {
    kx::BitmapContext context(w, h);
    fill.drawInContext(context, rect.isEmpty() ? kx::Rect(0, 0, w, h) : rect, zoom);
    return context.makeImage().qimage();
}

std::shared_ptr<KXBackground> twoColourGradient(double angle) {
    auto fill = std::make_shared<KXBackground>();
    fill->setColorType(KXColorTypeGradient);
    fill->setColor1(kx::Color::srgb(1, 0, 0, 1));
    fill->setColor2(kx::Color::srgb(0, 0, 1, 1));
    fill->setFillAngle(angle);
    return fill;
}

TEST_F(BackgroundDrawingTest, EndPoints) {
    KXBackground fill;
    const kx::Rect wide(0, 0, 200, 100);
    const auto near = [](kx::Point a, kx::Point b) { return std::fabs(a.x - b.x) < 1e-3 && std::fabs(a.y - b.y) < 1e-3; };
    EXPECT_TRUE(near(fill.endPointOfRect(wide, 0), {200, 50}));
    EXPECT_TRUE(near(fill.endPointOfRect(wide, 90), {100, 0}));
    EXPECT_TRUE(near(fill.endPointOfRect(wide, 180), {0, 50}));
    EXPECT_TRUE(near(fill.endPointOfRect(wide, 270), {100, 100}));
    EXPECT_TRUE(near(fill.endPointOfRect(kx::Rect(0, 0, 100, 100), 45), {100, 0}));
    // Past the diagonal the ray leaves through the bottom edge.
    const kx::Point steep = fill.endPointOfRect(wide, 60);
    EXPECT_NEAR(steep.y, 0, 1e-9);
    EXPECT_NEAR(steep.x, 100 + 50 / std::tan(kPi / 3), 1e-3);
    // Angles are read modulo 360: -90 is 270, 450 is 90, 725 is 5 (out through the right edge), -1e9 is 80
    // (out through the top edge).
    const struct {
        double angle;
        kx::Point end;
    } wrapped[] = {{-90.0, {100, 100}},
                   {450.0, {100, 0}},
                   {725.0, {200, 50 - 100 * std::tan(5 * kPi / 180)}},
                   {-1e9, {100 + 50 / std::tan(80 * kPi / 180), 0}}};
    for (const auto& c : wrapped)
        EXPECT_TRUE(near(fill.endPointOfRect(wide, c.angle), c.end)) << c.angle;
    EXPECT_TRUE(near(fill.endPointOfRect(wide, std::nan("")), {200, 50}));
    EXPECT_TRUE(near(fill.endPointOfRect(wide, 360), fill.endPointOfRect(wide, 0)));
}

TEST_F(BackgroundDrawingTest, SolidColourFillsTheRectangleOnly) {
    KXBackground fill;
    fill.setColor1(kx::Color::srgb(0, 1, 0, 1));
    const QImage image = drawn(fill, 40, 40, 1, kx::Rect(10, 5, 20, 10));
    EXPECT_EQ(pixelAtYUp(image, 15, 8), kGreen);
    EXPECT_EQ(pixelAtYUp(image, 5, 8).a, 0);
    EXPECT_EQ(pixelAtYUp(image, 15, 20).a, 0);
}

TEST_F(BackgroundDrawingTest, TwoColourGradientDirection) {
    struct Case {
        double angle;
        kx::Point redCorner, blueCorner;  // where each colour is strongest, in a 100 × 100 y-up area
    };
    const Case cases[] = {
        {0, {1, 50}, {98, 50}},
        {45, {1, 98}, {98, 1}},
        {90, {50, 98}, {50, 1}},
        {180, {98, 50}, {1, 50}},
        {270, {50, 1}, {50, 98}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        const QImage image = drawn(*twoColourGradient(c.angle), 100, 100);
        const Rgba red = pixelAtYUp(image, int(c.redCorner.x), int(c.redCorner.y));
        const Rgba blue = pixelAtYUp(image, int(c.blueCorner.x), int(c.blueCorner.y));
        EXPECT_GT(red.r, 240);
        EXPECT_LT(red.b, 15);
        EXPECT_GT(blue.b, 240);
        EXPECT_LT(blue.r, 15);
        EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 50), (Rgba{127, 0, 127, 255}), 4);
    }
    // At 45 degrees the other two corners lie on the middle line.
    const QImage diagonal = drawn(*twoColourGradient(45), 100, 100);
    EXPECT_COLOR_NEAR(pixelAtYUp(diagonal, 98, 98), (Rgba{127, 0, 127, 255}), 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(diagonal, 1, 1), (Rgba{127, 0, 127, 255}), 6);
}

std::shared_ptr<KXBackground> threeStopGradient(std::int32_t gradientType) {
    auto fill = std::make_shared<KXBackground>();
    fill->setColorType(KXColorTypeAdvancedGradient);
    fill->setGradientType(gradientType);
    fill->setAdGradientColorArray({kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 1, 0, 1), kx::Color::srgb(0, 0, 1, 1)});
    fill->setLocationsArray({0, 0.5, 1, 0, 0, 0, 0, 0});
    return fill;
}

TEST_F(BackgroundDrawingTest, RadialMultiStopGradient) {
    const QImage image = drawn(*threeStopGradient(KXGradientTypeRadial), 100, 100);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 50), kRed, 8);
    // Half-way to the corner (the end radius is the half diagonal).
    const int half = int(50 + 70.71 / 2 / std::sqrt(2.0));
    EXPECT_COLOR_NEAR(pixelAtYUp(image, half, half), kGreen, 12);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 99, 99), kBlue, 12);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 0, 0), kBlue, 12);
    // Round: equal distances from the centre give equal colours.
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 79, 49), pixelAtYUp(image, 49, 20), 2);
}

TEST_F(BackgroundDrawingTest, LinearMultiStopGradientAndTheShapes) {
    const QImage linear = drawn(*threeStopGradient(KXGradientTypeLinear), 100, 20);
    EXPECT_COLOR_NEAR(pixelAtYUp(linear, 0, 10), kRed, 8);
    EXPECT_COLOR_NEAR(pixelAtYUp(linear, 50, 10), kGreen, 8);
    EXPECT_COLOR_NEAR(pixelAtYUp(linear, 99, 10), kBlue, 8);
    // An unknown gradient shape draws nothing.
    const QImage none = drawn(*threeStopGradient(7), 40, 40);
    EXPECT_EQ(pixelAtYUp(none, 20, 20).a, 0);
    // The radial shape belongs to the multi-stop gradient only: the two-colour gradient stays linear.
    auto twoColour = twoColourGradient(0);
    twoColour->setGradientType(KXGradientTypeRadial);
    EXPECT_EQ(kxtest::maxChannelDifference(drawn(*twoColour, 60, 60), drawn(*twoColourGradient(0), 60, 60)), 0);
}

std::shared_ptr<KXBackground> imageFill(const QString& path, std::int32_t imageType, double scale = 1) {
    auto fill = std::make_shared<KXBackground>();
    fill->setFillType(KXFillTypeImage);
    fill->setImageType(imageType);
    fill->setImageScale(scale);
    fill->setImagePath(path);
    return fill;
}

TEST_F(BackgroundDrawingTest, TilesRepeatAtTheZoomedTileSize) {
    const auto fill = imageFill(res->quadrants, KXImageTypeTile);
    ASSERT_FALSE(fill->renderTexture().isNull());
    for (int zoom : {1, 2}) {
        SCOPED_TRACE(zoom);
        const QImage image = drawn(*fill, 47, 47, zoom);
        const int tile = 10 * zoom, quarter = tile / 4;
        // The first tile sits at the bottom-left corner, upright.
        EXPECT_COLOR_NEAR(pixelAtYUp(image, quarter, quarter), kBlue, 6);
        EXPECT_COLOR_NEAR(pixelAtYUp(image, quarter, tile - quarter), kRed, 6);
        EXPECT_COLOR_NEAR(pixelAtYUp(image, tile - quarter, tile - quarter), kGreen, 6);
        for (int x = 0; x + tile < 47; x += 3)
            for (int y = 0; y + tile < 47; y += 3) {
                ASSERT_EQ(pixelAtYUp(image, x, y), pixelAtYUp(image, x + tile, y)) << x << "," << y;
                ASSERT_EQ(pixelAtYUp(image, x, y), pixelAtYUp(image, x, y + tile)) << x << "," << y;
            }
    }
    // The scale enlarges the tile itself.
    const auto doubled = imageFill(res->quadrants, KXImageTypeTile, 2);
    EXPECT_EQ(doubled->renderTexture().width(), 20);
    const QImage image = drawn(*doubled, 47, 47, 1);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 5, 15), kRed, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 25, 5), kBlue, 6);
}

TEST_F(BackgroundDrawingTest, ATileOfLessThanAPixelIsNotTiled) {
    const auto fill = imageFill(res->quadrants, KXImageTypeTile);
    // Drawn once, at the origin, not repeated over the area: at most the pixel at the origin shows it.
    const QImage image = drawn(*fill, 2000, 2000, 0.001);
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += kxtest::pixelAt(image, x, y).a != 0;
    EXPECT_LE(covered, 1);
    EXPECT_EQ(pixelAtYUp(image, 1000, 1000).a, 0);
    // Nor is a tile at a zoom that is not a number drawn at all.
    const QImage nan = drawn(*fill, 20, 20, std::nan(""));
    EXPECT_EQ(pixelAtYUp(nan, 10, 10).a, 0);
}

TEST_F(BackgroundDrawingTest, StretchAndStretchCrop) {
    const QImage stretched = drawn(*imageFill(res->bands, KXImageTypeStretch), 80, 30);
    EXPECT_COLOR_NEAR(pixelAtYUp(stretched, 2, 15), kRed, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(stretched, 40, 15), kGreen, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(stretched, 78, 28), kBlue, 6);

    // Covering a square keeps the aspect and the centre: only the green middle band shows.
    const QImage cropped = drawn(*imageFill(res->bands, KXImageTypeStretchCrop), 20, 20);
    for (int x : {0, 10, 19})
        for (int y : {0, 10, 19})
            EXPECT_COLOR_NEAR(pixelAtYUp(cropped, x, y), kGreen, 6) << x << "," << y;
    // Covering a wide area crops top and bottom: all three bands show, in place.
    const QImage wide = drawn(*imageFill(res->bands, KXImageTypeStretchCrop), 80, 10, 1, kx::Rect(0, 0, 80, 10));
    EXPECT_COLOR_NEAR(pixelAtYUp(wide, 10, 5), kRed, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(wide, 40, 5), kGreen, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(wide, 70, 5), kBlue, 6);

    // An unknown placement draws nothing.
    const QImage none = drawn(*imageFill(res->bands, 9), 20, 20);
    EXPECT_EQ(pixelAtYUp(none, 10, 10).a, 0);
}

TEST_F(BackgroundDrawingTest, CustomImageFill) {
    KXBackground fill;
    fill.setFillType(KXFillTypeCustomImage);
    fill.setImageType(KXImageTypeStretch);
    fill.setCustomImagePath(res->quadrants);
    const QImage image = drawn(fill, 40, 40);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 5, 35), kRed, 6);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 35, 5), kWhite, 6);
    // Fill types beyond the table act as the custom image.
    fill.setFillType(5);
    EXPECT_EQ(kxtest::maxChannelDifference(drawn(fill, 40, 40), image), 0);
    // A missing image draws nothing and reports nothing.
    fill.setCustomImagePath(res->resources + QStringLiteral("/missing.png"));
    EXPECT_EQ(pixelAtYUp(drawn(fill, 40, 40), 20, 20).a, 0);
}

TEST_F(BackgroundDrawingTest, TheTileTextureFollowsTheKindOfFill) {
    const auto fill = imageFill(res->quadrants, KXImageTypeTile);
    EXPECT_FALSE(fill->renderTexture().isNull());
    fill->setImageType(KXImageTypeStretch);
    EXPECT_TRUE(fill->renderTexture().isNull());
    // Stretching draws the image, not a left-over tile.
    const QImage image = drawn(*fill, 40, 40);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 5, 35), kRed, 6);
    fill->setImageType(KXImageTypeTile);
    EXPECT_FALSE(fill->renderTexture().isNull());
    fill->setFillType(KXFillTypeColor);
    EXPECT_TRUE(fill->renderTexture().isNull());
    fill->setFillType(KXFillTypeImage);
    fill->setImageScale(std::nan(""));
    EXPECT_TRUE(fill->renderTexture().isNull());
    fill->setImageScale(-1);
    EXPECT_TRUE(fill->renderTexture().isNull());
}

}  // namespace
