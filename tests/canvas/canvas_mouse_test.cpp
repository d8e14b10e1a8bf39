// The canvas view's mouse road, driven through real mouse events sent at page points: selection by click,
// toggle and rubber band, moves, resizes and turns with their undo steps, snapping and guides, links.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/graph_layer.h"
#include "canvas/mouse_tracking.h"
#include "graphics/geometry_utilities.h"
#include "model/page_size.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "platform/layers/layer_renderer.h"
#include "shapes/symbol_shape.h"
#include "view_events.h"

#include "model/page_test_support.h"
#include "model/text_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kxtest::Counter;
using kxtest::sendDragAtPagePoints;
using kxtest::sendMouseAtPagePoint;

namespace {

constexpr double kPi = std::numbers::pi;

// ---- the arithmetic of the road ----

TEST(MouseTrackingTest, MirroredBoxesSwapTheirHandles) {
    struct Case {
        std::int32_t flipX, flipY;
        KXTrackerNode expected[10];
    };
    const Case cases[] = {
        {1, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {-1, 1, {2, 1, 0, 7, 6, 5, 4, 3, 8, 9}},
        {1, -1, {6, 5, 4, 3, 2, 1, 0, 7, 8, 9}},
        {-1, -1, {4, 5, 6, 7, 0, 1, 2, 3, 8, 9}},
    };
    for (const Case& c : cases) {
        for (KXTrackerNode node = 0; node < 10; ++node) {
            EXPECT_EQ(KXPreview::trackerNode(node, c.flipX, c.flipY), c.expected[node])
                << "node " << node << " flips " << c.flipX << " " << c.flipY;
        }
    }
}

TEST(MouseTrackingTest, AngleOfAPointRunsClockwiseFromUp) {
    struct Case {
        kx::Point p;
        double precision, expected;
    };
    const kx::Point c{10, 20};
    const Case cases[] = {
        {{10, 30}, 0, 0},           {{20, 20}, 0, kPi / 2},       {{10, 10}, 0, kPi},
        {{0, 20}, 0, 3 * kPi / 2},  {{10, 20}, 0, 3 * kPi / 2},   {{20, 30}, 0, kPi / 4},
        {{0, 30}, 0, 7 * kPi / 4},  {{20, 10}, 0, 3 * kPi / 4},   {{0, 10}, 0, 5 * kPi / 4},
        {{9.9, 30}, 0.05, 0},       {{20, 20.05}, 0.05, kPi / 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.p.x << ", " << k.p.y);
        EXPECT_NEAR(angleOfPoint(k.p, c, k.precision), k.expected, 1e-6);
    }
}

TEST(MouseTrackingTest, RightAnglesCatchWithinTheirBand) {
    struct Case {
        double t, expected;
        bool snapped;
    };
    const Case cases[] = {
        {0.04, 0, true},           {2 * kPi - 0.04, 0, true},     {kPi / 2 + 0.049, kPi / 2, true},
        {kPi / 2 - 0.049, kPi / 2, true}, {kPi + 0.03, kPi, true}, {3 * kPi / 2 - 0.02, 3 * kPi / 2, true},
        {kPi / 2 + 0.06, kPi / 2 + 0.06, false}, {1.0, 1.0, false},
    };
    for (const Case& c : cases) {
        bool snapped = !c.snapped;
        EXPECT_DOUBLE_EQ(snapAngleToRightAngle(c.t, &snapped), c.expected) << c.t;
        EXPECT_EQ(snapped, c.snapped) << c.t;
    }
}

TEST(MouseTrackingTest, ResizeSnapCorrectionNeverOvershootsTheMouse) {
    struct Case {
        KXTrackerNode node;
        double dragX, dragY, snapX, snapY;
        kx::Point expected;
    };
    const Case cases[] = {
        {3, 5, 0, 1.5, 0.5, {1.5, 0}},     // a side keeps x only; the drag is larger: the snap applies
        {3, 1, 0, 1.5, 0, {-1, 0}},        // the drag is smaller: it is undone instead
        {1, 3, 4, 1, -1.5, {0, -1.5}},     // top middle keeps y only
        {2, 4, 4, 1, -1.5, {1, 0}},        // a corner keeps the smaller component
        {6, 4, 4, -1.5, 1.5, {-1.5, 0}},   // a tie keeps x
        {8, 4, 4, 1, 1, {0, 0}},           // the rotate handle never resizes
    };
    for (const Case& c : cases) {
        const kx::Point r = resizeSnapCorrection(c.node, c.dragX, c.dragY, c.snapX, c.snapY);
        EXPECT_EQ(r, c.expected) << "node " << c.node;
    }
}

TEST(MouseTrackingTest, OnlyWebAndMailLinksOpen) {
    const struct {
        const char* url;
        bool openable;
    } cases[] = {
        {"http://example.org/a", true},  {"https://example.org", true}, {"HTTPS://EXAMPLE.ORG", true},
        {"mailto:someone@example.org", true}, {"file:///etc/passwd", false}, {"javascript:alert(1)", false},
        {"ftp://example.org", false},    {"smb://server/share", false},  {"http://", false},
        {"mailto:", false},             {"", false},                    {"/usr/bin/xterm", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isOpenableLink(QUrl(QString::fromUtf8(c.url))), c.openable) << c.url;
}

TEST(MouseTrackingTest, AltAndCtrlPlayTheOptionRole) {
    EXPECT_TRUE(isOptionModifier(Qt::AltModifier));
    EXPECT_TRUE(isOptionModifier(Qt::ControlModifier));
    EXPECT_TRUE(isOptionModifier(Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(isOptionModifier(Qt::ShiftModifier));
    EXPECT_FALSE(isOptionModifier(Qt::MetaModifier));
    EXPECT_FALSE(isOptionModifier(Qt::NoModifier));
    EXPECT_EQ(marqueeRectWithPoints({30, 5}, {10, 25}), kx::Rect(10, 5, 20, 20));
}

// ---- the view ----

// A page of 400 x 300 pixels shown at 100 % in a 600 x 400 view, so page points are page pixels. Snapping to
// the page is on, to objects off, unless a test says otherwise.
class CanvasMouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        rig = std::make_unique<kxtest::ViewRig>(QSize(600, 400));
        page = KXCanvasLayer::create();
        const KXSize size(400, 300, KXSizeUnitPixel, 72);
        page->canvas()->setPageSize(&size);
        rig->view->switchToCanvasLayer(page);
        rig->view->actualSizeAction();
        ASSERT_EQ(canvas()->previewSize(), kx::Size(400, 300));
        setSnapping(true, false);
        view()->setLinkOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        view()->setLinkFailureReporter([this](const QUrl& url) { refused.push_back(url); });
    }
    void TearDown() override {
        rig.reset();
        kx::UserDefaults::standard().removeValue(KXAutoSnap);
        kx::UserDefaults::standard().removeValue(KXAutoObjectSnap);
    }
    static void setSnapping(bool toPage, bool toObjects) {
        kx::UserDefaults::standard().setValue(KXAutoSnap, toPage);
        kx::UserDefaults::standard().setValue(KXAutoObjectSnap, toObjects);
    }
    KXPreview* view() { return rig->view; }
    KXCanvas* canvas() { return page->canvas(); }
    kx::UndoManager& undo() { return canvas()->undoManager(); }

    // Places a graph at a frame in page points; it starts unselected, and no undo step remains.
    template <class G = kxtest::SolidGraph>
    std::shared_ptr<G> add(const kx::Rect& frame, double angle = 0) {
        auto graph = std::make_shared<G>();
        canvas()->addGraph(graph);
        place(*graph, frame);
        graph->setAngle(angle);
        settle();
        return graph;
    }
    void place(KXGraph& graph, const kx::Rect& frame) {
        graph.setRelativeRect({frame.origin.x / 400, frame.origin.y / 300, frame.size.width / 400,
                               frame.size.height / 300});
    }
    // Ends the page's event group and forgets every step so far; the page's own selection flags are cleared.
    void settle() {
        canvas()->setAllGrpahsSelection(false);
        view()->setSelectedGraphs({});
        kxtest::endEvent();
        undo().removeAllActions();
    }
    void click(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonPress, p, Qt::LeftButton, modifiers);
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonRelease, p, Qt::LeftButton, modifiers);
    }
    void press(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonPress, p, Qt::LeftButton, modifiers);
    }
    void move(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseMove, p, Qt::LeftButton, modifiers);
    }
    void release(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonRelease, p, Qt::LeftButton, modifiers);
    }
    // The number of steps on the undo stack, counted by undoing them all and redoing them back.
    int undoSteps() {
        int steps = 0;
        while (undo().canUndo()) {
            undo().undo();
            ++steps;
        }
        for (int i = 0; i < steps; ++i)
            undo().redo();
        return steps;
    }
    // Where the tracker puts a handle of an unturned graph, in page points.
    static kx::Point handle(const KXGraph& graph, KXTrackerNode node) {
        const kx::Rect r = roundRectComponents(graph.frameRect());
        const kx::Point p = graph.tracker()->positionOfNode(node, r);
        return transformPointAboutCenter(p, r.center(), graph.angle(), 1, 1);
    }

    std::unique_ptr<kxtest::ViewRig> rig;
    std::shared_ptr<KXCanvasLayer> page;
    std::vector<QUrl> opened;
    std::vector<QUrl> refused;
};

