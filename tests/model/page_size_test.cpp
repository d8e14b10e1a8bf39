#include "model/page_size.h"

#include "archive_probe.h"
#include "model/column_info.h"
#include "observer_recorder.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class PageSizeTest : public ::testing::Test {
protected:
    void SetUp() override { registerPageSizeClasses(); }
};

std::shared_ptr<KXSize> a4() {
    auto size = KXSize::sizeWithWith(210, 297, KXSizeUnitMillimeter, 300);
    size->setDesc(QStringLiteral("A4: 210 X 297 mm"));
    return size;
}

TEST_F(PageSizeTest, OrientationComesFromTheSidesAndASquareIsLandscape) {
    struct Case {
        double width, height;
        bool landscape;
    };
    for (const Case& c : {Case{640, 960, false}, Case{851, 315, true}, Case{640, 640, true}, Case{0, 0, true}}) {
        const auto size = KXSize::sizeWithWith(c.width, c.height, KXSizeUnitPixel, 300);
        EXPECT_EQ(size->isLandscape(), c.landscape) << c.width << " x " << c.height;
        EXPECT_EQ(size->width(), c.width);
        EXPECT_EQ(size->height(), c.height);
    }
}

TEST_F(PageSizeTest, PixelSizeConvertsEachUnitInTheStoredOrder) {
    struct Case {
        double width, height;
        std::int64_t unit, dpi;
        double pixelWidth, pixelHeight;
    };
    const Case cases[] = {
        {210, 297, KXSizeUnitMillimeter, 300, 2480.3149514, 3507.8740027},
        {21, 29.7, KXSizeUnitCentimeter, 300, 2480.3149044, 3507.8739363},
        {8.5, 11, KXSizeUnitInch, 300, 2550, 3300},
        {640, 960, KXSizeUnitPixel, 300, 640, 960},
        {640, 960, 7, 300, 640, 960},   // an unknown unit is pixels
        {640, 960, -1, 300, 640, 960},  // so is a negative one
    };
    for (const Case& c : cases) {
        KXSize size(c.width, c.height, c.unit, c.dpi);
        const kx::Size pixels = size.pixelSize();
        EXPECT_NEAR(pixels.width, c.pixelWidth, 1e-5) << c.unit;
        EXPECT_NEAR(pixels.height, c.pixelHeight, 1e-5) << c.unit;
        // Sides stored against the flag (which the setters leave alone) stay in their order in pixels.
        const bool landscape = size.isLandscape();
        size.setWidth(c.height);
        size.setHeight(c.width);
        ASSERT_EQ(size.isLandscape(), landscape);
        const kx::Size swapped = size.pixelSize();
        EXPECT_NEAR(swapped.width, c.pixelHeight, 1e-5) << c.unit;
        EXPECT_NEAR(swapped.height, c.pixelWidth, 1e-5) << c.unit;
    }
    KXSize againstFlag(297, 210, KXSizeUnitMillimeter, 300);
    againstFlag.setWidth(210);
    againstFlag.setHeight(297);  // still flagged landscape
    EXPECT_NEAR(againstFlag.pixelSize().width, 2480.31, 0.01);
}

TEST_F(PageSizeTest, SizeWithUnitConvertsAndOrdersByTheFlag) {
    struct Case {
        double width, height;
        std::int64_t unit;
        std::int64_t target;
        double expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {210, 297, KXSizeUnitMillimeter, KXSizeUnitInch, 8.2677, 11.6929},
        {210, 297, KXSizeUnitMillimeter, KXSizeUnitMillimeter, 210, 297},
        {210, 297, KXSizeUnitMillimeter, KXSizeUnitCentimeter, 21, 29.7},
        {210, 297, KXSizeUnitMillimeter, KXSizeUnitPixel, 2480.3150, 3507.8742},
        {210, 297, KXSizeUnitMillimeter, 9, 2480.3150, 3507.8742},
        {8, 6, KXSizeUnitInch, KXSizeUnitMillimeter, 203.2, 152.4},
        {1136, 640, KXSizeUnitPixel, KXSizeUnitInch, 3.7867, 2.1333},
        {12, 12, KXSizeUnitInch, KXSizeUnitInch, 12, 12},
    };
    for (const Case& c : cases) {
        const KXSize size(c.width, c.height, c.unit, 300);
        const kx::Size converted = size.sizeWithUnit(c.target);
        EXPECT_NEAR(converted.width, c.expectedWidth, 1e-3) << c.width << " unit " << c.unit << " -> " << c.target;
        EXPECT_NEAR(converted.height, c.expectedHeight, 1e-3) << c.width << " unit " << c.unit << " -> " << c.target;
    }
    // Sides stored against the flag come back in the flag's order.
    KXSize portrait(210, 297, KXSizeUnitMillimeter, 300);
    portrait.setWidth(297);
    portrait.setHeight(210);
    const kx::Size ordered = portrait.sizeWithUnit(KXSizeUnitMillimeter);
    EXPECT_LT(ordered.width, ordered.height);
}

