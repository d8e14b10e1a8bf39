#include "archive_probe.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/photo_filter.h"
#include "model/graph_render.h"
#include "photo_test_support.h"
#include "support/pixel_probe.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/notification_center.h"
#include "support/outside_tools.h"

#include <QCoreApplication>

#include <functional>
#include <thread>

namespace {

using kxtest::PhotoResourcesTest;
using kxtest::Rgba;

void endEvent() {
    QCoreApplication::processEvents();
}

void expectRectNear(const kx::Rect& actual, const kx::Rect& expected, double tolerance, const char* what) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << what;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << what;
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << what;
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << what;
}

class PhotoTest : public PhotoResourcesTest {
protected:
    QString image(int width, int height, QColor color = QColor(200, 40, 40)) {
        return kxtest::writeImage(
            dir.filePath(QStringLiteral("img_%1x%2_%3.jpg").arg(width).arg(height).arg(color.name().mid(1))), width,
            height, color);
    }
    QString pngImage(int width, int height, QColor color) {
        return kxtest::writeImage(
            dir.filePath(QStringLiteral("img_%1x%2_%3.png").arg(width).arg(height).arg(color.name().mid(1))), width,
            height, color);
    }
    void strokeOf(KXShape& shape, double widthPoints) {
        // A relative stroke: hundredths of the shorter preview side.
        const kx::Size preview = shape.canvas()->previewSize();
        shape.stroke()->setType(KXStrokeWidthRelative);
        shape.stroke()->setWidth(widthPoints * 100 / std::min(preview.width, preview.height));
        shape.stroke()->setColor(kx::Color::srgb(0, 0, 1, 1));
        shape.setStrokeEnabled(true);
    }
};

// ---- crop geometry ----

TEST_F(PhotoTest, CropGeometryOfA4000x3000ImageInSquareThenWideFrames) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 1000, 1000});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(4000, 3000));
    ASSERT_FALSE(photo.renderImage().isNull());
    EXPECT_EQ(photo.cropRect(), kx::Rect());  // chosen on first need

    const kx::Rect full = photo.fullImageRectWithFrame({0, 0, 1000, 1000});
    expectRectNear(photo.cropRect(), {0.125, 0, 0.75, 1}, 1e-6, "crop");
    expectRectNear(full, {-166.6667, 0, 1333.3333, 1000}, 1e-3, "full image");

    // The frame becomes 2000 x 1000: a = 1, b = 2, w' = 1.5 >= 1.
    shape->setRelativeRect({0, 0, 0.5, 0.25});
    photo.updateCropRect();
    expectRectNear(photo.cropRect(), {0, 1.0 / 6, 1, 2.0 / 3}, 1e-4, "refitted crop");
    const kx::Rect wide = photo.fullImageRectWithFrame({0, 0, 2000, 1000});
    expectRectNear(wide, {0, -250, 2000, 1500}, 1e-3, "full image in the wide frame");
}

TEST_F(PhotoTest, UpdateCropRectTable) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 1000, 1000});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(4000, 3000));
    struct Case {
        kx::Rect frame, crop, expected;
    } cases[] = {
        // Too wide, full height.
        {{0, 0, 1000, 1000}, {0, 0, 1, 1}, {0.125, 0, 0.75, 1}},
        // Too wide, part height pushed down from beyond the top.
        {{0, 0, 1000, 1000}, {0.5, 0.9, 0.5, 0.1}, {0.5, 1.0 / 3, 0.5, 2.0 / 3}},
        // Too tall, part width pushed left from beyond the right edge.
        {{0, 0, 1000, 1000}, {0.9, 0, 0.1, 1}, {0.25, 0, 0.75, 1}},
        // Too tall, full width.
        {{0, 0, 2000, 1000}, {0.125, 0, 0.75, 1}, {0, 1.0 / 6, 1, 2.0 / 3}},
        // Already the frame's aspect.
        {{0, 0, 1000, 1000}, {0.1, 0.2, 0.3, 0.4}, {0.1, 0.2, 0.3, 0.4}},
        // No height: never changed.
        {{0, 0, 1000, 1000}, {0.1, 0.2, 0.3, 0}, {0.1, 0.2, 0.3, 0}},
    };
    for (const Case& c : cases) {
        shape->setRelativeRect({c.frame.origin.x / 4000, c.frame.origin.y / 4000, c.frame.size.width / 4000,
                                c.frame.size.height / 4000});
        photo.setCropRect(c.crop);
        photo.updateCropRect();
        expectRectNear(photo.cropRect(), c.expected, 1e-4, "crop");
    }
    // The visible area of 0.1 x 0.4 of 4000 x 3000 is 400 x 1200: not a square, so the row above
    // shows the aspect in image pixels counts, not in fractions.
}