TEST_F(CanvasMouseTest, ClicksSelectKeepAndToggle) {
    auto a = add({50, 50, 80, 60});
    auto b = add({200, 50, 80, 60});
    Counter changes(KXGraphSelectionChange, view());
    click({90, 80});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a}));
    // Shift and the Option role (Alt, or Ctrl) toggle the object under the mouse.
    click({240, 80}, Qt::ShiftModifier);
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a, b}));
    EXPECT_TRUE(b->isSelected());
    // A click on one object of a multiple selection keeps the selection.
    click({90, 80});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a, b}));
    click({240, 80}, Qt::ControlModifier);
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a}));
    EXPECT_FALSE(b->isSelected());
    click({240, 80}, Qt::AltModifier);
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a, b}));
    const int before = changes.count;
    click({350, 250}, Qt::ShiftModifier);  // a toggle over empty page does nothing
    EXPECT_EQ(changes.count, before);
    // A click on an unselected object selects it alone; on empty page it clears the selection.
    click({350, 250});
    EXPECT_TRUE(view()->selectedGraphs().empty());
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(changes.count, before + 1);
    EXPECT_EQ(undoSteps(), 0);
}

// A body drag moves the selection as one undo step that puts the rectangle back exactly and redoes it.
TEST_F(CanvasMouseTest, BodyDragIsOneUndoStepThatRestoresExactly) {
    setSnapping(false, false);
    auto a = add({50, 50, 80, 60});
    auto b = add({200, 150, 40, 40});
    view()->setSelectedGraphs({a, b});
    const kx::Rect startA = a->relativeRect(), startB = b->relativeRect();
    Counter hides(KXHideAllFloatingPanel, view());
    Counter floats(KXFloatingNeedUpdate, view());
    sendDragAtPagePoints(*view(), {90, 80}, {153.3, 111.7}, 5);
    EXPECT_NEAR(a->frameRect().origin.x, 113.3, 1e-9);
    EXPECT_NEAR(a->frameRect().origin.y, 81.7, 1e-9);
    EXPECT_NEAR(b->frameRect().origin.x, 263.3, 1e-9);
    EXPECT_NEAR(b->frameRect().origin.y, 181.7, 1e-9);
    EXPECT_EQ(hides.count, 5);
    EXPECT_EQ(floats.count, 1);
    EXPECT_FALSE(view()->isEditing());
    EXPECT_EQ(undo().groupingLevel(), 0);
    const kx::Rect movedA = a->relativeRect(), movedB = b->relativeRect();
    ASSERT_TRUE(undo().canUndo());
    undo().undo();
    EXPECT_EQ(a->relativeRect(), startA);
    EXPECT_EQ(b->relativeRect(), startB);
    EXPECT_FALSE(undo().canUndo());
    undo().redo();
    EXPECT_EQ(a->relativeRect(), movedA);
    EXPECT_EQ(b->relativeRect(), movedB);
}

