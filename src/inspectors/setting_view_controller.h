// The settings panel on the right of a document window ("SettingView"). It owns the panel's two tabs, the
// page setup tab (tag 1) and the property tab (tag 0), shows one of them at a time in its tab view, and stays
// bound to the page the window shows: the property tab is refreshed when that page's selection changes in a
// canvas view showing it, and when that page's undo manager undoes or redoes a step. Notifications about any
// other page (another window's, or another page of the same project) leave the panel alone. The page's undo
// registration is off while the tab is filled, so that controls writing into the model meanwhile record
// nothing. While the panel is hidden it is not refreshed; the window refreshes it when it shows it again.
#pragma once

#include "controls/tab_view.h"
#include "inspectors/view_controller.h"
#include "model/canvas.h"
#include "platform/foundation/notification_center.h"

#include <QPointer>

#include <cstdint>
#include <vector>

class KXPageViewController;
class KXPropertyViewController;

enum KXSettingTag : std::int64_t {
    KXSettingTagProperty = 0,
    KXSettingTagPage = 1,
};

class KXSettingViewController : public KXViewController {
    Q_OBJECT
public:
    // Builds the panel bound to the page (null: none yet; the window binds one at its first page switch).
    // The page is not owned: whoever removes it binds the panel to another page first.
    explicit KXSettingViewController(KXCanvas* canvas);
    ~KXSettingViewController() override;

    // Binds the panel to another page: the page setup tab shows its size, clip flag and margins. The
    // property tab is left as it is: the view's selection was emptied (and announced) before the switch.
    void switchToCanvas(KXCanvas* canvas);
    // Refreshes the property tab with the bound page's selection.
    void updateSettingUI();
    // Refreshes the property tab for these objects, with the page's undo registration off; nothing while the
    // panel is hidden.
    void updateUIWithSelectedGraphs(const KXCanvas::GraphList& graphs);

    // Shows the tab with the tag; nothing for the tag shown or for KXTabNotFound.
    void showViewWithTag(std::int64_t tag);
    // The view of the tab with the tag; null for any other tag.
    QWidget* viewWithTag(std::int64_t tag);
    // The tag of a tab's view; KXTabNotFound for any other view.
    std::int64_t tagOfView(const QWidget* view);

    // Actions the window does not handle go on to the property tab.
    KXPropertyViewController* nextResponder() const { return m_propertyVC.get(); }

    KXCanvas* canvas() const { return m_canvas; }
    KXPageViewController* pageVC() const { return m_pageVC.get(); }
    KXPropertyViewController* propertyVC() const { return m_propertyVC.get(); }
    KXTabView* tabView() const { return m_tabView; }

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    // Follows undo, redo and selection changes from any sender; each handler acts for the bound page only.
    void awakeFromNib();
    void undoManagerDidUndo(const kx::Notification& notification);
    void undoManagerDicRedo(const kx::Notification& notification);
    void graphSelectionChange(const kx::Notification& notification);
    bool isBoundUndoManager(const void* sender) const;

    KXCanvas* m_canvas = nullptr;
    std::unique_ptr<KXPageViewController> m_pageVC;
    std::unique_ptr<KXPropertyViewController> m_propertyVC;
    QPointer<KXTabView> m_tabView;
    std::vector<kx::NotificationToken> m_observers;
};
