// Drops onto the canvas view through synthetic drag events: image files from the file manager and from the
// resource lists (photo, mask, frame), internet search results, text; the hover highlight; the drop as one
// undo step; untrusted drag data.
#include "canvas/canvas_drop.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/shape_layer.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_search_record.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "support/http_test_server.h"
#include "view_events.h"

#include "model/page_test_support.h"
#include "model/photo_test_support.h"

#include <QApplication>
#include <QBuffer>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

using kxtest::Counter;

namespace {

const QString kNotShowSearchImageAlert = QStringLiteral("KXNotShowSearchImageAlert");

// A page of 800 x 600 pixels shown at 100 %, so the page layer is 800 x 600 points.
class CanvasDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        ASSERT_TRUE(dir.isValid());
        rig = std::make_unique<kxtest::ViewRig>(QSize(1000, 800));
        page = KXCanvasLayer::create();
        const KXSize size(800, 600, KXSizeUnitPixel, 72);
        page->canvas()->setPageSize(&size);
        rig->view->switchToCanvasLayer(page);
        rig->view->actualSizeAction();
        ASSERT_EQ(canvas()->previewSize(), kx::Size(800, 600));
        KXPreview::setDropFailureReporter([this](const QStringList& names) { unplaced += names; });
        KXPreview::setSearchImageNoticePresenter([this](QWidget*, const QString& url) { notices.append(url); });
        kxtest::endEvent();
    }
    void TearDown() override {
        KXPreview::setDropFailureReporter({});
        KXPreview::setSearchImageNoticePresenter({});
        kx::UserDefaults::standard().removeValue(kNotShowSearchImageAlert);
        rig.reset();
    }
    KXPreview* view() { return rig->view; }
    KXCanvas* canvas() { return page->canvas(); }

    QString image(const char* name, int w, int h) {
        return kxtest::writeImage(dir.filePath(QString::fromLatin1(name)), w, h);
    }
    // A photo on the page at a frame in page points, unselected, leaving no undo step.
    std::shared_ptr<KXShape> photoAt(const kx::Rect& frame) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        shape->setRelativeRect({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                                frame.size.height / 600});
        shape->photo()->setImagePath(image("existing.png", 40, 30));
        shape->photo()->setMaskEnabled(false);
        shape->setStrokeEnabled(true);
        canvas()->addGraph(shape);
        view()->deselectAllGraphs();
        kxtest::endEvent();
        canvas()->undoManager().removeAllActions();
        return shape;
    }
    bool drop(QMimeData& data, const kx::Point& pagePoint) {
        // Handed to the view's own event handling, as the drag manager of a real drag does.
        const QPointF at = view()->viewPointForPagePoint(pagePoint);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(view())->event(&move);
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        static_cast<QObject*>(view())->event(&event);
        const bool accepted = event.isAccepted();
        kxtest::endEvent();
        return accepted;
    }
    static void setFiles(QMimeData& data, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
    }
    kx::Rect frameOf(const KXGraph& graph) const {
        const kx::Rect r = graph.relativeRect();
        return {r.origin.x * 800, r.origin.y * 600, r.size.width * 800, r.size.height * 600};
    }
    std::vector<KXShape*> shapes() {
        std::vector<KXShape*> list;
        for (const auto& graph : canvas()->graphs())
            list.push_back(dynamic_cast<KXShape*>(graph.get()));
        return list;
    }

    QTemporaryDir dir;
    std::unique_ptr<kxtest::ViewRig> rig;
    std::shared_ptr<KXCanvasLayer> page;
    QStringList unplaced;
    QStringList notices;
};

