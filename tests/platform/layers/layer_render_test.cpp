#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_renderer.h"

#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <limits>
#include <numbers>

using namespace kx;
using kxtest::pixelAtYUp;
using kxtest::Rgba;

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};
const Rgba kBlack{0, 0, 0, 255};
const Rgba kClear{0, 0, 0, 0};

std::shared_ptr<Layer> makeRoot(double width = 100, double height = 100) {
    auto root = std::make_shared<Layer>();
    root->setBounds(Rect(0, 0, width, height));
    root->setAnchorPoint(Point(0, 0));
    return root;
}

std::shared_ptr<Layer> box(const Rect& frame, const Color& color) {
    auto layer = std::make_shared<Layer>();
    layer->setFrame(frame);
    layer->setBackgroundColor(color);
    return layer;
}

Rgba at(Layer& root, int x, int y) {
    return pixelAtYUp(renderLayerTree(root).qimage(), x, y);
}

}  // namespace

// Three overlapping squares; the pixel in the middle of all three shows the topmost one.
struct StackingCase {
    const char* name;
    void (*arrange)(Layer& root, Layer& red, Layer& green, Layer& blue);
    Rgba topmost;
};

void PrintTo(const StackingCase& c, std::ostream* os) {
    *os << c.name;
}

class Stacking : public ::testing::TestWithParam<StackingCase> {};

TEST_P(Stacking, LaterSublayersDrawOnTop) {
    auto root = makeRoot();
    auto red = box(Rect(10, 10, 40, 40), Color::srgb(1, 0, 0));
    auto green = box(Rect(20, 20, 40, 40), Color::srgb(0, 1, 0));
    auto blue = box(Rect(30, 30, 40, 40), Color::srgb(0, 0, 1));
    root->addSublayer(red);
    root->addSublayer(green);
    root->addSublayer(blue);
    GetParam().arrange(*root, *red, *green, *blue);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(pixelAtYUp(image, 40, 40), GetParam().topmost);
    // Where only red and green overlap, whichever of them is later in the list shows.
    const int redIndex = root->indexOfSublayer(red.get()), greenIndex = root->indexOfSublayer(green.get());
    EXPECT_EQ(pixelAtYUp(image, 25, 25), redIndex > greenIndex ? kRed : kGreen);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, Stacking,
    ::testing::Values(
        StackingCase{"AsAdded", [](Layer&, Layer&, Layer&, Layer&) {}, kBlue},
        StackingCase{"RedBroughtToFront",
                     [](Layer& root, Layer& red, Layer&, Layer&) { root.addSublayer(red.shared_from_this()); }, kRed},
        StackingCase{"BlueSentToBack",
                     [](Layer& root, Layer&, Layer&, Layer& blue) { root.insertSublayer(blue.shared_from_this(), 0); },
                     kGreen},
        StackingCase{"GreenAboveBlue",
                     [](Layer& root, Layer&, Layer& green, Layer& blue) {
                         root.insertSublayerAbove(green.shared_from_this(), &blue);
                     },
                     kGreen},
        StackingCase{"BlueBelowRed",
                     [](Layer& root, Layer& red, Layer&, Layer& blue) {
                         root.insertSublayerBelow(blue.shared_from_this(), &red);
                     },
                     kGreen},
        StackingCase{"BlueRemoved", [](Layer&, Layer&, Layer&, Layer& blue) { blue.removeFromSuperlayer(); },
                     kGreen},
        StackingCase{"BlueHidden", [](Layer&, Layer&, Layer&, Layer& blue) { blue.setHidden(true); }, kGreen}),
    [](const ::testing::TestParamInfo<StackingCase>& info) { return std::string(info.param.name); });

