#include "inspectors/property_view_controller.h"

KXPropertyViewController::KXPropertyViewController() = default;

KXPropertyViewController::~KXPropertyViewController() = default;

QWidget* KXPropertyViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PropertyView"));
    return view;
}

void KXPropertyViewController::updateUIWithSelectedGraphs(const KXCanvas::GraphList& graphs) {
    m_graphs = graphs;
    QWidget* tab = view();
    if (tab && tab->parentWidget() && tab->parentWidget()->isHidden())
        return;
    updateUI();
}

void KXPropertyViewController::updateUI() {
    emit uiUpdated();
}
