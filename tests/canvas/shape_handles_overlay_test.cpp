// The handles the selection overlay draws for reshapable shapes, probed in the painted overlay at the places
// their geometry gives: rounded corner, polygon count, bubble tail, mirrored arrow, path insertion hint.
#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "model/path_point.h"
#include "platform/gfx/bitmap_context.h"
#include "shapes/custom_shape.h"
#include "shapes/shape_path_builders.h"
#include "shapes/parametric_shape.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <utility>

using kxtest::Rgba;

namespace {

// The page (800 x 600 pixels) shown at half size at (50, 40) of a 500 x 400 root; the overlay covers the root,
// so a page point (x, y) is the overlay point (x + 50, y + 40) and the zoom value is 0.5.
class ShapeHandlesOverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        root = std::make_shared<kx::Layer>();
        root->setFrame({0, 0, 500, 400});
        page = KXCanvasLayer::create();
        overlay = std::make_shared<KXAuxiliaryLayer>();
        root->addSublayer(page);
        root->addSublayer(overlay);
        page->setFrame({50, 40, 400, 300});
        overlay->setFrame({0, 0, 500, 400});
        page->setAuxiliaryLayer(overlay.get());
        overlay->setCanvasLayer(page.get());
        ASSERT_EQ(canvas()->previewSize(), kx::Size(400, 300));
        ASSERT_DOUBLE_EQ(canvas()->zoomValue(), 0.5);
    }
    KXCanvas* canvas() { return page->canvas(); }

    std::shared_ptr<KXSpecialShape> special(std::uint32_t type, const kx::Rect& frame) {
        auto shape = KXSpecialShape::shapeWithType(type, relative(frame));
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        canvas()->addGraph(shape);
        shape->setRelativeRect(relative(frame));
        shape->setSelected(true);
        return shape;
    }
    static kx::Rect relative(const kx::Rect& frame) {
        return {frame.origin.x / 400, frame.origin.y / 300, frame.size.width / 400, frame.size.height / 300};
    }
    static void setInfo(KXSpecialShape& shape, const QString& key, const kx::Value& value) {
        kx::ValueDictionary info = shape.shapeInfo().value_or(kx::ValueDictionary());
        info[key] = value;
        shape.setShapeInfo(info);
    }
    QImage paint() {
        kx::BitmapContext context(500, 400);
        overlay->paint(context);
        return context.makeImage().qimage();
    }
    static Rgba at(const QImage& image, double x, double y) {
        return kxtest::pixelAtYUp(image, int(std::floor(x)), int(std::floor(y)));
    }
    // The active handle colour (24, 231, 161).
    static bool isHandleGreen(const Rgba& c) { return c.a > 200 && c.r < 80 && c.g > 190 && c.b > 120 && c.b < 200; }
    static bool isGuideGrey(const Rgba& c) { return c.a > 60 && std::abs(c.r - 110) < 30 && c.r == c.g && c.g == c.b; }
    static bool isRed(const Rgba& c) { return c.a > 120 && c.r > 180 && c.g < 90 && c.b < 90; }
    // The number of separate patches of handle green in the image.
    static int greenPatches(const QImage& image) {
        std::set<std::pair<int, int>> seen;
        int patches = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (seen.count({x, y}) || !isHandleGreen(kxtest::pixelAt(image, x, y)))
                    continue;
                ++patches;
                std::vector<std::pair<int, int>> stack{{x, y}};
                seen.insert({x, y});
                while (!stack.empty()) {
                    const auto [px, py] = stack.back();
                    stack.pop_back();
                    for (const auto& [nx, ny] : {std::pair{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}}) {
                        if (nx < 0 || ny < 0 || nx >= image.width() || ny >= image.height() || seen.count({nx, ny}))
                            continue;
                        if (!isHandleGreen(kxtest::pixelAt(image, nx, ny)))
                            continue;
                        seen.insert({nx, ny});
                        stack.push_back({nx, ny});
                    }
                }
            }
        }
        return patches;
    }

    std::shared_ptr<kx::Layer> root;
    std::shared_ptr<KXCanvasLayer> page;
    std::shared_ptr<KXAuxiliaryLayer> overlay;
};

