// The project document: accepted files, change counting and its notification, the save road through the
// window controller, autosave on a settable clock, the loading window, the save panel and duplicate.
#include "document_test_support.h"
#include "project_test_support.h"

#include "document/document.h"
#include "document/document_save_panel.h"
#include "output/progress_sheet.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QLabel>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

using namespace kxtest;

namespace {

class DocumentTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        kx::UserDefaults::setStandardFilePath(at("settings.conf"));
        KXDocument::registerDefaults();
        KXMainWindowController::setFactory([this] {
            windows.push_back(std::make_shared<TestWindowController>());
            return windows.back();
        });
        kx::DocumentController& controller = shared();
        controller.setAutosaveFolder(at("Autosave"));
        controller.setClock([this] { return clock; });
        controller.setAutosavingDelay(300);
        controller.setDocumentFactory([] { return std::make_shared<KXDocument>(); });
        controller.setCloseQuestion([this](kx::Document&) {
            ++questions;
            return closeAnswer;
        });
        controller.setErrorPresenter([this](const QString& message, const QString& informative) {
            errors << message;
            reasons << informative;
        });
        changed = kx::NotificationCenter::defaultCenter().addObserver(
            KXDocumentChanged, nullptr, [this](const kx::Notification& n) { posts.push_back(n.sender); });
    }
    void TearDown() override {
        kx::DocumentController& controller = shared();
        for (const auto& document : std::vector(controller.documents()))
            document->close();
        controller.setAutosavingDelay(0);
        controller.setClock({});
        controller.setCloseQuestion({});
        controller.setErrorPresenter({});
        controller.setAutosaveFolder({});
        KXMainWindowController::setFactory({});
        KXApplicationDelegate::setShared(nullptr);
        kx::UserDefaults::setStandardFilePath({});
        ProjectTest::TearDown();
    }

    static kx::DocumentController& shared() { return kx::DocumentController::shared(); }

    // A saved package with one photo of an image outside it.
    QString savedPackage(const QString& name, const QString& image = {}) {
        KXProject project;
        addPhoto(*project.canvasAtIndex(0), image.isEmpty() ? writeImage(at(name + "-photo.jpg")) : image);
        const QString package = at(name);
        EXPECT_TRUE(project.saveAsProjectToPath(package, KXSaveOperationSave));
        return package;
    }

    // Opens a file as the controller does and waits until its window is built.
    std::shared_ptr<KXDocument> open(const QString& path) {
        auto document = std::dynamic_pointer_cast<KXDocument>(shared().openDocumentWithContentsOfURL(path));
        EXPECT_TRUE(document);
        if (document)
            EXPECT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
        return document;
    }
    // A new untitled document with its window.
    std::shared_ptr<KXDocument> untitled() {
        auto document = std::make_shared<KXDocument>();
        shared().addDocument(document);
        document->makeWindowControllers();
        EXPECT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
        return document;
    }
    TestWindowController& windowOf(const KXDocument& document) {
        return dynamic_cast<TestWindowController&>(*document.windowControllers().front());
    }
    // Moves the autosave clock on and lets the due autosaves run.
    void advance(std::chrono::seconds by) {
        clock += by;
        shared().clockDidChange();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // One undoable edit on the document's current page (closed as one step by the event loop).
    void edit(KXDocument& document) {
        KXCanvas& page = *windowOf(document).project->currentCanvas();
        auto shape = std::make_shared<KXShape>();
        page.addGraph(shape);
        const std::int64_t before = document.changeCount();
        ASSERT_TRUE(processEventsUntil([&] { return document.changeCount() != before; }));
    }

    std::chrono::milliseconds clock{1'000'000};
    std::vector<std::shared_ptr<TestWindowController>> windows;
    std::vector<const void*> posts;
    kx::NotificationToken changed;
    int questions = 0;
    bool closeAnswer = false;
    QStringList errors;
    QStringList reasons;
};

// ---- opening ----

TEST_F(DocumentTest, AcceptedExtensionsInAnyCaseRecordAProjectOrATemplatePath) {
    struct Case {
        const char* name;
        bool accepted;
        bool isTemplate;
    };
    for (const Case& c : {Case{"A.vrtp3", true, false}, Case{"A.VRTP3", true, false}, Case{"a.VrtpLite3", true, false},
                          Case{"b.vrtplite", true, false}, Case{"c.vrtp", true, false}, Case{"t.vrtpkg", true, true},
                          Case{"T.VRTPKG", true, true}, Case{"u.tpl", false, false}, Case{"v.png", false, false},
                          Case{"d.vrtp3/", true, false}, Case{"vrtp3", false, false}, Case{"w.vrtp3.zip", false, false}}) {
        KXDocument document;
        QString error = QStringLiteral("untouched");
        const QString path = QDir::cleanPath(at(c.name));
        EXPECT_EQ(document.readFromURL(at(c.name), {}, &error), c.accepted) << c.name;
        EXPECT_EQ(error, QStringLiteral("untouched")) << c.name;
        EXPECT_EQ(document.projPath(), c.accepted && !c.isTemplate ? path : QString()) << c.name;
        EXPECT_EQ(document.templatePath(), c.accepted && c.isTemplate ? path : QString()) << c.name;
    }
    EXPECT_EQ(&KXDocument::readableTypes(), &KXDocument::readableTypes());  // built once
}

