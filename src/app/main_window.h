// A document window: the canvas view in a scroll area between the two side-panel containers, with the page
// buttons, the page counter and the zoom control in the bar under the canvas. The window owns the open
// project and makes one of its pages current everywhere (canvas view, page buttons, document undo).
//
// Opening never loses the open project: a file is loaded into a new project first, and only a project that
// was read and holds at least one page takes the old one's place; otherwise an alert tells the user and the
// window keeps what it showed. Once set up, the window always holds a project with at least one page whose
// current index names an existing page.
#pragma once

#include "app/pause_gate.h"
#include "document/project.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class KXPreview;
class KXWindowDocument;
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
    void initWindowWidthDocument(KXWindowDocument* document, const std::function<void()>& block = {});

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

    // Writes the project package; the project's answer.
    bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error = nullptr);

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

private:
    void buildLayout();
    void buildMenus(AppDelegate* delegate);
    // Takes a freshly loaded project in place of the open one and shows the page at the index.
    void adoptProject(std::unique_ptr<KXProject> project, std::int64_t pageIndex);
    void updateWindowTitle();
    void showMissingFilesLater();
    void showOpenFailure(const QString& path, const QString& error);
    static QString bundleNameForMenu();

    KXWindowDocument* m_document = nullptr;
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
};
