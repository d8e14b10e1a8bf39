// Helpers for canvas view tests: a view in a scroll area of a chosen size, mouse, wheel and pinch events
// sent at points of the shown page, and a count of the notifications the view posts.
#pragma once

#include "canvas/canvas_view.h"
#include "platform/foundation/notification_center.h"

#include <QApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollArea>
#include <QWheelEvent>

#include <memory>

namespace kxtest {

// Counts the notifications of one name posted by one sender.
struct Counter {
    Counter(const QString& name, const void* sender)
        : token(kx::NotificationCenter::defaultCenter().addObserver(name, sender, [this](const kx::Notification&) {
              ++count;
          })) {}
    int count = 0;
    kx::NotificationToken token;
};

// A shown scroll area without frame whose contents are `viewport` pixels, holding a set-up canvas view and
// its zoom control.
struct ViewRig {
    explicit ViewRig(QSize viewport) {
        scroll = std::make_unique<QScrollArea>();
        scroll->setFrameShape(QFrame::NoFrame);
        zoom = std::make_unique<KXZoomPopUp>();
        view = new KXPreview;
        view->setScrollArea(scroll.get());
        view->setPubZoom(zoom.get());
        view->awakeFromNib();
        scroll->resize(viewport);
        scroll->show();
        QApplication::processEvents();
    }
    ~ViewRig() {
        view->switchToCanvasLayer(nullptr);
        scroll.reset();
    }
    void choose(int entry) {
        zoom->setCurrentIndex(entry);
        view->zoomChanged();
    }

    std::unique_ptr<QScrollArea> scroll;
    std::unique_ptr<KXZoomPopUp> zoom;
    KXPreview* view = nullptr;  // owned by the scroll area
};

inline void sendMouseAtPagePoint(KXPreview& view, QEvent::Type type, const kx::Point& pagePoint,
                                 Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {}) {
    const QPointF local = view.viewPointForPagePoint(pagePoint);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    // A move reports the buttons held, not a button that changed.
    QMouseEvent event(type, local, view.mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : button,
                      buttons, modifiers);
    QApplication::sendEvent(&view, &event);
}

// A press, moves in `steps` even steps and a release with the left button, all with the same modifiers; the
// moves carry the held button as a real drag does.
inline void sendDragAtPagePoints(KXPreview& view, const kx::Point& from, const kx::Point& to, int steps = 4,
                                 Qt::KeyboardModifiers modifiers = {}) {
    sendMouseAtPagePoint(view, QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
    for (int i = 1; i <= steps; ++i) {
        const double f = double(i) / steps;
        sendMouseAtPagePoint(view, QEvent::MouseMove, {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f},
                             Qt::LeftButton, modifiers);
    }
    sendMouseAtPagePoint(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, modifiers);
}

// One wheel notch (or several, in steps of 120) up for a positive count.
inline void sendWheelAtPagePoint(KXPreview& view, const kx::Point& pagePoint, int notches,
                                 Qt::KeyboardModifiers modifiers = {}) {
    const QPointF local = view.viewPointForPagePoint(pagePoint);
    QWheelEvent event(local, view.mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &event);
}

inline void sendPinch(KXPreview& view, Qt::NativeGestureType type, double value, const kx::Point& pagePoint) {
    const QPointF local = view.viewPointForPagePoint(pagePoint);
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, local, local,
                              view.mapToGlobal(local), value, QPointF());
    QApplication::sendEvent(&view, &event);
}

}  // namespace kxtest