TEST_F(PhotoTest, VisibleAreaLessHalfTheBorderOrTheFrameMargins) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {100, 100, 200, 100});
    KXPhoto& photo = *shape->photo();
    EXPECT_EQ(photo.visisbleRect(), kx::Rect(100, 100, 200, 100));
    strokeOf(*shape, 7);
    EXPECT_EQ(photo.visisbleRect(), kx::Rect(103, 103, 194, 94));
    shape->setStrokeEnabled(false);
    photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/margins.png")));
    // Margins 4, 8, 2, 6 of a 40 x 20 frame image over 200 x 100.
    EXPECT_EQ(photo.visisbleRect(), kx::Rect(120, 130, 140, 60));
    photo.setFrameEnabled(false);
    EXPECT_EQ(photo.visisbleRect(), kx::Rect(100, 100, 200, 100));
}

TEST_F(PhotoTest, UnusableValuesLeaveTheGeometrySane) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {100, 100, 200, 100});
    KXPhoto& photo = *shape->photo();
    // Margins whose frame image is missing cannot be scaled: the whole rectangle shows.
    QFile::copy(res + QStringLiteral("/Frame/Simple/margins.frm"), res + QStringLiteral("/Frame/Simple/gone.frm"));
    const auto orphan = KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/gone.png"));
    ASSERT_TRUE(orphan->hasMargin());
    photo.setFrame(orphan);
    EXPECT_EQ(photo.visisbleRect(), kx::Rect(100, 100, 200, 100));
    // A crop that is not a number is no crop.
    photo.setCropRect({std::nan(""), 0, 1, 1});
    EXPECT_EQ(photo.cropRect(), kx::Rect());
    // Margins that leave no opening: no crop is chosen and nothing is placed.
    photo.setImagePath(image(400, 300));
    auto wide = std::make_shared<KXFrameMargin>();
    wide->setLeft(30);
    wide->setRight(30);
    const auto frame = KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/margins.png"));
    frame->setMargin(wide);
    photo.setFrame(frame);
    const kx::Rect full = photo.fullImageRectWithFrame({0, 0, 200, 100});
    EXPECT_LE(full.size.width, 0);
    EXPECT_EQ(photo.cropRect(), kx::Rect());
    drawn(*shape);
    // Corner radii beyond half the shorter side draw as an oval-ended rectangle, not as nothing.
    shape->setStrokeEnabled(true);
    photo.setFrame(nullptr);
    for (std::int64_t radius : {-50, 500}) {
        photo.setRoundCornerRadius(radius);
        EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(drawn(*shape), 100, 50), (Rgba{200, 40, 40, 255}), 12) << radius;
    }
}

// ---- cache levels ----

TEST_F(PhotoTest, CacheLevelForADrawingSize) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 300, 300});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(3000, 2000));
    struct Case {
        kx::Size bound, expected;
    } large[] = {
        {{300, 300}, {400, 266}},
        {{600, 600}, {1200, 800}},
        {{1300, 100}, {3000, 2000}},
        {{400, 400}, {400, 266}},
        {{1200, 1200}, {1200, 800}},
    };
    for (const Case& c : large)
        EXPECT_EQ(photo.imageSizeForBoundSize(c.bound), c.expected) << c.bound.width << "x" << c.bound.height;

    photo.setImagePath(image(350, 300));
    for (const kx::Size bound : {kx::Size(100, 100), kx::Size(400, 400), kx::Size(399, 20)})
        EXPECT_EQ(photo.imageSizeForBoundSize(bound), kx::Size(350, 300));
    EXPECT_EQ(photo.imageSizeForBoundSize({500, 500}), kx::Size(350, 300));
}

