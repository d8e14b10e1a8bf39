#include "photo_test_support.h"

#include "model/background.h"
#include "model/shadow.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using kxtest::pixelAtYUp;
using kxtest::Rgba;

namespace {

constexpr Rgba kWhite{255, 255, 255, 255};

class CanvasOutputTest : public kxtest::PhotoResourcesTest {
protected:
    void SetUp() override {
        kxtest::PhotoResourcesTest::SetUp();
        // The reflection mask: opaque at the top of the band, fading to nothing at its bottom.
        QImage mask(16, 256, QImage::Format_Grayscale8);
        for (int y = 0; y < 256; ++y)
            std::fill_n(mask.scanLine(y), 16, uchar(255 - y));
        ASSERT_TRUE(mask.save(res + QStringLiteral("/reflectionMask.png")));
    }

    // A filled rectangle shape (no photo, no text) at a frame in page pixels.
    static std::shared_ptr<KXShape> filledShape(KXCanvas& page, const kx::Rect& frame,
                                                kx::Color color = kx::Color::srgb(1, 0, 0, 1)) {
        auto shape = photoShape(page, frame);
        shape->setPhoto(nullptr);
        shape->setFillEnabled(true);
        shape->background()->setColor1(color);
        shape->updatePath();
        return shape;
    }
    // A border of that width in preview points, relative to the page.
    static void relativeWidth(KXShape& shape, double points) {
        const kx::Size preview = shape.canvas()->previewSize();
        shape.stroke()->setType(KXStrokeWidthRelative);
        shape.stroke()->setWidth(points * 100 / std::min(preview.width, preview.height));
    }
};

TEST_F(CanvasOutputTest, OutputSizeIsTheFittedSizeAndRefusedSizesGiveNoImage) {
    auto page = pageOfSize(3000, 2000);
    struct Case {
        double width, height;
        int expectedWidth, expectedHeight;  // 0: no image
    };
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {600, 600, 600, 400}, {600, 100, 150, 100}, {3000, 2000, 3000, 2000}, {301, 1000, 301, 201},
        {0, 600, 0, 0},       {600, -1, 0, 0},      {nan, 600, 0, 0},         {600, inf, 0, 0},
        {1e6, 1e6, 0, 0},     {0.2, 0.2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const kx::Image image = page->outputImageWithSize({c.width, c.height});
        EXPECT_EQ(image.width(), c.expectedWidth);
        EXPECT_EQ(image.height(), c.expectedHeight);
        // Into a caller's context a refused size draws nothing.
        kx::BitmapContext context(20, 20);
        page->drawOutputImageInContext(context, kx::Size{c.width, c.height});
        if (c.expectedWidth == 0)
            EXPECT_EQ(pixelAtYUp(context.makeImage().qimage(), 5, 5), Rgba{});
    }
    EXPECT_EQ(page->previewSize(), kx::Size(3000, 2000));
    EXPECT_EQ(page->zoomValue(), 1.0);
}

TEST_F(CanvasOutputTest, RenderLeavesTheLivePageAndItsUndoStepsAsTheyWere) {
    auto page = pageOfSize(400, 300);
    page->zoomToFitSize({200, 200});
    auto shape = filledShape(*page, {100, 100, 100, 50});
    shape->setReflectionEnabled(true);
    shape->setShadowEnabled(true);
    page->undoManager().removeAllActions();
    // One step of the user's: the opacity from 1 to 0.5.
    page->undoManager().beginUndoGrouping();
    shape->setOpacity(0.5);
    page->undoManager().endUndoGrouping();
    const kx::BezierPath path = shape->path();
    const kx::Size preview = page->previewSize();
    const double zoom = page->zoomValue();

    const kx::Image image = page->outputImageWithSize({2000, 2000});
    EXPECT_EQ(image.width(), 2000);
    kx::BitmapContext context(100, 100);
    page->drawOutputImageInContext(context, kx::Size{100, 100});

    EXPECT_EQ(page->previewSize(), preview);
    EXPECT_EQ(page->zoomValue(), zoom);
    EXPECT_EQ(shape->path(), path);
    EXPECT_EQ(shape->opacity(), 0.5);
    EXPECT_EQ(page->renderIntent(), KXRenderIntentPreview);
    EXPECT_TRUE(page->undoManager().isUndoRegistrationEnabled());
    // Undoing once takes back the user's step, and nothing is left after it.
    ASSERT_TRUE(page->undoManager().canUndo());
    page->undoManager().undo();
    EXPECT_EQ(shape->opacity(), 1.0);
    EXPECT_FALSE(page->undoManager().canUndo());
}

TEST_F(CanvasOutputTest, OutputCopyRestoresItsOwnSizeZoomAndPathsAfterEachRender) {
    auto page = pageOfSize(400, 300);
    page->zoomToFitSize({200, 200});
    auto shape = filledShape(*page, {100, 100, 100, 50});
    auto copy = page->outputCopy();
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isOutputCopy());
    EXPECT_FALSE(page->isOutputCopy());
    auto* copied = dynamic_cast<KXShape*>(copy->graphs().at(0).get());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->canvas(), copy.get());
    EXPECT_EQ(copied->frameRect(), shape->frameRect());
    EXPECT_FALSE(copy->outputImageWithSize({800, 800}).isNull());
    EXPECT_EQ(copy->previewSize(), page->previewSize());
    EXPECT_EQ(copy->zoomValue(), page->zoomValue());
    EXPECT_EQ(copied->path(), shape->path());
    EXPECT_EQ(copy->renderIntent(), KXRenderIntentPreview);

    // A page never fitted has no preview size; it gets back its own zoom rather than the output's.
    auto unfitted = std::make_shared<KXCanvas>();
    auto plain = unfitted->outputCopy();
    EXPECT_FALSE(plain->outputImageWithSize({80, 60}).isNull());
    EXPECT_EQ(plain->previewSize(), kx::Size());
    EXPECT_EQ(plain->zoomValue(), 1.0);
}

