// Geometry of the controls as plain numbers: segment frames and dividers, the hover arrow of a pop-pane
// button, popover placement at every screen edge and the choice of screen.
#include "controls/control_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx::controls {
namespace {

struct SegmentCase {
    const char* name;
    std::vector<double> setWidths;
    double frameWidth;
    std::vector<double> widths;
    std::vector<double> drawnX;
    std::vector<double> drawnWidths;
};

class SegmentLayoutTest : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentLayoutTest, WidthsAndDrawnFrames) {
    const SegmentCase& c = GetParam();
    const SegmentLayout layout = layoutSegments(c.setWidths, QRectF(0, 0, c.frameWidth, 24));
    ASSERT_EQ(layout.widths.size(), c.widths.size());
    for (std::size_t i = 0; i < c.widths.size(); ++i) {
        EXPECT_DOUBLE_EQ(layout.widths[i], c.widths[i]) << "segment " << i;
        EXPECT_DOUBLE_EQ(layout.drawRects[i].x(), c.drawnX[i]) << "segment " << i;
        EXPECT_DOUBLE_EQ(layout.drawRects[i].width(), c.drawnWidths[i]) << "segment " << i;
        EXPECT_DOUBLE_EQ(layout.drawRects[i].height(), 24) << "segment " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentLayoutTest,
    ::testing::Values(
        SegmentCase{"FourEqualIn300", {0, 0, 0, 0}, 300, {72.75, 72.75, 72.75, 72.75}, {0, 75.75, 151.5, 227.25},
                    {75.75, 75.75, 75.75, 72.75}},
        SegmentCase{"SetWidthKeptOthersShare", {50, 0, 0}, 200, {50, 194.0 / 3, 194.0 / 3},
                    {0, 53, 53 + (194.0 / 3 + 3)}, {53, 194.0 / 3 + 3, 194.0 / 3}},
        SegmentCase{"AllSet", {40, 60}, 500, {40, 60}, {0, 43}, {43, 60}},
        SegmentCase{"OneSegmentTakesAll", {0}, 120, {120}, {0}, {120}},
        SegmentCase{"None", {}, 120, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentGeometry, DividersSitAtTheEndOfEachDrawnFrameButTheLast) {
    const SegmentLayout layout = layoutSegments({0, 0, 0, 0}, QRectF(0, 0, 300, 24));
    // round(x + width - 1) - 1 of each drawn frame, one point below its top, 2 points less high.
    const double expectedX[] = {74, 150, 225};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(segmentDividerRect(layout, i), QRectF(expectedX[i], 1, 2, 22)) << "divider " << i;
    EXPECT_TRUE(segmentDividerRect(layout, 3).isNull());
    EXPECT_TRUE(segmentDividerRect(layout, 9).isNull());
}

TEST(SegmentGeometry, HitTestingUsesTheDrawnFrames) {
    const SegmentLayout layout = layoutSegments({0, 0, 0, 0}, QRectF(0, 0, 300, 24));
    const std::pair<double, int> cases[] = {{-0.5, -1}, {0, 0},     {75.7, 0},  {75.75, 1},
                                            {151.4, 1}, {151.5, 2}, {299.9, 3}, {300, -1}};
    for (const auto& [x, expected] : cases)
        EXPECT_EQ(segmentAt(layout, x), expected) << "x " << x;
}

TEST(PopPaneArrow, SitsThreePointsInFromTheFittedImagesRightAndBottomEdges) {
    struct Case {
        QRectF bounds;
        QSizeF image;
        QRectF expected;
    };
    const Case cases[] = {
        // A wide image fitted into a square: 40 x 20 centred, from y 10 to 30.
        {{0, 0, 40, 40}, {20, 10}, {26, 16, 11, 11}},
        // A tall image: 20 x 40 centred, from x 10 to 30.
        {{0, 0, 40, 40}, {10, 20}, {16, 26, 11, 11}},
        // Same proportions as the bounds, offset bounds.
        {{5, 5, 32, 32}, {64, 64}, {23, 23, 11, 11}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clickArrowRect(c.bounds, c.image, QSizeF(11, 11)), c.expected) << c.bounds.width();
}

struct PlacementCase {
    const char* name;
    QRect anchor;
    QSize size;
    PopoverEdge preferred;
    QRect available;
    QPoint origin;
    PopoverEdge edge;
    int arrowX;
};

class PopoverPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopoverPlacementTest, StaysOnTheAnchorsScreen) {
    const PlacementCase& c = GetParam();
    const PopoverPlacement p = placePopover(c.anchor, c.size, c.preferred, c.available);
    EXPECT_EQ(p.origin, c.origin);
    EXPECT_EQ(p.edge, c.edge);
    EXPECT_EQ(p.arrowX, c.arrowX);
    // Whatever the case, a window that fits on the screen lies wholly inside its available area.
    if (c.size.width() <= c.available.width() && c.size.height() <= c.available.height())
        EXPECT_TRUE(c.available.contains(QRect(p.origin, c.size))) << QRect(p.origin, c.size).x();
}

const QRect kScreen(0, 0, 1920, 1080);
const QRect kScreenWithTopBar(0, 32, 1920, 1048);
const QRect kRightScreen(1920, 0, 1280, 1024);
const QRect kLeftScreen(-1280, 0, 1280, 1024);
constexpr auto kBelow = PopoverEdge::Below;
constexpr auto kAbove = PopoverEdge::Above;

INSTANTIATE_TEST_SUITE_P(
    Edges, PopoverPlacementTest,
    ::testing::Values(
        PlacementCase{"MiddleHangsBelowCentred",
                      {960, 500, 0, 0}, {200, 100}, kBelow, kScreen, {860, 500}, kBelow, 100},
        PlacementCase{"MiddleStandsAboveCentred",
                      {960, 500, 0, 0}, {200, 100}, kAbove, kScreen, {860, 400}, kAbove, 100},
        PlacementCase{"LeftEdgeSlidesRightArrowFollows",
                      {30, 500, 0, 0}, {200, 100}, kBelow, kScreen, {0, 500}, kBelow, 30},
        PlacementCase{"LeftEdgeArrowKeepsItsMargin",
                      {5, 500, 0, 0}, {200, 100}, kBelow, kScreen, {0, 500}, kBelow, 20},
        PlacementCase{"RightEdgeSlidesLeft",
                      {1900, 500, 0, 0}, {200, 100}, kBelow, kScreen, {1720, 500}, kBelow, 180},
        PlacementCase{"BottomEdgeFlipsAbove",
                      {960, 1050, 0, 0}, {200, 100}, kBelow, kScreen, {860, 950}, kAbove, 100},
        PlacementCase{"BottomEdgeStandsOnTheAnchorsTop",
                      {900, 1040, 60, 20}, {200, 100}, kBelow, kScreen, {830, 940}, kAbove, 100},
        PlacementCase{"TopEdgeFlipsBelow",
                      {960, 30, 0, 0}, {200, 100}, kAbove, kScreen, {860, 30}, kBelow, 100},
        PlacementCase{"TopBarPushesDown",
                      {960, 10, 0, 0}, {200, 100}, kAbove, kScreenWithTopBar, {860, 32}, kBelow, 100},
        PlacementCase{"BottomRightCorner",
                      {1915, 1075, 0, 0}, {300, 200}, kBelow, kScreen, {1620, 875}, kAbove, 280},
        PlacementCase{"TopLeftOfASecondScreen",
                      {1930, 10, 0, 0}, {300, 200}, kBelow, kRightScreen, {1920, 10}, kBelow, 20},
        PlacementCase{"RightEdgeOfAScreenLeftOfTheOrigin",
                      {-10, 500, 0, 0}, {200, 100}, kBelow, kLeftScreen, {-200, 500}, kBelow, 180},
        PlacementCase{"LargerThanTheScreen",
                      {960, 500, 0, 0}, {2000, 1200}, kBelow, kScreen, {0, 0}, kBelow, 960},
        PlacementCase{"NeitherSideFitsTakesTheRoomierAndStaysOn",
                      {400, 150, 0, 0}, {200, 200}, kAbove, {0, 0, 800, 300}, {300, 100}, kBelow, 100},
        PlacementCase{"NeitherSideFitsAboveIsRoomier",
                      {400, 200, 0, 0}, {200, 250}, kBelow, {0, 0, 800, 300}, {300, 0}, kAbove, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PopoverScreen, AnAnchorPointAtAScreensEdgeBelongsToThatScreen) {
    const std::vector<ScreenArea> screens = {
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1000}},
    };
    EXPECT_EQ(popoverAnchorPoint(QRect(1920, 0, 0, 0)), QPoint(1920, 0));
    EXPECT_EQ(availableAreaForPoint(popoverAnchorPoint(QRect(1920, 0, 0, 0)), screens), screens[1].available);
    EXPECT_EQ(popoverAnchorPoint(QRect(100, 40, 60, 21)), QPoint(130, 50));
}

TEST(PopoverScreen, TheScreenHoldingThePointOrElseTheNearestOne) {
    const std::vector<ScreenArea> screens = {
        {{0, 0, 1920, 1080}, {0, 27, 1920, 1053}},
        {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1000}},
    };
    const std::pair<QPoint, QRect> cases[] = {
        {{100, 100}, screens[0].available},
        {{1919, 1079}, screens[0].available},
        {{1920, 0}, screens[1].available},
        {{2000, 500}, screens[1].available},
        // Off every screen: the nearest.
        {{5000, 100}, screens[1].available},
        {{-50, -50}, screens[0].available},
        {{2500, 1050}, screens[1].available},
    };
    for (const auto& [point, expected] : cases)
        EXPECT_EQ(availableAreaForPoint(point, screens), expected) << point.x() << "," << point.y();
    EXPECT_TRUE(availableAreaForPoint(QPoint(1, 1), {}).isNull());
}

}  // namespace
}  // namespace kx::controls
