#include "graphics/geometry_utilities.h"
#include "platform/foundation/undo_manager.h"
#include "shape_page_support.h"

#include <cmath>
#include <limits>

namespace {

using kx::Point;
using kx::Rect;
using kx::Value;
using kx::ValueDictionary;
using kxtest::elementAt;
using kxtest::expectRect;
using kxtest::num;
using kxtest::paletteShape;
using kxtest::shapePage;

Point onPath(const KXSpecialShape& s, int i) {
    return s.path().elementAtIndex(i).points[0];
}

// The pointer at `degrees` from the +y axis toward +x, `distance` from the frame's centre.
Point pointerAt(const KXSpecialShape& s, double degrees, double distance = 40) {
    const Point c = s.frameRect().center();
    const double a = degreesToRadians(degrees);
    return {c.x + distance * std::sin(a), c.y + distance * std::cos(a)};
}

class SpecialHandlesTest : public ::testing::Test {
protected:
    std::shared_ptr<KXCanvas> page = shapePage();
};

TEST_F(SpecialHandlesTest, ShapesWithoutParametersHaveNoHandles) {
    for (std::uint32_t type : {1u, 2u, 3u, 7u, 9u, 12u}) {
        auto shape = paletteShape(*page, type, {10, 10, 100, 80});
        for (double x = -5; x <= 105; x += 2.5)
            for (double y = -5; y <= 85; y += 2.5) {
                EXPECT_FALSE(shape->hitTestEditableAtPoint({x, y})) << type;
                EXPECT_FALSE(shape->handlerInfoAtPoint({x, y})) << type;
            }
    }
}

struct HandleCase {
    std::uint32_t type;
    int handle;
    Point centre;
    double infoSide;
    double hitSide;  // 0: the hit test ignores the handle
};

TEST_F(SpecialHandlesTest, HandlesStandWhereTheirParametersPutThemWithTheirSquares) {
    auto rounded = paletteShape(*page, 4, {0, 0, 100, 60});
    auto single = paletteShape(*page, 5, {0, 0, 100, 60});
    auto twin = paletteShape(*page, 6, {0, 0, 100, 60});
    auto speech = paletteShape(*page, 8, {0, 0, 200, 100});
    auto polygon = paletteShape(*page, 10, {0, 0, 100, 100});
    auto star = paletteShape(*page, 11, {0, 0, 100, 100});
    const Rect tailBase = KXSpecialShape::bubbleArrowRect({0, 25, 200, 75}, 10, {0, 0}, 30);
    ASSERT_EQ(tailBase.size, kx::Size(6, 6));
    const HandleCase cases[] = {
        {4, 0, {7.5, 60}, 10, 10},
        {5, 0, onPath(*single, 0), 6, 6},
        {5, 1, {0, 30}, 6, 0},
        {5, 2, {100, 30}, 6, 0},
        {6, 0, {65, 0.67 * 30}, 6, 6},
        {6, 1, {0, 30}, 6, 0},
        {6, 2, {100, 30}, 6, 0},
        {8, 0, {30, 100}, 10, 6},
        {8, 1, tailBase.center(), 6, 6},
        {8, 2, {0, 0}, 10, 6},
        {10, 1, {50, 25}, 6, 6},
        {11, 1, onPath(*star, 1), 6, 6},
        {11, 2, {50 + 25 * std::sin(degreesToRadians(150)), 50 + 25 * std::cos(degreesToRadians(150))}, 6, 6},
    };
    const std::map<std::uint32_t, KXSpecialShape*> shapes{{4, rounded.get()}, {5, single.get()}, {6, twin.get()},
                                                           {8, speech.get()}, {10, polygon.get()}, {11, star.get()}};
    for (const HandleCase& c : cases) {
        const KXSpecialShape& s = *shapes.at(c.type);
        SCOPED_TRACE(testing::Message() << "type " << c.type << " handle " << c.handle);
        EXPECT_EQ(elementAt(s, c.centre), c.handle);
        const double in = c.infoSide / 2;
        EXPECT_EQ(elementAt(s, {c.centre.x - in + 0.01, c.centre.y + in - 0.01}), c.handle);
        EXPECT_NE(elementAt(s, {c.centre.x - in - 0.01, c.centre.y}), std::optional<int>(c.handle));
        EXPECT_NE(elementAt(s, {c.centre.x, c.centre.y + in + 0.01}), std::optional<int>(c.handle));
        // Where the centre is exact (no rotation or single-precision parameter): the lower edges are inside the square, the upper edges outside.
        if (c.type == 4 || c.type == 5 || c.type == 8) {
            EXPECT_EQ(elementAt(s, {c.centre.x - in, c.centre.y - in}), c.handle);
            EXPECT_NE(elementAt(s, {c.centre.x + in, c.centre.y}), std::optional<int>(c.handle));
            EXPECT_NE(elementAt(s, {c.centre.x, c.centre.y + in}), std::optional<int>(c.handle));
        }
        EXPECT_EQ(s.hitTestEditableAtPoint(c.centre), c.hitSide > 0);
        if (c.hitSide > 0 && c.hitSide < c.infoSide)
            EXPECT_FALSE(s.hitTestEditableAtPoint({c.centre.x + c.hitSide / 2 + 1, c.centre.y}));
    }
    // Four pixels from the bubble's tail tip: the info query hits, the hit test does not.
    EXPECT_EQ(elementAt(*speech, {4, 0}), 2);
    EXPECT_FALSE(speech->hitTestEditableAtPoint({4, 0}));
}

TEST_F(SpecialHandlesTest, TailBaseSquareOfATailInsideTheBodyIsEmpty) {
    EXPECT_EQ(KXSpecialShape::bubbleArrowRect({0, 0, 100, 100}, 10, {50, 50}, 10), Rect());
    auto speech = paletteShape(*page, 8, {0, 0, 200, 100});
    speech->setShapeInfo(ValueDictionary{{"bubbleRadius", Value(30.0f)}, {"arrowRadius", Value(10.0f)},
                                         {"bubbleRect", Value(Rect(0, 0, 1, 1))}, {"arrowPoint", Value(Point(0.5, 0.5))}});
    EXPECT_FALSE(elementAt(*speech, {0, 0}));
}

TEST_F(SpecialHandlesTest, NodeTableOfTheBubbleTail) {
    const int codes[] = {0, 1, 4, 7};
    const std::uint32_t expected[4][3] = {{6, 0, 7}, {4, 2, 3}, {5, 1, 9}, {7, 7, 7}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(KXSpecialShape::nodeAtPositionX(codes[i], 3), expected[i][0]);
        EXPECT_EQ(KXSpecialShape::nodeAtPositionX(codes[i], 2), expected[i][1]);
        EXPECT_EQ(KXSpecialShape::nodeAtPositionX(codes[i], 4), expected[i][2]);
    }
}

// ---- drags ----

TEST_F(SpecialHandlesTest, RoundedRadiusIsBoundedBelowAndByHalfTheShorterSide) {
    page->setZoomValue(0.5);
    auto shape = paletteShape(*page, 4, {0, 0, 100, 60});
    EXPECT_FLOAT_EQ(num(*shape, "radius"), 15);
    shape->dragCircularSpecialNode(0, 4, 99);
    EXPECT_FLOAT_EQ(num(*shape, "radius"), 23);
    shape->dragCircularSpecialNode(0, -1000, 0);
    EXPECT_FLOAT_EQ(num(*shape, "radius"), 2);  // 1 / zoom
    shape->dragCircularSpecialNode(0, 1000, 0);
    EXPECT_FLOAT_EQ(num(*shape, "radius"), 60);  // 30 / zoom
}

TEST_F(SpecialHandlesTest, StarCountMovesOneStepAtATimeWithinThreeToEleven) {
    auto star = paletteShape(*page, 11, {100, 100, 100, 100});
    star->dragStarSpecialNode(2, pointerAt(*star, 185));
    EXPECT_EQ(num(*star, "point"), 6);
    star->dragStarSpecialNode(2, pointerAt(*star, 275));
    EXPECT_EQ(num(*star, "point"), 6);  // a jump to 9 is ignored
    for (double deg : {245.0, 215.0, 185.0, 155.0, 125.0, 95.0, 10.0, 10.0})
        star->dragStarSpecialNode(2, pointerAt(*star, deg));
    EXPECT_EQ(num(*star, "point"), 3);
    for (int step = 0; step < 12; ++step)
        star->dragStarSpecialNode(2, pointerAt(*star, 95 + 30 * step));
    EXPECT_EQ(num(*star, "point"), 11);

    auto polygon = paletteShape(*page, 10, {100, 100, 100, 100});
    polygon->dragPolygonSpecialNode(1, pointerAt(*polygon, 215));
    EXPECT_EQ(num(*polygon, "sider"), 7);
    // A pointer on the centre has no direction.
    polygon->dragPolygonSpecialNode(1, polygon->frameRect().center());
    EXPECT_EQ(num(*polygon, "sider"), 7);
}

TEST_F(SpecialHandlesTest, StarInnerRadiusStaysWithinATenthAndOne) {
    auto star = paletteShape(*page, 11, {100, 100, 200, 100});
    star->dragStarSpecialNode(1, star->frameRect().center());
    EXPECT_FLOAT_EQ(num(*star, "radius"), 0.1f);
    star->dragStarSpecialNode(1, {150 + 200, 150});
    EXPECT_FLOAT_EQ(num(*star, "radius"), 1);
    // 40 along x of a frame twice as wide as high counts as 20.
    star->dragStarSpecialNode(1, {200 + 40, 150});
    EXPECT_FLOAT_EQ(num(*star, "radius"), 0.4f);
}

TEST_F(SpecialHandlesTest, BubbleTailHalfAngleNeverExceedsFortyFive) {
    auto speech = paletteShape(*page, 8, {50, 50, 200, 100});
    const Point bc(50 + 100, 50 + 62.5);
    speech->dragBubbleSpecialNode(1, 0, 0, {bc.x + 62.5, bc.y - 100});
    EXPECT_FLOAT_EQ(num(*speech, "arrowRadius"), 45);
    speech->dragBubbleSpecialNode(1, 0, 0, {bc.x - 50, bc.y - 31.25});
    EXPECT_NEAR(num(*speech, "arrowRadius"), 0, 1e-3);
    // A pointer on the body's centre gives no angle: the half-angle stays.
    speech->dragBubbleSpecialNode(1, 0, 0, bc);
    EXPECT_NEAR(num(*speech, "arrowRadius"), 0, 1e-3);
}

TEST_F(SpecialHandlesTest, BubbleTailGrowsTheFrameOutwardAndShrinksItBackToTheBody) {
    auto speech = paletteShape(*page, 8, {100, 100, 200, 100});
    speech->dragBubbleSpecialNode(2, -30, 0, {});
    expectRect(speech->frameRect(), Rect(70, 100, 230, 100));
    const Rect body = speech->shapeInfoForKey("bubbleRect").toRect();
    EXPECT_NEAR(70 + body.origin.x * 230, 100, 1e-9);  // the body stays where it was on the page
    EXPECT_NEAR(body.size.width * 230, 200, 1e-9);
    EXPECT_EQ(speech->shapeInfoForKey("arrowPoint").toPoint(), Point(0, 0));

    speech->dragBubbleSpecialNode(2, 60, 0, {});
    expectRect(speech->frameRect(), Rect(100, 100, 200, 100));
    EXPECT_NEAR(speech->shapeInfoForKey("arrowPoint").toPoint().x, 0.15, 1e-9);
    EXPECT_NEAR(speech->shapeInfoForKey("bubbleRect").toRect().origin.x, 0, 1e-9);
}

TEST_F(SpecialHandlesTest, SingleArrowTipKeepsTheHeadAndTurnsAllHeadWhenTooShort) {
    auto arrow = paletteShape(*page, 5, {100, 100, 100, 60});
    EXPECT_FLOAT_EQ(num(*arrow, "triangle"), 50);
    arrow->dragSingleArrowSpecialNode(2, 100, 0);
    expectRect(arrow->frameRect(), Rect(100, 100, 200, 60));
    EXPECT_FLOAT_EQ(num(*arrow, "arrow"), 0.25);
    arrow->dragSingleArrowSpecialNode(1, 160, 0);  // tail: the maxX side stays
    expectRect(arrow->frameRect(), Rect(260, 100, 40, 60));
    EXPECT_FLOAT_EQ(num(*arrow, "arrow"), 1);
    arrow->dragSingleArrowSpecialNode(2, -39.5, 0);  // below 1 wide: refused
    expectRect(arrow->frameRect(), Rect(260, 100, 40, 60));
}

TEST_F(SpecialHandlesTest, SingleArrowHeadBaseStaysWithinTheFrame) {
    auto arrow = paletteShape(*page, 5, {0, 0, 100, 60});
    arrow->dragSingleArrowSpecialNode(0, 10, 3);
    EXPECT_FLOAT_EQ(num(*arrow, "arrow"), 0.4f);
    EXPECT_FLOAT_EQ(num(*arrow, "width"), float((0.67f * 60 + 6) / 60));
    EXPECT_FLOAT_EQ(num(*arrow, "triangle"), 40);
    arrow->dragSingleArrowSpecialNode(0, 1000, -1000);
    EXPECT_FLOAT_EQ(num(*arrow, "arrow"), 0.01f);
    EXPECT_FLOAT_EQ(num(*arrow, "width"), float(1.0 / 60));
    arrow->dragSingleArrowSpecialNode(0, -1000, 1000);
    EXPECT_FLOAT_EQ(num(*arrow, "arrow"), 1);
    EXPECT_FLOAT_EQ(num(*arrow, "width"), 1);
}

TEST_F(SpecialHandlesTest, DoubleArrowNeverNarrowerThanOneAndItsShaftStaysInside) {
    auto arrow = paletteShape(*page, 6, {100, 100, 100, 60});
    arrow->dragDoubleArrowSpecialNode(0, 1000, -1000);
    EXPECT_FLOAT_EQ(num(*arrow, "widthScale"), 1);
    EXPECT_FLOAT_EQ(num(*arrow, "breadthScale"), 0);
    arrow->dragDoubleArrowSpecialNode(1, 500, 0);
    EXPECT_EQ(arrow->frameRect().size.width, 1);
    EXPECT_EQ(arrow->frameRect().origin.x + 1, 200);  // the maxX side stays
    EXPECT_LE(num(*arrow, "widthScale"), 1);
    arrow->dragDoubleArrowSpecialNode(2, 99, 0);
    expectRect(arrow->frameRect(), Rect(199, 100, 100, 60));
}

// Drag steps that could only give sizes or parameters without a value leave the shape as it was.
TEST_F(SpecialHandlesTest, DragsThatWouldGiveNoNumberChangeNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const float fnan = std::numeric_limits<float>::quiet_NaN();
    for (std::uint32_t type : {4u, 5u, 6u, 8u, 11u}) {
        auto shape = paletteShape(*page, type, {100, 100, 100, 60});
        const auto info = shape->shapeInfo();
        const Rect frame = shape->frameRect();
        for (int node = 0; node < 3; ++node) {
            shape->dragCircularSpecialNode(node, fnan, 0);
            shape->dragSingleArrowSpecialNode(node, nan, 0);
            shape->dragSingleArrowSpecialNode(node, 0, nan);
            shape->dragDoubleArrowSpecialNode(node, fnan, 0);
            shape->dragBubbleSpecialNode(node, fnan, 0, {nan, nan});
            shape->dragStarSpecialNode(1, {nan, 0});
        }
        EXPECT_EQ(shape->shapeInfo(), info) << type;
        EXPECT_EQ(shape->frameRect(), frame) << type;
    }
    // A frame without height or width.
    for (std::uint32_t type : {4u, 5u, 6u, 8u, 11u}) {
        auto shape = paletteShape(*page, type, {100, 100, 100, 0});
        const auto info = shape->shapeInfo();
        shape->dragCircularSpecialNode(0, 5, 0);
        shape->dragSingleArrowSpecialNode(0, 5, 5);
        shape->dragDoubleArrowSpecialNode(0, 5, 5);
        shape->dragBubbleSpecialNode(2, 5, 5, {});
        shape->dragStarSpecialNode(1, {0, 0});
        EXPECT_EQ(shape->shapeInfo(), info) << type;
        for (const auto& [key, value] : shape->shapeInfo().value_or(ValueDictionary()))
            if (value.isNumber())
                EXPECT_TRUE(std::isfinite(value.toDouble())) << type << key.toStdString();
    }
}

TEST_F(SpecialHandlesTest, EachDragStepIsOneUndoableDictionaryChange) {
    auto star = paletteShape(*page, 11, {100, 100, 100, 100});
    const auto before = star->shapeInfo();
    kx::UndoManager& undo = page->undoManager();
    undo.removeAllActions();
    undo.beginUndoGrouping();
    star->dragStarSpecialNode(1, star->frameRect().center());
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(star->shapeInfo(), before);
}

}  // namespace
