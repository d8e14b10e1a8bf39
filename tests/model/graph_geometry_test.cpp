// Moving and resizing without layers: the rectangle rules alone (the layer side is tested with the canvas).
#include "page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class GraphGeometryTest : public ::testing::Test {
protected:
    void SetUp() override { kxtest::registerPageClasses(); }

    // A graph with the frame (in preview points of the 800 x 600 page at zoom 1).
    template <class G = KXGraph>
    std::shared_ptr<G> graphWithFrame(const kx::Rect& frame, std::shared_ptr<G> graph = std::make_shared<G>()) {
        page->addGraph(graph);
        graph->setRelativeRect({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                                frame.size.height / 600});
        return graph;
    }

    std::shared_ptr<KXCanvas> page = kxtest::fittedPage();
};

void expectFrame(const KXGraph& graph, const kx::Rect& expected) {
    const kx::Rect f = graph.frameRect();
    EXPECT_NEAR(f.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(f.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(f.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(f.size.height, expected.size.height, 1e-9);
}

TEST_F(GraphGeometryTest, AnchorPointOfEachHandleIsTheOppositeSide) {
    const std::pair<std::uint32_t, kx::Point> table[] = {
        {0, {1, 0}},   {1, {0.5, 0}}, {2, {0, 0}}, {3, {0, 0.5}}, {4, {0, 1}},
        {5, {0.5, 1}}, {6, {1, 1}},   {7, {1, 0.5}}, {8, {1, 0}}, {42, {1, 0}},
    };
    for (const auto& [node, anchor] : table)
        EXPECT_EQ(KXGraph::anchorPointOfTrackerNode(node), anchor) << node;
}

TEST_F(GraphGeometryTest, MoveShiftsTheFrame) {
    auto graph = graphWithFrame({100, 100, 50, 40});
    graph->moveGraphWithOffsetX(10, -20);
    expectFrame(*graph, {110, 80, 50, 40});
}

struct ResizeCase {
    const char* name;
    kx::Rect frame;
    double dx, dy;
    std::uint32_t node;
    bool keep;
    bool done;
    kx::Rect expected;
};

TEST_F(GraphGeometryTest, ResizeByHandle) {
    const ResizeCase cases[] = {
        {"corner 2 keeps r = 2", {100, 100, 100, 50}, 10, 3, 2, true, true, {100, 100, 106, 53}},
        {"corner 6 keeps r = 0.4", {100, 100, 40, 100}, -10, -10, 6, true, true, {96, 90, 44, 110}},
        {"corner 4 refuses a widening", {100, 100, 100, 50}, 5, 0, 4, true, false, {100, 100, 100, 50}},
        {"corner 2 widens freely", {100, 100, 100, 50}, 5, 0, 2, false, true, {100, 100, 105, 50}},
        {"corner 0 refuses opposite senses", {100, 100, 100, 50}, 5, 5, 0, false, false, {100, 100, 100, 50}},
        {"corner 0 without keep", {100, 100, 100, 50}, -5, 5, 0, false, true, {95, 100, 105, 55}},
        {"corner 4 without keep", {100, 100, 100, 50}, 5, -5, 4, false, true, {100, 95, 105, 55}},
        {"edge 1 of a plain graph", {100, 100, 100, 50}, 30, 10, 1, true, true, {100, 100, 100, 60}},
        {"edge 7", {100, 100, 100, 50}, -10, 30, 7, true, true, {90, 100, 110, 50}},
        {"edge 5", {100, 100, 100, 50}, 0, 10, 5, true, true, {100, 110, 100, 40}},
        {"width 1.5 is refused", {100, 100, 100, 50}, -98.5, 0, 3, true, false, {100, 100, 100, 50}},
        {"no offset", {100, 100, 100, 50}, 0, 0, 2, true, false, {100, 100, 100, 50}},
        {"rotate handle leaves the frame", {100, 100, 100, 50}, 3, 3, 8, true, true, {100, 100, 100, 50}},
    };
    for (const ResizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto graph = graphWithFrame(c.frame);
        EXPECT_EQ(graph->resizeGraphWithOffsetX(c.dx, c.dy, c.node, c.keep), c.done);
        expectFrame(*graph, c.expected);
        page->removeGraph(graph.get());
    }
}

TEST_F(GraphGeometryTest, GroupEdgeKeepsProportionsAboutItsCentre) {
    auto group = graphWithFrame({100, 100, 100, 50}, std::make_shared<kxtest::TypedGraph>(KXGraphTypeGroup));
    group->setAspectRatio(2);
    EXPECT_TRUE(group->resizeGraphWithOffsetX(20, 0, 3, true));
    expectFrame(*group, {100, 95, 120, 60});
}

TEST_F(GraphGeometryTest, PhotoEdgeAsksForANewAspectRatio) {
    auto photo = graphWithFrame({100, 100, 100, 50}, std::make_shared<kxtest::TypedGraph>(KXGraphTypePhoto));
    photo->setUpdateAspectRatio(false);
    EXPECT_TRUE(photo->resizeGraphWithOffsetX(0, 10, 1, true));
    EXPECT_TRUE(photo->updateAspectRatio());
}

TEST_F(GraphGeometryTest, KeepAspectWithoutAnAspectRatioUsesTheFrame) {
    // A graph never measured on a page has aspect ratio 0; dividing by it would give a frame of NaN.
    auto graph = graphWithFrame({100, 100, 100, 50});
    graph->setAspectRatio(0);
    EXPECT_TRUE(graph->resizeGraphWithOffsetX(1, 6, 2, true));
    const kx::Rect f = graph->frameRect();
    EXPECT_TRUE(std::isfinite(f.size.width) && std::isfinite(f.size.height));
    EXPECT_NEAR(f.size.width / f.size.height, 2, 1e-9);

    auto group = graphWithFrame({100, 100, 100, 0.0}, std::make_shared<kxtest::TypedGraph>(KXGraphTypeGroup));
    group->setAspectRatio(0);
    EXPECT_FALSE(group->resizeGraphWithOffsetX(20, 0, 3, true));
}

TEST_F(GraphGeometryTest, ResizeToOffsetDrivesTheCropResetHandles) {
    auto graph = graphWithFrame({100, 100, 100, 50});
    EXPECT_TRUE(graph->resizeGraphToOffsetX(10, 10, 6));
    expectFrame(*graph, {110, 110, 90, 40});
    EXPECT_TRUE(graph->resizeGraphToOffsetX(20, 5, 2));
    expectFrame(*graph, {110, 110, 110, 45});
    EXPECT_TRUE(graph->resizeGraphToOffsetX(5, 5, 0));  // not a handle of this drive: unchanged
    expectFrame(*graph, {110, 110, 110, 45});
    auto group = graphWithFrame({100, 100, 100, 50}, std::make_shared<kxtest::TypedGraph>(KXGraphTypeGroup));
    group->setAspectRatio(2);
    EXPECT_TRUE(group->resizeGraphToOffsetX(0, -10, 5));
    expectFrame(*group, {90, 90, 120, 60});
}

TEST_F(GraphGeometryTest, PageWithoutPreviewRefusesMovesInsteadOfDividingByZero) {
    auto bare = std::make_shared<KXCanvas>();
    auto graph = kxtest::graphAt<KXGraph>({0.1, 0.1, 0.2, 0.2});
    bare->addGraph(graph);
    graph->moveGraphWithOffsetX(5, 5);
    EXPECT_FALSE(graph->resizeGraphWithOffsetX(5, 5, 2, false));
    EXPECT_EQ(graph->relativeRect(), kx::Rect(0.1, 0.1, 0.2, 0.2));
}

TEST_F(GraphGeometryTest, FrameThroughGroupsWithoutLayers) {
    auto group = graphWithFrame({100, 100, 200, 100}, std::make_shared<kxtest::TypedGraph>(KXGraphTypeGroup));
    KXGraph child;
    child.setCanvas(page.get());
    child.setGroup(group.get());
    child.setRelativeRect({0.5, 0.5, 0.25, 0.5});
    EXPECT_EQ(child.frameRectWithRotationInGroup(), kx::Rect(200, 150, 50, 50));
    EXPECT_EQ(child.frameRect(), kx::Rect(200, 150, 50, 50));
    EXPECT_EQ(child.graphRectWithRotationInGroup(), child.frameRectWithRotationInGroup());
}

}  // namespace
