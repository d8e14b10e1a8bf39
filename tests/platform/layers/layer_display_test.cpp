#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_renderer.h"
#include "platform/layers/screen_scale.h"

#include "support/pixel_probe.h"

#include <gtest/gtest.h>

using namespace kx;
using kxtest::pixelAtYUp;
using kxtest::Rgba;

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kClear{0, 0, 0, 0};

// Fills a rectangle of its own coordinates with a colour and counts how often it is asked to draw.
class PaintingLayer : public Layer {
public:
    void drawInContext(BitmapContext& context) override {
        ++draws;
        context.setFillColor(color);
        context.fillRect(area);
    }
    int draws = 0;
    Color color = Color::srgb(1, 0, 0);
    Rect area = Rect(-1e4, -1e4, 2e4, 2e4);
};

std::shared_ptr<Layer> makeRoot() {
    auto root = std::make_shared<Layer>();
    root->setBounds(Rect(0, 0, 100, 100));
    root->setAnchorPoint(Point(0, 0));
    return root;
}

}  // namespace

TEST(LayerDisplay, DrawsOnlyAfterSetNeedsDisplayAndReusesTheContents) {
    auto root = makeRoot();
    auto layer = std::make_shared<PaintingLayer>();
    layer->setFrame(Rect(10, 10, 20, 20));
    root->addSublayer(layer);

    renderLayerTree(*root);
    EXPECT_EQ(layer->draws, 0);  // a new layer has nothing to draw until asked
    EXPECT_TRUE(layer->contents().isNull());

    layer->setNeedsDisplay();
    EXPECT_TRUE(layer->needsDisplay());
    QImage first = renderLayerTree(*root).qimage();
    EXPECT_EQ(layer->draws, 1);
    EXPECT_FALSE(layer->needsDisplay());
    EXPECT_EQ(pixelAtYUp(first, 15, 15), kRed);

    layer->color = Color::srgb(0, 0, 1);  // not marked: the cached contents stay
    QImage second = renderLayerTree(*root).qimage();
    EXPECT_EQ(layer->draws, 1);
    EXPECT_EQ(pixelAtYUp(second, 15, 15), kRed);

    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(layer->draws, 2);
    layer->displayIfNeeded();
    EXPECT_EQ(layer->draws, 2);
    EXPECT_EQ(pixelAtYUp(renderLayerTree(*root).qimage(), 15, 15), kBlue);
}

TEST(LayerDisplay, DrawsInTheLayersOwnYUpSpaceAtItsContentsScale) {
    auto layer = std::make_shared<PaintingLayer>();
    layer->setBounds(Rect(-10, -10, 20.3, 20));
    layer->setContentsScale(2);
    layer->area = Rect(-10, -10, 10, 10);  // the bottom-left quarter
    layer->display();
    const Image contents = layer->contents();
    ASSERT_EQ(contents.width(), 41);  // 20.3 x 2, rounded up
    ASSERT_EQ(contents.height(), 40);
    const QImage pixels = contents.qimage();
    EXPECT_EQ(pixelAtYUp(pixels, 1, 1), kRed);
    EXPECT_EQ(pixelAtYUp(pixels, 19, 19), kRed);
    EXPECT_EQ(pixelAtYUp(pixels, 20, 19), kClear);
    EXPECT_EQ(pixelAtYUp(pixels, 19, 20), kClear);
    EXPECT_EQ(pixelAtYUp(pixels, 30, 30), kClear);
}

TEST(LayerDisplay, PartialRedisplayKeepsTheRestOfTheContents) {
    auto layer = std::make_shared<PaintingLayer>();
    layer->setBounds(Rect(0, 0, 40, 20));
    layer->display();
    layer->color = Color::srgb(0, 0, 1);
    layer->setNeedsDisplayInRect(Rect(0, 0, 20, 20));
    layer->displayIfNeeded();
    const QImage pixels = layer->contents().qimage();
    EXPECT_EQ(pixelAtYUp(pixels, 5, 10), kBlue);
    EXPECT_EQ(pixelAtYUp(pixels, 35, 10), kRed);

    // A full mark after a partial one redraws everything.
    layer->color = Color::srgb(0, 1, 0);
    layer->setNeedsDisplayInRect(Rect(0, 0, 5, 5));
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(pixelAtYUp(layer->contents().qimage(), 35, 10), (Rgba{0, 255, 0, 255}));
}

