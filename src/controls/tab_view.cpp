#include "controls/tab_view.h"

#include "controls/tab_geometry.h"

#include <QPainter>
#include <QPaintEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

namespace {

constexpr int kSlideMilliseconds = 300;

QPropertyAnimation* frameAnimation(QWidget* view, const QRectF& from, const QRectF& to, QObject* parent) {
    auto* animation = new QPropertyAnimation(view, "geometry", parent);
    animation->setDuration(kSlideMilliseconds);
    animation->setStartValue(from.toRect());
    animation->setEndValue(to.toRect());
    return animation;
}

}  // namespace

KXTabView::KXTabView(QWidget* parent) : QWidget(parent) {}

KXTabView::~KXTabView() {
    if (m_animation)
        finishSlide();
    // The views shown belong to their controllers, not to the tab view.
    if (m_leavingView && m_leavingView->parentWidget() == this)
        removeFromTabView(m_leavingView);
    if (m_currentView)
        removeFromTabView(m_currentView);
}

void KXTabView::setShowBox(bool show) {
    if (m_showBox == show)
        return;
    m_showBox = show;
    update();
}

void KXTabView::showView(QWidget* view, int style) {
    if (!view || view == m_currentView)
        return;
    if (m_animation)
        finishSlide();
    const QRectF bounds = rect();
    if (!m_currentView) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    } else if (const auto frames = tabViewSlideFrames(bounds, style)) {
        view->setParent(this);
        view->setGeometry(frames->newStart.toRect());
        view->show();
        m_leavingView = m_currentView;
        m_animation = new QParallelAnimationGroup(this);
        m_animation->addAnimation(frameAnimation(view, frames->newStart, frames->newEnd, m_animation));
        m_animation->addAnimation(frameAnimation(m_currentView, bounds, frames->oldEnd, m_animation));
        connect(m_animation, &QAbstractAnimation::finished, this, &KXTabView::slideDidEnd);
        m_animation->start();
    } else {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
        removeFromTabView(m_currentView);
    }
    m_currentView = view;
}

void KXTabView::finishSlide() {
    if (!m_animation)
        return;
    QParallelAnimationGroup* animation = m_animation;
    m_animation = nullptr;
    animation->disconnect(this);
    animation->setCurrentTime(animation->totalDuration());
    animation->stop();
    animation->deleteLater();
    if (m_leavingView && m_leavingView != m_currentView)
        removeFromTabView(m_leavingView);
    m_leavingView = nullptr;
    if (m_currentView)
        m_currentView->setGeometry(rect());
}

void KXTabView::slideDidEnd() {
    // The view that slid out stays a child outside the bounds until the next request.
    if (m_animation)
        m_animation->deleteLater();
    m_animation = nullptr;
}

void KXTabView::removeFromTabView(QWidget* view) {
    view->hide();
    view->setParent(nullptr);
}

void KXTabView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_currentView && !m_animation)
        m_currentView->setGeometry(rect());
}

void KXTabView::paintEvent(QPaintEvent* event) {
    if (!m_showBox)
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(237, 237, 237));
    // The bounds framed 1 point beyond the top and bottom edges: only the side lines show.
    painter.setPen(QPen(QColor(132, 132, 132), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, -1.5, -0.5, 1.5));
}
