// The pen tool driven through real mouse and key events: nodes, the close target, constrained angles,
// undo and redo of nodes while drawing, finishing by double click, keys, leaving the view, menus, shortcuts
// and window deactivation, and the single undo step of the finished shape.
#include "canvas/custom_layer.h"
#include "editing_rig.h"
#include "support/qt_message_check.h"
#include "shapes/custom_shape.h"

#include <QAction>
#include <QFocusEvent>
#include <QMenu>

#include <cmath>
#include <numbers>

namespace {

using kx::Point;

class PenToolTest : public kxtest::EditingRig {
protected:
    const kx::BezierPath& drawing() {
        static const kx::BezierPath none;
        KXCustomLayer* layer = view()->customLayer();
        return layer && layer->customPath() ? *layer->customPath() : none;
    }
    static Point endOf(const kx::BezierPath::Element& e) {
        return e.type == kx::BezierPath::ElementType::CurveTo ? e.points[2] : e.points[0];
    }
    Point lastNode() { return endOf(drawing().elements().back()); }
    std::shared_ptr<KXCustomShape> onlyShape() {
        if (canvas()->graphs().size() != 1)
            return nullptr;
        return std::dynamic_pointer_cast<KXCustomShape>(canvas()->graphs().front());
    }
    // The shape's list of nodes back in page points.
    std::vector<Point> shapeNodes(const KXCustomShape& shape) {
        const kx::Rect f = shape.frameRect();
        std::vector<Point> nodes;
        for (std::size_t i = 0; i < shape.customPointsArray().size(); ++i) {
            const KXPathPoint& p = *shape.customPointsArray()[i];
            const Point u = i == 0 ? p.point1() : p.point3();
            nodes.push_back({f.origin.x + u.x * f.size.width, f.origin.y + u.y * f.size.height});
        }
        return nodes;
    }
    void startDrawing(const std::vector<Point>& clicks) {
        view()->enterDrawMode();
        for (const Point& p : clicks)
            click(p);
    }
};

TEST_F(PenToolTest, ClicksAddNodesAndAClickOnTheStartClosesTheOutline) {
    const Point p0(100, 100);
    struct Case {
        Point last;
        bool closes;
    } cases[] = {{{104, 104}, true}, {{96, 95.5}, true}, {{106, 100}, false}, {{100, 106}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.last.x << ", " << c.last.y);
        startDrawing({p0, {200, 100}, {200, 200}, c.last});
        EXPECT_EQ(view()->isDrawingPath(), !c.closes);
        if (c.closes) {
            auto shape = onlyShape();
            ASSERT_TRUE(shape);
            // Move, two nodes, and the closing segment back to the start.
            const std::vector<Point> nodes = shapeNodes(*shape);
            ASSERT_EQ(nodes.size(), 4u);
            EXPECT_NEAR(nodes[1].x, 200, 1e-6);
            EXPECT_NEAR(nodes[2].y, 200, 1e-6);
            EXPECT_NEAR(nodes[3].x, p0.x, 1e-6);
            EXPECT_NEAR(nodes[3].y, p0.y, 1e-6);
            EXPECT_FALSE(view()->isCustomDrawMode());
            EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{shape}));
            // A plain shape, whose nodes the handle drags can reshape.
            EXPECT_EQ(shape->graphType(), KXGraphTypeShape);
        } else {
            EXPECT_EQ(drawing().elementCount(), 4);
            EXPECT_EQ(lastNode(), c.last);
            EXPECT_TRUE(canvas()->graphs().empty());
            key(Qt::Key_Escape, {}, QStringLiteral("\x1b"));
            EXPECT_FALSE(view()->isDrawingPath());
        }
        ASSERT_EQ(canvas()->graphs().size(), 1u);
        canvas()->removeGraph(canvas()->graphs().front().get());
        settle();
    }
}

