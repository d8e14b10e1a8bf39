// The document window's editing commands (delete, select all, stacking order, group, lock, align, flip),
// File's open, close, export and share items, the canvas view's context menu, and the hooks that keep every
// tagged menu item enabled exactly when its command can act.
#include "app/main_window.h"

#include "app/menu_validation.h"
#include "app/page_commands.h"
#include "app/window_panels.h"
#include "canvas/canvas_view.h"
#include "document/document_base.h"
#include "graphics/system_services.h"
#include "inspectors/arrangement.h"
#include "inspectors/setting_view_controller.h"
#include "library/project_open_panel.h"
#include "model/canvas.h"
#include "output/export_view_controller.h"
#include "output/facebook_client.h"
#include "output/share_view_controller.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "app/app_delegate.h"
#include "app/crop_commands.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

QString text(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

// An item of the menu named by its title key, tagged for validation under the property, running the slot.
template <typename Slot>
QAction* addTaggedItem(QMenu* menu, const char* key, const char* property, int tag, QObject* context, Slot slot,
                       const QKeySequence& keys = {}) {
    QAction* action = menu->addAction(text(key));
    action->setObjectName(QString::fromLatin1(key));
    if (property)
        action->setProperty(property, tag);
    if (!keys.isEmpty())
        action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, context, slot);
    return action;
}

// A command that this build cannot carry out yet: shown disabled, its tool tip saying why. Validation
// leaves it alone.
void markUnavailable(QAction* action, const char* reasonKey) {
    action->setProperty("unavailable", true);
    action->setEnabled(false);
    action->setToolTip(text(reasonKey));
    action->setStatusTip(text(reasonKey));
}

// One undo group on the page for the lifetime of a command, so that the command is one undo step whether or
// not the page groups its steps by event.
class CommandUndoGroup {
public:
    explicit CommandUndoGroup(KXCanvas* page) : m_undo(page ? &page->undoManager() : nullptr) {
        if (m_undo)
            m_undo->beginUndoGrouping();
    }
    ~CommandUndoGroup() {
        if (m_undo)
            m_undo->endUndoGrouping();
    }
    CommandUndoGroup(const CommandUndoGroup&) = delete;
    CommandUndoGroup& operator=(const CommandUndoGroup&) = delete;

private:
    kx::UndoManager* m_undo;
};

QAction* menuAfter(QMenuBar* bar, QMenu* menu) {
    const QList<QAction*> menus = bar->actions();
    for (qsizetype i = 0; menu && i + 1 < menus.size(); ++i) {
        if (menus[i] == menu->menuAction())
            return menus[i + 1];
    }
    return nullptr;
}

}  // namespace

