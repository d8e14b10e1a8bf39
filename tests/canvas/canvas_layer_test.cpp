#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "canvas/graph_layer.h"
#include "model/background.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "model/tracker.h"
#include "platform/foundation/notification_center.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using kxtest::Rgba;

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};

class CanvasLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
        layer->setFrame({0, 0, 800, 600});
    }
    KXCanvas* page() { return layer->canvas(); }

    // A solid graph at a frame in page points.
    std::shared_ptr<kxtest::SolidGraph> solid(const kx::Rect& frame, const kx::Color& color) {
        auto graph = std::make_shared<kxtest::SolidGraph>();
        graph->color = color;
        page()->addGraph(graph);
        graph->setRelativeRect({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                                frame.size.height / 600});
        return graph;
    }
    static KXGraphLayer* layerOf(const KXGraph& graph) { return dynamic_cast<KXGraphLayer*>(graph.render()); }
    QImage render() { return kx::renderLayerTree(*layer).qimage(); }

    std::shared_ptr<KXCanvasLayer> layer;
};

TEST_F(CanvasLayerTest, PageLayerRendersItsGraphsInStackingOrder) {
    auto back = solid({100, 100, 200, 200}, kx::Color::srgb(1, 0, 0, 1));
    kxtest::endEvent();
    auto front = solid({200, 200, 200, 200}, kx::Color::srgb(0, 0, 1, 1));
    ASSERT_EQ(layer->sublayers().size(), 2u);
    EXPECT_EQ(layer->sublayers()[0].get(), layerOf(*back));
    EXPECT_EQ(layer->sublayers()[1].get(), layerOf(*front));
    QImage image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 150, 150), kRed, 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 250, 250), kBlue, 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, 50), kWhite, 2);

    // Undoing the insertion of the front graph takes its layer away; redoing brings a new one back on top.
    kxtest::endEvent();
    page()->undoManager().undo();  // the insertion with its rectangle, one gesture
    EXPECT_EQ(front->render(), nullptr);
    EXPECT_EQ(layer->sublayers().size(), 1u);
    page()->undoManager().redo();
    ASSERT_EQ(layer->sublayers().size(), 2u);
    EXPECT_EQ(layer->sublayers()[1].get(), layerOf(*front));
}

TEST_F(CanvasLayerTest, AttachingAPageBuildsEveryGraphLayer) {
    auto stored = std::make_shared<KXCanvas>();
    for (int i = 0; i < 3; ++i) {
        auto graph = std::make_shared<KXGraph>();
        stored->addGraph(graph);
        graph->setRelativeRect({0.1 * i, 0, 0.1, 0.1});
    }
    auto shown = KXCanvasLayer::create(stored);
    ASSERT_EQ(shown->sublayers().size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shown->sublayers()[i].get(), layerOf(*stored->graphAtIndex(i)));
    EXPECT_EQ(stored->owner(), shown.get());
    // The graph layer measures strokes on the preview and dashes the tracker outline.
    KXGraph* graph = stored->graphAtIndex(0).get();
    EXPECT_EQ(graph->stroke()->type(), unsigned(KXStrokeWidthRelative));
    EXPECT_EQ(graph->tracker()->lineType(), 1);
    shown.reset();
    EXPECT_EQ(stored->owner(), nullptr);
    EXPECT_EQ(graph->render(), nullptr);
}

TEST_F(CanvasLayerTest, SwitchingPagesLeavesOnlyTheNewPagesLayers) {
    auto oldGraph = solid({100, 100, 200, 200}, kx::Color::srgb(1, 0, 0, 1));
    auto oldPage = layer->sharedCanvas();
    // A companion that is not a graph layer stays where it is.
    auto companion = std::make_shared<kx::Layer>();
    layer->addSublayer(companion);

    auto next = std::make_shared<KXCanvas>();
    auto newGraph = std::make_shared<kxtest::SolidGraph>();
    newGraph->color = kx::Color::srgb(0, 0, 1, 1);
    next->addGraph(newGraph);
    newGraph->setRelativeRect({0.5, 0.5, 0.25, 0.25});
    layer->setCanvas(next);

    EXPECT_EQ(layer->graphLayerCount(), 1);
    ASSERT_EQ(layer->sublayers().size(), 2u);
    ASSERT_NE(layerOf(*newGraph), nullptr);
    EXPECT_EQ(layerOf(*newGraph)->superlayer(), layer.get());
    EXPECT_EQ(companion->superlayer(), layer.get());
    // The old page keeps its graph, but nothing of the old graph stays linked to the shown tree.
    EXPECT_EQ(oldPage->owner(), nullptr);
    EXPECT_EQ(oldGraph->render(), nullptr);
    EXPECT_EQ(oldPage->graphCount(), 1);
    QImage image = render();
    EXPECT_FALSE(kxtest::colorNear(kxtest::pixelAtYUp(image, 150, 150), kRed, 2));

    // Back to the old page: its graph gets a fresh layer, the other page's goes.
    layer->setCanvas(oldPage);
    EXPECT_EQ(layer->graphLayerCount(), 1);
    EXPECT_EQ(newGraph->render(), nullptr);
    ASSERT_NE(layerOf(*oldGraph), nullptr);
    EXPECT_EQ(layerOf(*oldGraph)->superlayer(), layer.get());
    image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 150, 150), kRed, 2);
}

