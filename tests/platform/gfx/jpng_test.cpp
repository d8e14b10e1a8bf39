#include "platform/gfx/jpng.h"

#include "platform/foundation/bundle.h"

#include "support/outside_tools.h"
#include "support/pixel_probe.h"
#include "support/run_program.h"
#include "support/qt_message_check.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using kx::Image;

namespace {

// Builds JPNG files from a JPEG and a grey PNG made by ImageMagick, assembled by the fixture script.
class JpngFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("convert").isEmpty() || QStandardPaths::findExecutable("python3").isEmpty())
            return;
        dir = new QTemporaryDir;
        // Colour: left half orange, right half blue; opacity: a top-to-bottom ramp from 0 to 255.
        run("convert", {"-size", "8x12", "xc:#ff8000", "-size", "8x12", "xc:#0040ff", "+append", "-quality", "100",
                        path("colour.jpg")});
        run("convert", {"-size", "16x12", "gradient:black-white", "-colorspace", "Gray", "-depth", "8", "-define",
                        "png:color-type=0", path("ramp.png")});
        run("convert", {"-size", "16x12", "xc:black", "-colorspace", "Gray", "-depth", "8", "-define",
                        "png:color-type=0", path("clear.png")});
        run("convert", {"-size", "16x12", "xc:white", "-colorspace", "Gray", "-depth", "8", "-define",
                        "png:color-type=0", path("solid.png")});
        run("convert", {"-size", "4x3", "gradient:black-white", "-colorspace", "Gray", "-depth", "8", "-define",
                        "png:color-type=0", path("small.png")});
        makeVariants();
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        KX_REQUIRE_TOOLS("convert", "python3");
        ASSERT_TRUE(dir && dir->isValid());
    }
    void TearDown() override { kx::setMainScreenBackingScaleOverride(0); }

    static QString path(const QString& name) { return dir->filePath(name); }

    static void run(const QString& program, const QStringList& arguments) {
        const kxtest::ProgramResult result = kxtest::runProgram(program, arguments);
        ASSERT_TRUE(result.succeeded()) << program.toStdString() << ": " << result.standardError.toStdString();
    }

    // Every JPNG the tests use, built in one run of the fixture script: name, opacity image, footer options.
    struct Variant {
        const char* name;
        const char* png;
        const char* options;
        bool decodes;
    };
    static inline const Variant variants[] = {
        {"plain", "ramp.png", "", true},
        {"clear", "clear.png", "", true},
        {"solid", "solid.png", "", true},
        {"minor 9", "ramp.png", "--minor 9", true},
        {"footer size 99", "ramp.png", "--footer-size 99", true},
        {"major 0", "ramp.png", "--major 0", true},
        {"tag GEPJ", "ramp.png", "--tag GEPJ", true},
        {"major 2", "ramp.png", "--major 2", false},
        {"tag JPNG", "ramp.png", "--tag JPNG", false},
        {"wrong tag", "ramp.png", "--tag GNPX", false},
        {"zero jpeg length", "ramp.png", "--jpeg-length 0", false},
        {"zero png length", "ramp.png", "--png-length 0", false},
        {"png past the data", "ramp.png", "--png-length 100000", false},
        // 0xFFFFFFFF + 0x101 wraps to 0x100 in 32 bits, which would look in range.
        {"lengths overflow 32 bits", "ramp.png", "--jpeg-length 0xFFFFFFFF --png-length 0x101", false},
        {"jpeg length too short", "ramp.png", "--jpeg-length 100", false},
        {"small opacity", "small.png", "", true},
    };
    static QString jpng(const char* variant) { return path(QString::fromLatin1(variant).replace(' ', '_') + ".jpng"); }

    static void makeVariants() {
        QByteArray jobs;
        for (const Variant& v : variants)
            jobs += QStringLiteral("'%1' '%2' '%3' %4\n")
                        .arg(path("colour.jpg"), path(v.png), jpng(v.name), v.options)
                        .toUtf8();
        const kxtest::ProgramResult result =
            kxtest::runProgram("python3", {QStringLiteral(KX_FIXTURES_DIR "/make_jpng.py"), "--batch"}, jobs);
        ASSERT_TRUE(result.succeeded()) << result.standardError.toStdString();
    }

    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static inline QTemporaryDir* dir = nullptr;
};

}  // namespace

