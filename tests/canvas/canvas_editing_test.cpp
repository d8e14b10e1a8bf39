// Editing on the canvas through real mouse and key events at page points: crop mode (enter, pan, scale from
// the image's handles, leave, undo), drags of shape handles and line ends, arrow-key nudges with their guides
// and undo steps, Delete, cursor feedback and the context menu.
#include "canvas/crop_layer.h"
#include "editing_rig.h"
#include "model/photo.h"
#include "model/stroke.h"
#include "model/shape.h"
#include "model/tracker.h"
#include "platform/layers/layer_renderer.h"
#include "shapes/custom_shape.h"
#include "shapes/shape_path_builders.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"
#include "support/qt_message_check.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

namespace {

using kx::Point;
using kx::Rect;
using Kind = KXPreview::CursorKind;

constexpr double kPi = std::numbers::pi;
constexpr double kFar = -1, kMid = -2;

class CanvasEditingTest : public kxtest::EditingRig {
protected:
    // A photo shape at a page frame showing a picture of the size.
    std::shared_ptr<KXShape> photo(const Rect& frame, QSize pictureSize) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        canvas()->addGraph(shape);
        shape->setRelativeRect(relative(frame));
        QImage picture(pictureSize, QImage::Format_RGB32);
        picture.fill(QColor(20, 120, 220));
        const QString path = dir.filePath(QStringLiteral("p%1x%2.png").arg(pictureSize.width()).arg(pictureSize.height()));
        EXPECT_TRUE(picture.save(path));
        shape->photo()->setImagePath(path);
        kx::renderLayerTree(*page);
        settle();
        return shape;
    }
    std::shared_ptr<KXShape> plain(const Rect& frame) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        canvas()->addGraph(shape);
        shape->setRelativeRect(relative(frame));
        settle();
        return shape;
    }
    std::shared_ptr<KXSpecialShape> special(std::uint32_t type, const Rect& frame) {
        auto shape = KXSpecialShape::shapeWithType(type, relative(frame));
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        canvas()->addGraph(shape);
        shape->setRelativeRect(relative(frame));
        settle();
        return shape;
    }
    // A pen path through page points (straight segments), in its bounding frame.
    std::shared_ptr<KXCustomShape> penPath(const std::vector<Point>& nodes) {
        double x0 = nodes[0].x, y0 = nodes[0].y, x1 = x0, y1 = y0;
        for (const Point& p : nodes) {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
        const Rect b(x0, y0, x1 - x0, y1 - y0);
        KXPathPointArray points;
        for (const Point& p : nodes) {
            const Point u((p.x - b.origin.x) / b.size.width, (p.y - b.origin.y) / b.size.height);
            points.push_back(std::make_shared<KXPathPoint>(u, u, u));
        }
        auto shape = KXCustomShape::customShapeWithRelativeRect(relative(b));
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        shape->setCustomPointsArray(points);
        canvas()->addGraph(shape);
        shape->setPath(customPathWithPoints(points, {0, 0, b.size.width, b.size.height}));
        settle();
        return shape;
    }
    static void setInfo(KXSpecialShape& shape, const QString& key, const kx::Value& value) {
        kx::ValueDictionary info = shape.shapeInfo().value_or(kx::ValueDictionary());
        info[key] = value;
        shape.setShapeInfo(info);
    }
    static Rect fullImage(KXShape& shape) { return shape.photo()->fullImageRectForDrawing(shape.frameRect()); }
    static bool covers(const Rect& outer, const Rect& inner) {
        constexpr double e = 1e-6;
        return outer.minX() <= inner.minX() + e && outer.minY() <= inner.minY() + e &&
               outer.maxX() >= inner.maxX() - e && outer.maxY() >= inner.maxY() - e;
    }
    QTemporaryDir dir;
};

// ---- crop mode ----