TEST_F(ShapeHandlesOverlayTest, RoundedRectangleHandleSitsOnTheTopEdgeAtTheRadiusUpToTheMiddle) {
    // Page frame (100, 100, 100, 50): overlay frame (150, 140, 100, 50), top edge at y = 190. The stored radius
    // is in page lengths; at zoom 0.5 it shows at half; it stops at half the shorter side (25).
    struct Case {
        double radius, x;
    } cases[] = {{0, 150}, {40, 170}, {50, 175}, {200, 175}};
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radius);
        auto shape = special(KXShapeTypeRoundedRectangle, {100, 100, 100, 50});
        setInfo(*shape, QStringLiteral("radius"), kx::Value(c.radius));
        const QImage image = paint();
        EXPECT_TRUE(isHandleGreen(at(image, c.x, 190))) << at(image, c.x, 190);
        EXPECT_EQ(greenPatches(image), 1);
        // Nothing where a larger radius would have put it.
        EXPECT_FALSE(isHandleGreen(at(image, c.x + 12, 190)));
        canvas()->removeGraph(shape.get());
    }
}

TEST_F(ShapeHandlesOverlayTest, PolygonHandleTurnsClockwiseByThirtyDegreesPerSideOnAQuarterCircle) {
    // Page frame (100, 100, 100, 100): overlay (150, 140); centre (200, 190), circle radius 25.
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    for (int sides : {3, 5, 6, 8}) {
        SCOPED_TRACE(sides);
        auto shape = special(KXShapeTypePolygon, {100, 100, 100, 100});
        setInfo(*shape, QStringLiteral("sider"), kx::Value(sides));
        const double turn = sides * 30 * std::numbers::pi / 180;  // clockwise from straight up
        const kx::Point expected(200 + 25 * std::sin(turn), 190 + 25 * std::cos(turn));
        const QImage image = paint();
        EXPECT_TRUE(isHandleGreen(at(image, expected.x, expected.y))) << expected.x << ", " << expected.y;
        EXPECT_EQ(greenPatches(image), 1);
        canvas()->removeGraph(shape.get());
    }
}

TEST_F(ShapeHandlesOverlayTest, PolygonGuideCircleShowsOnlyWhileItsHandleIsDragged) {
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    auto shape = special(KXShapeTypePolygon, {100, 100, 100, 100});
    setInfo(*shape, QStringLiteral("sider"), kx::Value(3));  // the handle at (225, 190), right of the centre
    // The circle's leftmost point is (175, 190).
    const struct {
        std::optional<kx::ValueDictionary> info;
        bool circle;
    } cases[] = {
        {std::nullopt, false},
        {kx::ValueDictionary{{QStringLiteral("element"), kx::Value(0)}}, false},
        {kx::ValueDictionary{{QStringLiteral("element"), kx::Value(1)}}, true},
    };
    for (const auto& c : cases) {
        overlay->setDragEventDictionary(c.info);
        const QImage image = paint();
        EXPECT_EQ(isGuideGrey(at(image, 175, 190)), c.circle) << at(image, 175, 190);
    }
}

TEST_F(ShapeHandlesOverlayTest, SpeechBubbleShowsTheTailBaseOnlyWhenTheTipLiesOutside) {
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    const struct {
        kx::Point tip;
        int handles;
    } cases[] = {{{0.5, 0.6}, 2}, {{0.5, 0.02}, 3}, {{0.95, 0.1}, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tip.x << ", " << c.tip.y);
        auto shape = special(KXShapeTypeBubble, {100, 50, 160, 120});
        setInfo(*shape, QStringLiteral("bubbleRect"), kx::Value(kx::Rect(0.1, 0.3, 0.8, 0.6)));
        setInfo(*shape, QStringLiteral("bubbleRadius"), kx::Value(10.0));
        setInfo(*shape, QStringLiteral("arrowRadius"), kx::Value(10.0));
        setInfo(*shape, QStringLiteral("arrowPoint"), kx::Value(c.tip));
        const QImage image = paint();
        // The tip itself: overlay (150 + 160 x, 90 + 120 y).
        EXPECT_TRUE(isHandleGreen(at(image, 150 + 160 * c.tip.x, 90 + 120 * c.tip.y)));
        EXPECT_EQ(greenPatches(image), c.handles);
        canvas()->removeGraph(shape.get());
    }
}

