// The document window's insert commands and its cut, copy, paste and duplicate through the clipboard.
#include "app/main_window.h"
#include "app/page_clipboard.h"
#include "app_test_support.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "library/image_search_windows.h"
#include "library/resource_list_view_controller.h"
#include "document/document.h"
#include "document/graph_pasteboard.h"
#include "document/version_info.h"
#include "graphics/system_services.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/property_list.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace {

class PageClipboardTest : public kxtest::WindowTest {
protected:
    void TearDown() override {
        KXMainWindow::setImageFileChooser({});
        kxtest::WindowTest::TearDown();
    }

    QString imageFile(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    static void setClipboard(QMimeData* data) {
        sharedPasteboard()->setMimeData(data);
        QApplication::processEvents();
    }
    static QByteArray archived(const std::shared_ptr<KXGraph>& graph) {
        return kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(graph));
    }

};

TEST_F(PageClipboardTest, ObjectsCopiedInOneDocumentArePastedInAnotherAsTheyWere) {
    auto first = openWindow();
    auto second = openWindow();
    first->addTextAction();
    first->chooseShapeAtIndex(13);  // a star, now the only selection
    ASSERT_EQ(page(*first)->graphCount(), 2);
    const auto star = page(*first)->graphs().back();
    ASSERT_EQ(first->preview()->selectedGraphs(), KXCanvas::GraphList({star}));

    first->copyAction();
    second->pasteAction();
    ASSERT_EQ(page(*second)->graphCount(), 1);
    const auto pasted = page(*second)->graphs().front();
    EXPECT_NE(pasted, star);
    EXPECT_EQ(archived(pasted), archived(star));
    EXPECT_EQ(second->preview()->selectedGraphs(), KXCanvas::GraphList({pasted}));
}

TEST_F(PageClipboardTest, InsertingLeavesThePenToolAndSelectsTheNewObject) {
    auto window = openWindow();
    window->preview()->enterDrawMode();
    window->addTextAction();
    EXPECT_FALSE(window->preview()->isCustomDrawMode());
    window->preview()->enterDrawMode();
    window->chooseShapeAtIndex(3);
    EXPECT_FALSE(window->preview()->isCustomDrawMode());
    ASSERT_EQ(window->preview()->selectedGraphs().size(), 1u);
    EXPECT_EQ(window->preview()->selectedGraphs().front(), page(*window)->graphs().back());
}

// The Insert menu's resource commands show the clip-art or mask tab and start its search or import there.
TEST_F(PageClipboardTest, ResourceCommandsShowTheirTabAndStartThere) {
    auto window = openWindow();
    QStringList started;
    KXResourceListViewController::setImportChooser([&](QWidget* list) {
        started << QStringLiteral("import ") + list->objectName();
        return QStringList();
    });
    KXResourceListViewController::setSheetRunner([&](KXSearchImageWindowController&) { started << "search"; });
    window->preview()->enterDrawMode();
    window->findChild<QAction*>(QStringLiteral("InsertImageFromInternet"))->trigger();
    EXPECT_FALSE(window->preview()->isCustomDrawMode());
    EXPECT_EQ(window->resourceTabIndex(), KXResourceTagClipart);
    window->findChild<QAction*>(QStringLiteral("ImportMasks"))->trigger();
    EXPECT_EQ(window->resourceTabIndex(), KXResourceTagMask);
    window->findChild<QAction*>(QStringLiteral("ImportCliparts"))->trigger();
    EXPECT_EQ(window->resourceTabIndex(), KXResourceTagClipart);
    KXResourceListViewController::setImportChooser({});
    KXResourceListViewController::setSheetRunner({});
    ASSERT_EQ(started.size(), 3);
    EXPECT_EQ(started[0], "search");
    EXPECT_TRUE(started[1].startsWith("import ")) << started[1].toStdString();
    EXPECT_NE(started[1], started[2]);  // the mask list, then the clip-art list
}

