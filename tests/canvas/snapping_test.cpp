#include "canvas/snapping.h"

#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "graphics/geometry_utilities.h"
#include "platform/foundation/user_defaults.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

// ---- one line against one target ----

struct MatchCase {
    const char* name;
    KXLine line;
    kx::Rect target;
    float distance;
    bool adsorbing;
    bool centre;
    std::optional<double> at;  // where the match stands (x of a vertical, y of a horizontal line); none: no match
    float distanceAfter;
};

TEST(SnappingLineTest, MatchesTheNearestEdgeOrCentreOfOneTarget) {
    const kx::Rect box(0, 0, 10, 4);        // edges x 0 and 10, y 0 and 4; centre (5, 2)
    const kx::Rect wide(0, 0, 100, 11);     // centre x 50, centre y 5.5
    const MatchCase cases[] = {
        // A right edge also takes a difference under 1 beyond the distance; a left edge or centre does not.
        {"0.95 from a right edge", KXLine(10.95, 20, 10.95, 30), box, 0.9f, false, true, 10.0, 0.95f},
        {"0.95 from a left edge", KXLine(-0.95, 20, -0.95, 30), box, 0.9f, false, true, std::nullopt, 0.9f},
        {"0.95 from a centre", KXLine(50.95, 20, 50.95, 30), wide, 0.9f, false, true, std::nullopt, 0.9f},
        {"0.875 from a centre", KXLine(50.875, 20, 50.875, 30), wide, 0.9f, false, true, 50.0, 0.875f},
        {"0.9 from a left edge", KXLine(-0.9, 20, -0.9, 30), box, 0.9f, false, true, 0.0, 0.9f},
        {"1 from a right edge", KXLine(11, 20, 11, 30), box, 0.9f, false, true, std::nullopt, 0.9f},
        // The later test wins a tie: bottom and top both 2 away.
        {"tie goes to the top", KXLine(0, 2, 10, 2), box, 2.0f, true, false, 4.0, 2.0f},
        {"centre nearest", KXLine(0, 2.5, 10, 2.5), box, 2.0f, true, true, 2.0, 0.5f},
        {"centre off", KXLine(0, 2.5, 10, 2.5), box, 2.0f, true, false, 4.0, 1.5f},
        // A guide may sit on the whole number next to a centre between pixels; snapping takes the centre.
        {"guide on the whole number above", KXLine(0, 6.8f, 10, 6.8f), wide, 0.9f, false, true, 6.0, 0.8f},
        {"snap to the half centre", KXLine(0, 6.8f, 10, 6.8f), wide, 2.0f, true, true, 5.5, 1.3f},
        {"snapping never rounds the centre", KXLine(0, 6.8f, 10, 6.8f), wide, 1.0f, true, true, std::nullopt, 1.0f},
        {"too far", KXLine(0, 40, 10, 40), box, 2.0f, true, true, std::nullopt, 2.0f},
        // A line of zero length has no direction and matches nothing.
        {"zero length", KXLine(0, 4, 0, 4), box, 2.0f, true, true, std::nullopt, 2.0f},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        float d = c.distance;
        const std::optional<KXLine> match = KXSnapping::aligmentLine(c.line, c.target, d, c.adsorbing, c.centre);
        ASSERT_EQ(match.has_value(), c.at.has_value());
        EXPECT_NEAR(d, c.distanceAfter, 1e-5);
        if (!match)
            continue;
        EXPECT_EQ(match->isHorizon(), c.line.isHorizon());
        EXPECT_NEAR(match->isHorizon() ? match->beginY() : match->beginX(), *c.at, 1e-5);
    }
}

TEST(SnappingLineTest, AMatchSpansTheLineAndTheTarget) {
    const kx::Rect box(0, 0, 10, 4);
    float d = 2;
    const std::optional<KXLine> h = KXSnapping::aligmentLine(KXLine(-5, 1, 3, 1), box, d, true, false);
    ASSERT_TRUE(h);
    EXPECT_EQ(*h, KXLine(-5, 0, 10, 0));
    d = 2;
    const std::optional<KXLine> v = KXSnapping::aligmentLine(KXLine(9, 2, 9, 30), box, d, true, false);
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, KXLine(10, 0, 10, 30));
}