TEST_F(DocumentTest, APackageOpensBehindALoadingWindowThatClosesWhenTheWindowIsBuilt) {
    const QString package = savedPackage("P.vrtp3");
    auto document = std::dynamic_pointer_cast<KXDocument>(shared().openDocumentWithContentsOfURL(package));
    ASSERT_TRUE(document);
    KXProgressBarController* loading = document->pbCtl();
    ASSERT_TRUE(loading);
    EXPECT_TRUE(loading->window()->isVisible());
    EXPECT_EQ(loading->tip(), QStringLiteral("Opening..."));
    EXPECT_TRUE(loading->isIndeterminate());
    EXPECT_TRUE(loading->isAnimating());
    EXPECT_FALSE(loading->isCancelled());
    EXPECT_TRUE(loading->btCancel()->isHidden());
    EXPECT_TRUE(document->windowControllers().empty());  // built a tenth of a second later

    ASSERT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
    EXPECT_EQ(document->pbCtl(), nullptr);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(document->mainWC(), windows[0]);
    EXPECT_EQ(document->windowControllers().front(), windows[0]);
    EXPECT_EQ(windows[0]->windowShown, 1);
    EXPECT_TRUE(windows[0]->templatesShown.empty());
    EXPECT_EQ(windows[0]->project->path(), QFileInfo(package).absoluteFilePath());
    EXPECT_EQ(document->fileURL(), QFileInfo(package).absoluteFilePath());
    EXPECT_EQ(shared().openDocumentWithContentsOfURL(package), document);  // one document per file
}

TEST_F(DocumentTest, AnUntitledDocumentShowsNoLoadingWindowAndThenTheTemplateChooserInItsOwnWindow) {
    auto document = std::make_shared<KXDocument>();
    shared().addDocument(document);
    document->makeWindowControllers();
    EXPECT_EQ(document->pbCtl(), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return !document->windowControllers().empty(); }));
    EXPECT_EQ(windows[0]->templatesShown, std::vector<bool>{true});
    EXPECT_EQ(windows[0]->windowShown, 0);
    EXPECT_EQ(windows[0]->project->canvasCount(), 1);
    EXPECT_EQ(document->displayName(), QStringLiteral("Untitled"));
}

TEST_F(DocumentTest, ADocumentOpenedFromATemplateStaysUntitledSoNothingWritesOverTheTemplate) {
    KXProject source;
    addPhoto(*source.canvasAtIndex(0), writeImage(at("t.jpg")));
    const QString templatePackage = at("Cards.vrtpkg");
    ASSERT_TRUE(source.saveAsProjectToPath(templatePackage, KXSaveOperationSave));
    QFile info(templatePackage + "/info.xml");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray before = info.readAll();
    info.close();

    auto document = open(templatePackage);
    EXPECT_EQ(document->templatePath(), QFileInfo(templatePackage).absoluteFilePath());
    EXPECT_TRUE(document->projPath().isEmpty());
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_EQ(windows[0]->windowShown, 1);
    edit(*document);
    advance(std::chrono::seconds(300));
    ASSERT_EQ(windowOf(*document).saves.size(), 1u);
    EXPECT_EQ(windowOf(*document).saves[0].second, KXSaveOperationAutosaveElsewhere);
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_EQ(info.readAll(), before);
}

// ---- change counting ----

TEST_F(DocumentTest, EachKindOfChangeCountsAndPostsAsItShould) {
    struct Case {
        kx::DocumentChangeType kind;
        std::int64_t count;
        std::size_t posted;
    };
    KXDocument document;
    for (const Case& c : {Case{kx::ChangeDone, 1, 1}, Case{kx::ChangeDone, 2, 2}, Case{kx::ChangeUndone, 1, 3},
                          Case{kx::ChangeRedone, 2, 4}, Case{kx::ChangeAutosaved, 2, 4}, Case{kx::ChangeCleared, 0, 4},
                          Case{kx::ChangeUndone, -1, 5}, Case{kx::ChangeAutosaved, -1, 5}}) {
        document.updateChangeCount(c.kind);
        EXPECT_EQ(document.changeCount(), c.count) << c.kind;
        EXPECT_EQ(posts.size(), c.posted) << c.kind;
    }
    for (const void* sender : posts)
        EXPECT_EQ(sender, &document);
    EXPECT_TRUE(document.isDocumentEdited());
}

