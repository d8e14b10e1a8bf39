#include "controls/popup_window.h"

#include "controls/popup_view.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace kx::controls {

KXPopupWindow::KXPopupWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Watches the application's mouse presses to tell a focus loss caused by a click (see toggleAt).
    qApp->installEventFilter(this);
}

KXPopupWindow::~KXPopupWindow() {
    qApp->removeEventFilter(this);
}

void KXPopupWindow::setContentView(QWidget* view) {
    if (m_content == view)
        return;
    if (m_content) {
        layout()->removeWidget(m_content);
        delete m_content;
    }
    m_content = view;
    if (view)
        layout()->addWidget(view);
    adjustSize();
}

PopoverPlacement KXPopupWindow::popupAt(const QRect& anchor, PopoverEdge preferred) {
    adjustSize();
    const QRect available = availableAreaForPoint(popoverAnchorPoint(anchor));
    m_placement = placePopover(anchor, size(), preferred, available);
    if (auto* balloon = qobject_cast<KXPopupView*>(m_content.data()))
        balloon->setArrow(m_placement.edge == PopoverEdge::Below ? KXPopupView::ArrowEdge::Top
                                                                 : KXPopupView::ArrowEdge::Bottom,
                          m_placement.arrowX);
    shapeToContent();
    move(m_placement.origin);
    show();
    raise();
    activateWindow();
    emit placed(m_placement);
    return m_placement;
}

void KXPopupWindow::shapeToContent() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* balloon = qobject_cast<KXPopupView*>(m_content.data());
    if (balloon)
        setMask(balloon->outlineRegion().translated(balloon->pos()));
    else
        clearMask();
}

bool KXPopupWindow::toggleAt(const QRect& anchor, PopoverEdge preferred) {
    if (isVisible()) {
        hide();
        return false;
    }
    if (m_hiddenByPress) {
        // The press on the anchor took the focus away and hid the window; its click asks for the toggle,
        // which the user meant as "close".
        m_hiddenByPress = false;
        return false;
    }
    popupAt(anchor, preferred);
    return true;
}

void KXPopupWindow::resignKey() {
    emit resignedKey();
    if (!m_hidesOnResignKey || !isVisible())
        return;
    if (m_keepOpen && m_keepOpen())
        return;
    m_hiddenByPress = m_pointerDown;
    hide();
}

bool KXPopupWindow::eventFilter(QObject* watched, QEvent* event) {
    // A press reaches the window and then each widget it passes: only the first one of a click counts. The
    // watched object is not looked at: the filter sees every object's events, also those of the web view
    // engine's objects, which are built without run-time type information and which sanitizer builds refuse
    // to call into.
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
        if (type == QEvent::MouseButtonPress && !m_pointerDown) {
            // A new click begins: whatever hid the window before is over.
            m_pointerDown = true;
            m_hiddenByPress = false;
        } else if (type == QEvent::MouseButtonRelease) {
            m_pointerDown = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void KXPopupWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        resignKey();
}

void KXPopupWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KXPopupWindow::mousePressEvent(QMouseEvent* event) {
    if (m_movableByBackground && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - pos();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void KXPopupWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void KXPopupWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

KXRoundPanel::KXRoundPanel(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

}  // namespace kx::controls
