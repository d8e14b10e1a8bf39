// The document window's side of the template chooser (opening a chosen project, starting from a chosen
// template, inserting a template's pages), the notifications the window follows and its toolbar.
#include "app/main_window.h"
#include "controls/popup_window.h"
#include "output/share_view_controller.h"
#include "app_test_support.h"
#include "app_services/ga_object.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/project_test_support.h"
#include "document/version_info.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/progress_sheet.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "support/event_wait.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

using kxtest::processEventsUntil;

// What the window asked of its choosers.
struct ChooserLog {
    int made = 0;
    int shownAsWindow = 0;
    QList<QWidget*> sheets;
    QList<bool> canOpenProject;
    KXTemplateWindowControllerDelegate* delegate = nullptr;
    int delegateCleared = 0;
};

class FakeChooser : public KXTemplateChooser {
public:
    explicit FakeChooser(ChooserLog& log) : m_log(log) { ++m_log.made; }
    void setDelegate(KXTemplateWindowControllerDelegate* delegate) override {
        m_log.delegate = delegate;
        m_log.delegateCleared += delegate == nullptr;
    }
    void setCanOpenProject(bool canOpenProject) override { m_log.canOpenProject << canOpenProject; }
    void showWindow() override { ++m_log.shownAsWindow; }
    void beginSheet(QWidget* window) override { m_log.sheets << window; }

private:
    ChooserLog& m_log;
};

// Counts the missing-resources sheets shown, with the names they listed.
struct MissingLog {
    int shown = 0;
    QStringList names;
};

class FakeMissingSheet : public KXMissingResourcesSheet {
public:
    explicit FakeMissingSheet(MissingLog& log) : m_log(log) {}
    void showInWindow(QWidget*, const QStringList& photos, const QStringList& cliparts, const QStringList& masks) override {
        ++m_log.shown;
        m_log.names = photos + cliparts + masks;
    }

private:
    MissingLog& m_log;
};

const kx::Color kProjectColors[] = {kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 1, 0, 1),
                                    kx::Color::srgb(0, 0, 1, 1), kx::Color::srgb(1, 1, 0, 1)};
const kx::Color kTemplateColors[] = {kx::Color::srgb(0, 1, 1, 1), kx::Color::srgb(1, 0, 1, 1),
                                     kx::Color::srgb(0, 0, 0, 1)};

class TemplateChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        kx::UserDefaults::setStandardFilePath(dir.filePath(QStringLiteral("settings.conf")));
        KXProject::setPageRenderer(kxtest::greyPageRendering);
        KXMainWindow::setAlertPresenter([this](QWidget*, const QString& message, const QString&) { alerts << message; });
        KXProject::setMissingSheetFactory([this] { return std::make_unique<FakeMissingSheet>(missing); });
    }
    void TearDown() override {
        KXTemplateChooser::setFactory({});
        KXProject::setMissingSheetFactory({});
        KXMainWindow::setAlertPresenter({});
        KXProject::setPageRenderer({});
        kx::UserDefaults::setStandardFilePath({});
    }

    void installChooser() {
        KXTemplateChooser::setFactory([this] { return std::make_unique<FakeChooser>(choosers); });
    }

    // Pages of the given size, one per colour; the first page holds a photo whose file is missing.
    std::unique_ptr<KXProject> projectOf(const std::vector<kx::Color>& colors, double width, double height,
                                         const QString& missingName) {
        auto project = std::make_unique<KXProject>();
        project->removeAllCanvasLayers();
        for (const kx::Color& color : colors) {
            auto canvas = std::make_shared<KXCanvas>();
            const KXSize size(width, height, KXSizeUnitPixel, 72);
            canvas->setPageSize(&size);
            canvas->setMarginRect({0, 0, width, height});
            canvas->background()->setColor1(color);
            project->createNewLayerWithCanvas(canvas);
        }
        if (!missingName.isEmpty())
            kxtest::addPhoto(*project->canvasAtIndex(0), dir.filePath(QStringLiteral("gone/") + missingName));
        return project;
    }
    QString savedProject(const QString& name, int pages, const QString& missingName = {}) {
        auto project = projectOf({kProjectColors, kProjectColors + pages}, 800, 600, missingName);
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(project->saveAsProjectToPath(path, KXSaveOperationSave, &error)) << error.toStdString();
        return path;
    }
    // A template folder "<category>/<name>.tpl" of three 400 x 300 pages, read from its "info.xml". A
    // template's photo frames open empty; what it can miss is a mask (or a clip-art).
    QString savedTemplate(const QString& category, const QString& name, const QString& missingMask = {}) {
        auto project = projectOf({kTemplateColors, kTemplateColors + 3}, 400, 300, {});
        if (!missingMask.isEmpty())
            kxtest::addPhoto(*project->canvasAtIndex(0), dir.filePath("gone/picture.jpg"))
                ->setMaskName(dir.filePath("gone/" + missingMask));
        const QString folder = dir.filePath(category + u'/' + name + QStringLiteral(".tpl"));
        QDir().mkpath(QFileInfo(folder).path());
        QString error;
        EXPECT_TRUE(project->saveAsProjectToPath(folder, KXSaveOperationSave, &error)) << error.toStdString();
        EXPECT_EQ(KXMainWindow::templateFileInFolder(folder), folder + QStringLiteral("/info.xml"));
        return folder;
    }
    static std::shared_ptr<KXDocument> documentFor(const QString& projPath, const QString& templatePath = {}) {
        auto document = std::make_shared<KXDocument>();
        document->setProjPath(projPath);
        document->setTemplatePath(templatePath);
        if (!projPath.isEmpty())
            document->setFileURL(projPath);
        return document;
    }
    static bool sheetIsUp(const KXMainWindow& window) {
        return window.pbCtl() && window.pbCtl()->window()->isVisible();
    }

    QTemporaryDir dir;
    QStringList alerts;
    ChooserLog choosers;
    MissingLog missing;
};

