#include "shapes/shape_path_builders.h"

#include "graphics/geometry_utilities.h"

#include <gtest/gtest.h>

#include <cmath>

using kx::BezierPath;
using kx::Point;
using kx::Rect;
using Type = BezierPath::ElementType;

namespace {

// The end point of every element but closes, in order.
std::vector<Point> endPoints(const BezierPath& path) {
    std::vector<Point> points;
    for (const auto& e : path.elements()) {
        if (e.type == Type::MoveTo || e.type == Type::LineTo)
            points.push_back(e.points[0]);
        else if (e.type == Type::CurveTo)
            points.push_back(e.points[2]);
    }
    return points;
}

std::vector<Type> types(const BezierPath& path) {
    std::vector<Type> t;
    for (const auto& e : path.elements())
        t.push_back(e.type);
    return t;
}

void expectPoint(const Point& actual, const Point& expected, double tolerance = 1e-4) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

bool allFinite(const BezierPath& path) {
    for (const auto& e : path.elements())
        for (int i = 0; i < e.pointCount(); ++i)
            if (!std::isfinite(e.points[i].x) || !std::isfinite(e.points[i].y))
                return false;
    return true;
}

std::shared_ptr<KXPathPoint> pathPoint(Point a, Point b, Point c = {}) {
    return std::make_shared<KXPathPoint>(a, b, c);
}

// ---- conversion ----

TEST(QuartzPathTest, EmptyPathGivesNothing) {
    EXPECT_FALSE(quartzPathWhileClose(BezierPath(), true).has_value());
}

TEST(QuartzPathTest, ClosesOnlyTheLastOpenSubpathWhenAsked) {
    BezierPath open;
    open.moveTo({0, 0});
    open.lineTo({10, 0});
    open.lineTo({10, 10});
    const auto closed = quartzPathWhileClose(open, true);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->elements().back().type, kx::Path::ElementType::Close);
    const auto stays = quartzPathWhileClose(open, false);
    ASSERT_TRUE(stays);
    EXPECT_EQ(stays->elements().size(), 3u);
    EXPECT_EQ(stays->elements().back().type, kx::Path::ElementType::LineTo);

    BezierPath two;
    two.moveTo({0, 0});
    two.lineTo({5, 0});
    two.closePath();
    two.moveTo({20, 0});
    two.lineTo({25, 5});
    const auto both = quartzPathWhileClose(two, true);
    ASSERT_TRUE(both);
    using PT = kx::Path::ElementType;
    std::vector<PT> got;
    for (const auto& e : both->elements())
        got.push_back(e.type);
    EXPECT_EQ(got, (std::vector<PT>{PT::MoveTo, PT::LineTo, PT::Close, PT::MoveTo, PT::LineTo, PT::Close}));

    // An earlier subpath left open stays open.
    BezierPath earlierOpen;
    earlierOpen.moveTo({0, 0});
    earlierOpen.lineTo({5, 0});
    earlierOpen.moveTo({20, 0});
    earlierOpen.lineTo({25, 5});
    const auto converted = quartzPathWhileClose(earlierOpen, true);
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->elements()[2].type, PT::MoveTo);
    EXPECT_EQ(converted->elements().back().type, PT::Close);
}

TEST(QuartzPathTest, CurvesKeepTheirControlPoints) {
    BezierPath path;
    path.moveTo({0, 0});
    path.curveTo({30, 0}, {10, 20}, {20, 20});
    const auto converted = quartzPathWhileClose(path, false);
    ASSERT_TRUE(converted);
    const auto& curve = converted->elements()[1];
    EXPECT_EQ(curve.type, kx::Path::ElementType::CurveTo);
    EXPECT_EQ(curve.points[0], Point(10, 20));
    EXPECT_EQ(curve.points[1], Point(20, 20));
    EXPECT_EQ(curve.points[2], Point(30, 0));
}

// ---- closed parametric outlines ----

TEST(ShapeBuildersTest, Triangles) {
    const Rect r(10, 20, 100, 50);
    EXPECT_EQ(endPoints(equilTriangle(r)), (std::vector<Point>{{60, 70}, {10, 20}, {110, 20}}));
    EXPECT_EQ(types(equilTriangle(r)).back(), Type::ClosePath);
    EXPECT_EQ(endPoints(rightTriangle(r)), (std::vector<Point>{{10, 70}, {10, 20}, {110, 20}}));
    EXPECT_EQ(endPoints(lozengeInRect(r)), (std::vector<Point>{{10, 45}, {60, 70}, {110, 45}, {60, 20}}));
}

