#include "canvas/canvas_layer.h"
#include "canvas/contact_shadow_layer.h"
#include "canvas/reflection_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

// A horizontal line across the middle of its rectangle, as the line shapes draw.
class HorizontalLine : public KXShape {
public:
    std::int32_t graphType() const override { return KXGraphTypeLine; }
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override {
        kx::BezierPath path;
        path.moveTo({rect.minX(), rect.midY()});
        path.lineTo({rect.maxX(), rect.midY()});
        return path;
    }
};

class CompanionLayersTest : public ::testing::Test {
protected:
    void SetUp() override { kxtest::registerPageClasses(); }

    // A page of that pixel size shown in a layer `zoom` times as large.
    void makePage(double width, double height, double zoom) {
        auto canvas = std::make_shared<KXCanvas>();
        const KXSize size(width, height, KXSizeUnitPixel, 72);
        canvas->setPageSize(&size);
        layer = KXCanvasLayer::create(canvas);
        layer->setFrame({0, 0, width * zoom, height * zoom});
        ASSERT_NEAR(page()->zoomValue(), zoom, 1e-12);
    }
    KXCanvas* page() { return layer->canvas(); }

    // A filled shape at a frame in preview points.
    template <class S = KXShape>
    std::shared_ptr<S> shapeAt(const kx::Rect& frame) {
        auto shape = std::make_shared<S>();
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        shape->setFillEnabled(true);
        shape->background()->setColor1(kx::Color::srgb(0.2, 0.4, 0.8, 1));
        page()->addGraph(shape);
        const kx::Size preview = page()->previewSize();
        shape->setRelativeRect({frame.origin.x / preview.width, frame.origin.y / preview.height,
                                frame.size.width / preview.width, frame.size.height / preview.height});
        return shape;
    }
    static KXGraphLayer* layerOf(const KXGraph& graph) { return dynamic_cast<KXGraphLayer*>(graph.render()); }

    std::shared_ptr<KXCanvasLayer> layer;
};

void expectRectNear(const kx::Rect& actual, const kx::Rect& expected) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-6);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-6);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-6);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-6);
}

