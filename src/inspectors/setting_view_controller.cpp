#include "inspectors/setting_view_controller.h"

#include "canvas/canvas_view.h"
#include "controls/tab_bar.h"
#include "controls/tab_geometry.h"
#include "controls/tab_view.h"
#include "inspectors/page_view_controller.h"
#include "inspectors/property_view_controller.h"
#include "platform/foundation/undo_manager.h"

#include <QVBoxLayout>

KXSettingViewController::KXSettingViewController(KXCanvas* canvas)
    : m_canvas(canvas),
      m_pageVC(std::make_unique<KXPageViewController>()),
      m_propertyVC(std::make_unique<KXPropertyViewController>()) {
    view();
}

KXSettingViewController::~KXSettingViewController() {
    m_observers.clear();
    // The tabs' views go with their controllers, before the tab view that may hold one of them.
    m_pageVC.reset();
    m_propertyVC.reset();
}

QWidget* KXSettingViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("SettingView"));
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 0, 0, 0);
    m_tabView = new KXTabView(view);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    column->addWidget(m_tabView);
    return view;
}

void KXSettingViewController::viewDidLoad() {
    awakeFromNib();
}

void KXSettingViewController::awakeFromNib() {
    auto& center = kx::NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(kx::UndoManagerDidUndoChangeNotification, nullptr,
                                             [this](const kx::Notification& n) { undoManagerDidUndo(n); }));
    m_observers.push_back(center.addObserver(kx::UndoManagerDidRedoChangeNotification, nullptr,
                                             [this](const kx::Notification& n) { undoManagerDicRedo(n); }));
    m_observers.push_back(center.addObserver(KXGraphSelectionChange, nullptr,
                                             [this](const kx::Notification& n) { graphSelectionChange(n); }));
}

void KXSettingViewController::switchToCanvas(KXCanvas* canvas) {
    if (canvas) {
        m_pageVC->setPageSize(canvas->pageSize());
        m_pageVC->setClipMargin(canvas->clipMargin());
        // The margin rectangle is in page pixels with its origin at the bottom-left corner.
        const kx::Rect margin = canvas->marginRect();
        const kx::Size size = canvas->pixelSize();
        const double top = size.height - (margin.origin.y + margin.size.height);
        const double bottom = margin.origin.y;
        const double left = margin.origin.x;
        const double right = size.width - (margin.origin.x + margin.size.width);
        m_pageVC->setMarginTop(top, bottom, left, right);
    }
    m_canvas = canvas;
}

void KXSettingViewController::updateSettingUI() {
    updateUIWithSelectedGraphs(m_canvas ? m_canvas->selectedGraphs() : KXCanvas::GraphList());
}

void KXSettingViewController::updateUIWithSelectedGraphs(const KXCanvas::GraphList& graphs) {
    QWidget* panel = view();
    if (!panel || isHiddenOrHasHiddenAncestor(panel))
        return;
    kx::UndoManager* undo = m_canvas ? &m_canvas->undoManager() : nullptr;
    if (undo)
        undo->disableUndoRegistration();
    if (QWidget* tab = m_propertyVC->view())
        tab->setGeometry(panel->rect());
    m_propertyVC->updateUIWithSelectedGraphs(graphs);
    if (undo)
        undo->enableUndoRegistration();
}

void KXSettingViewController::showViewWithTag(std::int64_t tag) {
    if (!m_tabView || tag == KXTabNotFound || tag == tagOfView(m_tabView->currentView()))
        return;
    QWidget* tab = viewWithTag(tag);
    if (!tab)
        return;
    m_tabView->showView(tab, KXTabViewNoAnimation);
}

QWidget* KXSettingViewController::viewWithTag(std::int64_t tag) {
    switch (tag) {
    case KXSettingTagProperty:
        return m_propertyVC->view();
    case KXSettingTagPage:
        return m_pageVC->view();
    default:
        return nullptr;
    }
}

std::int64_t KXSettingViewController::tagOfView(const QWidget* view) {
    if (!view)
        return KXTabNotFound;
    if (view == m_propertyVC->view())
        return KXSettingTagProperty;
    if (view == m_pageVC->view())
        return KXSettingTagPage;
    return KXTabNotFound;
}

bool KXSettingViewController::isBoundUndoManager(const void* sender) const {
    return m_canvas && sender && sender == static_cast<const void*>(&m_canvas->undoManager());
}

void KXSettingViewController::undoManagerDidUndo(const kx::Notification& notification) {
    if (isBoundUndoManager(notification.sender))
        updateUIWithSelectedGraphs(m_canvas->selectedGraphs());
}

void KXSettingViewController::undoManagerDicRedo(const kx::Notification& notification) {
    if (isBoundUndoManager(notification.sender))
        updateUIWithSelectedGraphs(m_canvas->selectedGraphs());
}

void KXSettingViewController::graphSelectionChange(const kx::Notification& notification) {
    // Only the canvas view posts this notification, with itself as the sender.
    const auto* preview = notification.senderAs<KXPreview>();
    if (!m_canvas || !preview || preview->canvas() != m_canvas)
        return;
    updateUIWithSelectedGraphs(preview->selectedGraphs());
}