// The page's corner is a point like any other: a press there can drag.
TEST_F(CanvasMouseTest, APressAtThePageCornerCanDrag) {
    setSnapping(false, false);
    auto a = add({0, 0, 80, 60});
    sendDragAtPagePoints(*view(), {0, 0}, {30, 20});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a}));
    EXPECT_NEAR(a->frameRect().origin.x, 30, 1e-9);
    EXPECT_NEAR(a->frameRect().origin.y, 20, 1e-9);
    EXPECT_EQ(undoSteps(), 1);
}

// A toggle click that adds the object under the mouse keeps the drag of the click before it: click A,
// Shift-click B and keep dragging, and A and B move together as one undo step.
TEST_F(CanvasMouseTest, AToggleClickThatAddsKeepsThePreviousDrag) {
    setSnapping(false, false);
    auto a = add({50, 50, 80, 60});
    auto b = add({200, 50, 80, 60});
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers(Qt::AltModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        SCOPED_TRACE(modifiers.toInt());
        place(*a, {50, 50, 80, 60});
        place(*b, {200, 50, 80, 60});
        settle();
        click({90, 80});
        press({240, 80}, modifiers);
        EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a, b}));
        EXPECT_EQ(view()->mouseDownGraph(), a.get());
        move({255, 95}, modifiers);
        move({270, 110}, modifiers);
        release({270, 110}, modifiers);
        EXPECT_NEAR(a->frameRect().origin.x, 80, 1e-9);
        EXPECT_NEAR(a->frameRect().origin.y, 80, 1e-9);
        EXPECT_NEAR(b->frameRect().origin.x, 230, 1e-9);
        EXPECT_NEAR(b->frameRect().origin.y, 80, 1e-9);
        EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a, b}));
        EXPECT_EQ(undoSteps(), 1);
    }
}