TEST_F(CanvasDropTest, AFileOnEmptyPageBecomesAPhotoUnderThePointerAsOneUndoStep) {
    Counter selection(KXGraphSelectionChange, view());
    Counter floating(KXFloatingNeedUpdate, view());
    const QString path = image("clipart.png", 300, 200);
    QMimeData data;
    setFiles(data, {path});
    ASSERT_TRUE(drop(data, {400, 300}));
    ASSERT_EQ(canvas()->graphCount(), 1);
    KXShape* shape = shapes()[0];
    ASSERT_TRUE(shape && shape->photo());
    EXPECT_EQ(shape->photo()->imagePath(), path);
    EXPECT_EQ(shape->graphType(), KXGraphTypePhoto);
    // Fitted into m = (800 + 600) / 5 = 280 and centred on the pointer (no dragged picture to follow).
    const kx::Rect frame = frameOf(*shape);
    EXPECT_NEAR(frame.size.width, 280, 1e-6);
    EXPECT_NEAR(frame.size.height, 186.6667, 1e-3);
    EXPECT_NEAR(frame.origin.x + frame.size.width / 2, 400, 1e-6);
    EXPECT_NEAR(frame.origin.y + frame.size.height / 2, 300, 1e-6);
    EXPECT_FALSE(shape->isStrokeEnabled());
    EXPECT_EQ(shape->stroke()->width(), 3);
    EXPECT_TRUE(shape->isSelected());
    EXPECT_EQ(view()->selectedGraphs().size(), 1u);
    EXPECT_GE(selection.count, 1);
    EXPECT_EQ(floating.count, 1);
    EXPECT_TRUE(unplaced.isEmpty());

    ASSERT_TRUE(canvas()->undoManager().canUndo());
    canvas()->undoManager().undo();
    EXPECT_EQ(canvas()->graphCount(), 0);
    EXPECT_FALSE(canvas()->undoManager().canUndo());
}

TEST_F(CanvasDropTest, ABigPictureIsFittedIntoAFifthOfThePageLayersSides) {
    QMimeData data;
    setFiles(data, {image("big.jpg", 3000, 2000)});
    // The pointer holds the dragged picture (300 x 200) at its top-left quarter point.
    addDragImageFacts(data, {300, 200}, {75, 50});
    ASSERT_TRUE(drop(data, {200, 400}));
    ASSERT_EQ(canvas()->graphCount(), 1);
    const kx::Rect frame = frameOf(*canvas()->graphs()[0]);
    EXPECT_NEAR(frame.size.width, 280, 1e-6);
    EXPECT_NEAR(frame.size.height, 186.6667, 1e-3);
    // The new photo lies under the pointer as the picture did: a quarter from the left, a quarter from the top.
    EXPECT_NEAR(frame.origin.x, 200 - 0.25 * 280, 1e-6);
    EXPECT_NEAR(frame.origin.y + frame.size.height, 400 + 0.25 * 186.6667, 1e-3);
    EXPECT_NEAR(canvas()->graphs()[0]->aspectRatio(), 1.5, 1e-9);
}

TEST_F(CanvasDropTest, ThreeFilesOnAPhotoReplaceItsPictureAndCascadeTheRest) {
    auto target = photoAt({100, 200, 200, 150});
    Counter replaced(KXReplacePhotoNotification, target.get());
    const QString a = image("a.png", 60, 40), b = image("b.png", 50, 50), c = image("c.png", 30, 60);
    QMimeData data;
    setFiles(data, {a, b, c});
    ASSERT_TRUE(drop(data, {150, 250}));
    ASSERT_EQ(canvas()->graphCount(), 3);
    EXPECT_EQ(target->photo()->imagePath(), a);
    EXPECT_EQ(replaced.count, 1);
    const auto list = shapes();
    EXPECT_EQ(list[1]->photo()->imagePath(), b);
    EXPECT_EQ(list[2]->photo()->imagePath(), c);
    // From the target's corner, one twentieth of the page to the right and down, then a step more.
    EXPECT_NEAR(frameOf(*list[1]).origin.x, 100 + 40, 1e-6);
    EXPECT_NEAR(frameOf(*list[1]).origin.y, 200 - 30, 1e-6);
    EXPECT_NEAR(frameOf(*list[2]).origin.x, 100 + 80, 1e-6);
    EXPECT_NEAR(frameOf(*list[2]).origin.y, 200 - 60, 1e-6);
    const auto selected = view()->selectedGraphs();
    ASSERT_EQ(selected.size(), 3u);
    EXPECT_NE(std::find(selected.begin(), selected.end(), target), selected.end());
    for (const auto& graph : canvas()->graphs())
        EXPECT_TRUE(graph->isSelected());
    EXPECT_EQ(page->auxiliaryLayer()->replacingLayer(), nullptr);

    // One undo takes the whole drop back: the two new photos and the replaced picture.
    canvas()->undoManager().undo();
    EXPECT_EQ(canvas()->graphCount(), 1);
    EXPECT_TRUE(target->photo()->imagePath().endsWith(QLatin1String("existing.png")));
    EXPECT_FALSE(canvas()->undoManager().canUndo());
}

