#include "model/background.h"

#include "archive_probe.h"
#include "background_fixture.h"
#include "graphics/color_utilities.h"
#include "graphics/image_cache.h"
#include "observer_recorder.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

class BackgroundTest : public kxtest::FillTest {};

std::int64_t usesOf(const QString& path) {
    const KXCachePtr cache = KXCacheManager::cacheManager().caches().value(path);
    return cache ? cache->refCount() : 0;
}

std::shared_ptr<KXBackground> roundTrip(const KXBackground& fill) {
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(fill));
    return value ? value->objectAs<KXBackground>() : nullptr;
}

void expectSameFill(const KXBackground& a, const KXBackground& b) {
    EXPECT_EQ(a.fillType(), b.fillType());
    EXPECT_EQ(a.colorType(), b.colorType());
    EXPECT_EQ(a.imageType(), b.imageType());
    EXPECT_EQ(a.gradientType(), b.gradientType());
    EXPECT_EQ(a.fillAngle(), b.fillAngle());
    EXPECT_EQ(a.imageScale(), b.imageScale());
    EXPECT_EQ(a.t_color1(), b.t_color1());
    EXPECT_EQ(a.t_color2(), b.t_color2());
    EXPECT_EQ(a.imagePath(), b.imagePath());
    EXPECT_EQ(a.customImagePath(), b.customImagePath());
    ASSERT_EQ(a.gradientColorArray().size(), b.gradientColorArray().size());
    for (size_t i = 0; i < a.gradientColorArray().size(); ++i) {
        EXPECT_EQ(rgbaFromCGColor(a.gradientColorArray()[i]), rgbaFromCGColor(b.gradientColorArray()[i]));
        EXPECT_EQ(a.gradientLocations()[i], b.gradientLocations()[i]);
    }
}

TEST_F(BackgroundTest, Defaults) {
    KXBackground fill;
    EXPECT_EQ(fill.fillType(), KXFillTypeColor);
    EXPECT_EQ(fill.colorType(), KXColorTypeSolid);
    EXPECT_EQ(fill.imageType(), KXImageTypeTile);
    EXPECT_EQ(fill.gradientType(), KXGradientTypeLinear);
    EXPECT_EQ(fill.t_color1(), -1);  // opaque white
    EXPECT_EQ(fill.t_color2(), makeRGBA(0, 255, 255, 255));
    EXPECT_DOUBLE_EQ(fill.imageScale(), 1);
    EXPECT_TRUE(fill.imagePath().isNull());
    EXPECT_EQ(fill.customImagePath(), res->resources + QStringLiteral("/bk_custom.png"));
    EXPECT_EQ(fill.customImagePath(), defaultCustomBackgroundPath());
    EXPECT_EQ(fill.gradientColorArray().size(), 2u);
    EXPECT_EQ(fill.gradientLocations()[1], 1);
    EXPECT_EQ(fill.owner(), nullptr);
}

TEST_F(BackgroundTest, AnnouncesItsKeys) {
    auto fill = std::make_shared<KXBackground>();
    kxtest::ObserverRecorder recorder;
    fill->addObserver(&recorder);
    fill->setT_color1(1);
    fill->setT_color2(2);
    fill->setFillType(1);
    fill->setFillAngle(30);
    fill->setColorType(1);
    fill->setImageType(2);
    fill->setImageScale(2);
    fill->setImagePath(res->quadrants);
    fill->setCustomImagePath(res->bands);
    fill->setGradientType(1);
    fill->setAdGradientColorArray({kx::Color::srgb(0, 0, 0, 1)});  // not observed: the page registers it
    EXPECT_EQ(recorder.keys(), fill->announcedKeys());
    EXPECT_EQ(recorder.changes[7].oldValue, kx::Value());  // no image path before
    EXPECT_EQ(recorder.changes[7].newValue, kx::Value(res->quadrants));
    fill->removeObserver(&recorder);
    // Undo puts a value back by key, a missing path included.
    EXPECT_TRUE(fill->setValueForKey("imagePath", kx::Value()));
    EXPECT_TRUE(fill->imagePath().isEmpty());
}

TEST_F(BackgroundTest, SwapColours) {
    KXBackground fill;
    fill.swapColors();
    EXPECT_EQ(fill.t_color1(), makeRGBA(0, 255, 255, 255));
    EXPECT_EQ(fill.t_color2(), -1);
    EXPECT_EQ(rgbaFromCGColor(fill.color1()), fill.t_color1());
}