TEST(LayerRender, SublayersDrawOverTheirSuperlayersBackgroundAndContents) {
    auto root = makeRoot();
    auto parent = box(Rect(10, 10, 60, 60), Color::srgb(1, 0, 0));
    parent->addSublayer(box(Rect(0, 0, 10, 10), Color::srgb(0, 0, 1)));
    root->addSublayer(parent);
    EXPECT_EQ(at(*root, 15, 15), kBlue);
    EXPECT_EQ(at(*root, 25, 25), kRed);
}

TEST(LayerRender, HiddenLayersHideTheirSubtrees) {
    auto root = makeRoot();
    auto parent = box(Rect(0, 0, 50, 50), Color::srgb(1, 0, 0));
    parent->addSublayer(box(Rect(60, 60, 10, 10), Color::srgb(0, 0, 1)));
    root->addSublayer(parent);
    EXPECT_EQ(at(*root, 65, 65), kBlue);
    parent->setHidden(true);
    EXPECT_EQ(at(*root, 65, 65), kClear);
    EXPECT_EQ(at(*root, 25, 25), kClear);
}

TEST(LayerRender, OpacityAppliesToASubtreeAsOnePicture) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto group = std::make_shared<Layer>();
    group->setFrame(Rect(0, 0, 100, 100));
    group->addSublayer(box(Rect(10, 10, 40, 40), Color::srgb(1, 0, 0)));
    group->addSublayer(box(Rect(30, 30, 40, 40), Color::srgb(1, 0, 0)));
    group->setOpacity(0.5);
    root->addSublayer(group);
    const QImage image = renderLayerTree(*root).qimage();
    const Rgba single = pixelAtYUp(image, 15, 15);
    const Rgba overlap = pixelAtYUp(image, 40, 40);
    EXPECT_COLOR_NEAR(single, (Rgba{255, 127, 127, 255}), 2);
    EXPECT_COLOR_NEAR(overlap, single, 1);  // the lower square does not show through the upper one
    EXPECT_EQ(pixelAtYUp(image, 80, 80), kWhite);
}

TEST(LayerRender, OpacityMultipliesDownTheTree) {
    auto root = makeRoot();
    auto outer = std::make_shared<Layer>();
    outer->setFrame(Rect(0, 0, 100, 100));
    outer->setOpacity(0.5);
    auto inner = box(Rect(10, 10, 20, 20), Color::srgb(0, 0, 0));
    inner->setOpacity(0.5);
    outer->addSublayer(inner);
    root->addSublayer(outer);
    EXPECT_NEAR(at(*root, 15, 15).a, 64, 2);
    outer->setOpacity(0);
    EXPECT_EQ(at(*root, 15, 15), kClear);
}

TEST(LayerRender, MasksToBoundsClipsSublayersInTheLayersTurnedSpace) {
    auto root = makeRoot();
    auto parent = std::make_shared<Layer>();
    parent->setBounds(Rect(0, 0, 20, 20));
    parent->setPosition(Point(50, 50));
    parent->setAffineTransform(AffineTransform::makeRotation(std::numbers::pi / 4));
    parent->addSublayer(box(Rect(-50, -50, 120, 120), Color::srgb(1, 0, 0)));
    root->addSublayer(parent);
    EXPECT_EQ(at(*root, 20, 20), kRed);
    parent->setMasksToBounds(true);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(pixelAtYUp(image, 20, 20), kClear);
    EXPECT_EQ(pixelAtYUp(image, 50, 50), kRed);
    EXPECT_EQ(pixelAtYUp(image, 50, 62), kRed);    // the diamond reaches 14.1 up from the centre
    EXPECT_EQ(pixelAtYUp(image, 41, 41), kClear);  // the diamond's lower-left edge passes nearer the centre
}

TEST(LayerRender, ShadowFallsBelowWithTheDefaultOffset) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto layer = box(Rect(40, 40, 20, 20), Color::srgb(0, 0, 1));
    layer->setShadowOpacity(1);
    layer->setShadowRadius(0);
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(pixelAtYUp(image, 50, 50), kBlue);
    EXPECT_EQ(pixelAtYUp(image, 50, 38), kBlack);  // 3 below the bottom edge
    EXPECT_EQ(pixelAtYUp(image, 50, 36), kWhite);
    EXPECT_EQ(pixelAtYUp(image, 50, 61), kWhite);  // nothing above
}