TEST_F(PenToolTest, ModifiersConstrainTheNewNodeToRightAnglesAndDiagonals) {
    const Point last(150, 150);
    const auto at = [&](double degrees, double length = 60) {
        const double a = degrees * std::numbers::pi / 180;
        return Point(last.x + length * std::cos(a), last.y + length * std::sin(a));
    };
    struct Case {
        double degrees;
        Qt::KeyboardModifiers modifiers;
        const char* expect;  // "h" horizontal, "v" vertical, "d" the diagonal, "-" unconstrained
    } cases[] = {
        {40, Qt::ShiftModifier, "d"},   {20, Qt::ShiftModifier, "h"},  {70, Qt::ShiftModifier, "v"},
        {-40, Qt::ShiftModifier, "d"},  {220, Qt::ShiftModifier, "d"}, {160, Qt::ShiftModifier, "h"},
        {40, Qt::ControlModifier, "d"}, {40, Qt::AltModifier, "d"},    {40, Qt::NoModifier, "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " " << c.expect);
        startDrawing({{50, 50}, last});
        const Point q = at(c.degrees);
        click(q, c.modifiers);
        const Point n = lastNode();
        // The click reaches the view through widget coordinates: equal up to rounding.
        constexpr double e = 1e-9;
        switch (c.expect[0]) {
        case 'h':
            EXPECT_NEAR(n.x, q.x, e);
            EXPECT_EQ(n.y, last.y);
            break;
        case 'v':
            EXPECT_EQ(n.x, last.x);
            EXPECT_NEAR(n.y, q.y, e);
            break;
        case 'd':
            EXPECT_NEAR(n.x, q.x, e);
            EXPECT_NEAR(std::abs(n.y - last.y), std::abs(n.x - last.x), e);
            EXPECT_EQ(n.y > last.y, q.y > last.y);
            break;
        default:
            EXPECT_NEAR(n.x, q.x, e);
            EXPECT_NEAR(n.y, q.y, e);
            break;
        }
        view()->exitDrawMode();
        canvas()->removeGraph(canvas()->graphs().front().get());
        settle();
    }
}

TEST_F(PenToolTest, AClickOnTheLastNodeWithAModifierKeepsEveryPointANumber) {
    startDrawing({{50, 50}});
    // A press adds a node and its drag pulls the segment into a curve; then a constrained click on that node
    // itself, which gives no direction to constrain by.
    press({150, 80});
    move({170, 110});
    release({170, 110});
    ASSERT_EQ(drawing().elementCount(), 2);
    ASSERT_NE(drawing().elements().back().points[1], Point(150, 80));
    click({150, 80}, Qt::ShiftModifier);
    ASSERT_EQ(drawing().elementCount(), 3);
    for (const auto& e : drawing().elements())
        for (int i = 0; i < e.pointCount(); ++i)
            EXPECT_TRUE(std::isfinite(e.points[i].x) && std::isfinite(e.points[i].y)) << i;
    EXPECT_EQ(lastNode(), Point(150, 80));
    view()->exitDrawMode();
    auto shape = onlyShape();
    ASSERT_TRUE(shape);
    for (const auto& p : shape->customPointsArray())
        for (const Point& q : {p->point1(), p->point2(), p->point3()})
            EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
}

TEST_F(PenToolTest, LowerZUndoesTheLastNodeAndUpperZRedoesIt) {
    startDrawing({{50, 50}, {150, 50}, {150, 150}, {50, 150}});
    ASSERT_EQ(drawing().elementCount(), 4);
    key(Qt::Key_Z, {}, QStringLiteral("z"));
    EXPECT_EQ(drawing().elementCount(), 3);
    EXPECT_EQ(lastNode(), Point(150, 150));
    key(Qt::Key_Z, {}, QStringLiteral("z"));
    EXPECT_EQ(drawing().elementCount(), 2);
    key(Qt::Key_Z, Qt::ShiftModifier, QStringLiteral("Z"));
    EXPECT_EQ(drawing().elementCount(), 3);
    EXPECT_EQ(lastNode(), Point(150, 150));
    // A modifier key alone neither finishes nor undoes.
    key(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(view()->isDrawingPath());
    EXPECT_EQ(drawing().elementCount(), 3);
    // The drawing goes on after an undo.
    click({60, 200});
    EXPECT_EQ(drawing().elementCount(), 4);
    view()->exitDrawMode();
    auto shape = onlyShape();
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->customPointsArray().size(), 5u);
}

TEST_F(PenToolTest, UndoingEveryNodeAbandonsTheDrawingWithoutAnObject) {
    startDrawing({{50, 50}, {150, 50}, {150, 150}});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(view()->isDrawingPath()) << i;
        key(Qt::Key_Z, {}, QStringLiteral("z"));
    }
    EXPECT_FALSE(view()->isDrawingPath());
    EXPECT_FALSE(view()->isCustomDrawMode());
    EXPECT_EQ(view()->customLayer(), nullptr);
    EXPECT_TRUE(canvas()->graphs().empty());
    EXPECT_FALSE(undo().canUndo());
    EXPECT_FALSE(undo().canRedo());
    // No layer of the drawing stays on the page.
    for (const auto& layer : page->sublayers())
        EXPECT_EQ(dynamic_cast<KXCustomLayer*>(layer.get()), nullptr);
}