// A toggle click that takes the object under the mouse out of the selection drags nothing: neither that
// object nor the rest of the selection follows the mouse, and no rubber band replaces the selection.
TEST_F(CanvasMouseTest, AToggleClickThatRemovesTheObjectUnderTheMouseDragsNothing) {
    auto a = add({50, 50, 80, 60});
    auto b = add({200, 50, 80, 60});
    struct Case {
        const char* name;
        bool addBFirst;
        kx::Point removedAt;
        KXCanvas::GraphList remaining;
    };
    const Case cases[] = {
        {"the only selected object", false, {90, 80}, {}},
        {"the object the previous click pressed", true, {90, 80}, {b}},
        {"another object of the selection", true, {240, 80}, {a}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settle();
        click({90, 80});
        if (c.addBFirst)
            click({240, 80}, Qt::ShiftModifier);
        const kx::Rect startA = a->relativeRect(), startB = b->relativeRect();
        press(c.removedAt, Qt::ShiftModifier);
        EXPECT_EQ(view()->mouseDownGraph(), nullptr);
        EXPECT_EQ(view()->mouseDownNode(), KXTrackerNodeNone);
        move({c.removedAt.x + 30, c.removedAt.y + 20}, Qt::ShiftModifier);
        move({c.removedAt.x + 60, c.removedAt.y + 40}, Qt::ShiftModifier);
        release({c.removedAt.x + 60, c.removedAt.y + 40}, Qt::ShiftModifier);
        EXPECT_EQ(a->relativeRect(), startA);
        EXPECT_EQ(b->relativeRect(), startB);
        EXPECT_EQ(view()->selectedGraphs(), c.remaining);
        EXPECT_EQ(undoSteps(), 0);
    }
}

// The kept drag belongs to the object the previous click pressed; once that object has left the selection
// another way, it is not dragged along: the drag draws a rubber band, as after a click on empty page.
TEST_F(CanvasMouseTest, AKeptDragOfAnObjectNoLongerSelectedMovesNothing) {
    setSnapping(false, false);
    auto a = add({50, 50, 80, 60});
    auto b = add({200, 50, 80, 60});
    click({90, 80});
    view()->setSelectedGraphs({});
    const kx::Rect startA = a->relativeRect(), startB = b->relativeRect();
    press({240, 80}, Qt::ShiftModifier);
    move({255, 90}, Qt::ShiftModifier);
    move({270, 100}, Qt::ShiftModifier);
    release({270, 100}, Qt::ShiftModifier);
    EXPECT_EQ(a->relativeRect(), startA);
    EXPECT_EQ(b->relativeRect(), startB);
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{b}));
    EXPECT_EQ(undoSteps(), 0);
}

// Drags that end with everything where it was leave no undo step, whatever their events recorded.
TEST_F(CanvasMouseTest, ADragThatChangesNothingLeavesNoStep) {
    auto a = add({100, 100, 80, 60});
    auto edge = add({36, 200, 60, 40});  // its left edge lies on the margin box's
    Counter closes(kx::UndoManagerDidCloseUndoGroupNotification, &undo());
    // Out and back.
    press({140, 130});
    move({170, 150});
    move({140, 130});
    release({140, 130});
    // A jiggle of one point that snapping pulls back onto the margin box's edge.
    press({60, 220});
    move({61, 220});
    release({61, 220});
    EXPECT_NEAR(edge->frameRect().origin.x, 36, 1e-9);
    // A turn there and back.
    click({140, 130});
    const kx::Point rotate = handle(*a, KXTrackerNodeRotate);
    press(rotate);
    move({rotate.x + 40, rotate.y - 10});
    move(rotate);
    release(rotate);
    EXPECT_EQ(a->angle(), 0);
    // A press and release without a move.
    click({140, 130});
    EXPECT_EQ(undoSteps(), 0);
    EXPECT_EQ(closes.count, 0);
    EXPECT_FALSE(view()->isEditing());
    EXPECT_EQ(undo().groupingLevel(), 0);
    // A real change after all that is one step.
    sendDragAtPagePoints(*view(), {140, 130}, {160, 130});
    EXPECT_EQ(undoSteps(), 1);
}

