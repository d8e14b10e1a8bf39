// A document window: the canvas view in a scroll area between the two side-panel containers, with the page
// buttons, the page counter and the zoom control in the bar under the canvas. The window owns the open
// project and makes one of its pages current everywhere (canvas view, page buttons, document undo). Its
// document (KXDocument) saves through saveProjectToPath(); KXDocumentWindowController below is what the
// document holds as its window controller.
//
// Opening never loses the open project: a file is loaded into a new project first, and only a project that
// was read and holds at least one page takes the old one's place; otherwise an alert tells the user and the
// window keeps what it showed. Once set up, the window always holds a project with at least one page whose
// current index names an existing page. A document whose file could not be opened becomes untitled, so that
// no save or autosave writes the empty project over that file.
#pragma once

#include "app/pause_gate.h"
#include "document/document.h"
#include "document/project.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class KXPreview;
class KXProgressBarController;
class KXZoomPopUp;
class AppDelegate;
class QLabel;
class QPushButton;
class QScrollArea;

class KXMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window's layout and menus; `delegate` (not owned, may be null) adds the application's
    // commands to the application menu.
    explicit KXMainWindow(AppDelegate* delegate = nullptr, QWidget* parent = nullptr);
    ~KXMainWindow() override;

    // Sets the window up for the document: opens its project package, else its template at its page index,
    // else an empty project (also when what the document names cannot be opened), hands the current page's
    // undo manager to the document, then runs the block when one is given. The document is not owned and
    // must outlive the window.
    void initWindowWidthDocument(KXDocument* document, const std::function<void()>& block = {});
    KXDocument* document() const { return m_document; }

    // Loads a project package (or archive) and shows its first page; false, with an alert and the open
    // project unchanged, when it cannot be read or has no page.
    bool openProjectWithPath(const QString& path);
    // Loads a template folder (its ".tpl" file, else its "info.xml") and shows the page at the index, the
    // first page when the index names none; false as above.
    bool openTemplateWithPath(const QString& folder, std::int64_t pageIndex);
    // A project of one empty page.
    void initEmptyProject();
    // The template file of a template folder: the first file with the extension "tpl" directly inside it
    // (hidden files skipped, any letter case), else "<folder>/info.xml". Empty for an empty folder path.
    static QString templateFileInFolder(const QString& folder);

    // Makes the page at the index current everywhere; false (nothing changes) when the project has no such
    // page.
    bool switchCanvasToIndex(std::int64_t index);
    void updateMultiPageUIWithPageIndex(std::int64_t index);
    void previousPageAction();
    void nextPageAction();

    // The document's save road: the project writes its package (the progress sheet shows "Saving..." on
    // the window meanwhile); after a successful save or save as the document's change count is cleared. A
    // save to or an autosave writes a copy and leaves the count. Returns the project's answer.
    bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error = nullptr);
    // The File menu's commands: the document's save and save as (which asks for the package's name).
    void saveAction();
    void saveAsAction();
    // The window's progress sheet; null before its first use.
    KXProgressBarController* pbCtl() const { return m_pbCtl.get(); }

    // Called by worker code between pages: blocks while the progress sheet is pausing for the user.
    void waiting() { m_progressPause.wait(); }
    KXPauseGate& progressPause() { return m_progressPause; }

    KXProject* project() const { return m_project.get(); }
    KXPreview* preview() const { return m_preview; }
    KXZoomPopUp* zoomPopUp() const { return m_zoom; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    QPushButton* btPreviousPage() const { return m_btPreviousPage; }
    QPushButton* btNextPage() const { return m_btNextPage; }
    QLabel* tfPageTip() const { return m_tfPageTip; }
    QWidget* resourceView() const { return m_resourceView; }
    QWidget* settingView() const { return m_settingView; }
    QWidget* bottomMidView() const { return m_bottomMidView; }

    // How alerts are shown (message, informative text); tests replace it so that nothing waits on a user.
    // An empty function puts the message box back.
    using AlertPresenter = std::function<void(QWidget* window, const QString& message, const QString& informative)>;
    static void setAlertPresenter(AlertPresenter presenter);

protected:
    // Closing the window closes its document: one with unsaved changes only when the user agrees.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenus(AppDelegate* delegate);
    // Takes a freshly loaded project in place of the open one and shows the page at the index.
    void adoptProject(std::unique_ptr<KXProject> project, std::int64_t pageIndex);
    void updateWindowTitle();
    void showMissingFilesLater();
    void showOpenFailure(const QString& path, const QString& error);
    static QString bundleNameForMenu();

    KXDocument* m_document = nullptr;
    std::unique_ptr<KXProject> m_project;
    KXPreview* m_preview = nullptr;
    KXZoomPopUp* m_zoom = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_resourceView = nullptr;
    QWidget* m_settingView = nullptr;
    QWidget* m_bottomMidView = nullptr;
    QPushButton* m_btPreviousPage = nullptr;
    QPushButton* m_btNextPage = nullptr;
    QLabel* m_tfPageTip = nullptr;
    KXPauseGate m_progressPause;
    std::unique_ptr<KXProgressBarController> m_pbCtl;
};

class AppDelegate;

// The window controller a project document holds: it owns one document window and answers for it. The
// application installs it as the document's window controller factory (installFactory).
class KXDocumentWindowController : public KXMainWindowController {
public:
    explicit KXDocumentWindowController(AppDelegate* delegate = nullptr);
    ~KXDocumentWindowController() override;

    // Makes the document framework build document windows of this kind; the delegate (not owned, may be
    // null) must outlive them.
    static void installFactory(AppDelegate* delegate);

    void initWindowWidthDocument(KXDocument* document, std::function<void()> block) override;
    bool saveProjectToPath(const QString& path, KXSaveOperation operation) override;
    // There is no template chooser yet: the window itself comes to the front.
    void showTemplates(bool ownWindow) override;
    void showWindow() override;
    // The document is closing: the window goes off screen (it is deleted with the controller).
    void close() override;

    KXMainWindow* window() const { return m_window.get(); }

private:
    std::unique_ptr<KXMainWindow> m_window;
};