TEST_F(CanvasDropTest, AMaskFromTheMaskListMasksThePhotoAndTurnsItsStrokeOff) {
    auto target = photoAt({100, 100, 200, 200});
    const QString mask = image("mask.png", 64, 64);
    QMimeData data;
    setFiles(data, {mask});
    addDragSourceFacts(data, QStringLiteral("KXImageBrowserView"), QStringLiteral("Mask"));
    ASSERT_TRUE(drop(data, {200, 200}));
    EXPECT_EQ(canvas()->graphCount(), 1);
    EXPECT_TRUE(target->photo()->isMaskEnabled());
    EXPECT_FALSE(target->photo()->isFrameEnabled());
    EXPECT_EQ(target->photo()->maskName(), mask);
    EXPECT_FALSE(target->isStrokeEnabled());
    canvas()->undoManager().undo();
    EXPECT_TRUE(target->isStrokeEnabled());
    EXPECT_FALSE(target->photo()->isMaskEnabled());
}

TEST_F(CanvasDropTest, AMaskOnEmptyPageMakesAMaskedPhotoAndAnnouncesIt) {
    Counter empty(KXNewEmptyPhoto, view());
    QMimeData data;
    setFiles(data, {image("mask.png", 64, 32)});
    addDragSourceFacts(data, QStringLiteral("KXImageBrowserView"), QStringLiteral("mask"));
    ASSERT_TRUE(drop(data, {400, 300}));
    ASSERT_EQ(canvas()->graphCount(), 1);
    KXShape* shape = shapes()[0];
    EXPECT_TRUE(shape->photo()->isMaskEnabled());
    EXPECT_TRUE(shape->photo()->imagePath().isEmpty());
    EXPECT_NEAR(shape->aspectRatio(), 2, 1e-9);
    // The mask is scaled up to m = 280; its corner lies where the picture's (its own size, held at its middle)
    // would have lain under the pointer.
    const kx::Rect frame = frameOf(*shape);
    EXPECT_NEAR(frame.size.width, 280, 1e-6);
    EXPECT_NEAR(frame.origin.x, 400 - 32, 1e-6);
    EXPECT_NEAR(frame.origin.y, 300 - 16, 1e-6);
    EXPECT_EQ(empty.count, 1);
}

TEST_F(CanvasDropTest, FilesThatDoNotLoadAreLeftOutAndNamed) {
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n not really");
    file.close();
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("hello");
    notes.close();
    const QString good = image("good.png", 20, 20);

    QMimeData data;
    setFiles(data, {broken, good, dir.filePath(QStringLiteral("missing.png"))});
    ASSERT_TRUE(drop(data, {400, 300}));
    ASSERT_EQ(canvas()->graphCount(), 1);
    EXPECT_EQ(shapes()[0]->photo()->imagePath(), good);
    EXPECT_EQ(unplaced, QStringList({QStringLiteral("broken.png"), QStringLiteral("missing.png")}));
    for (const auto& graph : canvas()->graphs())
        EXPECT_GT(graph->relativeRect().size.width, 0);

    // Nothing usable: the drop answers no and changes nothing.
    unplaced.clear();
    QMimeData nothing;
    setFiles(nothing, {broken});
    EXPECT_FALSE(drop(nothing, {400, 300}));
    EXPECT_EQ(canvas()->graphCount(), 1);
    EXPECT_EQ(unplaced, QStringList({QStringLiteral("broken.png")}));
}

TEST_F(CanvasDropTest, HoveringOverAPhotoHighlightsItAndTheTemplateStripIsRefused) {
    auto target = photoAt({100, 100, 200, 200});
    QMimeData data;
    setFiles(data, {image("x.png", 10, 10)});
    EXPECT_EQ(view()->draggingUpdated(decodeDropMimeData(data), view()->viewPointForPagePoint({150, 150})),
              Qt::CopyAction);
    ASSERT_TRUE(page->auxiliaryLayer()->replacingLayer());
    EXPECT_EQ(page->auxiliaryLayer()->replacingLayer()->shape(), target.get());
    EXPECT_EQ(view()->draggingUpdated(decodeDropMimeData(data), view()->viewPointForPagePoint({500, 500})),
              Qt::CopyAction);
    EXPECT_EQ(page->auxiliaryLayer()->replacingLayer(), nullptr);
    // Outside the page a file is refused.
    EXPECT_EQ(view()->draggingUpdated(decodeDropMimeData(data), view()->viewPointForPagePoint({-50, 300})),
              Qt::IgnoreAction);

    QMimeData strip;
    setFiles(strip, {image("y.png", 10, 10)});
    addDragSourceFacts(strip, QStringLiteral("KXHorizonImageBrowserView"), QString());
    EXPECT_EQ(view()->draggingUpdated(decodeDropMimeData(strip), view()->viewPointForPagePoint({500, 300})),
              Qt::IgnoreAction);
    EXPECT_FALSE(drop(strip, {500, 300}));
    EXPECT_EQ(canvas()->graphCount(), 1);
}

