#include "model/background.h"
#include "model/group.h"
#include "model/photo.h"
#include "model/shape.h"
#include "page_test_support.h"
#include "shapes/symbol_shape.h"

#include <gtest/gtest.h>

#include <numbers>

using kxtest::endEvent;
using kxtest::graphAt;
using kxtest::RecordingOwner;
using kxtest::SolidGraph;

namespace {

class ArrangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        page = kxtest::fittedPage(&owner);
        for (int i = 0; i < 4; ++i)
            abcd.push_back(add({50.0 + 150 * i, 100.0 + 40 * i, 100, 60}));
        endEvent();
        undo().removeAllActions();
    }
    void TearDown() override { page->setOwner(nullptr); }

    kx::UndoManager& undo() { return page->undoManager(); }
    std::shared_ptr<KXGraph> add(const kx::Rect& frame) {
        auto graph = graphAt({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                              frame.size.height / 600});
        page->addGraph(graph);
        return graph;
    }
    void select(const std::vector<int>& which) {
        page->setAllGrpahsSelection(false);
        for (int i : which)
            abcd[std::size_t(i)]->setSelected(true);
    }
    KXCanvas::GraphList order(const std::vector<int>& which) const {
        KXCanvas::GraphList list;
        for (int i : which)
            list.push_back(abcd[std::size_t(i)]);
        return list;
    }
    QByteArray bytes() const { return kxtest::archived(*page); }
    // Runs the operation as one event, then checks that undo gives back the page before it exactly and
    // redo the page after it.
    void expectUndoRedoExact(const std::function<void()>& operation) {
        const QByteArray before = bytes();
        const KXCanvas::GraphList listBefore = page->graphs();
        operation();
        endEvent();
        const QByteArray after = bytes();
        const KXCanvas::GraphList listAfter = page->graphs();
        if (after == before && listAfter == listBefore) {
            return;  // nothing changed, nothing to undo
        }
        ASSERT_TRUE(undo().canUndo());
        undo().undo();
        EXPECT_EQ(page->graphs(), listBefore);
        EXPECT_EQ(bytes(), before);
        undo().redo();
        EXPECT_EQ(page->graphs(), listAfter);
        EXPECT_EQ(bytes(), after);
    }

    RecordingOwner owner;
    std::shared_ptr<KXCanvas> page;
    KXCanvas::GraphList abcd;
};

enum class Move { Front, Forward, Back, Backward };

struct MoveCase {
    Move move;
    std::vector<int> selected;
    std::vector<int> locked;
    std::vector<int> expected;
};

TEST_F(ArrangeTest, StackingMovesAndTheirExactUndo) {
    const std::vector<MoveCase> cases = {
        {Move::Front, {1, 3}, {}, {0, 2, 1, 3}},
        {Move::Back, {1, 3}, {}, {1, 3, 0, 2}},
        {Move::Forward, {2, 3}, {}, {0, 1, 2, 3}},
        {Move::Forward, {1, 2}, {}, {0, 3, 1, 2}},
        {Move::Backward, {1, 2}, {}, {1, 2, 0, 3}},
        {Move::Backward, {0, 1}, {}, {0, 1, 2, 3}},
        {Move::Front, {1}, {}, {0, 2, 3, 1}},
        {Move::Front, {0, 2}, {2}, {1, 2, 3, 0}},
        {Move::Back, {3}, {3}, {0, 1, 2, 3}},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "move " << int(c.move) << " case expecting " << c.expected[0]
                                          << c.expected[1] << c.expected[2] << c.expected[3]);
        select(c.selected);
        for (int i : c.locked)
            abcd[std::size_t(i)]->setLocked(true);
        endEvent();
        const KXCanvas::GraphList start = page->graphs();
        expectUndoRedoExact([&] {
            switch (c.move) {
            case Move::Front: page->selectedGraphsGoFront(); break;
            case Move::Forward: page->selectedGraphsGoForward(); break;
            case Move::Back: page->selectedGraphsGoBack(); break;
            case Move::Backward: page->selectedGraphsGoBackward(); break;
            }
        });
        EXPECT_EQ(page->graphs(), order(c.expected));
        undo().undo();
        EXPECT_EQ(page->graphs(), start);
        for (int i : c.locked)
            abcd[std::size_t(i)]->setLocked(false);
        endEvent();
        undo().removeAllActions();
    }
}