TEST_F(PhotoTest, RenderImageUsesTheSmallestLevelAndGrowsWhenDrawnLarger) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 300, 300});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(3000, 2000));
    EXPECT_EQ(photo.renderImage().width(), 400);
    // At 500 x 500 the whole image is drawn 750 x 500: the 1200 level.
    shape->setRelativeRect({0, 0, 0.125, 0.125});
    kxtest::PhotoResourcesTest::drawn(*shape);
    EXPECT_EQ(photo.renderImage().width(), 1200);
    // At 1000 x 1000 it is drawn 1500 x 1000: the file decoded at that size, not in full.
    shape->setRelativeRect({0, 0, 0.25, 0.25});
    kxtest::PhotoResourcesTest::drawn(*shape);
    EXPECT_EQ(photo.renderImage().pixelSize(), kx::Size(1500, 1000));
    // Drawn again at that size, the same image serves.
    const qint64 key = photo.renderImage().qimage().cacheKey();
    kxtest::PhotoResourcesTest::drawn(*shape);
    EXPECT_EQ(photo.renderImage().qimage().cacheKey(), key);
    // At 2000 x 2000 it is drawn 3000 x 2000: the full-size image.
    shape->setRelativeRect({0, 0, 0.5, 0.5});
    kxtest::PhotoResourcesTest::drawn(*shape);
    EXPECT_EQ(photo.renderImage().width(), 3000);
}

TEST_F(PhotoTest, SourceLoadMakesAheadTheDecodeTheDrawingThenUses) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 300, 300});
    KXPhoto& photo = *shape->photo();
    const QString path = image(3000, 2000);
    photo.setImagePath(path);
    ASSERT_EQ(photo.renderImage().width(), 400);
    // Drawn 150 x 100 the thumbnail serves: nothing to load.
    EXPECT_FALSE(photo.sourceLoadForRect({0, 0, 100, 100}));
    // Drawn 1500 x 1000 it needs the file decoded at that size: the load makes it on another thread.
    const std::function<void()> load = photo.sourceLoadForRect({0, 0, 1000, 1000});
    ASSERT_TRUE(load);
    std::thread(load).join();
    const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(path);
    ASSERT_TRUE(cache);
    const kx::Image loaded = cache->imageCoveringSize({1500, 1000});
    ASSERT_EQ(loaded.pixelSize(), kx::Size(1500, 1000));
    // The drawing at that size takes that very image rather than decoding again.
    shape->setRelativeRect({0, 0, 0.25, 0.25});
    kxtest::PhotoResourcesTest::drawn(*shape);
    EXPECT_EQ(photo.renderImage().qimage().cacheKey(), loaded.qimage().cacheKey());
    EXPECT_FALSE(photo.sourceLoadForRect({0, 0, 1000, 1000}));
}

TEST_F(PhotoTest, QuarterTurnedPhotoAsksForItsSizeInTheFilesOrientation) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 300, 300});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(3000, 2000));
    photo.setPhotoRotation(90);
    shape->setRelativeRect({0, 0, 0.25, 0.25});
    kxtest::PhotoResourcesTest::drawn(*shape);
    // The whole turned image is drawn taller than wide: the file is decoded at the drawn size with
    // width and height swapped, then turned.
    const kx::Size shown = roundRectComponents(photo.fullImageRectForDrawing({0, 0, 1000, 1000})).size;
    ASSERT_GT(shown.height, 1200);
    EXPECT_NEAR(photo.renderImage().width(), shown.width, 1);
    EXPECT_NEAR(photo.renderImage().height(), shown.height, 1);
}

// ---- clip-art ----

TEST_F(PhotoTest, ClipartClassification) {
    struct Case {
        QString path;
        bool clipart;
    } cases[] = {
        {res + QStringLiteral("/Clipart/Animals/cat.png"), true},
        {QStringLiteral("/opt/Old.app/Contents/Resources/Clipart/Animals/cat.png"), true},
        {QStringLiteral("/home/u/.local/share/K/Custom Resources/Clipart/Mine/a.png"), true},
        {QStringLiteral("/home/u/.cache/Caches/k/Boxes/pack/Clipart/x/a.png"), true},
        {QStringLiteral("/home/u/Pictures/Clipart/Holiday/me.jpg"), false},
        {QStringLiteral("/home/u/.cache/Caches/k/Boxes/pack/Photos/a.png"), false},
        {QStringLiteral("/home/u/Caches/Boxes/Clipart.png"), false},
        {QString(), false},
    };
    for (const Case& c : cases) {
        KXPhoto photo;
        photo.setImagePath(c.path);
        EXPECT_EQ(photo.isClipart(), c.clipart) << c.path.toStdString();
    }
}