TEST_F(CanvasLayerTest, GraphIndexesSkipCompanionLayers) {
    auto a = solid({0, 0, 10, 10}, kx::Color::srgb(1, 0, 0, 1));
    auto b = solid({20, 0, 10, 10}, kx::Color::srgb(1, 0, 0, 1));
    // A companion (as a reflection would be) directly beneath A.
    auto companion = std::make_shared<kx::Layer>();
    layer->insertSublayerBelow(companion, layerOf(*a));
    EXPECT_EQ(layer->actualIndex(0), 0);
    EXPECT_EQ(layer->actualIndex(1), 2);
    EXPECT_EQ(layer->actualIndex(2), 3);

    int added = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(KXCanvasAddGraph, layer.get(),
                                                                      [&](const kx::Notification&) { ++added; });
    auto inserted = std::make_shared<KXGraph>();
    page()->insertGraph(inserted, 1);
    ASSERT_EQ(layer->sublayers().size(), 4u);
    EXPECT_EQ(layer->sublayers()[0], companion);
    EXPECT_EQ(layer->sublayers()[1].get(), layerOf(*a));
    EXPECT_EQ(layer->sublayers()[2].get(), layerOf(*inserted));
    EXPECT_EQ(layer->sublayers()[3].get(), layerOf(*b));
    EXPECT_EQ(added, 1);
    // Index 0 goes below the bottom graph's companion.
    auto bottom = std::make_shared<KXGraph>();
    page()->insertGraph(bottom, 0);
    EXPECT_EQ(layer->sublayers()[0].get(), layerOf(*bottom));
    // A graph whose layer is already here changes nothing and posts nothing.
    layer->insertGraph(inserted.get(), 0);
    EXPECT_EQ(added, 2);
    EXPECT_EQ(layer->sublayers().size(), 5u);
}

// The position above the n-th graph layer, found by walking the whole list from the back of the page.
std::int64_t positionByFullWalk(const kx::Layer& page, std::int64_t graphIndex) {
    if (graphIndex <= 0)
        return graphIndex;
    std::int64_t graphLayers = 0, others = 0;
    for (const auto& sublayer : page.sublayers()) {
        if (dynamic_cast<const KXGraphLayer*>(sublayer.get())) {
            if (++graphLayers == graphIndex)
                break;
        } else {
            ++others;
        }
    }
    return graphIndex + others;
}

