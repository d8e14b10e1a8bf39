#include "model/tracker.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/image.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
const kx::Rect kFrame(100, 50, 80, 40);

TEST(TrackerTest, StartsWithEveryNodeAndTheDefaultLook) {
    const KXTracker tracker;
    EXPECT_EQ(tracker.nodeColor(), kx::Color::srgb(1, 1, 1, 1));
    EXPECT_EQ(tracker.strokeColor(), kx::Color::srgb(0, 0, 0, 1));
    EXPECT_EQ(tracker.lineColor(), kx::Color::srgb(0, 0, 0, 1));
    EXPECT_EQ(tracker.rotateColor(), kx::Color::srgb(0, 1, 0, 1));
    EXPECT_TRUE(tracker.hasCornerNode());
    EXPECT_TRUE(tracker.hasMidNode());
    EXPECT_TRUE(tracker.hasRotateNode());
    EXPECT_EQ(tracker.lineType(), 0);
    EXPECT_EQ(tracker.rotateRootNode(), 1);
    EXPECT_EQ(tracker.angle(), 0);
    EXPECT_EQ(tracker.strokeWidth(), 1.0);
    EXPECT_EQ(tracker.nodeRadius(), 8);
    EXPECT_EQ(tracker.frame(), kx::Rect());
}

