#include "model/guide_line.h"
#include "model/model_classes.h"
#include "model/path_point.h"
#include "model/shape_field.h"

#include "archive_probe.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class PointRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelClasses(); }
};

class CountingOwner : public kx::ShapeFieldOwner {
public:
    void setNeedsDisplay() override { ++redraws; }
    int redraws = 0;
};

TEST_F(PointRecordsTest, FieldRedrawsItsOwnerAndCopiesWithoutOne) {
    CountingOwner owner;
    KXShapeField field(&owner);
    EXPECT_EQ(field.owner(), &owner);
    field.setNeedsDisplay();
    EXPECT_EQ(owner.redraws, 1);

    const auto copy = field.copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->owner(), nullptr);
    copy->setNeedsDisplay();  // nothing to redraw, and no crash
    EXPECT_EQ(owner.redraws, 1);

    field.setOwner(nullptr);
    field.setNeedsDisplay();
    EXPECT_EQ(owner.redraws, 1);
}

TEST_F(PointRecordsTest, FieldAnnouncesNothingAndDrawsNothing) {
    auto field = std::make_shared<KXShapeField>();
    struct Silent : kx::KeyObserver {
        void observeValue(const QString&, kx::Observable*, const kx::Value&, const kx::Value&) override {}
    } observer;
    field->addObserver(&observer);
    EXPECT_FALSE(field->hasObservers());
    kx::BitmapContext context(4, 4);
    field->drawInContext(context, kx::Rect(0, 0, 4, 4));
    EXPECT_EQ(context.makeImage().pixelColor(1, 1).alpha(), 0);
}

TEST_F(PointRecordsTest, FieldArchiveHoldsOnlyItsClass) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(KXShapeField()));
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXShapeField");
    EXPECT_EQ(keys.size(), 1);
}

TEST_F(PointRecordsTest, PathPointKeepsItsPointsExactly) {
    KXPathPoint point;
    EXPECT_EQ(point.point1(), kx::Point(0, 0));
    point.setPoint1(kx::Point(0, 0), kx::Point(1, 1), kx::Point(0.3, 0.7));
    const auto copy = point.copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->point1(), kx::Point(0, 0));
    EXPECT_EQ(copy->point2(), kx::Point(1, 1));
    EXPECT_EQ(copy->point3(), kx::Point(0.3, 0.7));
}

// A point without a string form that reads back is refused, so what the path point holds always copies.
TEST_F(PointRecordsTest, PathPointRefusesPointsThatCannotBeArchived) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const kx::Point bad : {kx::Point(inf, 3), kx::Point(3, -inf), kx::Point(nan, 0)}) {
        KXPathPoint point(kx::Point(0.25, 0.5), kx::Point(1, 0), kx::Point(-0.125, 2));
        point.setPoint1(bad);
        point.setPoint2(bad);
        point.setPoint3(bad);
        point.setPoint1(bad, kx::Point(0.5, 0.5), bad);
        EXPECT_EQ(point.point1(), kx::Point(0.25, 0.5));
        EXPECT_EQ(point.point2(), kx::Point(0.5, 0.5));
        EXPECT_EQ(point.point3(), kx::Point(-0.125, 2));
        const auto copy = point.copy();
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->point1(), point.point1());
        EXPECT_EQ(copy->point2(), point.point2());
        EXPECT_EQ(copy->point3(), point.point3());
        EXPECT_EQ(KXPathPoint(bad, bad, kx::Point(1, 1)).point1(), kx::Point(0, 0));
    }
}

TEST_F(PointRecordsTest, PathPointArchiveHoldsThreePointStrings) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXPathPoint point(kx::Point(0.25, 0.5), kx::Point(1, 0), kx::Point(-0.125, 2));
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(point));
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXPathPoint");
    EXPECT_EQ(kxtest::kindOf(keys, "point1"), "string");
    EXPECT_EQ(kxtest::valueOf(keys, "point1").toString(), "{0.25, 0.5}");
    EXPECT_EQ(kxtest::valueOf(keys, "point2").toString(), "{1, 0}");
    EXPECT_EQ(kxtest::valueOf(keys, "point3").toString(), "{-0.125, 2}");
}

class PartialPathPoint : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXPathPoint"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        coder.encodePoint(kx::Point(0.5, 0.5), QStringLiteral("point2"));
    }
    void initWithCoder(kx::KeyedUnarchiver&) override {}
};

TEST_F(PointRecordsTest, MissingPointsReadAsOrigin) {
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(
        kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<PartialPathPoint>()));
    ASSERT_TRUE(value);
    const auto point = value->objectAs<KXPathPoint>();
    ASSERT_TRUE(point);
    EXPECT_EQ(point->point1(), kx::Point(0, 0));
    EXPECT_EQ(point->point2(), kx::Point(0.5, 0.5));
    EXPECT_EQ(point->point3(), kx::Point(0, 0));
}

TEST_F(PointRecordsTest, GuideLines) {
    const KXLine dot(5, 5, 5, 5);
    EXPECT_FALSE(dot.isValid());
    EXPECT_FALSE(dot.isHorizon());

    KXLine horizontal;
    horizontal.setBeginX(0);
    horizontal.setBeginY(3);
    horizontal.setEndX(10);
    horizontal.setEndY(3);
    EXPECT_TRUE(horizontal.isValid());
    EXPECT_TRUE(horizontal.isHorizon());

    const KXLine reversed(10, 3, 0, 3);
    EXPECT_DOUBLE_EQ(reversed.minX(), 0);
    EXPECT_DOUBLE_EQ(reversed.maxX(), 10);
    EXPECT_DOUBLE_EQ(reversed.centerX(), 5);
    EXPECT_DOUBLE_EQ(reversed.minY(), 3);

    const KXLine vertical(2, 8, 2, -4);
    EXPECT_TRUE(vertical.isValid());
    EXPECT_FALSE(vertical.isHorizon());
    EXPECT_DOUBLE_EQ(vertical.minY(), -4);
    EXPECT_DOUBLE_EQ(vertical.maxY(), 8);
    EXPECT_DOUBLE_EQ(vertical.centerY(), 2);

    const KXLine copy(reversed);
    EXPECT_EQ(copy, reversed);
}

}  // namespace
