#include "platform/gfx/path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kx::FillRule;
using kx::Path;
using kx::Point;
using kx::Rect;

namespace {

void expectRectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual.minX(), expected.minX(), tolerance);
    EXPECT_NEAR(actual.minY(), expected.minY(), tolerance);
    EXPECT_NEAR(actual.maxX(), expected.maxX(), tolerance);
    EXPECT_NEAR(actual.maxY(), expected.maxY(), tolerance);
}

}  // namespace

TEST(Path, QuadraticSegmentsSurviveIteration) {
    Path p;
    p.moveTo({0, 0});
    p.quadTo({5, 10}, {10, 0});
    p.curveTo({12, 1}, {13, 2}, {14, 3});
    p.closeSubpath();
    ASSERT_EQ(p.elements().size(), 4u);
    EXPECT_EQ(p.elements()[1].type, Path::ElementType::QuadTo);
    EXPECT_EQ(p.elements()[1].points[0], Point(5, 10));
    EXPECT_EQ(p.elements()[1].points[1], Point(10, 0));
    EXPECT_EQ(p.elements()[2].type, Path::ElementType::CurveTo);
    EXPECT_EQ(p.elements()[3].type, Path::ElementType::Close);
    // After Close the current point is the subpath's start.
    EXPECT_EQ(p.currentPoint(), Point(0, 0));
}

TEST(Path, BoundingBoxFollowsCurvesNotControlPoints) {
    Path p;
    p.moveTo({0, 0});
    p.quadTo({5, 10}, {10, 0});  // apex at y = 5
    expectRectNear(p.boundingBox(), Rect(0, 0, 10, 5));
    expectRectNear(p.controlPointBoundingBox(), Rect(0, 0, 10, 10));
    EXPECT_TRUE(Path().boundingBox().isNull());
}

TEST(Path, RectAndEllipseRunCounterClockwiseInYUpSpace) {
    Path r;
    r.addRect(Rect(10, 20, -4, 6));  // negative width is read standardised
    ASSERT_EQ(r.elements().size(), 5u);
    EXPECT_EQ(r.elements()[0].points[0], Point(6, 20));
    EXPECT_EQ(r.elements()[1].points[0], Point(10, 20));
    EXPECT_EQ(r.elements()[2].points[0], Point(10, 26));

    Path e;
    e.addEllipseInRect(Rect(0, 0, 20, 10));
    EXPECT_EQ(e.elements().front().points[0], Point(20, 5));
    EXPECT_EQ(e.elements()[1].points[2], Point(10, 10));  // first quarter ends on top
    expectRectNear(e.boundingBox(), Rect(0, 0, 20, 10), 1e-9);
}

TEST(Path, ArcsFollowDirectionAndSweep) {
    struct Case {
        double start, end;
        bool clockwise;
        Point probe;  // a point on the arc's side that must be in its bounding box
        Point absent;  // a point the arc must not reach
    };
    const double pi = std::numbers::pi;
    const Case cases[] = {
        {0, pi / 2, false, {0.7, 0.7}, {0, -1}},     // counter-clockwise quarter: upper right
        {0, pi / 2, true, {0, -1}, {100, 100}},      // clockwise the long way round: through the bottom
        {pi / 2, 0, true, {0.7, 0.7}, {-1, 0}},      // clockwise quarter from the top to the right
        {0, 4 * pi, false, {-1, 0}, {100, 100}},     // more than a turn: the whole circle
    };
    for (const Case& c : cases) {
        Path p;
        p.addArc({0, 0}, 1, c.start, c.end, c.clockwise);
        const Rect box = p.boundingBox().insetBy(-1e-6, -1e-6);
        EXPECT_TRUE(box.contains(c.probe)) << c.start << " " << c.end << " " << c.clockwise;
        EXPECT_FALSE(box.contains(c.absent)) << c.start << " " << c.end << " " << c.clockwise;
        EXPECT_NEAR(p.currentPoint().x, std::cos(c.end), 1e-9);
        EXPECT_NEAR(p.currentPoint().y, std::sin(c.end), 1e-9);
    }
    // Every point of a quarter arc stays on the circle (cubic approximation error well below a pixel).
    Path q;
    q.addArc({0, 0}, 100, 0, pi / 2, false);
    const QPainterPath qp = q.toQPainterPath();
    for (int i = 0; i <= 20; ++i) {
        const QPointF pt = qp.pointAtPercent(i / 20.0);
        EXPECT_NEAR(std::hypot(pt.x(), pt.y()), 100, 0.05);
    }
}

TEST(Path, ArcJoinsCurrentPointWithALine) {
    Path p;
    p.moveTo({-5, 0});
    p.addArc({0, 0}, 1, 0, std::numbers::pi, false);
    ASSERT_GE(p.elements().size(), 3u);
    EXPECT_EQ(p.elements()[1].type, Path::ElementType::LineTo);
    EXPECT_EQ(p.elements()[1].points[0], Point(1, 0));
}

TEST(Path, ContainsHonoursTheFillRule) {
    Path p;
    p.addRect(Rect(0, 0, 10, 10));
    p.addRect(Rect(2, 2, 6, 6));  // same direction: a hole only for even-odd
    EXPECT_TRUE(p.contains({5, 5}, FillRule::Winding));
    EXPECT_FALSE(p.contains({5, 5}, FillRule::EvenOdd));
    EXPECT_TRUE(p.contains({1, 1}, FillRule::EvenOdd));
    EXPECT_FALSE(p.contains({11, 1}, FillRule::Winding));
}

TEST(Path, TransformedMapsEveryPoint) {
    Path p;
    p.moveTo({1, 0});
    p.quadTo({2, 0}, {2, 1});
    const Path t = p.transformed(kx::AffineTransform::makeTranslation(10, 20).scaled(2, 3));
    EXPECT_EQ(t.elements()[0].points[0], Point(12, 20));
    EXPECT_EQ(t.elements()[1].points[1], Point(14, 23));
    EXPECT_EQ(t.elements()[1].type, Path::ElementType::QuadTo);
}