TEST(LayerRender, ShadowIsCastBySublayersAndTurnsWithTheLayer) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto layer = std::make_shared<Layer>();  // no drawing of its own: the sublayer casts the shadow
    layer->setBounds(Rect(0, 0, 20, 20));
    layer->setPosition(Point(50, 50));
    layer->addSublayer(box(Rect(0, 0, 20, 20), Color::srgb(0, 0, 1)));
    layer->setShadowOpacity(1);
    layer->setShadowRadius(0);
    layer->setShadowOffset(Size(10, 0));  // to the layer's right
    layer->setAffineTransform(AffineTransform::makeRotation(std::numbers::pi / 2));
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root).qimage();
    // After a quarter turn the layer's right is the root's up.
    EXPECT_EQ(pixelAtYUp(image, 50, 65), kBlack);
    EXPECT_EQ(pixelAtYUp(image, 65, 50), kWhite);
    EXPECT_EQ(pixelAtYUp(image, 50, 50), kBlue);
}

TEST(LayerRender, ShadowFollowsColourOpacityAndBlur) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto layer = box(Rect(30, 30, 40, 40), Color::srgb(0, 0, 1));
    layer->setShadowOpacity(0.5);
    layer->setShadowColor(Color::srgb(1, 0, 0));
    layer->setShadowOffset(Size(0, -20));
    layer->setShadowRadius(0);
    root->addSublayer(layer);
    EXPECT_COLOR_NEAR(at(*root, 50, 15), (Rgba{255, 127, 127, 255}), 2);

    layer->setShadowOpacity(1);
    layer->setShadowRadius(6);
    const QImage blurred = renderLayerTree(*root).qimage();
    // Deep inside the shadow it is solid; at its edge it is half strength; beyond its reach it is gone.
    EXPECT_COLOR_NEAR(pixelAtYUp(blurred, 50, 25), (Rgba{255, 0, 0, 255}), 3);
    EXPECT_NEAR(pixelAtYUp(blurred, 50, 10).g, 127, 25);
    EXPECT_LT(pixelAtYUp(blurred, 50, 7).g, 240);
    EXPECT_COLOR_NEAR(pixelAtYUp(blurred, 50, 0), kWhite, 2);
}

TEST(LayerRender, ShadowPathCastsTheShadowWithoutBeingDrawn) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto layer = std::make_shared<Layer>();
    layer->setFrame(Rect(20, 40, 40, 40));
    Path shadowPath;
    shadowPath.addRect(Rect(0, 0, 40, 40));
    layer->setShadowPath(shadowPath);
    layer->setShadowOpacity(1);
    layer->setShadowRadius(0);
    layer->setShadowOffset(Size(10, -10));
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(pixelAtYUp(image, 25, 75), kWhite);  // inside the path, outside its shadow
    EXPECT_EQ(pixelAtYUp(image, 65, 35), kBlack);  // the shadow, offset right and down
    EXPECT_EQ(pixelAtYUp(image, 45, 55), kBlack);  // the shadow under the transparent layer
    EXPECT_EQ(pixelAtYUp(image, 25, 35), kWhite);

    // Drawing of the layer covers its own shadow path's shadow.
    layer->setBackgroundColor(Color::srgb(0, 0, 1));
    EXPECT_EQ(at(*root, 45, 55), kBlue);
    EXPECT_EQ(at(*root, 65, 35), kBlack);
}

TEST(LayerRender, MasksToBoundsClipsTheShadow) {
    auto root = makeRoot();
    auto layer = box(Rect(40, 40, 20, 20), Color::srgb(0, 0, 1));
    layer->setShadowOpacity(1);
    layer->setShadowRadius(0);
    layer->setMasksToBounds(true);
    root->addSublayer(layer);
    EXPECT_EQ(at(*root, 50, 38), kClear);
}