TEST_F(CanvasOutputTest, MarginsOfAClippingPageRenderWhite) {
    auto page = pageOfSize(100, 100);
    page->setMarginRect({20, 20, 60, 60});
    page->setClipMargin(true);
    page->background()->setColor1(kx::Color::srgb(0, 0, 1, 1));
    // A shape reaching over the margin is cut at it too.
    filledShape(*page, {0, 40, 100, 20});
    const QImage image = page->outputImageWithSize({200, 200}).qimage();
    ASSERT_EQ(image.width(), 200);
    EXPECT_EQ(pixelAtYUp(image, 10, 10), kWhite);
    EXPECT_EQ(pixelAtYUp(image, 190, 100), kWhite);  // the shape's end outside the margin
    EXPECT_EQ(pixelAtYUp(image, 10, 100), kWhite);
    EXPECT_EQ(pixelAtYUp(image, 100, 60), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixelAtYUp(image, 100, 100), (Rgba{255, 0, 0, 255}));
}

TEST_F(CanvasOutputTest, HalfOpaqueGraphIsBlendedOnceAsAWhole) {
    auto page = pageOfSize(100, 100);
    auto shape = filledShape(*page, {20, 20, 60, 60});
    // A thick blue border over the red fill: drawn part by part at half alpha it would show the fill
    // through the border.
    shape->setStrokeEnabled(true);
    relativeWidth(*shape, 10);
    shape->stroke()->setColor(kx::Color::srgb(0, 0, 1, 1));
    const QImage opaque = page->outputImageWithSize({100, 100}).qimage();
    int border = -1;
    for (int x = 20; x < 30 && border < 0; ++x) {
        if (pixelAtYUp(opaque, x, 50) == (Rgba{0, 0, 255, 255}))
            border = x;
    }
    ASSERT_GE(border, 0) << "no pure border pixel to probe";
    shape->setOpacity(0.5);
    const QImage image = page->outputImageWithSize({100, 100}).qimage();
    EXPECT_COLOR_NEAR(pixelAtYUp(image, border, 50), (Rgba{127, 127, 255, 255}), 3);  // border over white
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 50), (Rgba{255, 127, 127, 255}), 3);      // fill over white
    EXPECT_EQ(pixelAtYUp(image, 10, 50), kWhite);
}