TEST_F(PageSizeTest, SetLandscapeSwapsOnceAndAnnouncesOnlyTheFlag) {
    auto size = std::make_shared<KXSize>(210, 297, KXSizeUnitMillimeter, 300);
    kxtest::ObserverRecorder recorder;
    size->addObserver(&recorder);
    size->setLandscape(true);
    EXPECT_EQ(size->width(), 297);
    EXPECT_EQ(size->height(), 210);
    size->setLandscape(true);
    EXPECT_EQ(size->width(), 297);
    ASSERT_EQ(recorder.keys(), QStringList{"isLandscape"});
    EXPECT_EQ(recorder.changes[0].oldValue, kx::Value(false));
    // Putting the old value back by key turns the size back.
    EXPECT_TRUE(size->setValueForKey("isLandscape", recorder.changes[0].oldValue));
    EXPECT_FALSE(size->isLandscape());
    EXPECT_EQ(size->width(), 210);
    EXPECT_EQ(size->height(), 297);
    size->removeObserver(&recorder);
    size->setWidth(5);
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(PageSizeTest, AnnouncesLandscapeWidthAndHeight) {
    auto size = std::make_shared<KXSize>(640, 960, KXSizeUnitPixel, 72);
    EXPECT_EQ(size->announcedKeys(), (QStringList{"isLandscape", "width", "height"}));
    kxtest::ObserverRecorder recorder;
    size->addObserver(&recorder);
    size->setWidth(700);
    size->setHeight(900);
    size->setDpi(300);
    size->setDesc(QStringLiteral("x"));
    EXPECT_EQ(recorder.keys(), (QStringList{"width", "height"}));
    EXPECT_EQ(recorder.changes[0].oldValue, kx::Value(640.0));
}

TEST_F(PageSizeTest, SetUnitConvertsTheSidesIntoTheFlagsOrder) {
    const auto held = a4();
    KXSize& size = *held;
    size.setUnit(KXSizeUnitInch);
    EXPECT_EQ(size.unit(), KXSizeUnitInch);
    EXPECT_NEAR(size.width(), 8.2677, 1e-4);
    EXPECT_NEAR(size.height(), 11.6929, 1e-4);
    EXPECT_NEAR(size.pixelSize().width, 2480.31, 0.01);
    size.setUnit(KXSizeUnitPixel);
    EXPECT_NEAR(size.width(), 2480.31, 0.01);
    size.setUnit(KXSizeUnitMillimeter);
    EXPECT_NEAR(size.width(), 210, 1e-3);
    EXPECT_NEAR(size.height(), 297, 1e-3);
}

TEST_F(PageSizeTest, SetSizeTakesOverDimensionsUnitAndDpiButKeepsOrientationAndDescription) {
    // Millimetres go to pixels through a double factor and back through a single-precision one, so the
    // numbers come back a few millionths short.
    const auto entry = a4();
    KXSize page(2480, 3508, KXSizeUnitPixel, 72);
    page.setDesc(QStringLiteral("mine"));
    page.setSize(entry.get());
    EXPECT_EQ(page.unit(), KXSizeUnitMillimeter);
    EXPECT_EQ(page.dpi(), 300);
    EXPECT_FALSE(page.isLandscape());
    EXPECT_NEAR(page.width(), 210, 1e-4);
    EXPECT_NEAR(page.height(), 297, 1e-4);
    EXPECT_NEAR(page.pixelSize().width, 2480.31, 0.01);
    EXPECT_NEAR(page.pixelSize().height, 3507.87, 0.01);
    EXPECT_EQ(page.desc(), QStringLiteral("mine"));

    KXSize landscapePage(3508, 2480, KXSizeUnitPixel, 72);
    landscapePage.setSize(entry.get());
    EXPECT_TRUE(landscapePage.isLandscape());
    EXPECT_NEAR(landscapePage.width(), 297, 1e-4);
    EXPECT_NEAR(landscapePage.height(), 210, 1e-4);

    landscapePage.setSize(nullptr);
    EXPECT_NEAR(landscapePage.width(), 297, 1e-4);
    landscapePage.setSize(&landscapePage);
    EXPECT_NEAR(landscapePage.width(), 297, 1e-4);
}

TEST_F(PageSizeTest, EqualityAllowsOnePixelAndOptionallyATurn) {
    const auto entry = a4();
    struct Case {
        double width, height;
        std::int64_t unit, dpi;
        bool equal, equalIgnoringOrientation;
    };
    const Case cases[] = {
        {2481, 3508, KXSizeUnitPixel, 72, true, true},
        {2481, 3508, KXSizeUnitPixel, 600, true, true},
        {3508, 2481, KXSizeUnitPixel, 72, false, true},
        {2479.5, 3506.9, KXSizeUnitPixel, 72, true, true},
        {2478, 3508, KXSizeUnitPixel, 72, false, false},
        {2481.4, 3508, KXSizeUnitPixel, 72, false, false},
        {8.2677, 11.6929, KXSizeUnitInch, 300, true, true},
        {210, 297, KXSizeUnitMillimeter, 150, false, false},
    };
    for (const Case& c : cases) {
        const KXSize size(c.width, c.height, c.unit, c.dpi);
        EXPECT_EQ(size.isEqualToPagesize(entry.get(), false), c.equal) << c.width << " x " << c.height;
        EXPECT_EQ(size.isEqualToPagesize(entry.get(), true), c.equalIgnoringOrientation)
            << c.width << " x " << c.height;
    }
    EXPECT_FALSE(entry->isEqualToPagesize(nullptr, true));
}

TEST_F(PageSizeTest, ArchiveKeysAsPlistlibReadsThem) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXSize size(3.87, 6.5, KXSizeUnitInch, 300);
    size.setDesc(QStringLiteral("Envelope 3.87\" X 6.50\""));
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(size));
    EXPECT_EQ(kxtest::kindOf(keys, "$class"), "$class");
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXSize"));
    EXPECT_EQ(kxtest::kindOf(keys, "dpi"), "int");
    EXPECT_EQ(kxtest::valueOf(keys, "dpi").toInt(), 300);
    EXPECT_EQ(kxtest::kindOf(keys, "widthValue"), "real");
    EXPECT_EQ(kxtest::kindOf(keys, "heightValue"), "real");
    EXPECT_EQ(kxtest::kindOf(keys, "description"), "string");
    EXPECT_EQ(kxtest::valueOf(keys, "description").toString(), size.desc());
    EXPECT_EQ(kxtest::kindOf(keys, "isLandscape"), "bool");
    EXPECT_EQ(kxtest::kindOf(keys, "unit"), "int");
    EXPECT_EQ(kxtest::valueOf(keys, "unit").toInt(), KXSizeUnitInch);
    EXPECT_EQ(keys.size(), 7);
}

