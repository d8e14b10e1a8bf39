#include "inspectors/property_view_controller.h"

#include "canvas/canvas_view.h"
#include "controls/on_off_button.h"
#include "controls/segmented_control.h"
#include "controls/tab_bar.h"
#include "controls/tab_geometry.h"
#include "controls/tab_view.h"
#include "inspectors/arrangement.h"
#include "inspectors/calendar_view_controller.h"
#include "inspectors/inspector_support.h"
#include "inspectors/photo_view_controller.h"
#include "inspectors/text_view_controller.h"

#include <QGridLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

using namespace kx::inspectors;
using kx::controls::KXOnOffButton;
using kx::controls::KXSegmentedControl;

namespace {
constexpr int kButtonRowHeight = 28;

enum KXPropertyTag : std::int64_t {
    KXPropertyTagStyle = 0,
    KXPropertyTagArrange = 1,
};
}  // namespace

KXPropertyViewController::KXPropertyViewController()
    : m_arrangeVC(std::make_unique<KXArrangeViewController>()),
      m_selectionVC(std::make_unique<KXMultiSelectionViewController>()) {}

KXPropertyViewController::~KXPropertyViewController() {
    m_arrangeObserver = {};
    // The style inspector's scroll area leaves the tab view whenever the other tab shows; it is ours.
    delete m_styleView.data();
}

QWidget* KXPropertyViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PropertyView"));
    auto* stack = new QGridLayout(view);
    stack->setContentsMargins(0, 0, 0, 0);

    // The multi-selection view first, the object view over it; one of them shows at a time.
    QWidget* selection = m_selectionVC->view();
    stack->addWidget(selection, 0, 0);
    m_propertyView = new QWidget(view);
    m_propertyView->setObjectName(QStringLiteral("propertyView"));
    stack->addWidget(m_propertyView, 0, 0);
    auto* column = new QVBoxLayout(m_propertyView);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* buttonRow = new QWidget(m_propertyView);
    buttonRow->setFixedHeight(kButtonRowHeight);
    column->addWidget(buttonRow);
    m_btObject = new KXOnOffButton(buttonRow);
    m_btObject->setObjectName(QStringLiteral("btObject"));
    m_btArrange = new KXOnOffButton(buttonRow);
    m_btArrange->setObjectName(QStringLiteral("btArrange"));
    m_btArrange->setTitle(localized("Arrange"));
    const int half = kSectionWidth / 2;
    m_btObject->setGeometry(0, 0, half, kButtonRowHeight);
    m_btArrange->setGeometry(half, 0, kSectionWidth - half, kButtonRowHeight);
    connect(m_btObject, &KXOnOffButton::clicked, this, [this] { showViewWithTag(KXPropertyTagStyle); });
    connect(m_btArrange, &KXOnOffButton::clicked, this, [this] { showViewWithTag(KXPropertyTagArrange); });
    m_tabView = new KXTabView(m_propertyView);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    column->addWidget(m_tabView, 1);

    m_styleView = new QScrollArea;
    m_styleView->setObjectName(QStringLiteral("styleView"));
    m_styleView->setFrameShape(QFrame::NoFrame);
    m_graphVC = new KXGraphViewController;
    m_graphVC->installObjectInspector(KXGraphTypeText, std::make_unique<KXTextViewController>());
    m_graphVC->installObjectInspector(KXGraphTypePhoto, std::make_unique<KXImageViewController>());
    m_graphVC->installObjectInspector(KXGraphTypeCalendar, std::make_unique<KXCalendarViewController>());
    m_styleView->setWidget(m_graphVC);
    m_graphVC->hide();
    m_arrangeVC->view();

    // The multi-selection view's controls.
    KXMultiSelectionViewController& s = *m_selectionVC;
    for (KXSegmentedControl* control : {s.segLineAlign(), s.segCenterAlign(), s.segSizeAlign()}) {
        connect(control, &KXSegmentedControl::activated, this,
                [this, control](int segment) { alignmentActions(control, segment); });
    }
    connect(s.btGroup(), &QPushButton::clicked, this, &KXPropertyViewController::groupAction);
    connect(s.btUngroup(), &QPushButton::clicked, this, &KXPropertyViewController::ungroupAction);
    connect(s.btLock(), &QPushButton::clicked, this, &KXPropertyViewController::lockAction);
    connect(s.btUnlock(), &QPushButton::clicked, this, &KXPropertyViewController::unlockAction);

    m_arrangeObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXUpdateArrangeUI, m_arrangeVC.get(), [this](const kx::Notification&) { updateUI(); });
    m_view = view;
    showViews();
    showViewWithTag(KXPropertyTagStyle);
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
    if (!m_propertyView)
        return;
    showViews();
    emit uiUpdated();
}

void KXPropertyViewController::showViews() {
    const bool single = m_graphs.size() == 1 && m_graphs.front();
    if (single) {
        updatePropertyUIWithGraph(m_graphs.front());
        m_selectionVC->view()->hide();
        m_propertyView->show();
    } else {
        updatePropertyUIWithGraph(nullptr);
        m_selectionVC->view()->show();
        m_propertyView->hide();
        m_selectionVC->updateUIWithGraphs(m_graphs);
    }
}