TEST_F(CanvasLayerTest, GraphIndexesStayExactThroughEveryChangeOfTheSublayers) {
    // Graphs entering and leaving, companions beneath graph layers, a layer on top of all, graph layers moved
    // within the page and out to another layer and back, in a fixed pseudo-random order.
    std::mt19937 random(20261210);
    auto pick = [&](std::size_t count) { return std::size_t(random() % count); };
    kx::Layer elsewhere;
    auto graphLayers = [&] {
        std::vector<std::shared_ptr<kx::Layer>> found;
        for (const auto& sublayer : layer->sublayers()) {
            if (dynamic_cast<KXGraphLayer*>(sublayer.get()))
                found.push_back(sublayer);
        }
        return found;
    };
    for (int step = 0; step < 400; ++step) {
        const auto graphs = graphLayers();
        const std::int64_t count = std::int64_t(graphs.size());
        switch (random() % 8) {
        case 0:
        case 1: page()->insertGraph(std::make_shared<KXGraph>(), pick(std::size_t(page()->graphCount()) + 2)); break;
        case 2:
            if (page()->graphCount() > 0)
                page()->removeGraph(page()->graphAtIndex(std::int64_t(pick(std::size_t(page()->graphCount())))).get());
            break;
        case 3:
            if (count > 0)
                layer->insertSublayerBelow(std::make_shared<kx::Layer>(), graphs[pick(graphs.size())].get());
            break;
        case 4: {
            // A companion or the layer on top leaves.
            std::vector<kx::Layer*> others;
            for (const auto& sublayer : layer->sublayers()) {
                if (!dynamic_cast<KXGraphLayer*>(sublayer.get()))
                    others.push_back(sublayer.get());
            }
            if (!others.empty())
                others[pick(others.size())]->removeFromSuperlayer();
            else
                layer->addSublayer(std::make_shared<kx::Layer>());
            break;
        }
        case 5:
            // Rearranged by graph index, as bringing forward and sending backward do.
            if (count > 0)
                layer->insertSublayer(graphs[pick(graphs.size())], unsigned(pick(std::size_t(count) + 1)));
            break;
        case 6:
            if (count > 0)
                elsewhere.addSublayer(graphs[pick(graphs.size())]);
            break;
        case 7:
            if (!elsewhere.sublayers().empty())
                layer->insertSublayer(elsewhere.sublayers().front(), unsigned(pick(std::size_t(count) + 1)));
            break;
        }
        const std::int64_t now = std::int64_t(graphLayers().size());
        ASSERT_EQ(layer->graphLayerCount(), now) << "step " << step;
        for (std::int64_t n = -1; n <= now + 2; ++n)
            ASSERT_EQ(layer->actualIndex(n), positionByFullWalk(*layer, n)) << "step " << step << ", index " << n;
    }
    EXPECT_GT(layer->graphLayerCount(), 3);
    EXPECT_GT(std::int64_t(layer->sublayers().size()), layer->graphLayerCount());
}

TEST_F(CanvasLayerTest, RemovingAGraphTakesItsLayerAndDetachesIt) {
    auto graph = solid({10, 10, 50, 50}, kx::Color::srgb(1, 0, 0, 1));
    auto overlay = std::make_shared<KXAuxiliaryLayer>();
    layer->setAuxiliaryLayer(overlay.get());
    overlay->setCanvasLayer(layer.get());
    overlay->setFrame({0, 0, 800, 600});
    kx::BitmapContext shown(800, 600);
    overlay->paint(shown);  // the selected graph's handles are on screen
    overlay->displayIfNeeded();
    page()->removeGraph(graph.get());
    EXPECT_TRUE(layer->sublayers().empty());
    EXPECT_EQ(graph->render(), nullptr);
    EXPECT_EQ(graph->canvas(), nullptr);
    EXPECT_FALSE(graph->isSelected());
    EXPECT_TRUE(overlay->needsDisplay());
    layer->setAuxiliaryLayer(nullptr);
}

TEST_F(CanvasLayerTest, FrameIsRoundedHalvesToEven) {
    auto graph = solid({0, 0, 10, 10}, kx::Color::srgb(1, 0, 0, 1));
    KXGraphLayer* graphLayer = layerOf(*graph);
    graphLayer->setFrame({10.4, 20.6, 100.2, 50.5});
    EXPECT_EQ(graphLayer->frame(), kx::Rect(10, 21, 100, 50));
    graphLayer->setFrame({0.5, 1.5, 2.5, 3.5});
    EXPECT_EQ(graphLayer->frame(), kx::Rect(0, 2, 2, 4));
}

TEST_F(CanvasLayerTest, LayoutFollowsTheFrameAndTheDisplayLock) {
    auto graph = solid({100, 100, 200, 100}, kx::Color::srgb(1, 0, 0, 1));
    layer->setFrame({0, 0, 400, 400});
    EXPECT_EQ(page()->zoomValue(), 0.5);
    EXPECT_EQ(layerOf(*graph)->frame(), kx::Rect(50, 50, 100, 50));
    layer->lockDisplay();
    layer->displayIfNeeded();
    layer->setFrame({0, 0, 800, 600});
    EXPECT_TRUE(graph->isDisplayLocked());
    EXPECT_FALSE(layer->needsDisplay());
    EXPECT_EQ(layerOf(*graph)->frame(), kx::Rect(100, 100, 200, 100));
    layer->unlockDisplay();
    layer->layoutGraphs();
    EXPECT_FALSE(graph->isDisplayLocked());
}