TEST_F(CanvasDropTest, DroppedTextBecomesATextObjectCentredOnThePointer) {
    const QSize area = view()->scrollContentSize();
    const kx::Size F = aspectFitSize({800, 600}, {double(area.width()), double(area.height())});
    for (const QString& text : {QStringLiteral("Hi"), QString(60, u'W')}) {
        SCOPED_TRACE(text.toStdString());
        QTextDocument measure;
        measure.setDocumentMargin(0);
        measure.setPlainText(text);
        measure.setTextWidth(F.width);
        const double uw = std::ceil(measure.idealWidth()) / F.width;
        const double uh = measure.size().height() / F.height;
        QMimeData data;
        data.setText(text);
        const std::int64_t before = canvas()->graphCount();
        ASSERT_TRUE(drop(data, {300, 250}));
        ASSERT_EQ(canvas()->graphCount(), before + 1);
        auto* shape = dynamic_cast<KXShape*>(canvas()->graphs().back().get());
        ASSERT_TRUE(shape);
        EXPECT_EQ(shape->graphType(), KXGraphTypeText);
        EXPECT_EQ(shape->shadow()->blur(), 2);
        EXPECT_EQ(shape->shadow()->offset(), 2);
        const kx::Rect r = shape->relativeRect();
        // A side under 30 per cent of the fitted page is doubled and centred on the pointer.
        const double expectedW = uw < 0.3 ? 2 * uw : uw;
        EXPECT_NEAR(r.size.width, expectedW, 1e-9);
        EXPECT_NEAR(r.size.height, uh < 0.3 ? 2 * uh : uh, 1e-9);
        EXPECT_NEAR(r.origin.x + r.size.width / 2, 300 / F.width, 1e-9);
        EXPECT_NEAR(r.origin.y + r.size.height / 2, 250 / F.height, 1e-9);
        EXPECT_EQ(view()->selectedGraphs().size(), 1u);
    }
    // Each text drop is one step.
    canvas()->undoManager().undo();
    EXPECT_EQ(canvas()->graphCount(), 1);
}

// ---- search results ----