TEST_F(JpngFiles, DecodesColourFromTheJpegAndOpacityFromThePng) {
    const QString file = jpng("plain");
    const QImage jpeg(path("colour.jpg"));
    const QImage ramp(path("ramp.png"));
    for (bool forced : {false, true}) {
        const Image image = kx::loadJPNGImageFromFile(file, forced);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), Image::Format::RGBA);
        ASSERT_EQ(image.width(), 16);
        ASSERT_EQ(image.height(), 12);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor got = image.pixelColor(x, y);
                EXPECT_EQ(got.alpha(), qGray(ramp.pixel(x, y))) << x << "," << y;
                if (got.alpha() >= 64) {  // un-premultiplied colour is exact enough where alpha is large
                    const QColor want = jpeg.pixelColor(x, y);
                    EXPECT_NEAR(got.red(), want.red(), 3);
                    EXPECT_NEAR(got.green(), want.green(), 3);
                    EXPECT_NEAR(got.blue(), want.blue(), 3);
                }
            }
        }
    }
}

TEST_F(JpngFiles, AllZeroOpacityIsTransparentAndAll255IsOpaque) {
    const Image clear = kx::loadJPNGImageFromFile(jpng("clear"), true);
    const Image solid = kx::loadJPNGImageFromFile(jpng("solid"), true);
    ASSERT_FALSE(clear.isNull());
    ASSERT_FALSE(solid.isNull());
    const QImage jpeg = QImage(path("colour.jpg")).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(kxtest::maxChannelDifference(solid.qimage(), jpeg), 0);
    for (int y = 0; y < clear.height(); ++y)
        for (int x = 0; x < clear.width(); ++x)
            ASSERT_EQ(clear.pixelColor(x, y).alpha(), 0);
}

TEST_F(JpngFiles, FooterVariants) {
    kxtest::ExpectedQtWarning newerVersion(QStringLiteral("^This version of the JPNG library doesn't support JPNG version 2 files$"));
    kxtest::ExpectedQtWarning noImage(QStringLiteral("JPEG datastream contains no image$"));
    for (const Variant& v : variants) {
        EXPECT_EQ(!kx::loadJPNGImageFromData(read(jpng(v.name)), false).isNull(), v.decodes) << v.name;
        EXPECT_EQ(!kx::loadJPNGImageFromFile(jpng(v.name), true).isNull(), v.decodes) << v.name;
    }
}

TEST_F(JpngFiles, OpacityOfAnotherSizeIsStretchedOverTheImage) {
    const Image image = kx::loadJPNGImageFromFile(jpng("small opacity"), true);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 16);
    EXPECT_EQ(image.height(), 12);
    EXPECT_LT(image.pixelColor(8, 0).alpha(), 64);    // the ramp's dark top row
    EXPECT_GT(image.pixelColor(8, 11).alpha(), 192);  // its light bottom row
}

namespace {
QStringList capturedWarnings;
void captureWarning(QtMsgType, const QMessageLogContext&, const QString& message) { capturedWarnings << message; }
}  // namespace

TEST_F(JpngFiles, UnsupportedVersionIsLogged) {
    const QByteArray data = read(jpng("major 2"));
    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarning);
    const Image image = kx::loadJPNGImageFromData(data, false);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(image.isNull());
    EXPECT_EQ(capturedWarnings, QStringList{"This version of the JPNG library doesn't support JPNG version 2 files"});
}

TEST(Jpng, ShortOrForeignDataIsRejected) {
    QByteArray sixteen(16, '\0');
    sixteen.replace(12, 4, "GNPJ");
    EXPECT_TRUE(kx::loadJPNGImageFromData(sixteen, false).isNull());
    EXPECT_TRUE(kx::loadJPNGImageFromData(QByteArray(), true).isNull());
    EXPECT_TRUE(kx::loadJPNGImageFromData(QByteArray(300, 'x'), true).isNull());
    EXPECT_TRUE(kx::loadJPNGImageFromFile("/nonexistent/a.jpng", true).isNull());
}

