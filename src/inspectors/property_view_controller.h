// The property tab of the settings panel ("PropertyView"): the inspectors of the selected objects. One
// object that is neither a group nor locked shows the style inspector; it keeps the objects it is given
// and announces every refresh.
#pragma once

#include "inspectors/view_controller.h"
#include "model/canvas.h"

#include <QPointer>

#include "inspectors/graph_view_controller.h"

class KXPropertyViewController : public KXViewController {
    Q_OBJECT
public:
    KXPropertyViewController();
    ~KXPropertyViewController() override;

    // Keeps the objects; then refreshes the tab, unless the view it sits in is hidden.
    void updateUIWithSelectedGraphs(const KXCanvas::GraphList& graphs);
    const KXCanvas::GraphList& graphs() const { return m_graphs; }
    // Fills the tab's controls from the kept objects.
    void updateUI();
    // The style inspector (built with the view).
    KXGraphViewController* graphVC() const { return m_graphVC; }

signals:
    // After every refresh of the tab.
    void uiUpdated();

protected:
    QWidget* loadView() override;

private:
    KXCanvas::GraphList m_graphs;
    QPointer<KXGraphViewController> m_graphVC;
};