TEST_F(CanvasLayerTest, RotatedLayerAboutACornerLandsWhereTheLayerModelPutsIt) {
    auto graph = solid({100, 100, 100, 50}, kx::Color::srgb(0, 0, 1, 1));
    KXGraphLayer* graphLayer = layerOf(*graph);
    const QImage before = render();
    // Moving the anchor to the bottom-left corner leaves the layer where it was.
    const kx::Point position = graph->fixedPositionOfAnchorPoint({0, 0});
    EXPECT_EQ(position, kx::Point(100, 100));
    EXPECT_EQ(kxtest::maxChannelDifference(render(), before), 0);
    // A quarter turn about that corner: the point (u, v) of the bounds lands at position + R(u, v).
    graph->rotateGraphWithOffsetAngle(M_PI / 2);
    EXPECT_EQ(graphLayer->anchorPoint(), kx::Point(0, 0));
    const QImage turned = render();
    for (const kx::Point uv : {kx::Point{50, 25}, kx::Point{90, 10}, kx::Point{10, 40}}) {
        const kx::Point expected{position.x - uv.y, position.y + uv.x};
        EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(turned, int(expected.x), int(expected.y)), kBlue, 2)
            << uv.x << "," << uv.y;
        EXPECT_EQ(graphLayer->convertPointToLayer(uv, layer.get()), expected);
    }
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(turned, 180, 120), kWhite, 2);  // where the unturned body was

    // Back to the centre: the model rectangle follows where the layer really is, without an undo step.
    kxtest::endEvent();
    page()->undoManager().removeAllActions();
    {
        kx::UndoDisabler off(page()->undoManager());
        graph->resetAnchor();
    }
    EXPECT_EQ(graphLayer->anchorPoint(), kx::Point(0.5, 0.5));
    EXPECT_FALSE(page()->undoManager().canUndo());
    const kx::Rect frame = graph->frameRect();
    EXPECT_NEAR(frame.midX(), 75, 1e-9);
    EXPECT_NEAR(frame.midY(), 150, 1e-9);
    EXPECT_EQ(kxtest::maxChannelDifference(render(), turned), 0);
}

TEST_F(CanvasLayerTest, ResizeKeepsTheOppositeCornerOfATurnedGraph) {
    auto graph = solid({100, 100, 100, 50}, kx::Color::srgb(0, 0, 1, 1));
    graph->rotateGraphWithOffsetAngle(0.3);
    KXGraphLayer* graphLayer = layerOf(*graph);
    const kx::Point fixedCorner = graphLayer->convertPointToLayer({0, 0}, layer.get());
    ASSERT_TRUE(graph->resizeGraphWithOffsetX(20, 10, 2, true));
    EXPECT_EQ(graphLayer->bounds().size, kx::Size(120, 60));
    const kx::Point after = graphLayer->convertPointToLayer({0, 0}, layer.get());
    EXPECT_NEAR(after.x, fixedCorner.x, 1e-9);
    EXPECT_NEAR(after.y, fixedCorner.y, 1e-9);
    // While the anchor sits at the corner the frame in page space follows the layer.
    const kx::Rect tracked = graph->frameRectWithRotationInGroup();
    const kx::Point centre = graphLayer->convertPointToLayer({60, 30}, layer.get());
    EXPECT_NEAR(tracked.midX(), centre.x, 1e-9);
    EXPECT_NEAR(tracked.midY(), centre.y, 1e-9);
}

TEST_F(CanvasLayerTest, PointConversionRoundTripsUnderRotationAndFlips) {
    auto graph = solid({100, 100, 100, 50}, kx::Color::srgb(0, 0, 1, 1));
    KXGraphLayer* graphLayer = layerOf(*graph);
    auto flipped = std::make_shared<kx::Layer>();
    flipped->setFrame({10, 10, 30, 20});
    graphLayer->addSublayer(flipped);
    for (double angle : {0.0, 0.4, M_PI / 2, 2.5, -1.1}) {
        graph->setAngle(angle);
        for (const kx::AffineTransform& flip : {kx::AffineTransform::makeScale(-1, 1),
                                                kx::AffineTransform::makeScale(1, -1),
                                                kx::AffineTransform::makeScale(-1, -1)}) {
            flipped->setAffineTransform(flip);
            for (const kx::Point p : {kx::Point{0, 0}, kx::Point{3, 17}, kx::Point{-5, 40}}) {
                const kx::Point onPage = flipped->convertPointToLayer(p, layer.get());
                const kx::Point back = flipped->convertPointFromLayer(onPage, layer.get());
                EXPECT_NEAR(back.x, p.x, 1e-9);
                EXPECT_NEAR(back.y, p.y, 1e-9);
            }
        }
        // The graph's render space undoes exactly its turn about the frame centre.
        const kx::Point inside = graphLayer->convertPointToLayer({30, 10}, layer.get());
        const kx::Point unturned = graphLayer->convertPointToRenderSpace(inside);
        EXPECT_NEAR(unturned.x, 130, 1e-9);
        EXPECT_NEAR(unturned.y, 110, 1e-9);
        EXPECT_TRUE(graph->containsPoint(inside));
    }
}