// A corner resize of a turned object follows the mouse in the object's own axes and keeps its aspect; the
// other selected objects resize at the same handle by the same amount.
TEST_F(CanvasMouseTest, CornerResizeOfATurnedObjectKeepsItsAspectAndResizesTheOthers) {
    setSnapping(false, false);
    const double angle = kPi / 6;
    auto a = add({100, 100, 120, 60}, angle);
    auto b = add({300, 40, 40, 40});
    view()->setSelectedGraphs({a, b});
    // The bottom-left corner (handle 6) stays where it is on the page while handle 2 is dragged.
    const kx::Rect startA = a->relativeRect(), startB = b->relativeRect();
    const kx::Rect f = a->frameRect();
    const kx::Point fixed = transformPointAboutCenter({f.minX(), f.minY()}, f.center(), angle, 1, 1);
    const kx::Point from = handle(*a, 2);
    // (24, 12) along the object's own axes.
    const kx::Point along{24 * std::cos(angle) - 12 * std::sin(angle), 24 * std::sin(angle) + 12 * std::cos(angle)};
    press(from);
    ASSERT_EQ(view()->mouseDownNode(), 2u);
    ASSERT_EQ(view()->mouseDownGraph(), a.get());
    for (int i = 1; i <= 3; ++i)
        move({from.x + along.x * i / 3, from.y + along.y * i / 3});
    // While resized, the selected objects' layers are in editing state (their companions hide).
    EXPECT_TRUE(dynamic_cast<KXGraphLayer*>(b->render()->graphLayer())->isEditing());
    release({from.x + along.x, from.y + along.y});
    const kx::Rect r = a->frameRect();
    EXPECT_NEAR(r.size.width / r.size.height, 2.0, 1e-9);
    EXPECT_NEAR(r.size.width, 144, 0.6);
    EXPECT_NEAR(a->angle(), angle, 1e-12);
    const kx::Point fixedAfter = transformPointAboutCenter({r.minX(), r.minY()}, r.center(), angle, 1, 1);
    EXPECT_NEAR(fixedAfter.x, fixed.x, 1.0);
    EXPECT_NEAR(fixedAfter.y, fixed.y, 1.0);
    // b grew at its own handle 2 by the same drag, keeping its square shape and its bottom-left corner.
    const kx::Rect rb = b->frameRect();
    EXPECT_NEAR(rb.size.width, rb.size.height, 1e-9);
    EXPECT_GT(rb.size.width, 45);
    EXPECT_NEAR(rb.origin.x, 300, 1.0);
    EXPECT_NEAR(rb.origin.y, 40, 1.0);
    // The layers' anchors are back at the centres, and the whole resize is one step.
    auto* layer = dynamic_cast<KXGraphLayer*>(a->render()->graphLayer());
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->anchorPoint(), kx::Point(0.5, 0.5));
    EXPECT_FALSE(layer->isEditing());
    EXPECT_EQ(undoSteps(), 1);
    undo().undo();
    EXPECT_EQ(a->relativeRect(), startA);
    EXPECT_EQ(b->relativeRect(), startB);
}

// A resize by a side handle snaps its edge onto the margin box's edge (x 364) within 2 points, except while
// the Option role is held.
TEST_F(CanvasMouseTest, ASideResizeSnapsToThePageUnlessOptionIsHeld) {
    ASSERT_EQ(canvas()->previewMarginRect(), kx::Rect(36, 36, 328, 228));
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::AltModifier)}) {
        auto a = add({200, 100, 140, 70});
        click({270, 135});
        const kx::Point from = handle(*a, 3);
        press(from);
        move({from.x + 20, from.y}, modifiers);
        move({from.x + 23, from.y}, modifiers);  // the right edge 1 point short of the margin box
        release({from.x + 23, from.y}, modifiers);
        if (modifiers)
            EXPECT_NEAR(a->frameRect().maxX(), 363, 1e-6);
        else
            EXPECT_NEAR(a->frameRect().maxX(), 364, 1e-6);
        canvas()->removeGraph(a.get());
        settle();
    }
}

// A turn that comes within 0.05 of a right angle lands on it and stays for small further movements.
TEST_F(CanvasMouseTest, RotationNearARightAngleLandsOnIt) {
    auto a = add({150, 100, 100, 60});
    click({200, 130});
    const kx::Point c = a->frameRect().center();
    const kx::Point from = handle(*a, KXTrackerNodeRotate);
    const double radius = from.y - c.y;
    // The mouse at angle θ (from up, clockwise); turning it left by 90 degrees turns the object by +π/2.
    const auto at = [&](double theta) {
        return kx::Point{c.x + radius * std::sin(theta), c.y + radius * std::cos(theta)};
    };
    struct Step {
        double theta, expected;
    };
    const Step steps[] = {
        {3 * kPi / 2 - 0.03, kPi / 2},        // 0.03 past the right angle: lands on it
        {3 * kPi / 2 - 0.045, kPi / 2},       // still within the band from where the turn was free
        {3 * kPi / 2 - 0.07, kPi / 2 + 0.07}, // out of the band: free again
        {3 * kPi / 2 - 0.09, kPi / 2 + 0.09},
    };
    press(from);
    ASSERT_EQ(view()->mouseDownNode(), KXTrackerNodeRotate);
    for (const Step& s : steps) {
        move(at(s.theta));
        EXPECT_NEAR(a->angle(), s.expected, 1e-5) << s.theta;
    }
    release(at(steps[3].theta));
    EXPECT_EQ(undoSteps(), 1);
    // With the Option role nothing snaps.
    undo().undo();
    EXPECT_EQ(a->angle(), 0);
    press(from);
    move(at(3 * kPi / 2 - 0.03), Qt::ControlModifier);
    release(at(3 * kPi / 2 - 0.03), Qt::ControlModifier);
    EXPECT_NEAR(a->angle(), kPi / 2 + 0.03, 1e-5);
    EXPECT_TRUE(a->isSelected());
}

