#include "app/launch.h"
#include "app/main_window.h"
#include "app_services/ga_object.h"
#include "app_test_support.h"
#include "document/document.h"
#include "canvas/backdrop_layers.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/version_info.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/export_view_controller.h"
#include "output/progress_sheet.h"
#include "controls/popup_window.h"
#include "graphics/app_info.h"
#include "support/event_wait.h"
#include "platform/foundation/bundle.h"
#include "support/pixel_probe.h"
#include "canvas/view_events.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

using kxtest::Rgba;

namespace {

// Colours of the pages of the test projects, one per page.
const kx::Color kPageColors[] = {kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 0.5, 0, 1),
                                 kx::Color::srgb(0, 0, 1, 1), kx::Color::srgb(1, 1, 0, 1)};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        KXProject::setPageRenderer(kxtest::greyPageRendering);
        KXMainWindow::setAlertPresenter([this](QWidget*, const QString& message, const QString&) {
            alerts << message;
        });
    }
    void TearDown() override {
        KXMainWindow::setAlertPresenter({});
        KXProject::setPageRenderer({});
    }

    // A saved project package of `pages` pages of 800 x 600 pixels, each filled with its colour.
    QString savedProject(const QString& name, int pages) {
        KXProject project;
        project.removeAllCanvasLayers();
        for (int i = 0; i < pages; ++i) {
            auto canvas = std::make_shared<KXCanvas>();
            const KXSize size(800, 600, KXSizeUnitPixel, 72);
            canvas->setPageSize(&size);
            canvas->setMarginRect({0, 0, 800, 600});
            canvas->background()->setColor1(kPageColors[i % 4]);
            project.createNewLayerWithCanvas(canvas);
        }
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(project.saveAsProjectToPath(path, KXSaveOperationSave, &error)) << error.toStdString();
        return path;
    }

    // A document as the document framework records one, without its window.
    static std::shared_ptr<KXDocument> documentFor(const QString& projPath, const QString& templatePath,
                                                   std::int64_t pageIndex = 0) {
        auto document = std::make_shared<KXDocument>();
        document->setProjPath(projPath);
        document->setTemplatePath(templatePath);
        document->setPageIndex(pageIndex);
        return document;
    }

    QTemporaryDir dir;
    QStringList alerts;
};