void KXMainWindow::buildEditCommands() {
    // Edit: delete and select all after the clipboard items; the clipboard items carry their tags.
    if (QMenu* edit = menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"))) {
        const std::pair<QAction*, int> clipboardTags[] = {{m_cutItem, KXMenuTagUnlockedSelection},
                                                          {m_copyItem, KXMenuTagCopy},
                                                          {m_pasteItem, KXMenuTagPaste},
                                                          {m_duplicateItem, KXMenuTagDuplicate}};
        for (const auto& [item, tag] : clipboardTags) {
            if (item)
                item->setProperty(kMenuTagProperty, tag);
        }
        addTaggedItem(edit, "Delete", kMenuTagProperty, KXMenuTagDelete, this, [this] { deleteAction(); },
                      QKeySequence(QKeySequence::Delete));
        edit->addSeparator();
        addTaggedItem(edit, "SelectAll", kMenuTagProperty, KXMenuTagPageHasGraphs, this, [this] { selectAllAction(); },
                      QKeySequence(QKeySequence::SelectAll));
    }

    // File: open and close at the top, export and share before print.
    if (QMenu* file = menuBar()->findChild<QMenu*>(QStringLiteral("FileMenu"))) {
        QAction* first = file->actions().value(0);
        auto* open = new QAction(text("OpenProject"), file);
        open->setObjectName(QStringLiteral("OpenProject"));
        open->setShortcut(QKeySequence::Open);
        connect(open, &QAction::triggered, this, &KXMainWindow::openDocumentAction);
        auto* close = new QAction(text("Close"), file);
        close->setObjectName(QStringLiteral("CloseWindow"));
        // Ctrl+W on every desktop, beside whatever the platform's theme adds.
        QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
        closeKeys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W));
        closeKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_W));
        close->setShortcuts(closeKeys);
        connect(close, &QAction::triggered, this, &QWidget::close);
        file->insertActions(first, {open, close});
        file->insertSeparator(first);

        QAction* print = file->findChild<QAction*>(QStringLiteral("Print"));
        auto* exportMenu = new QMenu(text("Export"), file);
        exportMenu->setObjectName(QStringLiteral("ExportMenu"));
        const struct {
            const char* key;
            int type;
        } exports[] = {{"ExportImages", KXExportTypeImage},
                       {"ExportPDF", KXExportTypePDF},
                       {"Set as Wallpaper", KXExportTypeWallpaper},
                       {"Send to iPhoto", KXExportTypePhotoLibrary}};
        for (const auto& item : exports) {
            const int type = item.type;
            QAction* action = addTaggedItem(exportMenu, item.key, nullptr, 0, this, [this, type] { exportFormMenu(type); });
            action->setData(type);
        }
        auto* shareMenu = new QMenu(text("Share"), file);
        shareMenu->setObjectName(QStringLiteral("ShareMenu"));
        const char* shareKeys[] = {"Email", "ShareMessages", "ShareAirDrop", "ShareTwitter", "ShareFacebookService",
                                   "ShareFlickr"};
        for (int type = 0; type <= KXMenuTagShareLast - KXMenuTagShareBase; ++type) {
            const int tag = KXMenuTagShareBase + type;
            QAction* action =
                addTaggedItem(shareMenu, shareKeys[type], kMenuTagProperty, tag, this, [this, tag] { shareFormMenu(tag); });
            action->setObjectName(QStringLiteral("Share%1").arg(tag));
            // E-mail goes through the desktop's mail program, Facebook once its service is configured; the
            // other services are not offered.
            const bool offered =
                type == KXShareTypeEmail || (type == KXShareTypeFacebook && KXFacebookConfig::fromInfo().isComplete());
            if (!offered)
                markUnavailable(action, "ShareServiceUnavailable");
        }
        QAction* preview = new QAction(text("QuickLook"), file);
        preview->setObjectName(QStringLiteral("PreviewProject"));
        connect(preview, &QAction::triggered, this, &KXMainWindow::quickLookAction);
        file->insertMenu(print, exportMenu);
        file->insertMenu(print, shareMenu);
        file->insertAction(print, preview);
        file->insertSeparator(print);
    }

    // Arrange: stacking order, page alignment, flips, group and lock, after the Insert menu.
    m_arrangeMenu = new QMenu(text("Arrange"), this);
    m_arrangeMenu->setObjectName(QStringLiteral("ArrangeMenu"));
    if (QAction* before = menuAfter(menuBar(), m_insertMenu))
        menuBar()->insertMenu(before, m_arrangeMenu);
    else
        menuBar()->addMenu(m_arrangeMenu);
    const auto addStacking = [this](QMenu* menu) {
        addTaggedItem(menu, "BringToFront", kMenuTagProperty, KXMenuTagBringForward, this, [this] { goFrontClicked(); });
        addTaggedItem(menu, "BringForward", kMenuTagProperty, KXMenuTagBringForward, this, [this] { goForwardClicked(); });
        addTaggedItem(menu, "SendBackward", kMenuTagProperty, KXMenuTagSendBackward, this, [this] { goBackwardClicked(); });
        addTaggedItem(menu, "SendToBack", kMenuTagProperty, KXMenuTagSendBackward, this, [this] { goBackClicked(); });
    };
    const auto addGroupAndLock = [this](QMenu* menu) {
        addTaggedItem(menu, "Lock", kArrangeTagProperty, KXArrangeMenuLock, this, [this] { lockAction(); });
        addTaggedItem(menu, "Unlock", kArrangeTagProperty, KXArrangeMenuUnlock, this, [this] { unlockAction(); });
    };
    addStacking(m_arrangeMenu);
    m_arrangeMenu->addSeparator();
    QMenu* align = m_arrangeMenu->addMenu(text("Alignment"));
    align->setObjectName(QStringLiteral("AlignMenu"));
    const struct {
        const char* key;
        int tag;
    } alignments[] = {{"AlignLeft", KXAlignPageLeft},     {"AlignCenter", KXAlignPageHorizontalCenter},
                      {"AlignRight", KXAlignPageRight},   {"AlignTop", KXAlignPageTop},
                      {"AlignMiddle", KXAlignPageVerticalCenter}, {"AlignBottom", KXAlignPageBottom}};
    for (const auto& item : alignments) {
        const int tag = item.tag;
        addTaggedItem(align, item.key, kArrangeTagProperty, tag, this, [this, tag] { alignPageAction(tag); });
    }
    for (const auto& [key, tag] : {std::pair{"Flip Horizontal", int(KXFlipHorizontal)},
                                   std::pair{"Flip Vertical", int(KXFlipVertical)}}) {
        const int flip = tag;
        addTaggedItem(m_arrangeMenu, key, kArrangeTagProperty, tag, this, [this, flip] { flipAction(flip); });
    }
    m_arrangeMenu->addSeparator();
    addTaggedItem(m_arrangeMenu, "Group", kArrangeTagProperty, KXArrangeMenuGroup, this, [this] { groupAction(); });
    addTaggedItem(m_arrangeMenu, "Ungroup", kArrangeTagProperty, KXArrangeMenuUngroup, this, [this] { ungroupAction(); });
    addGroupAndLock(m_arrangeMenu);

    // View: the zoom and page items carry their tags.
    for (const auto& [name, tag] : {std::pair{"ZoomIn", KXMenuTagZoomIn}, std::pair{"ZoomOut", KXMenuTagZoomOut},
                                    std::pair{"NextPageAction", KXMenuTagNextPage},
                                    std::pair{"PreviousPageAction", KXMenuTagPreviousPage},
                                    std::pair{"ShowHideResourcePanel", KXMenuTagResourceInspector},
                                    std::pair{"ShowHideSettingPanel", KXMenuTagSettingInspector},
                                    std::pair{"ShowHideFloatingPanel", KXMenuTagFloatingPanel}}) {
        if (QAction* action = menuBar()->findChild<QAction*>(QString::fromLatin1(name)))
            action->setProperty(kMenuTagProperty, tag);
    }

    // The canvas view's context menu: its first two items show only for a group or several objects, the
    // photo items only for one photo (the view decides on each right click).
    m_canvasMenu = new QMenu(this);
    m_canvasMenu->setObjectName(QStringLiteral("CanvasMenu"));
    addTaggedItem(m_canvasMenu, "Group", kArrangeTagProperty, KXArrangeMenuGroup, this, [this] { groupAction(); });
    addTaggedItem(m_canvasMenu, "Ungroup", kArrangeTagProperty, KXArrangeMenuUngroup, this, [this] { ungroupAction(); });
    m_canvasMenu->addSeparator();
    addTaggedItem(m_canvasMenu, "Cut", kMenuTagProperty, KXMenuTagUnlockedSelection, this, [this] { cutAction(); });
    addTaggedItem(m_canvasMenu, "Copy", kMenuTagProperty, KXMenuTagCopy, this, [this] { copyAction(); });
    addTaggedItem(m_canvasMenu, "Paste", kMenuTagProperty, KXMenuTagPaste, this, [this] { pasteAction(); });
    addTaggedItem(m_canvasMenu, "Delete", kMenuTagProperty, KXMenuTagDelete, this, [this] { deleteAction(); });
    m_canvasMenu->addSeparator();
    addStacking(m_canvasMenu);
    m_canvasMenu->addSeparator();
    addGroupAndLock(m_canvasMenu);
    m_canvasMenu->addSeparator();
    QAction* background = addTaggedItem(m_canvasMenu, "SetAsBackground", kMenuTagProperty, KXMenuTagPhoto, this,
                                        [this] { m_pageCommands->setAsBackground(); });
    background->setData(KXMenuTagPhoto);
    m_preview->setContextMenu(m_canvasMenu);

    // Validation: before any menu opens, and whenever what it depends on changes.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &KXMainWindow::validateMenuItems);
    connect(m_canvasMenu, &QMenu::aboutToShow, this, &KXMainWindow::validateMenuItems);
    if (QClipboard* clipboard = sharedPasteboard())
        connect(clipboard, &QClipboard::dataChanged, this, &KXMainWindow::validateMenuItems);
    connect(m_zoom, &QComboBox::currentIndexChanged, this, &KXMainWindow::validateMenuItems);
}

