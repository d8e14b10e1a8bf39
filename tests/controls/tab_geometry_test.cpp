#include "controls/tab_geometry.h"

#include <gtest/gtest.h>

namespace {

struct SideCase {
    QRectF button;
    QRectF left;
    QRectF right;
};

TEST(TabGeometryTest, TheSideEllipsesLieJustOutsideTheButton) {
    const SideCase cases[] = {
        {{0, 0, 60, 40}, {-20, 0, 20, 40}, {60, 0, 20, 40}},
        {{10, 5, 50, 30}, {-5, 5, 15, 30}, {60, 5, 15, 30}},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const SideCase& c : cases) {
        const KXTabButtonSideRects sides = tabButtonSideRects(c.button);
        EXPECT_EQ(sides.left, c.left) << c.button.x() << "," << c.button.width();
        EXPECT_EQ(sides.right, c.right) << c.button.x() << "," << c.button.width();
        // Each touches the button along one whole side and overlaps it nowhere.
        EXPECT_DOUBLE_EQ(sides.left.right(), c.button.left());
        EXPECT_DOUBLE_EQ(sides.right.left(), c.button.right());
    }
}

struct SlideCase {
    int style;
    QRectF newStart;
    QRectF oldEnd;
};

TEST(TabGeometryTest, SlidesMoveBothViewsByOneWidthOrHeight) {
    const QRectF bounds(0, 0, 200, 300);
    const SlideCase cases[] = {
        {KXTabViewSlideFromRight, {200, 0, 200, 300}, {-200, 0, 200, 300}},
        {KXTabViewSlideFromLeft, {-200, 0, 200, 300}, {200, 0, 200, 300}},
        {KXTabViewSlideFromAbove, {0, -300, 200, 300}, {0, 300, 200, 300}},
        {KXTabViewSlideFromBelow, {0, 300, 200, 300}, {0, -300, 200, 300}},
    };
    for (const SlideCase& c : cases) {
        const auto frames = tabViewSlideFrames(bounds, c.style);
        ASSERT_TRUE(frames.has_value()) << c.style;
        EXPECT_EQ(frames->newStart, c.newStart) << c.style;
        EXPECT_EQ(frames->newEnd, bounds) << c.style;
        EXPECT_EQ(frames->oldEnd, c.oldEnd) << c.style;
    }
    for (int style : {int(KXTabViewNoAnimation), -1, 5, 100})
        EXPECT_FALSE(tabViewSlideFrames(bounds, style).has_value()) << style;
}

}  // namespace