TEST_F(DocumentTest, AGroupThatClosesEmptyCountsNoChangeEvenAfterEarlierSteps) {
    auto document = untitled();
    edit(*document);
    ASSERT_EQ(document->changeCount(), 1);
    const std::size_t postsBefore = posts.size();
    kx::UndoManager& undo = windowOf(*document).project->currentCanvas()->undoManager();
    undo.beginUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_EQ(posts.size(), postsBefore);
}

TEST_F(DocumentTest, PageEditsUndoAndRedoCountAsChangesAndPostTheNotification) {
    auto document = untitled();
    edit(*document);
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_EQ(posts.size(), 1u);
    kx::UndoManager& undo = windowOf(*document).project->currentCanvas()->undoManager();
    undo.undo();
    EXPECT_EQ(document->changeCount(), 0);
    EXPECT_EQ(posts.size(), 2u);
    undo.redo();
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_EQ(posts.size(), 3u);
    // The page that is no longer the document's undo manager counts nothing.
    document->setUndoManager(nullptr);
    undo.undo();
    EXPECT_EQ(document->changeCount(), 1);
}

// ---- saving ----

TEST_F(DocumentTest, SaveAsClearsTheCountSilentlyAndTheDocumentBelongsToTheNewFile) {
    auto document = untitled();
    edit(*document);
    posts.clear();
    const QString target = at("New.vrtp3");
    ASSERT_TRUE(document->saveToURL(target, kx::SaveAsOperation));
    EXPECT_EQ(document->changeCount(), 0);
    EXPECT_TRUE(posts.empty());
    EXPECT_EQ(document->fileURL(), target);
    EXPECT_EQ(windowOf(*document).saves.back(), std::make_pair(target, KXSaveOperationSaveAs));
    EXPECT_EQ(windowOf(*document).project->path(), target);
}

TEST_F(DocumentTest, ASaveWithoutItsWindowControllerFailsWithoutAnError) {
    KXDocument document;
    QString error = QStringLiteral("untouched");
    EXPECT_FALSE(document.writeSafelyToURL(at("X.vrtp3"), {}, kx::SaveOperation, &error));
    EXPECT_EQ(error, QStringLiteral("untouched"));
    EXPECT_FALSE(QFileInfo::exists(at("X.vrtp3")));
}

TEST_F(DocumentTest, SavingClosesOnlyTheOtherDocumentOfTheSameFileLetterCaseCounting) {
    const QString upper = savedPackage("A.vrtp3");
    const QString lower = savedPackage("a.vrtp3");
    auto first = open(upper);
    auto second = open(lower);
    ASSERT_NE(first, second);
    ASSERT_TRUE(first->saveToURL(upper, kx::SaveOperation));
    EXPECT_FALSE(second->isClosed());  // a different file on a case-sensitive file system

    // The same file reached through another spelling of its path: the other document goes, unasked.
    QDir().mkpath(at("sub"));
    ASSERT_TRUE(second->saveToURL(at("sub/../A.vrtp3"), kx::SaveToOperation));
    EXPECT_TRUE(first->isClosed());
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(shared().documents().size(), 1u);
}

TEST_F(DocumentTest, AnotherDocumentWithUnsavedChangesIsNeverClosedWithoutAsking) {
    const QString package = savedPackage("P.vrtp3");
    ASSERT_TRUE(QFile::link(package, at("Link.vrtp3")));
    auto saver = untitled();
    auto other = open(at("Link.vrtp3"));
    edit(*other);

    closeAnswer = false;
    QString error;
    EXPECT_FALSE(saver->saveToURL(package, kx::SaveAsOperation, &error));
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(other->isClosed());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(windowOf(*saver).saves.empty());  // nothing was written

    // An autosave never asks: it gives way.
    EXPECT_FALSE(saver->saveToURL(package, kx::AutosaveElsewhereOperation));
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(other->isClosed());

    closeAnswer = true;
    ASSERT_TRUE(saver->saveToURL(package, kx::SaveAsOperation));
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(other->isClosed());
}