TEST_F(PageSizeTest, ArchiveRoundTripAndCopyCarrySinglePrecision) {
    KXSize size(3.87, 6.5, KXSizeUnitInch, 300);
    size.setDesc(QStringLiteral("Envelope"));
    size.setLandscape(true);
    const auto read = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(size));
    ASSERT_TRUE(read.has_value());
    const auto back = read->objectAs<KXSize>();
    ASSERT_TRUE(back);
    const auto copy = size.copy();
    ASSERT_TRUE(copy);
    for (const KXSize* s : {back.get(), copy.get()}) {
        EXPECT_EQ(s->width(), double(6.5f));
        EXPECT_EQ(s->height(), double(3.87f));
        EXPECT_NE(s->height(), 3.87);
        EXPECT_TRUE(s->isLandscape());
        EXPECT_EQ(s->unit(), KXSizeUnitInch);
        EXPECT_EQ(s->dpi(), 300);
        EXPECT_EQ(s->desc(), QStringLiteral("Envelope"));
    }
    EXPECT_NE(copy.get(), &size);
}

// Writes a page size whose sides are given as they are, as a damaged file might hold them.
class RawSize : public kx::Object, public kx::Coding {
public:
    RawSize(float width, std::int64_t dpi) : m_width(width), m_dpi(dpi) {}
    QString className() const override { return QStringLiteral("KXSize"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        coder.encodeInteger(m_dpi, QStringLiteral("dpi"));
        coder.encodeFloat(m_width, QStringLiteral("widthValue"));
        coder.encodeFloat(100, QStringLiteral("heightValue"));
    }
    void initWithCoder(kx::KeyedUnarchiver&) override {}

private:
    float m_width;
    std::int64_t m_dpi;
};

TEST_F(PageSizeTest, DamagedArchivesAreRefused) {
    struct Case {
        float width;
        std::int64_t dpi;
        bool readable;
    };
    const Case cases[] = {
        {50, 300, true},
        {float(kNaN), 300, false},
        {float(kInf), 300, false},
        {50, std::int64_t(1) << 40, false},  // a resolution beyond 32 bits
    };
    for (const Case& c : cases) {
        QString error;
        const auto read = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(RawSize(c.width, c.dpi)),
                                                                      &error);
        EXPECT_EQ(read.has_value(), c.readable) << c.width << " " << error.toStdString();
    }
}

