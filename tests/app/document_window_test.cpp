// The document window with its project document: opening through the document controller, editing a page,
// the save road with its progress sheet, closing and opening again, and what a file that fails to open does.
#include "app/main_window.h"
#include "app_test_support.h"
#include "canvas/canvas_view.h"
#include "document/version_info.h"
#include "library/template_folders.h"
#include "library/template_name_sheets.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "output/progress_sheet.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "support/environment_override.h"
#include "support/event_wait.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

namespace {

const kx::Color kPageColors[] = {kx::Color::srgb(1, 0, 0, 1), kx::Color::srgb(0, 0.5, 0, 1),
                                 kx::Color::srgb(0, 0, 1, 1)};

// The rectangle of the one shape on page i of the test projects.
kx::Rect shapeRect(int i) {
    return {0.1 + 0.1 * i, 0.2, 0.3, 0.25};
}

using kxtest::processEventsUntil;

// Every file of a folder with a digest of its bytes.
QMap<QString, QByteArray> folderDigest(const QString& folder) {
    QMap<QString, QByteArray> digest;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            digest.insert(QDir(folder).relativeFilePath(path),
                          QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return digest;
}

class DocumentWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        kx::UserDefaults::setStandardFilePath(dir.filePath(QStringLiteral("settings.conf")));
        KXDocument::registerDefaults();
        KXProject::setPageRenderer(kxtest::greyPageRendering);
        KXMainWindow::setAlertPresenter([this](QWidget*, const QString& message, const QString&) { alerts << message; });
        KXDocumentWindowController::installFactory(nullptr);
        kx::DocumentController& controller = documents();
        controller.setDocumentFactory([] { return std::make_shared<KXDocument>(); });
        controller.setAutosaveFolder(dir.filePath(QStringLiteral("Autosave")));
        controller.setAutosavingDelay(300);
        controller.setErrorPresenter([this](const QString& message, const QString& informative) {
            errors << message;
            reasons << informative;
        });
        controller.setSavePanel([this](kx::Document&) {
            ++panels;
            return savePanelAnswer;
        });
        controller.setCloseQuestion([this](kx::Document&) {
            ++questions;
            return closeAnswer;
        });
        controller.setSaveChangesQuestion([this](kx::Document& document) {
            askedToSave << document.displayName();
            if (saveAnswers.empty())
                return kx::DocumentController::SaveChangesAnswer::Cancel;
            const auto answer = saveAnswers.front();
            saveAnswers.erase(saveAnswers.begin());
            return answer;
        });
    }
    void TearDown() override { kxtest::closeDocumentsAndRestoreDefaults(); }

    static kx::DocumentController& documents() { return kx::DocumentController::shared(); }

    // A saved package of three 800 x 600 pages, each with its colour and one shape at shapeRect(i).
    QString threePageProject(const QString& name) {
        KXProject project;
        project.removeAllCanvasLayers();
        for (int i = 0; i < 3; ++i) {
            auto canvas = std::make_shared<KXCanvas>();
            const KXSize size(800, 600, KXSizeUnitPixel, 72);
            canvas->setPageSize(&size);
            canvas->setMarginRect({0, 0, 800, 600});
            canvas->background()->setColor1(kPageColors[i]);
            project.createNewLayerWithCanvas(canvas);
            auto shape = std::make_shared<KXShape>();
            canvas->addGraph(shape);
            shape->setRelativeRect(shapeRect(i));
        }
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(project.saveAsProjectToPath(path, KXSaveOperationSave, &error)) << error.toStdString();
        return path;
    }

