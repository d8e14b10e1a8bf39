#include "graphics/geometry_utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using kx::AffineTransform;
using kx::Point;
using kx::Rect;
using kx::Size;

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void expectPointNear(Point actual, Point expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}
}  // namespace

TEST(Angles, ConvertBothWays) {
    EXPECT_EQ(degreesToRadians(180), kPi);
    EXPECT_EQ(radiansToDegrees(kPi), 180);
    EXPECT_DOUBLE_EQ(degreesToRadians(90), kPi / 2);
}

TEST(TransformAboutCenter, IdentityAndCentreAreFixed) {
    EXPECT_EQ(transformPointAboutCenter(Point(3, 4), Point(10, 10), 0, 1, 1), Point(3, 4));
    for (double angle : {0.3, 1.0, -2.5})
        expectPointNear(transformPointAboutCenter(Point(10, 10), Point(10, 10), angle, 2, 0.5), Point(10, 10));
}

TEST(TransformAboutCenter, RotatesCounterClockwiseThenScalesAlongPageAxes) {
    // (12, 10) is 2 right of the centre; a quarter turn puts it 2 above; then y is scaled by 3.
    expectPointNear(transformPointAboutCenter(Point(12, 10), Point(10, 10), kPi / 2, 1, 3), Point(10, 16));
    // Scaling x after the rotation does not touch the now-vertical offset.
    expectPointNear(transformPointAboutCenter(Point(12, 10), Point(10, 10), kPi / 2, 5, 1), Point(10, 12));
}

TEST(TransformAboutCenter, BaseTransformAppliesLast) {
    const AffineTransform t = makeTransformAboutCenter(Point(1, 1), kPi, 1, 1, AffineTransform::makeTranslation(100, 0));
    expectPointNear(t.apply(Point(2, 1)), Point(100, 1));
}