TEST(SnappingLineTest, LinesOfARectangleByKind) {
    const kx::Rect r(10, 20, 30, 40);
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentLeft), KXLine(10, 20, 10, 60));
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentRight), KXLine(40, 20, 40, 60));
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentTop), KXLine(10, 60, 40, 60));
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentBottom), KXLine(10, 20, 40, 20));
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentCenterY), KXLine(10, 40, 40, 40));
    EXPECT_EQ(KXSnapping::lineOfRect(r, KXAlignmentCenterX), KXLine(25, 20, 25, 60));
}

TEST(SnappingLineTest, AResizeHandleSnapsTheEdgesAndCentresItMoves) {
    const int cx = alignmentBit(KXAlignmentCenterX), cy = alignmentBit(KXAlignmentCenterY);
    const int left = alignmentBit(KXAlignmentLeft), right = alignmentBit(KXAlignmentRight);
    const int top = alignmentBit(KXAlignmentTop), bottom = alignmentBit(KXAlignmentBottom);
    const int expected[8] = {left | top | cx | cy,    top | cy,    right | top | cx | cy,   right | cx,
                             right | bottom | cx | cy, bottom | cy, left | bottom | cx | cy, left | cx};
    for (int node = 0; node < 8; ++node) {
        SCOPED_TRACE(node);
        EXPECT_EQ(alignmentMaskOfTrackerNode(node), expected[node]);
    }
    EXPECT_EQ(alignmentMaskOfTrackerNode(8), 0);
    EXPECT_EQ(alignmentMaskOfTrackerNode(9), 0);
    EXPECT_EQ(alignmentMaskOfTrackerNode(-1), 0);
}

// ---- a page on screen ----

// The page (800 x 600 pixels) shown at half size at (50, 40) of a 500 x 400 root; the overlay covers the root,
// so a page point (x, y) is (x + 50, y + 40) in the overlay. The margin box is (10.5, 20.5, 350, 250) in
// preview points: edges x 10.5 and 360.5, y 20.5 and 270.5; the page's bounds have their centre at (200, 150).
class SnappingTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        root = std::make_shared<kx::Layer>();
        root->setFrame({0, 0, 500, 400});
        page = KXCanvasLayer::create();
        overlay = std::make_shared<KXAuxiliaryLayer>();
        root->addSublayer(page);
        root->addSublayer(overlay);
        page->setFrame({50, 40, 400, 300});
        overlay->setFrame({0, 0, 500, 400});
        page->setAuxiliaryLayer(overlay.get());
        overlay->setCanvasLayer(page.get());
        ASSERT_EQ(canvas()->previewSize(), kx::Size(400, 300));
        ASSERT_EQ(canvas()->zoomValue(), 0.5);
        canvas()->setMarginRect({21, 41, 700, 500});
        setSettings(true, false);
    }
    void TearDown() override {
        kx::UserDefaults::standard().removeValue(KXAutoSnap);
        kx::UserDefaults::standard().removeValue(KXAutoObjectSnap);
    }
    static void setSettings(bool page, bool objects) {
        kx::UserDefaults::standard().setValue(KXAutoSnap, page);
        kx::UserDefaults::standard().setValue(KXAutoObjectSnap, objects);
    }
    KXCanvas* canvas() { return page->canvas(); }

    std::shared_ptr<KXGraph> add(const kx::Rect& frame, double angle = 0) {
        auto graph = std::make_shared<kxtest::SolidGraph>();
        canvas()->addGraph(graph);
        graph->setRelativeRect(
            {frame.origin.x / 400, frame.origin.y / 300, frame.size.width / 400, frame.size.height / 300});
        graph->setAngle(angle);
        return graph;
    }

    std::shared_ptr<kx::Layer> root;
    std::shared_ptr<KXCanvasLayer> page;
    std::shared_ptr<KXAuxiliaryLayer> overlay;
    KXSnapping snapping{nullptr, nullptr};
};

TEST_F(SnappingTest, ObjectRectanglesAreRoundedAndTurned) {
    auto graph = add({2.4, 100.6, 40, 20}, kPi / 2);
    EXPECT_EQ(KXSnapping::guideRectOfGraph(*graph), kx::Rect(2, 101, 40, 20));
    // Turned a quarter about its centre (22, 111).
    EXPECT_EQ(KXSnapping::objectRectOfGraph(*graph), kx::Rect(12, 91, 20, 40));
    snapping = KXSnapping(page.get(), overlay.get());
    EXPECT_EQ(snapping.pageRect(), kx::Rect(10.5, 20.5, 350, 250));
    EXPECT_EQ(snapping.pageBounds(), kx::Rect(0, 0, 400, 300));
}