TEST_F(ArrangeTest, StackingMovesTellTheOwnerTheNewIndex) {
    select({1});
    page->selectedGraphsGoFront();
    ASSERT_EQ(owner.moves.size(), 1u);
    EXPECT_EQ(owner.moves[0].graph, abcd[1].get());
    EXPECT_EQ(owner.moves[0].index, 3u);
}

TEST_F(ArrangeTest, ExchangesSwapAndMovesIgnoreIndexesInTheWrongOrder) {
    page->exchangeGraphAtIndex(0, 3);
    endEvent();
    EXPECT_EQ(page->graphs(), order({3, 1, 2, 0}));
    undo().undo();
    EXPECT_EQ(page->graphs(), abcd);
    page->exchangeGraphAtIndex(0, 4);  // out of range
    page->exchangeGraphAtIndexGoForwardToIndex(2, 1);
    page->exchangeGraphAtIndexGoBackwardToIndex(1, 2);
    EXPECT_EQ(page->graphs(), abcd);
    page->exchangeGraphAtIndexGoForwardToIndex(0, 2);
    EXPECT_EQ(page->graphs(), order({1, 2, 0, 3}));
    page->exchangeGraphAtIndexGoBackwardToIndex(3, 0);
    EXPECT_EQ(page->graphs(), order({3, 1, 2, 0}));
}

TEST_F(ArrangeTest, CanTestsLookAtTheFrontmostAndBackmostEditableGraph) {
    select({2, 3});
    EXPECT_FALSE(page->selectedGraphsCanGoForward());
    EXPECT_TRUE(page->selectedGraphsCanGoBack());
    select({0});
    EXPECT_TRUE(page->selectedGraphsCanGoForward());
    EXPECT_FALSE(page->selectedGraphsCanGoBack());
    abcd[0]->setLocked(true);
    EXPECT_FALSE(page->selectedGraphsCanGoForward());
    page->setAllGrpahsSelection(false);
    EXPECT_FALSE(page->selectedGraphsCanGoBack());
}

TEST_F(ArrangeTest, MovesRelayTextsInsideGroups) {
    auto text = std::make_shared<kxtest::TypedGraph>(KXGraphTypeText);
    text->setRelativeRect({0.8, 0.8, 0.1, 0.1});
    page->addGraph(text);
    auto group = page->groupGraphs({abcd[0], text});
    ASSERT_NE(group, nullptr);
    const int before = text->geometryUpdates;
    select({1});
    page->selectedGraphsGoFront();
    EXPECT_GT(text->geometryUpdates, before);
}

TEST_F(ArrangeTest, LockAndUnlockAreOneUndoStep) {
    select({0, 2});
    page->lockSelectedGraphs();
    endEvent();
    EXPECT_TRUE(abcd[0]->isLocked());
    EXPECT_TRUE(abcd[2]->isLocked());
    undo().undo();
    EXPECT_FALSE(abcd[0]->isLocked());
    EXPECT_FALSE(abcd[2]->isLocked());
    undo().redo();
    page->unlockGraphs({abcd[0]});
    endEvent();
    EXPECT_FALSE(abcd[0]->isLocked());
    undo().undo();
    EXPECT_TRUE(abcd[0]->isLocked());
}