TEST_F(DocumentTest, SaveToAndAnAutosaveElsewhereLeaveTheOpenProjectWhereItWas) {
    const QString outside = writeImage(at("outside/photo.jpg"));
    const QString package = savedPackage("P.vrtp3", outside);
    auto document = open(package);
    KXProject& project = *windowOf(*document).project;
    const QStringList before = photoPaths(project);
    ASSERT_EQ(before, QStringList{package + "/Data/photo.jpg"});
    addPhoto(*project.currentCanvas(), outside, {0.5, 0.5, 0.2, 0.2});
    ASSERT_TRUE(processEventsUntil([&] { return document->isDocumentEdited(); }));

    const QString copy = at("Copy.vrtp3");
    ASSERT_TRUE(document->saveToURL(copy, kx::SaveToOperation));
    EXPECT_EQ(project.path(), package);
    EXPECT_EQ(document->fileURL(), package);
    EXPECT_EQ(photoPaths(project), (QStringList{package + "/Data/photo.jpg", outside}));
    auto written = KXProject::initWithPath(copy);
    ASSERT_TRUE(written);
    EXPECT_EQ(photoPaths(*written), (QStringList{copy + "/Data/photo.jpg", copy + "/Data/photo_1.jpg"}));
    // A save to writes a copy: the document's own file still lacks the change.
    EXPECT_TRUE(document->isDocumentEdited());

    const QString elsewhere = at("Autosave/P.vrtp3");
    QDir().mkpath(at("Autosave"));
    ASSERT_TRUE(document->saveToURL(elsewhere, kx::AutosaveElsewhereOperation));
    EXPECT_EQ(project.path(), package);
    EXPECT_EQ(photoPaths(project), (QStringList{package + "/Data/photo.jpg", outside}));
    EXPECT_EQ(document->autosavedContentsFileURL(), elsewhere);
    EXPECT_EQ(document->fileURL(), package);
    // No save leaves an undo step on the page.
    project.currentCanvas()->undoManager().removeAllActions();
    ASSERT_TRUE(document->saveToURL(package, kx::SaveOperation));
    EXPECT_FALSE(project.currentCanvas()->undoManager().canUndo());
    EXPECT_EQ(document->changeCount(), 0);
}

// ---- autosave ----

TEST_F(DocumentTest, AnAutosaveInPlaceLeavesTheCountAndPostsNothing) {
    auto document = open(savedPackage("P.vrtp3"));
    edit(*document);
    posts.clear();
    ASSERT_TRUE(document->autosave());
    EXPECT_EQ(windowOf(*document).saves.back().second, KXSaveOperationAutosaveInPlace);
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_FALSE(document->hasUnautosavedChanges());
    EXPECT_TRUE(posts.empty());
    EXPECT_FALSE(document->autosave());  // nothing new to autosave
}

TEST_F(DocumentTest, TheAutosaveTimerFiresOnceTheDelayHasPassedOnTheClock) {
    const QString package = savedPackage("P.vrtp3");
    auto document = open(package);
    auto& window = windowOf(*document);
    advance(std::chrono::seconds(1000));
    EXPECT_TRUE(window.saves.empty());  // nothing changed, nothing to autosave
    edit(*document);
    advance(std::chrono::seconds(299));
    EXPECT_TRUE(window.saves.empty());
    advance(std::chrono::seconds(1));
    ASSERT_EQ(window.saves.size(), 1u);
    EXPECT_EQ(window.saves[0], std::make_pair(QFileInfo(package).absoluteFilePath(), KXSaveOperationAutosaveInPlace));
    advance(std::chrono::seconds(600));
    EXPECT_EQ(window.saves.size(), 1u);
    // A new change starts a new delay.
    edit(*document);
    advance(std::chrono::seconds(300));
    EXPECT_EQ(window.saves.size(), 2u);
}

TEST_F(DocumentTest, AClearedCountCancelsAnAutosavePendingForEarlierEdits) {
    // The window clears the count when it shows a project just read from the document's file; the edits
    // made before must not be autosaved over that file.
    const QString package = savedPackage("P.vrtp3");
    auto document = open(package);
    auto& window = windowOf(*document);
    edit(*document);
    ASSERT_TRUE(document->hasUnautosavedChanges());
    document->updateChangeCount(kx::ChangeCleared);
    EXPECT_FALSE(document->hasUnautosavedChanges());
    advance(std::chrono::seconds(600));
    EXPECT_TRUE(window.saves.empty());
    // A later edit is autosaved as usual.
    edit(*document);
    advance(std::chrono::seconds(300));
    EXPECT_EQ(window.saves.size(), 1u);
}

