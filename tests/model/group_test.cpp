#include "model/group.h"
#include "model/stroke.h"
#include "page_test_support.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/pixel_probe.h"

#include <QFile>

#include <gtest/gtest.h>

#include <numbers>

using kxtest::graphAt;
using kxtest::SolidGraph;

namespace {

class GroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        page = kxtest::fittedPage();
        ASSERT_EQ(page->previewSize(), kx::Size(800, 600));
    }
    // A graph on the page at a frame in preview points.
    std::shared_ptr<SolidGraph> add(const kx::Rect& frame, double angle = 0) {
        auto graph = graphAt({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                              frame.size.height / 600});
        graph->setAngle(angle);
        page->addGraph(graph);
        return graph;
    }
    std::shared_ptr<KXCanvas> page;
};

TEST_F(GroupTest, NoGraphsNoGroup) {
    EXPECT_EQ(KXGroup::groupGraphWithGraphs({}), nullptr);
}

TEST_F(GroupTest, FrameIsTheBoundingBoxOfTheTurnedChildrenAndChildrenStayAsTheyWere) {
    auto turned = add({100, 100, 50, 50}, std::numbers::pi / 4);
    auto plain = add({300, 100, 20, 20});
    const kx::Rect before = turned->relativeRect();
    auto group = KXGroup::groupGraphWithGraphs({turned, plain});
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->canvas(), page.get());
    const kx::Rect f = group->frameRect();
    const double half = 25 * std::sqrt(2.0);
    EXPECT_NEAR(f.minX(), 125 - half, 1e-9);  // about 89.6
    EXPECT_NEAR(f.maxX(), 320, 1e-9);
    EXPECT_NEAR(f.minY(), 125 - half, 1e-9);
    EXPECT_NEAR(f.maxY(), 125 + half, 1e-9);  // about 160.4
    EXPECT_DOUBLE_EQ(group->aspectRatio(), f.size.width / f.size.height);
    EXPECT_EQ(group->graphType(), KXGraphTypeGroup);
    EXPECT_EQ(turned->relativeRect(), before);
    EXPECT_EQ(turned->group(), nullptr);
}

TEST_F(GroupTest, RootOfGraphsListsTheLeavesOfNestedGroupsInOrder) {
    auto a = add({0, 0, 10, 10}), b = add({20, 0, 10, 10}), c = add({40, 0, 10, 10});
    auto inner = KXGroup::groupGraphWithGraphs({a, b});
    auto outer = KXGroup::groupGraphWithGraphs({inner, c});
    EXPECT_EQ(outer->rootOfGraphs(), (std::vector<KXGraph*>{a.get(), b.get(), c.get()}));
}

TEST_F(GroupTest, ArchiveKeepsTheChildrenAndLinksThemToTheGroup) {
    auto a = add({0, 0, 100, 50}), b = add({200, 100, 100, 50});
    auto group = page->groupGraphs({a, b});
    ASSERT_NE(group, nullptr);
    group->setAngle(0.5);
    group->setFlipX(-1);
    const QByteArray bytes = kxtest::archived(*group);
    auto copy = kx::KeyedUnarchiver::unarchiveObjectWithData(bytes)->objectAs<KXGroup>();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->graphs().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(copy->graphs()[i]->group(), copy.get());
        EXPECT_EQ(copy->graphs()[i]->relativeRect(), group->graphs()[i]->relativeRect());
    }
    EXPECT_EQ(copy->flipX(), -1);
    EXPECT_EQ(kxtest::archived(*copy), bytes);
}