TEST_F(ArrangeTest, GroupingSkipsLockedGraphsAndGivesChildrenRectanglesInGroupUnits) {
    abcd[2]->setLocked(true);
    endEvent();
    undo().removeAllActions();
    const kx::Rect frame0 = abcd[0]->frameRect(), frame1 = abcd[1]->frameRect();
    std::shared_ptr<KXGraph> group;
    expectUndoRedoExact([&] { group = page->groupGraphs({abcd[1], abcd[2], abcd[0]}); });
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{abcd[2], abcd[3], group}));
    ASSERT_EQ(group->graphs(), (KXCanvas::GraphList{abcd[0], abcd[1]}));
    const kx::Rect g = group->frameRect();
    for (const auto& [child, frame] : {std::pair{abcd[0], frame0}, std::pair{abcd[1], frame1}}) {
        EXPECT_EQ(child->group(), group.get());
        const kx::Rect r = child->relativeRect();
        EXPECT_NEAR(r.origin.x, (frame.origin.x - g.origin.x) / g.size.width, 1e-12);
        EXPECT_NEAR(r.origin.y, (frame.origin.y - g.origin.y) / g.size.height, 1e-12);
        EXPECT_NEAR(r.size.width, frame.size.width / g.size.width, 1e-12);
        EXPECT_NEAR(r.size.height, frame.size.height / g.size.height, 1e-12);
        EXPECT_NEAR(child->frameRect().origin.x, frame.origin.x, 1e-9);
    }
    EXPECT_EQ(group->angle(), 0);
    EXPECT_EQ(group->flipX(), 1);
}

TEST_F(ArrangeTest, GroupingNothingOneLockedOrAGroupInsideItselfDoesNothing) {
    auto group = page->groupGraphs({abcd[0], abcd[1]});
    ASSERT_NE(group, nullptr);
    endEvent();
    undo().removeAllActions();
    abcd[3]->setLocked(true);
    endEvent();
    undo().removeAllActions();
    const QByteArray before = bytes();
    const KXCanvas::GraphList list = page->graphs();
    const std::vector<KXCanvas::GraphList> attempts = {
        {},
        {abcd[2]},
        {abcd[3], abcd[2]},              // one of them is locked
        {group, abcd[0]},                // a group with its own child
        {abcd[0], abcd[1]},              // children of a group
        {abcd[2], abcd[2]},              // the same graph twice
        {group, group},
        {nullptr, abcd[2]},
        {std::make_shared<SolidGraph>(), abcd[2]},  // a graph of no page
    };
    for (const auto& attempt : attempts) {
        EXPECT_EQ(page->groupGraphs(attempt), nullptr);
        endEvent();
        EXPECT_EQ(page->graphs(), list);
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(undo().canUndo());
    }
    EXPECT_EQ(abcd[0]->group(), group.get());
}

// The centre of a child as shown: mirrored by the group's flips, then turned, about the group's centre.
kx::Point shownCentre(const KXGraph& child, const KXGraph& group) {
    const kx::Point c = child.frameRect().center(), g = group.frameRect().center();
    const double vx = (c.x - g.x) * group.flipX(), vy = (c.y - g.y) * group.flipY();
    const double a = group.angle();
    return {g.x + vx * std::cos(a) - vy * std::sin(a), g.y + vx * std::sin(a) + vy * std::cos(a)};
}

struct UngroupCase {
    double angle;
    std::int32_t flipX, flipY;
    double childAngle;
    double expectedChildAngle;  // the group's angle plus (or, mirrored along one axis, minus) the child's
};