void KXPropertyViewController::updatePropertyUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    const int width = m_view ? m_view->width() : kSectionWidth;
    if (graph && (graph->graphType() == KXGraphTypeGroup || graph->isLocked())) {
        m_btObject->hide();
        m_btArrange->setSelectable(true);
        m_btArrange->setState(true);
        m_btArrange->setSelectable(false);
        m_btArrange->setGeometry(0, m_btArrange->y(), width, m_btArrange->height());
        if (tagOfView(m_tabView->currentView()) != KXPropertyTagArrange)
            showViewWithTag(KXPropertyTagArrange);
    } else if (graph) {
        m_btObject->show();
        m_btObject->move(0, m_btObject->y());
        m_btArrange->setSelectable(true);
        m_btArrange->setState(!m_btObject->state());
        const int x = int(width * 0.5);
        m_btArrange->setGeometry(x, m_btArrange->y(), width - x, m_btArrange->height());
        m_btObject->setTitle(titleOfGraph(graph.get()));
    }
    // The style inspector is shown only for one object that is neither a group nor locked.
    const bool styled = graph && graph->graphType() != KXGraphTypeGroup && !graph->isLocked();
    if (m_graphVC) {
        m_graphVC->updateUIWithGraph(graph);
        m_graphVC->setVisible(styled);
    }
    m_arrangeVC->updateUIWithGraph(graph);
}

// ---- tabs ----

void KXPropertyViewController::showViewWithTag(std::int64_t tag) {
    selectButtonWithTag(tag);
    if (!m_tabView || tag == KXTabNotFound || tag == tagOfView(m_tabView->currentView()))
        return;
    if (QWidget* shown = viewWithTag(tag))
        m_tabView->showView(shown, KXTabViewNoAnimation);
}

QWidget* KXPropertyViewController::viewWithTag(std::int64_t tag) {
    switch (tag) {
    case KXPropertyTagStyle: return m_styleView;
    case KXPropertyTagArrange: return m_arrangeVC->view();
    default: return nullptr;
    }
}

std::int64_t KXPropertyViewController::tagOfView(const QWidget* view) {
    if (!view)
        return KXTabNotFound;
    if (view == m_styleView)
        return KXPropertyTagStyle;
    if (view == m_arrangeVC->view())
        return KXPropertyTagArrange;
    return KXTabNotFound;
}

void KXPropertyViewController::selectButtonWithTag(std::int64_t tag) {
    if (m_btObject)
        m_btObject->setState(tag == KXPropertyTagStyle);
    if (m_btArrange)
        m_btArrange->setState(tag == KXPropertyTagArrange);
}

QString KXPropertyViewController::titleOfGraph(const KXGraph* graph) {
    switch (graph ? graph->graphType() : 0) {
    case KXGraphTypeShape: return localized("Shape");
    case KXGraphTypeCalendar: return localized("Calendar");
    case KXGraphTypePhoto: return localized("Image");
    case KXGraphTypeText: return localized("Text");
    case KXGraphTypeLine: return localized("Line");
    default: return QString();
    }
}

// ---- actions ----

void KXPropertyViewController::exitObjectMode() {
    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, this);
}

void KXPropertyViewController::alignmentActions(QWidget* sender, int segment) {
    int style = KXAlignmentStyleNone;
    if (sender == m_selectionVC->segLineAlign())
        style = KXAlignmentStyleEdges;
    else if (sender == m_selectionVC->segCenterAlign())
        style = KXAlignmentStyleCenters;
    else if (sender == m_selectionVC->segSizeAlign())
        style = KXAlignmentStyleSizes;
    updateGraphAlignmentWithStyle(m_graphs, style, segment);
    exitObjectMode();
}

void KXPropertyViewController::alignPage(int tag) {
    updateGraphAlignmentForPageWith(m_graphs, tag);
    exitObjectMode();
}

void KXPropertyViewController::flipGraphs(int tag) {
    if (kx::inspectors::flipGraphs(m_graphs, tag))
        exitObjectMode();
}

void KXPropertyViewController::groupAction() {
    if (m_graphs.empty() || !m_graphs.front() || !m_graphs.front()->canvas())
        return;
    m_graphs.front()->canvas()->groupGraphs(m_graphs);
}

void KXPropertyViewController::ungroupAction() {
    if (m_graphs.size() > 1)
        ungroupGraphs();
    else
        m_arrangeVC->ungroupAction();
}

void KXPropertyViewController::ungroupGraphs() {
    if (m_graphs.empty() || !m_graphs.front() || !m_graphs.front()->canvas())
        return;
    m_graphs.front()->canvas()->ungroupGraphs(m_graphs);
}

void KXPropertyViewController::lockAction() {
    setGraphsLocked(m_graphs, true);
    updateWhenLockChanged();
}

void KXPropertyViewController::unlockAction() {
    setGraphsLocked(m_graphs, false);
    updateWhenLockChanged();
}

void KXPropertyViewController::updateWhenLockChanged() {
    if (!m_graphs.empty())
        m_selectionVC->updateButtonEnable(m_graphs);
    updateUI();
    auto& center = kx::NotificationCenter::defaultCenter();
    center.post(KXExitObjectMode, this);
    center.post(KXFloatingNeedUpdate, this);
}

bool KXPropertyViewController::validateMenuItem(int tag) const {
    return validateArrangeMenuItem(m_graphs, tag);
}