TEST_F(PenToolTest, TheFinishedShapeIsOneUndoStepAndNothingElseRemains) {
    struct Case {
        const char* how;
    } cases[] = {{"double click"}, {"escape"}, {"letter"}, {"leave"}, {"exit"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        startDrawing({{50, 50}, {150, 50}, {150, 150}});
        key(Qt::Key_Z, {}, QStringLiteral("z"));
        key(Qt::Key_Z, Qt::ShiftModifier, QStringLiteral("Z"));
        const std::string how = c.how;
        if (how == "double click") {
            kxtest::sendMouseAtPagePoint(*view(), QEvent::MouseButtonDblClick, {150, 150});
            release({150, 150});
        } else if (how == "escape") {
            key(Qt::Key_Escape, {}, QStringLiteral("\x1b"));
        } else if (how == "letter") {
            key(Qt::Key_Q, {}, QStringLiteral("q"));
        } else if (how == "leave") {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(view(), &leave);
            kxtest::endEvent();
        } else {
            view()->exitDrawMode();
            kxtest::endEvent();
        }
        EXPECT_FALSE(view()->isDrawingPath());
        auto shape = onlyShape();
        ASSERT_TRUE(shape);
        // Joined back to the start, with no node added by the finishing event.
        const std::vector<Point> nodes = shapeNodes(*shape);
        ASSERT_EQ(nodes.size(), 4u);
        EXPECT_NEAR(nodes.back().x, 50, 1e-6);
        EXPECT_NEAR(nodes.back().y, 50, 1e-6);
        EXPECT_EQ(shape->frameRect(), kx::Rect(50, 50, 100, 100));
        ASSERT_TRUE(undo().canUndo());
        undo().undo();
        EXPECT_TRUE(canvas()->graphs().empty());
        EXPECT_FALSE(undo().canUndo());
        undo().removeAllActions();
    }
}

TEST_F(PenToolTest, ASingleClickDrawingStillBecomesAnObjectOfAtLeastTwoPoints) {
    startDrawing({{80, 90}});
    key(Qt::Key_Return, {}, QStringLiteral("\r"));
    auto shape = onlyShape();
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->frameRect(), kx::Rect(80, 90, 2, 2));
}