KXMenuState KXMainWindow::menuState() const {
    KXMenuState state;
    state.page = m_project ? m_project->currentCanvas() : nullptr;
    state.canPaste = canPasteObject();
    state.canZoomIn = m_preview->canZoomIn();
    state.canZoomOut = m_preview->canZoomOut();
    state.nextPageEnabled = m_btNextPage->isEnabled();
    state.previousPageEnabled = m_btPreviousPage->isEnabled();
    state.showFloatingPanel = kx::UserDefaults::standard().boolValue(KXShowFloatingPanel);
    state.resourcePanelHidden = m_resourceView->parentWidget()->isHidden();
    state.settingPanelHidden = m_settingView->parentWidget()->isHidden();
    return state;
}

void KXMainWindow::validateMenuItems() {
    // Validation may run from a notification sent during another validation; once is enough.
    if (m_validating || !m_preview)
        return;
    m_validating = true;
    validateUndoItems();
    m_windowPanels->cropCommands()->validateCropAction();
    const KXMenuState state = menuState();
    for (QAction* action : findChildren<QAction*>()) {
        if (!action->property("unavailable").toBool())
            validateAction(action, state);
    }
    m_validating = false;
}

void KXMainWindow::selectionChanged() {
    m_preview->checkSelectionChanged();
    m_windowPanels->updateFloatingPanel();
    if (m_settingVC)
        m_settingVC->updateSettingUI();
    validateMenuItems();
}