TEST_F(CompanionLayersTest, ReflectionFrames) {
    struct Case {
        const char* name;
        double pageSide, zoom;
        kx::Rect frame;  // preview points
        double angleDegrees;
        bool line;
        kx::Rect expected;
    };
    const Case cases[] = {
        {"100 x 100 at zoom 1", 800, 1, {100, 200, 100, 100}, 0, false, {100, 164, 100, 35}},
        {"zoom 2.6: gap 3", 1000, 2.6, {260, 520, 260, 260}, 0, false, {260, 520 - 91 - 3, 260, 91}},
        {"zoom 0.3: gap 1", 1000, 0.3, {30, 60, 60, 30}, 0, false, {30, 60 - 10.5 - 1, 60, 10.5}},
        {"turned a quarter", 800, 1, {100, 200, 100, 40}, 90, false, {130, 170 - 35 - 1, 40, 35}},
        // A line's outline has no height; it gets the stroke's 4 points: a band 1.4 high.
        {"line with a 4-point stroke", 800, 1, {100, 290, 200, 20}, 0, true, {100, 298 - 1.4 - 1, 200, 1.4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makePage(c.pageSide, c.pageSide, c.zoom);
        std::shared_ptr<KXShape> shape = c.line ? std::shared_ptr<KXShape>(shapeAt<HorizontalLine>(c.frame))
                                                : shapeAt(c.frame);
        if (c.line) {
            shape->setStrokeEnabled(true);
            shape->stroke()->setType(KXStrokeWidthRelative);
            shape->stroke()->setWidth(4 * 100 / c.pageSide / c.zoom);
        }
        shape->setAngle(c.angleDegrees * std::numbers::pi / 180);
        shape->setReflectionEnabled(true);
        KXReflectionLayer* reflection = layerOf(*shape)->reflectionLayer();
        ASSERT_TRUE(reflection);
        expectRectNear(reflection->frame(), c.expected);
    }
}

TEST_F(CompanionLayersTest, ReflectionLiesBeneathItsGraphFollowsTheFlagAndTheOpacity) {
    makePage(800, 600, 1);
    auto back = shapeAt({10, 10, 50, 50});
    auto shape = shapeAt({100, 200, 100, 100});
    KXGraphLayer* graphLayer = layerOf(*shape);
    EXPECT_EQ(graphLayer->reflectionLayer(), nullptr);
    shape->setReflectionEnabled(true);
    KXReflectionLayer* reflection = graphLayer->reflectionLayer();
    ASSERT_TRUE(reflection);
    EXPECT_EQ(layer->indexOfSublayer(reflection) + 1, layer->indexOfSublayer(graphLayer));
    EXPECT_EQ(layer->graphLayerCount(), 2);
    EXPECT_DOUBLE_EQ(reflection->opacity(), 0.5);
    shape->setReflectionAlpha(0.25);
    EXPECT_DOUBLE_EQ(reflection->opacity(), 0.25);

    // A move re-frames it; a new graph added on top keeps the order.
    shape->setRelativeRect({200.0 / 800, 300.0 / 600, 100.0 / 800, 100.0 / 600});
    expectRectNear(reflection->frame(), {200, 300 - 35 - 1, 100, 35});
    shapeAt({500, 100, 20, 20});
    EXPECT_EQ(layer->indexOfSublayer(reflection) + 1, layer->indexOfSublayer(graphLayer));

    shape->setReflectionEnabled(false);
    EXPECT_EQ(graphLayer->reflectionLayer(), nullptr);
    EXPECT_EQ(layer->sublayers().size(), 3u);
}

TEST_F(CompanionLayersTest, ReflectionShowsTheGraphMirroredAndFadingWithoutItsDropShadow) {
    makePage(400, 400, 1);
    page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
    auto shape = shapeAt({100, 200, 100, 100});
    shape->background()->setColor1(kx::Color::srgb(1, 0, 0, 1));
    shape->setShadowEnabled(true);
    shape->setReflectionEnabled(true);
    shape->setReflectionAlpha(1);
    KXReflectionLayer* reflection = layerOf(*shape)->reflectionLayer();
    ASSERT_TRUE(reflection);
    const kx::Color shadow = layerOf(*shape)->shadowColor();
    ASSERT_FALSE(shadow.isNull());
    reflection->display();
    // The drop shadow is left out of the reflection only for the time of its drawing.
    EXPECT_EQ(layerOf(*shape)->shadowColor(), shadow);
    const QImage band = reflection->contents().qimage();
    ASSERT_EQ(band.height(), 35);
    // Top row: the graph's bottom edge, at almost full strength; bottom row: nearly faded out.
    const Rgba top = pixelAt(band, 50, 0);
    EXPECT_EQ(top.r, 255);
    EXPECT_GT(top.a, 230);
    EXPECT_LT(pixelAt(band, 50, 34).a, 20);
    // On the page (without the drop shadow, which falls into the gap): the gap, then the mirrored graph.
    shape->setShadowEnabled(false);
    const QImage page = kx::renderLayerTree(*layer).qimage();
    EXPECT_EQ(kxtest::pixelAtYUp(page, 150, 199), (Rgba{255, 255, 255, 255}));  // the gap
    const Rgba mirrored = kxtest::pixelAtYUp(page, 150, 197);
    EXPECT_EQ(mirrored.r, 255);
    EXPECT_LT(mirrored.g, 60);
}

TEST_F(CompanionLayersTest, ReflectionStaysFrozenAndHiddenWhileEditing) {
    makePage(800, 600, 1);
    auto shape = shapeAt({100, 200, 100, 100});
    shape->setReflectionEnabled(true);
    KXGraphLayer* graphLayer = layerOf(*shape);
    KXReflectionLayer* reflection = graphLayer->reflectionLayer();
    const kx::Rect before = reflection->frame();
    graphLayer->setEditing(true);
    EXPECT_TRUE(reflection->isHidden());
    shape->setRelativeRect({300.0 / 800, 300.0 / 600, 100.0 / 800, 100.0 / 600});
    EXPECT_EQ(reflection->frame(), before);
    graphLayer->setEditing(false);
    EXPECT_FALSE(reflection->isHidden());
    expectRectNear(reflection->frame(), {300, 300 - 35 - 1, 100, 35});
}

TEST_F(CompanionLayersTest, ContactShadowFrames) {
    struct Case {
        kx::Rect frame;
        double angleDegrees;
        kx::Rect expected;
    };
    const Case cases[] = {
        {{100, 200, 100, 50}, 0, {95, 178, 110, 20}},
        {{100.4, 200.6, 99.7, 50.2}, 0, {95, 179, 110, 20}},  // components rounded first
        {{100, 200, 100, 40}, 90, {125, 148, 50, 20}},        // the turned box: (130, 170, 40, 100)
    };
    makePage(800, 600, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.angleDegrees);
        auto shape = shapeAt(c.frame);
        shape->setAngle(c.angleDegrees * std::numbers::pi / 180);
        shape->setContactShadowEnabled(true);
        KXContactShadowLayer* contact = layerOf(*shape)->contactShadowLayer();
        ASSERT_TRUE(contact);
        expectRectNear(contact->frame(), c.expected);
        EXPECT_EQ(layer->indexOfSublayer(contact) + 1, layer->indexOfSublayer(layerOf(*shape)));
    }
}

TEST(ContactShadowBand, ColumnGapsCountFromTheBottom) {
    QImage silhouette(4, 6, QImage::Format_Alpha8);
    silhouette.fill(0);
    silhouette.scanLine(5)[0] = 255;  // bottom row
    silhouette.scanLine(2)[1] = 1;    // three rows up
    silhouette.scanLine(0)[2] = 80;   // top row
    const std::vector<int> gaps = KXContactShadowLayer::columnGaps(kx::Image(silhouette));
    EXPECT_EQ(gaps, (std::vector<int>{0, 3, 5, KXContactShadowLayer::kEmptyColumn}));
}

TEST(ContactShadowBand, BandRowsTaperAndClamp) {
    // A graph 40 columns wide in a band of 50 x 20.
    auto bandFor = [](int gap) {
        return KXContactShadowLayer::bandImage(std::vector<int>(40, gap), 50, 20).qimage();
    };
    struct Probe {
        int gap, column, row;
        Rgba expected;  // as stored: grey premultiplied
    };
    const Probe probes[] = {
        {0, 25, 10, {0, 0, 0, 255}},     // standing on the band: black, opaque
        {0, 25, 8, {0, 0, 0, 255}},      // five rows: 8 to 12
        {0, 25, 12, {0, 0, 0, 255}},
        {0, 25, 7, {0, 0, 0, 0}},
        {0, 25, 13, {0, 0, 0, 0}},
        {0, 2, 10, {0, 0, 0, 0}},        // the margin columns stay clear
        {0, 47, 10, {0, 0, 0, 0}},
        {0, 5, 10, {128, 128, 128, 255}},  // first graph column (k 0): only the middle row, grey 128
        {0, 5, 9, {0, 0, 0, 0}},
        {0, 6, 9, {115, 115, 115, 255}},   // k 1: rows 9 to 11; 128 x 0.9 = 115
        {0, 6, 10, {12, 12, 12, 255}},     // (128 - 115) x 0.9 = 11.7
        {0, 6, 11, {104, 104, 104, 255}},  // (128 - 12) x 0.9 = 104.4
        {20, 25, 10, {64, 64, 64, 191}},   // a quarter of the reach: alpha 191, grey 64
        {81, 25, 10, {0, 0, 0, 0}},        // beyond the reach: nothing
        {KXContactShadowLayer::kEmptyColumn, 25, 10, {0, 0, 0, 0}},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << "gap " << p.gap << " at " << p.column << ", " << p.row);
        const QImage band = bandFor(p.gap);
        ASSERT_EQ(band.size(), QSize(50, 20));
        // The stored (premultiplied) bytes.
        const uchar* px = band.constScanLine(p.row) + p.column * 4;
        EXPECT_EQ(px[3], p.expected.a);
        EXPECT_EQ(px[0], p.expected.r);
        EXPECT_EQ(px[2], p.expected.r);
    }
    // Grey above coverage: gap 60 gives alpha 64 and grey 191, stored as 64 (no colour above coverage).
    const QImage far = bandFor(60);
    const uchar* px = far.constScanLine(10) + 25 * 4;
    EXPECT_EQ(px[3], 64);
    EXPECT_EQ(px[0], 64);
    // In an end column the taper (128 - 191) would wrap to 193 as a byte; it stays at 0 instead.
    const uchar* end = far.constScanLine(9) + 6 * 4;
    EXPECT_EQ(end[3], 64);
    EXPECT_EQ(end[0], 0);
}