    // Opens a file through the document controller and waits until its window is set up.
    std::shared_ptr<KXDocument> open(const QString& path) {
        QString error;
        auto document = std::dynamic_pointer_cast<KXDocument>(documents().openDocumentWithContentsOfURL(path, &error));
        EXPECT_TRUE(document) << error.toStdString();
        if (document)
            EXPECT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
        return document;
    }
    static KXMainWindow* windowOf(const KXDocument& document) {
        auto* controller = dynamic_cast<KXDocumentWindowController*>(document.mainWC().get());
        return controller ? controller->window() : nullptr;
    }
    static QAction* action(KXMainWindow* window, const char* name) {
        return window->findChild<QAction*>(QLatin1String(name));
    }
    static std::vector<kx::Rect> shapeRects(const KXProject& project) {
        std::vector<kx::Rect> rects;
        for (std::int64_t i = 0; i < project.canvasCount(); ++i)
            for (const auto& graph : project.canvasAtIndex(i)->graphs())
                rects.push_back(graph->relativeRect());
        return rects;
    }

    QTemporaryDir dir;
    QStringList alerts;
    QStringList errors;
    QStringList reasons;
    QStringList askedToSave;
    std::vector<kx::DocumentController::SaveChangesAnswer> saveAnswers;
    QString savePanelAnswer;
    int panels = 0;
    int questions = 0;
    bool closeAnswer = false;
};

TEST_F(DocumentWindowTest, TheInstalledFactoryGivesTheDocumentItsWindow) {
    const QString package = threePageProject(QStringLiteral("Album.vrtp3"));
    const auto document = open(package);
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->document(), document.get());
    EXPECT_EQ(document->windowControllers().front(), document->mainWC());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(document->pbCtl(), nullptr);  // the loading window is gone
    ASSERT_EQ(window->project()->canvasCount(), 3);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Album"));
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("1/3"));
    // Each page switch hands the page's undo manager to the document.
    for (std::int64_t i : {1, 2, 0}) {
        ASSERT_TRUE(window->switchCanvasToIndex(i));
        EXPECT_EQ(document->undoManager(), &window->project()->canvasAtIndex(i)->undoManager());
    }
    // Opening the same file again brings the open document forward.
    EXPECT_EQ(documents().openDocumentWithContentsOfURL(package), document);
    EXPECT_EQ(documents().documents().size(), 1u);
    EXPECT_TRUE(alerts.isEmpty());
}

