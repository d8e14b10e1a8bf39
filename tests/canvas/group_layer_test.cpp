#include "canvas/canvas_layer.h"
#include "canvas/group_layer.h"
#include "model/background.h"
#include "model/group.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <QImage>

#include <gtest/gtest.h>

#include <numbers>

using kxtest::Rgba;

namespace {

// A graph whose left half is green and right half blue: mirroring it shows.
class HalfGraph : public KXGraph {
public:
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override {
        context.setFillColor(kx::Color::srgb(0, 1, 0, 1));
        context.fillRect({rect.origin.x, rect.origin.y, rect.size.width / 2, rect.size.height});
        context.setFillColor(kx::Color::srgb(0, 0, 1, 1));
        context.fillRect({rect.midX(), rect.origin.y, rect.size.width / 2, rect.size.height});
    }
};

const Rgba kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kRed{255, 0, 0, 255}, kWhite{255, 255, 255, 255};

class GroupLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
        page()->background()->setFillType(0);
        layer->setFrame({0, 0, 800, 600});
        ASSERT_EQ(page()->previewSize(), kx::Size(800, 600));
    }
    KXCanvas* page() { return layer->canvas(); }
    template <class G = kxtest::SolidGraph>
    std::shared_ptr<G> add(const kx::Rect& frame) {
        auto graph = std::make_shared<G>();
        graph->setRelativeRect({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                                frame.size.height / 600});
        page()->addGraph(graph);
        return graph;
    }
    static KXGraphLayer* layerOf(const KXGraph& graph) { return dynamic_cast<KXGraphLayer*>(graph.render()); }
    QImage render() { return kx::renderLayerTree(*layer).qimage(); }
    // The graphs of the page layer's graph layers, back to front.
    std::vector<KXGraph*> stackedGraphs() const {
        std::vector<KXGraph*> graphs;
        for (const auto& sublayer : layer->sublayers()) {
            if (auto* graphLayer = dynamic_cast<KXGraphLayer*>(sublayer.get()))
                graphs.push_back(graphLayer->graph());
        }
        return graphs;
    }
    std::vector<KXGraph*> listedGraphs() const {
        std::vector<KXGraph*> graphs;
        for (const auto& graph : layer->canvas()->graphs())
            graphs.push_back(graph.get());
        return graphs;
    }

    std::shared_ptr<KXCanvasLayer> layer;
};

TEST_F(GroupLayerTest, GroupingPlacesChildLayersAtTheirOffsetsInsideTheGroup) {
    auto a = add({100, 100, 100, 100}), b = add({300, 150, 100, 50});
    auto group = page()->groupGraphs({a, b});
    ASSERT_NE(group, nullptr);
    auto* groupLayer = dynamic_cast<KXGroupLayer*>(group->render());
    ASSERT_NE(groupLayer, nullptr);
    EXPECT_EQ(groupLayer->superlayer(), layer.get());
    EXPECT_EQ(groupLayer->frame(), kx::Rect(100, 100, 300, 100));
    ASSERT_EQ(groupLayer->sublayers().size(), 2u);
    EXPECT_EQ(layerOf(*a)->superlayer(), groupLayer);
    EXPECT_EQ(layerOf(*a)->frame(), kx::Rect(0, 0, 100, 100));
    EXPECT_EQ(layerOf(*b)->frame(), kx::Rect(200, 50, 100, 50));
    EXPECT_EQ(b->relativeRect(), kx::Rect(200.0 / 300, 0.5, 100.0 / 300, 0.5));
    EXPECT_EQ(layerOf(*a)->canvasLayer(), layer.get());
    // Moving the group moves the children with it; a child's own change keeps it in group space.
    group->setRelativeRect({0, 0, 300.0 / 800, 200.0 / 600});
    EXPECT_EQ(layerOf(*b)->frame(), kx::Rect(200, 100, 100, 100));
    b->setRelativeRect({0, 0, 0.5, 0.5});
    EXPECT_EQ(layerOf(*b)->frame(), kx::Rect(0, 0, 150, 100));
}

struct MirrorCase {
    double angle;
    std::int32_t flipX;
    Rgba below, above;  // at 70 points under and over the half graph's centre
    Rgba left, right;   // at 70 points left and right of it
};