TEST_F(CompanionLayersTest, ContactShadowIsDarkUnderAGraphStandingOnItsBox) {
    makePage(800, 600, 1);
    auto shape = shapeAt({100, 200, 100, 50});
    shape->setContactShadowEnabled(true);
    KXContactShadowLayer* contact = layerOf(*shape)->contactShadowLayer();
    ASSERT_TRUE(contact);
    const QImage band = contact->contents().qimage();
    ASSERT_EQ(band.size(), QSize(110, 20));
    const Rgba middle = pixelAt(band, 55, 10);
    EXPECT_GT(middle.a, 150);
    EXPECT_LT(middle.r, 10);
    // The blur spreads the band into its margins and beyond its five rows.
    EXPECT_GT(pixelAt(band, 3, 10).a, 0);
    EXPECT_GT(pixelAt(band, 55, 6).a, 0);
    EXPECT_LT(pixelAt(band, 55, 0).a, middle.a / 4);

    // A graph of no width has no silhouette: nothing is drawn.
    auto thin = shapeAt({300, 200, 0, 50});
    thin->setContactShadowEnabled(true);
    const QImage none = layerOf(*thin)->contactShadowLayer()->contents().qimage();
    for (int x = 0; x < none.width(); ++x)
        ASSERT_EQ(pixelAt(none, x, 10).a, 0) << x;
}

}  // namespace
