#include "app/main_window.h"

#include "app/app_delegate.h"
#include "app/crop_commands.h"
#include "app/page_commands.h"
#include "app/window_panels.h"
#include "app_services/ga_object.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "controls/tab_bar.h"
#include "document/project_statistics.h"
#include "graphics/file_utilities.h"
#include "inspectors/inspector_support.h"
#include "inspectors/photo_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "library/resource_view_controller.h"
#include "library/save_template.h"
#include "model/canvas.h"
#include "output/export_view_controller.h"
#include "output/share_view_controller.h"
#include "output/print_controller.h"
#include "output/progress_sheet.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer_transaction.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

KXMainWindow::AlertPresenter& alertPresenter() {
    static KXMainWindow::AlertPresenter presenter;
    return presenter;
}

// Width of each side-panel container.
constexpr int kSidePanelWidth = 220;

// A side panel's tab bar with one button per title key, in tag order; the bar selects its first button.
KXTabbar* makeTabbar(const char* name, std::initializer_list<const char*> titleKeys, QWidget* parent) {
    auto* bar = new KXTabbar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFixedWidth(kSidePanelWidth);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(4);
    for (const char* key : titleKeys) {
        auto* button = new KXTabButton(localized(key), QIcon(), bar);
        button->setObjectName(QString::fromLatin1(key));
        button->setToolTip(localized(key));
        // One point smaller than the window's text, so that four titles fit the panel's width.
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() - 1);
        button->setFont(small);
        row->addWidget(button, 1);
    }
    bar->awakeFromNib();
    return bar;
}

// A side panel: its tab bar over its container.
QWidget* sidePanelColumn(KXTabbar* bar, QWidget* container, QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    bar->setParent(column);
    container->setParent(column);
    stack->addWidget(bar);
    stack->addWidget(container, 1);
    return column;
}

}  // namespace

void KXMainWindow::setAlertPresenter(AlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

KXMainWindow::KXMainWindow(AppDelegate* delegate, QWidget* parent)
    : QMainWindow(parent), m_pbCtl(std::make_unique<KXProgressBarController>()) {
    setObjectName(QStringLiteral("MainWindow"));
    buildLayout();
    buildMenus(delegate);
    buildToolbar();
    buildInsertCommands();
    buildFormatMenu();
    m_pageCommands = std::make_unique<KXPageCommands>(*this);
    // The page menu's Set as Background acts on one photo holding a picture.
    if (auto* pageMenu = menuBar()->findChild<QMenu*>(QStringLiteral("PageMenu"))) {
        if (QAction* background = pageMenu->findChild<QAction*>(QStringLiteral("SetAsBackground")))
            background->setProperty(kMenuTagProperty, KXMenuTagPhoto);
    }
    buildEditCommands();
    updateWindowTitle();
    validateMenuItems();
}

KXMainWindow::~KXMainWindow() {
    m_observers.clear();
    m_pageCommands.reset();
    // The settings panel lets go of the page before the project goes.
    m_settingVC.reset();
    m_progressCancelObserver.reset();
    if (m_templateWC)
        m_templateWC->setDelegate(nullptr);
    m_templateWC.reset();
    // The document no longer follows a page of this window's project.
    if (m_document && m_project && m_project->currentCanvas() &&
        m_document->undoManager() == &m_project->currentCanvas()->undoManager())
        m_document->setUndoManager(nullptr);
    if (m_sheetReady)
        m_pbCtl->window()->hide();
    // The view lets go of the shown page before the project and its pages go.
    if (m_preview)
        m_preview->switchToCanvasLayer(nullptr);
}

void KXMainWindow::buildLayout() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // Left: the resource panel's container under its tab bar.
    m_resourceView = new QFrame(central);
    m_resourceView->setObjectName(QStringLiteral("resourceView"));
    m_resourceView->setFixedWidth(kSidePanelWidth);
    m_tbResource = makeTabbar("tbResource", {"TabPhotos", "TabClipart", "TabFrames", "TabMasks"}, central);
    row->addWidget(sidePanelColumn(m_tbResource, m_resourceView, central));

    // Middle: the canvas over the bar with the page buttons and the zoom control.
    auto* middle = new QWidget(central);
    auto* column = new QVBoxLayout(middle);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_scrollArea = new QScrollArea(middle);
    m_scrollArea->setObjectName(QStringLiteral("canvasScrollView"));
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_preview = new KXPreview;
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setScrollArea(m_scrollArea);
    column->addWidget(m_scrollArea, 1);

    m_bottomMidView = new QWidget(middle);
    m_bottomMidView->setObjectName(QStringLiteral("bottomMidView"));
    auto* bar = new QHBoxLayout(m_bottomMidView);
    bar->setContentsMargins(8, 4, 8, 4);
    m_btPreviousPage = new QPushButton(QStringLiteral("\u25C0"), m_bottomMidView);
    m_btPreviousPage->setObjectName(QStringLiteral("btPreviousPage"));
    m_btPreviousPage->setToolTip(localized("PreviousPage"));
    m_tfPageTip = new QLabel(m_bottomMidView);
    m_tfPageTip->setObjectName(QStringLiteral("tfPageTip"));
    m_tfPageTip->setAlignment(Qt::AlignCenter);
    m_tfPageTip->setMinimumWidth(60);
    m_btNextPage = new QPushButton(QStringLiteral("\u25B6"), m_bottomMidView);
    m_btNextPage->setObjectName(QStringLiteral("btNextPage"));
    m_btNextPage->setToolTip(localized("NextPage"));
    m_zoom = new KXZoomPopUp(m_bottomMidView);
    m_zoom->setObjectName(QStringLiteral("pubZoom"));
    bar->addStretch(1);
    bar->addWidget(m_btPreviousPage);
    bar->addWidget(m_tfPageTip);
    bar->addWidget(m_btNextPage);
    bar->addStretch(1);
    bar->addWidget(m_zoom);
    column->addWidget(m_bottomMidView);
    row->addWidget(middle, 1);

    // Right: the settings hub's container under its tab bar.
    m_settingView = new QFrame(central);
    m_settingView->setObjectName(QStringLiteral("settingView"));
    m_settingView->setFixedWidth(kSidePanelWidth);
    m_tbSetting = makeTabbar("tbSetting", {"TabProperty", "TabPage"}, central);
    row->addWidget(sidePanelColumn(m_tbSetting, m_settingView, central));

    setCentralWidget(central);
    connect(m_btPreviousPage, &QPushButton::clicked, this, [this] { previousPageAction(); });
    connect(m_btNextPage, &QPushButton::clicked, this, [this] { nextPageAction(); });

    m_preview->setPubZoom(m_zoom);
    m_preview->awakeFromNib();
    buildSidePanels();
    buildFloatingPanels();
    resize(1280, 860);
}