// File > Save as Template: the sheet names the template, and the project is written among the person's own
// templates, where it opens again with every page; the project itself stays where it was.
TEST_F(DocumentWindowTest, SaveAsTemplateKeepsTheProjectAmongTheOwnTemplates) {
    const kxtest::EnvironmentOverride data("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    const QString package = threePageProject(QStringLiteral("Album.vrtp3"));
    const auto document = open(package);
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    ASSERT_NE(window, nullptr);
    QAction* saveAsTemplate = action(window, "SaveAsTemplate");
    ASSERT_NE(saveAsTemplate, nullptr);
    int sheets = 0;
    // The sheet runs modally: it is answered from the event loop once it is up.
    std::function<void()> answer = [&] {
        auto* sheet = qobject_cast<KXSaveTemplateController*>(QApplication::activeModalWidget());
        if (!sheet) {
            QTimer::singleShot(10, answer);
            return;
        }
        ++sheets;
        sheet->tfName()->setText(QStringLiteral("Holiday"));
        sheet->OKClicked();
    };
    QTimer::singleShot(0, answer);
    saveAsTemplate->trigger();
    EXPECT_EQ(sheets, 1);
    const QString folder = kx::templates::userTemplateFolderPath() + QStringLiteral("/Holiday.tpl");
    ASSERT_TRUE(folder.startsWith(dir.filePath("data"))) << folder.toStdString();
    QString error;
    const std::unique_ptr<KXProject> saved = KXProject::initWithPath(folder + QStringLiteral("/info.xml"), &error);
    ASSERT_NE(saved, nullptr) << error.toStdString();
    EXPECT_EQ(saved->canvasCount(), 3);
    EXPECT_EQ(document->fileURL(), package);
    EXPECT_TRUE(alerts.isEmpty());
}

// Open, edit page 2, save through the window, close, open again: the pages are as they were, with the edit.
TEST_F(DocumentWindowTest, AThreePageProjectSurvivesEditSaveCloseAndReopen) {
    const QString package = threePageProject(QStringLiteral("Trip.vrtp3"));
    auto document = open(package);
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    ASSERT_NE(window, nullptr);
    const std::vector<kx::Rect> before = shapeRects(*window->project());
    ASSERT_EQ(before.size(), 3u);
    std::vector<kx::Color> colours;
    for (int i = 0; i < 3; ++i)
        colours.push_back(window->project()->canvasAtIndex(i)->background()->color1());

    // Page 2: its shape moves, one undo step that the document counts.
    ASSERT_TRUE(window->switchCanvasToIndex(1));
    KXCanvas& page = *window->project()->currentCanvas();
    const kx::Rect moved{0.5, 0.55, 0.3, 0.25};
    page.graphs().front()->setRelativeRect(moved);
    ASSERT_TRUE(processEventsUntil([&] { return document->changeCount() == 1; }));
    EXPECT_TRUE(page.undoManager().canUndo());
    EXPECT_TRUE(document->isDocumentEdited());

    // Save (Ctrl+S) through the window: the sheet shows while saving and the count is cleared.
    QAction* save = action(window, "Save");
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->shortcut(), QKeySequence(QKeySequence::Save));
    save->trigger();
    EXPECT_EQ(document->changeCount(), 0);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(panels, 0);  // the document has its file
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    ASSERT_NE(window->pbCtl(), nullptr);
    EXPECT_EQ(window->pbCtl()->tip(), QStringLiteral("Saving..."));
    EXPECT_FALSE(window->pbCtl()->btCancel()->isVisible());
    EXPECT_FALSE(window->pbCtl()->window()->isVisible());
    // The save left no undo step of its own.
    page.undoManager().undo();
    EXPECT_EQ(page.graphs().front()->relativeRect(), before[1]);
    page.undoManager().redo();
    EXPECT_EQ(page.graphs().front()->relativeRect(), moved);
    ASSERT_TRUE(processEventsUntil([&] { return document->changeCount() == 0; }));

    const QMap<QString, QByteArray> saved = folderDigest(package);
    document->close();
    EXPECT_TRUE(documents().documents().empty());
    const std::weak_ptr<KXDocument> gone = document;
    document.reset();
    EXPECT_TRUE(gone.expired());

    // Opened again: three pages, the edit on page 2 only, the first page current, nothing to save.
    document = open(package);
    ASSERT_TRUE(document);
    window = windowOf(*document);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->project()->canvasCount(), 3);
    EXPECT_EQ(window->project()->currentIndex(), 0);
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("1/3"));
    const std::vector<kx::Rect> after = shapeRects(*window->project());
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], moved);
    EXPECT_EQ(after[2], before[2]);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(window->project()->canvasAtIndex(i)->background()->color1(), colours[i]) << i;
    EXPECT_EQ(document->changeCount(), 0);
    EXPECT_FALSE(window->project()->currentCanvas()->undoManager().canUndo());
    // Opening wrote nothing.
    EXPECT_EQ(folderDigest(package), saved);
    EXPECT_TRUE(alerts.isEmpty());
}

// Save as asks for the package's name and the document then belongs to it; a save to writes a copy and
// leaves the count, so the user is still asked before closing.
TEST_F(DocumentWindowTest, SaveAsMovesTheDocumentAndSaveToKeepsTheCount) {
    const QString package = threePageProject(QStringLiteral("First.vrtp3"));
    const auto document = open(package);
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    window->project()->currentCanvas()->graphs().front()->setRelativeRect({0.4, 0.4, 0.2, 0.2});
    ASSERT_TRUE(processEventsUntil([&] { return document->changeCount() == 1; }));

    const QString copy = dir.filePath(QStringLiteral("Copy.vrtp3"));
    ASSERT_TRUE(document->saveToURL(copy, kx::SaveToOperation));
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_EQ(document->fileURL(), package);
    ASSERT_TRUE(KXProject::initWithPath(copy));

    // Cancelling the panel saves nothing.
    action(window, "SaveAs")->trigger();
    EXPECT_EQ(panels, 1);
    EXPECT_EQ(document->changeCount(), 1);

    savePanelAnswer = dir.filePath(QStringLiteral("Second.vrtp3"));
    action(window, "SaveAs")->trigger();
    EXPECT_EQ(panels, 2);
    EXPECT_EQ(document->changeCount(), 0);
    EXPECT_EQ(document->fileURL(), savePanelAnswer);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Second"));
    const auto reread = KXProject::initWithPath(savePanelAnswer);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->canvasCount(), 3);
    EXPECT_EQ(reread->canvasAtIndex(0)->graphs().front()->relativeRect(), (kx::Rect{0.4, 0.4, 0.2, 0.2}));
}