TEST_F(CanvasEditingTest, DoubleClickTogglesCropModeOnlyForOneSelectedPhotoWithAnImage) {
    auto shape = photo({100, 60, 120, 120}, {200, 100});
    auto empty = std::make_shared<KXShape>();
    empty->setText(nullptr);
    canvas()->addGraph(empty);
    empty->setRelativeRect(relative({260, 60, 80, 80}));
    view()->setSelectedGraphs({});
    settle();
    doubleClick({300, 100});
    EXPECT_FALSE(view()->isCroppingPhoto()) << "an empty photo frame";
    doubleClick({160, 120});
    ASSERT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{shape}));
    ASSERT_FALSE(shape->photo()->isEmpty());
    EXPECT_TRUE(view()->isCroppingPhoto());
    EXPECT_EQ(shape->photo()->renderMode(), 1);
    ASSERT_NE(view()->cropLayer(), nullptr);
    EXPECT_EQ(view()->cropLayer()->superlayer(), page.get());
    doubleClick({160, 120});
    EXPECT_FALSE(view()->isCroppingPhoto());
    EXPECT_EQ(shape->photo()->renderMode(), 0);
    EXPECT_EQ(view()->cropLayer(), nullptr);
    // Inside a multiple selection a double click crops nothing.
    view()->setSelectedGraphs({shape, empty});
    kxtest::sendMouseAtPagePoint(*view(), QEvent::MouseButtonDblClick, {160, 120});
    release({160, 120});
    EXPECT_FALSE(view()->isCroppingPhoto());
}

TEST_F(CanvasEditingTest, PanningPastTheEdgeStopsWithTheImageEdgeOnTheWindowEdge) {
    struct Case {
        QSize picture;
        Point drag;
        // Expected crop origin: kFar for "1 - size" (the far edge), kMid for the centred crop it started with.
        double x, y;
    } cases[] = {
        {{200, 100}, {300, 0}, 0, 0},      {{200, 100}, {-300, 0}, kFar, 0}, {{200, 100}, {0, 300}, kMid, 0},
        {{100, 200}, {0, 300}, 0, 0},      {{100, 200}, {0, -300}, 0, kFar}, {{100, 200}, {-300, 0}, 0, kMid},
        {{200, 100}, {-300, -300}, kFar, 0}, {{200, 100}, {37, 0}, kMid, 0},
    };
    const auto expected = [](double code, double size) {
        return code == kFar ? 1 - size : code == kMid ? (1 - size) / 2 : code;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width() << "x" << c.picture.height() << " drag " << c.drag.x
                                        << ", " << c.drag.y);
        auto shape = photo({140, 90, 120, 120}, c.picture);
        view()->setSelectedGraphs({shape});
        view()->beginCropPhoto(shape->photo());
        ASSERT_TRUE(view()->isCroppingPhoto());
        const Rect start = fullImage(*shape);
        drag({200, 150}, {200 + c.drag.x, 150 + c.drag.y});
        const Rect crop = shape->photo()->cropRect();
        EXPECT_GE(crop.origin.x, 0);
        EXPECT_GE(crop.origin.y, 0);
        if (c.drag.x == 37) {
            // Within the room: the image follows the mouse.
            EXPECT_NEAR(fullImage(*shape).origin.x - start.origin.x, 37, 1e-3);
        } else {
            EXPECT_NEAR(crop.origin.x, expected(c.x, crop.size.width), 1e-6);
        }
        EXPECT_NEAR(crop.origin.y, expected(c.y, crop.size.height), 1e-6);
        EXPECT_TRUE(covers(fullImage(*shape), shape->photo()->visisbleRect()));
        view()->exitCropMode();
        canvas()->removeGraph(shape.get());
        settle();
    }
}

TEST_F(CanvasEditingTest, AnImageSmallerThanItsWindowKeepsItsPlaceWhenPanned) {
    auto shape = photo({140, 90, 120, 120}, {200, 100});
    shape->photo()->setCropRect({0, 0, 2, 1});  // half as wide as the window
    settle();
    view()->setSelectedGraphs({shape});
    view()->beginCropPhoto(shape->photo());
    const Rect before = shape->photo()->cropRect();
    // Pressed away from the handles of the small image (which spans x 140 to 200 of the window).
    for (const Point& d : {Point(40, 0), Point(-40, 0), Point(0, 30)}) {
        drag({235, 125}, {235 + d.x, 125 + d.y});
        const Rect crop = shape->photo()->cropRect();
        EXPECT_EQ(crop.origin.x, before.origin.x);
        EXPECT_TRUE(std::isfinite(crop.origin.y));
        EXPECT_GE(crop.origin.y, 0);
        EXPECT_EQ(crop.size, before.size);
    }
}