TEST_F(BackgroundTest, ImagePathsHoldOneCacheUseEach) {
    {
        KXBackground fill;
        fill.setImagePath(res->quadrants);
        EXPECT_EQ(usesOf(res->quadrants), 1);
        fill.setImagePath(res->quadrants);  // the same path again takes nothing more
        EXPECT_EQ(usesOf(res->quadrants), 1);
        const auto copy = fill.copy();
        ASSERT_TRUE(copy);
        EXPECT_EQ(usesOf(res->quadrants), 2);
        fill.setImagePath(res->bands);
        EXPECT_EQ(usesOf(res->quadrants), 1);
        EXPECT_EQ(usesOf(res->bands), 1);
    }
    // Released fills give their uses up, and unused entries leave the cache.
    EXPECT_FALSE(KXCacheManager::cacheManager().caches().contains(res->quadrants));
    EXPECT_FALSE(KXCacheManager::cacheManager().caches().contains(res->bands));
}

TEST_F(BackgroundTest, APathWithoutImageTakesNoUseAndGivesNoneUp) {
    KXCachePtr other = KXCacheManager::cacheManager().cacheWithPath(res->bands);
    ASSERT_TRUE(other);
    other->retainCache();  // someone else's use
    {
        KXBackground fill;
        fill.setImagePath(res->notAnImage);
        EXPECT_FALSE(KXCacheManager::cacheManager().caches().contains(res->notAnImage));
        fill.setImagePath(res->bands);
        EXPECT_EQ(usesOf(res->bands), 2);
    }
    EXPECT_EQ(usesOf(res->bands), 1);
    KXCacheManager::cacheManager().removeCacheWithPath(res->bands);
}

TEST_F(BackgroundTest, SetBackgroundTakesEverythingOver) {
    KXBackground source;
    source.setFillAngle(33);
    source.setFillType(KXFillTypeImage);
    source.setColorType(2);
    source.setImageType(KXImageTypeStretchCrop);
    source.setImageScale(0.5);
    source.setColor1(kx::Color::srgb(0.2, 0.4, 0.6, 1));
    source.setColor2(kx::Color::srgb(0.9, 0.1, 0.1, 0.5));
    source.setImagePath(res->quadrants);
    source.setCustomImagePath(res->bands);
    source.setGradientType(1);
    source.setAdGradientColorArray({kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 1, 0, 1), kx::Color::srgb(0, 0, 1, 1)});
    source.setLocationsArray({0, 0.3, 1, 0, 0, 0, 0, 0});
    auto target = std::make_shared<KXBackground>();
    kxtest::ObserverRecorder recorder;
    target->addObserver(&recorder);
    target->setBackground(&source);
    target->setBackground(nullptr);
    expectSameFill(*target, source);
    EXPECT_EQ(recorder.changes.size(), 10u);
    target->removeObserver(&recorder);
}

TEST_F(BackgroundTest, GradientStopsAreBoundedByTheEightLocations) {
    KXBackground fill;
    std::vector<kx::Color> twelve(12, kx::Color::srgb(0.5, 0.5, 0.5, 1));
    fill.setAdGradientColorArray(twelve);
    EXPECT_EQ(fill.gradientColorArray().size(), 8u);
    EXPECT_EQ(fill.advancedGradient().colors.size(), 8u);
    EXPECT_EQ(fill.advancedGradient().locations.size(), 8u);
    fill.setAdGradientColorArray({});  // ignored
    EXPECT_EQ(fill.gradientColorArray().size(), 8u);
    fill.clearGradientColorArray();
    EXPECT_TRUE(fill.gradientColorArray().empty());
    EXPECT_FALSE(fill.advancedGradient().isValid());
}

TEST_F(BackgroundTest, GradientStopsAreDrawnInTheOrderOfTheirLocations) {
    // A stop added last in the middle, and two stops at one location: drawing gets them by location, the
    // two at one location in their stored order; the stored order stays as it was.
    KXBackground fill;
    const kx::Color red = kx::Color::srgb(1, 0, 0), green = kx::Color::srgb(0, 1, 0), blue = kx::Color::srgb(0, 0, 1),
                    white = kx::Color::srgb(1, 1, 1);
    fill.setAdGradientColorArray({blue, green, red, white});
    fill.setLocationsArray({0, 1, 0.5, 0.5, 0, 0, 0, 0});
    const kx::Gradient gradient = fill.advancedGradient();
    EXPECT_EQ(gradient.locations, (std::vector<double>{0, 0.5, 0.5, 1}));
    ASSERT_EQ(gradient.colors.size(), 4u);
    EXPECT_EQ(gradient.colors[0], blue);
    EXPECT_EQ(gradient.colors[1], red);
    EXPECT_EQ(gradient.colors[2], white);
    EXPECT_EQ(gradient.colors[3], green);
    EXPECT_EQ(fill.gradientColorArray()[1], green);
}