TEST_F(CanvasOutputTest, ShadowIsCastOnceByTheWholeGraph) {
    for (const double opacity : {1.0, 0.999}) {
        SCOPED_TRACE(opacity);
        auto page = pageOfSize(100, 100);
        auto shape = filledShape(*page, {20, 20, 40, 40});
        shape->setStrokeEnabled(true);
        relativeWidth(*shape, 10);
        shape->setOpacity(opacity);
        // Straight right by 20 points (200 hundredths of a tenth of the shorter side), no blur, black at
        // half alpha.
        shape->setShadowEnabled(true);
        shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        shape->shadow()->setBlur(0);
        shape->shadow()->setAngle(0);
        shape->shadow()->setOffset(200);
        const QImage image = page->outputImageWithSize({100, 100}).qimage();
        // Where fill and border overlap, a shadow per part would darken twice (64 instead of 128).
        EXPECT_COLOR_NEAR(pixelAtYUp(image, 78, 40), (Rgba{128, 128, 128, 255}), 3);
        EXPECT_EQ(pixelAtYUp(image, 90, 40), kWhite);
    }
}

TEST_F(CanvasOutputTest, ShadowedPhotosComeOutAlikeWhicheverThreadDrawsTheirImages) {
    // A fully opaque shadowed photo has its image drawn on another thread while the page draws; one a hair
    // short of opaque has it drawn by the render itself. Photos large enough to need a larger decode than
    // the one shown, framed, masked or plain: the two pages come out alike.
    const QString photoPath = kxtest::writeImage(dir.filePath(QStringLiteral("photo.jpg")), 1600, 1200);
    const QString frames = res + QStringLiteral("/Frame/Simple/");
    auto pageWithOpacity = [&](double opacity) {
        auto page = pageOfSize(400, 300);
        for (int i = 0; i < 3; ++i) {
            auto shape = photoShape(*page, {10.0 + 130 * i, 60, 120, 180});
            shape->photo()->setImagePath(photoPath);
            if (i == 0)
                shape->photo()->setFrame(KXFrame::frameWithName(frames + QStringLiteral("masked.png")));
            if (i == 1)
                shape->photo()->setMaskName(res + QStringLiteral("/Mask/Shapes/half.png"));
            shape->setAngle(0.1 * (i - 1));
            shape->setOpacity(opacity);
            shape->setShadowEnabled(true);
            shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        }
        return page;
    };
    const QImage worker = pageWithOpacity(1)->outputImageWithSize({1600, 1200}).qimage();
    const QImage alone = pageWithOpacity(0.999)->outputImageWithSize({1600, 1200}).qimage();
    ASSERT_EQ(worker.size(), QSize(1600, 1200));
    ASSERT_EQ(alone.size(), worker.size());
    int differing = 0;
    for (int y = 0; y < worker.height(); y += 3) {
        for (int x = 0; x < worker.width(); x += 3) {
            const Rgba a = pixelAtYUp(worker, x, y), b = pixelAtYUp(alone, x, y);
            ASSERT_NEAR(a.r, b.r, 2) << x << ", " << y;
            ASSERT_NEAR(a.g, b.g, 2) << x << ", " << y;
            ASSERT_NEAR(a.b, b.b, 2) << x << ", " << y;
            differing += a.r != 255 || a.g != 255 || a.b != 255;
        }
    }
    EXPECT_GT(differing, 50000);  // the photos and their shadows are there
}

struct GapCase {
    double pagePixels, outputSize;  // zoom = output / page
    kx::Rect frame;                 // page pixels
    double angleDegrees;
    int bandTop, bandBottom;  // output rows (y up) of the band's top and bottom rows
};

TEST_F(CanvasOutputTest, ReflectionBandLiesAGapBelowTheGraph) {
    const GapCase cases[] = {
        // Zoom 2.4: frame (60, 120, 120, 60); gap 2; band 21 high from 97 to 118.
        {100, 240, {25, 50, 50, 25}, 0, 117, 97},
        // Zoom 0.3: frame (75, 150, 150, 60); gap 1; band 21 high from 128 to 149.
        {1000, 300, {250, 500, 500, 200}, 0, 148, 128},
        // Zoom 1, turned a quarter: the turned box is 40 wide and 100 high, from y 20; band 35 from -16.
        {200, 200, {50, 50, 100, 40}, 90, 18, 0},
    };
    for (const GapCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << c.outputSize / c.pagePixels << " angle " << c.angleDegrees);
        auto page = pageOfSize(c.pagePixels, c.pagePixels);
        auto shape = filledShape(*page, c.frame);
        shape->setAngle(c.angleDegrees * std::numbers::pi / 180);
        shape->setReflectionEnabled(true);
        shape->setReflectionAlpha(1);
        const QImage image = page->outputImageWithSize({c.outputSize, c.outputSize}).qimage();
        const int x = int(c.outputSize / 2);
        // The gap row right under the graph stays white; the band's top row shows nearly the whole red.
        EXPECT_EQ(pixelAtYUp(image, x, c.bandTop + 1), kWhite);
        const Rgba top = pixelAtYUp(image, x, c.bandTop);
        EXPECT_EQ(top.r, 255);
        EXPECT_LT(top.g, 20);
        // Fading down the band; below it white again.
        EXPECT_GT(pixelAtYUp(image, x, c.bandBottom).g, top.g + 50);
        if (c.bandBottom > 0)
            EXPECT_EQ(pixelAtYUp(image, x, c.bandBottom - 1), kWhite);
    }
}