TEST_F(CanvasLayerTest, ObservedChangesUpdateTheLayerAndAnnounceThem) {
    auto graph = solid({100, 100, 100, 50}, kx::Color::srgb(0, 0, 1, 1));
    KXGraphLayer* graphLayer = layerOf(*graph);
    int announced = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(KXGrapPropertyChanged, graph.get(),
                                                                      [&](const kx::Notification&) { ++announced; });
    graph->setAngle(0.5);
    EXPECT_EQ(graphLayer->affineTransform(), kx::AffineTransform::makeRotation(0.5));
    EXPECT_EQ(announced, 1);
    // With the shadow on, turning the shadow moves the layer's shadow and leaves the layer's turn alone.
    graph->setShadowEnabled(true);
    const kx::Size before = graphLayer->shadowOffset();
    graph->shadow()->setAngle(graph->shadow()->angle() + 90);
    const kx::Size after = graphLayer->shadowOffset();
    EXPECT_GT(std::hypot(after.width - before.width, after.height - before.height), 1.0);
    EXPECT_NEAR(std::hypot(after.width, after.height), std::hypot(before.width, before.height), 1e-6);
    EXPECT_EQ(graphLayer->affineTransform(), kx::AffineTransform::makeRotation(0.5));
    graph->setShadowEnabled(false);
    EXPECT_EQ(announced, 4);

    graph->setOpacity(0.4);
    EXPECT_DOUBLE_EQ(graphLayer->opacity(), 0.4);
    {
        // Painting never writes the opacity, so a change made while the page records no undo steps (an
        // inspector refreshing, a page-size change) is real and the layer follows it; opacity is not announced.
        kx::UndoDisabler off(page()->undoManager());
        graph->setOpacity(0.7);
    }
    EXPECT_DOUBLE_EQ(graphLayer->opacity(), 0.7);
    EXPECT_EQ(announced, 4);

    graph->setShadowEnabled(true);
    EXPECT_GT(graphLayer->shadowOpacity(), 0);
    graph->setShadowEnabled(false);
    EXPECT_EQ(graphLayer->shadowOpacity(), 0);
    EXPECT_EQ(announced, 6);

    // Moving without resizing keeps the cached drawing; resizing redraws it.
    graph->setAngle(0);
    graphLayer->displayIfNeeded();
    graph->moveGraphWithOffsetX(10, 0);
    EXPECT_FALSE(graphLayer->needsDisplay());
    EXPECT_EQ(graphLayer->frame().origin.x, 110);
    graph->resizeGraphWithOffsetX(10, 0, 3, true);
    graph->resetAnchor();
    EXPECT_TRUE(graphLayer->needsDisplay());
}

TEST_F(CanvasLayerTest, SelectionChangesRedrawTheOverlay) {
    auto graph = solid({100, 100, 100, 50}, kx::Color::srgb(0, 0, 1, 1));
    auto overlay = std::make_shared<KXAuxiliaryLayer>();
    layer->setAuxiliaryLayer(overlay.get());
    overlay->setCanvasLayer(layer.get());
    overlay->setFrame({0, 0, 800, 600});
    kx::BitmapContext shown(800, 600);
    overlay->paint(shown);
    overlay->displayIfNeeded();
    graph->setSelected(!graph->isSelected());
    EXPECT_TRUE(overlay->needsDisplay());
    overlay->displayIfNeeded();
    layer->setNeedsDisplay();
    EXPECT_TRUE(overlay->needsDisplay());
    layer->setAuxiliaryLayer(nullptr);
}

}  // namespace
