#include "app/window_panels.h"

#include "app/app_delegate.h"
#include "app/crop_commands.h"
#include "app/main_window.h"
#include "app/page_commands.h"
#include "output/export_view_controller.h"
#include "output/popover_list.h"
#include "output/share_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "platform/foundation/bundle.h"
#include "canvas/canvas_view.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <utility>

namespace {

KXPhoto* photoOf(KXGraph* graph) {
    auto* shape = dynamic_cast<KXShape*>(graph);
    return shape ? shape->photo() : nullptr;
}

}  // namespace

KXWindowPanels::KXWindowPanels(KXPreview* preview, QScrollArea* scrollArea, QWidget* window)
    : QObject(window), m_preview(preview), m_scrollArea(scrollArea), m_window(window) {
    QWidget* viewport = scrollArea->viewport();
    m_normal = new KXFloatingWindowController(viewport);
    m_crop = new KXCropWindowController(viewport);
    m_lock = new KXLockFloatingWindowController(viewport);
    m_cropCommands = new KXCropCommands(this, preview);
    m_liveResize.setSingleShot(true);
    m_liveResize.setInterval(kLiveResizeSettleMs);
    connect(&m_liveResize, &QTimer::timeout, this, [this] { windowDidSettle(); });
    window->installEventFilter(this);
    // Scrolling moves the object under the panels.
    for (QScrollBar* bar : {scrollArea->horizontalScrollBar(), scrollArea->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (m_normal->isVisible() || m_crop->isVisible() || m_lock->isVisible())
                updateFloatingPanel();
        });
}

KXWindowPanels::~KXWindowPanels() {
    m_window->removeEventFilter(this);
}

bool KXWindowPanels::isCurrentWindow() const {
    if (m_isCurrent)
        return m_isCurrent();
    QWidget* active = QApplication::activeWindow();
    return !active || active == m_window;
}

KXCanvas* KXWindowPanels::page() const {
    return m_preview ? m_preview->canvas() : nullptr;
}

QRectF KXWindowPanels::viewRectOfGraph(KXGraph* graph) const {
    const kx::Rect g = graph->graphRect();
    const QPointF lowerLeft = m_preview->viewPointForPagePoint(g.origin);
    const QPointF upperRight =
        m_preview->viewPointForPagePoint({g.origin.x + g.size.width, g.origin.y + g.size.height});
    QWidget* viewport = m_scrollArea->viewport();
    return QRectF(m_preview->mapTo(viewport, lowerLeft), m_preview->mapTo(viewport, upperRight)).normalized();
}

QPointF KXWindowPanels::anchorOfGraph(KXGraph* graph, double gap) const {
    const QRectF rect = viewRectOfGraph(graph);
    const double visibleBottom = m_scrollArea->viewport()->height();
    return {rect.left(), std::min(visibleBottom, rect.bottom()) + gap};
}

void KXWindowPanels::hideAllFloatingPanel() {
    m_normal->hide();
    m_crop->hide();
    m_lock->hide();
}

void KXWindowPanels::updateFloatingPanel() {
    if (!isCurrentWindow())
        return;
    KXCanvas* canvas = page();
    const KXCanvas::GraphList selected = canvas ? canvas->selectedGraphs() : KXCanvas::GraphList{};
    if (!kx::UserDefaults::standard().boolValue(KXShowFloatingPanel) || selected.size() != 1) {
        hideAllFloatingPanel();
        return;
    }
    KXGraph* graph = selected.front().get();
    if (graph->isLocked()) {
        m_normal->hide();
        m_crop->hide();
        showLockFloatingPanel(graph);
        return;
    }
    switch (graph->graphType()) {
    case KXGraphTypeCalendar:
    case KXGraphTypeText:
    case KXGraphTypePhoto:
        updateSelectFloatingPanel(graph, graph->graphType());
        break;
    default:
        updateSelectFloatingPanel(graph, KXGraphTypeShape);
        break;
    }
}

void KXWindowPanels::showLockFloatingPanel(KXGraph* graph) {
    if (!graph)
        return;
    m_lock->showRelativeToPoint(anchorOfGraph(graph, 0), viewRectOfGraph(graph));
}