TEST_F(TemplateChooserTest, WithoutAChooserTheWindowComesToTheFront) {
    const auto document = documentFor({});
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    EXPECT_FALSE(window.isVisible());
    window.showTemplates(true);
    EXPECT_EQ(window.templateWC(), nullptr);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.canOpenProject());
}

// One chooser per window, shown as a window of its own (which may open projects) or as a sheet; while the
// window changes into full screen only the request for the own window is kept.
TEST_F(TemplateChooserTest, OneChooserIsShownAsAWindowOrASheet) {
    installChooser();
    const auto document = documentFor({});
    {
        KXMainWindow window;
        window.initWindowWidthDocument(document.get());
        window.showTemplates(true);
        ASSERT_NE(window.templateWC(), nullptr);
        EXPECT_EQ(choosers.made, 1);
        EXPECT_EQ(choosers.delegate, &window);
        EXPECT_EQ(choosers.shownAsWindow, 1);
        EXPECT_FALSE(window.canOpenProject());
        window.showTemplates(false);
        EXPECT_EQ(choosers.made, 1);
        EXPECT_EQ(choosers.sheets, QList<QWidget*>{&window});
        EXPECT_EQ(choosers.canOpenProject, (QList<bool>{true, false}));

        window.setOpenTemplateAfterfullScreen(true);
        window.showTemplates(true);
        EXPECT_TRUE(window.canOpenProject());  // waits for the end of the change
        EXPECT_EQ(choosers.shownAsWindow, 1);
        window.showTemplates(false);
        EXPECT_FALSE(window.canOpenProject());  // a sheet request is dropped
        EXPECT_EQ(choosers.sheets.size(), 1);
        window.setOpenTemplateAfterfullScreen(false);
        window.showTemplates(true);
        EXPECT_EQ(choosers.shownAsWindow, 2);
        EXPECT_EQ(choosers.delegateCleared, 0);
    }
    // The window lets go of its chooser before it goes.
    EXPECT_EQ(choosers.delegateCleared, 1);
    EXPECT_EQ(choosers.delegate, nullptr);
}