TEST_F(PageClipboardTest, PastesOnTheSamePageCascadeAndEachIsOneUndoStep) {
    auto window = openWindow();
    window->chooseShapeAtIndex(3);
    const auto original = page(*window)->graphs().front();
    const kx::Rect at = original->relativeRect();
    window->copyAction();
    window->pasteAction();
    window->pasteAction();
    ASSERT_EQ(page(*window)->graphCount(), 3);
    for (int i = 1; i <= 2; ++i) {
        const kx::Rect r = page(*window)->graphs()[size_t(i)]->relativeRect();
        EXPECT_NEAR(r.origin.x, at.origin.x + 0.01 * i, 1e-12) << i;
        EXPECT_NEAR(r.origin.y, at.origin.y - 0.01 * i, 1e-12) << i;
    }
    page(*window)->undoManager().undo();
    EXPECT_EQ(page(*window)->graphCount(), 2);

    // Duplicate copies the selection (the first paste) and pastes it one step along.
    window->preview()->setSelectedGraphs({page(*window)->graphs()[1]});
    window->duplicateSelection();
    ASSERT_EQ(page(*window)->graphCount(), 3);
    EXPECT_NEAR(page(*window)->graphs().back()->relativeRect().origin.x, at.origin.x + 0.02, 1e-12);
}

TEST_F(PageClipboardTest, CutCopiesLockedObjectsNeitherAwayNorOntoTheClipboard) {
    auto window = openWindow();
    KXCanvas* canvas = page(*window);
    auto locked = KXShape::initWithType(1, {0.1, 0.1, 0.2, 0.2});
    auto free = KXShape::initWithType(1, {0.5, 0.5, 0.2, 0.2});
    canvas->undoManager().beginUndoGrouping();
    canvas->addGraph(locked);
    canvas->addGraph(free);
    locked->setLocked(true);
    canvas->setAllGrpahsSelection(true);
    canvas->undoManager().endUndoGrouping();
    window->preview()->checkSelectionChanged();
    canvas->undoManager().removeAllActions();

    window->cutAction();
    EXPECT_EQ(canvas->graphs(), KXCanvas::GraphList({locked}));
    const auto root = kx::readPropertyList(graphsOnPasteboard());
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->toArray().size(), 2u);  // the page size and the unlocked object
    canvas->undoManager().undo();
    EXPECT_EQ(canvas->graphCount(), 2);

    // Only locked objects selected: nothing to cut or copy.
    window->preview()->setSelectedGraphs({locked});
    window->validateClipboardItems();
    EXPECT_FALSE(window->cutItem()->isEnabled());
    EXPECT_FALSE(window->copyItem()->isEnabled());
    window->cutAction();
    EXPECT_EQ(canvas->graphCount(), 2);
}