void KXWindowPanels::updateSelectFloatingPanel(KXGraph* graph, int type) {
    if (!graph)
        return;
    KXPhoto* photo = type == KXGraphTypePhoto ? photoOf(graph) : nullptr;
    const QPointF anchor = anchorOfGraph(graph, kToolbarGap);
    if (photo && photo->renderMode() != KXPhotoRenderModeNormal) {
        m_crop->synchronizeCropModeWithType(photo->renderMode() == 2 ? 1 : 0);
        m_crop->showRelativeToPoint(anchor, viewRectOfGraph(graph));
        m_normal->hide();
        updateCropValueWithPhoto(*m_crop, photo);
    } else {
        m_normal->showRelativeToPoint(anchor, viewRectOfGraph(graph), photo && !photo->isEmpty());
        m_crop->hide();
    }
    m_lock->hide();
    updateLayoutState();
}

void KXWindowPanels::updateLayoutState() {
    KXCanvas* canvas = page();
    m_normal->objectForwardSetEnabel(canvas && canvas->selectedGraphsCanGoForward());
    m_normal->objectBackwardSetEnable(canvas && canvas->selectedGraphsCanGoBack());
}

void KXWindowPanels::exitCropAndTextEditMode() {
    if (!isCurrentWindow())
        return;
    m_preview->exitCropAndDrawModes();
    updateFloatingPanel();
}

void KXWindowPanels::showHideFloatingPanel() {
    auto& defaults = kx::UserDefaults::standard();
    defaults.setValue(KXShowFloatingPanel, !defaults.boolValue(KXShowFloatingPanel));
    updateFloatingPanel();
}

void KXWindowPanels::windowWillStartLiveResize() {
    hideAllFloatingPanel();
    m_preview->removeCropLayer();
    m_preview->setGraphsEditing(true);
}

void KXWindowPanels::windowDidEndLiveResize() {
    updateFloatingPanel();
    m_preview->setGraphsEditing(false);
}

void KXWindowPanels::windowWillChangeFullScreen(bool entering) {
    if (entering && m_hooks.willEnterFullScreen)
        m_hooks.willEnterFullScreen();
    exitCropAndTextEditMode();
    m_preview->setGraphsEditing(true);
}

void KXWindowPanels::windowDidChangeFullScreen(bool entering) {
    if (entering && m_hooks.didEnterFullScreen)
        m_hooks.didEnterFullScreen();
    updateFloatingPanel();
    m_preview->setGraphsEditing(false);
}

void KXWindowPanels::windowDidSettle() {
    const FullScreenChange change = std::exchange(m_fullScreenChange, FullScreenChange::None);
    if (change == FullScreenChange::None)
        windowDidEndLiveResize();
    else
        windowDidChangeFullScreen(change == FullScreenChange::Entering);
}

bool KXWindowPanels::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        // Only a window already on screen is being resized by its user.
        if (m_window->isVisible()) {
            if (!m_liveResize.isActive())
                windowWillStartLiveResize();
            m_liveResize.start();
        }
        break;
    case QEvent::Move:
        hideAllFloatingPanel();
        break;
    case QEvent::ActivationChange:
        if (m_window->isActiveWindow()) {
            updateFloatingPanel();
            if (m_hooks.didBecomeKey)
                m_hooks.didBecomeKey();
        } else {
            hideAllFloatingPanel();
        }
        break;
    case QEvent::WindowStateChange: {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates now = m_window->windowState();
        const bool wasFull = old.testFlag(Qt::WindowFullScreen);
        const bool isFull = now.testFlag(Qt::WindowFullScreen);
        if (wasFull != isFull) {
            // The modes are left now; the panels come back once the window has its new size.
            m_fullScreenChange = isFull ? FullScreenChange::Entering : FullScreenChange::Leaving;
            windowWillChangeFullScreen(isFull);
            m_liveResize.start();
        }
        if (now.testFlag(Qt::WindowMinimized) && !old.testFlag(Qt::WindowMinimized)) {
            hideAllFloatingPanel();
            if (m_hooks.willMiniaturize)
                m_hooks.willMiniaturize();
        }
        break;
    }
    case QEvent::Close:
        // Sent before the window closes (a window being destroyed gets none). Should the close be refused,
        // the popovers are gone all the same, as after any click elsewhere.
        if (m_hooks.willClose)
            m_hooks.willClose();
        break;
    default:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// The document window's floating panels