struct AbsorbCase {
    const char* name;
    bool snapToPage;
    bool snapToObjects;
    kx::Rect frame;
    double angle;
    std::optional<kx::Rect> other;  // another (unselected) object
    int mask;
    kx::Point offset;
};

TEST_F(SnappingTest, AbsorbPullsTheObjectOntoTheNearestPageOrObjectLine) {
    snapping = KXSnapping(page.get(), overlay.get());
    const AbsorbCase cases[] = {
        {"1.5 from the margin's left edge", true, false, {12, 100, 40, 30}, 0, std::nullopt, 63, {-1.5, 0}},
        {"2.5 from the margin's left edge", true, false, {13, 100, 40, 30}, 0, std::nullopt, 63, {0, 0}},
        {"left edge not in the resize mask", true, false, {12, 100, 40, 30}, 0, std::nullopt, 0x14, {0, 0}},
        {"1.5 from the margin's top edge", true, false, {100, 242, 40, 30}, 0, std::nullopt, 63, {0, -1.5}},
        // The page's bounds give the centre lines even with a margin box.
        {"centre 1 from the page's vertical centre", true, false, {181, 100, 40, 30}, 0, std::nullopt, 63, {-1, 0}},
        {"centre 2 from the page's horizontal centre", true, false, {100, 137, 40, 30}, 0, std::nullopt, 63,
         {0, -2}},
        // The turned rectangle snaps: unturned its left edge is at 2, turned at 12.
        {"turned object", true, false, {2, 101, 40, 20}, kPi / 2, std::nullopt, 63, {-1.5, 0}},
        // The margin edge 1.5 away, another object's right edge 1 away: the nearer one wins either way round.
        {"object nearer than the page", true, true, {12, 100, 40, 30}, 0, kx::Rect(0, 200, 11, 20), 63, {-1, 0}},
        {"page nearer than the object", true, true, {12, 100, 40, 30}, 0, kx::Rect(0, 200, 14, 20), 63, {-1.5, 0}},
        // One distance for all kinds of a direction: the left edge 1.5 from the margin beats the right edge 2
        // from another object.
        {"nearest of left and right", true, true, {12, 100, 40, 30}, 0, kx::Rect(54, 200, 20, 20), 63, {-1.5, 0}},
        {"objects only", false, true, {12, 100, 40, 30}, 0, kx::Rect(0, 200, 11, 20), 63, {-1, 0}},
        // Objects are snapped to by their edges only, never their centres.
        {"not to an object's centre", false, true, {52, 100, 40, 30}, 0, kx::Rect(21, 200, 60, 20), 63, {0, 0}},
        {"both settings off", false, false, {12, 100, 40, 30}, 0, kx::Rect(0, 200, 11, 20), 63, {0, 0}},
    };
    for (const AbsorbCase& c : cases) {
        SCOPED_TRACE(c.name);
        setSettings(c.snapToPage, c.snapToObjects);
        auto graph = add(c.frame, c.angle);
        KXCanvas::GraphList others;
        if (c.other)
            others.push_back(add(*c.other));
        const kx::Point offset = snapping.absorbGraph(graph.get(), &others, c.mask);
        EXPECT_NEAR(offset.x, c.offset.x, 1e-9);
        EXPECT_NEAR(offset.y, c.offset.y, 1e-9);
        for (const auto& g : others)
            canvas()->removeGraph(g.get());
        canvas()->removeGraph(graph.get());
    }
}

TEST_F(SnappingTest, AnEmptyMarginBoxSnapsToThePageBoundsAndTheCornerIsARealMatch) {
    snapping = KXSnapping(page.get(), overlay.get());
    canvas()->setMarginRect({0, 0, 0, 0});
    EXPECT_EQ(snapping.pageRect(), kx::Rect(0, 0, 400, 300));
    auto graph = add({1, 2, 40, 30});
    const kx::Point offset = snapping.absorbGraph(graph.get(), nullptr, KXAlignmentMaskAll);
    EXPECT_EQ(offset, kx::Point(-1, -2));
    // The object lands on the page's corner (0, 0): a line there is a match, not "none".
    double x = 0, y = 0;
    const std::optional<KXLine> last =
        snapping.alignLineOfRect(kx::Rect(1, 2, 40, 30), x, y, nullptr, alignmentBit(KXAlignmentLeft));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->beginX(), 0);
    EXPECT_EQ(last->endX(), 0);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, 0);  // not searched: stays as passed in
    // Guides show on the page's edges as well.
    KXCanvas::GraphList none;
    snapping.updateLinesForRect(kx::Rect(0, 0, 40, 30), &none);
    ASSERT_EQ(overlay->lines().size(), 2u);
    EXPECT_EQ(overlay->lines()[0], KXLine(50, 40, 450, 40));   // bottom edge, y 0 on the page
    EXPECT_EQ(overlay->lines()[1], KXLine(50, 40, 50, 340));   // left edge, x 0 on the page
}