TEST(TrackerTest, FrameIsStoredRounded) {
    struct Case {
        kx::Rect given, stored;
    };
    const Case cases[] = {
        {{10.4, 20.6, 99.5, 50.2}, {10, 21, 100, 50}},
        {{0.5, 1.5, 2.5, -3.5}, {0, 2, 2, -4}},
        {{-10.6, 3, 4, 5}, {-11, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        KXTracker tracker;
        tracker.setFrame(c.given);
        EXPECT_EQ(tracker.frame(), c.stored);
        EXPECT_EQ(tracker.nodesBound(), c.stored);
    }
}

TEST(TrackerTest, NodePositionsAndSquares) {
    KXTracker tracker;
    tracker.setFrame(kFrame);
    const kx::Point expected[] = {{100, 90}, {140, 90}, {180, 90}, {180, 70}, {180, 50},
                                  {140, 50}, {100, 50}, {100, 70}, {140, 114}, {0, 0}};
    for (KXTrackerNode node = 0; node <= 9; ++node) {
        EXPECT_EQ(tracker.positionOfNode(node), expected[node]) << node;
        const kx::Rect square = tracker.nodeRectInRect(kFrame, node);
        EXPECT_EQ(square, kx::Rect(expected[node].x - 4, expected[node].y - 4, 8, 8)) << node;
    }
    tracker.setRotateRootNode(5);
    EXPECT_EQ(tracker.positionOfNode(KXTrackerNodeRotate), kx::Point(140, 26));
    tracker.setRotateRootNode(3);
    EXPECT_EQ(tracker.positionOfNode(KXTrackerNodeRotate), kx::Point(0, 0));
    // Another rectangle is measured on its own.
    tracker.setRotateRootNode(1);
    EXPECT_EQ(tracker.positionOfNode(3, kx::Rect(0, 0, 10, 20)), kx::Point(10, 10));
    tracker.setNodeRadius(12);
    EXPECT_EQ(tracker.nodeRectInRect(kFrame, 0), kx::Rect(94, 84, 12, 12));
}

TEST(TrackerTest, NodeKinds) {
    for (KXTrackerNode node = 0; node <= 10; ++node) {
        EXPECT_EQ(KXTracker::isResizeNode(node), node <= 7) << node;
        EXPECT_EQ(KXTracker::isCornerNode(node), node == 0 || node == 2 || node == 4 || node == 6) << node;
    }
}

TEST(TrackerTest, HitTestOnTheUnrotatedFrame) {
    struct Case {
        const char* name;
        bool corners, mids, rotate;
        kx::Point point;
        KXTrackerNode expected;
    };
    const Case cases[] = {
        {"top-left corner", true, true, true, {100, 90}, 0},
        {"edge of a square (min edge is inside)", true, true, true, {96, 86}, 0},
        {"past a square's max edge", true, true, true, {104, 94}, 9},
        {"top middle", true, true, true, {141, 91}, 1},
        {"right middle", true, true, true, {183, 70}, 3},
        {"bottom-right", true, true, true, {180, 50}, 4},
        {"bottom middle", true, true, true, {140, 47}, 5},
        {"bottom-left", true, true, true, {99, 51}, 6},
        {"left middle", true, true, true, {100, 70}, 7},
        {"rotate node", true, true, true, {140, 114}, 8},
        {"inside the frame", true, true, true, {140, 70}, 9},
        {"rotate node switched off", true, true, false, {140, 114}, 9},
        {"corners switched off", false, true, true, {100, 90}, 9},
        {"middles switched off", true, false, true, {140, 90}, 9},
        {"rotate node refused with middles off", true, false, true, {140, 114}, 9},
        {"corner still on with middles off", true, false, true, {180, 90}, 2},
    };
    for (const Case& c : cases) {
        KXTracker tracker;
        tracker.setFrame(kFrame);
        tracker.setHasCornerNode(c.corners);
        tracker.setHasMidNode(c.mids);
        tracker.setHasRotateNode(c.rotate);
        EXPECT_EQ(tracker.nodeAtPoint(c.point), c.expected) << c.name;
        EXPECT_EQ(tracker.nodeAtPoint(c.point, kFrame), c.expected) << c.name;
    }
}

TEST(TrackerTest, FirstSquareDecidesEvenWhenItsNodeIsOff) {
    // On a tiny frame the squares of nodes 0 and 1 overlap; with the corners off, a point in both answers 9.
    KXTracker tracker;
    const kx::Rect tiny(0, 0, 4, 4);
    tracker.setHasCornerNode(false);
    EXPECT_EQ(tracker.nodeAtPoint({2, 4}, tiny), KXTrackerNodeNone);
    tracker.setHasCornerNode(true);
    EXPECT_EQ(tracker.nodeAtPoint({2, 4}, tiny), 0u);
    // A node square of no size holds no point.
    tracker.setNodeRadius(0);
    EXPECT_EQ(tracker.nodeAtPoint({0, 4}, tiny), KXTrackerNodeNone);
}

TEST(TrackerTest, HitTestFollowsTheRotation) {
    KXTracker tracker;
    tracker.setFrame(kFrame);  // centre (140, 70)
    tracker.setAngle(kPi / 2);
    // Turned a quarter counter-clockwise, the top-left corner (100, 90) lies at (120, 30).
    const kx::Point turned(120, 30);
    const kx::Point back = tracker.convertPointToRenderSpace(turned);
    EXPECT_NEAR(back.x, 100, 1e-9);
    EXPECT_NEAR(back.y, 90, 1e-9);
    EXPECT_EQ(tracker.nodeAtPoint(turned), 0u);
    EXPECT_EQ(tracker.nodeAtPoint(kx::Point(100, 90)), KXTrackerNodeNone);
    // The rotate node, 44 above the centre, turns to 44 left of it.
    EXPECT_EQ(tracker.nodeAtPoint(kx::Point(96, 70)), KXTrackerNodeRotate);
    tracker.setAngle(std::nan(""));
    EXPECT_EQ(tracker.nodeAtPoint(kx::Point(100, 90)), KXTrackerNodeNone);
}

TEST(TrackerTest, ResizeDirections) {
    struct Case {
        KXTrackerNode node;
        double ownerAngle, expected;
    };
    const Case cases[] = {
        {1, 0, 2 * kPi},          {0, 0, 7 * kPi / 4},     {2, 0, kPi / 4},      {3, 0, kPi / 2},
        {4, 0, 3 * kPi / 4},      {5, 0, kPi},             {6, 0, 5 * kPi / 4},  {7, 0, 3 * kPi / 2},
        {8, 0, 2 * kPi},          {3, kPi / 2, 2 * kPi},   {7, kPi, kPi / 2},    {5, -kPi, 2 * kPi},
        {0, 5 * kPi, 3 * kPi / 4}, {1, 5 * kPi, -3 * kPi + 2 * kPi},  // one correction only
    };
    for (const Case& c : cases)
        EXPECT_NEAR(KXTracker::angleOfNode(c.node, c.ownerAngle), c.expected, 1e-12)
            << "node " << c.node << " owner " << c.ownerAngle;
}

// Draws the tracker on a white canvas of 300 x 200.
kx::Image drawn(const KXTracker& tracker) {
    kx::BitmapContext context(300, 200);
    context.setFillColor(kx::Color::srgb(1, 1, 1, 1));
    context.fillRect(kx::Rect(0, 0, 300, 200));
    tracker.drawInContext(context);
    return context.makeImage();
}

kxtest::Rgba pixel(const kx::Image& image, double x, double y) {
    return kxtest::pixelAtYUp(image.qimage(), int(x), int(y));
}

bool isGreen(const kxtest::Rgba& c) {
    return c.g > 200 && c.r < 60 && c.b < 60;
}
bool isDark(const kxtest::Rgba& c) {
    return c.r < 90 && c.g < 90 && c.b < 90 && c.a > 200;
}
// Any ink on white, the half-covered pixels of a one-point outline included.
bool isInk(const kxtest::Rgba& c) {
    return c.r < 200 && c.g < 200 && c.b < 200 && c.a > 200;
}
bool isWhite(const kxtest::Rgba& c) {
    return c.r > 240 && c.g > 240 && c.b > 240;
}

TEST(TrackerTest, DrawsOutlineNodesAndRotateStalk) {
    KXTracker tracker;
    tracker.setFrame(kFrame);
    tracker.setNodeRadius(12);
    tracker.setStrokeWidth(2);
    const kx::Image image = drawn(tracker);
    EXPECT_TRUE(isDark(pixel(image, 120, 50))) << "bottom edge";
    EXPECT_TRUE(isDark(pixel(image, 180, 60))) << "right edge";
    EXPECT_TRUE(isWhite(pixel(image, 140, 70))) << "inside stays clear";
    EXPECT_TRUE(isGreen(pixel(image, 140, 114))) << "rotate node";
    EXPECT_TRUE(isDark(pixel(image, 140, 100))) << "stalk";
    EXPECT_TRUE(isWhite(pixel(image, 180, 50))) << "corner node filled white";
    EXPECT_TRUE(isInk(pixel(image, 180, 44))) << "node outline";
    EXPECT_TRUE(isWhite(pixel(image, 100, 70))) << "mid node filled white";
}

TEST(TrackerTest, SwitchedOffPartsAreNotDrawn) {
    KXTracker tracker;
    tracker.setFrame(kFrame);
    tracker.setNodeRadius(12);
    tracker.setHasRotateNode(false);
    tracker.setHasCornerNode(false);
    const kx::Image image = drawn(tracker);
    EXPECT_TRUE(isWhite(pixel(image, 140, 114))) << "no rotate node";
    EXPECT_TRUE(isWhite(pixel(image, 140, 105))) << "no stalk";
    EXPECT_TRUE(isWhite(pixel(image, 180, 44))) << "no corner node outline";
    EXPECT_TRUE(isInk(pixel(image, 186, 70))) << "mid node outline";
}

TEST(TrackerTest, RotateStalkHangsBelowWithRootFive) {
    KXTracker tracker;
    tracker.setFrame(kFrame);
    tracker.setRotateRootNode(5);
    tracker.setStrokeWidth(2);
    const kx::Image image = drawn(tracker);
    EXPECT_TRUE(isGreen(pixel(image, 140, 26)));
    EXPECT_TRUE(isDark(pixel(image, 140, 38)));
    EXPECT_TRUE(isWhite(pixel(image, 140, 105)));
}

TEST(TrackerTest, DashedOutlineForLineTypeOne) {
    // Along the bottom edge a dash of 5 and a gap of 4 repeat from the lower-left corner.
    KXTracker tracker;
    tracker.setFrame(kFrame);
    tracker.setHasRotateNode(false);
    tracker.setHasMidNode(false);
    tracker.setHasCornerNode(false);
    tracker.setStrokeWidth(2);
    tracker.setLineType(1);
    const kx::Image dashed = drawn(tracker);
    EXPECT_TRUE(isDark(pixel(dashed, 102, 50)));
    EXPECT_TRUE(isWhite(pixel(dashed, 106, 50)));
    EXPECT_TRUE(isDark(pixel(dashed, 111, 50)));
    tracker.setLineType(0);
    EXPECT_TRUE(isDark(pixel(drawn(tracker), 106, 50)));
}

TEST(TrackerTest, DrawsOneNodeInAGivenSquare) {
    struct Case {
        KXTrackerNode node;
        const char* expected;  // "white", "green" or "none"
    };
    for (const Case& c : {Case{0, "white"}, Case{5, "white"}, Case{8, "green"}, Case{9, "none"}}) {
        KXTracker tracker;
        kx::BitmapContext context(60, 60);
        context.setFillColor(kx::Color::srgb(0, 0, 1, 1));
        context.fillRect(kx::Rect(0, 0, 60, 60));
        tracker.drawInContext(context, c.node, kx::Rect(10, 10, 40, 40));
        const kx::Image image = context.makeImage();
        const kxtest::Rgba centre = pixel(image, 30, 30);
        const kxtest::Rgba rim = pixel(image, 30, 10);
        const kxtest::Rgba outside = pixel(image, 12, 12);  // square corner, off the circle
        EXPECT_EQ(outside.b, 255) << c.node;
        if (std::string(c.expected) == "white") {
            EXPECT_TRUE(isWhite(centre)) << c.node;
            EXPECT_TRUE(isInk(rim)) << c.node;
        } else if (std::string(c.expected) == "green") {
            EXPECT_TRUE(isGreen(centre)) << c.node;
        } else {
            EXPECT_EQ(centre.b, 255) << c.node;
        }
    }
    // On the frame, one node at its own square.
    KXTracker tracker;
    tracker.setFrame(kFrame);
    tracker.setNodeRadius(12);
    kx::BitmapContext context(300, 200);
    tracker.drawInContext(context, KXTrackerNodeRotate);
    const kx::Image image = context.makeImage();
    EXPECT_TRUE(isGreen(pixel(image, 140, 114)));
    EXPECT_EQ(pixel(image, 100, 90).a, 0) << "nothing else drawn";
}

TEST(TrackerTest, LockLineIsYellowAtTheContextsLineWidth) {
    KXTracker tracker;
    tracker.setFrame(kFrame);
    kx::BitmapContext context(300, 200);
    context.setLineWidth(6);
    context.setStrokeColor(kx::Color::srgb(0, 0, 1, 1));
    tracker.drawLockLineInContext(context);
    const kx::Image image = context.makeImage();
    const kxtest::Rgba edge = pixel(image, 140, 52);  // 2 inside the bottom edge, within the 6 width
    EXPECT_GT(edge.r, 240);
    EXPECT_GT(edge.g, 240);
    EXPECT_LT(edge.b, 20);
    EXPECT_EQ(pixel(image, 140, 70).a, 0);
    EXPECT_EQ(context.strokeColor(), kx::Color::srgb(0, 0, 1, 1)) << "the context's state is kept";
}

}  // namespace
