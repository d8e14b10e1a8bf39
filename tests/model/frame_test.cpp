#include "archive_probe.h"
#include "graphics/file_utilities.h"
#include "graphics/image_loading.h"
#include "photo_test_support.h"
#include "support/pixel_probe.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"

#include <QFile>

namespace {

using kxtest::PhotoResourcesTest;
using kxtest::Rgba;

class FrameTest : public PhotoResourcesTest {
protected:
    QString frameFile(const QString& relative) const { return res + QStringLiteral("/Frame/") + relative; }
    void writeText(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

// ---- margins ----

TEST_F(FrameTest, MarginsFileLastElementWinsAndMissingAttributesReadZero) {
    const QString path = dir.filePath(QStringLiteral("m.frm"));
    struct Case {
        const char* xml;
        float left, right, top, bottom;
    } cases[] = {
        {R"(<a MarginLeft="1" MarginRight="2" MarginTop="3" MarginBottom="4"/>)", 1, 2, 3, 4},
        {R"(<a><b MarginLeft="1" MarginRight="2" MarginTop="3" MarginBottom="4"/><c MarginTop="9"/></a>)", 0, 0, 9, 0},
        {R"(<a><b MarginLeft="7" MarginRight="7" MarginTop="7" MarginBottom="7"/><c/></a>)", 0, 0, 0, 0},
        {R"(<a MarginLeft="12.9" MarginRight="-3" MarginTop="x" MarginBottom=" 5"/>)", 12, -3, 0, 5},
        {"<a MarginLeft=\"5\" <<< broken", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        writeText(path, c.xml);
        const KXFrameMargin margin(path);
        EXPECT_EQ(margin.left(), c.left) << c.xml;
        EXPECT_EQ(margin.right(), c.right) << c.xml;
        EXPECT_EQ(margin.top(), c.top) << c.xml;
        EXPECT_EQ(margin.bottom(), c.bottom) << c.xml;
        // The bytes read directly give the same margins.
        const auto fromData = KXFrameMargin::marginWithData(c.xml);
        EXPECT_EQ(fromData->left(), c.left) << c.xml;
        EXPECT_EQ(fromData->right(), c.right) << c.xml;
        EXPECT_EQ(fromData->top(), c.top) << c.xml;
        EXPECT_EQ(fromData->bottom(), c.bottom) << c.xml;
    }
    const KXFrameMargin missing(dir.filePath(QStringLiteral("none.frm")));
    EXPECT_EQ(missing.left(), 0);
}

TEST_F(FrameTest, MarginsArchiveAsTruncatedIntegersThatPlistlibReads) {
    KXFrameMargin margin;
    margin.setLeft(12.7f);
    margin.setRight(3.2f);
    margin.setTop(-1.5f);
    margin.setBottom(9);
    const QByteArray archive = kxtest::archiveOf(margin);
    const auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(archive)->objectAs<KXFrameMargin>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->left(), 12);
    EXPECT_EQ(back->right(), 3);
    EXPECT_EQ(back->top(), -1);
    EXPECT_EQ(back->bottom(), 9);
    // Values no integer holds are stored as the nearest that does (0 for no number).
    KXFrameMargin odd;
    odd.setLeft(std::nanf(""));
    odd.setRight(1e20f);
    odd.setTop(-1e20f);
    const auto oddBack =
        kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(odd))->objectAs<KXFrameMargin>();
    ASSERT_TRUE(oddBack);
    EXPECT_EQ(oddBack->left(), 0);
    EXPECT_EQ(oddBack->right(), float(INT32_MAX));
    EXPECT_EQ(oddBack->top(), float(INT32_MIN));
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(archive);
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXFrameMargin"));
    for (const char* key : {"left", "right", "top", "bottom"})
        EXPECT_EQ(kxtest::kindOf(keys, key), "int") << key;
    EXPECT_EQ(kxtest::valueOf(keys, "left").toInt(), 12);
}

// ---- single-image frames: every kind the loader reads ----

TEST_F(FrameTest, SingleImageFrameFindsItsMaskOrItsMargins) {
    // A frame image with a grey mask beside it.
    const auto masked = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/masked.png")));
    EXPECT_EQ(masked->style(), KXFrameStyleSingleImage);
    EXPECT_EQ(masked->frameImage().width(), 20);
    ASSERT_FALSE(masked->frameMaskImage().isNull());
    EXPECT_TRUE(masked->frameMaskImage().isGray());
    EXPECT_FALSE(masked->hasMargin());
    EXPECT_FALSE(masked->margin());

    // A frame image with a margins file beside it.
    const auto margins = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/margins.png")));
    EXPECT_TRUE(margins->frameMaskImage().isNull());
    ASSERT_TRUE(margins->hasMargin());
    ASSERT_TRUE(margins->margin());
    EXPECT_EQ(margins->margin()->left(), 4);
    EXPECT_EQ(margins->margin()->right(), 8);
    EXPECT_EQ(margins->margin()->top(), 2);
    EXPECT_EQ(margins->margin()->bottom(), 6);
}

TEST_F(FrameTest, MaskWinsOverMarginsAndAJpegFrameIsItsOwnMask) {
    // Both a mask and a margins file: the mask, and margins are not looked for.
    QFile::copy(frameFile(QStringLiteral("Simple/margins.frm")), frameFile(QStringLiteral("Simple/masked.frm")));
    const auto both = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/masked.png")));
    EXPECT_FALSE(both->frameMaskImage().isNull());
    EXPECT_FALSE(both->hasMargin());

    const auto jpeg = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/masked.jpg")));
    ASSERT_FALSE(jpeg->frameImage().isNull());
    ASSERT_FALSE(jpeg->frameMaskImage().isNull());
    EXPECT_TRUE(jpeg->frameMaskImage().isGray());
}

TEST_F(FrameTest, MissingFilesLeaveEverythingEmpty) {
    const auto frame = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/none.png")));
    EXPECT_TRUE(frame->frameImage().isNull());
    EXPECT_TRUE(frame->frameMaskImage().isNull());
    EXPECT_FALSE(frame->hasMargin());
}

// ---- expandable frames ----

TEST_F(FrameTest, ExpandableFrameReadsItsDescriptionAndEightPieces) {
    const auto frame = KXFrame::frameWithName(QStringLiteral("/anywhere/Wood.png"), 1);
    EXPECT_EQ(frame->style(), KXFrameStyleExpandable);
    EXPECT_EQ(frame->type(), QStringLiteral("wood"));
    EXPECT_EQ(frame->expansion(), 8);
    EXPECT_EQ(frame->width(), 20);
    for (const kx::Image* piece : {&frame->leftBottomImage(), &frame->leftTopImage(), &frame->rightTopImage(),
                                   &frame->rightBottomImage(), &frame->bottomImage(), &frame->topImage(),
                                   &frame->leftImage(), &frame->rightImage()})
        EXPECT_EQ(piece->width(), 4);
    EXPECT_TRUE(frame->frameImage().isNull());
}

TEST_F(FrameTest, DescriptionValuesBeyondSinglePrecisionReadZero) {
    struct Case {
        const char* width;
        double expected;
    } cases[] = {{"28.5", 28.5}, {"1e300", 0}, {"-1e300", 0}, {"3.4e38", double(3.4e38f)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        KXFrame frame(KXFrameStyleExpandable);
        frame.readDescription(QByteArray("<plist version=\"1.0\"><dict><key>width</key><real>") + c.width +
                              "</real><key>expansion</key><real>" + c.width + "</real></dict></plist>");
        EXPECT_EQ(frame.width(), c.expected);
        EXPECT_EQ(frame.expansion(), c.expected);
    }
}

TEST_F(FrameTest, ExpandablePieceRectangles) {
    const auto frame = KXFrame::frameWithName(QStringLiteral("Wood"), 1);
    const std::array<kx::Rect, 8> r = frame->expandPieceRects({0, 0, 100, 100}, 2);
    // O = (-16, -16, 132, 132), corners 40 x 40.
    EXPECT_EQ(r[0], kx::Rect(-16, -16, 40, 40));   // LB
    EXPECT_EQ(r[1], kx::Rect(-16, 76, 40, 40));    // LT
    EXPECT_EQ(r[2], kx::Rect(76, 76, 40, 40));     // RT
    EXPECT_EQ(r[3], kx::Rect(76, -16, 40, 40));    // RB
    EXPECT_EQ(r[4], kx::Rect(-16, 23, 40, 54));    // left edge
    EXPECT_EQ(r[5], kx::Rect(23, 76, 54, 40));     // top edge
    EXPECT_EQ(r[6], kx::Rect(76, 23, 40, 54));     // right edge
    EXPECT_EQ(r[7], kx::Rect(23, -16, 54, 40));    // bottom edge
}

TEST_F(FrameTest, ExpandableFrameDrawsItsPiecesAroundTheRectangle) {
    const auto frame = KXFrame::frameWithName(QStringLiteral("Wood"), 1);
    kx::BitmapContext context(200, 200);
    frame->drawInContext(context, {50, 50, 100, 100}, 1);  // O = (42, 42, 116, 116), corners 20
    const QImage image = context.makeImage().qimage();
    struct Probe {
        int x, y;
        Rgba colour;
    } probes[] = {
        {45, 45, {255, 0, 0, 255}},     // left-bottom
        {45, 154, {0, 255, 0, 255}},    // left-top
        {154, 154, {0, 0, 255, 255}},   // right-top
        {154, 45, {255, 255, 0, 255}},  // right-bottom
        {100, 45, {255, 0, 255, 255}},  // bottom edge
        {100, 154, {0, 255, 255, 255}}, // top edge
        {45, 100, {128, 0, 0, 255}},    // left edge
        {154, 100, {0, 128, 0, 255}},   // right edge
        {100, 100, {0, 0, 0, 0}},       // the photo's own area stays clear
        {30, 30, {0, 0, 0, 0}},         // outside the expansion
    };
    for (const Probe& p : probes)
        EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, p.x, p.y), p.colour, 3) << p.x << "," << p.y;
}

TEST_F(FrameTest, EmptyOrEscapingNamesLoadAndDrawNothing) {
    const KXFrame empty(KXFrameStyleExpandable);
    kx::BitmapContext context(40, 40);
    empty.drawInContext(context, {5, 5, 30, 30}, 1);
    EXPECT_EQ(kxtest::pixelAtYUp(context.makeImage().qimage(), 20, 20), Rgba{});
    EXPECT_EQ(empty.scale(), 1);
    EXPECT_EQ(empty.width(), 10);

    // ".." would lead out of the frames folder: RES/Frame/../Material holds pieces of its own; "/" would
    // take the frames folder itself for a frame: RES/Frame//Material.
    for (const char* folder : {"/Material", "/Frame/Material"}) {
        ASSERT_TRUE(QDir().mkpath(res + QLatin1String(folder)));
        kxtest::writeImage(res + QLatin1String(folder) + QStringLiteral("/lb.png"), 4, 4);
    }
    for (const char* name : {"/x/..", "/", "///"}) {
        SCOPED_TRACE(name);
        const auto escaping = KXFrame::frameWithName(QLatin1String(name), 1);
        EXPECT_TRUE(escaping->leftBottomImage().isNull());
        EXPECT_TRUE(escaping->folderName().isEmpty());
    }
}

// ---- observation and archive ----

class ScaleObserver : public kx::KeyObserver {
public:
    void observeValue(const QString& key, kx::Observable*, const kx::Value&, const kx::Value&) override {
        keys << key;
    }
    QStringList keys;
};

TEST_F(FrameTest, ScaleIsAnnouncedOnlyWhenItChangesAtSinglePrecision) {
    KXFrame frame(KXFrameStyleExpandable);
    ScaleObserver observer;
    frame.addObserver(&observer);
    frame.addObserver(nullptr);
    frame.setScale(1.0 + 1e-12);
    EXPECT_TRUE(observer.keys.isEmpty());
    frame.setScale(1.5);
    EXPECT_EQ(observer.keys, QStringList{QStringLiteral("scale")});
    frame.removeObserver(&observer);
    frame.setScale(2);
    EXPECT_EQ(observer.keys.size(), 1);
}

TEST_F(FrameTest, ArchiveKeysRoundTripAndScaleThatIsNoNumber) {
    const auto frame = KXFrame::frameWithName(frameFile(QStringLiteral("Simple/margins.png")));
    frame->setScale(1.25);
    const QByteArray archive = kxtest::archiveOf(*frame);
    const auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(archive)->objectAs<KXFrame>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->style(), KXFrameStyleSingleImage);
    EXPECT_EQ(back->scale(), 1.25);
    EXPECT_TRUE(back->hasMargin());  // the name was set through the loader
    EXPECT_EQ(kxtest::archiveOf(*back), archive);