TEST_F(PenToolTest, MenusShortcutsAndLosingTheWindowFinishTheDrawingCleanly) {
    QMenu menu;
    menu.addAction(QStringLiteral("Something"));
    QAction action(QStringLiteral("Command"));
    const std::vector<std::pair<const char*, std::function<void()>>> interruptions = {
        {"window deactivated",
         [&] {
             QEvent event(QEvent::WindowDeactivate);
             QApplication::sendEvent(view()->window(), &event);
         }},
        {"focus lost",
         [&] {
             QFocusEvent event(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
             QApplication::sendEvent(view(), &event);
         }},
        {"application deactivated",
         [&] {
             QEvent event(QEvent::ApplicationDeactivate);
             QApplication::sendEvent(qApp, &event);
         }},
        {"shortcut elsewhere",
         [&] {
             QShortcutEvent event(QKeySequence(QStringLiteral("Ctrl+S")), 0, false);
             QApplication::sendEvent(&action, &event);
         }},
        {"menu opens",
         [&] {
             // The offscreen platform cannot grab the keyboard for a popup.
             kxtest::ExpectedQtWarning noGrab(QStringLiteral("does not support grabbing"), 0);
             menu.popup(QPoint(10, 10));
             kxtest::endEvent();
             menu.close();
         }},
    };
    for (const auto& [name, interrupt] : interruptions) {
        SCOPED_TRACE(name);
        startDrawing({{50, 50}, {150, 60}});
        interrupt();
        kxtest::endEvent();
        EXPECT_FALSE(view()->isDrawingPath());
        EXPECT_FALSE(view()->isCustomDrawMode());
        auto shape = onlyShape();
        ASSERT_TRUE(shape);
        EXPECT_EQ(undoSteps(), 1);
        // Clicks after the interruption select; they draw nothing more.
        click({300, 250});
        EXPECT_EQ(canvas()->graphs().size(), 1u);
        canvas()->removeGraph(shape.get());
        settle();
    }
}

TEST_F(PenToolTest, ShortcutsReachTheDrawingAsKeysAndRightClicksAreIgnored) {
    startDrawing({{50, 50}, {150, 60}, {150, 160}});
    // Ctrl+Z while drawing is the "z" of the drawing, not the page's undo.
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
    override.ignore();
    QApplication::sendEvent(view(), &override);
    EXPECT_TRUE(override.isAccepted());
    key(Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
    EXPECT_EQ(drawing().elementCount(), 2);
    kxtest::sendMouseAtPagePoint(*view(), QEvent::MouseButtonPress, {200, 200}, Qt::RightButton);
    kxtest::sendMouseAtPagePoint(*view(), QEvent::MouseButtonRelease, {200, 200}, Qt::RightButton);
    const QPoint at = view()->viewPointForPagePoint({200, 200}).toPoint();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, view()->mapToGlobal(at));
    QApplication::sendEvent(view(), &menuEvent);
    EXPECT_TRUE(view()->isDrawingPath());
    EXPECT_EQ(drawing().elementCount(), 2);
    view()->exitDrawMode();
}

TEST_F(PenToolTest, PageSwitchesAndZoomPassesFinishTheDrawingOnItsOwnPage) {
    startDrawing({{50, 50}, {150, 60}});
    view()->zoomInAction();
    EXPECT_FALSE(view()->isDrawingPath());
    ASSERT_EQ(canvas()->graphs().size(), 1u);
    const kx::Rect relative = canvas()->graphs().front()->relativeRect();
    EXPECT_NEAR(relative.origin.x, 50.0 / 400, 1e-9);
    EXPECT_NEAR(relative.size.width, 100.0 / 400, 1e-9);
    view()->actualSizeAction();
    settle();

    auto other = KXCanvasLayer::create();
    const KXSize size(400, 300, KXSizeUnitPixel, 72);
    other->canvas()->setPageSize(&size);
    startDrawing({{60, 60}, {160, 60}});
    view()->switchToCanvasLayer(other);
    EXPECT_EQ(canvas()->graphs().size(), 2u);
    EXPECT_TRUE(other->canvas()->graphs().empty());
    view()->switchToCanvasLayer(page);
}

}  // namespace

namespace {

TEST_F(PenToolTest, TheNodesOfAFinishedDrawingDragWithTheMouse) {
    startDrawing({{100, 100}, {200, 100}, {200, 180}, {104, 103}});
    auto shape = onlyShape();
    ASSERT_TRUE(shape);
    settle();
    // A press on the node at (200, 180) selects it; a drag moves it.
    drag({200, 180}, {230, 200});
    const std::vector<Point> nodes = shapeNodes(*shape);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_NEAR(nodes[2].x, 230, 0.5);
    EXPECT_NEAR(nodes[2].y, 200, 0.5);
    EXPECT_NEAR(nodes[1].x, 200, 0.5);
    EXPECT_EQ(undoSteps(), 1);
}

}  // namespace