TEST_F(MainWindowTest, ADocumentWithoutPathsGetsOneEmptyPage) {
    const auto document = documentFor(QString(), QString());
    KXMainWindow window;
    bool ran = false;
    window.initWindowWidthDocument(document.get(), [&] { ran = true; });
    EXPECT_TRUE(ran);
    ASSERT_NE(window.project(), nullptr);
    EXPECT_EQ(window.project()->canvasCount(), 1);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("1/1"));
    EXPECT_FALSE(window.btPreviousPage()->isEnabled());
    EXPECT_FALSE(window.btNextPage()->isEnabled());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Untitled"));
    EXPECT_EQ(window.preview()->canvasLayer(), window.project()->currentCanvasLayer().get());
    EXPECT_EQ(document->undoManager(), &window.project()->currentCanvas()->undoManager());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(MainWindowTest, OpensAProjectFromItsDocumentAndSwitchesPagesWithinBounds) {
    const QString package = savedProject(QStringLiteral("Trip.vrtp3"), 4);
    const auto document = documentFor(package, QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    ASSERT_EQ(window.project()->canvasCount(), 4);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trip"));
    EXPECT_EQ(document->fileURL(), package);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("1/4"));
    EXPECT_FALSE(window.btPreviousPage()->isEnabled());
    EXPECT_TRUE(window.btNextPage()->isEnabled());

    struct Step {
        std::int64_t index;
        bool accepted;
        std::int64_t current;
        QString tip;
        bool previous, next;
    };
    const Step steps[] = {
        {1, true, 1, "2/4", true, true},   {3, true, 3, "4/4", true, false}, {4, false, 3, "4/4", true, false},
        {-1, false, 3, "4/4", true, false}, {0, true, 0, "1/4", false, true},
        {std::numeric_limits<std::int64_t>::max(), false, 0, "1/4", false, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(window.switchCanvasToIndex(s.index), s.accepted) << s.index;
        EXPECT_EQ(window.project()->currentIndex(), s.current) << s.index;
        EXPECT_EQ(window.tfPageTip()->text(), s.tip) << s.index;
        EXPECT_EQ(window.btPreviousPage()->isEnabled(), s.previous) << s.index;
        EXPECT_EQ(window.btNextPage()->isEnabled(), s.next) << s.index;
        EXPECT_EQ(window.preview()->canvasLayer(), window.project()->currentCanvasLayer().get());
        EXPECT_EQ(document->undoManager(), &window.project()->currentCanvas()->undoManager());
    }
    // The page buttons step through the pages and stop at the ends.
    window.btNextPage()->click();
    window.btNextPage()->click();
    EXPECT_EQ(window.project()->currentIndex(), 2);
    window.btPreviousPage()->click();
    window.previousPageAction();
    window.previousPageAction();
    EXPECT_EQ(window.project()->currentIndex(), 0);
}

// A file that cannot be read, or one without pages, never replaces the open project.
TEST_F(MainWindowTest, AnUnreadableOrPagelessFileNeverReplacesTheOpenProject) {
    const QString good = savedProject(QStringLiteral("Good.vrtp3"), 2);
    const auto document = documentFor(good, QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    KXProject* before = window.project();
    ASSERT_EQ(before->canvasCount(), 2);
    window.switchCanvasToIndex(1);

    // Damaged archive.
    const QString broken = dir.filePath(QStringLiteral("Broken.vrtp3"));
    QDir().mkpath(broken);
    QFile info(broken + QStringLiteral("/info.xml"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("bplist00 this is not an archive");
    info.close();
    // A package whose archive holds no page.
    KXProject empty;
    empty.removeAllCanvasLayers();
    const QString pageless = dir.filePath(QStringLiteral("Empty.vrtp3"));
    QDir().mkpath(pageless);
    empty.saveDataToPath(pageless + QStringLiteral("/info.xml"));

    const QString paths[] = {dir.filePath(QStringLiteral("Missing.vrtp3")), broken, pageless};
    int expectedAlerts = 0;
    for (const QString& path : paths) {
        EXPECT_FALSE(window.openProjectWithPath(path)) << path.toStdString();
        EXPECT_EQ(alerts.size(), ++expectedAlerts);
        EXPECT_EQ(window.project(), before);
        EXPECT_EQ(window.project()->canvasCount(), 2);
        EXPECT_EQ(window.project()->currentIndex(), 1);
        EXPECT_EQ(window.preview()->canvasLayer(), before->canvasLayerAtIndex(1).get());
    }
    EXPECT_FALSE(window.openTemplateWithPath(broken, 0));
    EXPECT_EQ(window.project(), before);

    // A readable project takes its place.
    const QString other = savedProject(QStringLiteral("Other.vrtp3"), 3);
    EXPECT_TRUE(window.openProjectWithPath(other));
    EXPECT_EQ(window.project()->canvasCount(), 3);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("1/3"));
}

// A document naming a file that cannot be opened still gets a window with one empty page.
TEST_F(MainWindowTest, AnUnopenableDocumentStartsEmpty) {
    const auto document = documentFor(dir.filePath(QStringLiteral("Nowhere.vrtp3")), QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    EXPECT_EQ(alerts.size(), 1);
    ASSERT_NE(window.project(), nullptr);
    EXPECT_EQ(window.project()->canvasCount(), 1);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("1/1"));
}

TEST_F(MainWindowTest, TemplatesOpenAtTheirPageIndexWithinBounds) {
    const QString source = savedProject(QStringLiteral("Source.vrtp3"), 3);
    auto project = KXProject::initWithPath(source);
    ASSERT_TRUE(project);
    const QString folder = dir.filePath(QStringLiteral("Cards.tpl"));
    ASSERT_TRUE(project->saveAsTemplateToPath(folder));
    EXPECT_EQ(KXMainWindow::templateFileInFolder(folder), folder + QStringLiteral("/info.xml"));
    for (const auto& [index, expected] : {std::pair<std::int64_t, std::int64_t>{2, 2}, {7, 0}, {-3, 0}}) {
        const auto document = documentFor(QString(), folder, index);
        KXMainWindow window;
        window.initWindowWidthDocument(document.get());
        ASSERT_EQ(window.project()->canvasCount(), 3);
        EXPECT_EQ(window.project()->currentIndex(), expected) << index;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Untitled"));
        EXPECT_TRUE(document->fileURL().isEmpty());
    }
    EXPECT_TRUE(alerts.isEmpty());
}

// A template folder's ".tpl" file opens alike whether the file or its folder is given.
TEST_F(MainWindowTest, ATemplateOpensFromItsTplFileAsFromItsFolder) {
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    const QString folder = QStringLiteral(KX_SOURCE_DIR "/resources/Templates/Cards/Thank You Flowers");
    const QString file = folder + QStringLiteral("/Thank You Flowers.tpl");
    EXPECT_EQ(KXMainWindow::templateFileInFolder(file), file);
    std::vector<std::int64_t> pageCounts;
    for (const QString& given : {folder, file}) {
        const auto document = documentFor(QString(), given);
        KXMainWindow window;
        window.initWindowWidthDocument(document.get());
        pageCounts.push_back(window.project()->canvasCount());
        EXPECT_FALSE(window.project()->currentCanvas()->graphs().empty()) << given.toStdString();
    }
    kx::Bundle::setMainResourcePath({});
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'\n').toStdString();
    EXPECT_EQ(pageCounts[0], pageCounts[1]);
}

TEST_F(MainWindowTest, TheTemplateFileIsTheFirstVisibleTplFile) {
    const QString folder = dir.filePath(QStringLiteral("Folder"));
    QDir().mkpath(folder + QStringLiteral("/c.tpl"));  // a folder, not a file
    for (const char* name : {"b.TPL", ".a.tpl", "d.tpl", "notes.txt"}) {
        QFile file(folder + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(KXMainWindow::templateFileInFolder(folder), folder + QStringLiteral("/b.TPL"));
    EXPECT_EQ(KXMainWindow::templateFileInFolder(QString()), QString());
}

TEST_F(MainWindowTest, CommandLinePathsAreSortedIntoProjectsAndTemplates) {
    const QString userTemplate = dir.filePath(QStringLiteral("Mine.tpl"));
    const QString xmlTemplate = dir.filePath(QStringLiteral("Birthday"));
    QDir().mkpath(userTemplate);
    QDir().mkpath(xmlTemplate);
    QFile tpl(xmlTemplate + QStringLiteral("/Birthday.tpl"));
    ASSERT_TRUE(tpl.open(QIODevice::WriteOnly));
    struct Case {
        QString path;
        QString project, templ;
    };
    const Case cases[] = {
        {QString(), QString(), QString()},
        {dir.filePath("P.vrtp3"), dir.filePath("P.vrtp3"), QString()},
        {dir.filePath("P.vrtp3/info.xml"), dir.filePath("P.vrtp3"), QString()},
        {dir.filePath("T.VRTPKG"), QString(), dir.filePath("T.VRTPKG")},
        {userTemplate + "/info.xml", QString(), userTemplate},
        {xmlTemplate, QString(), xmlTemplate},
        {dir.filePath("./x/../P.vrtp"), dir.filePath("P.vrtp"), QString()},
    };
    for (const Case& c : cases) {
        const KXLaunchRequest request = launchRequestForPath(c.path);
        EXPECT_EQ(request.projPath, c.project) << c.path.toStdString();
        EXPECT_EQ(request.templatePath, c.templ) << c.path.toStdString();
    }
}

// A worker that reaches its check while the progress sheet asks whether to cancel waits (blocked, not
// spinning) until the question is answered; without a question open it never waits.
TEST_F(MainWindowTest, AWorkerWaitsWhileTheSheetAsksWhetherToCancel) {
    KXMainWindow window;
    window.showProgressbarWithTitle(QStringLiteral("Rendering"));
    window.waiting();  // no question open: returns at once
    std::atomic<bool> finished{false};
    std::unique_ptr<QThread> worker;
    int blockedWhileAsked = -1;
    bool finishedWhileAsked = true;
    KXProgressBarController::setAlertRunner([&](const QString&, const QString&, const QString&, const QString&) {
        worker.reset(QThread::create([&] {
            window.waiting();
            finished = true;
        }));
        worker->start();
        // Until the worker is blocked inside the wait, or (when nothing holds it) has gone past it.
        while (window.pbCtl()->pause().waitingCount() == 0 && !finished)
            QThread::yieldCurrentThread();
        blockedWhileAsked = window.pbCtl()->pause().waitingCount();
        finishedWhileAsked = finished;
        return KXProgressBarController::AlertFirstButtonReturn + 1;  // declined: the run goes on
    });
    window.pbCtl()->cancelClick();
    KXProgressBarController::setAlertRunner({});
    EXPECT_EQ(blockedWhileAsked, 1);
    EXPECT_FALSE(finishedWhileAsked);
    ASSERT_TRUE(worker && worker->wait());
    EXPECT_TRUE(finished);
    EXPECT_FALSE(window.pbCtl()->isCancelled());
    EXPECT_EQ(window.pbCtl()->pause().waitingCount(), 0);
}

// The shown window: the page's own pixels inside the page, the workspace beside it.
TEST_F(MainWindowTest, TheWindowShowsThePageInTheCanvas) {
    const QString package = savedProject(QStringLiteral("Shown.vrtp3"), 2);
    const auto document = documentFor(package, QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    window.resize(1600, 700);
    window.show();
    QApplication::processEvents();
    window.switchCanvasToIndex(1);
    QApplication::processEvents();
    const QImage shot = window.grab().toImage();
    KXPreview* view = window.preview();
    const kx::Rect frame = view->canvasLayer()->frame();
    ASSERT_GT(frame.size.width, 100);
    const QRectF pageInView = view->viewRectForRootRect(frame);
    const QPoint viewOrigin = view->mapTo(&window, QPoint(0, 0));
    const QPointF centre = pageInView.center() + viewOrigin;
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, int(centre.x()), int(centre.y())), (Rgba{0, 128, 0, 255}), 2);
    // The canvas is wider than the page at fit page (800 x 600 in a wider area): workspace beside it.
    const QRect viewport = window.scrollArea()->viewport()->geometry().translated(
        window.scrollArea()->mapTo(&window, QPoint(0, 0)));
    ASSERT_GT(pageInView.left(), 10);
    // Beside the page: the workspace texture, tiled from the view's top-left corner.
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    const QImage texture = KXPreviewLayer::texture().qimage();
    kx::Bundle::setMainResourcePath({});
    ASSERT_FALSE(texture.isNull());
    const QPoint beside(viewport.left() + 3, int(centre.y()));
    const QPoint inView = beside - viewOrigin;
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, beside.x(), beside.y()),
                      kxtest::pixelAt(texture, inView.x() % texture.width(), inView.y() % texture.height()), 2);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("2/2"));
}