TEST(TransformAboutCenter, RectangleGivesBoundingBox) {
    const Rect r = transformRectAboutCenter(Point(5, 5), kPi / 4, 1, 1, Rect(4, 4, 2, 2));
    EXPECT_NEAR(r.width(), 2 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(r.midX(), 5, 1e-9);
    EXPECT_NEAR(r.midY(), 5, 1e-9);
}

struct SizeCase {
    Size size, bound, fit, fill;
    friend void PrintTo(const SizeCase& c, std::ostream* os) {
        *os << c.size.width << "x" << c.size.height << " in " << c.bound.width << "x" << c.bound.height;
    }
};

class AspectSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(AspectSizes, FitAndFill) {
    const SizeCase c = GetParam();
    EXPECT_EQ(aspectFitSize(c.size, c.bound), c.fit);
    EXPECT_EQ(aspectFillSize(c.size, c.bound), c.fill);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AspectSizes,
    ::testing::Values(SizeCase{{200, 100}, {50, 50}, {50, 25}, {100, 50}},
                      SizeCase{{100, 200}, {50, 50}, {25, 50}, {50, 100}},
                      SizeCase{{10, 10}, {400, 400}, {400, 400}, {400, 400}},  // scales up; ties take height
                      SizeCase{{0, 0}, {400, 400}, {0, 0}, {0, 0}},
                      SizeCase{{10, 20}, {0, 0}, {0, 0}, {0, 0}},
                      // Degenerate: one zero side gives finite sizes, never NaN.
                      SizeCase{{0, 10}, {50, 50}, {0, 50}, {50, 0}},
                      SizeCase{{10, 0}, {50, 0}, {0, 0}, {0, 0}},
                      SizeCase{{10, 0}, {0, 50}, {0, 0}, {0, 50}}));

TEST(AspectSizes, NeverNaN) {
    const double values[] = {0, 1, 7, 1e308, kInf, kNaN};
    for (double w : values)
        for (double h : values)
            for (double bw : values)
                for (double bh : values) {
                    const Size fit = aspectFitSize(Size(w, h), Size(bw, bh));
                    const Size fill = aspectFillSize(Size(w, h), Size(bw, bh));
                    ASSERT_TRUE(std::isfinite(fit.width) && std::isfinite(fit.height)) << w << " " << h << " " << bw << " " << bh;
                    ASSERT_TRUE(std::isfinite(fill.width) && std::isfinite(fill.height)) << w << " " << h << " " << bw << " " << bh;
                }
}

TEST(CompareSizeToSize, WiderOrTallerIsOne) {
    EXPECT_EQ(compareSizeToSize(Size(400, 300), Size(400, 400)), -1);
    EXPECT_EQ(compareSizeToSize(Size(401, 10), Size(400, 400)), 1);
    EXPECT_EQ(compareSizeToSize(Size(10, 401), Size(400, 400)), 1);
}

TEST(AspectFitRect, CentresInBoundAndHandlesZeroSides) {
    EXPECT_EQ(aspectFitRect(Rect(7, 7, 200, 100), Rect(10, 20, 100, 100)), Rect(10, 45, 100, 50));
    EXPECT_EQ(aspectFitRect(Rect(0, 0, 0, 0), Rect(0, 0, 100, 50)), Rect(50, 25, 0, 0));
    const Rect thin = aspectFitRect(Rect(0, 0, 0, 10), Rect(0, 0, 100, 50));
    EXPECT_EQ(thin, Rect(50, 0, 0, 50));
}

TEST(RoundRectComponents, HalvesGoToEvenAndSinglePrecisionIsUsed) {
    EXPECT_EQ(roundRectComponents(Rect(2.5, 3.5, -2.5, 0.4999)), Rect(2, 4, -2, 0));
    // 0.49999999 is 0.5 in single precision, which rounds to even 0; 1.49999999 becomes 1.5 -> 2.
    EXPECT_EQ(roundRectComponents(Rect(0.49999999, 1.49999999, 0, 0)), Rect(0, 2, 0, 0));
    // Beyond single precision's range: still a defined whole number.
    EXPECT_EQ(roundRectComponents(Rect(1e300, -1e300, 0, 0)).origin.x, 1e300);
    EXPECT_TRUE(std::isnan(roundRectComponents(Rect(kNaN, 0, 0, 0)).origin.x));
}

TEST(RectForPointsWithMargin, SpansPointsPlusOne) {
    EXPECT_EQ(rectForPointsWithMargin(10, 20, 4, 8), Rect(3, 7, 8, 14));
}

TEST(LineIntersectionPoint, WholeNumbers) {
    EXPECT_EQ(lineIntersectionPoint(Point(0, 0), Point(2, 2), Point(0, 2), Point(2, 0)), Point(1, 1));
    // (0,0)-(3,1) meets x = 2 at y = 2/3: truncated to 0.
    const Point p = lineIntersectionPoint(Point(0, 0), Point(3, 1), Point(2, -5), Point(2, 5));
    EXPECT_EQ(p, Point(2, 0));
    EXPECT_EQ(std::trunc(p.x), p.x);
}

TEST(LineIntersectionPoint, DegenerateInputsAreDefined) {
    // Parallel: infinite quotients saturate; coincident lines: 0/0 gives 0.
    const Point parallel = lineIntersectionPoint(Point(0, 0), Point(1, 0), Point(0, 1), Point(1, 1));
    EXPECT_TRUE(std::isfinite(parallel.x) && std::isfinite(parallel.y));
    EXPECT_EQ(lineIntersectionPoint(Point(0, 0), Point(1, 1), Point(2, 2), Point(3, 3)), Point(0, 0));
    // Huge and non-finite coordinates.
    const Point huge = lineIntersectionPoint(Point(1e300, 0), Point(0, 1e300), Point(kInf, 1), Point(kNaN, 2));
    EXPECT_TRUE(std::isfinite(huge.x) && std::isfinite(huge.y));
    EXPECT_LE(std::fabs(huge.x), 2147483648.0);
}

TEST(SegmentsIntersect, Cases) {
    EXPECT_TRUE(segmentsIntersect(Point(0, 0), Point(2, 2), Point(0, 2), Point(2, 0)));
    EXPECT_FALSE(segmentsIntersect(Point(0, 0), Point(1, 1), Point(3, 0), Point(3, 5)));
    // Collinear segments always answer yes, even when disjoint.
    EXPECT_TRUE(segmentsIntersect(Point(0, 0), Point(1, 0), Point(5, 0), Point(6, 0)));
    // Crossing lines whose crossing lies outside the first segment.
    EXPECT_FALSE(segmentsIntersect(Point(0, 0), Point(1, 1), Point(0, 10), Point(10, 0)));
    // Non-finite coordinates give a defined answer: a segment with an end that is not a number meets none.
    EXPECT_FALSE(segmentsIntersect(Point(kNaN, 0), Point(kInf, 1), Point(-kInf, 2), Point(1e300, 3)));
    EXPECT_FALSE(segmentsIntersect(Point(0, 0), Point(2, 2), Point(kNaN, 2), Point(2, 0)));
}

TEST(ProjectPointToRectEdge, MovesAlongRayBeyondEdge) {
    const Rect r(0, 0, 100, 50);  // centre (50, 25), half extents + 1 = (51, 26)
    // Closer to the right edge than to the top: goes to the vertical edge.
    expectPointNear(projectPointToRectEdge(Point(90, 30), r), Point(101, 25 + 5.0 * 51 / 40));
    // Closer to the top: goes to the horizontal edge.
    expectPointNear(projectPointToRectEdge(Point(60, 45), r), Point(50 + 10.0 * 26 / 20, 51));
    // Lower-left quadrant.
    expectPointNear(projectPointToRectEdge(Point(10, 20), r), Point(-1, 25 - 5.0 * 51 / 40));
}

TEST(ProjectPointToRectEdge, OutsideAndMaximumEdgesAreUnchanged) {
    const Rect r(0, 0, 100, 50);
    EXPECT_EQ(projectPointToRectEdge(Point(150, 10), r), Point(150, 10));
    EXPECT_EQ(projectPointToRectEdge(Point(100, 10), r), Point(100, 10));
    EXPECT_EQ(projectPointToRectEdge(Point(10, 50), r), Point(10, 50));
}

TEST(ProjectPointToRectEdge, AxisPointsAndCentreAreDefined) {
    const Rect r(0, 0, 20, 100);  // tall: from the centre line the top is far away
    expectPointNear(projectPointToRectEdge(Point(10, 60), r), Point(10, 101));
    expectPointNear(projectPointToRectEdge(Point(15, 50), r), Point(21, 50));
    expectPointNear(projectPointToRectEdge(Point(10, 50), r), Point(10, 101));
}

TEST(CubicCurves, EndPointsAndHandleRoundTrip) {
    EXPECT_EQ(cubicBezierValue(3, 9, 100, -50, 0), 3);
    EXPECT_EQ(cubicBezierValue(3, 9, 100, -50, 1), 9);
    EXPECT_NEAR(cubicBezierValue(0, 1, 0, 1, 0.5), 0.5, 1e-7);
    EXPECT_NEAR(curvePointAtHandleParam(0, 0, 1), 0.443904, 1e-6);
    EXPECT_NEAR(curvePointAtHandleParam(1, 0, 0), 0.241664, 1e-6);
    EXPECT_NEAR(curvePointAtHandleParam(0, 1, 0), 0.314432, 1e-6);
    for (double p : {-40.0, 0.0, 12.5, 300.0}) {
        const double h = curveHandleThroughPoint(10, 200, p);
        EXPECT_NEAR(curvePointAtHandleParam(10, 200, h), p, 1e-9);
    }
    // The one-handle curve is the cubic with controls (start, handle) at t = 0.68.
    EXPECT_NEAR(curvePointAtHandleParam(10, 200, 77), cubicBezierValue(10, 200, 10, 77, 0.68), 1e-5);
}

TEST(SplitCubicBezier, ControlPointsOfBothHalves) {
    const QStringList parts = splitCubicBezier(Point(0, 0), Point(3, 0), Point(1, 0), Point(2, 0), 0.5);
    EXPECT_EQ(parts, QStringList({"{0.5, 0}", "{1, 0}", "{2, 0}", "{2.5, 0}"}));
    const QStringList quarter = splitCubicBezier(Point(0, 0), Point(4, 8), Point(0, 4), Point(4, 4), 0.25);
    ASSERT_EQ(quarter.size(), 4);
    EXPECT_EQ(kx::pointFromString(quarter[0]), Point(0, 1));
    EXPECT_EQ(kx::pointFromString(quarter[3]), Point(4, 5));
}