void KXMainWindow::buildSidePanels() {
    // A click on the selected tab shows its view again (which the panel ignores) rather than leaving no
    // tab selected.
    m_tbResource->setSelectType(0);
    m_tbResource->setDelegate(this);
    m_resourceVC = new KXResourceViewController(this, m_resourceView);
    auto* resources = new QVBoxLayout(m_resourceView);
    resources->setContentsMargins(0, 0, 0, 0);
    resources->addWidget(m_resourceVC);

    // The settings panel has no page until the first page switch binds one.
    m_settingVC = std::make_unique<KXSettingViewController>(nullptr);
    auto* fill = new QVBoxLayout(m_settingView);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(m_settingVC->view());
    m_tbSetting->setSelectType(0);
    m_tbSetting->setDelegate(this);
    // A new window opens on the page tab.
    m_tbSetting->selectTabButtonAtIndex(KXSettingTagPage);
    m_settingVC->showViewWithTag(KXSettingTagPage);
}

void KXMainWindow::tabbarSelectionChanged(KXTabbar* tabbar) {
    if (tabbar == m_tbResource) {
        m_resourceTabIndex = tabbar->indexOfSelectedTabButton();
        m_resourceVC->showViewWithTag(m_resourceTabIndex);
    }
    else if (tabbar == m_tbSetting && m_settingVC)
        m_settingVC->showViewWithTag(tabbar->indexOfSelectedTabButton());
}

int KXMainWindow::settingTabIndex() const {
    return int(m_tbSetting->indexOfSelectedTabButton());
}

void KXMainWindow::saveAsTemplateAction() {
    // The sheet names the template (asking before it replaces one); a template that cannot be written
    // leaves the own-templates folder as it was, and the alert says why. A cancelled sheet says nothing.
    if (!m_project)
        return;
    QString error;
    if (!saveProjectAsTemplate(this, *m_project, &error) && !error.isEmpty())
        showAlert(localized("SaveTemplateFailed"), error);
}

