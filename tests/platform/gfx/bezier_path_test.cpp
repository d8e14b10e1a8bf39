#include "platform/gfx/bezier_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kx;
using Type = BezierPath::ElementType;

namespace {

void expectRectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance);
}

}  // namespace

TEST(BezierPath, NewPathHasTheDrawingDefaults) {
    const BezierPath path;
    EXPECT_TRUE(path.isEmpty());
    EXPECT_EQ(path.lineWidth(), 1.0);
    EXPECT_EQ(path.lineCapStyle(), BezierPath::LineCapStyle::Butt);
    EXPECT_EQ(path.lineJoinStyle(), BezierPath::LineJoinStyle::Miter);
    EXPECT_EQ(path.miterLimit(), 10.0);
    EXPECT_EQ(path.flatness(), 0.6);
    EXPECT_EQ(path.windingRule(), FillRule::Winding);
    EXPECT_TRUE(path.lineDash().empty());
    EXPECT_EQ(path.currentPoint(), Point(0, 0));
    EXPECT_EQ(path.bounds(), Rect());
    EXPECT_EQ(path.controlPointBounds(), Rect());
}

TEST(BezierPath, ElementsKeepTheirPointsInControlControlEndOrder) {
    BezierPath path;
    path.moveTo(Point(1, 2));
    path.lineTo(Point(3, 4));
    path.curveTo(Point(9, 9), Point(5, 6), Point(7, 8));
    path.closePath();
    ASSERT_EQ(path.elementCount(), 4);
    EXPECT_EQ(path.elementAtIndex(0).type, Type::MoveTo);
    EXPECT_EQ(path.elementAtIndex(1).points[0], Point(3, 4));
    const BezierPath::Element curve = path.elementAtIndex(2);
    EXPECT_EQ(curve.type, Type::CurveTo);
    EXPECT_EQ(curve.points[0], Point(5, 6));
    EXPECT_EQ(curve.points[1], Point(7, 8));
    EXPECT_EQ(curve.points[2], Point(9, 9));
    EXPECT_EQ(path.elementAtIndex(3).type, Type::ClosePath);
    EXPECT_EQ(path.currentPoint(), Point(1, 2));  // back at the subpath's start
    EXPECT_EQ(path.elementAtIndex(4), BezierPath::Element());
    EXPECT_EQ(path.elementAtIndex(-1), BezierPath::Element());
}

TEST(BezierPath, DrawingWithoutCurrentPointStartsAtOriginOrSubpathStart) {
    BezierPath path;
    path.lineTo(Point(5, 5));
    ASSERT_EQ(path.elementCount(), 2);
    EXPECT_EQ(path.elementAtIndex(0).type, Type::MoveTo);
    EXPECT_EQ(path.elementAtIndex(0).points[0], Point(0, 0));

    BezierPath closed;
    closed.moveTo(Point(1, 1));
    closed.lineTo(Point(4, 1));
    closed.closePath();
    closed.closePath();  // nothing left to close
    closed.lineTo(Point(4, 4));
    ASSERT_EQ(closed.elementCount(), 5);
    EXPECT_EQ(closed.elementAtIndex(3).type, Type::MoveTo);
    EXPECT_EQ(closed.elementAtIndex(3).points[0], Point(1, 1));

    BezierPath empty;
    empty.closePath();
    EXPECT_TRUE(empty.isEmpty());
}

TEST(BezierPath, BoundsFollowTheCurveWhileControlPointBoundsHoldEveryPoint) {
    BezierPath path;
    path.moveTo(Point(0, 0));
    path.curveTo(Point(10, 0), Point(0, 10), Point(10, 10));
    // The curve peaks at t = 0.5 where y = 7.5.
    expectRectNear(path.bounds(), Rect(0, 0, 10, 7.5));
    EXPECT_EQ(path.controlPointBounds(), Rect(0, 0, 10, 10));
}