// The chosen project takes the window's place once the "Opening..." sheet is up; the document then belongs
// to its file (a template package stays untitled), has nothing to save, and the missing files show at once.
TEST_F(TemplateChooserTest, AChosenProjectOpensAfterTheSheetIsUp) {
    struct Case {
        QString name;
        bool titled;
        QString title;
    };
    const Case cases[] = {{QStringLiteral("Trip.vrtp3"), true, QStringLiteral("Trip")},
                          {QStringLiteral("Card.vrtpkg"), false, QStringLiteral("Untitled")}};
    for (const Case& c : cases) {
        const QString package = savedProject(c.name, 3, QStringLiteral("IMG_7.jpg"));
        const auto document = documentFor({});
        KXMainWindow window;
        window.initWindowWidthDocument(document.get());
        document->updateChangeCount(kx::ChangeDone);  // an edit of the empty project
        KXProject* before = window.project();
        missing = {};

        window.templateWindowControllerOpenPorject(nullptr, package);
        EXPECT_TRUE(window.isVisible());
        ASSERT_TRUE(sheetIsUp(window));
        EXPECT_EQ(window.pbCtl()->tip(), QStringLiteral("Opening..."));
        EXPECT_TRUE(window.pbCtl()->btCancel()->isVisible());
        EXPECT_EQ(window.project(), before);  // nothing loaded yet

        ASSERT_TRUE(processEventsUntil([&] { return window.project() != before; }));
        EXPECT_FALSE(sheetIsUp(window));
        ASSERT_EQ(window.project()->canvasCount(), 3);
        EXPECT_EQ(window.project()->currentIndex(), 0);
        EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("1/3"));
        EXPECT_EQ(document->fileURL(), c.titled ? package : QString()) << c.name.toStdString();
        EXPECT_EQ(window.windowTitle(), c.title);
        EXPECT_EQ(document->changeCount(), 0);
        EXPECT_EQ(document->undoManager(), &window.project()->currentCanvas()->undoManager());
        EXPECT_EQ(missing.shown, 1);
        EXPECT_EQ(missing.names, QStringList{"IMG_7.jpg"});
    }
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(TemplateChooserTest, AChosenProjectThatCannotBeReadChangesNothing) {
    const QString good = savedProject(QStringLiteral("Good.vrtp3"), 2);
    const auto document = documentFor(good);
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    window.switchCanvasToIndex(1);
    KXProject* before = window.project();
    window.templateWindowControllerOpenPorject(nullptr, dir.filePath(QStringLiteral("Missing.vrtp3")));
    ASSERT_TRUE(processEventsUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_FALSE(sheetIsUp(window));
    EXPECT_EQ(window.project(), before);
    EXPECT_EQ(window.project()->currentIndex(), 1);
    EXPECT_EQ(document->fileURL(), good);
}

// Cancelling the "Opening..." sheet only closes it: the chosen project still opens.
TEST_F(TemplateChooserTest, CancellingTheOpeningSheetOnlyClosesIt) {
    const QString package = savedProject(QStringLiteral("Late.vrtp3"), 2);
    const auto document = documentFor({});
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    KXProject* before = window.project();
    KXProgressBarController::setAlertRunner(
        [](const QString&, const QString&, const QString&, const QString&) { return KXProgressBarController::AlertFirstButtonReturn; });
    window.templateWindowControllerOpenPorject(nullptr, package);
    ASSERT_TRUE(sheetIsUp(window));
    window.pbCtl()->cancelClick();
    KXProgressBarController::setAlertRunner({});
    EXPECT_TRUE(window.pbCtl()->isCancelled());
    EXPECT_FALSE(sheetIsUp(window));
    EXPECT_EQ(window.project(), before);
    ASSERT_TRUE(processEventsUntil([&] { return window.project() != before; }));
    EXPECT_EQ(window.project()->canvasCount(), 2);
    EXPECT_EQ(document->fileURL(), package);
}

// A chosen template replaces the project and shows the chosen page; the missing files show a second later.
TEST_F(TemplateChooserTest, AChosenTemplateStartsANewProjectAtItsPage) {
    GAObject::initializeGATrackerWithID(QString());
    ASSERT_NE(GAObject::defaultObject(), nullptr);
    const QString folder = savedTemplate(QStringLiteral("Cards"), QStringLiteral("Birthday"), QStringLiteral("face_gone.jpg"));
    const auto document = documentFor({});
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    KXProject* before = window.project();
    missing = {};

    window.templateWindowControllerOpenTemplate(nullptr, folder, 2);
    ASSERT_TRUE(sheetIsUp(window));
    EXPECT_EQ(window.pbCtl()->tip(), QStringLiteral("Opening..."));
    EXPECT_EQ(window.project(), before);
    // The choice was counted: the template's category and name.
    const QList<QByteArray>& hits = GAObject::defaultObject()->eventQueue();
    ASSERT_EQ(hits.size(), 2);
    EXPECT_TRUE(hits[0].contains("el=Cards")) << hits[0].toStdString();
    EXPECT_TRUE(hits[1].contains("el=Birthday")) << hits[1].toStdString();

    ASSERT_TRUE(processEventsUntil([&] { return window.project() != before; }));
    EXPECT_FALSE(sheetIsUp(window));
    ASSERT_EQ(window.project()->canvasCount(), 3);
    EXPECT_EQ(window.project()->currentIndex(), 2);
    EXPECT_EQ(window.project()->currentCanvas()->background()->color1(), kTemplateColors[2]);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Untitled"));
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_EQ(missing.shown, 0);  // not yet: a second after the opening
    ASSERT_TRUE(processEventsUntil([&] { return missing.shown == 1; }));
    EXPECT_EQ(missing.names, QStringList{"face_gone.jpg"});

    // A cancelled chooser brings the window forward and changes nothing.
    window.hide();
    window.setNewPage(true);
    window.templateWindowControllerDidCancel(nullptr);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.newPage());
    EXPECT_EQ(window.project()->canvasCount(), 3);
    EXPECT_TRUE(alerts.isEmpty());
}

