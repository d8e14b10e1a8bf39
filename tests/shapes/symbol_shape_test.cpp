#include "graphics/geometry_utilities.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/undo_manager.h"
#include "platform/gfx/bitmap_context.h"
#include "shape_page_support.h"
#include "shapes/shape_path_builders.h"
#include "shapes/symbol_shape.h"
#include "support/pixel_probe.h"

#include <cmath>
#include <limits>

namespace {

using kx::Point;
using kx::Rect;
using kxtest::elementAt;
using kxtest::expectRect;
using kxtest::placeAtFrame;
using kxtest::shapePage;

void expectPoint(const Point& actual, const Point& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

class LineShapeTest : public ::testing::Test {
protected:
    // A palette line on the page at a frame in preview points, from p1 to p2 (and through p3) in frame units.
    std::shared_ptr<KXSymbolShape> line(std::uint32_t type, const Rect& frame, Point p1 = {0, 0}, Point p2 = {1, 1},
                                        Point p3 = {0.3, 0.7}) {
        auto shape = KXSymbolShape::symbolShapeWithType(type, {0, 0, 0.1, 0.1});
        shape->setPhoto(nullptr);
        shape->setText(nullptr);
        page->addGraph(shape);
        placeAtFrame(*page, *shape, frame);
        shape->setPointsArray({std::make_shared<KXPathPoint>(p1, p2, p3)});
        page->undoManager().removeAllActions();
        return shape;
    }
    // A relative stroke whose width on this page is `points` (the shorter preview side is 300).
    static void strokeOf(KXSymbolShape& shape, double points, unsigned style = KXStrokeStyleSolid) {
        shape.stroke()->setType(1);
        shape.stroke()->setWidth(points / 3);
        shape.stroke()->setStyle(style);
        ASSERT_NEAR(shape.relativeBorderWidth(), points, 1e-9);
    }
    // The frame-local outline in page points.
    static std::vector<Point> pagePoints(const KXSymbolShape& shape) {
        std::vector<Point> out;
        const Point o = shape.frameRect().origin;
        for (const auto& e : shape.path().elements())
            for (int i = 0; i < e.pointCount(); ++i)
                out.push_back({e.points[i].x + o.x, e.points[i].y + o.y});
        return out;
    }
    static void expectPointsWithinFrame(const KXSymbolShape& shape) {
        ASSERT_EQ(shape.pointsArray().size(), 1u);
        const KXPathPoint& p = *shape.pointsArray()[0];
        for (const Point q : {p.point1(), p.point2()}) {
            EXPECT_GE(q.x, 0);
            EXPECT_LE(q.x, 1);
            EXPECT_GE(q.y, 0);
            EXPECT_LE(q.y, 1);
        }
        const Rect frame = shape.frameRect();
        EXPECT_GE(frame.size.width, 2);
        EXPECT_GE(frame.size.height, 2);
    }
    std::shared_ptr<KXCanvas> page = shapePage();
};

// ---- the shapes ----

TEST_F(LineShapeTest, NewLinesRunCornerToCornerAndTheCurvePassesThroughItsHandle) {
    for (std::uint32_t type : {13u, 14u, 15u}) {
        auto shape = KXSymbolShape::symbolShapeWithType(type, {0.1, 0.1, 0.25, 0.25});
        EXPECT_EQ(shape->graphType(), KXGraphTypeLine);
        ASSERT_EQ(shape->pointsArray().size(), 1u);
        const KXPathPoint& p = *shape->pointsArray()[0];
        EXPECT_EQ(p.point1(), Point(0, 0));
        EXPECT_EQ(p.point2(), Point(1, 1));
        EXPECT_EQ(p.point3(), type == 14 ? Point(0.3, 0.7) : Point());
        EXPECT_EQ(shape->pointElement(), -1);
        EXPECT_TRUE(shape->isStrokeEnabled());
        EXPECT_EQ(shape->stroke()->color(), kx::Color::srgb(0, 0, 0, 1));
    }
    auto curve = KXSymbolShape::symbolShapeWithType(14, {0, 0, 0.5, 0.5});
    const kx::BezierPath path = curve->shapePathWithRect({0, 0, 200, 100});
    const auto c = path.elementAtIndex(1);
    EXPECT_NEAR(cubicBezierValue(0, 200, c.points[0].x, c.points[1].x, 0.68), 60, 1e-6);
    EXPECT_NEAR(cubicBezierValue(0, 100, c.points[0].y, c.points[1].y, 0.68), 70, 1e-6);
    // Another type gets no point and no outline.
    EXPECT_TRUE(KXSymbolShape::symbolShapeWithType(12, {0, 0, 0.5, 0.5})->pointsArray().empty());
    EXPECT_TRUE(KXSymbolShape::symbolShapeWithType(12, {0, 0, 0.5, 0.5})->shapePathWithRect({0, 0, 9, 9}).isEmpty());
}

TEST_F(LineShapeTest, ArrowHeadHasSidesOfFiveBorderWidthsAtTwentyDegrees) {
    auto arrow = line(15, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
    strokeOf(*arrow, 6);
    arrow->updatePath();
    const kx::BezierPath& p = arrow->path();
    ASSERT_EQ(p.elementCount(), 7);
    const Point s = p.elementAtIndex(0).points[0], x = p.elementAtIndex(1).points[0], l = p.elementAtIndex(2).points[0],
                e = p.elementAtIndex(3).points[0], r = p.elementAtIndex(4).points[0];
    EXPECT_EQ(s, Point(0, 10));
    EXPECT_EQ(e, Point(200, 10));
    EXPECT_NEAR(std::hypot(l.x - e.x, l.y - e.y), 30, 1e-3);
    EXPECT_NEAR(std::hypot(r.x - e.x, r.y - e.y), 30, 1e-3);
    EXPECT_NEAR(std::abs(std::atan2(l.y - e.y, e.x - l.x)), degreesToRadians(20), 1e-4);
    EXPECT_NEAR(std::abs(std::atan2(r.y - e.y, e.x - r.x)), degreesToRadians(20), 1e-4);
    EXPECT_EQ(x, Point(std::round(x.x), std::round(x.y)));
    EXPECT_EQ(p.elementAtIndex(5).points[0], x);
    // An absolute stroke: the outline's head follows the width times the zoom.
    arrow->stroke()->setType(0);
    arrow->stroke()->setWidth(4);
    page->setZoomValue(0.5);
    arrow->updatePath();
    const Point l2 = arrow->path().elementAtIndex(2).points[0];
    EXPECT_NEAR(std::hypot(l2.x - 200, l2.y - 10), 10, 1e-3);
}

// With an absolute stroke the head is five times the width at the page's zoom, whichever road built the
// outline last: a frame build, a width change or a turn.
TEST_F(LineShapeTest, AnArrowKeepsItsHeadLengthWhateverRebuiltItsOutline) {
    auto arrow = line(15, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
    arrow->stroke()->setType(0);
    arrow->stroke()->setWidth(4);
    page->setZoomValue(0.5);
    ASSERT_NE(arrow->relativeBorderWidth(), arrow->pathBorderWidth());
    const auto headLength = [&] {
        const kx::BezierPath& p = arrow->path();
        const Point l = p.elementAtIndex(2).points[0], e = p.elementAtIndex(3).points[0];
        return std::hypot(l.x - e.x, l.y - e.y);
    };
    arrow->updatePath();
    EXPECT_NEAR(headLength(), 10, 1e-3) << "frame build";
    arrow->updatePathForStrokeWidthChanged();
    EXPECT_NEAR(headLength(), 10, 1e-3) << "width change";
    arrow->resetAngleWithAngle(30);
    EXPECT_NEAR(headLength(), 10, 1e-3) << "turn";
    arrow->updatePath();
    EXPECT_NEAR(headLength(), 10, 1e-3) << "frame build after the turn";
}

// A turned line, curve or arrow keeps the outline a frame build gives it, so that a later move, resize or
// undo (which build the outline for the frame) stores the same outline again.
TEST_F(LineShapeTest, ATurnLeavesTheOutlineAFrameBuildGives) {
    for (const std::uint32_t type : {13u, 14u, 15u}) {
        SCOPED_TRACE(type);
        auto shape = line(type, {20, 30, 170, 40}, {0, 0.2}, {1, 0.9});
        strokeOf(*shape, 5);
        shape->updatePath();
        shape->resetAngleWithAngle(33);
        const kx::BezierPath turned = shape->path();
        shape->updatePath();
        EXPECT_EQ(shape->path(), turned);
    }
}

TEST_F(LineShapeTest, HeadsWithoutLengthOrWidthStayOnTheLine) {
    // A stem of no length: every point on the tip (no saturated crossing far away).
    for (const Point& q : std::vector<Point>{{50, 50}}) {
        const kx::BezierPath dot = markPathWithStartPoint(q, q, 30);
        for (const auto& e : dot.elements())
            if (e.type != kx::BezierPath::ElementType::ClosePath)
                EXPECT_EQ(e.points[0], q);
    }
    // A head of no length: the crossing is the tip.
    const kx::BezierPath flat = markPathWithStartPoint({0, 0}, {100, 0}, 0);
    EXPECT_EQ(flat.elementAtIndex(1).points[0], Point(100, 0));
    EXPECT_EQ(flat.elementAtIndex(5).points[0], Point(100, 0));
    // The same through the relative builder.
    const KXPathPointArray same{std::make_shared<KXPathPoint>(Point(0.5, 0.5), Point(0.5, 0.5), Point())};
    EXPECT_EQ(markShapeWithPoint(same, {0, 0, 100, 100}, 30).bounds(), Rect(50, 50, 0, 0));
}

TEST_F(LineShapeTest, ArrowWithStartOnTipKeepsItsPathWhenTheWidthChanges) {
    auto arrow = line(15, {100, 100, 50, 50}, {0.5, 0.5}, {0.5, 0.5});
    const kx::BezierPath before = arrow->path();
    const Rect frame = arrow->frameRect();
    strokeOf(*arrow, 9);
    arrow->updatePathForStrokeWidthChanged();
    EXPECT_EQ(arrow->path(), before);
    EXPECT_EQ(arrow->frameRect(), frame);

    auto longer = line(15, {100, 100, 200, 20}, {0, 0.5}, {1, 0.5});
    strokeOf(*longer, 2);
    longer->updatePathForStrokeWidthChanged();
    const Point l = longer->path().elementAtIndex(2).points[0], e = longer->path().elementAtIndex(3).points[0];
    EXPECT_NEAR(std::hypot(l.x - e.x, l.y - e.y), 10, 1e-3);
}

// ---- drawing ----

QImage drawn(KXSymbolShape& shape, int w, int h) {
    kx::BitmapContext context(w, h);
    shape.drawInContext(context, {0, 0, double(w), double(h)});
    return context.makeImage().qimage();
}

TEST_F(LineShapeTest, ArrowStemIsHalfTheBorderWidthAndTheHeadIsFilled) {
    auto arrow = line(15, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
    strokeOf(*arrow, 6);
    arrow->updatePath();
    const QImage image = drawn(*arrow, 200, 20);
    // The stem: 3 points thick about y = 10.
    EXPECT_EQ(kxtest::pixelAtYUp(image, 60, 9).a, 255);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 60, 10).a, 255);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 60, 7).a, 0);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 60, 12).a, 0);
    // Inside the head, beside the stem.
    EXPECT_EQ(kxtest::pixelAtYUp(image, 185, 13).a, 255);

    // A plain line is stroked at the full width.
    auto plain = line(13, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
    strokeOf(*plain, 6);
    plain->updatePath();
    const QImage full = drawn(*plain, 200, 20);
    EXPECT_EQ(kxtest::pixelAtYUp(full, 60, 7).a, 255);
    EXPECT_EQ(kxtest::pixelAtYUp(full, 60, 12).a, 255);
    EXPECT_EQ(kxtest::pixelAtYUp(full, 60, 14).a, 0);
}

