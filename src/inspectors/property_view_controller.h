// The property tab of the settings panel ("PropertyView"): what can be edited for the page's selection.
// One object shows the object view: two tab buttons over a tab view holding the style inspector (tag 0) or
// the arrange inspector (tag 1); a group or a locked object offers the arrange inspector only. No object or
// several show the multi-selection view: aligning them to the first one, same size, group, ungroup, lock,
// unlock. The tab also answers the arrange menu (align to the page, group, ungroup, lock, unlock, flips)
// for the objects it shows, and says which of those items can act.
//
// Alignments, flips and locks write straight into the objects as one undo step on their page.
#pragma once

#include "controls/on_off_button.h"
#include "controls/tab_view.h"
#include "inspectors/arrange_view_controller.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/multi_selection_view_controller.h"
#include "inspectors/view_controller.h"
#include "model/canvas.h"
#include "platform/foundation/notification_center.h"

#include <QPointer>

#include <cstdint>
#include <memory>

class QScrollArea;


class KXPropertyViewController : public KXViewController {
    Q_OBJECT
public:
    KXPropertyViewController();
    ~KXPropertyViewController() override;

    // Keeps the objects; then refreshes the tab, unless the view it sits in is hidden.
    void updateUIWithSelectedGraphs(const KXCanvas::GraphList& graphs);
    const KXCanvas::GraphList& graphs() const { return m_graphs; }
    // Shows the object view for one object, else the multi-selection view, and fills both inspectors.
    void updateUI();

    // The object view's tabs: 0 the style inspector, 1 the arrange inspector.
    void showViewWithTag(std::int64_t tag);
    QWidget* viewWithTag(std::int64_t tag);
    std::int64_t tagOfView(const QWidget* view);
    void selectButtonWithTag(std::int64_t tag);
    // "Shape", "Calendar", "Image", "Text", "Line" by graph type; empty for any other.
    static QString titleOfGraph(const KXGraph* graph);

    // ---- actions ----
    // A click in one of the three alignment controls (the sender; its segment is the alignment's type).
    void alignmentActions(QWidget* sender, int segment);
    // The arrange menu's commands, by their tag (KXArrangeMenuTag).
    void alignPage(int tag);
    void flipGraphs(int tag);
    void groupAction();
    void ungroupAction();
    void ungroupGraphs();
    void lockAction();
    void unlockAction();
    // Whether the arrange menu item with the tag can act on the objects shown.
    bool validateMenuItem(int tag) const;

    // Menu actions the tab does not answer go on to the style inspector.
    KXGraphViewController* nextResponder() const { return m_graphVC; }
    KXGraphViewController* graphVC() const { return m_graphVC; }
    KXArrangeViewController* arrangeVC() const { return m_arrangeVC.get(); }
    KXMultiSelectionViewController* selectionVC() const { return m_selectionVC.get(); }
    QWidget* propertyView() const { return m_propertyView; }
    QWidget* selectionView() { return m_selectionVC->view(); }
    KXTabView* tabView() const { return m_tabView; }
    kx::controls::KXOnOffButton* btObject() const { return m_btObject; }
    kx::controls::KXOnOffButton* btArrange() const { return m_btArrange; }

signals:
    // After every refresh of the tab.
    void uiUpdated();

protected:
    QWidget* loadView() override;

private:
    // updateUI without the announcement (also while the view is being built).
    void showViews();
    void updatePropertyUIWithGraph(const std::shared_ptr<KXGraph>& graph);
    void updateWhenLockChanged();
    void layoutViews();
    void exitObjectMode();

    KXCanvas::GraphList m_graphs;
    std::unique_ptr<KXArrangeViewController> m_arrangeVC;
    std::unique_ptr<KXMultiSelectionViewController> m_selectionVC;
    QPointer<KXGraphViewController> m_graphVC;
    QPointer<QScrollArea> m_styleView;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_propertyView;
    QPointer<KXTabView> m_tabView;
    QPointer<kx::controls::KXOnOffButton> m_btObject;
    QPointer<kx::controls::KXOnOffButton> m_btArrange;
    kx::NotificationToken m_arrangeObserver;
};