// Adding pages from a template: with page 2 of 4 current, a three-page template makes pages 3 to 5 of 7,
// page 3 becomes current and the document counts one change.
TEST_F(TemplateChooserTest, ATemplateInsertedAfterPage2Of4GivesPages3To5Of7) {
    const QString package = savedProject(QStringLiteral("Album.vrtp3"), 4);
    const QString folder = savedTemplate(QStringLiteral("Collages"), QStringLiteral("Three"), QStringLiteral("x_gone.jpg"));
    const auto document = documentFor(package);
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    ASSERT_TRUE(window.switchCanvasToIndex(1));
    ASSERT_EQ(document->changeCount(), 0);
    KXProject* project = window.project();
    missing = {};
    int changes = 0;
    const kx::NotificationToken counting = kx::NotificationCenter::defaultCenter().addObserver(
        KXDocumentChanged, document.get(), [&](const kx::Notification&) { ++changes; });

    window.setNewPage(true);
    window.setPreviewChanged(false);
    window.templateWindowControllerOpenTemplate(nullptr, folder, 0);
    EXPECT_FALSE(window.newPage());
    ASSERT_TRUE(sheetIsUp(window));
    EXPECT_EQ(project->canvasCount(), 4);

    ASSERT_TRUE(processEventsUntil([&] { return project->canvasCount() == 7; }));
    EXPECT_EQ(window.project(), project);  // the same project, grown
    EXPECT_FALSE(sheetIsUp(window));
    EXPECT_EQ(project->currentIndex(), 2);
    EXPECT_EQ(window.tfPageTip()->text(), QStringLiteral("3/7"));
    EXPECT_EQ(window.preview()->canvasLayer(), project->canvasLayerAtIndex(2).get());
    EXPECT_EQ(document->undoManager(), &project->canvasAtIndex(2)->undoManager());
    const kx::Color expected[] = {kProjectColors[0],  kProjectColors[1],  kTemplateColors[0], kTemplateColors[1],
                                  kTemplateColors[2], kProjectColors[2], kProjectColors[3]};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(project->canvasAtIndex(i)->background()->color1(), expected[i]) << i;
        EXPECT_EQ(project->canvasAtIndex(i)->pixelSize(), (kx::Size{800, 600})) << i;  // the first page's size
    }
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(window.lockChangeCount());
    EXPECT_TRUE(window.previewChanged());
    EXPECT_EQ(document->fileURL(), package);
    EXPECT_EQ(project->path(), package);
    EXPECT_EQ(missing.shown, 1);  // at once on this road
    EXPECT_EQ(missing.names, QStringList{"x_gone.jpg"});

    // A template that cannot be read adds nothing and counts nothing.
    window.setNewPage(true);
    window.templateWindowControllerOpenTemplate(nullptr, dir.filePath(QStringLiteral("Nowhere.tpl")), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_FALSE(sheetIsUp(window));
    EXPECT_EQ(project->canvasCount(), 7);
    EXPECT_EQ(project->currentIndex(), 2);
    EXPECT_EQ(document->changeCount(), 1);
}

