// The shadow of a rectangular shadow path is worked out directly, axis by axis; it must look as the general
// way (a silhouette of the path blurred in two dimensions) makes it, within one level, wherever the rectangle
// lies on the pixel grid, and blur nothing.
#include "platform/layers/layer.h"
#include "platform/layers/layer_renderer.h"
#include "platform/layers/rectangle_shadow.h"

#include "support/pixel_probe.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace kx;

namespace {

// The rectangle as addRect outlines it, or with a needless corner in the middle of its bottom side, which
// keeps the same outline but makes the renderer take the general way.
Path rectanglePath(const Rect& r, bool general) {
    Path path;
    if (!general) {
        path.addRect(r);
        return path;
    }
    path.moveTo({r.minX(), r.minY()});
    path.lineTo({r.midX(), r.minY()});
    path.lineTo({r.maxX(), r.minY()});
    path.lineTo({r.maxX(), r.maxY()});
    path.lineTo({r.minX(), r.maxY()});
    path.closeSubpath();
    return path;
}

struct ShadowCase {
    const char* name;
    Rect frame;       // of the shadowed layer in the page
    Size offset;
    double radius;
    Color color;
    double opacity;     // of the layer
    double scale;       // of the rendering
    double background;  // alpha of the layer's background: opaque, its inside is drawn without a picture
};

void PrintTo(const ShadowCase& c, std::ostream* os) {
    *os << c.name;
}

QImage renderPage(const ShadowCase& c, bool general) {
    auto root = std::make_shared<Layer>();
    root->setBounds(Rect(0, 0, 200, 160));
    root->setAnchorPoint(Point(0, 0));
    root->setBackgroundColor(Color::srgb(0.3, 0.35, 0.4));
    auto backdrop = std::make_shared<Layer>();
    backdrop->setFrame(c.frame);
    backdrop->setBackgroundColor(Color::srgb(1, 1, 1, c.background));
    backdrop->setOpacity(c.opacity);
    backdrop->setShadowPath(rectanglePath(backdrop->bounds(), general));
    backdrop->setShadowOpacity(0.5);
    backdrop->setShadowColor(c.color);
    backdrop->setShadowOffset(c.offset);
    backdrop->setShadowRadius(c.radius);
    auto picture = std::make_shared<Layer>();
    // Reaching out of the layer's bounds, into its shadow.
    picture->setFrame(Rect(-6.5, 5, 30, 20));
    picture->setBackgroundColor(Color::srgb(0.9, 0.1, 0.1, 0.7));
    backdrop->addSublayer(picture);
    root->addSublayer(backdrop);
    return renderLayerTree(*root, c.scale).qimage();
}

class RectangleShadow : public ::testing::TestWithParam<ShadowCase> {};

TEST_P(RectangleShadow, LooksAsTheBlurredSilhouetteWithoutABlur) {
    const ShadowCase& c = GetParam();
    const std::uint64_t before = renderedShadowBlurCount();
    const QImage direct = renderPage(c, false);
    EXPECT_EQ(renderedShadowBlurCount(), before) << "a rectangle's shadow needs no blur";
    const QImage general = renderPage(c, true);
    EXPECT_EQ(renderedShadowBlurCount(), before + 1) << "the general way blurs the silhouette";
    EXPECT_LE(kxtest::maxChannelDifference(direct, general), 1);
    EXPECT_LT(kxtest::fractionDiffering(direct, general, 0), 0.001);
}

const ShadowCase kCases[] = {
    {"whole pixels, no offset", Rect(40, 30, 120, 90), Size(0, 0), 2, Color::srgb(0, 0, 0), 1, 1, 0.8},
    {"between pixels", Rect(40.3, 30.6, 119.5, 90.25), Size(0, 0), 2, Color::srgb(0, 0, 0), 1, 1, 0.8},
    {"offset down right", Rect(40.5, 30.5, 100, 70), Size(6, -5), 5.5, Color::srgb(0.2, 0.4, 0.9), 1, 1, 0.8},
    {"fractional offset", Rect(30, 40, 100, 70), Size(2.5, -3.4), 3, Color::srgb(0, 0, 0), 1, 1, 0.8},
    {"wide blur", Rect(50, 40, 90, 60), Size(0, -8), 14, Color::srgb(0, 0, 0, 0.7), 1, 1, 0.8},
    {"no blur", Rect(50.25, 40.75, 90, 60), Size(4, -4), 0, Color::srgb(0, 0, 0), 1, 1, 0.8},
    {"scaled rendering", Rect(20.2, 25.7, 120, 90), Size(3, -3), 4, Color::srgb(0, 0, 0), 1, 1.5, 0.8},
    {"faded layer", Rect(40, 30, 120, 90), Size(3, -3), 4, Color::srgb(0, 0, 0), 0.6, 1, 0.8},
    {"partly outside", Rect(-30.5, 100.2, 120, 90), Size(3, -3), 6, Color::srgb(0, 0, 0), 1, 1, 0.8},
    {"opaque, whole pixels", Rect(40, 30, 120, 90), Size(0, 0), 2, Color::srgb(0, 0, 0), 1, 1, 1},
    {"opaque, between pixels", Rect(40.3, 30.6, 119.5, 90.25), Size(2, -3), 4, Color::srgb(0, 0, 0), 1, 1, 1},
    {"opaque, scaled", Rect(20.2, 25.7, 120, 90), Size(3, -3), 4, Color::srgb(0, 0, 0), 1, 1.5, 1},
    {"opaque, partly outside", Rect(-30.5, 100.2, 120, 90), Size(3, -3), 6, Color::srgb(0, 0, 0), 1, 1, 1},
    {"opaque, faded", Rect(40.3, 30.6, 119.5, 90.25), Size(2, -3), 4, Color::srgb(0, 0, 0), 0.6, 1, 1},
};

INSTANTIATE_TEST_SUITE_P(Placements, RectangleShadow, ::testing::ValuesIn(kCases));

TEST(RectangleShadowShape, OnlyAClosedAxisAlignedRectangleCounts) {
    Path rect;
    rect.addRect(Rect(1, 2, 3, 4));
    EXPECT_EQ(axisAlignedRectangle(rect), Rect(1, 2, 3, 4));
    Path turned;
    turned.moveTo({0, 0});
    turned.lineTo({3, 1});
    turned.lineTo({2, 4});
    turned.lineTo({-1, 3});
    turned.closeSubpath();
    EXPECT_FALSE(axisAlignedRectangle(turned));
    Path open;
    open.moveTo({0, 0});
    open.lineTo({3, 0});
    open.lineTo({3, 3});
    open.lineTo({0, 3});
    EXPECT_FALSE(axisAlignedRectangle(open));
    Path flat;
    flat.addRect(Rect(0, 0, 5, 0));
    EXPECT_FALSE(axisAlignedRectangle(flat));
    EXPECT_FALSE(axisAlignedRectangle(rectanglePath(Rect(0, 0, 4, 4), true)));
    Path ellipse;
    ellipse.addEllipseInRect(Rect(0, 0, 4, 4));
    EXPECT_FALSE(axisAlignedRectangle(ellipse));
}

}  // namespace