TEST(ShapeBuildersTest, RoundedRectangleHasTheRadii) {
    const BezierPath path = circular(Rect(0, 0, 100, 60), 10, 20);
    EXPECT_EQ(path.bounds(), Rect(0, 0, 100, 60));
    EXPECT_TRUE(path.containsPoint({50, 30}));
    EXPECT_FALSE(path.containsPoint({1, 1}));  // the corner is cut away
}

TEST(ShapeBuildersTest, SingleArrowPointingRight) {
    const kx::ValueDictionary dic{{"rightDirection", kx::Value(true)}, {"width", kx::Value(0.67)},
                                  {"arrow", kx::Value(0.5)}};
    const BezierPath path = singleArrow(Rect(0, 0, 100, 60), dic);
    ASSERT_EQ(path.elementCount(), 8);  // a move, six lines and the close
    const auto p = endPoints(path);
    ASSERT_EQ(p.size(), 7u);
    const double inset = double(0.67f * 60.0f * 0.5f);
    expectPoint(p[0], {50, inset});
    expectPoint(p[1], {50, 0});
    expectPoint(p[2], {100, 30});  // the tip
    expectPoint(p[3], {50, 60});
    expectPoint(p[4], {50, 60 - inset});
    expectPoint(p[5], {0, 60 - inset});
    expectPoint(p[6], {0, inset});
    EXPECT_NEAR(inset, 20.1, 1e-5);
    EXPECT_NEAR(60 - inset, 39.9, 1e-5);
}

TEST(ShapeBuildersTest, SingleArrowThatIsAllHead) {
    const kx::ValueDictionary dic{{"rightDirection", kx::Value(false)}, {"width", kx::Value(0.5)},
                                  {"arrow", kx::Value(1.0)}};
    const BezierPath path = singleArrow(Rect(0, 0, 100, 60), dic);
    ASSERT_EQ(path.elementCount(), 6);
    const auto p = endPoints(path);
    expectPoint(p[0], {100, 15});
    expectPoint(p[2], {0, 30});  // pointing to −x
    EXPECT_EQ(types(path).back(), Type::ClosePath);
}

TEST(ShapeBuildersTest, DoubleArrow) {
    const kx::ValueDictionary dic{{"widthScale", kx::Value(0.5)}, {"breadthScale", kx::Value(0.4)}};
    const auto p = endPoints(doubleArrowInRect(Rect(0, 0, 200, 100), dic));
    const std::vector<Point> expected{{100, 20}, {150, 20}, {150, 0}, {200, 50}, {150, 100}, {150, 80},
                                      {50, 80},  {50, 100}, {0, 50},  {50, 0},   {50, 20},  {100, 20}};
    ASSERT_EQ(p.size(), expected.size());
    for (size_t i = 0; i < p.size(); ++i)
        expectPoint(p[i], expected[i]);
}

TEST(ShapeBuildersTest, PolygonOnTheInscribedEllipse) {
    const BezierPath path = polygonInRect(Rect(0, 0, 200, 100), 6);
    const auto p = endPoints(path);
    ASSERT_EQ(p.size(), 6u);
    expectPoint(p[0], {100, 100});
    expectPoint(p[1], {100 + 100 * std::sin(kPi / 3), 50 + 50 * std::cos(kPi / 3)});
    EXPECT_NE(types(path).back(), Type::ClosePath);
    EXPECT_TRUE(polygonInRect(Rect(0, 0, 200, 100), 0).isEmpty());
    EXPECT_TRUE(polygonInRect(Rect(0, 0, 200, 100), -4).isEmpty());
}

TEST(ShapeBuildersTest, StarAlternatesOuterAndInnerRadius) {
    const BezierPath path = starInRect(Rect(0, 0, 200, 100), 5, 0.5f);
    const auto p = endPoints(path);
    ASSERT_EQ(p.size(), 10u);
    for (size_t i = 0; i < p.size(); ++i) {
        const double theta = double(i) * kPi / 5;
        const double radius = i % 2 == 0 ? 50 : 25;
        expectPoint(p[i], {100 + 2 * radius * std::sin(theta), 50 + radius * std::cos(theta)});
    }
    EXPECT_TRUE(starInRect(Rect(0, 0, 10, 10), 0, 0.5f).isEmpty());
}