TEST_F(DocumentTest, AnUndoAfterAnAutosaveIsAutosavedTooSoTheFileNeverKeepsAnUndoneChange) {
    const QString package = savedPackage("P.vrtp3");
    auto document = open(package);
    auto& window = windowOf(*document);
    edit(*document);
    advance(std::chrono::seconds(300));
    ASSERT_EQ(window.saves.size(), 1u);
    ASSERT_EQ(KXProject::initWithPath(package)->canvasAtIndex(0)->graphCount(), 2);
    window.project->currentCanvas()->undoManager().undo();
    EXPECT_FALSE(document->isDocumentEdited());  // as it was when opened
    EXPECT_TRUE(document->hasUnautosavedChanges());  // but not as the file now is
    advance(std::chrono::seconds(300));
    ASSERT_EQ(window.saves.size(), 2u);
    EXPECT_EQ(window.saves[1].second, KXSaveOperationAutosaveInPlace);
    EXPECT_EQ(KXProject::initWithPath(package)->canvasAtIndex(0)->graphCount(), 1);
    EXPECT_EQ(document->changeCount(), 0);
}

TEST_F(DocumentTest, AnUntitledDocumentAutosavesElsewhereAndItsCopyGoesWithIt) {
    auto document = untitled();
    edit(*document);
    advance(std::chrono::seconds(300));
    auto& window = windowOf(*document);
    ASSERT_EQ(window.saves.size(), 1u);
    EXPECT_EQ(window.saves[0].second, KXSaveOperationAutosaveElsewhere);
    const QString copy = document->autosavedContentsFileURL();
    EXPECT_TRUE(copy.startsWith(at("Autosave/")));
    EXPECT_TRUE(QFileInfo(copy + "/info.xml").isFile());
    EXPECT_TRUE(window.project->path().isEmpty());
    EXPECT_TRUE(document->fileURL().isEmpty());
    document->close();
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST_F(DocumentTest, WithAutosaveTurnedOffNothingIsAutosaved) {
    EXPECT_TRUE(KXDocument::autosavesInPlaceSetting());  // registered NO
    kx::UserDefaults::standard().setValue(KXDisableAutoSave, kx::Value(true));
    EXPECT_FALSE(KXDocument::autosavesInPlaceSetting());
    auto document = open(savedPackage("P.vrtp3"));
    EXPECT_FALSE(document->autosavesInPlace());
    edit(*document);
    advance(std::chrono::seconds(3000));
    EXPECT_FALSE(document->autosave());
    EXPECT_TRUE(windowOf(*document).saves.empty());
}

TEST_F(DocumentTest, AnAutosaveWaitsWhileTheProjectIsBeingRenderedOrSaved) {
    auto document = open(savedPackage("P.vrtp3"));
    auto& window = windowOf(*document);
    edit(*document);
    {
        kx::DocumentActivity rendering(*document);
        advance(std::chrono::seconds(300));
        EXPECT_TRUE(window.saves.empty());
        EXPECT_FALSE(document->autosave());
    }
    processEventsUntil([&] { return !window.saves.empty(); }, 2000);
    ASSERT_EQ(window.saves.size(), 1u);
    EXPECT_EQ(window.saves[0].second, KXSaveOperationAutosaveInPlace);

    // The timer comes due while a save runs its own event loop: the autosave waits for the save's end.
    edit(*document);
    window.duringSave = [&] {
        if (window.saves.size() == 2) {
            advance(std::chrono::seconds(300));
            EXPECT_EQ(window.saves.size(), 2u);
        }
    };
    ASSERT_TRUE(document->saveToURL(at("Other.vrtp3"), kx::SaveToOperation));
    EXPECT_EQ(window.saves.size(), 2u);
    processEventsUntil([&] { return window.saves.size() > 2; }, 2000);
    ASSERT_EQ(window.saves.size(), 3u);
    EXPECT_EQ(window.saves[2].second, KXSaveOperationAutosaveInPlace);
    // A save asked for while one runs is refused.
    window.duringSave = [&] { EXPECT_FALSE(document->saveToURL(document->fileURL(), kx::SaveOperation)); };
    ASSERT_TRUE(document->saveToURL(document->fileURL(), kx::SaveOperation));
    EXPECT_EQ(window.saves.size(), 4u);
}

// ---- save panel and duplicate ----

TEST_F(DocumentTest, TheSavePanelStartsInTheCloudContainerOnlyWhenThereIsOne) {
    struct Delegate : KXApplicationDelegate {
        QString container;
        QString ubiquityContainer() const override { return container; }
    } delegate;
    KXDocument document;
    kx::SavePanel panel;
    panel.setDirectory(at(""));
    const QString chosen = panel.directory().absolutePath();
    EXPECT_TRUE(document.prepareSavePanel(&panel));  // no delegate
    EXPECT_EQ(panel.directory().absolutePath(), chosen);
    KXApplicationDelegate::setShared(&delegate);
    EXPECT_TRUE(document.prepareSavePanel(&panel));  // no container
    EXPECT_EQ(panel.directory().absolutePath(), chosen);
    delegate.container = at("Cloud");
    QDir().mkpath(at("Cloud/Documents"));
    EXPECT_TRUE(document.prepareSavePanel(&panel));
    EXPECT_EQ(panel.directory().absolutePath(), at("Cloud/Documents"));
}

// The save panel starts beside the document's file (in the documents folder for an untitled one), offers the
// project packages and saves a project package even for a document started from a template.
TEST_F(DocumentTest, TheSavePanelStartsBesideTheDocumentAndOffersProjectPackages) {
    QDir().mkpath(at("Folder"));
    const QString package = savedPackage("Folder/P.vrtp3");
    auto titled = open(package);
    auto fromTemplate = std::make_shared<KXDocument>();
    ASSERT_TRUE(fromTemplate->readFromURL(at("T.vrtpkg"), {}, nullptr));
    KXDocument untitledDocument;
    QString documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documentsFolder.isEmpty() || !QFileInfo(documentsFolder).isDir())
        documentsFolder = QDir::homePath();
    struct Case {
        kx::Document* document;
        QString folder;
        QString name;
    };
    for (const Case& c : {Case{titled.get(), at("Folder"), "P"}, Case{fromTemplate.get(), documentsFolder, "Untitled"},
                          Case{&untitledDocument, documentsFolder, "Untitled"}}) {
        const std::unique_ptr<kx::SavePanel> panel = shared().makeSavePanel(*c.document);
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->directory().absolutePath(), QDir(c.folder).absolutePath()) << c.name.toStdString();
        EXPECT_EQ(panel->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(panel->defaultSuffix(), QStringLiteral("vrtp3"));
        ASSERT_EQ(panel->nameFilters().size(), 1);
        EXPECT_TRUE(panel->nameFilters().front().endsWith(QStringLiteral("(*.vrtp3 *.vrtplite3 *.vrtplite *.vrtp)")))
            << panel->nameFilters().front().toStdString();
        EXPECT_EQ(panel->packageExtensions(), KXDocument::readableTypes());
        EXPECT_EQ(panel->typedPath(), QDir(c.folder).absoluteFilePath(c.name + QStringLiteral(".vrtp3")));
    }
}