TEST_F(PageClipboardTest, PasteIsOfferedForObjectsImageFilesTextAndUsualImages) {
    auto window = openWindow();
    const QString png = imageFile(QStringLiteral("photo.png"), 40, 30);
    QByteArray pngBytes;
    {
        QBuffer buffer(&pngBytes);
        buffer.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    QFile(notes).open(QIODevice::WriteOnly);

    struct Case {
        const char* what;
        std::function<void(QMimeData*)> fill;
        bool offered;
        KXPasteRoad road;
    };
    const Case cases[] = {
        {"nothing", [](QMimeData*) {}, false, KXPasteRoad::None},
        {"our objects", [](QMimeData* d) { d->setData(KXGrpahPasteboardType, "x"); }, true, KXPasteRoad::Graphs},
        {"files with a picture", [&](QMimeData* d) { d->setUrls({QUrl::fromLocalFile(notes), QUrl::fromLocalFile(png)}); },
         true, KXPasteRoad::Files},
        {"files without a picture", [&](QMimeData* d) { d->setUrls({QUrl::fromLocalFile(notes)}); }, false,
         KXPasteRoad::None},
        {"text", [](QMimeData* d) { d->setText(QStringLiteral("Hello")); }, true, KXPasteRoad::Text},
        {"png image", [&](QMimeData* d) { d->setData(QStringLiteral("image/png"), pngBytes); }, true, KXPasteRoad::Image},
        {"Qt image", [](QMimeData* d) { d->setImageData(QImage(4, 4, QImage::Format_RGB32)); }, true, KXPasteRoad::Image},
        // Pasted, but not offered by the menu.
        {"image of another type", [&](QMimeData* d) { d->setData(QStringLiteral("image/x-other"), pngBytes); }, false,
         KXPasteRoad::Image},
    };
    for (const Case& c : cases) {
        auto* data = new QMimeData;
        c.fill(data);
        EXPECT_EQ(canPasteMimeData(data), c.offered) << c.what;
        EXPECT_EQ(pasteRoadForMimeData(data), c.road) << c.what;
        setClipboard(data);
        window->validateClipboardItems();
        EXPECT_EQ(window->pasteItem()->isEnabled(), c.offered) << c.what;
        EXPECT_EQ(window->canPasteObject(), c.offered) << c.what;
    }
    // The image of another type is pasted all the same.
    const std::int64_t before = page(*window)->graphCount();
    window->pasteAction();
    EXPECT_EQ(page(*window)->graphCount(), before + 1);
}

TEST_F(PageClipboardTest, MalformedObjectsOnTheClipboardPasteNothing) {
    auto window = openWindow();
    auto* data = new QMimeData;
    data->setData(KXGrpahPasteboardType, QByteArray("bplist00 not really"));
    setClipboard(data);
    window->pasteAction();
    EXPECT_EQ(page(*window)->graphCount(), 0);
    EXPECT_FALSE(page(*window)->undoManager().canUndo());
}

TEST_F(PageClipboardTest, PastedImagesAreRealPngFilesReusedUntilTheClipboardChanges) {
    auto window = openWindow();
    QImage screenshot(120, 80, QImage::Format_ARGB32);
    screenshot.fill(Qt::blue);
    auto* data = new QMimeData;
    data->setImageData(screenshot);
    setClipboard(data);
    window->pasteAction();
    const QString first = window->pastedImageFile().pasteImagePath();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(QFileInfo(first).absolutePath(), QFileInfo(pastedImagesFolder()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^1(_\\d{3})?\\.png$")).match(QFileInfo(first).fileName()).hasMatch());
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    file.close();
    ASSERT_EQ(page(*window)->graphCount(), 1);
    auto* photo = static_cast<KXShape*>(page(*window)->graphs().front().get())->photo();
    EXPECT_EQ(photo->imagePath(), first);
    EXPECT_NEAR(page(*window)->graphs().front()->aspectRatio(), 1.5, 1e-9);

    const int files = int(QDir(pastedImagesFolder()).entryList(QDir::Files).size());
    window->pasteAction();
    EXPECT_EQ(window->pastedImageFile().pasteImagePath(), first);
    EXPECT_EQ(QDir(pastedImagesFolder()).entryList(QDir::Files).size(), files);
    EXPECT_EQ(page(*window)->graphCount(), 2);

    auto* next = new QMimeData;
    screenshot.fill(Qt::green);
    next->setImageData(screenshot);
    setClipboard(next);
    window->pasteAction();
    const QString second = window->pastedImageFile().pasteImagePath();
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFileInfo(second).isFile());
    EXPECT_TRUE(QFileInfo(first).isFile());
}

TEST_F(PageClipboardTest, PastedFilesAndTextBecomePhotosAndTextBoxes) {
    auto window = openWindow();
    const QString png = imageFile(QStringLiteral("photo.png"), 400, 200);
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    QFile(notes).open(QIODevice::WriteOnly);
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(png), QUrl::fromLocalFile(notes)});
    setClipboard(files);
    window->pasteAction();
    ASSERT_EQ(page(*window)->graphCount(), 1);
    EXPECT_EQ(page(*window)->graphs().front()->graphType(), KXGraphTypePhoto);
    EXPECT_EQ(window->preview()->selectedGraphs(), page(*window)->graphs());

    auto* text = new QMimeData;
    text->setText(QStringLiteral("A short line"));
    setClipboard(text);
    window->pasteAction();
    ASSERT_EQ(page(*window)->graphCount(), 2);
    const auto box = page(*window)->graphs().back();
    EXPECT_EQ(box->graphType(), KXGraphTypeText);
    EXPECT_NEAR(box->relativeRect().size.height, 0.3, 1e-12);
    EXPECT_EQ(window->preview()->selectedGraphs(), KXCanvas::GraphList({box}));
}