TEST(ShapeBuildersTest, DegenerateCountsAndSizesGiveDefinedOutlines) {
    // Counts far beyond any shape are capped, so no vertex buffer grows without bound.
    EXPECT_EQ(polygonInRect(Rect(0, 0, 100, 100), 1L << 40).elementCount(), int(kMaxShapeSides));
    EXPECT_EQ(starInRect(Rect(0, 0, 100, 100), 1L << 40, 0.5f).elementCount(), int(2 * kMaxShapeSides));
    // Flat and empty rectangles give finite points.
    for (const Rect& r : {Rect(0, 0, 100, 0), Rect(0, 0, 0, 100), Rect(0, 0, 0, 0)}) {
        EXPECT_TRUE(allFinite(polygonInRect(r, 7)));
        EXPECT_TRUE(allFinite(starInRect(r, 7, 0.4f)));
        EXPECT_TRUE(allFinite(singleArrow(r, {{"width", kx::Value(0.5)}, {"arrow", kx::Value(0.3)}})));
    }
}

// ---- line, curve, arrow line and pen paths ----

TEST(ShapeBuildersTest, LineMapsRelativePoints) {
    const KXPathPointArray points{pathPoint({0, 0.5}, {1, 0.25})};
    EXPECT_EQ(endPoints(linePathWithPoints(points, Rect(10, 10, 200, 100))),
              (std::vector<Point>{{10, 60}, {210, 35}}));
    // A side of 0 or less reads as 1.
    EXPECT_EQ(endPoints(linePathWithPoints(points, Rect(10, 10, 0, -5))), (std::vector<Point>{{10, 10.5}, {11, 10.25}}));
    EXPECT_TRUE(linePathWithPoints({}, Rect(0, 0, 10, 10)).isEmpty());
}

TEST(ShapeBuildersTest, CurvePassesThroughItsHandle) {
    const KXPathPointArray points{pathPoint({0, 0}, {1, 0}, {0.5, 0.8})};
    const BezierPath path = curvePathWithPoints(points, Rect(0, 0, 100, 100));
    ASSERT_EQ(path.elementCount(), 2);
    const auto curve = path.elementAtIndex(1);
    EXPECT_EQ(curve.points[0], Point(0, 0));  // the first control is the start
    const double t = 0.68;
    EXPECT_NEAR(cubicBezierValue(0, 100, curve.points[0].x, curve.points[1].x, t), 50, 1e-6);
    EXPECT_NEAR(cubicBezierValue(0, 0, curve.points[0].y, curve.points[1].y, t), 80, 1e-6);
}

TEST(ShapeBuildersTest, ArrowLineHead) {
    const double m = 20;
    const KXPathPointArray points{pathPoint({0, 0.5}, {1, 0.5})};
    const BezierPath path = markShapeWithPoint(points, Rect(0, 0, 200, 100), m);
    const auto p = endPoints(path);
    ASSERT_EQ(p.size(), 6u);
    const Point tail = p[0], crossing = p[1], left = p[2], tip = p[3], right = p[4];
    EXPECT_EQ(tail, Point(0, 50));
    EXPECT_EQ(tip, Point(200, 50));
    EXPECT_EQ(p[5], crossing);
    EXPECT_EQ(types(path).back(), Type::ClosePath);
    const auto length = [](Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); };
    EXPECT_NEAR(length(left, tip), m, 1e-3);
    EXPECT_NEAR(length(right, tip), m, 1e-3);
    // 20 degrees either side of the stem.
    EXPECT_NEAR(std::atan2(left.y - tip.y, tip.x - left.x), -degreesToRadians(20), 1e-4);
    EXPECT_NEAR(std::atan2(right.y - tip.y, tip.x - right.x), degreesToRadians(20), 1e-4);
    EXPECT_EQ(crossing.x, std::trunc(crossing.x));
    EXPECT_EQ(crossing.y, std::trunc(crossing.y));
    EXPECT_NEAR(crossing.x, 200 - m * std::cos(degreesToRadians(20)), 1.0);

    // A stem of no length gives a collapsed head, not a division by zero.
    const KXPathPointArray dot{pathPoint({0.5, 0.5}, {0.5, 0.5})};
    EXPECT_TRUE(allFinite(markShapeWithPoint(dot, Rect(0, 0, 100, 100), m)));
}

TEST(ShapeBuildersTest, PenPath) {
    const KXPathPointArray one{pathPoint({0.25, 0.5}, {})};
    const BezierPath single = customPathWithPoints(one, Rect(0, 0, 0.5, 0.5));
    ASSERT_EQ(single.elementCount(), 1);
    EXPECT_EQ(single.elementAtIndex(0).type, Type::MoveTo);
    EXPECT_EQ(single.elementAtIndex(0).points[0], Point(0.25, 0.5));  // sides of 1 or less read as 1

    const KXPathPointArray points{pathPoint({0, 0}, {}), pathPoint({0.1, 0.2}, {0.3, 0.4}, {1, 1}), nullptr};
    const BezierPath path = customPathWithPoints(points, Rect(0, 0, 100, 50));
    ASSERT_EQ(path.elementCount(), 3);
    const auto curve = path.elementAtIndex(1);
    EXPECT_EQ(curve.type, Type::CurveTo);
    EXPECT_EQ(curve.points[0], Point(10, 10));
    EXPECT_EQ(curve.points[1], Point(30, 20));
    EXPECT_EQ(curve.points[2], Point(100, 50));
    EXPECT_EQ(path.elementAtIndex(2).points[2], Point(0, 0));  // a missing entry reads as zeros
    EXPECT_NE(types(path).back(), Type::ClosePath);
}