TEST_F(SnappingTest, OffsetsWithoutAMatchStayAsPassedIn) {
    snapping = KXSnapping(page.get(), overlay.get());
    double x = 7, y = 9;
    EXPECT_FALSE(snapping.alignLineOfRect(kx::Rect(100, 100, 40, 30), x, y, nullptr, KXAlignmentMaskAll));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);
    EXPECT_EQ(snapping.absorbGraph(nullptr, nullptr, KXAlignmentMaskAll), kx::Point(0, 0));
}

TEST_F(SnappingTest, NearestObjectWinsLaterObjectsWinTies) {
    auto a = add({0, 0, 11, 20});   // right edge 11
    auto b = add({0, 30, 14, 20});  // right edge 14
    auto c = add({0, 60, 11, 20});  // right edge 11 again
    const KXLine left = KXSnapping::lineOfRect(kx::Rect(12, 100, 40, 30), KXAlignmentLeft);
    KXCanvas::GraphList ab{a, b};
    float d = 2;
    std::optional<KXLine> match = KXSnapping::alignmentLine(left, &ab, d);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->beginX(), 11);
    EXPECT_EQ(match->minY(), 0);  // spans object a, not b
    KXCanvas::GraphList ac{a, c};
    d = 2;
    match = KXSnapping::alignmentLine(left, &ac, d);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->minY(), 60);  // the tie goes to the later object, c
    d = 2;
    EXPECT_FALSE(KXSnapping::alignmentLine(left, nullptr, d));
}

struct GuideCase {
    const char* name;
    kx::Rect rect;
    std::optional<kx::Rect> other;
    std::vector<KXLine> lines;  // in the overlay's space
};

TEST_F(SnappingTest, GuidesShowWhereEdgesAndCentresCoincideWhateverTheSettings) {
    snapping = KXSnapping(page.get(), overlay.get());
    setSettings(false, false);
    // The rounded margin box is (10, 20, 350, 250): edges x 10 and 360, y 20 and 270, centre (185, 145).
    const GuideCase cases[] = {
        {"on the margin's left edge", {10, 100, 40, 30}, std::nullopt, {KXLine(60, 60, 60, 310)}},
        {"one point off the margin's left edge", {11, 100, 40, 30}, std::nullopt, {}},
        {"centred on the margin box", {165, 130, 40, 30}, std::nullopt,
         {KXLine(60, 185, 410, 185), KXLine(235, 60, 235, 310)}},
        // An odd width puts the centre between pixels: the guide shows half a point off the whole centre.
        {"centre half a point off", {165, 100, 41, 30}, std::nullopt, {KXLine(235, 60, 235, 310)}},
        {"touching another object", {100, 100, 40, 30}, kx::Rect(140, 200, 20, 20),
         {KXLine(190, 140, 190, 260)}},
        // Objects give guides on their edges only.
        {"centred on another object", {100, 100, 40, 30}, kx::Rect(110, 200, 20, 20), {}},
    };
    for (const GuideCase& c : cases) {
        SCOPED_TRACE(c.name);
        overlay->clearLine();
        KXCanvas::GraphList others;
        if (c.other)
            others.push_back(add(*c.other));
        snapping.updateLinesForRect(c.rect, &others);
        EXPECT_EQ(overlay->lines(), c.lines);
        for (const auto& g : others)
            canvas()->removeGraph(g.get());
    }
    // Without a graph list nothing is compared, not even the page.
    overlay->clearLine();
    snapping.updateLinesForRect(kx::Rect(10, 100, 40, 30), nullptr);
    EXPECT_FALSE(overlay->hasLine());
}

TEST_F(SnappingTest, TheSettingsKeysAreTheStoredNames) {
    EXPECT_EQ(KXAutoSnap, QStringLiteral("KXAutoSnap"));
    EXPECT_EQ(KXAutoObjectSnap, QStringLiteral("KXAutoObjectSnap"));
}

}  // namespace