TEST_F(BackgroundTest, ArchiveKeysOfAColourFill) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXBackground fill;
    fill.setFillAngle(12.3);
    fill.setAdGradientColorArray(std::vector<kx::Color>(9, kx::Color::srgb(1, 0, 0, 1)));
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(fill));
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXBackground");
    const std::pair<const char*, const char*> expected[] = {
        {"fillAngle", "real"},        {"fillType", "int"},   {"colorType", "int"},       {"imageType", "int"},
        {"imageScale", "real"},       {"color1", "int"},     {"color2", "int"},          {"customImagePath", "string"},
        {"gradientType", "int"},      {"load adGradient", "bool"}, {"gradientColorCount", "int"},
        {"gradientColor0", "int"},    {"locations0", "real"}, {"gradientColor7", "int"}, {"locations7", "real"},
    };
    for (const auto& [key, kind] : expected)
        EXPECT_EQ(kxtest::kindOf(keys, key), kind) << key;
    EXPECT_EQ(kxtest::kindOf(keys, "magePath"), "missing");  // no image path, no key
    EXPECT_EQ(kxtest::kindOf(keys, "gradientColor8"), "missing");
    EXPECT_EQ(kxtest::valueOf(keys, "gradientColorCount").toInt(), 8);
    EXPECT_EQ(kxtest::valueOf(keys, "load adGradient").toBool(), true);
    EXPECT_DOUBLE_EQ(kxtest::valueOf(keys, "fillAngle").toDouble(), double(12.3f));
    EXPECT_EQ(kxtest::valueOf(keys, "color1").toInteger(), -1);
    EXPECT_EQ(keys.size(), 1 + 11 + 2 * 8);
}

TEST_F(BackgroundTest, ArchiveKeysOfAnImageFill) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXBackground fill;
    fill.setFillType(KXFillTypeImage);
    fill.setImagePath(res->quadrants);
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(fill));
    EXPECT_EQ(kxtest::kindOf(keys, "magePath"), "string");
    EXPECT_EQ(kxtest::valueOf(keys, "magePath").toString(), res->quadrants);
    EXPECT_EQ(kxtest::kindOf(keys, "imagePath"), "missing");
}

TEST_F(BackgroundTest, RoundTripsGiveEqualFills) {
    // Every written key is read back, whatever the kind of fill, so that the settings of the kinds not
    // shown survive copies and saving.
    KXBackground colour;
    colour.setColorType(KXColorTypeAdvancedGradient);
    colour.setGradientType(KXGradientTypeRadial);
    colour.setFillAngle(135);
    colour.setColor1(kx::Color::srgb(0.1, 0.2, 0.3, 0.4));
    colour.setImageType(KXImageTypeStretch);
    colour.setImageScale(0.75);
    colour.setAdGradientColorArray({kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 1, 0, 0.5), kx::Color::srgb(0, 0, 1, 1)});
    colour.setLocationsArray({0, 0.25, 1, 0, 0, 0, 0, 0});
    colour.setImagePath(res->paperJpg);
    auto back = roundTrip(colour);
    ASSERT_TRUE(back);
    expectSameFill(*back, colour);

    KXBackground image;
    image.setFillType(KXFillTypeImage);
    image.setImageType(KXImageTypeTile);
    image.setImageScale(2);
    image.setColor2(kx::Color::srgb(0.5, 0.5, 0, 1));
    image.setColorType(KXColorTypeGradient);
    image.setImagePath(res->paperJpg);
    image.setCustomImagePath(res->bands);
    back = roundTrip(image);
    ASSERT_TRUE(back);
    expectSameFill(*back, image);
    EXPECT_FALSE(back->renderTexture().isNull());

    const auto copy = image.copy();
    ASSERT_TRUE(copy);
    expectSameFill(*copy, image);
}