// ---- re-pointing stored resource paths ----

TEST_F(PhotoTest, ArchivedResourcePathsArePointedAtThisApplicationsResources) {
    // An older application bundle elsewhere, with the same categories.
    const QString old = dir.filePath(QStringLiteral("Old.app/Contents/Resources"));
    kxtest::writeImage(old + QStringLiteral("/Clipart/Animals/cat.png"), 10, 10);
    kxtest::writeImage(old + QStringLiteral("/Frame/Simple/masked.png"), 10, 10);
    // This application's clip-art of that name is a jpg.
    QFile::remove(res + QStringLiteral("/Clipart/Animals/cat.png"));
    kxtest::writeImage(res + QStringLiteral("/Clipart/Animals/cat.jpg"), 30, 20);
    // The user's own file in a folder that happens to be named like the clip-art folder.
    const QString own = kxtest::writeImage(dir.filePath(QStringLiteral("Pictures/Clipart/Holiday/me.jpg")), 8, 8);

    struct Case {
        QString stored, expected;
    } images[] = {
        {old + QStringLiteral("/Clipart/Animals/cat.png"), res + QStringLiteral("/Clipart/Animals/cat.jpg")},
        {old + QStringLiteral("/Clipart/Animals/gone.png"), old + QStringLiteral("/Clipart/Animals/gone.png")},
        {own, own},
        {QStringLiteral("/h/.cache/Caches/k/Boxes/p/Clipart/A/x.png"), QStringLiteral("/h/.cache/Caches/k/Boxes/p/Clipart/A/x.png")},
    };
    for (const Case& c : images)
        EXPECT_EQ(KXPhoto::resolveArchivedImagePath(c.stored), c.expected) << c.stored.toStdString();

    EXPECT_EQ(KXPhoto::resolveArchivedMaskPath(old + QStringLiteral("/Mask/Shapes/half.png")),
              res + QStringLiteral("/Mask/Shapes/half.png"));
    EXPECT_EQ(KXPhoto::resolveArchivedMaskPath(old + QStringLiteral("/Mask/Shapes/gone.png")),
              old + QStringLiteral("/Mask/Shapes/gone.png"));

    const auto single = KXPhoto::resolveArchivedFrame(old + QStringLiteral("/Frame/Simple/masked.png"), 2);
    EXPECT_EQ(single->style(), KXFrameStyleSingleImage);
    EXPECT_EQ(single->name(), res + QStringLiteral("/Frame/Simple/masked.png"));
    const auto gone = KXPhoto::resolveArchivedFrame(old + QStringLiteral("/Frame/Simple/gone.png"), 2);
    EXPECT_EQ(gone->name(), old + QStringLiteral("/Frame/Simple/gone.png"));

    QDir().mkpath(old + QStringLiteral("/Frame/Wood"));
    const auto expandable = KXPhoto::resolveArchivedFrame(old + QStringLiteral("/Frame/Wood"), 0);
    EXPECT_EQ(expandable->style(), KXFrameStyleExpandable);
    EXPECT_EQ(expandable->scale(), 1);  // 0 reads as 1
    EXPECT_EQ(expandable->expansion(), 8);
    // What it is named by now reads back as the same expandable frame.
    const auto again = KXPhoto::resolveArchivedFrame(expandable->name(), 2);
    EXPECT_EQ(again->style(), KXFrameStyleExpandable);
    EXPECT_EQ(again->scale(), 2);
    EXPECT_EQ(again->expansion(), 8);
}