// A drag that starts on a locked object draws a rubber band instead of moving it.
TEST_F(CanvasMouseTest, ALockedObjectStartsARubberBand) {
    auto locked = add({100, 100, 100, 100});
    locked->setLocked(true);
    auto other = add({250, 100, 50, 50});
    auto far = add({20, 250, 30, 30});
    settle();
    const kx::Rect start = locked->relativeRect();
    press({150, 150});
    move({200, 180});
    move({280, 220});
    // The band is drawn in the overlay while the drag lasts.
    const kx::Rect band = view()->auxiliaryLayer()->selectionFrame();
    EXPECT_EQ(band, view()->auxiliaryLayer()->convertRectFromLayer({150, 150, 130, 70}, page.get()));
    release({280, 220});
    EXPECT_EQ(locked->relativeRect(), start);
    EXPECT_EQ(view()->selectedGraphs().size(), 2u);
    EXPECT_TRUE(other->isSelected());
    EXPECT_TRUE(locked->isSelected());
    EXPECT_FALSE(far->isSelected());
    EXPECT_TRUE(view()->auxiliaryLayer()->selectionFrame().isEmpty());
    EXPECT_EQ(undoSteps(), 0);
}

// The rubber band takes a line only where its stroke lies inside the band, not merely its frame.
TEST_F(CanvasMouseTest, TheRubberBandTakesLinesByTheirStroke) {
    auto line = KXSymbolShape::symbolShapeWithType(KXShapeTypeLine, {0, 0, 0.1, 0.1});
    line->setPhoto(nullptr);
    line->setText(nullptr);
    canvas()->addGraph(line);
    place(*line, {100, 60, 100, 120});  // from (100, 60) up to (200, 180)
    auto box = add({100, 150, 20, 30});  // lies in the line frame's top-left corner, off its stroke
    settle();
    struct Case {
        const char* name;
        kx::Point from, to;
        bool line, box;
    };
    const Case cases[] = {
        {"whole line", {90, 50}, {210, 190}, true, true},
        {"frame corner, off the stroke", {95, 140}, {125, 185}, false, true},
        {"across the stroke", {140, 100}, {160, 130}, true, false},
        {"nothing", {300, 20}, {380, 40}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        click({390, 290});  // empty page: clears the selection
        sendDragAtPagePoints(*view(), c.from, c.to);
        EXPECT_EQ(line->isSelected(), c.line);
        EXPECT_EQ(box->isSelected(), c.box);
    }
}

// Guides show while an object is dragged near the page's centre, snapping or not, and go at the release.
TEST_F(CanvasMouseTest, GuidesShowWhileDraggingAndGoAtTheRelease) {
    for (const bool snapping : {true, false}) {
        setSnapping(snapping, false);
        auto a = add({100, 100, 60, 40});  // centre (130, 120); the page's centre is (200, 150)
        press({130, 120});
        move({165, 135});
        move({200.4, 150});
        EXPECT_TRUE(view()->auxiliaryLayer()->hasLine()) << snapping;
        EXPECT_EQ(view()->auxiliaryLayer()->draggingGraph(), a.get());
        release({200.4, 150});
        EXPECT_FALSE(view()->auxiliaryLayer()->hasLine());
        EXPECT_EQ(view()->auxiliaryLayer()->draggingGraph(), nullptr);
        EXPECT_EQ(view()->auxiliaryLayer()->draggingNode(), KXTrackerNodeNone);
        canvas()->removeGraph(a.get());
        settle();
    }
}

// Moves without a left press of this view (after a right click, say) drag nothing.
TEST_F(CanvasMouseTest, ADragWithoutALeftPressDoesNothing) {
    auto a = add({100, 100, 60, 40});
    view()->setSelectedGraphs({a});
    const kx::Rect start = a->relativeRect();
    sendMouseAtPagePoint(*view(), QEvent::MouseButtonPress, {130, 120}, Qt::RightButton);
    sendMouseAtPagePoint(*view(), QEvent::MouseMove, {160, 140}, Qt::RightButton);
    sendMouseAtPagePoint(*view(), QEvent::MouseButtonRelease, {160, 140}, Qt::RightButton);
    move({170, 150});
    EXPECT_EQ(a->relativeRect(), start);
    EXPECT_FALSE(view()->isMouseDown());
    EXPECT_EQ(undoSteps(), 0);
}

// A click on a link of the one selected text object opens it when it is a web or mail link, and reports the
// failure for anything else; either way the click is used up.
TEST_F(CanvasMouseTest, LinkClicksOpenOnlyWebAndMailLinks) {
    auto shape = kxtest::textShape(*canvas(), {40, 120, 300, 120}, QStringLiteral("link text"), kxtest::dejaVu(30),
                                   kxtest::OutlineShape::Kind::Rectangle, true);
    shape->setStrokeEnabled(false);
    auto other = add({350, 20, 30, 30});
    auto* text = static_cast<KXText*>(shape->text());
    const struct {
        const char* link;
        bool opens;
    } cases[] = {
        {"https://example.org/page", true},
        {"mailto:someone@example.org", true},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        kx::TextAttributes attributes = kxtest::dejaVu(30);
        attributes.link = QString::fromUtf8(c.link);
        text->textStorage().setAttributes({0, 4}, attributes);
        kx::BitmapContext context(300, 120);
        text->drawInContext(context, {0, 0, 300, 120});
        view()->setSelectedGraphs({shape});
        opened.clear();
        refused.clear();
        // On the first glyph: the text measures y downwards from the frame's top.
        const kx::Rect column = text->textViews()[0]->frame();
        const kx::Point local{column.origin.x + 12, text->textDrawPoint().y + 20};
        const kx::Rect frame = shape->frameRect();
        click({frame.minX() + local.x, frame.maxY() - local.y});
        EXPECT_EQ(opened.size(), c.opens ? 1u : 0u);
        EXPECT_EQ(refused.size(), c.opens ? 0u : 1u);
        if (c.opens && !opened.empty())
            EXPECT_EQ(opened.front(), QUrl(QString::fromUtf8(c.link)));
        EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{shape}));
    }
    // Away from the link text the click selects as usual.
    click({365, 35});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{other}));
    EXPECT_TRUE(opened.empty());
}

}  // namespace