// Writes whatever keys a test wants under the class name of a fill.
class ForgedFill : public kx::Object, public kx::Coding {
public:
    explicit ForgedFill(std::function<void(kx::KeyedArchiver&)> write) : m_write(std::move(write)) {}
    QString className() const override { return QStringLiteral("KXBackground"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override { m_write(coder); }
    void initWithCoder(kx::KeyedUnarchiver&) override {}

private:
    std::function<void(kx::KeyedArchiver&)> m_write;
};

std::shared_ptr<KXBackground> readForged(std::function<void(kx::KeyedArchiver&)> write) {
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<ForgedFill>(std::move(write)));
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    return value ? value->objectAs<KXBackground>() : nullptr;
}

TEST_F(BackgroundTest, AHundredGradientColoursLoadAsEight) {
    const auto fill = readForged([](kx::KeyedArchiver& c) {
        c.encodeInteger(0, "fillType");
        c.encodeInteger(2, "colorType");
        c.encodeBool(true, "load adGradient");
        c.encodeInteger(100, "gradientColorCount");
        for (int i = 0; i < 100; ++i) {
            c.encodeInt64(makeRGBA(i, 0, 0, 255), QStringLiteral("gradientColor%1").arg(i));
            c.encodeFloat(float(i) / 99, QStringLiteral("locations%1").arg(i));
        }
    });
    ASSERT_TRUE(fill);
    ASSERT_EQ(fill->gradientColorArray().size(), 8u);
    EXPECT_EQ(rgbaFromCGColor(fill->gradientColorArray()[7]), makeRGBA(7, 0, 0, 255));
    EXPECT_FLOAT_EQ(float(fill->gradientLocations()[7]), 7.0f / 99);
    // Drawn with all eight stops: opaque dark reds from black at the start edge to the eighth stop's red,
    // which extends over the rest of the area (the stops end at 7/99 of the way).
    kx::BitmapContext context(30, 30);
    fill->drawInContext(context, kx::Rect(0, 0, 30, 30), 1);
    const QImage image = context.makeImage().qimage();
    int darkest = 255;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const kxtest::Rgba c = kxtest::pixelAt(image, x, y);
            ASSERT_EQ(c.a, 255) << x << ", " << y;
            ASSERT_LE(c.r, 8) << x << ", " << y;
            ASSERT_EQ(c.g + c.b, 0) << x << ", " << y;
            darkest = std::min(darkest, c.r);
        }
    }
    EXPECT_COLOR_NEAR(kxtest::pixelAt(image, 15, 15), (kxtest::Rgba{7, 0, 0, 255}), 1);
    EXPECT_LE(darkest, 3);
}

TEST_F(BackgroundTest, DamagedGradientCountsAndLocations) {
    const auto negative = readForged([](kx::KeyedArchiver& c) {
        c.encodeBool(true, "load adGradient");
        c.encodeInteger(-5, "gradientColorCount");
    });
    ASSERT_TRUE(negative);
    EXPECT_TRUE(negative->gradientColorArray().empty());

    const auto wild = readForged([](kx::KeyedArchiver& c) {
        c.encodeBool(true, "load adGradient");
        c.encodeInteger(3, "gradientColorCount");
        c.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "locations0");
        c.encodeFloat(7, "locations1");
        c.encodeFloat(-2, "locations2");
    });
    ASSERT_TRUE(wild);
    EXPECT_EQ(wild->gradientColorArray().size(), 3u);  // missing colours read as 0: transparent black
    EXPECT_EQ(wild->gradientLocations()[0], 0);
    EXPECT_EQ(wild->gradientLocations()[1], 1);
    EXPECT_EQ(wild->gradientLocations()[2], 0);
}

TEST_F(BackgroundTest, WithoutGradientKeysTheDefaultTwoStopsStay) {
    const auto fill = readForged([](kx::KeyedArchiver& c) { c.encodeInteger(2, "colorType"); });
    ASSERT_TRUE(fill);
    ASSERT_EQ(fill->gradientColorArray().size(), 2u);
    EXPECT_EQ(rgbaFromCGColor(fill->gradientColorArray()[0]), -1);
    EXPECT_EQ(rgbaFromCGColor(fill->gradientColorArray()[1]), makeRGBA(0, 255, 255, 255));
}