TEST_F(PhotoTest, ArchiveKeysRoundTripAndRePointing) {
    const QString old = dir.filePath(QStringLiteral("Old.app/Contents/Resources"));
    kxtest::writeImage(old + QStringLiteral("/Clipart/Animals/cat.png"), 10, 10);
    auto photo = KXPhoto::photoWithOwner(nullptr);
    photo->setImagePath(old + QStringLiteral("/Clipart/Animals/cat.png"));
    photo->setCropRect({0.1, 0.2, 0.5, 0.6});
    photo->setPhotoRotation(90);
    photo->setCropRect({0.1, 0.2, 0.5, 0.6});
    photo->setRoundCornerRadius(30);
    photo->setEffectName(QStringLiteral("Sepia"));
    photo->setMaskName(res + QStringLiteral("/Mask/Shapes/half.png"));
    photo->setMaskEnabled(false);
    photo->setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/masked.png")));
    photo->frame()->setScale(1.5);
    photo->variableFilter()->setSaturation(1.5f);
    const QByteArray archive = kxtest::archiveOf(*photo);

    const auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(archive)->objectAs<KXPhoto>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imagePath(), res + QStringLiteral("/Clipart/Animals/cat.png"));
    EXPECT_EQ(back->cropRect(), kx::Rect(0.1, 0.2, 0.5, 0.6));
    EXPECT_EQ(back->photoRotation(), 90);
    EXPECT_EQ(back->roundCornerRadius(), 30);
    EXPECT_EQ(back->effectName(), QStringLiteral("Sepia"));
    EXPECT_FALSE(back->isMaskEnabled());
    EXPECT_TRUE(back->maskImage().isGray());
    ASSERT_TRUE(back->frame());
    EXPECT_EQ(back->frame()->style(), KXFrameStyleSingleImage);
    EXPECT_EQ(back->frame()->scale(), 1);  // the scale is read for expandable frames only
    ASSERT_TRUE(back->variableFilter());
    EXPECT_EQ(back->variableFilter()->saturationValue(), 1.5f);
    // Written again, the re-pointed photo reads back equal.
    const QByteArray second = kxtest::archiveOf(*back);
    const auto third = kx::KeyedUnarchiver::unarchiveObjectWithData(second)->objectAs<KXPhoto>();
    EXPECT_EQ(kxtest::archiveOf(*third), second);

    // Without frame name or filter in the archive there is no frame and no filter object.
    KXPhoto bare;
    const auto bareBack = kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(bare))->objectAs<KXPhoto>();
    EXPECT_FALSE(bareBack->frame());
    EXPECT_FALSE(bareBack->variableFilter());

    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(second);
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXPhoto"));
    struct Key {
        const char* key;
        const char* kind;
    } expected[] = {{"imagePath", "string"},   {"isClipart", "bool"},      {"cropRect", "string"},
                    {"photoRotation", "int"},  {"roundCornerRadius", "int"}, {"effectName", "string"},
                    {"maskEnabled", "bool"},   {"maskImagePath", "string"}, {"frameEnabled", "bool"},
                    {"frameName", "string"},   {"frameScale", "real"},     {"variableFilter", "object"}};
    for (const Key& k : expected)
        EXPECT_EQ(kxtest::kindOf(keys, k.key), k.kind) << k.key;
    EXPECT_TRUE(kxtest::valueOf(keys, "isClipart").toBool());
    EXPECT_EQ(kxtest::valueOf(keys, "cropRect").toString(), QStringLiteral("{{0.1, 0.2}, {0.5, 0.6}}"));
    EXPECT_EQ(kxtest::valueOf(keys, "variableFilter").toString(), QStringLiteral("KXPhotoFilter"));
}

// ---- undo ----

TEST_F(PhotoTest, FilterAndFrameScaleChangesAreOneStepEachAndUnchangedValuesNone) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 200, 200});
    KXPhoto& photo = *shape->photo();
    kx::UndoManager& undo = page->undoManager();
    endEvent();
    undo.removeAllActions();

    photo.variableFilter()->setBrightness(0.25f);
    endEvent();
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_EQ(photo.variableFilter()->brightnessValue(), 0.0f);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(photo.variableFilter()->brightnessValue(), 0.25f);

    undo.removeAllActions();
    photo.variableFilter()->setBrightness(0.25f);  // the same value
    photo.frame()->setScale(1.0 + 1e-12);          // the same at single precision
    endEvent();
    EXPECT_FALSE(undo.canUndo());

    photo.frame()->setScale(2);
    endEvent();
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_FLOAT_EQ(photo.frame()->scale(), 1);
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(PhotoTest, RotationClearsTheCropWithoutAStepOfItsOwn) {
    auto page = pageOfSize(4000, 4000);
    auto shape = photoShape(*page, {0, 0, 1000, 1000});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(4000, 3000));
    photo.fullImageRectWithFrame({0, 0, 1000, 1000});
    endEvent();
    page->undoManager().removeAllActions();
    for (std::int64_t degrees : {360, -360, 720}) {
        photo.setPhotoRotation(degrees);
        endEvent();
        EXPECT_GT(photo.renderImage().width(), photo.renderImage().height()) << degrees;  // not turned
    }
    photo.setPhotoRotation(90);
    endEvent();
    EXPECT_LT(photo.renderImage().width(), photo.renderImage().height());  // turned
    // A new centred crop of the turned image: 3000 x 4000 in a square.
    expectRectNear(photo.cropRect(), {0, 0.125, 1, 0.75}, 1e-6, "crop of the turned image");
    page->undoManager().undo();
    EXPECT_EQ(photo.photoRotation(), 720);
}