// The Edit menu's pen tool item turns the canvas's pen tool on; a drawing then finishes into one shape.
TEST_F(MainWindowTest, ThePenToolItemStartsThePenToolOfTheCanvas) {
    const QString package = savedProject(QStringLiteral("Pen.vrtp3"), 1);
    const auto document = documentFor(package, QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    window.resize(1200, 700);
    window.show();
    QApplication::processEvents();
    auto* item = window.findChild<QAction*>(QStringLiteral("PenTool"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("Pen Tool"));
    KXPreview* view = window.preview();
    ASSERT_FALSE(view->isCustomDrawMode());
    item->trigger();
    EXPECT_TRUE(view->isCustomDrawMode());
    KXCanvas* page = view->canvas();
    ASSERT_NE(page, nullptr);
    const std::size_t before = page->graphs().size();
    for (const kx::Point& p : {kx::Point(20, 20), kx::Point(80, 20), kx::Point(80, 70), kx::Point(22, 21)}) {
        kxtest::sendMouseAtPagePoint(*view, QEvent::MouseButtonPress, p);
        kxtest::sendMouseAtPagePoint(*view, QEvent::MouseButtonRelease, p);
    }
    EXPECT_FALSE(view->isCustomDrawMode());
    EXPECT_EQ(page->graphs().size(), before + 1);
}

// The toolbar's export item opens the export popover; the preview command renders every page of the
// window's project into its preview file once and opens it.
TEST_F(MainWindowTest, TheExportItemAndThePreviewCommandReachTheExportController) {
    QStringList opened;
    setURLOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    const auto document = documentFor(savedProject(QStringLiteral("Card.kxp"), 2), QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get(), [] {});
    window.show();
    window.tbiExport()->trigger();
    EXPECT_TRUE(window.exportViewController()->popupWindow()->isVisible());
    // The popover goes with its window.
    window.hide();
    EXPECT_FALSE(window.exportViewController()->popupWindow()->isVisible());
    window.show();

    window.exportViewController()->setPreviewFolder(dir.filePath(QStringLiteral("QuickPreview")));
    int finished = 0;
    QObject::connect(window.exportViewController(), &KXExportViewController::runFinished, [&] { ++finished; });
    ASSERT_TRUE(window.previewChanged());
    window.quickLookAction();
    EXPECT_FALSE(window.previewChanged());
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return finished == 1; }));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].startsWith(dir.filePath(QStringLiteral("QuickPreview/"))));
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral(".pdf")));
    EXPECT_TRUE(window.exportViewController()->previewUpToDate());
    setURLOpener({});
}

// An export is counted as the export's own event followed by the description of the project, posted together.
TEST_F(MainWindowTest, AnExportIsCountedWithTheProjectsDescription) {
    GAObject::initializeGATrackerWithID(QString());
    ASSERT_NE(GAObject::defaultObject(), nullptr);
    const auto document = documentFor(savedProject(QStringLiteral("Card.kxp"), 2), QString());
    KXMainWindow window;
    window.initWindowWidthDocument(document.get(), [] {});
    ASSERT_TRUE(window.exportViewController()->exportProject().recordExport);
    window.exportViewController()->exportProject().recordExport(QStringLiteral("Export image"), QStringLiteral("jpg"));
    const QList<QByteArray>& hits = GAObject::defaultObject()->eventQueue();
    ASSERT_GT(hits.size(), 1);
    EXPECT_TRUE(hits[0].contains("ec=Export")) << hits[0].toStdString();
    EXPECT_TRUE(hits[0].contains("el=jpg")) << hits[0].toStdString();
    EXPECT_TRUE(hits[1].contains("ec=Page") ) << hits[1].toStdString();
}

}  // namespace