// Random fill is offered while the current page has empty photo frames: on a page switch, after an undo or
// redo on the current page (not on another page), and when an empty frame is about to go.
TEST_F(TemplateChooserTest, RandomFillFollowsTheCurrentPagesEmptyFrames) {
    const auto document = documentFor({});
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    KXProject* project = window.project();
    project->createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    KXCanvas& first = *project->canvasAtIndex(0);
    KXCanvas& second = *project->canvasAtIndex(1);
    kxtest::addPhoto(first, QString());
    kxtest::addPhoto(first, QString(), {0.5, 0.5, 0.3, 0.3});
    ASSERT_EQ(first.emptyPhotos().size(), 2u);
    QCoreApplication::processEvents();  // ends the undo group of the additions

    ASSERT_TRUE(window.switchCanvasToIndex(0));
    EXPECT_TRUE(window.canFillRandomly());
    ASSERT_TRUE(window.switchCanvasToIndex(1));
    EXPECT_FALSE(window.canFillRandomly());

    // An empty frame arrives on the current page unannounced; an undo on another page does not look again.
    kxtest::addPhoto(second, QString());
    QCoreApplication::processEvents();
    first.undoManager().undo();
    EXPECT_TRUE(first.emptyPhotos().empty());
    EXPECT_FALSE(window.canFillRandomly());
    first.undoManager().redo();
    EXPECT_FALSE(window.canFillRandomly());
    // An undo or redo on the current page does.
    second.undoManager().undo();
    EXPECT_FALSE(window.canFillRandomly());
    second.undoManager().redo();
    EXPECT_TRUE(window.canFillRandomly());

    // Removing an empty frame: the one going still counts, so the answer stays while another is left.
    ASSERT_TRUE(window.switchCanvasToIndex(0));
    ASSERT_EQ(first.emptyPhotos().size(), 2u);
    kxtest::addPhoto(first, QString(), {0.2, 0.6, 0.2, 0.2});
    ASSERT_EQ(first.emptyPhotos().size(), 3u);
    first.removeGraph(first.graphs().back().get());
    EXPECT_TRUE(window.canFillRandomly());
    first.removeGraph(first.graphs().back().get());
    EXPECT_TRUE(window.canFillRandomly());
    first.removeGraph(first.graphs().back().get());
    EXPECT_FALSE(window.canFillRandomly());
    // The same on a page that is not current changes nothing.
    kxtest::addPhoto(second, QString());
    kxtest::addPhoto(first, QString());
    ASSERT_TRUE(window.switchCanvasToIndex(0));
    EXPECT_TRUE(window.canFillRandomly());
    second.removeGraph(second.graphs().back().get());
    second.removeGraph(second.graphs().back().get());
    EXPECT_TRUE(window.canFillRandomly());
}

// The settings panel follows this window's selection (object tab with a selection, page tab without one)
// while it is shown; document changes mark the Quick Look preview out of date.
TEST_F(TemplateChooserTest, SelectionAndDocumentChangesOfThisWindowOnly) {
    const auto document = documentFor({});
    KXMainWindow window;
    window.initWindowWidthDocument(document.get());
    KXCanvas& page = *window.project()->currentCanvas();
    EXPECT_EQ(window.settingTabIndex(), 1);
    // A new object is selected, and the view takes the page's selection.
    kxtest::addPhoto(page, QString());
    const auto graph = page.graphs().back();
    EXPECT_EQ(window.settingTabIndex(), 0);
    window.preview()->deselectAllGraphs();
    EXPECT_EQ(window.settingTabIndex(), 1);
    window.preview()->setSelectedGraphs({graph});
    EXPECT_EQ(window.settingTabIndex(), 0);
    window.preview()->deselectAllGraphs();

    // Another window's view, or a hidden settings panel: no change.
    const auto otherDocument = documentFor({});
    KXMainWindow other;
    other.initWindowWidthDocument(otherDocument.get());
    page.setAllGrpahsSelection(true);
    kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, other.preview());
    EXPECT_EQ(window.settingTabIndex(), 1);
    window.settingView()->hide();
    window.preview()->setSelectedGraphs({graph});
    EXPECT_EQ(window.settingTabIndex(), 1);

    window.setPreviewChanged(false);
    const auto stranger = documentFor({});
    stranger->updateChangeCount(kx::ChangeDone);
    EXPECT_FALSE(window.previewChanged());
    document->updateChangeCount(kx::ChangeDone);
    EXPECT_TRUE(window.previewChanged());
}

// The toolbar holds its four items, each enabled now that its command exists.
TEST_F(TemplateChooserTest, TheToolbarItemsAreThereAndEnabled) {
    KXMainWindow window;
    ASSERT_NE(window.toolbar(), nullptr);
    const QList<QAction*> items = {window.tbiShape(), window.tbiBackground(), window.tbiShare(), window.tbiExport()};
    const char* names[] = {"tbiShape", "tbiBackground", "tbiShare", "tbiExport"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(items[i], nullptr) << names[i];
        EXPECT_EQ(items[i]->objectName(), QLatin1String(names[i]));
        EXPECT_TRUE(window.toolbar()->actions().contains(items[i])) << names[i];
        EXPECT_TRUE(items[i]->isEnabled()) << names[i];
        EXPECT_FALSE(items[i]->text().isEmpty()) << names[i];
    }
    // The share item toggles the share popover.
    window.tbiShare()->trigger();
    ASSERT_NE(window.shareViewController(), nullptr);
    EXPECT_TRUE(window.shareViewController()->popover()->popupWindow()->isVisible());
    window.shareViewController()->popover()->hideWindow();
    EXPECT_FALSE(window.shareViewController()->popover()->popupWindow()->isVisible());
}

}  // namespace
