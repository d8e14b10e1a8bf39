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
//
// The window answers the template chooser: it opens the chosen project, starts again from the chosen template,
// or (when a page is being added) inserts the template's pages after the current page. The chooser's answers
// put up the "Opening..." sheet and do the loading on the next turn of the event loop, so that the sheet is
// on screen first.
#pragma once

#include "document/document.h"
#include "document/project.h"
#include "controls/tab_bar.h"
#include "document/template_chooser.h"
#include "platform/foundation/notification_center.h"
#include "app/menu_validation.h"
#include "app/page_clipboard.h"
#include "library/resource_view_controller.h"
#include "library/shape_palette.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class KXExportViewController;
class KXShareViewController;
class KXPrintController;
class KXGraph;
class KXPageCommands;
class KXPreview;
class KXWindowPanels;
class KXResourceViewController;
class KXSettingViewController;
class KXTextViewController;
class KXProgressBarController;
class KXZoomPopUp;
class AppDelegate;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QToolBar;

class KXMainWindow : public QMainWindow, public KXTemplateWindowControllerDelegate, public KXTabbarDelegate,
                     public KXShapeWindowControllerDelegate, public KXResourceViewControllerDelegate {
    Q_OBJECT
public:
    // Builds the window's layout and menus; `delegate` (not owned, may be null) adds the application's
    // commands to the application menu.
    explicit KXMainWindow(AppDelegate* delegate = nullptr, QWidget* parent = nullptr);
    ~KXMainWindow() override;

    // Sets the window up for the document: opens its project package, else its template at its page index,
    // else an empty project (also when what the document names cannot be opened), hands the current page's
    // undo manager to the document, starts following the notifications the window reacts to, then runs the
    // block when one is given. The document is not owned and must outlive the window.
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
    // (hidden files skipped, any letter case), else "<folder>/info.xml"; a path that names a file (a ".tpl"
    // file given in place of its folder) is that file. Empty for an empty folder path.
    static QString templateFileInFolder(const QString& folder);

    // Makes the page at the index current everywhere; false (nothing changes) when the project has no such
    // page.
    bool switchCanvasToIndex(std::int64_t index);
    void updateMultiPageUIWithPageIndex(std::int64_t index);
    void previousPageAction();
    void nextPageAction();

    // ---- the Edit menu ----
    // Undo and redo the last step of the current page's undo manager. Nothing happens while they cannot
    // act (nothing to undo or redo, or a drag on the canvas is under way).
    void undoAction();
    void redoAction();
    // The Edit menu's Undo ("Undo <step>") and Redo items: titled with the step's name and enabled exactly
    // when they can act. Kept up to date as the current page's undo manager changes, so that their
    // shortcuts (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y) work without the menu being opened.
    QAction* undoItem() const { return m_undoItem; }
    QAction* redoItem() const { return m_redoItem; }
    void validateUndoItems();

    // The document's save road: the project writes its package (the progress sheet shows "Saving..." on
    // the window meanwhile); after a successful save or save as the document's change count is cleared. A
    // save to or an autosave writes a copy and leaves the count. Returns the project's answer.
    bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error = nullptr);
    // The File menu's commands: the document's save and save as (which asks for the package's name). A
    // failure shows an alert with its reason.
    void saveAction();
    void saveAsAction();
    // Keeps the project as one of the person's own templates, named in a sheet.
    void saveAsTemplateAction();
    // The window's progress sheet; it lives as long as the window (its window is built on first use).
    KXProgressBarController* pbCtl() const { return m_pbCtl.get(); }
    // Shows the progress sheet on the window: indeterminate, cancellable, with the tip. Cancelling it only
    // closes the sheet; the work it stands for goes on.
    void showProgressbarWithTitle(const QString& tip);
    void stopProgressbar();

    // ---- the template chooser ----
    // Shows the chooser: in its own window, where it may also open existing projects (YES), or as a sheet
    // on this window (NO). While the window is changing into full screen only the request is kept; one for
    // the own window is repeated when the change has finished. Without a chooser the window comes to the
    // front instead.
    void showTemplates(bool ownWindow);
    // The chooser this window made; null before the first showTemplates().
    KXTemplateChooser* templateWC() const { return m_templateWC.get(); }
    // Replaces the project by the one at the path; the document then belongs to that file (a template
    // package leaves it untitled) and counts no change.
    void templateWindowControllerOpenPorject(KXTemplateChooser* chooser, const QString& path) override;
    // Inserts the template's pages after the current page when a page is being added (newPage), else
    // replaces the project by the template, showing the page at the index.
    void templateWindowControllerOpenTemplate(KXTemplateChooser* chooser, const QString& folder,
                                              std::int64_t pageIndex) override;
    void templateWindowControllerDidCancel(KXTemplateChooser* chooser) override;
    // Set by the add-page command: the next template the chooser returns is inserted as new pages. The next
    // template answer clears it; a cancel leaves it.
    bool newPage() const { return m_newPage; }
    void setNewPage(bool newPage) { m_newPage = newPage; }
    // A request for the chooser in its own window that waits for the end of a change into full screen.
    bool canOpenProject() const { return m_canOpenProject; }
    // Set while the window changes into full screen.
    bool openTemplateAfterfullScreen() const { return m_openTemplateAfterfullScreen; }
    void setOpenTemplateAfterfullScreen(bool on) { m_openTemplateAfterfullScreen = on; }
    // Brings the window to the front as the active window.
    void makeKeyAndOrderFront();

    // ---- state followed from notifications ----
    // The next document change comes from a command that has already refreshed the page strip itself.
    bool lockChangeCount() const { return m_lockChangeCount; }
    // The Quick Look preview of the project must be made again (set by every document change).
    bool previewChanged() const { return m_previewChanged; }
    void setPreviewChanged(bool changed) { m_previewChanged = changed; }
    // Whether the resource panel offers to fill the page's empty photo frames with random pictures.
    bool canFillRandomly() const { return m_canFillRandomly; }
    // The tab the settings panel shows: 0 the selected objects, 1 the page.
    int settingTabIndex() const;

    // Called by worker code between pages, from any thread: blocks while the progress sheet asks the user
    // whether to cancel, and returns at once otherwise.
    void waiting();

    KXProject* project() const { return m_project.get(); }
    KXPreview* preview() const { return m_preview; }
    KXWindowPanels* windowPanels() const { return m_windowPanels; }
    // Show or hide the resource panel left of the canvas and the settings panel right of it; the canvas
    // takes the freed room and gives it back exactly (window_panels.cpp).
    void showHideResourcePanel();
    void showHideSettingPanel();
    KXZoomPopUp* zoomPopUp() const { return m_zoom; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    QPushButton* btPreviousPage() const { return m_btPreviousPage; }
    QPushButton* btNextPage() const { return m_btNextPage; }
    QLabel* tfPageTip() const { return m_tfPageTip; }
    // The side panels: left the resource panel's container under its tab bar (photos, clip-art, frames,
    // masks), right the settings panel (the object tab, the page tab) under its tab bar.
    QWidget* resourceView() const { return m_resourceView; }
    QWidget* settingView() const { return m_settingView; }
    KXTabbar* tbResource() const { return m_tbResource; }
    // The resource panel inside the left container.
    KXResourceViewController* resourceVC() const { return m_resourceVC; }
    KXTabbar* tbSetting() const { return m_tbSetting; }
    KXSettingViewController* settingVC() const { return m_settingVC.get(); }
    // The resource tab chosen last; the resource panel will show the view with this tag.
    std::int64_t resourceTabIndex() const { return m_resourceTabIndex; }
    // A tab bar's new selection: the settings panel or the resource panel shows the view whose tag is the
    // selected index.
    void tabbarSelectionChanged(KXTabbar* tabbar) override;
    QWidget* bottomMidView() const { return m_bottomMidView; }
    // The toolbar and its items; the items are disabled until their commands exist.
    QToolBar* toolbar() const { return m_toolbar; }
    QAction* tbiShape() const { return m_tbiShape; }
    QAction* tbiBackground() const { return m_tbiBackground; }
    QAction* tbiShare() const { return m_tbiShare; }
    QAction* tbiExport() const { return m_tbiExport; }
    // The window's export controller (popover, save panel, export runs, project preview), made on first use.
    KXExportViewController* exportViewController();
    // The toolbar's export item: the export popover below the item.
    void exportAction();
    // The window's share controller (popover, e-mail road), made on first use.
    KXShareViewController* shareViewController();
    // The toolbar's share item: the share popover below the item.
    void shareAction();
    // The project preview: a PDF of every page opened in the desktop's PDF viewer, rendered again only
    // when the project changed since the last complete one.
    void quickLookAction();
    // File > Print: every page of the project through the print dialog (the road is in print_controller.h).
    void printAction();
    // The window's print controller, made on first use.
    KXPrintController* printController();

    // The page commands: adding, duplicating, removing and moving pages, page setup and the page background.
    KXPageCommands* pageCommands() const { return m_pageCommands.get(); }

    // How alerts are shown (message, informative text); tests replace it so that nothing waits on a user.
    // An empty function puts the message box back.
    using AlertPresenter = std::function<void(QWidget* window, const QString& message, const QString& informative)>;
    static void setAlertPresenter(AlertPresenter presenter);

    // ---- inserting objects and the clipboard (main_window_insert.cpp) ----
    // New objects go onto the current page, placed by a cascade, as one undo step each, and become the
    // canvas view's selection.
    void addTextAction();
    void addCalendarAction();
    // The shape picker's answer (and the Insert menu's shape items, tagged with the picker index).
    void chooseShapeAtIndex(std::int64_t index) override;
    void addShapeWidthType(std::uint32_t shapeType);
    // The toolbar's shape item: the shape picker hangs below it.
    void shapeAction();
    KXShapeWindowController* shapeWindowController();
    // Photos chosen in an open dialog; a cancelled dialog changes nothing.
    void insertImageFromFinder();
    // The resource panel's clip-art list searches the internet (crop and pen modes left first).
    void insertImageFromInternetAction();
    // The resource panel imports the person's own clip-art or masks, its clip-art or mask tab shown.
    void importClipartsAction();
    void importMasksAction();
    // Shows the resource panel's tab (a KXResourceTag) as a click on its tab button would.
    void showResourceTab(std::int64_t tab);
    // A photo of the file in the middle of what is seen of the page; false, with an alert saying why, when
    // the file gives no picture.
    bool addImageWithPath(const QString& path);
    void resourceViewControllerAddResources(KXResourceViewController* panel, const QStringList& paths) override;
    // Fills the page's empty photo frames with pictures of the photos tab.
    void fillRandomly();
    // Edit menu: cut, copy, paste and duplicate of page objects through the system clipboard.
    void copyAction();
    void cutAction();
    void pasteAction();
    void duplicateSelection();
    // Whether some selected object of the current page is unlocked, and whether paste has something to take.
    bool canCopyObject() const;
    bool canPasteObject() const;
    // Brings the Edit menu's clipboard items up to date.
    void validateClipboardItems();
    QAction* cutItem() const { return m_cutItem; }
    QAction* copyItem() const { return m_copyItem; }
    QAction* pasteItem() const { return m_pasteItem; }
    QAction* duplicateItem() const { return m_duplicateItem; }
    QMenu* insertMenu() const { return m_insertMenu; }
    QMenu* formatMenu() const { return m_formatMenu; }
    // The settings panel's inspector of text objects; null when there is none.
    KXTextViewController* textInspector() const;
    // The cascade offset of new text boxes, calendars and shapes (page-relative units).
    kx::Point insertOffset() const { return m_insertOffset; }
    const KXPastedImageFile& pastedImageFile() const { return m_pastedImage; }
    // What chooses the files of the open dialog; tests replace it (an empty function puts the dialog back).
    using ImageFileChooser = std::function<QStringList(QWidget* window)>;
    static void setImageFileChooser(ImageFileChooser chooser);
    // The part of the current page the scroll area shows, in the page's preview points (y up).
    kx::Rect visiblePageRect() const;

    // ---- editing commands, the Arrange menu and menu validation (edit_commands.cpp) ----
    // Delete removes the selected unlocked objects; Select All selects every object of the page.
    void deleteAction();
    void selectAllAction();
    // Stacking order of the selection: to the front, to the back, one step forward, one step back.
    void goFrontClicked();
    void goBackClicked();
    void goForwardClicked();
    void goBackwardClicked();
    // The Arrange menu: group, ungroup, lock and unlock the selection; align it to the page (KXAlignPage...
    // tags); flip it (KXFlipHorizontal, KXFlipVertical).
    void groupAction();
    void ungroupAction();
    void lockAction();
    void unlockAction();
    void alignPageAction(int tag);
    void flipAction(int tag);
    // File > Export's items (the export type, KXExportType) and File > Share's items (tags 500 to 505).
    void exportFormMenu(int type);
    void shareFormMenu(int tag);
    // File > Open...: a project package chosen in the open panel opens in its own window.
    void openDocumentAction();
    // What the menu items are validated against now.
    KXMenuState menuState() const;
    // Enables and titles every tagged item of the window's menus and context menu from menuState(). Runs on
    // every change of selection, undo, clipboard, page, zoom and panels and before any menu opens.
    void validateMenuItems();
    QMenu* arrangeMenu() const { return m_arrangeMenu; }
    // The canvas view's context menu.
    QMenu* canvasContextMenu() const { return m_canvasMenu; }

protected:
    // Closing the window closes its document. One with unsaved changes asks Save / Don't Save / Cancel
    // first; Save closes only once the document is saved. Quitting closes every window this way, and a
    // Cancel stops the quit.
    void closeEvent(QCloseEvent* event) override;

private:
    friend class KXPageCommands;
    void buildLayout();
    // The tab bars of both side panels and the settings panel, showing its page tab.
    void buildSidePanels();
    // The floating toolbar, crop panel and lock badge over the canvas, and their buttons (window_panels.cpp).
    void buildFloatingPanels();
    // The View menu's items that show and hide the side panels and the floating panels (window_panels.cpp).
    void addPanelMenuItems(QMenu* view);
    void buildMenus(AppDelegate* delegate);
    void buildToolbar();
    // The Edit menu's delete and select all, the Arrange menu, File's open, close, export and share items,
    // the canvas context menu and the validation hooks (edit_commands.cpp).
    void buildEditCommands();
    // After a command changed the selected objects: the canvas view, the floating panels, the settings panel
    // and the menu items follow.
    void selectionChanged();
    // Moves the selection forward or back, one step or to the end, as one undo step.
    void moveSelection(bool forward, bool toTheEnd);
    // The Arrange menu's command of the tag (KXArrangeMenuTag) on the selection, as one undo step, when
    // the selection allows it.
    void arrangeSelection(int tag);
    // Follows the notifications the window reacts to; stops with the window.
    void registerObservers();
    void undoManagerDidChange(const kx::Notification& notification);
    // The current page's undo manager; null without a project.
    kx::UndoManager* currentUndoManager() const;
    // Undo or redo (the step) when its Edit menu item can act.
    void runUndoStep(QAction* item, void (kx::UndoManager::*step)());
    void graphSelectionChange();
    // An inspector edited the selection: the canvas leaves its crop mode and pen tool.
    void exitCropAndTextEditMode();
    void documentChanged();
    void removeEmptyPhoto(const kx::Notification& notification);
    void updateCanFillRandomly();
    // The chooser's roads, run on the event loop after the sheet went up.
    void openChosenProject(const QString& path);
    // Opens the template file of the folder in place of the project, showing the page at the index; the
    // opening sheet, when up, goes down.
    bool openTemplateFile(const QString& folder, const QString& file, std::int64_t pageIndex);
    void insertTemplatePages(const QString& folder, const QString& file);
    KXProgressBarController& progressSheet();
    // Takes a freshly loaded project in place of the open one and shows the page at the index.
    void adoptProject(std::unique_ptr<KXProject> project, std::int64_t pageIndex);
    void updateWindowTitle();
    void showMissingFilesLater();
    void showMissingFilesNow();
    // A project read from the file, with at least one page; else null after the alert naming `shownPath`.
    std::unique_ptr<KXProject> loadProjectOrAlert(const QString& file, const QString& shownPath);
    // Alerts that the file could not be opened, taking down the opening sheet first.
    void showOpenFailure(const QString& path, const QString& error);
    static QString bundleNameForMenu();
    // The point (global coordinates) below the middle of a toolbar item where its popover hangs.
    QPoint popoverAnchorOfItem(QAction* item) const;
    // Shows an alert on the window, through the presenter tests install when there is one.
    void showAlert(const QString& message, const QString& informative);
    // The Edit menu's clipboard items, the Insert menu, the toolbar's shape item and the resource panel's
    // buttons (main_window_insert.cpp).
    void buildInsertCommands();
    // Hands the new objects to the canvas view as its selection.
    void selectInsertedGraphs(const std::vector<std::shared_ptr<KXGraph>>& graphs);
    void addPhotoNotification(const kx::Notification& notification);
    // The Format menu, whose commands go to the settings panel's text inspector (main_window_format.cpp).
    void buildFormatMenu();
    void validateFormatMenu();
    void formatCommand(QAction* item);

    KXDocument* m_document = nullptr;
    std::unique_ptr<KXProject> m_project;
    // Declared after the project, so that it (and any export run it waits for) goes first.
    std::unique_ptr<KXExportViewController> m_exportCtl;
    std::unique_ptr<KXShareViewController> m_shareCtl;
    std::unique_ptr<KXPrintController> m_printCtl;
    KXPreview* m_preview = nullptr;
    KXWindowPanels* m_windowPanels = nullptr;
    KXZoomPopUp* m_zoom = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_resourceView = nullptr;
    QWidget* m_settingView = nullptr;
    KXTabbar* m_tbResource = nullptr;
    KXResourceViewController* m_resourceVC = nullptr;
    KXTabbar* m_tbSetting = nullptr;
    std::unique_ptr<KXSettingViewController> m_settingVC;
    std::int64_t m_resourceTabIndex = 0;
    QWidget* m_bottomMidView = nullptr;
    QPushButton* m_btPreviousPage = nullptr;
    QPushButton* m_btNextPage = nullptr;
    QLabel* m_tfPageTip = nullptr;
    QToolBar* m_toolbar = nullptr;
    QAction* m_tbiShape = nullptr;
    QAction* m_tbiBackground = nullptr;
    QAction* m_tbiShare = nullptr;
    QAction* m_tbiExport = nullptr;
    QAction* m_undoItem = nullptr;
    QAction* m_redoItem = nullptr;
    // Made with the window, so that worker threads may wait on it at any time.
    const std::unique_ptr<KXProgressBarController> m_pbCtl;
    bool m_sheetReady = false;
    std::unique_ptr<KXTemplateChooser> m_templateWC;
    bool m_newPage = false;
    bool m_lockChangeCount = false;
    bool m_previewChanged = true;
    bool m_openTemplateAfterfullScreen = false;
    bool m_canOpenProject = false;
    bool m_canFillRandomly = false;
    kx::NotificationToken m_progressCancelObserver;
    std::vector<kx::NotificationToken> m_observers;
    kx::Point m_insertOffset{0, 0};
    std::unique_ptr<KXShapeWindowController> m_shapeWC;
    KXPastedImageFile m_pastedImage;
    QAction* m_cutItem = nullptr;
    QAction* m_copyItem = nullptr;
    QAction* m_pasteItem = nullptr;
    QAction* m_duplicateItem = nullptr;
    QMenu* m_insertMenu = nullptr;
    QMenu* m_formatMenu = nullptr;
    kx::NotificationToken m_addPhotoObserver;
    std::unique_ptr<KXPageCommands> m_pageCommands;
    QMenu* m_arrangeMenu = nullptr;
    QMenu* m_canvasMenu = nullptr;
    bool m_validating = false;
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
    bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error) override;
    void showTemplates(bool ownWindow) override;
    void showWindow() override;
    // The document is closing: the window goes off screen (it is deleted with the controller).
    void close() override;

    KXMainWindow* window() const { return m_window.get(); }

private:
    std::unique_ptr<KXMainWindow> m_window;
};