// A border wider than the frame leaves the crop window no area: pans and scales have nothing to measure by
// and leave the crop as it was, never a value that is not a number.
TEST_F(CanvasEditingTest, ACropWindowWithNoAreaLeavesTheCropAsItWas) {
    for (const bool onHandle : {false, true}) {
        SCOPED_TRACE(onHandle ? "handle" : "pan");
        auto shape = photo({140, 90, 120, 120}, {200, 100});
        shape->setStrokeEnabled(false);
        view()->setSelectedGraphs({shape});
        view()->beginCropPhoto(shape->photo());
        settle();
        const Point from = onHandle ? KXTracker().positionOfNode(2, fullImage(*shape)) : Point(200, 150);
        press(from);
        // Half a border of 50 % of the page's shorter side (300) is 75 points on each side of a 120-point frame.
        shape->setStrokeEnabled(true);
        shape->stroke()->setWidth(50);
        ASSERT_FALSE(shape->photo()->visisbleRect().size.width > 0);
        const Rect before = shape->photo()->cropRect();
        move({from.x + 15, from.y + 10});
        move({from.x + 30, from.y + 20});
        release({from.x + 30, from.y + 20});
        EXPECT_EQ(shape->photo()->cropRect(), before);
        view()->exitCropMode();
        canvas()->removeGraph(shape.get());
        settle();
    }
}

TEST_F(CanvasEditingTest, ImageHandlesScaleAboutTheOppositeCornerAndNeverUncoverTheWindow) {
    struct Case {
        KXTrackerNode node;
        Point drag;
        const char* expect;  // "same", "grow", "cover"
    } cases[] = {
        {2, {20, -20}, "same"}, {2, {-20, 20}, "same"}, {6, {20, -20}, "same"},
        {2, {20, 20}, "grow"},  {6, {-20, -20}, "grow"}, {0, {-20, 20}, "grow"}, {4, {20, -20}, "grow"},
        {3, {20, 0}, "grow"},   {1, {0, 20}, "grow"},    {7, {-20, 0}, "grow"}, {5, {0, -20}, "grow"},
        {2, {-150, -150}, "cover"}, {6, {150, 150}, "cover"}, {3, {-150, 0}, "cover"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "node " << c.node << " drag " << c.drag.x << ", " << c.drag.y);
        auto shape = photo({150, 100, 100, 80}, {300, 200});
        view()->setSelectedGraphs({shape});
        view()->beginCropPhoto(shape->photo());
        // Zoom in a little first so the image has room to shrink.
        const Rect start = fullImage(*shape);
        KXTracker tracker;
        const Point handle = tracker.positionOfNode(c.node, start);
        const Rect cropBefore = shape->photo()->cropRect();
        drag(handle, {handle.x + c.drag.x, handle.y + c.drag.y});
        const Rect after = fullImage(*shape);
        const std::string expect = c.expect;
        if (expect == "same") {
            EXPECT_EQ(shape->photo()->cropRect(), cropBefore);
        } else if (expect == "grow") {
            EXPECT_GT(after.size.width, start.size.width + 1);
            EXPECT_NEAR(after.size.width / after.size.height, start.size.width / start.size.height, 1e-6);
            // The fixed corner stays: the opposite of the dragged handle.
            const Point fixedBefore = tracker.positionOfNode((c.node + 4) % 8, start);
            const Point fixedAfter = tracker.positionOfNode((c.node + 4) % 8, after);
            if (c.node % 2 == 0) {
                EXPECT_NEAR(fixedAfter.x, fixedBefore.x, 1e-6);
                EXPECT_NEAR(fixedAfter.y, fixedBefore.y, 1e-6);
            }
        }
        EXPECT_TRUE(covers(after, shape->photo()->visisbleRect())) << after.origin.x << " " << after.size.width;
        view()->exitCropMode();
        canvas()->removeGraph(shape.get());
        settle();
    }
}

