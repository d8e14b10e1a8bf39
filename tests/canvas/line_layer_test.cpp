#include "canvas/canvas_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/page_test_support.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"
#include "model/stroke.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class LineLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        layer->setFrame({0, 0, 800, 600});
    }
    KXCanvas* page() { return layer->canvas(); }
    template <class S>
    void place(S& shape, const kx::Rect& frame) {
        const kx::Size preview = page()->previewSize();
        shape.setRelativeRect({frame.origin.x / preview.width, frame.origin.y / preview.height,
                               frame.size.width / preview.width, frame.size.height / preview.height});
    }
    std::shared_ptr<KXCanvasLayer> layer;
};

TEST_F(LineLayerTest, LineAndParametricShapesGetShapeLayers) {
    auto arrow = KXSymbolShape::symbolShapeWithType(KXShapeTypeArrowLine, {0.1, 0.1, 0.2, 0.2});
    arrow->setPhoto(nullptr);
    arrow->setText(nullptr);
    page()->addGraph(arrow);
    EXPECT_TRUE(dynamic_cast<KXShapeLayer*>(arrow->render()));
    auto star = KXSpecialShape::shapeWithType(KXShapeTypeStar, {0.5, 0.5, 0.2, 0.2});
    star->setPhoto(nullptr);
    star->setText(nullptr);
    page()->addGraph(star);
    EXPECT_TRUE(dynamic_cast<KXShapeLayer*>(star->render()));
}

TEST_F(LineLayerTest, ArrowHeadFollowsTheStrokeWidth) {
    auto arrow = KXSymbolShape::symbolShapeWithType(KXShapeTypeArrowLine, {0.1, 0.1, 0.2, 0.2});
    arrow->setPhoto(nullptr);
    arrow->setText(nullptr);
    page()->addGraph(arrow);
    place(*arrow, {100, 100, 300, 200});
    const auto headLength = [&] {
        const kx::BezierPath& p = arrow->path();
        const kx::Point l = p.elementAtIndex(2).points[0], e = p.elementAtIndex(3).points[0];
        return std::hypot(l.x - e.x, l.y - e.y);
    };
    // The layer made the stroke relative: hundredths of the shorter preview side (600).
    arrow->stroke()->setWidth(1);
    EXPECT_NEAR(headLength(), 5 * 6, 1e-3);
    arrow->stroke()->setWidth(2);
    EXPECT_NEAR(headLength(), 5 * 12, 1e-3);
}

TEST_F(LineLayerTest, ArrowLineIsHitOnItsHeadAndNearItsStem) {
    auto arrow = KXSymbolShape::symbolShapeWithType(KXShapeTypeArrowLine, {0.1, 0.1, 0.2, 0.2});
    arrow->setPhoto(nullptr);
    arrow->setText(nullptr);
    page()->addGraph(arrow);
    place(*arrow, {100, 100, 200, 20});
    arrow->setPointsArray({std::make_shared<KXPathPoint>(kx::Point(0, 0.5), kx::Point(1, 0.5), kx::Point())});
    arrow->stroke()->setWidth(1);  // 6 points: a head 30 long
    auto* shapeLayer = dynamic_cast<KXShapeLayer*>(arrow->render());
    ASSERT_TRUE(shapeLayer);
    EXPECT_TRUE(shapeLayer->renderContainsPoint({180, 112}));  // within 2.5 of the stem
    EXPECT_FALSE(shapeLayer->renderContainsPoint({180, 114}));
    EXPECT_TRUE(shapeLayer->renderContainsPoint({276, 114}));  // inside the head, 4 from its edges
    EXPECT_FALSE(shapeLayer->renderContainsPoint({280, 125}));
}

TEST_F(LineLayerTest, PageDrawsTheParametricOutlineAndTheLine) {
    page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
    auto triangle = KXSpecialShape::shapeWithType(KXShapeTypeEquilateralTriangle, {0.1, 0.1, 0.2, 0.2});
    triangle->setPhoto(nullptr);
    triangle->setText(nullptr);
    triangle->setStrokeEnabled(false);
    triangle->background()->setColorType(KXColorTypeSolid);
    triangle->background()->setColor1(kx::Color::srgb(1, 0, 0, 1));
    page()->addGraph(triangle);
    place(*triangle, {100, 100, 200, 100});
    auto flat = KXSymbolShape::symbolShapeWithType(KXShapeTypeLine, {0.1, 0.1, 0.2, 0.2});
    flat->setPhoto(nullptr);
    flat->setText(nullptr);
    page()->addGraph(flat);
    place(*flat, {400, 400, 200, 100});
    flat->stroke()->setWidth(1);  // 6 points on this page
    const QImage image = kx::renderLayerTree(*layer).qimage();
    // Inside the triangle near its base, and beside its apex (outside the outline, inside the frame).
    EXPECT_EQ(kxtest::pixelAtYUp(image, 200, 110), (kxtest::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(kxtest::pixelAtYUp(image, 110, 190), (kxtest::Rgba{255, 255, 255, 255}));
    // On the line from (400, 400) to (600, 500), and off it.
    EXPECT_EQ(kxtest::pixelAtYUp(image, 500, 450), (kxtest::Rgba{0, 0, 0, 255}));
    EXPECT_EQ(kxtest::pixelAtYUp(image, 500, 480), (kxtest::Rgba{255, 255, 255, 255}));
}

}  // namespace