QByteArray pngBytes(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

KXGoogleImage record(const QString& url, const QString& thumb, const QString& w, const QString& h) {
    return KXGoogleImage(QStringLiteral("t"), QStringLiteral("t"), h, QString(), url, QStringLiteral("100"), thumb,
                         QStringLiteral("100"), QStringLiteral("t"), QStringLiteral("t"), url, url, url, w);
}

TEST_F(CanvasDropTest, SearchResultsBecomePhotosOfTheirWebAddressAfterTheNotice) {
    kxtest::HttpTestServer server;
    ASSERT_TRUE(server.isListening());
    server.setRoute("/full.png", kxtest::Response{200, pngBytes(600, 300), "image/png", {}, {}});
    server.setRoute("/thumb2.png", kxtest::Response{200, pngBytes(60, 30), "image/png", {}, {}});
    const QString full = server.url(QStringLiteral("/full.png")).toString();
    const QString full2 = server.url(QStringLiteral("/full.png?second")).toString();
    const QString thumb = server.url(QStringLiteral("/thumb.png")).toString();
    const QString thumb2 = server.url(QStringLiteral("/thumb2.png")).toString();

    std::vector<QByteArray> archives{
        googleImageArchive(record(full, thumb, QStringLiteral("600"), QStringLiteral("300"))),
        // Refused: a size that is not a number, an address that is not a web address.
        googleImageArchive(record(full2, thumb2, QStringLiteral("wide"), QStringLiteral("300"))),
        googleImageArchive(record(QStringLiteral("file:///etc/passwd"), thumb, QStringLiteral("10"),
                                  QStringLiteral("10"))),
        googleImageArchive(record(full2, thumb2, QStringLiteral("200"), QStringLiteral("400"))),
    };
    QMimeData data;
    data.setData(KXGoogleImagePboardType, googleImagePasteboardData(archives));
    QHash<QString, kx::Image> thumbnails;
    thumbnails.insert(thumb, kx::Image(QImage::fromData(pngBytes(60, 30))));
    addDragThumbnails(data, thumbnails);

    ASSERT_TRUE(drop(data, {400, 300}));
    EXPECT_EQ(notices, QStringList({full}));
    ASSERT_EQ(canvas()->graphCount(), 2);
    const auto list = shapes();
    EXPECT_EQ(list[0]->photo()->imagePath(), full);
    EXPECT_EQ(list[1]->photo()->imagePath(), full2);
    EXPECT_NEAR(list[0]->aspectRatio(), 2, 1e-9);
    EXPECT_NEAR(list[1]->aspectRatio(), 0.5, 1e-9);
    // The cascade moved on for the refused results too: three steps between the two photos.
    EXPECT_NEAR(frameOf(*list[1]).origin.x - frameOf(*list[0]).origin.x, 3 * 40, 1e-6);
    EXPECT_EQ(unplaced.size(), 2);
    // The first used the dragged thumbnail; only the second's thumbnail was fetched.
    EXPECT_EQ(server.requestCount("/thumb.png"), 0);
    EXPECT_EQ(server.requestCount("/thumb2.png"), 1);
    ASSERT_TRUE(KXCacheManager::cacheManager().caches().value(full));
    // The originals arrive in the background.
    EXPECT_TRUE(kxtest::waitFor([&] { return server.requestCount("/full.png") >= 2; }));

    // With the notice turned off, none is shown.
    kx::UserDefaults::standard().setValue(kNotShowSearchImageAlert, true);
    notices.clear();
    QMimeData again;
    again.setData(KXGoogleImagePboardType, googleImagePasteboardData({archives[0]}));
    ASSERT_TRUE(drop(again, {100, 100}));
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(canvas()->graphCount(), 3);
}

// ---- decoding ----

TEST(DropDecodingTest, ReadsOnlyWhatItTrusts) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.png")), QUrl(QStringLiteral("http://e.org/b.png")),
                  QUrl(QStringLiteral("ftp://e.org/c.png")), QUrl::fromLocalFile(QStringLiteral("/tmp/d e.jpg"))});
    data.setData(KXDragBrowserIdFormat, "FRAME");
    data.setData(KXDragImageFormat, "{{500, -3}, {100, 50}}");
    data.setData(KXGoogleImagePboardType, "not a property list");
    KXDropContents contents = decodeDropMimeData(data);
    EXPECT_EQ(contents.filePaths, QStringList({QStringLiteral("/tmp/a.png"), QStringLiteral("/tmp/d e.jpg")}));
    EXPECT_EQ(contents.resourceType, KXResourceTypeFrame);
    ASSERT_TRUE(contents.imageSize);
    EXPECT_EQ(*contents.imageSize, kx::Size(100, 50));
    EXPECT_EQ(contents.imageHotSpot, kx::Point(100, 0));
    EXPECT_TRUE(contents.googleImages.empty());
    EXPECT_FALSE(contents.hasString());

    struct Case {
        QByteArray image;
        bool kept;
    };
    for (const Case& c : {Case{"{{1, 1}, {0, 50}}", false}, Case{"{{1, 1}, {-5, 50}}", false},
                          Case{"{{1, 1}, {nan, 5}}", false}, Case{"{{1, 1}, {1e9, 5}}", false},
                          Case{"garbage", false}, Case{"{{1, 1}, {10, 5}}", true}}) {
        QMimeData d;
        d.setData(KXDragImageFormat, c.image);
        EXPECT_EQ(decodeDropMimeData(d).imageSize.has_value(), c.kept) << c.image.constData();
    }
    EXPECT_EQ(resourceTypeForBrowserId(QStringLiteral("Mask")), KXResourceTypeMask);
    EXPECT_EQ(resourceTypeForBrowserId(QStringLiteral("photo")), KXResourceTypePhoto);
    EXPECT_EQ(resourceTypeForBrowserId(QString()), KXResourceTypePhoto);

    QMimeData text;
    text.setText(QString(kMaxDroppedTextChars + 1, u'x'));
    EXPECT_FALSE(decodeDropMimeData(text).hasString());
}

}  // namespace