TEST_F(LineShapeTest, ArrowStemDashesAreMultiplesOfTheFullWidth) {
    struct Case {
        unsigned style;
        int paintedX, clearX;
    };
    // wR = 6: dashes of 6, 12 and 18; dots every 18 points.
    const Case cases[] = {{1, 3, 9}, {2, 9, 15}, {3, 15, 21}, {4, 54, 45}};
    for (const Case& c : cases) {
        auto arrow = line(15, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
        strokeOf(*arrow, 6, c.style);
        arrow->updatePath();
        const QImage image = drawn(*arrow, 200, 20);
        EXPECT_EQ(kxtest::pixelAtYUp(image, c.paintedX, 9).a, 255) << c.style;
        EXPECT_EQ(kxtest::pixelAtYUp(image, c.clearX, 9).a, 0) << c.style;
    }
}

TEST_F(LineShapeTest, StrokeOffDrawsNothing) {
    auto arrow = line(15, {0, 0, 200, 20}, {0, 0.5}, {1, 0.5});
    arrow->setStrokeEnabled(false);
    const QImage image = drawn(*arrow, 200, 20);
    for (int x = 0; x < 200; x += 5)
        for (int y = 0; y < 20; ++y)
            ASSERT_EQ(kxtest::pixelAtYUp(image, x, y).a, 0);
}

// ---- marquee ----

TEST_F(LineShapeTest, MarqueeHitsWithinTheTestStrokeOrAroundTheWholeFrame) {
    auto flat = line(13, {100, 100, 100, 20}, {0, 0}, {1, 0});  // along y = 100 on the page
    EXPECT_TRUE(flat->pathContainsInRect({90, 90, 120, 40}));
    EXPECT_FALSE(flat->pathContainsInRect({120, 103, 20, 10}));  // clear of the 5-wide stroke
    EXPECT_TRUE(flat->pathContainsInRect({120, 101.5, 20, 10}));  // within 2.5 of the line
    EXPECT_FALSE(flat->pathContainsInRect({120, 80, 20, 10}));
    // A rectangle narrower than one point: only a whole frame inside counts.
    EXPECT_FALSE(flat->pathContainsInRect({150, 95, 0.5, 10}));
    auto thin = line(13, {100, 100, 100, 20}, {0, 0}, {0, 1});
    placeAtFrame(*page, *thin, {100, 100, 0, 20});
    EXPECT_TRUE(thin->pathContainsInRect({99.8, 90, 0.5, 40}));
    // A marquee far wider than any bitmap that does not hold the whole frame is still tested near the line.
    EXPECT_TRUE(flat->pathContainsInRect({-1e9, 101.5, 2e9, 10}));
    EXPECT_FALSE(flat->pathContainsInRect({-1e9, 103, 2e9, 10}));
}

// ---- editing ----

TEST_F(LineShapeTest, NodeSquaresHaveTheirLowerEdgesInside) {
    auto l = line(13, {100, 100, 100, 50});
    EXPECT_EQ(elementAt(*l, {-3, 0}), 0);
    EXPECT_EQ(l->pointElement(), 0);
    EXPECT_FALSE(elementAt(*l, {3, 0}));
    EXPECT_EQ(l->pointElement(), -1);
    EXPECT_TRUE(l->hitTestEditableAtPoint({97 + 2.9, 49}));
    EXPECT_EQ(elementAt(*l, {100, 50}), 1);
    EXPECT_FALSE(l->hitTestEditableAtPoint({103, 50}));

    auto c = line(14, {100, 100, 100, 100});
    EXPECT_EQ(elementAt(*c, {30, 70}), 2);  // the handle point the curve passes through
    EXPECT_EQ(c->pointElement(), 2);

    auto a = line(15, {100, 100, 100, 50});
    EXPECT_EQ(elementAt(*a, {100, 50}), 1);
    EXPECT_TRUE(a->hitTestEditableAtPoint({0, 0}));
    placeAtFrame(*page, *a, {100, 100, 0, 50});
    EXPECT_FALSE(a->hitTestEditableAtPoint({0, 0}));
    EXPECT_FALSE(elementAt(*a, {0, 0}));
}

TEST_F(LineShapeTest, DraggedEndSnapsToTheOtherEndWithinFivePoints) {
    struct Case {
        double dy;
        double appliedDy;
        double frameHeight;
    };
    const Case cases[] = {{-45.1, -50, 2}, {-45, -45, 5}, {-54.9, -50, 2}, {-55, -55, 5}};
    for (const Case& c : cases) {
        auto l = line(13, {100, 100, 100, 50});
        const Point o = l->dragLineShapeNode(1, 0, c.dy);
        EXPECT_NEAR(o.x, 0, 1e-9) << c.dy;
        EXPECT_NEAR(o.y, c.appliedDy, 1e-9) << c.dy;
        EXPECT_NEAR(l->frameRect().size.height, c.frameHeight, 1e-9) << c.dy;
        expectPointsWithinFrame(*l);
    }
    // A horizontal line: both ends at the same y.
    auto l = line(13, {100, 100, 100, 50});
    l->dragLineShapeNode(1, 0, -46);
    const KXPathPoint& p = *l->pointsArray()[0];
    EXPECT_EQ(p.point1().y, p.point2().y);
    expectRect(l->frameRect(), {100, 100, 100, 2});
}

TEST_F(LineShapeTest, CurveHandleStraightensNearTheChordAndBehindTheStart) {
    auto c = line(14, {100, 100, 100, 100});
    // From the handle (30, 70) to (52, 50): 1.4 points from the chord y = x.
    Point o = c->dragCurveShapeNode(2, 22, -20);
    Point n(30 + o.x, 70 + o.y);
    EXPECT_NEAR(n.x, n.y, 1e-3);
    const KXPathPoint& p = *c->pointsArray()[0];
    EXPECT_NEAR(p.point3().x, p.point3().y, 1e-3);

    auto far = line(14, {100, 100, 100, 100});
    o = far->dragCurveShapeNode(2, 20, -10);  // to (50, 60): 7 points from the chord, left where it is
    EXPECT_EQ(o, Point(20, -10));

    // Behind the start, within 5 degrees of the reverse direction: on the chord's line beyond the start.
    EXPECT_TRUE([&] {
        const Point straightened = KXSymbolShape::offsetCenterPoint({-30, -32}, {0, 0}, {100, 100});
        return std::abs(straightened.x - straightened.y) < 1e-3 && straightened.x < 0;
    }());
    // Away from the line the handle goes where it is put.
    EXPECT_EQ(KXSymbolShape::offsetCenterPoint({30, 70}, {0, 0}, {100, 100}), Point(30, 70));
}

TEST_F(LineShapeTest, CurveStartMovesBothControlsAndTheEndStays) {
    auto c = line(14, {100, 100, 100, 100});
    const std::vector<Point> before = pagePoints(*c);  // start, control 1, control 2, end
    ASSERT_EQ(before.size(), 4u);
    const Point o = c->dragCurveShapeNode(0, 7, -3);
    EXPECT_EQ(o, Point(7, -3));
    const std::vector<Point> after = pagePoints(*c);
    ASSERT_EQ(after.size(), 4u);
    for (int i = 0; i < 3; ++i)
        expectPoint(after[i], {before[i].x + 7, before[i].y - 3}, 1e-6);
    expectPoint(after[3], before[3], 1e-6);
    expectRect(c->frameRect(), roundRectComponents(c->path().bounds().offsetBy(c->frameRect().origin.x,
                                                                               c->frameRect().origin.y)), 1e-6);
    expectPointsWithinFrame(*c);
}

TEST_F(LineShapeTest, ArrowEndSnapsOnlyToTheOtherEnd) {
    auto a = line(15, {100, 100, 100, 50});
    strokeOf(*a, 3);
    a->updatePath();
    const Point o = a->dragMarkShapeNode(1, -97, 0);  // to (3, 50): x snaps onto the start's 0
    EXPECT_EQ(o, Point(-100, 0));
    const KXPathPoint& p = *a->pointsArray()[0];
    EXPECT_NEAR(p.point1().x * a->frameRect().size.width + a->frameRect().origin.x,
                p.point2().x * a->frameRect().size.width + a->frameRect().origin.x, 1e-6);
    EXPECT_EQ(a->dragMarkShapeNode(7, 5, 5), Point(5, 5));
}

TEST_F(LineShapeTest, FlippedLineKeepsTheEdgeThatStaysOnScreen) {
    auto l = line(13, {100, 100, 100, 50});
    l->setFlipX(-1);
    l->dragLineShapeNode(1, -30, 0);
    expectRect(l->frameRect(), {130, 100, 70, 50});
    auto m = line(13, {100, 100, 100, 50});
    m->dragLineShapeNode(1, -30, 0);
    expectRect(m->frameRect(), {100, 100, 70, 50});
}

TEST_F(LineShapeTest, DragStepsAreUndoneThroughThePage) {
    auto l = line(13, {100, 100, 100, 50});
    const Rect rect = l->relativeRect();
    const Point p2 = l->pointsArray()[0]->point2();
    kx::UndoManager& undo = page->undoManager();
    undo.beginUndoGrouping();
    l->dragLineShapeNode(1, -150, 0);  // past the start: the end is now on the frame's minX side
    undo.endUndoGrouping();
    ASSERT_NE(l->pointsArray()[0]->point2(), p2);
    ASSERT_NE(l->relativeRect(), rect);
    undo.undo();
    EXPECT_EQ(l->relativeRect(), rect);
    EXPECT_EQ(l->pointsArray()[0]->point2(), p2);
}

TEST_F(LineShapeTest, TurningBakesTheRotationInOneUndoStepThatRestoresTheExactPoints) {
    for (std::uint32_t type : {13u, 14u, 15u}) {
        SCOPED_TRACE(type);
        auto l = line(type, {100, 100, 100, 40});
        strokeOf(*l, 1);
        l->updatePath();
        kx::UndoManager& undo = page->undoManager();
        undo.removeAllActions();
        const Rect rect = l->relativeRect();
        const KXPathPoint before = *l->pointsArray()[0];
        const kx::BezierPath path = l->path();

        undo.beginUndoGrouping();
        l->setAngle(0);
        l->setAngle(std::numeric_limits<double>::quiet_NaN());
        undo.endUndoGrouping();
        EXPECT_FALSE(undo.canUndo());
        EXPECT_EQ(l->relativeRect(), rect);

        undo.beginUndoGrouping();
        l->setAngle(kPi / 2);
        undo.endUndoGrouping();
        EXPECT_EQ(l->angle(), 0);
        if (type == 13)
            expectRect(l->frameRect(), {130, 70, 40, 100});
        const Rect turned = l->relativeRect();
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        EXPECT_FALSE(undo.canUndo());
        EXPECT_EQ(l->relativeRect(), rect);
        EXPECT_EQ(l->pointsArray()[0]->point1(), before.point1());
        EXPECT_EQ(l->pointsArray()[0]->point2(), before.point2());
        EXPECT_EQ(l->pointsArray()[0]->point3(), before.point3());
        EXPECT_EQ(l->path(), path);
        ASSERT_TRUE(undo.canRedo());
        undo.redo();
        EXPECT_EQ(l->relativeRect(), turned);
    }
}

// ---- archive ----

TEST_F(LineShapeTest, ArchiveKeepsThePathPointUnderPointsArray) {
    auto a = line(15, {100, 100, 100, 50}, {0.25, 0}, {1, 0.75});
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::shared_ptr<KXGraph>(a)));
    ASSERT_FALSE(data.isEmpty());
    const QJsonObject seen = kxtest::plistlibJson(data, R"(
o = d['$objects']
root = o[d['$top']['root'].data]
arr = o[root['pointsArray'].data]
pts = [o[u.data] for u in arr['NS.objects']]
print(json.dumps({'classes': o[root['$class'].data]['$classes'], 'array': o[arr['$class'].data]['$classname'],
                  'point': [o[p['$class'].data]['$classname'] for p in pts],
                  'p1': [p['point1'] for p in pts], 'p2': [p['point2'] for p in pts],
                  'type': root['shapeType']}))
)");
    EXPECT_EQ(seen.value("classes").toVariant().toStringList(),
              QStringList({"KXSymbolShape", "KXShape", "KXGraph", "NSObject"}));
    EXPECT_EQ(seen.value("array").toString(), "NSArray");
    EXPECT_EQ(seen.value("point").toVariant().toStringList(), QStringList({"KXPathPoint"}));
    EXPECT_EQ(seen.value("p1").toVariant().toStringList(), QStringList({"{0.25, 0}"}));
    EXPECT_EQ(seen.value("p2").toVariant().toStringList(), QStringList({"{1, 0.75}"}));
    EXPECT_EQ(seen.value("type").toInt(), 15);

    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(root);
    auto back = root->objectAs<KXSymbolShape>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->graphType(), KXGraphTypeLine);
    ASSERT_EQ(back->pointsArray().size(), 1u);
    EXPECT_EQ(back->pointsArray()[0]->point1(), Point(0.25, 0));
    EXPECT_EQ(back->pointsArray()[0]->point2(), Point(1, 0.75));
}

TEST_F(LineShapeTest, PointsArrayOfAnotherKindFailsTheArchive) {
    auto l = line(13, {100, 100, 100, 50});
    for (const kx::Value& stored : {kx::Value(QStringLiteral("points")),
                                    kx::Value(kx::ValueArray{kx::Value(QStringLiteral("{0, 0}"))})}) {
        const QByteArray data = kxtest::archiveWithField(l, QStringLiteral("pointsArray"), stored);
        ASSERT_FALSE(data.isEmpty());
        EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(data));
    }
}

}  // namespace