TEST_F(GroupLayerTest, TurnedAndFlippedGroupRendersMirrored) {
    const double q = std::numbers::pi / 2;
    const std::vector<MirrorCase> cases = {
        {0, 1, kWhite, kWhite, kGreen, kBlue},
        {0, -1, kWhite, kWhite, kBlue, kGreen},
        {q, 1, kGreen, kBlue, kWhite, kWhite},
        {q, -1, kBlue, kGreen, kWhite, kWhite},
    };
    auto half = add<HalfGraph>({100, 100, 200, 100});
    auto dot = add({390, 140, 20, 20});
    dot->color = kx::Color::srgb(1, 0, 0, 1);
    auto group = page()->groupGraphs({half, dot});
    ASSERT_NE(group, nullptr);
    // The group spans 100...410 by 100...200, centre (255, 150); the half graph's centre is (200, 150).
    for (const MirrorCase& c : cases) {
        SCOPED_TRACE(c.angle * 10 + c.flipX);
        group->setAngle(c.angle);
        group->setFlipX(c.flipX);
        const QImage image = render();
        const double a = c.angle;
        // Where the half graph's centre and the dot show: mirrored, then turned about the group's centre.
        const auto shown = [&](double x, double y) {
            const double vx = (x - 255) * c.flipX, vy = y - 150;
            return kx::Point{255 + vx * std::cos(a) - vy * std::sin(a), 150 + vx * std::sin(a) + vy * std::cos(a)};
        };
        const kx::Point centre = shown(200, 150), dotCentre = shown(400, 150);
        EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image, int(dotCentre.x), int(dotCentre.y)), kRed));
        EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image, int(centre.x), int(centre.y - 70)), c.below));
        EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image, int(centre.x), int(centre.y + 70)), c.above));
        EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image, int(centre.x - 70), int(centre.y)), c.left));
        EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image, int(centre.x + 70), int(centre.y)), c.right));
    }
}

TEST_F(GroupLayerTest, RotatingAFlippedGroupKeepsItsFlip) {
    auto a = add({100, 100, 100, 100}), b = add({300, 100, 100, 100});
    auto group = page()->groupGraphs({a, b});
    group->setFlipX(-1);
    group->setAngle(0.3);
    const kx::AffineTransform t = group->render()->graphLayer()->affineTransform();
    EXPECT_LT(t.a * t.d - t.b * t.c, 0);  // still mirrored
}

TEST_F(GroupLayerTest, GroupFadesAsOne) {
    auto a = add({100, 100, 100, 100}), b = add({150, 150, 100, 100});
    auto group = page()->groupGraphs({a, b});
    group->setOpacity(0.5);
    EXPECT_EQ(group->render()->graphLayer()->opacity(), 0.5);
    // Where the children overlap the page shows the front child at half strength, not twice faded red.
    const Rgba overlap = kxtest::pixelAtYUp(render(), 175, 175);
    EXPECT_TRUE(kxtest::colorNear(overlap, Rgba{255, 128, 128, 255}, 3)) << overlap;
}

TEST_F(GroupLayerTest, HitTestsReachTheChildrenThroughTheGroup) {
    auto a = add({100, 100, 100, 100}), b = add({300, 100, 100, 100});
    auto group = page()->groupGraphs({a, b});
    group->setAngle(std::numbers::pi / 2);  // the children now stand above and below the centre (250, 150)
    EXPECT_EQ(page()->selectGraphAtPoint({250, 240}), group);
    EXPECT_EQ(page()->selectGraphAtPoint({250, 60}), group);
    EXPECT_EQ(page()->selectGraphAtPoint({150, 150}), nullptr);
    EXPECT_EQ(page()->selectGraphAtPoint({250, 150}), nullptr);  // the gap
}

TEST_F(GroupLayerTest, LayersFollowTheListThroughMovesGroupingAndUndo) {
    std::vector<std::shared_ptr<kxtest::SolidGraph>> graphs;
    for (int i = 0; i < 4; ++i)
        graphs.push_back(add({50.0 + 100 * i, 50, 80, 80}));
    kxtest::endEvent();
    const auto check = [&] {
        EXPECT_EQ(stackedGraphs(), listedGraphs());
        for (const auto& graph : page()->graphs())
            ASSERT_NE(layerOf(*graph), nullptr);
    };
    page()->setAllGrpahsSelection(false);
    graphs[0]->setSelected(true);
    graphs[2]->setSelected(true);
    page()->selectedGraphsGoFront();
    kxtest::endEvent();
    check();
    page()->selectedGraphsGoBackward();
    kxtest::endEvent();
    check();
    auto group = page()->groupGraphs({graphs[1], graphs[3]});
    kxtest::endEvent();
    check();
    group->setAngle(0.5);
    kxtest::endEvent();
    page()->unGroup(group);
    kxtest::endEvent();
    check();
    EXPECT_EQ(layerOf(*graphs[1])->superlayer(), layer.get());
    for (int i = 0; i < 5; ++i) {
        page()->undoManager().undo();
        check();
    }
    EXPECT_EQ(listedGraphs(), (std::vector<KXGraph*>{graphs[0].get(), graphs[1].get(), graphs[2].get(),
                                                     graphs[3].get()}));
    for (int i = 0; i < 5; ++i) {
        page()->undoManager().redo();
        check();
    }
    EXPECT_EQ(page()->indexOfGraph(group.get()), -1);
}

}  // namespace