// A file that fails to open leaves an untitled document with an empty project: saving asks for a new name
// and never writes over the file; and in an open window such a file never replaces the project.
TEST_F(DocumentWindowTest, AFileThatFailsToOpenIsNeverOverwrittenNorReplacesTheProject) {
    const QString broken = dir.filePath(QStringLiteral("Broken.vrtp3"));
    QDir().mkpath(broken);
    QFile info(broken + QStringLiteral("/info.xml"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("bplist00 this is not an archive");
    info.close();
    KXProject pageless;
    pageless.removeAllCanvasLayers();
    const QString empty = dir.filePath(QStringLiteral("Empty.vrtp3"));
    QDir().mkpath(empty);
    pageless.saveDataToPath(empty + QStringLiteral("/info.xml"));

    for (const QString& path : {broken, empty}) {
        const QMap<QString, QByteArray> bytes = folderDigest(path);
        const auto document = open(path);
        ASSERT_TRUE(document);
        KXMainWindow* window = windowOf(*document);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->project()->canvasCount(), 1);
        EXPECT_TRUE(document->fileURL().isEmpty()) << path.toStdString();
        EXPECT_TRUE(document->projPath().isEmpty());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Untitled"));
        window->project()->currentCanvas()->addGraph(std::make_shared<KXShape>());
        ASSERT_TRUE(processEventsUntil([&] { return document->changeCount() == 1; }));
        const int panelsBefore = panels;
        action(window, "Save")->trigger();
        EXPECT_EQ(panels, panelsBefore + 1);  // save asks where, as for any untitled document
        EXPECT_EQ(document->changeCount(), 1);
        EXPECT_FALSE(document->autosave() && document->fileURL() == path);
        EXPECT_EQ(folderDigest(path), bytes) << path.toStdString();
        document->close();
    }
    EXPECT_EQ(alerts.size(), 2);

    // In an open window, neither file takes the place of the project.
    const auto document = open(threePageProject(QStringLiteral("Kept.vrtp3")));
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    window->switchCanvasToIndex(2);
    KXProject* kept = window->project();
    for (const QString& path : {broken, empty}) {
        EXPECT_FALSE(window->openProjectWithPath(path));
        EXPECT_EQ(window->project(), kept);
        EXPECT_EQ(window->project()->currentIndex(), 2);
        EXPECT_EQ(document->undoManager(), &kept->canvasAtIndex(2)->undoManager());
    }
}

// Closing an edited window asks Save / Don't Save / Cancel: Cancel keeps it, Don't Save closes it without
// writing, Save writes the package and then closes it.
TEST_F(DocumentWindowTest, ClosingAnEditedWindowAsksToSaveItFirst) {
    using Answer = kx::DocumentController::SaveChangesAnswer;
    const QString package = threePageProject(QStringLiteral("Closing.vrtp3"));
    const kx::Rect moved{0.6, 0.6, 0.2, 0.2};
    for (const Answer answer : {Answer::Cancel, Answer::DontSave, Answer::Save}) {
        const auto document = open(package);
        ASSERT_TRUE(document);
        KXMainWindow* window = windowOf(*document);
        const kx::Rect before = window->project()->currentCanvas()->graphs().front()->relativeRect();
        window->project()->currentCanvas()->graphs().front()->setRelativeRect(moved);
        ASSERT_TRUE(processEventsUntil([&] { return document->isDocumentEdited(); }));
        const QMap<QString, QByteArray> bytes = folderDigest(package);
        askedToSave.clear();
        saveAnswers = {answer};
        EXPECT_EQ(window->close(), answer != Answer::Cancel);
        EXPECT_EQ(askedToSave, QStringList{QStringLiteral("Closing")});
        EXPECT_EQ(questions, 0);  // not the question about another window's file
        if (answer == Answer::Cancel) {
            QCoreApplication::processEvents();
            EXPECT_FALSE(document->isClosed());
            EXPECT_TRUE(window->isVisible());
            EXPECT_TRUE(document->isDocumentEdited());
            EXPECT_EQ(folderDigest(package), bytes);
            document->close();
            continue;
        }
        ASSERT_TRUE(processEventsUntil([&] { return document->isClosed(); }));
        EXPECT_TRUE(documents().documents().empty());
        const auto reread = KXProject::initWithPath(package);
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->canvasAtIndex(0)->graphs().front()->relativeRect(), answer == Answer::Save ? moved : before);
        if (answer == Answer::DontSave)
            EXPECT_EQ(folderDigest(package), bytes);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
}

// Save on an untitled window asks for a name; cancelling that keeps the window open with its changes.
TEST_F(DocumentWindowTest, SavingAnUntitledWindowOnCloseAsksForItsName) {
    using Answer = kx::DocumentController::SaveChangesAnswer;
    auto document = std::make_shared<KXDocument>();
    documents().addDocument(document);
    document->makeWindowControllers();
    ASSERT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
    KXMainWindow* window = windowOf(*document);
    window->project()->currentCanvas()->addGraph(std::make_shared<KXShape>());
    ASSERT_TRUE(processEventsUntil([&] { return document->isDocumentEdited(); }));

    saveAnswers = {Answer::Save};
    EXPECT_FALSE(window->close());  // the name was not given
    EXPECT_EQ(panels, 1);
    EXPECT_FALSE(document->isClosed());

    savePanelAnswer = dir.filePath(QStringLiteral("Named.vrtp3"));
    saveAnswers = {Answer::Save};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(panels, 2);
    ASSERT_TRUE(processEventsUntil([&] { return document->isClosed(); }));
    const auto reread = KXProject::initWithPath(savePanelAnswer);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->canvasAtIndex(0)->graphCount(), 1);
}