// Whatever resolution a size takes, its archive reads back: one beyond 32 bits is never taken.
TEST_F(PageSizeTest, ResolutionsBeyondWhatArchivesHoldAreRefused) {
    const std::int64_t limits[] = {std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min()};
    for (const std::int64_t dpi : limits) {
        KXSize size(10, 20, KXSizeUnitInch, 300);
        size.setDpi(dpi);
        EXPECT_EQ(size.dpi(), dpi);
        const auto copy = size.copy();
        ASSERT_TRUE(copy) << dpi;
        EXPECT_EQ(copy->dpi(), dpi);
    }
    for (const std::int64_t dpi : {std::int64_t(1) << 40, std::int64_t(limits[0]) + 1, std::int64_t(limits[1]) - 1}) {
        KXSize size(10, 20, KXSizeUnitInch, 300);
        size.setDpi(dpi);
        EXPECT_TRUE(size.setValueForKey(QStringLiteral("dpi"), kx::Value(dpi)));
        EXPECT_EQ(size.dpi(), 300) << dpi;
        EXPECT_TRUE(size.copy()) << dpi;
        EXPECT_EQ(KXSize(10, 20, KXSizeUnitInch, dpi).dpi(), 0) << dpi;
    }
}

TEST_F(PageSizeTest, NoSideOrConversionBecomesNaNOrInfinite) {
    // Sides that are not numbers are refused by the setters and taken as zero by the constructor.
    KXSize size(kNaN, kInf, KXSizeUnitMillimeter, 300);
    EXPECT_EQ(size.width(), 0);
    EXPECT_EQ(size.height(), 0);
    size.setWidth(100);
    size.setWidth(kNaN);
    size.setHeight(-kInf);
    EXPECT_EQ(size.width(), 100);
    EXPECT_EQ(size.height(), 0);
    // Sides beyond single precision archive at its limit and still compare.
    KXSize huge(1e300, 1, KXSizeUnitPixel, 72);
    EXPECT_FALSE(huge.isEqualToPagesize(&size, true));
    const auto hugeCopy = huge.copy();
    ASSERT_TRUE(hugeCopy);
    EXPECT_EQ(hugeCopy->width(), double(std::numeric_limits<float>::max()));
    // Without a usable resolution the conversions read the size at 72 dpi instead of dividing by zero.
    for (std::int64_t dpi : {std::int64_t(0), std::int64_t(-300)}) {
        for (std::int64_t unit : {KXSizeUnitMillimeter, KXSizeUnitInch, KXSizeUnitCentimeter}) {
            const KXSize physical(2, 1, unit, dpi);
            const KXSize at72(2, 1, unit, 72);
            EXPECT_EQ(physical.pixelSize(), at72.pixelSize()) << dpi << " " << unit;
            for (std::int64_t target : {KXSizeUnitMillimeter, KXSizeUnitInch, KXSizeUnitCentimeter}) {
                const kx::Size converted = physical.sizeWithUnit(target);
                EXPECT_TRUE(std::isfinite(converted.width) && std::isfinite(converted.height));
                EXPECT_GT(converted.width, 0);
            }
        }
    }
}

TEST_F(PageSizeTest, ColumnInfoArchivesWidthAndGutterAsFloats) {
    const auto info = KXColumnInfo::columnInfoWithWidth(0.3, 0.05);
    EXPECT_EQ(KXColumnInfo().width(), 0);
    EXPECT_EQ(KXColumnInfo().gutter(), 0);
    const auto copy = info->copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->width(), double(0.3f));
    EXPECT_EQ(copy->gutter(), double(0.05f));
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(*info));
    EXPECT_EQ(kxtest::kindOf(keys, "width"), "real");
    EXPECT_EQ(kxtest::kindOf(keys, "gutter"), "real");
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXColumnInfo"));
}

}  // namespace