TEST_F(BackgroundTest, ThePlaceholderIsFoundAgainInTheRunningApplication) {
    const auto fill = readForged([](kx::KeyedArchiver& c) {
        c.encodeObject(kx::Value(QStringLiteral("/Volumes/Old/App/Contents/Resources/bk_custom.jpg")), "customImagePath");
    });
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->customImagePath(), defaultCustomBackgroundPath());
    // A user's own image keeps its stored path.
    const auto own = readForged([](kx::KeyedArchiver& c) {
        c.encodeObject(kx::Value(QStringLiteral("/home/someone/photo.jpg")), "customImagePath");
    });
    ASSERT_TRUE(own);
    EXPECT_EQ(own->customImagePath(), QStringLiteral("/home/someone/photo.jpg"));
}

TEST_F(BackgroundTest, ResourcePathsUnderAFolderNamedLikeOursKeepPointingAtOurs) {
    // Installed and built copies of this application keep their resources in a folder called "resources".
    QTemporaryDir dir;
    const QString ours = dir.path() + QStringLiteral("/build/resources");
    ASSERT_TRUE(QDir().mkpath(ours + QStringLiteral("/Background/Stretch")));
    const QString image = ours + QStringLiteral("/Background/Stretch/sky.jpg");
    QImage q(4, 4, QImage::Format_RGB32);
    q.fill(Qt::cyan);
    ASSERT_TRUE(q.save(image));
    const QString before = kx::Bundle::main().resourcePath();
    kx::Bundle::setMainResourcePath(ours);

    EXPECT_EQ(KXBackground::resolveStoredImagePath(image), image);  // our own path survives a copy
    EXPECT_EQ(KXBackground::resolveStoredImagePath(QStringLiteral("/usr/share/kollage/resources/Background/Stretch/sky.png")),
              image);  // another installation's path comes to ours
    EXPECT_TRUE(KXBackground::resolveStoredImagePath(ours + QStringLiteral("/../outside.jpg")).isEmpty());
    EXPECT_TRUE(KXBackground::resolveStoredImagePath(QStringLiteral("/elsewhere/sky.jpg")).isEmpty());

    kx::Bundle::setMainResourcePath(before);
}

TEST_F(BackgroundTest, StoredResourcePathsArePointedAtThisApplication) {
    EXPECT_EQ(KXBackground::resolveStoredImagePath(
                  QStringLiteral("/Applications/Old.app/Contents/Resources/Backgrounds/Paper/p1.png")),
              res->paperJpg);  // "jpg" is tried before "png"
    EXPECT_EQ(KXBackground::resolveStoredImagePath(QStringLiteral("/x/Resources/y/Resources/quadrants.tiff")),
              res->quadrants);
    // Content-pack images stay where they are.
    const QString pack = QStringLiteral("/home/u/.cache/app/Caches/x/Boxes/Pack/Background/a.jpg");
    EXPECT_EQ(KXBackground::resolveStoredImagePath(pack), pack);
    EXPECT_TRUE(KXBackground::resolveStoredImagePath(QStringLiteral("/a/Caches/Boxes/../../../outside.png")).isEmpty());
    EXPECT_TRUE(KXBackground::resolveStoredImagePath(QString()).isEmpty());
    EXPECT_TRUE(KXBackground::resolveStoredImagePath(QStringLiteral("/x/Resources/Backgrounds/none.png")).isEmpty());
    // No stored path leads out of the resource folder, although the file exists there.
    for (const char* stored : {"/x/Resources/../outside.png", "/x/Resources/Backgrounds/../../outside.png",
                               "/x/Resources/./../outside"}) {
        EXPECT_TRUE(KXBackground::resolveStoredImagePath(QString::fromUtf8(stored)).isEmpty()) << stored;
    }
    const auto fill = readForged([](kx::KeyedArchiver& c) {
        c.encodeInteger(1, "fillType");
        c.encodeObject(kx::Value(QStringLiteral("C:/Old/Resources/Backgrounds/Paper/p1.jpng")), "magePath");
    });
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->imagePath(), res->paperJpg);
    // A resource image found nowhere keeps its stored path, so that it can still be looked up by name and
    // a later save does not lose it.
    const auto lost = readForged([](kx::KeyedArchiver& c) {
        c.encodeInteger(1, "fillType");
        c.encodeObject(kx::Value(QStringLiteral("/Old/Resources/Backgrounds/Gone/none.png")), "magePath");
    });
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->imagePath(), QStringLiteral("/Old/Resources/Backgrounds/Gone/none.png"));
}

}  // namespace
