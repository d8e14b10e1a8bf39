#include "inspectors/property_view_controller.h"

#include "inspectors/graph_view_controller.h"

#include <QScrollArea>
#include <QVBoxLayout>

KXPropertyViewController::KXPropertyViewController() = default;

KXPropertyViewController::~KXPropertyViewController() = default;

QWidget* KXPropertyViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PropertyView"));
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(view);
    scroll->setFrameShape(QFrame::NoFrame);
    m_graphVC = new KXGraphViewController;
    scroll->setWidget(m_graphVC);
    column->addWidget(scroll);
    m_graphVC->hide();
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
    if (m_graphVC) {
        const bool single = m_graphs.size() == 1 && m_graphs.front() &&
                            m_graphs.front()->graphType() != KXGraphTypeGroup && !m_graphs.front()->isLocked();
        m_graphVC->updateUIWithGraph(single ? m_graphs.front() : nullptr);
        m_graphVC->setVisible(single);
    }
    emit uiUpdated();
}