TEST(LayerDisplay, PartialRedisplayClearsTheAreaBeforeDrawing) {
    auto layer = std::make_shared<PaintingLayer>();
    layer->setBounds(Rect(0, 0, 40, 20));
    layer->display();
    layer->area = Rect(30, 0, 10, 20);  // the drawing no longer covers the left part
    layer->setNeedsDisplayInRect(Rect(0, 0, 20, 20));
    layer->displayIfNeeded();
    EXPECT_EQ(pixelAtYUp(layer->contents().qimage(), 5, 10), kClear);
}

TEST(LayerDisplay, BoundsChangeRedisplaysOnlyWhenAskedTo) {
    auto layer = std::make_shared<PaintingLayer>();
    layer->setBounds(Rect(0, 0, 10, 10));
    layer->setBounds(Rect(0, 0, 20, 10));
    EXPECT_FALSE(layer->needsDisplay());
    layer->setNeedsDisplayOnBoundsChange(true);
    layer->setBounds(Rect(0, 0, 20, 10).offsetBy(5, 5));  // same size: nothing to redraw
    EXPECT_FALSE(layer->needsDisplay());
    layer->setFrame(Rect(0, 0, 30, 10));
    EXPECT_TRUE(layer->needsDisplay());
}

TEST(LayerDisplay, HiddenSubtreesAreNotDisplayedUntilShown) {
    auto root = makeRoot();
    auto group = std::make_shared<Layer>();
    auto layer = std::make_shared<PaintingLayer>();
    layer->setFrame(Rect(0, 0, 10, 10));
    group->addSublayer(layer);
    root->addSublayer(group);
    group->setHidden(true);
    layer->setNeedsDisplay();
    renderLayerTree(*root);
    EXPECT_EQ(layer->draws, 0);
    group->setHidden(false);
    renderLayerTree(*root);
    EXPECT_EQ(layer->draws, 1);
}

TEST(LayerDisplay, DisplayIfNeededLeavesSublayersAlone) {
    auto parent = std::make_shared<PaintingLayer>();
    auto child = std::make_shared<PaintingLayer>();
    parent->setBounds(Rect(0, 0, 10, 10));
    child->setBounds(Rect(0, 0, 10, 10));
    parent->addSublayer(child);
    parent->setNeedsDisplay();
    child->setNeedsDisplay();
    parent->displayIfNeeded();
    EXPECT_EQ(parent->draws, 1);
    EXPECT_EQ(child->draws, 0);
    EXPECT_TRUE(child->needsDisplay());
}

TEST(LayerDisplay, UnmakeableBackingGivesNoContents) {
    for (const Rect& bounds : {Rect(0, 0, 1e7, 1e7), Rect(0, 0, 0, 10), Rect(0, 0, 1e300, 1)}) {
        auto layer = std::make_shared<PaintingLayer>();
        layer->setContents(Image(QImage(2, 2, QImage::Format_RGBA8888_Premultiplied)));
        layer->setBounds(bounds);
        layer->display();
        EXPECT_TRUE(layer->contents().isNull()) << stringFromRect(bounds).toStdString();
        EXPECT_EQ(layer->draws, 0);
    }
}

TEST(LayerDisplay, SetContentsStretchesTheImageOverTheBounds) {
    QImage picture(2, 1, QImage::Format_RGBA8888_Premultiplied);
    picture.setPixelColor(0, 0, QColor(255, 0, 0));
    picture.setPixelColor(1, 0, QColor(0, 0, 255));
    auto root = makeRoot();
    auto layer = std::make_shared<Layer>();
    layer->setFrame(Rect(10, 10, 40, 20));
    layer->setContents(Image(picture));
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(pixelAtYUp(image, 12, 12), kRed);
    EXPECT_EQ(pixelAtYUp(image, 48, 28), kBlue);
    EXPECT_EQ(pixelAtYUp(image, 52, 20), kClear);
}