// A typed name: a new one is taken with the project extension; an existing package or file is replaced
// only when the user agrees, and never entered as a folder; an ordinary folder is entered.
TEST_F(DocumentTest, TheSavePanelTreatsAPackageAsOneItemAndAsksBeforeReplacingIt) {
    QDir().mkpath(at("Here"));
    const QString package = savedPackage("Here/Album.vrtp3");
    QDir().mkpath(at("Here/Photos"));
    QFile plain(at("Here/notes.vrtp"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QStringList asked;
    bool replace = false;
    kx::SavePanel::setReplaceQuestion([&](QWidget*, const QString& path) {
        asked << path;
        return replace;
    });
    struct Case {
        QString typed;
        bool replaceAnswer;
        QString chosen;     // empty: not accepted
        QString question;   // the path asked about, if any
        QString folderAfter;
    };
    const QString here = at("Here");
    const Case cases[] = {
        {"New", false, here + "/New.vrtp3", "", here},
        {"Trip 2.0", false, here + "/Trip 2.0.vrtp3", "", here},
        {"Album.vrtp3", false, "", package, here},
        {"Album.vrtp3", true, package, package, here},
        {"notes.vrtp", true, here + "/notes.vrtp", here + "/notes.vrtp", here},
        {"Photos", false, "", "", here + "/Photos"},
        {"", false, "", "", here},
    };
    for (const Case& c : cases) {
        kx::SavePanel panel;
        panel.setPackageExtensions(KXDocument::readableTypes());
        panel.setDefaultSuffix(QStringLiteral("vrtp3"));
        panel.setDirectory(here);
        panel.selectFile(c.typed);
        asked.clear();
        replace = c.replaceAnswer;
        panel.accept();
        EXPECT_EQ(panel.result() == QDialog::Accepted, !c.chosen.isEmpty()) << c.typed.toStdString();
        EXPECT_EQ(panel.chosenPath(), c.chosen) << c.typed.toStdString();
        EXPECT_EQ(asked, c.question.isEmpty() ? QStringList() : QStringList{c.question}) << c.typed.toStdString();
        EXPECT_EQ(panel.directory().absolutePath(), c.folderAfter) << c.typed.toStdString();
    }
    // A package reached as a folder (double-clicked) is chosen, not entered.
    kx::SavePanel panel;
    panel.setPackageExtensions(KXDocument::readableTypes());
    panel.setDefaultSuffix(QStringLiteral("vrtp3"));
    panel.setDirectory(here);
    replace = true;
    emit panel.directoryEntered(package);
    EXPECT_EQ(panel.result(), QDialog::Accepted);
    EXPECT_EQ(panel.chosenPath(), package);
    EXPECT_EQ(panel.directory().absolutePath(), here);
    kx::SavePanel::setReplaceQuestion({});
}

// A save that fails shows the alert with the reason the writer gave, or a plain one when it gave none; a
// cancelled save panel shows nothing.
TEST_F(DocumentTest, AFailedSaveShowsItsReason) {
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    auto document = open(savedPackage("P.vrtp3"));
    edit(*document);
    TestWindowController& window = windowOf(*document);
    window.failSaves = true;
    window.failReason = QStringLiteral("Cannot write \"P.vrtp3\": No space left on device");
    EXPECT_FALSE(document->saveDocumentPresentingError());
    window.failReason.clear();
    EXPECT_FALSE(document->saveDocumentPresentingError());
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0], QStringLiteral("The document “P” could not be saved."));
    EXPECT_EQ(reasons[0], QStringLiteral("Cannot write \"P.vrtp3\": No space left on device"));
    EXPECT_EQ(reasons[1], QStringLiteral("The project could not be written."));
    EXPECT_TRUE(document->isDocumentEdited());

    shared().setSavePanel([](kx::Document&) { return QString(); });
    EXPECT_FALSE(document->saveDocumentPresentingError(true));
    shared().setSavePanel({});
    EXPECT_EQ(errors.size(), 2);
    kx::Bundle::setMainResourcePath({});
}

