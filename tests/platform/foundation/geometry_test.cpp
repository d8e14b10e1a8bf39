#include "platform/foundation/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kx;

TEST(Rect, EdgesAreReadStandardised) {
    const Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
}

TEST(Rect, ContainsMinimumEdgesButNotMaximumEdges) {
    const Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(Point(0, 0)));
    EXPECT_TRUE(r.contains(Point(9.999, 9.999)));
    EXPECT_FALSE(r.contains(Point(10, 5)));
    EXPECT_FALSE(r.contains(Point(5, 10)));
    EXPECT_FALSE(Rect::null().contains(Point(0, 0)));
}

TEST(Rect, IntersectionOfDisjointRectanglesIsNullAndUnionIgnoresNull) {
    const Rect a(0, 0, 10, 10), b(20, 20, 5, 5);
    EXPECT_TRUE(a.intersected(b).isNull());
    EXPECT_FALSE(a.intersects(b));
    EXPECT_EQ(a.intersected(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_EQ(Rect::null().united(b), b);
    EXPECT_EQ(a.united(b), Rect(0, 0, 25, 25));
}

TEST(AffineTransform, PrependedOperationsApplyFirst) {
    // Translate then rotate a quarter turn: the translation acts on the point first.
    const AffineTransform t = AffineTransform::makeRotation(M_PI / 2).translated(10, 0);
    const Point p = t.apply(Point(0, 0));
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 10, 1e-12);
}

TEST(AffineTransform, InverseUndoesTheTransformAndSingularStaysUnchanged) {
    const AffineTransform t = AffineTransform().translated(3, 4).scaled(2, 5).rotated(0.3);
    const Point p = t.inverted().apply(t.apply(Point(7, -2)));
    EXPECT_NEAR(p.x, 7, 1e-12);
    EXPECT_NEAR(p.y, -2, 1e-12);
    const AffineTransform singular = AffineTransform::makeScale(0, 1);
    EXPECT_FALSE(singular.isInvertible());
    EXPECT_EQ(singular.inverted(), singular);
}

TEST(AffineTransform, RectangleMapsToBoundingBox) {
    const Rect r = AffineTransform::makeRotation(M_PI / 4).apply(Rect(-1, -1, 2, 2));
    EXPECT_NEAR(r.width(), 2 * std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(r.midX(), 0, 1e-12);
}

TEST(GeometryStrings, RoundTripAndLenientParsing) {
    EXPECT_EQ(stringFromPoint(Point(1.5, -2)), "{1.5, -2}");
    EXPECT_EQ(stringFromRect(Rect(1, 2, 3, 4.25)), "{{1, 2}, {3, 4.25}}");
    const Rect r(0.1, 1e-7, 12345.678, -3);
    EXPECT_EQ(rectFromString(stringFromRect(r)), r);
    EXPECT_EQ(pointFromString("{7}"), Point(7, 0));
    EXPECT_EQ(rectFromString("garbage"), Rect());
}

// A field that is not a finite number reads the whole value as zero; the later numbers never move into
// earlier fields.
TEST(GeometryStrings, FieldsThatDoNotParseNeverShiftTheOthers) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(pointFromString(stringFromPoint(Point(inf, 3))), Point());
    EXPECT_EQ(pointFromString(stringFromPoint(Point(3, nan))), Point());
    EXPECT_EQ(rectFromString(stringFromRect(Rect(1, nan, 3, 4))), Rect());
    EXPECT_EQ(sizeFromString(stringFromSize(Size(-inf, 2))), Size());
    for (const char* text : {"{inf, 3}", "{1e999, 3}", "{x, 3}", "{1, 2, 3}", "{, 3}", "{1 2, 3}"})
        EXPECT_EQ(pointFromString(QString::fromLatin1(text)), Point()) << text;
    for (const char* text : {"{{inf, 2}, {3, 4}}", "{{1, 2}, {nan, 4}}", "{{1, 2}, {3, 4}, {5, 6}}"})
        EXPECT_EQ(rectFromString(QString::fromLatin1(text)), Rect()) << text;
    EXPECT_EQ(rectFromString("{{1, 2}, {3}}"), Rect(1, 2, 3, 0));
    EXPECT_EQ(pointFromString(" { -.5 , +2e1 } "), Point(-0.5, 20));
    EXPECT_TRUE(isFiniteGeometry(Rect(1, 2, 3, 4)));
    EXPECT_FALSE(isFiniteGeometry(Rect(1, 2, inf, 4)));
    EXPECT_FALSE(isFiniteGeometry(Point(nan, 0)));
}
