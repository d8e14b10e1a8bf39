// The property tab of the settings panel ("PropertyView"): the inspectors of the selected objects. Its
// inspectors come later; until then it keeps the objects it is given and announces every refresh.
#pragma once

#include "inspectors/view_controller.h"
#include "model/canvas.h"

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

signals:
    // After every refresh of the tab.
    void uiUpdated();

protected:
    QWidget* loadView() override;

private:
    KXCanvas::GraphList m_graphs;
};