// ---- drawing ----

class CountingRender : public KXGraphRender {
public:
    void setNeedsDisplayGraph(KXGraph*) override { ++displays; }
    void drawGraphSelection(KXGraph*) override { ++selections; }
    kx::Layer* graphLayer() override { return nullptr; }
    kx::Layer* canvasLayer() override { return nullptr; }
    void setAngle(double) override {}
    bool renderContainsPoint(const kx::Point&) override { return hit; }
    int displays = 0;
    int selections = 0;
    bool hit = false;
};

TEST_F(PhotoTest, DrawingChangesNothingAndRecordsNoStep) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 300, 200});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(image(400, 400));
    photo.setCropRect({});
    endEvent();
    page->undoManager().removeAllActions();
    const QImage first = drawn(*shape);
    shape->graphImageWithZoom(1);
    endEvent();
    EXPECT_EQ(photo.cropRect(), kx::Rect());
    EXPECT_FALSE(page->undoManager().canUndo());
    // The centred crop it drew with is the one the model chooses later.
    photo.fullImageRectWithFrame(shape->frameRect());
    EXPECT_EQ(kxtest::maxChannelDifference(first, drawn(*shape)), 0);
}

TEST_F(PhotoTest, InternetImageNotificationOnlyForThePhotosOwnEntry) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 300, 200});
    CountingRender render;
    shape->setRender(&render);
    KXPhoto& photo = *shape->photo();
    kx::NotificationCenter& center = kx::NotificationCenter::defaultCenter();
    // No path: the notification of any sender, a null one included, is not for this photo.
    center.post(KXCacheDidLoadingInternetImage, nullptr);
    int other = 0;
    center.post(KXCacheDidLoadingInternetImage, &other);
    EXPECT_EQ(render.displays, 0);
    EXPECT_TRUE(photo.renderImage().isNull());

    photo.setImagePath(image(50, 40));
    render.displays = 0;
    center.post(KXCacheDidLoadingInternetImage, &other);
    EXPECT_EQ(render.displays, 0);
    const KXCachePtr entry = KXCacheManager::cacheManager().cacheWithPath(photo.imagePath());
    center.post(KXCacheDidLoadingInternetImage, entry.get());
    EXPECT_EQ(render.displays, 1);
    shape->setRender(nullptr);
}

TEST_F(PhotoTest, PlaceholderGradientEnds) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 100, 100});
    const QImage image = drawn(*shape);
    // From grey 236 at the top to 230 at the bottom, opaque.
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, 99), (Rgba{236, 236, 236, 255}), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, 0), (Rgba{230, 230, 230, 255}), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, 50), (Rgba{233, 233, 233, 255}), 1);
}

// A photo whose image file is gone keeps its path (saving writes it back) and shows the grey placeholder in
// its frame and border, on the page as in the page output, like a photo that never had an image.
TEST_F(PhotoTest, MissingImageShowsThePlaceholderAndKeepsItsPath) {
    constexpr Rgba kGrey{233, 233, 233, 255};
    constexpr Rgba kBlue{0, 0, 255, 255};
    struct Probe {
        int x, y;
        Rgba colour;
    };
    struct Case {
        const char* name;
        bool marginFrame;
        double border;
        std::vector<Probe> probes;
    };
    const std::vector<Case> cases = {
        {"plain", false, 0, {{100, 50, kGrey}, {100, 99, {236, 236, 236, 255}}, {100, 0, {230, 230, 230, 255}}}},
        {"bordered", false, 4, {{100, 50, kGrey}, {100, 0, kBlue}, {0, 50, kBlue}}},
        // The frame's opening is (20, 30, 140, 60); its image is blue on its edges, clear inside.
        {"framed", true, 0, {{100, 60, kGrey}, {2, 50, kBlue}, {17, 50, {0, 0, 0, 0}}}},
    };
    const QString gone = dir.filePath(QStringLiteral("gone.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = pageOfSize(400, 300);
        auto shape = photoShape(*page, {100, 100, 200, 100});
        KXPhoto& photo = *shape->photo();
        if (c.marginFrame)
            photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/margins.png")));
        if (c.border > 0)
            strokeOf(*shape, c.border);
        photo.setImagePath(gone);
        EXPECT_TRUE(photo.renderImage().isNull());
        EXPECT_EQ(photo.imagePath(), gone);
        const QImage image = drawn(*shape);
        const QImage output = page->outputImageWithSize({400, 300}).qimage();
        for (const Probe& p : c.probes) {
            EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, p.x, p.y), p.colour, 2) << p.x << ", " << p.y;
            if (p.colour.a == 255)  // on the page's white ground
                EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(output, 100 + p.x, 100 + p.y), p.colour, 2) << p.x << ", " << p.y;
        }
        EXPECT_EQ(photo.copy()->imagePath(), gone);  // the archive keeps the reference
    }
}