TEST_F(ArrangeTest, UngroupFoldsTurnAndFlipsIntoTheChildrenAndUndoRegroupsExactly) {
    const double q = std::numbers::pi / 2;
    const std::vector<UngroupCase> cases = {
        {q, 1, 1, 0.25, q + 0.25},
        {0, -1, 1, 0.25, -0.25},
        {0.7, 1, -1, 0.25, 0.45},
        {0.7, -1, -1, 0.25, 0.95},
    };
    for (const UngroupCase& c : cases) {
        SCOPED_TRACE(c.angle + c.flipX * 10 + c.flipY * 100);
        abcd[1]->setAngle(c.childAngle);
        abcd[1]->setFlipX(-1);
        auto group = page->groupGraphs({abcd[0], abcd[1]});
        ASSERT_NE(group, nullptr);
        group->setAngle(c.angle);
        group->setFlipX(c.flipX);
        group->setFlipY(c.flipY);
        endEvent();
        const kx::Point centre0 = shownCentre(*abcd[0], *group), centre1 = shownCentre(*abcd[1], *group);
        const kx::Size size1 = abcd[1]->frameRect().size;
        expectUndoRedoExact([&] { page->unGroup(group); });
        EXPECT_EQ(page->indexOfGraph(group.get()), -1);
        EXPECT_EQ(page->graphs().back(), abcd[1]);
        EXPECT_EQ(page->graphs()[page->graphs().size() - 2], abcd[0]);
        EXPECT_EQ(abcd[1]->group(), nullptr);
        EXPECT_NEAR(abcd[1]->angle(), c.expectedChildAngle, 1e-9);
        EXPECT_NEAR(abcd[0]->angle(), c.angle, 1e-9);
        EXPECT_EQ(abcd[1]->flipX(), -c.flipX);
        EXPECT_EQ(abcd[1]->flipY(), c.flipY);
        EXPECT_NEAR(abcd[0]->frameRect().center().x, centre0.x, 1e-9);
        EXPECT_NEAR(abcd[0]->frameRect().center().y, centre0.y, 1e-9);
        EXPECT_NEAR(abcd[1]->frameRect().center().x, centre1.x, 1e-9);
        EXPECT_NEAR(abcd[1]->frameRect().center().y, centre1.y, 1e-9);
        EXPECT_NEAR(abcd[1]->frameRect().size.width, size1.width, 1e-9);
        // Back to the group: the child's own flip and angle return.
        undo().undo();
        EXPECT_EQ(abcd[1]->flipX(), -1);
        EXPECT_NEAR(abcd[1]->angle(), c.childAngle, 1e-12);
        undo().undo();  // the group's own turn and flips
        undo().undo();  // the grouping
        EXPECT_EQ(page->graphs(), abcd);
        endEvent();
        undo().removeAllActions();
    }
}

TEST_F(ArrangeTest, NestedTurnedAndFlippedGroupsUndoAndRedoToTheSameBytes) {
    std::shared_ptr<KXGraph> inner, outer;
    expectUndoRedoExact([&] { inner = page->groupGraphs({abcd[0], abcd[1]}); });
    inner->setAngle(0.4);
    inner->setFlipY(-1);
    endEvent();
    expectUndoRedoExact([&] { outer = page->groupGraphs({inner, abcd[3]}); });
    EXPECT_EQ(inner->group(), outer.get());
    EXPECT_EQ(outer->graphs(), (KXCanvas::GraphList{abcd[3], inner}));  // sorted by page index
    outer->setAngle(-1.1);
    outer->setFlipX(-1);
    endEvent();
    page->setAllGrpahsSelection(false);
    outer->setSelected(true);
    expectUndoRedoExact([&] { page->selectedGraphsGoBack(); });
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{outer, abcd[2]}));
    expectUndoRedoExact([&] { page->ungroupGraphs({outer, abcd[2]}); });
    EXPECT_EQ(inner->group(), nullptr);
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{abcd[2], abcd[3], inner}));  // children in group order
    EXPECT_EQ(abcd[0]->group(), inner.get());
    expectUndoRedoExact([&] { page->unGroup(inner); });
    // All the way back and forth again.
    const QByteArray end = bytes();
    while (undo().canUndo())
        undo().undo();
    EXPECT_EQ(page->graphs(), abcd);
    while (undo().canRedo())
        undo().redo();
    EXPECT_EQ(bytes(), end);
}

TEST_F(ArrangeTest, UngroupGraphsSkipsLockedGroupsAndOtherGraphs) {
    auto group = page->groupGraphs({abcd[0], abcd[1]});
    group->setLocked(true);
    endEvent();
    undo().removeAllActions();
    page->ungroupGraphs({group, abcd[2]});
    endEvent();
    EXPECT_EQ(abcd[0]->group(), group.get());
    EXPECT_FALSE(undo().canUndo());
}