// Quitting asks about every edited window in turn; a Cancel stops the quit with the rest left open.
TEST_F(DocumentWindowTest, QuittingAsksAboutEveryEditedWindowAndCancelStopsIt) {
    using Answer = kx::DocumentController::SaveChangesAnswer;
    std::vector<std::shared_ptr<KXDocument>> opened;
    for (const char* name : {"One.vrtp3", "Two.vrtp3"}) {
        opened.push_back(open(threePageProject(QLatin1String(name))));
        ASSERT_TRUE(opened.back());
        windowOf(*opened.back())->project()->currentCanvas()->addGraph(std::make_shared<KXShape>());
        const auto& document = opened.back();
        ASSERT_TRUE(processEventsUntil([&] { return document->isDocumentEdited(); }));
    }
    QAction* quit = action(windowOf(*opened[0]), "Quit");
    ASSERT_NE(quit, nullptr);

    saveAnswers = {Answer::Cancel};
    quit->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(askedToSave.size(), 1);
    for (const auto& document : opened) {
        EXPECT_FALSE(document->isClosed());
        EXPECT_TRUE(windowOf(*document)->isVisible());
    }

    askedToSave.clear();
    saveAnswers = {Answer::DontSave, Answer::Save};
    quit->trigger();
    EXPECT_EQ(askedToSave.size(), 2);
    ASSERT_TRUE(processEventsUntil([&] { return documents().documents().empty(); }));
    // The one saved holds its new shape; the other does not.
    int saved = 0;
    for (const char* name : {"One.vrtp3", "Two.vrtp3"}) {
        const auto reread = KXProject::initWithPath(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(reread);
        saved += reread->canvasAtIndex(0)->graphCount() == 2;
    }
    EXPECT_EQ(saved, 1);
}

// A save that fails shows an alert with the writer's reason, and the document stays edited.
TEST_F(DocumentWindowTest, AFailedSaveShowsTheWritersReason) {
    const auto document = open(threePageProject(QStringLiteral("Failing.vrtp3")));
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    window->project()->currentCanvas()->addGraph(std::make_shared<KXShape>());
    ASSERT_TRUE(processEventsUntil([&] { return document->isDocumentEdited(); }));
    // A package inside a plain file cannot be written.
    QFile blocker(dir.filePath(QStringLiteral("plain-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    savePanelAnswer = blocker.fileName() + QStringLiteral("/Inside.vrtp3");
    QString expected;
    EXPECT_FALSE(window->project()->saveAsProjectToPath(savePanelAnswer, KXSaveOperationSaveTo, &expected));
    ASSERT_FALSE(expected.isEmpty());

    action(window, "SaveAs")->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("The document “Failing” could not be saved."));
    EXPECT_EQ(reasons[0], expected);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->fileURL(), dir.filePath(QStringLiteral("Failing.vrtp3")));
    EXPECT_FALSE(window->pbCtl()->window()->isVisible());
}

// Edit > Undo and Redo act on the current page's undo manager, are enabled exactly when they can act and
// carry the step's name in their titles.
TEST_F(DocumentWindowTest, UndoAndRedoFollowTheCurrentPage) {
    const auto document = open(threePageProject(QStringLiteral("Undo.vrtp3")));
    ASSERT_TRUE(document);
    KXMainWindow* window = windowOf(*document);
    QAction* undo = action(window, "Undo");
    QAction* redo = action(window, "Redo");
    ASSERT_NE(undo, nullptr);
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(redo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                                     QKeySequence(QStringLiteral("Ctrl+Y"))}));
    const auto state = [&] { return std::make_tuple(undo->isEnabled(), undo->text(), redo->isEnabled(), redo->text()); };
    using State = std::tuple<bool, QString, bool, QString>;
    EXPECT_EQ(state(), (State{false, "Undo", false, "Redo"}));

    KXCanvas& page = *window->project()->currentCanvas();
    KXGraph& shape = *page.graphs().front();
    const kx::Rect before = shape.relativeRect();
    const kx::Rect moved{0.5, 0.5, 0.3, 0.25};
    shape.setRelativeRect(moved);
    ASSERT_TRUE(processEventsUntil([&] { return document->changeCount() == 1; }));
    EXPECT_EQ(state(), (State{true, "Undo", false, "Redo"}));
    page.undoManager().setActionName(QStringLiteral("Move"));
    window->validateUndoItems();
    EXPECT_EQ(state(), (State{true, "Undo Move", false, "Redo"}));

    // Another page has nothing to undo; coming back shows this page's step again.
    window->switchCanvasToIndex(1);
    EXPECT_EQ(state(), (State{false, "Undo", false, "Redo"}));
    window->switchCanvasToIndex(0);
    EXPECT_EQ(state(), (State{true, "Undo Move", false, "Redo"}));

    undo->trigger();
    EXPECT_EQ(shape.relativeRect(), before);
    EXPECT_EQ(state(), (State{false, "Undo", true, "Redo Move"}));
    EXPECT_EQ(document->changeCount(), 0);
    undo->trigger();  // nothing left: nothing happens
    EXPECT_EQ(shape.relativeRect(), before);
    redo->trigger();
    EXPECT_EQ(shape.relativeRect(), moved);
    EXPECT_EQ(state(), (State{true, "Undo Move", false, "Redo"}));
    EXPECT_EQ(document->changeCount(), 1);
}

}  // namespace