TEST_F(CanvasOutputTest, ReflectionTakesTheGraphsOpacityTimesTheReflectionAlpha) {
    auto page = pageOfSize(100, 100);
    auto shape = filledShape(*page, {25, 50, 50, 40});
    shape->setReflectionEnabled(true);
    shape->setReflectionAlpha(0.5);
    shape->setOpacity(0.5);
    const QImage image = page->outputImageWithSize({100, 100}).qimage();
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 70), (Rgba{255, 127, 127, 255}), 3);
    // Band of 14 from 35 to 49, gap 1: its top row at about a quarter of red.
    EXPECT_EQ(pixelAtYUp(image, 50, 49), kWhite);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 48), (Rgba{255, 191, 191, 255}), 6);
}

TEST_F(CanvasOutputTest, ReflectionOfAShapeWithoutOutlineDrawsNothing) {
    auto page = pageOfSize(100, 100);
    auto shape = filledShape(*page, {25, 50, 50, 40});
    shape->setShapeType(99);  // no outline for this type
    shape->setPath({});
    shape->setReflectionEnabled(true);
    const QImage image = page->outputImageWithSize({100, 100}).qimage();
    for (int y = 0; y < 50; ++y)
        ASSERT_EQ(pixelAtYUp(image, 50, y), kWhite) << y;
}

}  // namespace

namespace {

TEST_F(CanvasOutputTest, TurnedAndFlippedGroupDrawsItsChildrenTurnedAndFlipped) {
    auto page = pageOfSize(200, 200);
    // A wide red bar and a blue square; their group spans (40, 60)-(160, 140), centred on (100, 100).
    auto bar = filledShape(*page, {40, 120, 40, 20});
    auto square = filledShape(*page, {120, 60, 40, 40}, kx::Color::srgb(0, 0, 1, 1));
    auto group = page->groupGraphs({bar, square});
    ASSERT_TRUE(group);
    group->setFlipX(-1);
    group->setAngle(std::numbers::pi / 2);
    // Mirrored across the group's vertical middle, then turned a quarter anticlockwise about its centre:
    // the bar stands upright over x 60..80, y 120..160, the square lies over x 100..140, y 40..80.
    const QImage image = page->outputImageWithSize({200, 200}).qimage();
    ASSERT_EQ(image.width(), 200);
    constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};
    struct Probe {
        int x, y;
        Rgba colour;
    } probes[] = {
        {70, 125, kRed}, {70, 155, kRed},  // the bar is upright: tall ...
        {55, 140, kWhite}, {85, 140, kWhite},  // ... and narrow
        {120, 60, kBlue}, {105, 45, kBlue}, {135, 75, kBlue},
        // Where the children would be unturned, or turned without the mirror.
        {45, 130, kWhite}, {150, 90, kWhite}, {70, 60, kWhite}, {120, 140, kWhite},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(pixelAtYUp(image, p.x, p.y), p.colour) << p.x << ", " << p.y;
    // The render leaves the group as it was.
    EXPECT_EQ(group->flipX(), -1);
    EXPECT_DOUBLE_EQ(group->angle(), std::numbers::pi / 2);
}

TEST_F(CanvasOutputTest, GraphFarLargerThanTheOutputIsDrawnDirectlyAtItsOpacity) {
    auto page = pageOfSize(100, 100);
    // 300 times the page's width and height: its own image would hold 9e8 pixels for 1e4 visible ones.
    auto shape = filledShape(*page, {-15000, -15000, 30000, 30000});
    shape->setOpacity(0.5);
    shape->setReflectionEnabled(true);
    const QImage image = page->outputImageWithSize({100, 100}).qimage();
    ASSERT_EQ(image.width(), 100);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 50), (Rgba{255, 127, 127, 255}), 3);
}

}  // namespace