TEST_F(ArrangeTest, AddGroupRegathersChildrenFromTheirRecord) {
    auto group = page->groupGraphs({abcd[0], abcd[1]});
    const kx::Rect r0 = abcd[0]->relativeRect(), r1 = abcd[1]->relativeRect();
    page->unGroup(group);
    endEvent();
    // A record that does not match the children is refused.
    page->addGroup(group, {{0, 0}}, {r0});
    EXPECT_EQ(page->indexOfGraph(group.get()), -1);
    page->addGroup(group, {{0, 0}, {0, 0}}, {r0, r1});
    EXPECT_EQ(page->graphs().back(), group);
    EXPECT_EQ(abcd[0]->group(), group.get());
    EXPECT_NEAR(abcd[0]->relativeRect().origin.x, r0.origin.x, 1e-12);
    EXPECT_NEAR(abcd[1]->relativeRect().size.height, r1.size.height, 1e-12);
    endEvent();
    undo().undo();
    EXPECT_EQ(abcd[0]->group(), nullptr);
}

TEST_F(ArrangeTest, GradientEditsUndoToSinglePrecisionLocations) {
    KXBackground* fill = abcd[0]->background();
    const std::vector<kx::Color> oldColors = fill->gradientColorArray();
    const std::array<double, 8> oldStops = fill->gradientLocations();
    const std::vector<kx::Color> colors = {kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 1, 0, 1),
                                           kx::Color::srgb(0, 0, 1, 1)};
    page->undoAdGradientGraph(abcd[0].get(), colors, {0, 0.1, 1, 0, 0, 0, 0, 0});
    endEvent();
    EXPECT_EQ(fill->gradientColorArray(), colors);
    EXPECT_EQ(fill->gradientLocations()[1], double(0.1f));
    undo().undo();
    EXPECT_EQ(fill->gradientColorArray(), oldColors);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(fill->gradientLocations()[i], double(float(oldStops[i])));
    // Not eight locations: nothing happens.
    page->undoBackgroundAdGradientWithColorArray(colors, {0, 1});
    endEvent();
    EXPECT_FALSE(undo().canUndo());
    page->undoBackgroundAdGradientWithColorArray(colors, {0, 0.5, 1, 0, 0, 0, 0, 0});
    EXPECT_EQ(page->background()->gradientColorArray(), colors);
}

TEST_F(ArrangeTest, EmptyPhotosAreFoundInsideGroups) {
    auto photo = std::make_shared<KXShape>();
    photo->setText(nullptr);
    ASSERT_NE(photo->photo(), nullptr);
    ASSERT_TRUE(photo->photo()->isEmpty());
    photo->setRelativeRect({0.1, 0.7, 0.1, 0.1});
    page->addGraph(photo);
    EXPECT_EQ(page->emptyPhotos(), std::vector<KXPhoto*>{photo->photo()});
    page->groupGraphs({photo, abcd[0]});
    EXPECT_EQ(page->emptyPhotos(), std::vector<KXPhoto*>{photo->photo()});
}

TEST_F(ArrangeTest, TextRelayoutReachesTextsInGroups) {
    auto text = std::make_shared<kxtest::TypedGraph>(KXGraphTypeText);
    text->setRelativeRect({0.8, 0.8, 0.1, 0.1});
    page->addGraph(text);
    page->groupGraphs({text, abcd[0]});
    const int before = text->geometryUpdates;
    page->receateAllText();
    EXPECT_EQ(text->geometryUpdates, before + 1);
}

}  // namespace

// A line shape keeps its turn in its points: grouping a turned line (in a turned group) and ungrouping it
// turns those points, and undo and redo must give them back exactly.
TEST_F(ArrangeTest, GroupingAndUngroupingTurnedLinesUndoExactly) {
    auto line = KXSymbolShape::symbolShapeWithType(13, {0.1, 0.7, 0.125, 0.13});
    page->addGraph(line);
    line->setAngle(37);
    abcd[0]->setAngle(-1.0633823332454027e+37);
    endEvent();
    undo().removeAllActions();
    std::shared_ptr<KXGraph> group;
    expectUndoRedoExact([&] { group = page->groupGraphs({line, abcd[0], abcd[1]}); });
    ASSERT_NE(group, nullptr);
    group->setAngle(25);
    endEvent();
    undo().removeAllActions();
    expectUndoRedoExact([&] { page->unGroup(group); });
}