// Closing a document with unsaved changes: Save saves first (asking for a name when untitled) and allows the
// close only when the save worked; Don't Save allows it; Cancel refuses it. An unchanged document never asks.
TEST_F(DocumentTest, ClosingAnEditedDocumentAsksSaveDontSaveOrCancel) {
    using Answer = kx::DocumentController::SaveChangesAnswer;
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    struct Case {
        const char* name;
        bool titled;
        bool edited;
        Answer answer;
        bool failSave;
        bool panelCancelled;
        bool mayClose;
        int saves;
        int alerts;
    };
    const Case cases[] = {
        {"unchanged", true, false, Answer::Cancel, false, false, true, 0, 0},
        {"save", true, true, Answer::Save, false, false, true, 1, 0},
        {"save fails", true, true, Answer::Save, true, false, false, 1, 1},
        {"untitled save", false, true, Answer::Save, false, false, true, 1, 0},
        {"untitled panel cancelled", false, true, Answer::Save, false, true, false, 0, 0},
        {"dont save", true, true, Answer::DontSave, false, false, true, 0, 0},
        {"cancel", true, true, Answer::Cancel, false, false, false, 0, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        auto document = c.titled ? open(savedPackage(QStringLiteral("C%1.vrtp3").arg(n++))) : untitled();
        if (c.edited)
            edit(*document);
        TestWindowController& window = windowOf(*document);
        window.failSaves = c.failSave;
        window.failReason = QStringLiteral("disk full");
        window.saves.clear();
        errors.clear();
        int asked = 0;
        shared().setSaveChangesQuestion([&](kx::Document& d) {
            EXPECT_EQ(&d, document.get());
            ++asked;
            return c.answer;
        });
        const QString target = at(QStringLiteral("Named%1.vrtp3").arg(n++));
        shared().setSavePanel([&](kx::Document&) { return c.panelCancelled ? QString() : target; });
        EXPECT_EQ(document->canCloseDocument(), c.mayClose) << c.name;
        EXPECT_EQ(asked, c.edited ? 1 : 0) << c.name;
        EXPECT_EQ(int(window.saves.size()), c.saves) << c.name;
        EXPECT_EQ(errors.size(), c.alerts) << c.name;
        if (c.mayClose && c.answer == Answer::Save)
            EXPECT_FALSE(document->isDocumentEdited()) << c.name;
        if (!c.titled && c.saves)
            EXPECT_EQ(document->fileURL(), target) << c.name;
        document->close();
    }
    shared().setSaveChangesQuestion({});
    shared().setSavePanel({});
    kx::Bundle::setMainResourcePath({});
}

TEST_F(DocumentTest, ADuplicateIsANewUntitledDocumentAndTheOriginalStaysAsItWas) {
    const QString package = savedPackage("P.vrtp3");
    auto document = open(package);
    edit(*document);
    document->duplicateDocument();
    ASSERT_EQ(shared().documents().size(), 2u);
    auto copy = std::dynamic_pointer_cast<KXDocument>(shared().documents().back());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->fileURL().isEmpty());
    EXPECT_TRUE(copy->isDocumentEdited());
    EXPECT_TRUE(copy->projPath().startsWith(at("Autosave/")));
    ASSERT_TRUE(processEventsUntil([&] { return !copy->windowControllers().empty(); }));
    EXPECT_EQ(windowOf(*copy).project->currentCanvas()->graphCount(), 2);
    EXPECT_EQ(document->fileURL(), QFileInfo(package).absoluteFilePath());
    EXPECT_EQ(windowOf(*document).project->path(), QFileInfo(package).absoluteFilePath());
    EXPECT_TRUE(document->hasUnautosavedChanges());  // the duplicate's copy is no autosave of the original
    EXPECT_TRUE(errors.isEmpty());

    windowOf(*document).failSaves = true;
    document->duplicateDocument();
    EXPECT_EQ(shared().documents().size(), 2u);
    EXPECT_EQ(errors.size(), 1);
}