TEST(LayerDisplay, RenderingAtAScaleKeepsThePointSize) {
    auto root = makeRoot();
    root->setBounds(Rect(0, 0, 50, 30));
    auto layer = std::make_shared<Layer>();
    layer->setFrame(Rect(25, 0, 25, 30));
    layer->setBackgroundColor(Color::srgb(1, 0, 0));
    root->addSublayer(layer);
    const Image image = renderLayerTree(*root, 2);
    ASSERT_EQ(image.width(), 100);
    ASSERT_EQ(image.height(), 60);
    EXPECT_EQ(image.pointSize(), Size(50, 30));
    EXPECT_EQ(pixelAtYUp(image.qimage(), 49, 30), kClear);
    EXPECT_EQ(pixelAtYUp(image.qimage(), 50, 30), kRed);
    EXPECT_TRUE(renderLayerTree(*root, 0).isNull());
    EXPECT_TRUE(renderLayerTree(*std::make_shared<Layer>()).isNull());
}

TEST(LayerDisplay, TheOffscreenTestScreenHasAScaleOfOne) {
    EXPECT_EQ(mainScreenBackingScaleFactor(), 1.0);
}

TEST(LayerDisplay, OnlyThePaintedPartCountsForDrawingAndForTheVisualExtent) {
    auto root = makeRoot();
    auto layer = std::make_shared<PaintingLayer>();
    layer->area = Rect(30, 20, 10, 5);
    layer->setFrame(Rect(0, 0, 100, 60));
    root->addSublayer(layer);
    layer->setNeedsDisplay();
    EXPECT_EQ(layer->visualExtent(), Rect(0, 0, 100, 60));  // not displayed yet: the bounds
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(layer->visualExtent(), Rect(30, 20, 10, 5));
    EXPECT_EQ(pixelAtYUp(image, 30, 20), kRed);
    EXPECT_EQ(pixelAtYUp(image, 39, 24), kRed);
    EXPECT_EQ(pixelAtYUp(image, 40, 24), kClear);
    EXPECT_EQ(pixelAtYUp(image, 35, 25), kClear);
    // The full contents stay what the layer drew.
    EXPECT_EQ(layer->contents().width(), 100);
    // Moved by its bounds' origin, the painted part moves along.
    layer->setBounds(Rect(10, 0, 100, 60));
    EXPECT_EQ(layer->visualExtent(), Rect(40, 20, 10, 5));

    // At scale 2 the area is in points.
    auto sharp = std::make_shared<PaintingLayer>();
    sharp->area = Rect(1.5, 2, 3, 4);
    sharp->setContentsScale(2);
    sharp->setFrame(Rect(0, 0, 10, 10));
    root->addSublayer(sharp);
    sharp->setNeedsDisplay();
    renderLayerTree(*root);
    EXPECT_EQ(sharp->visualExtent(), Rect(1.5, 2, 3, 4));

    // Nothing painted: no extent of its own, nothing drawn; a background colour shows the whole bounds.
    auto blank = std::make_shared<PaintingLayer>();
    blank->area = Rect(500, 500, 1, 1);
    blank->setFrame(Rect(0, 0, 50, 50));
    root->addSublayer(blank);
    blank->setNeedsDisplay();
    renderLayerTree(*root);
    EXPECT_TRUE(blank->visualExtent().isNull());
    blank->setBackgroundColor(Color::srgb(0, 0, 1));
    EXPECT_EQ(blank->visualExtent(), Rect(0, 0, 50, 50));
}

TEST(LayerDisplay, PartialRedisplayKeepsThePaintedPartExact) {
    auto root = makeRoot();
    auto layer = std::make_shared<PaintingLayer>();
    layer->area = Rect(10, 10, 10, 10);
    layer->setFrame(Rect(0, 0, 100, 100));
    root->addSublayer(layer);
    layer->setNeedsDisplay();
    renderLayerTree(*root);
    layer->area = Rect(60, 60, 10, 10);
    layer->setNeedsDisplayInRect(Rect(50, 50, 30, 30));
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(layer->visualExtent(), Rect(10, 10, 60, 60));
    EXPECT_EQ(pixelAtYUp(image, 15, 15), kRed);
    EXPECT_EQ(pixelAtYUp(image, 65, 65), kRed);
}