namespace {

// A mirrored group is resized by the handle drawn under the mouse: dragging the top-right corner of a group
// mirrored left to right grows it to the right and up, its bottom-left corner staying where it is.
TEST_F(CanvasMouseTest, AMirroredGroupResizesByTheHandleUnderTheMouse) {
    setSnapping(false, false);
    for (const std::int32_t flip : {1, -1}) {
        SCOPED_TRACE(flip);
        auto a = add({100, 100, 60, 40});
        auto b = add({160, 110, 60, 50});
        auto group = canvas()->groupGraphs({a, b});
        ASSERT_TRUE(group);
        group->setFlipX(flip);
        settle();
        const kx::Rect start = group->frameRect();  // (100, 100, 120, 60)
        click({150, 120});  // on a child whether or not the group is mirrored
        ASSERT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{group}));
        const kx::Point from = handle(*group, 2);
        press(from);
        ASSERT_EQ(view()->mouseDownNode(), 2u);
        move({from.x + 10, from.y + 5});
        move({from.x + 20, from.y + 10});
        release({from.x + 20, from.y + 10});
        const kx::Rect r = group->frameRect();
        EXPECT_NEAR(r.minX(), start.minX(), 1.0);
        EXPECT_NEAR(r.minY(), start.minY(), 1.0);
        EXPECT_NEAR(r.size.width, start.size.width + 20, 1.0);
        EXPECT_NEAR(r.size.height, start.size.height + 10, 1.0);
        canvas()->removeGraph(group.get());
        settle();
    }
}

}  // namespace

namespace {

// A page switch in the middle of a drag closes the drag's group on the page it was made on; the rest of the
// drag does nothing to the new page.
TEST_F(CanvasMouseTest, APageSwitchDuringADragClosesItsUndoGroup) {
    setSnapping(false, false);
    auto a = add({100, 100, 60, 40});
    press({130, 120});
    EXPECT_EQ(view()->cursor().shape(), Qt::ClosedHandCursor);
    move({150, 130});
    EXPECT_TRUE(view()->isEditing());
    EXPECT_EQ(undo().groupingLevel(), 1);
    auto other = KXCanvasLayer::create();
    const KXSize size(400, 300, KXSizeUnitPixel, 72);
    other->canvas()->setPageSize(&size);
    view()->switchToCanvasLayer(other);
    EXPECT_FALSE(view()->isEditing());
    EXPECT_EQ(undo().groupingLevel(), 0);
    const kx::Rect moved = a->relativeRect();
    move({200, 200});
    release({200, 200});
    EXPECT_EQ(a->relativeRect(), moved);
    EXPECT_FALSE(other->canvas()->undoManager().canUndo());
    EXPECT_EQ(view()->cursor().shape(), Qt::ArrowCursor);
    undo().undo();
    EXPECT_NEAR(a->frameRect().origin.x, 100, 1e-9);
    view()->switchToCanvasLayer(page);
}

}  // namespace