TEST_F(JpngFiles, FacadeReadsJpngFromDataAndFiles) {
    const QString file = jpng("plain");
    const Image fromData = Image::fromData(read(file));
    ASSERT_FALSE(fromData.isNull());
    EXPECT_EQ(fromData.pixelColor(0, 0).alpha(), 0);  // transparency survives: the JPNG path was taken
    const Image fromFile = Image::fromFile(file);
    ASSERT_FALSE(fromFile.isNull());
    EXPECT_EQ(fromFile.pointSize(), kx::Size(16, 12));
    // A JPNG the reader refuses is handed to the ordinary decoders, which see a plain JPEG.
    kxtest::ExpectedQtWarning newerVersion(QStringLiteral("^This version of the JPNG library doesn't support JPNG version 2 files$"));
    const Image v2 = Image::fromData(read(jpng("major 2")));
    ASSERT_FALSE(v2.isNull());
    EXPECT_EQ(v2.pixelColor(0, 0).alpha(), 255);
    // Plain formats still load; garbage does not.
    EXPECT_FALSE(Image::fromFile(path("ramp.png")).isNull());
    EXPECT_TRUE(Image::fromFile(path("ramp.png")).isGray());
    EXPECT_TRUE(Image::fromData("not an image").isNull());
}

TEST_F(JpngFiles, ScaledVariantOnTwoXScreens) {
    ASSERT_TRUE(QFile::copy(path("colour.jpg"), path("a.jpg")));
    run("convert", {path("colour.jpg"), "-resize", "32x24!", path("a@2x.jpg")});
    QDir(dir->path()).mkdir("set@2x");
    ASSERT_TRUE(QFile::copy(path("colour.jpg"), path("set@2x/b.jpg")));

    struct Case {
        double screen;
        QString asked, loaded;
        double scale;
    };
    const Case cases[] = {
        {2, "a.jpg", "a@2x.jpg", 2},
        {1, "a.jpg", "a.jpg", 1},
        {2, "set@2x/b.jpg", "set@2x/b.jpg", 1},  // the folder's name does not count
        {1, "missing.jpg", "missing", 1},        // nothing exists: the base alone
        {1, "a", "a", 1},                         // no extension: ".png" assumed, not found
    };
    for (const Case& c : cases) {
        kx::setMainScreenBackingScaleOverride(c.screen);
        QString resolved = path(c.asked);
        double scale = 0;
        kx::resolveScaledImagePath(resolved, scale);
        EXPECT_EQ(resolved, path(c.loaded)) << c.asked.toStdString();
        EXPECT_EQ(scale, c.scale) << c.asked.toStdString();
    }

    kx::setMainScreenBackingScaleOverride(2);
    const Image twoX = Image::fromFile(path("a.jpg"));
    ASSERT_FALSE(twoX.isNull());
    EXPECT_EQ(twoX.width(), 32);
    EXPECT_EQ(twoX.pointSize(), kx::Size(16, 12));
    EXPECT_EQ(Image::fromFile(path("set@2x/b.jpg")).pointSize(), kx::Size(16, 12));
    kx::setMainScreenBackingScaleOverride(1);
    EXPECT_EQ(Image::fromFile(path("a.jpg")).width(), 16);
}

TEST_F(JpngFiles, NamedJpngImagesAreDecodedOnceAndShared) {
    QDir(dir->path()).mkdir("res");
    ASSERT_TRUE(QFile::copy(jpng("plain"), path("res/mask.JPNG")));
    ASSERT_TRUE(QFile::copy(path("colour.jpg"), path("res/photo.jpg")));
    kx::Bundle::setMainResourcePath(path("res"));
    auto& cache = kx::JPNGImageCache::shared();
    cache.clear();

    std::vector<std::thread> threads;
    std::vector<Image> results(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&results, i] { results[i] = Image::named("mask.JPNG"); });
    for (auto& t : threads)
        t.join();
    ASSERT_FALSE(results[0].isNull());
    for (const Image& image : results)
        EXPECT_EQ(image.constBits(), results[0].constBits());  // one decode, shared
    EXPECT_EQ(cache.count(), 1);
    EXPECT_EQ(results[0].pixelColor(0, 0).alpha(), 0);

    EXPECT_FALSE(Image::named("photo.jpg").isNull());
    EXPECT_FALSE(Image::named("photo").isNull());  // found with an image extension added
    EXPECT_TRUE(Image::named("missing.jpng").isNull());
    EXPECT_TRUE(Image::named("../res/photo.jpg").isNull());
    EXPECT_EQ(cache.count(), 1);  // neither other names nor failures touch the cache
    EXPECT_FALSE(cache.contains("missing.jpng"));
    kx::Bundle::setMainResourcePath(QString());
    cache.clear();
}