TEST_F(PhotoTest, RoundedCornersOnlyWithTheBorder) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 200, 100});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(pngImage(200, 100, QColor(0, 200, 0)));
    photo.setRoundCornerRadius(50);
    QImage image = drawn(*shape);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 1, 1), (Rgba{0, 200, 0, 255}), 2);  // square corner

    strokeOf(*shape, 2);  // radius = 100 x 0.5 x 50 / 100 = 25
    image = drawn(*shape);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 2, 2).a, 0);       // outside the rounded corner
    EXPECT_EQ(kxtest::pixelAtYUp(image, 6, 6).a, 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 10, 10), (Rgba{0, 200, 0, 255}), 2);  // inside it
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 100, 0), (Rgba{0, 0, 255, 255}), 2);  // the border
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 100, 3), (Rgba{0, 200, 0, 255}), 2);  // inner half only
}

TEST_F(PhotoTest, HalfBlackMaskHidesHalfThePhoto) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 100, 100});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(pngImage(100, 100, QColor(0, 200, 0)));
    photo.setMaskName(res + QStringLiteral("/Mask/Shapes/half.png"));
    ASSERT_TRUE(photo.maskImage().isGray());
    QImage image = drawn(*shape);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 20, 50).a, 0);  // black half
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 80, 50), (Rgba{0, 200, 0, 255}), 2);
    photo.setMaskEnabled(false);
    image = drawn(*shape);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 20, 50), (Rgba{0, 200, 0, 255}), 2);
    // A mask that cannot be read clips nothing.
    photo.setMaskEnabled(true);
    photo.setMaskName(dir.filePath(QStringLiteral("none.png")));
    EXPECT_TRUE(photo.maskImage().isNull());
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(drawn(*shape), 20, 50), (Rgba{0, 200, 0, 255}), 2);
}

TEST_F(PhotoTest, FrameMarginsShowThePhotoOrPlaceholderInsideAndTheFrameOver) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 200, 100});
    KXPhoto& photo = *shape->photo();
    photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/margins.png")));
    // The opening is (20, 30, 140, 60); the frame image is blue on its edges, clear inside.
    QImage image = drawn(*shape);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 100, 60), (Rgba{233, 233, 233, 255}), 2);  // placeholder
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 2, 50), (Rgba{0, 0, 255, 255}), 2);       // frame
    EXPECT_EQ(kxtest::pixelAtYUp(image, 17, 50).a, 0);   // between the frame's edge and the opening
    EXPECT_EQ(kxtest::pixelAtYUp(image, 100, 27).a, 0);

    photo.setImagePath(pngImage(200, 100, QColor(0, 200, 0)));
    image = drawn(*shape);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 100, 60), (Rgba{0, 200, 0, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 21, 31), (Rgba{0, 200, 0, 255}), 2);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 18, 50).a, 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 199, 50), (Rgba{0, 0, 255, 255}), 2);
}

TEST_F(PhotoTest, FrameMaskShapesThePhoto) {
    auto page = pageOfSize(2000, 2000);
    auto shape = photoShape(*page, {0, 0, 100, 100});
    KXPhoto& photo = *shape->photo();
    photo.setImagePath(pngImage(100, 100, QColor(0, 200, 0)));
    photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Simple/masked.png")));
    const QImage image = drawn(*shape);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, 50), (Rgba{0, 200, 0, 255}), 3);  // white of the mask
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 5, 50), (Rgba{255, 0, 0, 255}), 3);   // the frame's ring
}

}  // namespace