TEST_F(PageClipboardTest, TheInsertCommandsPutObjectsOnTheShownPage) {
    auto window = openWindow();
    EXPECT_TRUE(window->tbiShape()->isEnabled());
    window->shapeAction();
    ASSERT_NE(window->shapeWindowController()->window(), nullptr);
    EXPECT_TRUE(window->shapeWindowController()->window()->isVisible());
    window->shapeWindowController()->hideWindow();

    window->addTextAction();
    window->addCalendarAction();
    window->chooseShapeAtIndex(1);
    ASSERT_EQ(page(*window)->graphCount(), 3);
    EXPECT_EQ(page(*window)->graphs()[0]->graphType(), KXGraphTypeText);
    EXPECT_EQ(page(*window)->graphs()[1]->graphType(), KXGraphTypeCalendar);
    EXPECT_EQ(static_cast<KXShape*>(page(*window)->graphs()[2].get())->shapeType(), 14u);
    EXPECT_EQ(window->preview()->selectedGraphs(), KXCanvas::GraphList({page(*window)->graphs()[2]}));
    // Each insertion advanced the cascade by one step.
    EXPECT_NEAR(window->insertOffset().x, 0.03, 1e-12);

    // The open dialog: cancelled, then two files of which one is a picture.
    KXMainWindow::setImageFileChooser([](QWidget*) { return QStringList(); });
    window->insertImageFromFinder();
    EXPECT_EQ(page(*window)->graphCount(), 3);
    const QString png = imageFile(QStringLiteral("chosen.png"), 300, 300);
    KXMainWindow::setImageFileChooser([&](QWidget*) { return QStringList({png, dir.filePath("none.jpg")}); });
    window->insertImageFromFinder();
    ASSERT_EQ(page(*window)->graphCount(), 4);
    EXPECT_EQ(page(*window)->graphs().back()->graphType(), KXGraphTypePhoto);

    // A file that gives no picture inserts nothing and says so.
    EXPECT_FALSE(window->addImageWithPath(dir.filePath(QStringLiteral("none.jpg"))));
    EXPECT_EQ(page(*window)->graphCount(), 4);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("none.jpg")));
    EXPECT_TRUE(window->addImageWithPath(png));
    EXPECT_EQ(page(*window)->graphCount(), 5);

    // A photo picked in this window's photos tab is added; one picked in another window's is not.
    const kx::ValueDictionary info{{QStringLiteral("kIMBAddPhotoPathKey"), kx::Value(png)}};
    auto& center = kx::NotificationCenter::defaultCenter();
    center.post(QStringLiteral("kIMBAddPhotoAction"), window->resourceVC(), info);
    EXPECT_EQ(page(*window)->graphCount(), 6);
    auto other = openWindow();
    center.post(QStringLiteral("kIMBAddPhotoAction"), other->resourceVC(), info);
    EXPECT_EQ(page(*window)->graphCount(), 6);
    EXPECT_EQ(page(*other)->graphCount(), 1);
}

}  // namespace