    KXFrame nan(KXFrameStyleExpandable);
    nan.setScale(std::nan(""));
    const auto read = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(nan))->objectAs<KXFrame>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->scale(), 1);

    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(archive);
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXFrame"));
    EXPECT_EQ(kxtest::kindOf(keys, "style"), "int");
    EXPECT_EQ(kxtest::kindOf(keys, "name"), "string");
    EXPECT_EQ(kxtest::kindOf(keys, "scale"), "real");
    EXPECT_EQ(kxtest::valueOf(keys, "name").toString(), frame->name());
}

// ---- the application's own frames and masks ----

// Every frame and mask among the application's resources loads: each expandable frame folder (one with
// its description) gives its description and all eight pieces, each single-image frame its image and a
// mask or margins, each mask a grey image.
TEST(ApplicationFrames, EveryFrameAndMaskLoads) {
    registerModelClasses();
    kx::Bundle::setMainResourcePath({});
    const QString res = kx::Bundle::main().resourcePath();
    int checked = 0;
    for (const QString& folder : subfoldersInFolder(res + QStringLiteral("/Frame"), false)) {
        const QString n = QFileInfo(folder).fileName();
        if (QFileInfo::exists(folder + QLatin1Char('/') + n + QStringLiteral(".xml"))) {
            const auto frame = KXFrame::frameWithName(folder, 1);
            EXPECT_GT(frame->width(), 0) << n.toStdString();
            for (const kx::Image* piece : {&frame->leftBottomImage(), &frame->leftTopImage(), &frame->rightTopImage(),
                                           &frame->rightBottomImage(), &frame->bottomImage(), &frame->topImage(),
                                           &frame->leftImage(), &frame->rightImage()})
                EXPECT_FALSE(piece->isNull()) << n.toStdString();
            ++checked;
            continue;
        }
        for (const QString& file : imageFilesInFolder(folder)) {
            if (QFileInfo(file).suffix().toLower() == QLatin1String("jpg") &&
                QFileInfo::exists(deletingPathExtension(file) + QStringLiteral(".png")))
                continue;  // the mask of a frame image beside it
            const auto frame = KXFrame::frameWithName(file);
            EXPECT_FALSE(frame->frameImage().isNull()) << file.toStdString();
            EXPECT_TRUE(!frame->frameMaskImage().isNull() || frame->hasMargin()) << file.toStdString();
            ++checked;
        }
    }
    for (const QString& file : imageFilesInFolder(res + QStringLiteral("/Mask"))) {
        const kx::Image mask = loadImageFromFile(file);
        EXPECT_FALSE(mask.isNull()) << file.toStdString();
        ++checked;
    }
    RecordProperty("checked", checked);
}

}  // namespace