TEST_F(CanvasEditingTest, UndoOfACropDragRestoresTheCropExactlyAndLeavesCropMode) {
    auto shape = photo({140, 90, 120, 120}, {200, 100});
    doubleClick({200, 150});
    ASSERT_TRUE(view()->isCroppingPhoto());
    settle();
    const Rect before = shape->photo()->cropRect();
    drag({200, 150}, {213.7, 150});
    ASSERT_NE(shape->photo()->cropRect(), before);
    const KXTrackerNode node2 = 2;
    const Point handle = KXTracker().positionOfNode(node2, fullImage(*shape));
    const Rect middle = shape->photo()->cropRect();
    drag(handle, {handle.x + 17.3, handle.y + 9.1});
    ASSERT_NE(shape->photo()->cropRect(), middle);
    undo().undo();
    EXPECT_EQ(shape->photo()->cropRect(), middle);
    EXPECT_FALSE(view()->isCroppingPhoto());
    EXPECT_EQ(shape->photo()->renderMode(), 0);
    undo().undo();
    EXPECT_EQ(shape->photo()->cropRect(), before);
}

TEST_F(CanvasEditingTest, AClickOutsideThePhotoLeavesCropModeAndSelectsAsUsual) {
    auto shape = photo({140, 90, 120, 120}, {120, 100});
    auto other = plain({320, 200, 40, 40});
    view()->setSelectedGraphs({shape});
    view()->beginCropPhoto(shape->photo());
    click({340, 220});
    EXPECT_FALSE(view()->isCroppingPhoto());
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{other}));
    EXPECT_FALSE(shape->isSelected());
}

// Leaving the editing modes from outside the view (after an inspector's edit): crop mode and the pen tool.
TEST_F(CanvasEditingTest, LeavingFromOutsideEndsCropModeAndThePenTool) {
    auto shape = photo({140, 90, 120, 120}, {120, 100});
    view()->setSelectedGraphs({shape});
    view()->beginCropPhoto(shape->photo());
    ASSERT_TRUE(view()->isCroppingPhoto());
    view()->exitCropAndDrawModes();
    EXPECT_FALSE(view()->isCroppingPhoto());
    EXPECT_EQ(shape->photo()->renderMode(), 0);
    view()->enterDrawMode();
    ASSERT_TRUE(view()->isCustomDrawMode());
    view()->exitCropAndDrawModes();
    EXPECT_FALSE(view()->isCustomDrawMode());
}

// ---- shape handles and line ends ----

TEST_F(CanvasEditingTest, DraggingAStarsPointHandleChangesItsCountInOneUndoStep) {
    auto star = special(KXShapeTypeStar, {100, 80, 120, 120});
    view()->setSelectedGraphs({star});
    settle();
    const auto handles = star->handles(false);
    const auto count = std::find_if(handles.begin(), handles.end(), [](const auto& h) { return h.number == 2; });
    ASSERT_NE(count, handles.end());
    const Point local = count->hitSquare->center();
    const Point from(100 + local.x, 80 + local.y);
    const double before = star->shapeInfoForKey(QStringLiteral("point")).toDouble();
    // A quarter turn clockwise about the centre (160, 140).
    const Point to = Point(160 + (from.y - 140), 140 - (from.x - 160));
    drag(from, to);
    const double after = star->shapeInfoForKey(QStringLiteral("point")).toDouble();
    EXPECT_NE(after, before);
    EXPECT_EQ(star->frameRect(), Rect(100, 80, 120, 120));
    EXPECT_EQ(undoSteps(), 1);
    undo().undo();
    EXPECT_EQ(star->shapeInfoForKey(QStringLiteral("point")).toDouble(), before);
}

TEST_F(CanvasEditingTest, DraggingARoundedCornerHandleChangesTheRadiusByTheDrag) {
    auto box = special(KXShapeTypeRoundedRectangle, {100, 100, 100, 60});
    setInfo(*box, QStringLiteral("radius"), kx::Value(10.0));
    view()->setSelectedGraphs({box});
    settle();
    drag({110, 160}, {122, 162});
    EXPECT_NEAR(box->shapeInfoForKey(QStringLiteral("radius")).toDouble(), 22, 1e-4);
    drag({122, 160}, {400, 160});
    EXPECT_NEAR(box->shapeInfoForKey(QStringLiteral("radius")).toDouble(), 30, 1e-4) << "at most half the shorter side";
}