void KXMainWindow::buildMenus(AppDelegate* delegate) {
    QMenu* appMenu = menuBar()->addMenu(bundleNameForMenu());
    if (delegate) {
        delegate->addApplicationActions(appMenu);
        appMenu->addSeparator();
    }
    QAction* quit = appMenu->addAction(localized("Quit"));
    quit->setObjectName(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* file = menuBar()->addMenu(localized("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    QAction* save = file->addAction(localized("Save"));
    save->setObjectName(QStringLiteral("Save"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &KXMainWindow::saveAction);
    QAction* saveAs = file->addAction(localized("SaveAs"));
    saveAs->setObjectName(QStringLiteral("SaveAs"));
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAs, &QAction::triggered, this, &KXMainWindow::saveAsAction);
    QAction* saveAsTemplate = file->addAction(localized("SaveAsTemplate"));
    saveAsTemplate->setObjectName(QStringLiteral("SaveAsTemplate"));
    connect(saveAsTemplate, &QAction::triggered, this, &KXMainWindow::saveAsTemplateAction);
    file->addSeparator();
    QAction* print = file->addAction(localized("Print"));
    print->setObjectName(QStringLiteral("Print"));
    print->setShortcut(QKeySequence::Print);
    connect(print, &QAction::triggered, this, &KXMainWindow::printAction);

    QMenu* edit = menuBar()->addMenu(localized("Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    m_undoItem = edit->addAction(localized("Undo"));
    m_undoItem->setObjectName(QStringLiteral("Undo"));
    m_undoItem->setShortcut(QKeySequence::Undo);
    connect(m_undoItem, &QAction::triggered, this, &KXMainWindow::undoAction);
    m_redoItem = edit->addAction(localized("Redo"));
    m_redoItem->setObjectName(QStringLiteral("Redo"));
    m_redoItem->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_redoItem, &QAction::triggered, this, &KXMainWindow::redoAction);
    connect(edit, &QMenu::aboutToShow, this, &KXMainWindow::validateUndoItems);
    validateUndoItems();
    // The pen tool: the next click on the page starts a free outline.
    QAction* penTool = edit->addAction(localized("Pen Tool"));
    penTool->setObjectName(QStringLiteral("PenTool"));
    connect(penTool, &QAction::triggered, m_preview, &KXPreview::enterDrawMode);
    edit->addAction(m_windowPanels->cropCommands()->cropAction());

    QMenu* view = menuBar()->addMenu(localized("View"));
    QAction* zoomIn = view->addAction(localized("ZoomIn"));
    zoomIn->setObjectName(QStringLiteral("ZoomIn"));
    zoomIn->setData(KXMenuTagZoomIn);
    zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(zoomIn, &QAction::triggered, m_preview, &KXPreview::zoomInAction);
    QAction* zoomOut = view->addAction(localized("ZoomOut"));
    zoomOut->setObjectName(QStringLiteral("ZoomOut"));
    zoomOut->setData(KXMenuTagZoomOut);
    zoomOut->setShortcut(QKeySequence::ZoomOut);
    connect(zoomOut, &QAction::triggered, m_preview, &KXPreview::zoomOutAction);
    QAction* actual = view->addAction(localized("ActualSize"));
    actual->setObjectName(QStringLiteral("ActualSize"));
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(actual, &QAction::triggered, m_preview, &KXPreview::actualSizeAction);
    QAction* fit = view->addAction(localized("FitPage"));
    fit->setObjectName(QStringLiteral("FitPageAction"));
    connect(fit, &QAction::triggered, m_preview, &KXPreview::fitPageSizeAction);
    view->addSeparator();
    QAction* quickLook = view->addAction(localized("QuickLook"));
    quickLook->setObjectName(QStringLiteral("QuickLookAction"));
    connect(quickLook, &QAction::triggered, this, &KXMainWindow::quickLookAction);
    addPanelMenuItems(view);
    view->addSeparator();
    QAction* previous = view->addAction(localized("PreviousPage"));
    previous->setObjectName(QStringLiteral("PreviousPageAction"));
    previous->setShortcut(QKeySequence(Qt::Key_PageUp));
    connect(previous, &QAction::triggered, this, &KXMainWindow::previousPageAction);
    QAction* next = view->addAction(localized("NextPage"));
    next->setObjectName(QStringLiteral("NextPageAction"));
    next->setShortcut(QKeySequence(Qt::Key_PageDown));
    connect(next, &QAction::triggered, this, &KXMainWindow::nextPageAction);
}

void KXMainWindow::buildToolbar() {
    m_toolbar = addToolBar(QStringLiteral("toolbar"));
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The commands behind the shape and background items come with the shape picker and the background
    // editor; until then those items are shown disabled.
    const auto item = [this](const char* key, const char* name) {
        QAction* action = m_toolbar->addAction(localized(key));
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(false);
        return action;
    };
    m_tbiShape = item("Shape", "tbiShape");
    m_tbiBackground = item("Background", "tbiBackground");
    m_toolbar->addSeparator();
    m_tbiShare = item("Share", "tbiShare");
    m_tbiExport = item("Export", "tbiExport");
    m_tbiExport->setEnabled(true);
    connect(m_tbiExport, &QAction::triggered, this, &KXMainWindow::exportAction);
    m_tbiShare->setEnabled(true);
    connect(m_tbiShare, &QAction::triggered, this, &KXMainWindow::shareAction);
}

KXShareViewController* KXMainWindow::shareViewController() {
    if (!m_shareCtl) {
        // The share road reaches the project as the export road does.
        m_shareCtl = std::make_unique<KXShareViewController>(exportViewController()->exportProject());
        m_shareCtl->setMainWindow(this);
    }
    return m_shareCtl.get();
}

void KXMainWindow::shareAction() {
    QWidget* button = m_toolbar->widgetForAction(m_tbiShare);
    const QPoint below = button ? button->mapToGlobal(QPoint(button->width() / 2, button->height()))
                                : mapToGlobal(QPoint(width() / 2, 0));
    shareViewController()->popover()->popupAtPosition(below);
}

KXExportViewController* KXMainWindow::exportViewController() {
    if (!m_exportCtl) {
        KXExportProject project;
        project.pageCount = [this] { return m_project ? int(m_project->canvasCount()) : 0; };
        project.outputCopyOfPage = [this](int index) -> std::shared_ptr<KXCanvas> {
            KXCanvas* page = m_project ? m_project->canvasAtIndex(index) : nullptr;
            return page ? page->outputCopy() : nullptr;
        };
        project.projectPath = [this] { return m_project ? m_project->path() : QString(); };
        project.recordExport = [this](const QString& action, const QString& label) {
            if (GAObject* analytics = GAObject::defaultObject()) {
                analytics->clearEvent();
                analytics->trackEventType(QStringLiteral("Export"), action, label, 1);
                // The project's description follows the export's own event, and posting sends them together.
                if (m_project)
                    trackProject(*m_project, *analytics);
                else
                    analytics->postEvent();
            }
        };
        project.currentPageIndex = [this] { return m_project ? int(m_project->currentIndex()) : 0; };
        project.recordShare = [this](const QString& action) {
            if (GAObject* analytics = GAObject::defaultObject()) {
                analytics->clearEvent();
                analytics->trackEventType(QStringLiteral("Share"), action, QString(), 1);
                if (m_project)
                    trackProject(*m_project, *analytics);
                else
                    analytics->postEvent();
            }
        };
        m_exportCtl = std::make_unique<KXExportViewController>(std::move(project));
        m_exportCtl->setMainWindow(this);
        // Without a usable data folder there is no place for previews, and none is made.
        m_exportCtl->setPreviewFolder(AppDelegate::quickPreviewFolder());
    }
    return m_exportCtl.get();
}

QPoint KXMainWindow::popoverAnchorOfItem(QAction* item) const {
    QWidget* button = m_toolbar->widgetForAction(item);
    return button ? button->mapToGlobal(QPoint(button->width() / 2, button->height()))
                  : mapToGlobal(QPoint(width() / 2, 0));
}

void KXMainWindow::exportAction() {
    exportViewController()->popupAtPosition(popoverAnchorOfItem(m_tbiExport));
}

void KXMainWindow::quickLookAction() {
    QString name = m_document ? m_document->displayName() : QString();
    if (name.isEmpty())
        name = localized("Untitled");
    exportViewController()->quickLookWithName(name, m_previewChanged);
    // The controller remembers a preview that did not finish, so the flag only says what changed since.
    m_previewChanged = false;
}

QString KXMainWindow::bundleNameForMenu() {
    const QString name = kx::Bundle::main().infoValue(QStringLiteral("CFBundleName")).toString();
    return name.isEmpty() ? QStringLiteral("Kollage") : name;
}

void KXMainWindow::initWindowWidthDocument(KXDocument* document, const std::function<void()>& block) {
    m_document = document;
    bool opened = false;
    if (m_document && !m_document->projPath().isEmpty())
        opened = openProjectWithPath(m_document->projPath());
    else if (m_document && !m_document->templatePath().isEmpty())
        opened = openTemplateWithPath(m_document->templatePath(), m_document->pageIndex());
    // The window always holds a project: one that could not be opened leaves an empty one, in an untitled
    // document, so that saving never puts the empty project in place of the file that failed to open.
    if (!opened) {
        if (m_document && !m_document->projPath().isEmpty()) {
            m_document->setProjPath(QString());
            m_document->setFileURL(QString());
        }
        initEmptyProject();
    }
    if (KXCanvas* page = m_project->currentCanvas()) {
        page->undoManager().removeAllActions();
        if (m_document)
            m_document->setUndoManager(&page->undoManager());
    }
    validateUndoItems();
    updateWindowTitle();
    registerObservers();
    if (block)
        block();
}

void KXMainWindow::registerObservers() {
    m_observers.clear();
    auto& center = kx::NotificationCenter::defaultCenter();
    const auto add = [&](const QString& name, const void* sender, kx::NotificationCallback callback) {
        m_observers.push_back(center.addObserver(name, sender, std::move(callback)));
    };
    add(kx::UndoManagerDidUndoChangeNotification, nullptr, [this](const kx::Notification& n) { undoManagerDidChange(n); });
    add(kx::UndoManagerDidRedoChangeNotification, nullptr, [this](const kx::Notification& n) { undoManagerDidChange(n); });
    add(KXGraphSelectionChange, nullptr, [this](const kx::Notification& n) {
        if (n.sender == static_cast<const void*>(m_preview))
            graphSelectionChange();
    });
    add(KXFloatingNeedUpdate, nullptr, [this](const kx::Notification&) { m_windowPanels->updateFloatingPanel(); });
    add(KXHideAllFloatingPanel, nullptr, [this](const kx::Notification& n) {
        // Only this window's canvas hides this window's panels.
        if (n.sender == static_cast<const void*>(m_preview))
            m_windowPanels->hideAllFloatingPanel();
    });
    if (m_document)
        add(KXDocumentChanged, static_cast<const void*>(m_document), [this](const kx::Notification&) { documentChanged(); });
    add(KXRemoveEmptyPhoto, nullptr, [this](const kx::Notification& n) { removeEmptyPhoto(n); });
    add(KXExitObjectMode, nullptr, [this](const kx::Notification&) { exitCropAndTextEditMode(); });
    // The photo inspector of this window gave a photo a frame or a mask: the resource panel shows that list.
    add(KXSelectFrameResources, static_cast<const void*>(static_cast<QWidget*>(this)),
        [this](const kx::Notification&) { showResourceTab(KXResourceTagFrame); });
    add(KXSelectMaskResources, static_cast<const void*>(static_cast<QWidget*>(this)),
        [this](const kx::Notification&) { showResourceTab(KXResourceTagMask); });
    // Undo and Redo follow every step recorded, undone or redone on the page shown here.
    for (const QString& name : {kx::UndoManagerDidCloseUndoGroupNotification, kx::UndoManagerDidOpenUndoGroupNotification,
                                kx::UndoManagerCheckpointNotification}) {
        add(name, nullptr, [this](const kx::Notification& n) {
            if (n.sender && n.sender == static_cast<const void*>(currentUndoManager()))
                validateMenuItems();
        });
    }
}

kx::UndoManager* KXMainWindow::currentUndoManager() const {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    return page ? &page->undoManager() : nullptr;
}

namespace {

// "Undo" or "Undo <step>" (the same for Redo), from the localised texts.
QString undoItemTitle(const char* plainKey, const char* namedKey, const QString& stepName) {
    return stepName.isEmpty() ? localized(plainKey) : localized(namedKey).arg(stepName);
}

}  // namespace

void KXMainWindow::validateUndoItems() {
    if (!m_undoItem)
        return;
    kx::UndoManager* undo = currentUndoManager();
    // A drag on the canvas keeps its undo group open until the mouse is released: no undo in between.
    const bool idle = undo && !undo->isUndoing() && !undo->isRedoing() && !m_preview->isEditing() &&
                      undo->groupingLevel() <= 1;
    m_undoItem->setEnabled(idle && undo->canUndo());
    m_redoItem->setEnabled(idle && undo->canRedo());
    m_undoItem->setText(undoItemTitle("Undo", "UndoActionName", idle ? undo->undoActionName() : QString()));
    m_redoItem->setText(undoItemTitle("Redo", "RedoActionName", idle ? undo->redoActionName() : QString()));
}

void KXMainWindow::runUndoStep(QAction* item, void (kx::UndoManager::*step)()) {
    // The items' state may lag behind the model by one event: it is checked again first.
    validateUndoItems();
    if (!item->isEnabled())
        return;
    (currentUndoManager()->*step)();
    validateUndoItems();
}

void KXMainWindow::undoAction() {
    runUndoStep(m_undoItem, &kx::UndoManager::undo);
}

void KXMainWindow::redoAction() {
    runUndoStep(m_redoItem, &kx::UndoManager::redo);
}

void KXMainWindow::undoManagerDidChange(const kx::Notification& notification) {
    // Only an undo or redo on the page shown here concerns this window.
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page || notification.sender != static_cast<const void*>(&page->undoManager()))
        return;
    updateCanFillRandomly();
    // An undone or redone lock, move or removal leaves the floating panels over the wrong object otherwise.
    if (m_windowPanels)
        m_windowPanels->updateFloatingPanel();
    validateMenuItems();
}

void KXMainWindow::graphSelectionChange() {
    m_windowPanels->updateFloatingPanel();
    validateMenuItems();
    // The settings panel follows the selection: the object tab for a selection, the page tab without one.
    if (!m_settingView->isHidden()) {
        KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
        const bool selection = page && !page->selectedGraphs().empty();
        m_tbSetting->selectTabButtonAtIndex(selection ? KXSettingTagProperty : KXSettingTagPage);
    }
}

void KXMainWindow::exitCropAndTextEditMode() {
    if (m_windowPanels)
        m_windowPanels->exitCropAndTextEditMode();
}

void KXMainWindow::documentChanged() {
    // The page strip's thumbnail of the current page is refreshed here, unless a page command has just
    // rebuilt the strip itself.
    if (m_pageCommands)
        m_pageCommands->documentChanged(m_lockChangeCount);
    m_lockChangeCount = false;
    m_previewChanged = true;
    validateMenuItems();
}

void KXMainWindow::removeEmptyPhoto(const kx::Notification& notification) {
    // Posted before the empty frame leaves its page: that frame is still counted.
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    const auto layer = m_project ? m_project->currentCanvasLayer() : nullptr;
    if (!page || notification.sender != static_cast<const void*>(layer.get()))
        return;
    m_canFillRandomly = page->emptyPhotos().size() > 1;
}

void KXMainWindow::updateCanFillRandomly() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    m_canFillRandomly = page && !page->emptyPhotos().empty();
    if (m_resourceVC)
        m_resourceVC->setCanFillRandomly(m_canFillRandomly);
}

void KXMainWindow::adoptProject(std::unique_ptr<KXProject> project, std::int64_t pageIndex) {
    // The old project goes only after the view shows a page of the new one.
    std::unique_ptr<KXProject> old = std::move(m_project);
    m_project = std::move(project);
    if (pageIndex < 0 || pageIndex >= m_project->canvasCount())
        pageIndex = 0;
    if (m_pageCommands)
        m_pageCommands->projectReplaced();
    switchCanvasToIndex(pageIndex);
    if (KXCanvas* page = m_project->currentCanvas())
        page->undoManager().removeAllActions();
    old.reset();
    validateUndoItems();
}

std::unique_ptr<KXProject> KXMainWindow::loadProjectOrAlert(const QString& file, const QString& shownPath) {
    QString error;
    std::unique_ptr<KXProject> loaded = KXProject::initWithPath(file, &error);
    if (loaded && loaded->canvasCount() >= 1)
        return loaded;
    showOpenFailure(shownPath, error);
    return nullptr;
}

bool KXMainWindow::openProjectWithPath(const QString& path) {
    std::unique_ptr<KXProject> loaded = loadProjectOrAlert(path, path);
    if (!loaded)
        return false;
    if (m_document && m_document->fileURL().isEmpty())
        m_document->setFileURL(path);
    adoptProject(std::move(loaded), 0);
    updateWindowTitle();
    showMissingFilesLater();
    return true;
}

QString KXMainWindow::templateFileInFolder(const QString& folder) {
    if (folder.isEmpty())
        return {};
    // The template file itself may be given in place of its folder.
    if (QFileInfo(folder).isFile())
        return folder;
    QStringList files = filesInFolder(folder, QStringLiteral("tpl"), false);
    files.sort();
    for (const QString& file : files) {
        if (QFileInfo(file).isFile())
            return file;
    }
    return folder + QStringLiteral("/info.xml");
}

bool KXMainWindow::openTemplateWithPath(const QString& folder, std::int64_t pageIndex) {
    if (folder.isEmpty())
        return false;
    return openTemplateFile(folder, templateFileInFolder(folder), pageIndex);
}

void KXMainWindow::initEmptyProject() {
    adoptProject(std::make_unique<KXProject>(), 0);
}

void KXMainWindow::showAlert(const QString& message, const QString& informative) {
    if (alertPresenter()) {
        alertPresenter()(this, message, informative);
        return;
    }
    QMessageBox box(QMessageBox::Information, bundleNameForMenu(), message, QMessageBox::Ok, this);
    box.setInformativeText(informative);
    box.exec();
}

void KXMainWindow::showOpenFailure(const QString& path, const QString& error) {
    // The alert replaces the opening sheet, if one is up.
    stopProgressbar();
    const QString message = localized("OpenFailed").arg(QFileInfo(path).fileName());
    showAlert(message, error.isEmpty() ? localized("OpenFailedNoPages") : error);
}

void KXMainWindow::showMissingFilesNow() {
    if (m_project)
        m_project->showMissingFilesInWindow(this);
}

void KXMainWindow::showMissingFilesLater() {
    KXProject* project = m_project.get();
    QTimer::singleShot(1000, this, [this, project] {
        // Only for the project that is still open.
        if (m_project.get() == project)
            m_project->showMissingFilesInWindow(this);
    });
}

bool KXMainWindow::switchCanvasToIndex(std::int64_t index) {
    if (!m_project || index < 0 || index >= m_project->canvasCount())
        return false;
    m_project->setCurrentIndex(index);
    {
        kx::LayerTransaction transaction;
        m_preview->switchToCanvasLayer(m_project->currentCanvasLayer());
        m_settingVC->switchToCanvas(m_project->currentCanvas());
        updateCanFillRandomly();
        if (m_pageCommands)
            m_pageCommands->pageSwitched(index);
        updateMultiPageUIWithPageIndex(index);
    }
    if (m_document) {
        if (KXCanvas* page = m_project->currentCanvas())
            m_document->setUndoManager(&page->undoManager());
    }
    validateMenuItems();
    return true;
}

void KXMainWindow::updateMultiPageUIWithPageIndex(std::int64_t index) {
    const std::int64_t count = m_project ? m_project->canvasCount() : 0;
    m_btPreviousPage->setEnabled(index > 0);
    m_btNextPage->setEnabled(index < count - 1);
    m_tfPageTip->setText(QStringLiteral("%1/%2").arg(index + 1).arg(count));
}

void KXMainWindow::previousPageAction() {
    if (m_project)
        switchCanvasToIndex(m_project->currentIndex() - 1);
}

void KXMainWindow::nextPageAction() {
    if (m_project)
        switchCanvasToIndex(m_project->currentIndex() + 1);
}

bool KXMainWindow::saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error) {
    if (!m_project)
        return false;
    // A save the user asked for shows the sheet; autosaves run unseen.
    const bool userSave = operation == KXSaveOperationSave || operation == KXSaveOperationSaveAs ||
                          operation == KXSaveOperationSaveTo;
    if (userSave) {
        progressSheet();
        m_pbCtl->setIndeterminate(true);
        m_pbCtl->setCanCancel(false);
        m_pbCtl->setIsCancelled(false);
        m_pbCtl->setTip(localized("Saving..."));
        // Painted at once: the event loop is not run during the save, so nothing can close the window.
        m_pbCtl->window()->show();
        m_pbCtl->window()->repaint();
    }
    const bool ok = saveProjectForOperation(*m_project, path, operation, error);
    if (userSave) {
        m_pbCtl->stopAnimation();
        m_pbCtl->window()->hide();
    }
    // Only a save or save as puts everything into the document's own file; a save to writes a copy.
    if (ok && m_document && (operation == KXSaveOperationSave || operation == KXSaveOperationSaveAs))
        m_document->updateChangeCount(kx::ChangeCleared);
    return ok;
}

void KXMainWindow::waiting() {
    m_pbCtl->waitWhilePausing();
}

KXProgressBarController& KXMainWindow::progressSheet() {
    if (!m_sheetReady) {
        m_sheetReady = true;
        m_pbCtl->loadWindow();
        m_pbCtl->window()->setParent(this, m_pbCtl->window()->windowFlags() | Qt::Sheet);
        m_pbCtl->window()->setWindowModality(Qt::WindowModal);
        // A confirmed cancel closes the sheet.
        m_progressCancelObserver = kx::NotificationCenter::defaultCenter().addObserver(
            KXProgressCanceledNotification, m_pbCtl.get(), [this](const kx::Notification&) { stopProgressbar(); });
    }
    return *m_pbCtl;
}

void KXMainWindow::showProgressbarWithTitle(const QString& tip) {
    KXProgressBarController& sheet = progressSheet();
    sheet.setIndeterminate(true);
    sheet.setCanCancel(true);
    sheet.setIsCancelled(false);
    sheet.setTip(tip);
    sheet.window()->show();
    sheet.window()->raise();
    sheet.window()->repaint();
}

void KXMainWindow::stopProgressbar() {
    if (!m_sheetReady)
        return;
    m_pbCtl->stopAnimation();
    m_pbCtl->window()->hide();
}

// ---- the template chooser ----

void KXMainWindow::makeKeyAndOrderFront() {
    show();
    raise();
    activateWindow();
}

void KXMainWindow::showTemplates(bool ownWindow) {
    if (!m_templateWC) {
        m_templateWC = KXTemplateChooser::templateWC();
        if (m_templateWC)
            m_templateWC->setDelegate(this);
    }
    if (!m_templateWC) {
        // No chooser in this build: the window itself is what the user starts from.
        makeKeyAndOrderFront();
        return;
    }
    m_templateWC->setCanOpenProject(ownWindow);
    m_canOpenProject = ownWindow;
    // A window on its way into full screen shows the chooser when it gets there.
    if (m_openTemplateAfterfullScreen)
        return;
    if (ownWindow)
        m_templateWC->showWindow();
    else
        m_templateWC->beginSheet(this);
    m_canOpenProject = false;
}

void KXMainWindow::templateWindowControllerOpenPorject(KXTemplateChooser*, const QString& path) {
    makeKeyAndOrderFront();
    showProgressbarWithTitle(localized("Opening..."));
    // The sheet is drawn before the load starts.
    QTimer::singleShot(0, this, [this, path] { openChosenProject(path); });
}

void KXMainWindow::openChosenProject(const QString& path) {
    std::unique_ptr<KXProject> loaded = loadProjectOrAlert(path, path);
    if (!loaded)
        return;
    adoptProject(std::move(loaded), 0);
    if (m_document) {
        // The document now holds what its file holds. A template package is only a starting point: the
        // document stays untitled so that no save writes over the template.
        const bool templatePackage = QFileInfo(path).suffix().compare(QLatin1String("vrtpkg"), Qt::CaseInsensitive) == 0;
        m_document->setFileURL(templatePackage ? QString() : path);
        m_document->updateChangeCount(kx::ChangeCleared);
    }
    updateWindowTitle();
    stopProgressbar();
    // The page strip (not built yet) would take the new project here.
    showMissingFilesNow();
}

void KXMainWindow::templateWindowControllerOpenTemplate(KXTemplateChooser*, const QString& folder,
                                                        std::int64_t pageIndex) {
    makeKeyAndOrderFront();
    if (folder.isEmpty())
        return;
    KXGoogleAnalytics::trackTemplateWithPath(folder);
    showProgressbarWithTitle(localized("Opening..."));
    const QString file = templateFileInFolder(folder);
    if (m_newPage && m_project) {
        m_newPage = false;
        // Crop and pen modes would be left here; the canvas view leaves them when it shows another page.
        QTimer::singleShot(0, this, [this, folder, file] { insertTemplatePages(folder, file); });
    } else {
        QTimer::singleShot(0, this, [this, folder, file, pageIndex] { openTemplateFile(folder, file, pageIndex); });
    }
}

bool KXMainWindow::openTemplateFile(const QString& folder, const QString& file, std::int64_t pageIndex) {
    std::unique_ptr<KXProject> loaded = loadProjectOrAlert(file, folder);
    if (!loaded)
        return false;
    adoptProject(std::move(loaded), pageIndex);
    updateWindowTitle();
    stopProgressbar();
    showMissingFilesLater();
    return true;
}

void KXMainWindow::insertTemplatePages(const QString& folder, const QString& file) {
    const std::int64_t before = m_project->canvasCount();
    const std::int64_t current = m_project->currentIndex();
    QString error;
    if (!m_project->insertCanvasLayerWithPath(file, current, &error)) {
        showOpenFailure(folder, error);
        return;
    }
    switchCanvasToIndex(current);
    const std::int64_t added = m_project->canvasCount() - before;
    if (added > 0) {
        // The page strip gets one item per new page here, so the change that follows must not refresh it
        // again.
        if (m_pageCommands)
            m_pageCommands->pagesInserted(current, added);
        m_lockChangeCount = true;
        switchCanvasToIndex(current + 1);
        if (m_document)
            m_document->updateChangeCount(kx::ChangeDone);
    }
    stopProgressbar();
    showMissingFilesNow();
}

void KXMainWindow::templateWindowControllerDidCancel(KXTemplateChooser*) {
    makeKeyAndOrderFront();
}

void KXMainWindow::saveAction() {
    if (!m_document)
        return;
    m_document->saveDocumentPresentingError();
    updateWindowTitle();
}

void KXMainWindow::saveAsAction() {
    if (!m_document)
        return;
    m_document->saveDocumentPresentingError(true);
    updateWindowTitle();
}

void KXMainWindow::closeEvent(QCloseEvent* event) {
    if (!m_document || m_document->isClosed()) {
        event->accept();
        return;
    }
    // Unsaved changes: the user saves them, throws them away, or keeps the window (which also stops a quit).
    if (!m_document->canCloseDocument()) {
        updateWindowTitle();
        event->ignore();
        return;
    }
    event->accept();
    // The document (and with it this window) goes once the close event is over.
    const std::weak_ptr<kx::Document> weak = m_document->weak_from_this();
    QTimer::singleShot(0, qApp, [weak] {
        if (const auto document = weak.lock())
            document->close();
    });
}

void KXMainWindow::updateWindowTitle() {
    QString name = m_document ? m_document->displayName() : QString();
    if (name.isEmpty())
        name = localized("Untitled");
    setWindowTitle(name);
}

// ---- KXDocumentWindowController ----

KXDocumentWindowController::KXDocumentWindowController(AppDelegate* delegate)
    : m_window(std::make_unique<KXMainWindow>(delegate)) {}

KXDocumentWindowController::~KXDocumentWindowController() = default;

void KXDocumentWindowController::installFactory(AppDelegate* delegate) {
    KXMainWindowController::setFactory(
        [delegate] { return std::make_shared<KXDocumentWindowController>(delegate); });
}

void KXDocumentWindowController::initWindowWidthDocument(KXDocument* document, std::function<void()> block) {
    m_window->initWindowWidthDocument(document, block);
}

bool KXDocumentWindowController::saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error) {
    return m_window->saveProjectToPath(path, operation, error);
}

void KXDocumentWindowController::showTemplates(bool ownWindow) {
    m_window->showTemplates(ownWindow);
}

void KXDocumentWindowController::showWindow() {
    m_window->makeKeyAndOrderFront();
}

void KXDocumentWindowController::close() {
    m_window->hide();
}