void KXMainWindow::buildFloatingPanels() {
    m_windowPanels = new KXWindowPanels(m_preview, m_scrollArea, this);
    KXFloatingWindowController* toolbar = m_windowPanels->normalFloatingPanel();
    const auto arrange = [this](void (KXCanvas::*move)()) {
        KXCanvas* page = m_preview->canvas();
        if (!page)
            return;
        (page->*move)();
        m_windowPanels->updateLayoutState();
    };
    connect(toolbar->btMoveObjectForward(), &QPushButton::clicked, this,
            [arrange] { arrange(&KXCanvas::selectedGraphsGoForward); });
    connect(toolbar->btMoveObjectBackward(), &QPushButton::clicked, this,
            [arrange] { arrange(&KXCanvas::selectedGraphsGoBackward); });
    connect(toolbar->btDelete(), &QPushButton::clicked, this, [this] { m_preview->removeSelectedGrpahs(); });

    KXWindowPanels::WindowHooks hooks;
    hooks.willClose = [this] {
        if (m_shapeWC)
            m_shapeWC->hideWindow();
    };
    hooks.willMiniaturize = [this] {
        if (m_shapeWC)
            m_shapeWC->hideWindow();
        if (m_pageCommands) {
            m_pageCommands->backgroundVC()->hideWindow();
            if (KXMultiPageViewController* strip = m_pageCommands->multiPageVC())
                strip->hideWindow();
        }
        if (m_shareCtl)
            m_shareCtl->popover()->hideWindow();
    };
    // The preview opened from this window is made again when the project changed while the window was away.
    hooks.didBecomeKey = [this] {
        if (m_exportCtl && !m_exportCtl->previewPath().isEmpty() && m_previewChanged)
            quickLookAction();
    };
    // A chooser asked for while the window goes into full screen waits for the change to end.
    hooks.willEnterFullScreen = [this] { m_openTemplateAfterfullScreen = true; };
    hooks.didEnterFullScreen = [this] {
        m_openTemplateAfterfullScreen = false;
        if (m_canOpenProject)
            showTemplates(true);
    };
    m_windowPanels->setWindowHooks(std::move(hooks));
}

void KXMainWindow::addPanelMenuItems(QMenu* view) {
    view->addSeparator();
    const struct {
        const char* key;
        void (KXMainWindow::*toggle)();
    } items[] = {{"ShowHideResourcePanel", &KXMainWindow::showHideResourcePanel},
                 {"ShowHideSettingPanel", &KXMainWindow::showHideSettingPanel}};
    for (const auto& item : items) {
        const QString key = QString::fromUtf8(item.key);
        QAction* action = view->addAction(kx::Bundle::main().localizedString(key));
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, item.toggle);
    }
    QAction* floating = view->addAction(kx::Bundle::main().localizedString(QStringLiteral("ShowHideFloatingPanel")));
    floating->setObjectName(QStringLiteral("ShowHideFloatingPanel"));
    connect(floating, &QAction::triggered, this, [this] { m_windowPanels->showHideFloatingPanel(); });
}

namespace {

// Shows or hides a side panel's column (its tab bar over its container). The window's layout gives the
// room to the canvas scroll area and the bar under it, and takes it back exactly when the panel returns.
// Answers whether the panel is shown now.
bool toggleSidePanel(QWidget* container, QWidget* window) {
    QWidget* column = container->parentWidget();
    const bool show = column->isHidden();
    column->setVisible(show);
    window->layout()->activate();
    if (QWidget* central = column->parentWidget(); central && central->layout())
        central->layout()->activate();
    return show;
}

}  // namespace

void KXMainWindow::showHideResourcePanel() {
    toggleSidePanel(m_resourceView, this);
    m_windowPanels->updateFloatingPanel();
}

void KXMainWindow::showHideSettingPanel() {
    if (toggleSidePanel(m_settingView, this)) {
        m_settingVC->view()->resize(m_settingView->size());
        m_settingVC->updateSettingUI();
    }
    m_windowPanels->updateFloatingPanel();
}