TEST_F(ShapeHandlesOverlayTest, FlippedArrowShowsItsHandleMirroredWithTheShape) {
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    auto shape = special(KXShapeTypeSingleArrow, {100, 100, 160, 80});
    setInfo(*shape, QStringLiteral("arrow"), kx::Value(0.3f));  // the head's base at 70 % of the width
    const kx::Point p = shape->path().elements().front().points[0];
    ASSERT_GT(std::abs(p.x - 80), 10) << "the handle must lie off the vertical axis for the mirror to show";
    const kx::Point plain(150 + p.x, 140 + p.y), mirrored(150 + 160 - p.x, 140 + p.y);
    QImage image = paint();
    EXPECT_TRUE(isHandleGreen(at(image, plain.x, plain.y)));
    EXPECT_FALSE(isHandleGreen(at(image, mirrored.x, mirrored.y)));
    shape->setFlipX(-1);
    image = paint();
    EXPECT_FALSE(isHandleGreen(at(image, plain.x, plain.y)));
    EXPECT_TRUE(isHandleGreen(at(image, mirrored.x, mirrored.y)));
}

TEST_F(ShapeHandlesOverlayTest, StarShowsItsInnerPointAndCountHandles) {
    overlay->setDrawMode(KXAuxiliaryDrawModeEditable);
    auto shape = special(KXShapeTypeStar, {100, 100, 100, 100});
    const kx::Point inner = shape->path().elements()[1].points[0];
    const QImage image = paint();
    EXPECT_TRUE(isHandleGreen(at(image, 150 + inner.x, 140 + inner.y)));
    EXPECT_EQ(greenPatches(image), 2);
}

TEST_F(ShapeHandlesOverlayTest, PathInsertionHintShowsOnlyWithASelectedNodeAndTheMouseNearASegment) {
    // A pen path from (0, 0) over (100, 0) to (100, 60) in its frame (page (100, 100, 100, 60)).
    KXPathPointArray points;
    points.push_back(std::make_shared<KXPathPoint>(kx::Point(0, 0), kx::Point(0, 0), kx::Point(0, 0)));
    points.push_back(std::make_shared<KXPathPoint>(kx::Point(1, 0), kx::Point(1, 0), kx::Point(1, 0)));
    points.push_back(std::make_shared<KXPathPoint>(kx::Point(1, 1), kx::Point(1, 1), kx::Point(1, 1)));
    auto shape = KXCustomShape::customShapeWithRelativeRect(relative({100, 100, 100, 60}));
    shape->setText(nullptr);
    shape->setPhoto(nullptr);
    shape->setCustomPointsArray(points);
    canvas()->addGraph(shape);
    shape->setPath(customPathWithPoints(points, {0, 0, 100, 60}));
    shape->setSelected(true);
    overlay->setDrawMode(KXAuxiliaryDrawModeControlNodes);
    // The first segment's middle (50, 0) is the overlay point (200, 140); the mouse point is in the shape's
    // own coordinates.
    const struct {
        std::int64_t selected;
        kx::Point mouse;
        bool hint;
    } cases[] = {
        {-1, {50, 1}, false}, {2, {50, 1}, true}, {2, {50, 40}, false}, {1, {30, -1}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.selected << " " << c.mouse.x << ", " << c.mouse.y);
        shape->setCustomPointElement(c.selected);
        overlay->setMousePoint(c.mouse);
        const QImage image = paint();
        EXPECT_EQ(isRed(at(image, 197, 140)), c.hint) << at(image, 197, 140);
        // The selected node is the one in the active colour.
        if (c.selected == 2)
            EXPECT_TRUE(isHandleGreen(at(image, 250, 200)));
        EXPECT_FALSE(isHandleGreen(at(image, 150, 140)));
    }
}

TEST_F(ShapeHandlesOverlayTest, LockedShapesShowNoHandlesInAnyMode) {
    auto shape = special(KXShapeTypeStar, {100, 100, 100, 100});
    for (int mode : {KXAuxiliaryDrawModeNormal, KXAuxiliaryDrawModeEditable}) {
        overlay->setDrawMode(mode);
        shape->setLocked(false);
        EXPECT_EQ(greenPatches(paint()), 2) << mode;
        shape->setLocked(true);
        EXPECT_EQ(greenPatches(paint()), 0) << mode;
    }
}

}  // namespace