TEST(BezierPath, OvalIsFourQuarterArcsStartingAtTheRightAndTouchingItsRect) {
    const BezierPath oval = BezierPath::withOvalInRect(Rect(10, 20, 40, 20));
    ASSERT_EQ(oval.elementCount(), 6);
    EXPECT_EQ(oval.elementAtIndex(0).points[0], Point(50, 30));
    EXPECT_EQ(oval.elementAtIndex(1).points[2], Point(30, 40));  // counter-clockwise: top next
    expectRectNear(oval.bounds(), Rect(10, 20, 40, 20), 1e-9);
    EXPECT_TRUE(oval.containsPoint(Point(30, 30)));
    EXPECT_FALSE(oval.containsPoint(Point(11, 21)));  // the corner lies outside the ellipse
}

TEST(BezierPath, RectAndRoundedRect) {
    const BezierPath rect = BezierPath::withRect(Rect(10, 10, -5, -5));  // read standardised
    ASSERT_EQ(rect.elementCount(), 5);
    EXPECT_EQ(rect.elementAtIndex(0).points[0], Point(5, 5));
    EXPECT_EQ(rect.elementAtIndex(1).points[0], Point(10, 5));
    EXPECT_EQ(rect.elementAtIndex(2).points[0], Point(10, 10));

    const BezierPath rounded = BezierPath::withRoundedRect(Rect(0, 0, 20, 10), 100, 100);  // clamped to 10, 5
    expectRectNear(rounded.bounds(), Rect(0, 0, 20, 10), 1e-9);
    EXPECT_FALSE(rounded.containsPoint(Point(0.5, 0.5)));
    EXPECT_TRUE(rounded.containsPoint(Point(10, 5)));
    EXPECT_EQ(BezierPath::withRoundedRect(Rect(0, 0, 20, 10), 0, 3), BezierPath::withRect(Rect(0, 0, 20, 10)));
}

TEST(BezierPath, ContainmentFollowsTheWindingRule) {
    // Two nested squares drawn in the same direction: the inner one is a hole only under even-odd.
    BezierPath path = BezierPath::withRect(Rect(0, 0, 100, 100));
    path.appendBezierPathWithRect(Rect(25, 25, 50, 50));
    const Point inner(50, 50), ring(10, 10), outside(150, 50);
    struct Case {
        FillRule rule;
        bool inner, ring, outside;
    };
    for (const Case& c : {Case{FillRule::Winding, true, true, false}, Case{FillRule::EvenOdd, false, true, false}}) {
        path.setWindingRule(c.rule);
        EXPECT_EQ(path.containsPoint(inner), c.inner);
        EXPECT_EQ(path.containsPoint(ring), c.ring);
        EXPECT_EQ(path.containsPoint(outside), c.outside);
    }
}

TEST(BezierPath, OpenSubpathsAreFilledAsIfClosed) {
    BezierPath triangle;
    triangle.moveTo(Point(0, 0));
    triangle.lineTo(Point(10, 0));
    triangle.lineTo(Point(0, 10));
    EXPECT_TRUE(triangle.containsPoint(Point(2, 2)));
    EXPECT_FALSE(triangle.containsPoint(Point(8, 8)));
}

TEST(BezierPath, FlatteningStaysWithinFlatnessAndKeepsEndPoints) {
    const Point p0(0, 0), c1(100, 0), c2(0, 100), p3(100, 100);
    BezierPath path;
    path.moveTo(p0);
    path.curveTo(p3, c1, c2);
    path.setFlatness(0.1);
    const BezierPath flat = path.flattened();
    EXPECT_EQ(flat.flatness(), 0.1);
    EXPECT_EQ(flat.currentPoint(), p3);
    std::vector<Point> vertices;
    for (const BezierPath::Element& e : flat.elements()) {
        ASSERT_NE(e.type, Type::CurveTo);
        vertices.push_back(e.points[0]);
    }
    ASSERT_GT(vertices.size(), 10u);
    // Every point of the true curve lies within the flatness of the polyline.
    const auto distanceToPolyline = [&vertices](const Point& q) {
        double best = INFINITY;
        for (size_t i = 1; i < vertices.size(); ++i) {
            const Point a = vertices[i - 1], b = vertices[i];
            const double len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
            double t = len2 > 0 ? ((q.x - a.x) * (b.x - a.x) + (q.y - a.y) * (b.y - a.y)) / len2 : 0;
            t = std::clamp(t, 0.0, 1.0);
            best = std::min(best, std::hypot(q.x - (a.x + t * (b.x - a.x)), q.y - (a.y + t * (b.y - a.y))));
        }
        return best;
    };
    for (int i = 0; i <= 200; ++i) {
        const double t = i / 200.0, u = 1 - t;
        const Point q(u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
                      u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y);
        EXPECT_LE(distanceToPolyline(q), 0.1 + 1e-9) << "t = " << t;
    }
}