TEST_F(CanvasEditingTest, ALineEndFollowsTheMouse) {
    auto line = KXSymbolShape::symbolShapeWithType(KXShapeTypeLine, relative({100, 100, 100, 100}));
    line->setText(nullptr);
    line->setPhoto(nullptr);
    canvas()->addGraph(line);
    line->setRelativeRect(relative({100, 100, 100, 100}));
    view()->setSelectedGraphs({line});
    settle();
    const std::vector<Point> nodes = line->nodePoints();
    ASSERT_GE(nodes.size(), 2u);
    const Point end(100 + nodes[1].x, 100 + nodes[1].y);
    drag(end, {end.x + 47, end.y - 31});
    const Rect f = line->frameRect();
    const std::vector<Point> moved = line->nodePoints();
    EXPECT_NEAR(f.origin.x + moved[1].x, end.x + 47, 0.5);
    EXPECT_NEAR(f.origin.y + moved[1].y, end.y - 31, 0.5);
    EXPECT_NEAR(f.origin.x + moved[0].x, 100 + nodes[0].x, 0.5);
}

// ---- keys ----

TEST_F(CanvasEditingTest, MoveIncrementIsOnePagePixelOrAHundredthOfAnInch) {
    struct Case {
        KXSizeUnit unit;
        std::int64_t dpi;
        double zoom, expected;
    } cases[] = {
        {KXSizeUnitInch, 300, 0.24, 0.72},       {KXSizeUnitCentimeter, 300, 0.24, 0.24},
        {KXSizeUnitPixel, 300, 0.24, 0.24},      {KXSizeUnitMillimeter, 300, 0.24, 0.24 * 0.011811023578047752 * 300},
        {KXSizeUnitInch, 72, 1.0, 0.72},         {KXSizeUnitPixel, 72, 2.0, 2.0},
    };
    for (const Case& c : cases) {
        const KXSize size(3000, 2000, c.unit, c.dpi);
        canvas()->setPageSize(&size);
        canvas()->setZoomValue(c.zoom);
        EXPECT_NEAR(view()->moveIncrement(), c.expected, 1e-12) << int(c.unit) << " " << c.dpi;
    }
}