// ---- a real run ----

TEST_F(DocumentTest, AnAutosaveSurvivesAKilledProcessAndMovesNothingElse) {
    const QString package = savedPackage("P.vrtp3");
    const QString added = writeImage(at("added.png"), 30, 20, QColor(10, 200, 30));
    auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray thumbnail = read(package + "/QuickLook/Thumbnail.jpg");
    const QByteArray preview = read(package + "/QuickLook/Preview.pdf");
    ASSERT_FALSE(thumbnail.isEmpty());
    auto folder = [&] {
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll("helper.conf");
        names.removeAll("settings.conf");
        return names;
    };
    const QStringList folderBefore = folder();

    QProcess helper;
    helper.start(QStringLiteral(KX_AUTOSAVE_HELPER), {package, added, at("helper.conf"), at("Autosave")});
    ASSERT_TRUE(helper.waitForStarted(30000));
    QByteArray said;
    ASSERT_TRUE(processEventsUntil([&] {
        helper.waitForReadyRead(50);
        said += helper.readAllStandardOutput();
        return said.contains("autosaved") || said.contains("no autosave") || helper.state() == QProcess::NotRunning;
    }, 60000)) << said.toStdString();
    EXPECT_TRUE(said.contains("edited\nautosaved 4\n")) << said.toStdString() << helper.readAllStandardError().toStdString();
    helper.kill();  // SIGKILL
    ASSERT_TRUE(helper.waitForFinished(30000));
    EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);

    auto back = KXProject::initWithPath(package);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->canvasCount(), 1);
    EXPECT_EQ(photoPaths(*back), (QStringList{package + "/Data/P.vrtp3-photo.jpg", package + "/Data/added.png"}));
    EXPECT_EQ(back->canvasAtIndex(0)->graphAtIndex(0)->relativeRect(), (kx::Rect{0.1, 0.1, 0.3, 0.3}));
    EXPECT_EQ(back->canvasAtIndex(0)->graphAtIndex(1)->relativeRect(), (kx::Rect{0.5, 0.5, 0.25, 0.25}));
    EXPECT_EQ(back->path(), package);
    EXPECT_EQ(read(package + "/QuickLook/Thumbnail.jpg"), thumbnail);  // an autosave leaves Quick Look alone
    EXPECT_EQ(read(package + "/QuickLook/Preview.pdf"), preview);
    EXPECT_EQ(filesIn(package + "/Data"), (QStringList{"P.vrtp3-photo.jpg", "added.png"}));
    EXPECT_EQ(folder(), folderBefore);  // no work folder left behind, nothing else written
}

TEST_F(DocumentTest, AKilledProcessWithAutosaveTurnedOffLeavesThePackageUntouched) {
    const QString package = savedPackage("P.vrtp3");
    const QString added = writeImage(at("added.png"));
    kx::UserDefaults settings(at("helper.conf"));
    settings.setValue(KXDisableAutoSave, kx::Value(true));
    ASSERT_TRUE(settings.synchronize());
    const QByteArray infoBefore = [&] {
        QFile file(package + "/info.xml");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    QProcess helper;
    helper.start(QStringLiteral(KX_AUTOSAVE_HELPER), {package, added, at("helper.conf"), at("Autosave")});
    ASSERT_TRUE(helper.waitForStarted(30000));
    QByteArray said;
    ASSERT_TRUE(processEventsUntil([&] {
        helper.waitForReadyRead(50);
        said += helper.readAllStandardOutput();
        return said.contains("autosave") || helper.state() == QProcess::NotRunning;
    }, 60000));
    EXPECT_TRUE(said.contains("no autosave")) << said.toStdString();
    helper.kill();
    helper.waitForFinished(30000);
    QFile info(package + "/info.xml");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_EQ(info.readAll(), infoBefore);
    auto back = KXProject::initWithPath(package);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->canvasAtIndex(0)->graphCount(), 1);
}

}  // namespace