// ---- editing ----

void KXMainWindow::deleteAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!::canCopyObject(page))
        return;
    {
        CommandUndoGroup step(page);
        m_preview->removeSelectedGrpahs();
    }
    m_windowPanels->updateFloatingPanel();
    validateMenuItems();
}

void KXMainWindow::selectAllAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page || page->graphs().empty())
        return;
    page->setAllGrpahsSelection(true);
    m_preview->checkSelectionChanged();
    validateMenuItems();
}

void KXMainWindow::moveSelection(bool forward, bool toTheEnd) {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (page && (forward ? page->selectedGraphsCanGoForward() : page->selectedGraphsCanGoBack())) {
        CommandUndoGroup step(page);
        if (forward)
            toTheEnd ? page->selectedGraphsGoFront() : page->selectedGraphsGoForward();
        else
            toTheEnd ? page->selectedGraphsGoBack() : page->selectedGraphsGoBackward();
    }
    m_windowPanels->updateLayoutState();
    validateMenuItems();
}

void KXMainWindow::goFrontClicked() {
    moveSelection(true, true);
}

void KXMainWindow::goBackClicked() {
    moveSelection(false, true);
}

void KXMainWindow::goForwardClicked() {
    moveSelection(true, false);
}

void KXMainWindow::goBackwardClicked() {
    moveSelection(false, false);
}

void KXMainWindow::arrangeSelection(int tag) {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!validateArrangeTag(tag, page))
        return;
    const KXCanvas::GraphList selected = page->selectedGraphs();
    bool leaveModes = true;
    {
        CommandUndoGroup step(page);
        switch (tag) {
        case KXArrangeMenuGroup:
            page->groupGraphs(selected);
            break;
        case KXArrangeMenuUngroup:
            page->ungroupGraphs(selected);
            break;
        case KXArrangeMenuLock:
        case KXArrangeMenuUnlock:
            kx::inspectors::setGraphsLocked(selected, tag == KXArrangeMenuLock);
            break;
        case KXFlipHorizontal:
        case KXFlipVertical:
            // A photo being cropped stops the flips; only then does its crop end.
            leaveModes = kx::inspectors::flipGraphs(selected, tag) != nullptr;
            break;
        default:
            kx::inspectors::updateGraphAlignmentForPageWith(selected, tag);
            break;
        }
    }
    if (leaveModes)
        exitCropAndTextEditMode();
    selectionChanged();
}

void KXMainWindow::groupAction() {
    arrangeSelection(KXArrangeMenuGroup);
}

void KXMainWindow::ungroupAction() {
    arrangeSelection(KXArrangeMenuUngroup);
}

void KXMainWindow::lockAction() {
    arrangeSelection(KXArrangeMenuLock);
}

void KXMainWindow::unlockAction() {
    arrangeSelection(KXArrangeMenuUnlock);
}

void KXMainWindow::alignPageAction(int tag) {
    arrangeSelection(tag);
}

void KXMainWindow::flipAction(int tag) {
    if (tag == KXFlipHorizontal || tag == KXFlipVertical)
        arrangeSelection(tag);
}

// ---- output hand-offs and documents ----

void KXMainWindow::exportFormMenu(int type) {
    exportViewController()->exportWithType(type);
}

void KXMainWindow::shareFormMenu(int tag) {
    const int type = shareTypeForTag(tag);
    if (type >= 0)
        shareViewController()->shareImageByType(type);
}

void KXMainWindow::openDocumentAction() {
    const QString path = runProjectOpenPanel(this);
    if (path.isEmpty())
        return;
    QString error;
    if (!kx::DocumentController::shared().openDocumentWithContentsOfURL(path, &error))
        showAlert(text("OpenFailed").arg(QFileInfo(path).fileName()), error);
}