namespace {

// After a snap correction the anchor moves by the applied resize turned back onto the page, so a turned object
// holds still while the mouse does: here a half-turned object whose far edge keeps snapping to the margin box.
TEST_F(CanvasMouseTest, ASnappedResizeOfATurnedObjectHoldsStillWithTheMouse) {
    auto a = add({263, 100, 100, 50}, kPi);  // its fixed edge lies 1 point from the margin box's right edge
    click({300, 125});
    const kx::Point from = handle(*a, 3);  // drawn at the page-left middle of the half-turned object
    ASSERT_NEAR(from.x, 263, 1e-6);
    const kx::Rect start = a->relativeRect();
    press(from);
    ASSERT_EQ(view()->mouseDownNode(), 3u);
    move({from.x - 10, from.y});
    const double width = a->frameRect().size.width;
    EXPECT_GT(width, 109);
    move({from.x - 10, from.y});
    move({from.x - 10, from.y});
    EXPECT_NEAR(a->frameRect().size.width, width, 1e-6);
    release({from.x - 10, from.y});
    EXPECT_EQ(undoSteps(), 1);
    undo().undo();
    EXPECT_EQ(a->relativeRect(), start);
}

}  // namespace

namespace {

// A drag step with guide lines across the page repaints thin strips along the lines and around the object, not
// the rectangle that holds them all; the guide shows on screen in yellow.
TEST_F(CanvasMouseTest, ADragStepWithGuidesRepaintsStripsNotThePage) {
    auto a = add({100, 100, 60, 40});
    auto far = add({300, 220, 60, 40});  // its left edge at x 300
    press({130, 120});
    move({150, 130});
    QApplication::processEvents();
    // The dragged object's left edge 0.5 from the other object's, its centre on the page's centre line: guides
    // along x 300 and y 150 (the page is at (100, 50) in the view).
    move({330.5, 150});
    view()->resetPaintedPixelCount();
    QApplication::processEvents();
    ASSERT_TRUE(view()->auxiliaryLayer()->hasLine());
    const std::int64_t painted = view()->paintedPixelCount();
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 400 * 300 / 4);
    const QImage shot = view()->grab().toImage();
    // A line one point wide on a whole coordinate covers half of the pixel on each side: the yellowest of
    // the pixels across it.
    const QPointF onGuide = view()->viewPointForPagePoint({300, 200});
    int blue = 255;
    for (int dx = -1; dx <= 1; ++dx) {
        const QRgb pixel = shot.pixel(int(onGuide.x()) + dx, int(onGuide.y()));
        if (qBlue(pixel) < blue) {
            blue = qBlue(pixel);
            EXPECT_GT(qRed(pixel), 200);
            EXPECT_GT(qGreen(pixel), 200);
        }
    }
    EXPECT_LT(blue, 160);
    release({330.5, 150});
    EXPECT_FALSE(far->isSelected());
}

// A drag by whole points at 100 % moves shadowed objects by whole pixels: each keeps the picture of itself and
// its shadow, so no step blurs a shadow again, and what the view shows is what a rendering that keeps nothing
// shows.
TEST_F(CanvasMouseTest, ADragByWholePixelsBlursNoShadowAgain) {
    auto a = add({100, 100, 60, 40});
    auto turned = add({180, 120, 60, 40}, 0.3);
    for (KXGraph* graph : {static_cast<KXGraph*>(a.get()), static_cast<KXGraph*>(turned.get())})
        graph->setShadowEnabled(true);
    QApplication::processEvents();
    press({130, 120});
    move({135, 118});
    QApplication::processEvents();
    const std::uint64_t before = kx::renderedShadowBlurCount();
    for (int step = 1; step <= 5; ++step) {
        move({135.0 + 4 * step, 118.0 + 3 * step});
        QApplication::processEvents();
    }
    EXPECT_GT(view()->paintedPixelCount(), 0);
    EXPECT_EQ(kx::renderedShadowBlurCount(), before);
    const QImage kept = view()->grab().toImage();
    kx::setLayerPictureCacheEnabled(false);
    const QImage fresh = view()->grab().toImage();
    kx::setLayerPictureCacheEnabled(true);
    EXPECT_GT(kx::renderedShadowBlurCount(), before) << "the fresh rendering blurs the shadows";
    EXPECT_EQ(kept, fresh);
    release({155, 133});
}

}  // namespace

namespace {

// An object that leaves the page in the middle of a drag (an undo, a command) is no longer dragged; the rest
// of the drag draws a rubber band instead.
TEST_F(CanvasMouseTest, AnObjectRemovedDuringADragIsNoLongerDragged) {
    setSnapping(false, false);
    auto a = add({100, 100, 60, 40});
    auto b = add({250, 100, 40, 40});
    press({130, 120});
    move({140, 125});
    canvas()->removeGraph(a.get());
    const kx::Rect left = a->relativeRect();
    move({280, 130});
    release({280, 130});
    EXPECT_EQ(a->relativeRect(), left);
    EXPECT_EQ(view()->mouseDownGraph(), nullptr);
    EXPECT_FALSE(view()->isEditing());
    EXPECT_EQ(undo().groupingLevel(), 0);
    EXPECT_TRUE(b->isSelected());
}

}  // namespace
