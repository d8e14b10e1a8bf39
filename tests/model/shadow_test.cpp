#include "model/shadow.h"

#include "archive_probe.h"
#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/model_classes.h"
#include "observer_recorder.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class ShadowTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelClasses(); }
};

std::shared_ptr<KXShadow> roundTrip(const KXShadow& shadow) {
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(shadow));
    return value ? value->objectAs<KXShadow>() : nullptr;
}

TEST_F(ShadowTest, Defaults) {
    KXShadow shadow;
    EXPECT_EQ(shadow.type(), 0u);
    EXPECT_DOUBLE_EQ(shadow.blur(), 5);
    EXPECT_DOUBLE_EQ(shadow.angle(), 30);
    EXPECT_DOUBLE_EQ(shadow.offset(), 5);
    EXPECT_EQ(shadow.t_color(), makeRGBA(0, 0, 0, int(0.6 * 255)));
    EXPECT_EQ(rgbaFromCGColor(shadow.color()), shadow.t_color());
}

TEST_F(ShadowTest, FactoryTakesColourBlurAngleAndOffset) {
    const auto shadow = KXShadow::shadowWithColor(kx::Color::srgb(1, 0, 0, 0.5), 3, 120, 7);
    EXPECT_EQ(shadow->t_color(), makeRGBA(255, 0, 0, 127));
    EXPECT_DOUBLE_EQ(shadow->blur(), 3);
    EXPECT_DOUBLE_EQ(shadow->angle(), 120);
    EXPECT_DOUBLE_EQ(shadow->offset(), 7);
    EXPECT_EQ(shadow->type(), 0u);
}

TEST_F(ShadowTest, AnnouncesColourBlurAngleAndOffset) {
    auto shadow = std::make_shared<KXShadow>();
    kxtest::ObserverRecorder recorder;
    shadow->addObserver(&recorder);
    shadow->setT_color(makeRGBA(1, 1, 1, 1));
    shadow->setBlur(1);
    shadow->setAngle(2);
    shadow->setOffset(3);
    shadow->setType(1);
    EXPECT_EQ(recorder.keys(), (QStringList{"t_color", "blur", "angle", "offset"}));
    shadow->removeObserver(&recorder);
}

TEST_F(ShadowTest, SetShadowAnnouncesOnlyTheColourAndKeepsTheType) {
    auto shadow = std::make_shared<KXShadow>();
    shadow->setType(1);
    const auto other = KXShadow::shadowWithColor(kx::Color::srgb(0, 0, 1, 1), 9, 180, 12);
    kxtest::ObserverRecorder recorder;
    shadow->addObserver(&recorder);
    shadow->setShadow(other.get());
    shadow->setShadow(nullptr);
    EXPECT_EQ(recorder.keys(), QStringList{"t_color"});
    EXPECT_EQ(shadow->t_color(), other->t_color());
    EXPECT_DOUBLE_EQ(shadow->blur(), 9);
    EXPECT_DOUBLE_EQ(shadow->angle(), 180);
    EXPECT_DOUBLE_EQ(shadow->offset(), 12);
    EXPECT_EQ(shadow->type(), 1u);
    shadow->removeObserver(&recorder);
}

TEST_F(ShadowTest, OffsetVector) {
    KXShadow shadow;
    shadow.setOffset(10);
    shadow.setAngle(90);
    const kx::Point straightDown = shadow.offsetWithReference(100);
    EXPECT_NEAR(straightDown.x, 0, 1e-5);
    EXPECT_DOUBLE_EQ(straightDown.y, -10);

    // The default falls right and down in a y-up space.
    KXShadow standard;
    const kx::Point p = standard.offsetWithReference(200);
    EXPECT_NEAR(p.x, 10 * std::cos(kPi / 6), 1e-5);
    EXPECT_NEAR(p.y, -10 * std::sin(kPi / 6), 1e-5);

    // An extra angle turns the vector; a quarter turn from 0 degrees points down.
    shadow.setAngle(0);
    const kx::Point turned = shadow.offsetWithReference(100, kPi / 2);
    EXPECT_NEAR(turned.x, 0, 1e-5);
    EXPECT_NEAR(turned.y, -10, 1e-5);
    // Single precision throughout: the result is a float widened to double.
    EXPECT_EQ(turned.y, double(float(turned.y)));
}

TEST_F(ShadowTest, ArchiveKeepsWholeNumbersOnly) {
    KXShadow shadow;
    shadow.setType(1);
    shadow.setBlur(2.7);
    shadow.setAngle(45.5);
    shadow.setOffset(-3.9);
    const auto back = roundTrip(shadow);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->blur(), 2);
    EXPECT_DOUBLE_EQ(back->angle(), 45);
    EXPECT_DOUBLE_EQ(back->offset(), -3);
    EXPECT_EQ(back->type(), 1u);
    EXPECT_EQ(back->t_color(), shadow.t_color());
    EXPECT_EQ(rgbaFromCGColor(back->color()), shadow.t_color());
}

TEST_F(ShadowTest, ValuesBeyondThirtyTwoBitsSaturate) {
    KXShadow shadow;
    shadow.setBlur(1e12);
    shadow.setAngle(-1e12);
    shadow.setOffset(std::nan(""));
    const auto back = roundTrip(shadow);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->blur(), 2147483647.0);
    EXPECT_DOUBLE_EQ(back->angle(), -2147483648.0);
    EXPECT_DOUBLE_EQ(back->offset(), 0);
}

TEST_F(ShadowTest, ArchiveKeysAsPlistlibSeesThem) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXShadow shadow;
    shadow.setBlur(2.7);
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(shadow));
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXShadow");
    for (const char* key : {"type", "t_color", "blur", "angle", "offset"})
        EXPECT_EQ(kxtest::kindOf(keys, key), "int") << key;
    EXPECT_EQ(keys.size(), 6);
    EXPECT_EQ(kxtest::valueOf(keys, "blur").toInt(), 2);
    EXPECT_EQ(kxtest::valueOf(keys, "angle").toInt(), 30);
}

TEST_F(ShadowTest, CopyIsIndependent) {
    KXShadow shadow;
    shadow.setAngle(200);
    const auto copy = shadow.copy();
    ASSERT_TRUE(copy);
    EXPECT_DOUBLE_EQ(copy->angle(), 200);
    copy->setAngle(10);
    EXPECT_DOUBLE_EQ(shadow.angle(), 200);
}

// An archive of a shadow that holds no keys at all.
class EmptyShadow : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXShadow"); }
    void encodeWithCoder(kx::KeyedArchiver&) const override {}
    void initWithCoder(kx::KeyedUnarchiver&) override {}
};

TEST_F(ShadowTest, MissingKeysReadAsZero) {
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<EmptyShadow>());
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(value);
    const auto shadow = value->objectAs<KXShadow>();
    ASSERT_TRUE(shadow);
    EXPECT_DOUBLE_EQ(shadow->blur(), 0);
    EXPECT_DOUBLE_EQ(shadow->angle(), 0);
    EXPECT_DOUBLE_EQ(shadow->offset(), 0);
    EXPECT_EQ(shadow->t_color(), 0);
}

}  // namespace