// Archives that must not load: a group holding a child twice, a group listing itself, a page holding a graph
// both on its list and in a group.
TEST_F(GroupTest, DamagedGroupArchivesAreRefused) {
    auto child = std::make_shared<SolidGraph>();
    auto twice = std::make_shared<KXGroup>();
    twice->setGraphs({child, child});
    EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archived(*twice)).has_value());

    // A page whose outer group lists itself among its children (the nested-groups page, edited).
    QFile file(QStringLiteral(KX_FIXTURES_DIR "/group_listing_itself.archive"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray cyclic = file.readAll();
    ASSERT_FALSE(cyclic.isEmpty());
    EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(cyclic).has_value());

    auto shared = std::make_shared<KXCanvas>();
    auto group = std::make_shared<KXGroup>();
    group->setGraphs({child});
    shared->addGraph(group);
    shared->addGraph(child);
    EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archived(*shared)).has_value());
    shared->removeGraph(child.get());
    EXPECT_TRUE(kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archived(*shared)).has_value());
}

// Two halves of different colours: a mirrored group swaps them; a turned child turns about its own centre.
TEST_F(GroupTest, FlippedGroupDrawsItsChildrenMirrored) {
    auto left = std::make_shared<SolidGraph>();
    left->setRelativeRect({0, 0, 0.5, 1});
    auto right = std::make_shared<SolidGraph>();
    right->setRelativeRect({0.5, 0, 0.5, 1});
    right->color = kx::Color::srgb(0, 0, 1, 1);
    auto group = std::make_shared<KXGroup>();
    group->setGraphs({left, right});
    const auto draw = [&] {
        kx::BitmapContext context(100, 40);
        group->drawInContext(context, {0, 0, 100, 40});
        return context.makeImage().qimage();
    };
    const kxtest::Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    QImage plain = draw();
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(plain, 10, 20), red));
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(plain, 90, 20), blue));
    group->setFlipX(-1);
    QImage mirrored = draw();
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(mirrored, 10, 20), blue));
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(mirrored, 90, 20), red));
    // A quarter turn of the right child about its centre (75, 20): 50 x 40 becomes 40 x 50, leaving x = 52
    // uncovered and reaching above y = 40 no more than the frame does.
    group->setFlipX(1);
    right->setAngle(std::numbers::pi / 2);
    QImage turned = draw();
    EXPECT_EQ(kxtest::pixelAtYUp(turned, 52, 20).a, 0);
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(turned, 75, 2), blue));
}

TEST_F(GroupTest, CompositeImageLeavesThreeStrokeWidthsAtEachSide) {
    auto a = add({0, 0, 100, 50}), b = add({300, 250, 100, 50});
    auto group = page->groupGraphs({a, b});
    ASSERT_NE(group, nullptr);
    group->stroke()->setWidth(1);
    group->setStrokeEnabled(false);
    const kx::Image image = group->graphImageWithZoom(2);
    // The group is 400 x 300 of the 800 x 600 page; at zoom 2 that is 800 x 600, plus 6 at each side.
    EXPECT_EQ(image.width(), 812);
    EXPECT_EQ(image.height(), 612);
    // The first child lies at the bottom-left corner past the spare edge.
    EXPECT_TRUE(kxtest::colorNear(kxtest::pixelAtYUp(image.qimage(), 10, 10), kxtest::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(kxtest::pixelAtYUp(image.qimage(), 3, 3).a, 0);
}

TEST_F(GroupTest, HitTestsGoThroughTheGroupsTurnAndFlip) {
    auto a = add({100, 100, 100, 100}), b = add({300, 100, 100, 100});
    auto group = page->groupGraphs({a, b});
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->containsPoint({150, 150}));
    EXPECT_FALSE(group->containsPoint({250, 150}));  // the gap between the children
    // A half turn about the centre (250, 150) swaps the children's places, the gap stays a gap.
    group->setAngle(std::numbers::pi / 2);
    EXPECT_TRUE(group->containsPoint({250, 250}));
    EXPECT_FALSE(group->containsPoint({250, 150}));
    EXPECT_FALSE(group->containsPoint({150, 150}));
    group->setAngle(0);
    group->setFlipX(-1);
    EXPECT_TRUE(group->containsPoint({150, 150}));
    EXPECT_EQ(page->selectGraphAtPoint({350, 150}), group);
}

}  // namespace