// ---- speech bubble ----

const Rect kBody(0, 0, 200, 100);

TEST(BubbleTest, TailPointInsideTheBodyDrawsNoTail) {
    const BezierPath body = BezierPath::withRoundedRect(kBody, 20, 20);
    EXPECT_EQ(bubble(Rect(), kBody, 20, 10, {100, 50}, 2).elements(), body.elements());
}

// The index of the first end point equal to p, or -1.
int indexOf(const std::vector<Point>& points, const Point& p) {
    for (size_t i = 0; i < points.size(); ++i)
        if (points[i] == p)
            return int(i);
    return -1;
}

TEST(BubbleTest, OutlineRunsOutToTheTailAndBack) {
    const Point tail(100, 180);  // above the body's top edge
    const BezierPath path = bubble(Rect(), kBody, 20, 10, tail, 2);
    EXPECT_EQ(types(path).back(), Type::ClosePath);
    const auto p = endPoints(path);
    const int at = indexOf(p, tail);
    ASSERT_GT(at, 0);
    ASSERT_LT(at + 1, int(p.size()));
    const Point i1 = p[size_t(at - 1)], i2 = p[size_t(at + 1)];
    // Both breaks lie on the top edge, either side of the tail, seen 10 degrees off it from the centre.
    EXPECT_NEAR(i1.y, 100, 1.0);
    EXPECT_NEAR(i2.y, 100, 1.0);
    const double spread = 50 * std::tan(degreesToRadians(10));
    EXPECT_NEAR(std::fabs(i1.x - 100), spread, 1.5);
    EXPECT_NEAR(std::fabs(i2.x - 100), spread, 1.5);
    EXPECT_LT((i1.x - 100) * (i2.x - 100), 0);
    // The rest of the body stays, and the tail is filled in.
    EXPECT_TRUE(path.containsPoint({100, 130}));
    EXPECT_TRUE(path.containsPoint({20, 20}));
    EXPECT_FALSE(path.containsPoint({30, 130}));
}

TEST(BubbleTest, TailAcrossTheStartOfTheBodyStartsTheOutline) {
    // The body path starts on the bottom edge just right of the bottom-left corner. A tail seen from the
    // centre in the direction of that start has its first break on the corner curve, at the end of the
    // path, and its second on the bottom edge, at its beginning.
    const BezierPath body = BezierPath::withRoundedRect(kBody, 20, 20);
    const Point start = body.elementAtIndex(0).points[0];
    const Point centre = kBody.center();
    const Point tail = centre + (start - centre) * 2;
    const BezierPath path = bubble(Rect(), kBody, 20, 10, tail, 2);
    const auto p = endPoints(path);
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(path.elementAtIndex(0).type, Type::MoveTo);
    EXPECT_EQ(p[1], tail);
    EXPECT_LT(p[0].x, 20);  // on the corner
    EXPECT_LT(p[0].y, 20);
    EXPECT_NEAR(p[2].y, 0, 1.0);  // on the bottom edge
    EXPECT_GT(p[2].x, start.x);
    EXPECT_EQ(types(path).back(), Type::ClosePath);
    EXPECT_TRUE(path.containsPoint({100, 50}));
    EXPECT_TRUE(path.containsPoint({-20, -25}));
}

TEST(BubbleTest, DegenerateBodiesGiveDefinedOutlines) {
    const struct {
        Rect body;
        double radius, precision;
        Point tail;
    } cases[] = {
        {Rect(0, 0, 0, 0), 10, 2, {50, 50}},
        {Rect(0, 0, 100, 0), 0, 0, {50, 80}},
        {Rect(0, 0, 100, 50), 0, 2, {300, 300}},     // a body of straight lines only
        {Rect(0, 0, 100, 50), 500, -1, {-300, 20}},  // radius beyond the body, no precision at all
        {Rect(0, 0, 100, 50), 10, 2, {1e12, -1e12}},
    };
    for (const auto& c : cases) {
        const BezierPath path = bubble(Rect(), c.body, c.radius, 10, c.tail, c.precision);
        EXPECT_FALSE(path.isEmpty());
        EXPECT_TRUE(allFinite(path));
    }
}

}  // namespace