// Frames go through page-relative fractions: equal up to rounding.
void expectFrame(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

TEST_F(CanvasEditingTest, ArrowKeysNudgeEachPressAsItsOwnStepWithGuidesUntilTheRealRelease) {
    // Centred across the page: the vertical centre guide shows while a nudge keeps it there.
    auto a = plain({175, 100, 50, 50});
    auto locked = plain({20, 20, 30, 30});
    locked->setLocked(true);
    view()->setSelectedGraphs({a, locked});
    settle();
    key(Qt::Key_Up);
    expectFrame(a->frameRect(), Rect(175, 101, 50, 50));
    expectFrame(locked->frameRect(), Rect(20, 20, 30, 30));
    EXPECT_TRUE(view()->auxiliaryLayer()->hasLine());
    // X11 repeats a held key as release-press pairs marked as repeats: the guides stay.
    keyUp(Qt::Key_Up, true);
    EXPECT_TRUE(view()->auxiliaryLayer()->hasLine());
    key(Qt::Key_Up, {}, {}, true);
    keyUp(Qt::Key_Up, true);
    key(Qt::Key_Up, {}, {}, true);
    EXPECT_TRUE(view()->auxiliaryLayer()->hasLine());
    expectFrame(a->frameRect(), Rect(175, 103, 50, 50));
    keyUp(Qt::Key_Up);
    EXPECT_FALSE(view()->auxiliaryLayer()->hasLine());
    key(Qt::Key_Left);
    key(Qt::Key_Down);
    key(Qt::Key_Right);
    expectFrame(a->frameRect(), Rect(175, 102, 50, 50));
    EXPECT_EQ(undoSteps(), 6);
    undo().undo();
    expectFrame(a->frameRect(), Rect(174, 102, 50, 50));
}

TEST_F(CanvasEditingTest, DeleteRemovesTheActivePathNodeOnlyOrTheUnlockedSelection) {
    auto path = penPath({{100, 100}, {200, 100}, {200, 180}, {100, 180}});
    view()->setSelectedGraphs({path});
    settle();
    // A click on a node makes it the path's active node.
    click({200, 180});
    ASSERT_NE(path->customPointElement(), -1);
    const std::size_t nodes = path->customPointsArray().size();
    key(Qt::Key_Delete);
    EXPECT_EQ(path->customPointsArray().size(), nodes - 1);
    EXPECT_EQ(canvas()->indexOfGraph(path.get()), 0);

    auto a = plain({20, 20, 30, 30});
    auto b = plain({60, 20, 30, 30});
    auto locked = plain({100, 20, 30, 30});
    locked->setLocked(true);
    view()->setSelectedGraphs({a, b, locked});
    key(Qt::Key_Backspace);
    EXPECT_EQ(canvas()->indexOfGraph(a.get()), -1);
    EXPECT_EQ(canvas()->indexOfGraph(b.get()), -1);
    EXPECT_GE(canvas()->indexOfGraph(locked.get()), 0);
    EXPECT_GE(canvas()->indexOfGraph(path.get()), 0);
}

TEST_F(CanvasEditingTest, NudgingAPathNodeMovesTheNodeAndNeverAnElementBeforeTheFirst) {
    auto path = penPath({{100, 100}, {200, 100}, {200, 180}, {100, 180}});
    view()->setSelectedGraphs({path});
    settle();
    click({200, 180});
    ASSERT_TRUE(view()->handerInfo());
    const Rect frame = path->frameRect();
    key(Qt::Key_Right);
    EXPECT_EQ(path->frameRect(), Rect(frame.origin.x, frame.origin.y, frame.size.width + 1, frame.size.height));
    // A first control handle of the first element has no node before it: nothing moves, nothing breaks.
    view()->setHanderInfo(kx::ValueDictionary{{QStringLiteral("element"), kx::Value(0)},
                                              {QStringLiteral("changeType"), kx::Value(3)}});
    const KXPathPointArray before = path->customPointsArray();
    const Rect frameBefore = path->frameRect();
    key(Qt::Key_Left);
    EXPECT_EQ(path->frameRect(), frameBefore);
    ASSERT_EQ(path->customPointsArray().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(path->customPointsArray()[i]->point3(), before[i]->point3());
}

TEST_F(CanvasEditingTest, EscapeLeavesThePenToolAndOtherKeysStopAtTheView) {
    view()->enterDrawMode();
    key(Qt::Key_Escape, {}, QStringLiteral("\x1b"));
    EXPECT_FALSE(view()->isCustomDrawMode());
    auto a = plain({20, 20, 30, 30});
    view()->setSelectedGraphs({a});
    settle();
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    f5.ignore();
    QApplication::sendEvent(view(), &f5);
    EXPECT_TRUE(f5.isAccepted());
    EXPECT_EQ(a->frameRect(), Rect(20, 20, 30, 30));
    EXPECT_FALSE(undo().canUndo());
}

// ---- cursors ----

TEST_F(CanvasEditingTest, CursorOfADirectionFollowsTheEighthsOfATurn) {
    const double e = kPi / 8;
    const struct {
        double angle;
        Kind kind;
    } cases[] = {
        {0, Kind::UpDown},         {e * 0.5, Kind::UpDown},    {e, Kind::TrToBl},        {3 * e, Kind::TrToBl},
        {3.5 * e, Kind::LeftRight}, {5 * e, Kind::Arrow},      {5.5 * e, Kind::TlToBr},  {7 * e, Kind::Arrow},
        {8 * e, Kind::UpDown},     {9 * e, Kind::TrToBl},      {12 * e, Kind::LeftRight}, {13 * e, Kind::Arrow},
        {14 * e, Kind::TlToBr},    {15 * e, Kind::TlToBr},     {2 * kPi, Kind::UpDown},  {-0.1, Kind::Arrow},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KXPreview::cursorOfAngle(c.angle), c.kind) << c.angle / e << " eighths";
}

TEST_F(CanvasEditingTest, TheCursorTellsWhatADragWouldDo) {
    auto box = plain({100, 100, 100, 50});
    auto star = special(KXShapeTypeStar, {250, 100, 100, 100});
    view()->setSelectedGraphs({box, star});
    settle();
    const Rect f = box->frameRect();
    const KXTracker& tracker = *box->tracker();
    const struct {
        Point at;
        Kind kind;
    } cases[] = {
        {tracker.positionOfNode(KXTrackerNodeRotate, f), Kind::Rotate},
        {tracker.positionOfNode(1, f), Kind::UpDown},
        {tracker.positionOfNode(2, f), Kind::TrToBl},
        {tracker.positionOfNode(3, f), Kind::LeftRight},
        {tracker.positionOfNode(4, f), Kind::TlToBr},
        {{150, 125}, Kind::Arrow},
        {{20, 20}, Kind::Arrow},
    };
    for (const auto& c : cases) {
        hover(c.at);
        EXPECT_EQ(view()->cursorKind(), c.kind) << c.at.x << ", " << c.at.y;
    }
    const auto handles = star->handles(false);
    ASSERT_FALSE(handles.empty());
    const Point h = handles.front().hitSquare->center();
    hover({250 + h.x, 100 + h.y});
    EXPECT_EQ(view()->cursorKind(), Kind::Drag);
    EXPECT_EQ(view()->cursor().shape(), Qt::BitmapCursor);
    view()->enterDrawMode();
    hover({20, 20});
    EXPECT_EQ(view()->cursorKind(), Kind::Pen);
    view()->exitDrawMode();
    EXPECT_EQ(view()->cursorKind(), Kind::Arrow);
    EXPECT_EQ(view()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CanvasEditingTest, InCropModeTheCursorShowsTheImageHandles) {
    auto shape = photo({150, 100, 100, 80}, {300, 200});
    view()->setSelectedGraphs({shape});
    view()->beginCropPhoto(shape->photo());
    const Rect image = fullImage(*shape);
    KXTracker tracker;
    hover(tracker.positionOfNode(3, image));
    EXPECT_EQ(view()->cursorKind(), Kind::LeftRight);
    hover(tracker.positionOfNode(0, image));
    EXPECT_EQ(view()->cursorKind(), Kind::TlToBr);
    hover({200, 140});
    EXPECT_EQ(view()->cursorKind(), Kind::Arrow);
}

// ---- context menu ----

TEST_F(CanvasEditingTest, RightClickSelectsAndShowsTheItemsThatFitTheSelection) {
    kxtest::ExpectedQtWarning noGrab(QStringLiteral("does not support grabbing"), 0);
    QMenu menu;
    QAction* group = menu.addAction(QStringLiteral("Group"));
    QAction* ungroup = menu.addAction(QStringLiteral("Ungroup"));
    QAction* copy = menu.addAction(QStringLiteral("Copy"));
    QAction* crop = menu.addAction(QStringLiteral("Crop"));
    crop->setData(KXMenuTagPhotoCommand);
    QAction* unlocked = menu.addAction(QStringLiteral("Replace"));
    unlocked->setData(KXMenuTagUnlockedPhoto);
    QAction* effect = menu.addAction(QStringLiteral("Effect"));
    effect->setData(KXMenuTagPhoto);
    view()->setContextMenu(&menu);
    auto picture = photo({40, 40, 80, 80}, {100, 100});
    auto a = plain({200, 40, 60, 60});
    auto b = plain({300, 40, 60, 60});
    const auto rightClick = [&](const Point& p) {
        const QPoint at = view()->viewPointForPagePoint(p).toPoint();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view()->mapToGlobal(at));
        QApplication::sendEvent(view(), &event);
        kxtest::endEvent();
        menu.close();
    };
    view()->setSelectedGraphs({a, b});
    rightClick({80, 80});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{picture}));
    EXPECT_FALSE(group->isVisible() || ungroup->isVisible());
    EXPECT_TRUE(copy->isVisible());
    EXPECT_TRUE(crop->isVisible() && unlocked->isVisible() && effect->isVisible());
    rightClick({230, 70});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a}));
    EXPECT_FALSE(crop->isVisible() || unlocked->isVisible() || effect->isVisible());
    // On an object of a multiple selection the selection stays, and the arrangement items show.
    view()->setSelectedGraphs({a, b});
    rightClick({330, 70});
    EXPECT_EQ(view()->selectedGraphs().size(), 2u);
    EXPECT_TRUE(group->isVisible() && ungroup->isVisible());
    // During a drag's edit a right click does nothing.
    view()->setSelectedGraphs({a});
    press({230, 70});
    move({240, 75});
    rightClick({80, 80});
    EXPECT_EQ(view()->selectedGraphs(), (KXCanvas::GraphList{a}));
    release({240, 75});
}

}  // namespace