TEST(LayerRender, OpacityFadesTheShadowWithTheLayer) {
    auto root = makeRoot();
    root->setBackgroundColor(Color::srgb(1, 1, 1));
    auto layer = box(Rect(40, 40, 20, 20), Color::srgb(0, 0, 1));
    layer->setShadowOpacity(1);
    layer->setShadowRadius(0);
    layer->setShadowOffset(Size(0, -10));
    layer->setOpacity(0.5);
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 35), (Rgba{127, 127, 127, 255}), 2);
    // The layer fades together with its shadow: where it covers the shadow, the shadow does not show through.
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 45), (Rgba{127, 127, 255, 255}), 2);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 50, 55), (Rgba{127, 127, 255, 255}), 2);
}

TEST(LayerRender, RenderInContextDrawsInTheLayersOwnSpaceAndHonoursTheClip) {
    auto layer = std::make_shared<Layer>();
    layer->setBounds(Rect(0, 0, 20, 20));
    layer->setPosition(Point(500, 500));  // ignored: the context's space is the layer's own
    layer->setAffineTransform(AffineTransform::makeRotation(1.0));
    layer->setBackgroundColor(Color::srgb(1, 0, 0));
    layer->addSublayer(box(Rect(10, 0, 10, 20), Color::srgb(0, 0, 1)));
    BitmapContext context(20, 20);
    context.clipToRect(Rect(0, 0, 15, 20));
    layer->renderInContext(context);
    const QImage image = context.makeImage().qimage();
    EXPECT_EQ(pixelAtYUp(image, 5, 5), kRed);
    EXPECT_EQ(pixelAtYUp(image, 12, 5), kBlue);
    EXPECT_EQ(pixelAtYUp(image, 17, 5), kClear);
}

TEST(LayerRender, DrawnContentsShowAtTheirContentsScale) {
    struct Corner : Layer {
        void drawInContext(BitmapContext& context) override {
            context.setFillColor(Color::srgb(1, 0, 0));
            context.fillRect(Rect(0, 0, 1, 1));
        }
    };
    auto root = makeRoot();
    auto layer = std::make_shared<Corner>();
    layer->setFrame(Rect(10, 10, 20, 20));
    layer->setContentsScale(3);
    layer->setNeedsDisplay();
    root->addSublayer(layer);
    const QImage image = renderLayerTree(*root, 3).qimage();
    EXPECT_EQ(pixelAtYUp(image, 30, 30), kRed);
    EXPECT_EQ(pixelAtYUp(image, 32, 32), kRed);
    EXPECT_EQ(pixelAtYUp(image, 33, 33), kClear);
}

TEST(LayerRender, DegenerateGeometryDrawsNothingAndDoesNotFail) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = std::numeric_limits<double>::max();
    for (const Point& position : {Point(nan, 10), Point(huge, huge), Point(-huge, 0)}) {
        auto root = makeRoot();
        auto layer = box(Rect(0, 0, 20, 20), Color::srgb(1, 0, 0));
        layer->setPosition(position);
        layer->setShadowOpacity(1);
        layer->setOpacity(0.5);
        layer->addSublayer(box(Rect(0, 0, 5, 5), Color::srgb(0, 1, 0)));
        root->addSublayer(layer);
        const QImage image = renderLayerTree(*root).qimage();
        EXPECT_EQ(pixelAtYUp(image, 50, 50), kClear);
    }
    auto root = makeRoot();
    auto squashed = box(Rect(10, 10, 20, 20), Color::srgb(1, 0, 0));
    squashed->setAffineTransform(AffineTransform::makeScale(0, 1));
    squashed->setShadowOpacity(1);
    root->addSublayer(squashed);
    EXPECT_EQ(at(*root, 20, 20), kClear);
}