TEST(BezierPath, FlatteningOfAHugeCurveIsBounded) {
    BezierPath path;
    path.moveTo(Point(0, 0));
    path.curveTo(Point(1e300, 0), Point(-1e300, 1e300), Point(1e300, -1e300));
    EXPECT_LE(path.flattened().elementCount(), 1100);
    // Hit tests on a huge curve give the right answers: a lobe to the right of the y axis, closed along the
    // axis, as large as the crossing products stay finite.
    BezierPath lobe;
    lobe.moveTo(Point(0, 0));
    lobe.curveTo(Point(0, 1e150), Point(1e150, 0), Point(1e150, 1e150));
    lobe.closePath();
    EXPECT_TRUE(lobe.containsPoint(Point(1, 5e149)));
    EXPECT_TRUE(lobe.containsPoint(Point(5e149, 5e149)));
    EXPECT_FALSE(lobe.containsPoint(Point(-1, 5e149)));
    EXPECT_FALSE(lobe.containsPoint(Point(1e150, 5e149)));
    EXPECT_FALSE(lobe.containsPoint(Point(1, 2e150)));
}

TEST(BezierPath, TransformMovesEveryPointButNotThePen) {
    BezierPath path = BezierPath::withRect(Rect(0, 0, 10, 10));
    path.setLineWidth(3);
    path.transform(AffineTransform::makeScale(2, 3).translated(1, 1));
    EXPECT_EQ(path.bounds(), Rect(2, 3, 20, 30));
    EXPECT_EQ(path.lineWidth(), 3);
    path.lineTo(Point(0, 0));  // after the close: back to the transformed start
    EXPECT_EQ(path.elementAtIndex(5).points[0], Point(2, 3));
}

TEST(BezierPath, AppendTakesElementsButNotPen) {
    BezierPath a;
    a.setLineWidth(4);
    BezierPath b = BezierPath::withOvalInRect(Rect(0, 0, 4, 4));
    b.setLineWidth(9);
    b.setLineDash({2, 1}, 0.5);
    a.appendBezierPath(b);
    EXPECT_EQ(a.elements(), b.elements());
    EXPECT_EQ(a.lineWidth(), 4);
    EXPECT_TRUE(a.lineDash().empty());
    EXPECT_EQ(b.lineDash(), (std::vector<double>{2, 1}));
    EXPECT_EQ(b.lineDashPhase(), 0.5);
}

TEST(BezierPath, ToPathKeepsElementsAndPoints) {
    BezierPath path;
    path.moveTo(Point(1, 1));
    path.curveTo(Point(4, 4), Point(2, 1), Point(3, 4));
    path.closePath();
    const Path p = path.toPath();
    ASSERT_EQ(p.elements().size(), 3u);
    EXPECT_EQ(p.elements()[1].type, Path::ElementType::CurveTo);
    EXPECT_EQ(p.elements()[1].points[0], Point(2, 1));
    EXPECT_EQ(p.elements()[1].points[1], Point(3, 4));
    EXPECT_EQ(p.elements()[1].points[2], Point(4, 4));
    EXPECT_EQ(p.elements()[2].type, Path::ElementType::Close);
}
