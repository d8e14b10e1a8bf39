// Plain mouse events sent straight to a widget, for the controls' tests.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace kxtest {

inline void sendMouse(QWidget* widget, QEvent::Type type, const QPointF& local,
                      Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                         ? Qt::MouseButtons(Qt::NoButton)
                                         : Qt::MouseButtons(button);
    QMouseEvent event(type, local, widget->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void click(QWidget* widget, const QPointF& local = {2, 2}, Qt::MouseButton button = Qt::LeftButton) {
    sendMouse(widget, QEvent::MouseButtonPress, local, button);
    sendMouse(widget, QEvent::MouseButtonRelease, local, button);
}

// A click, then the second press a double click delivers, and its release.
inline void doubleClick(QWidget* widget, const QPointF& local) {
    click(widget, local);
    sendMouse(widget, QEvent::MouseButtonDblClick, local);
    sendMouse(widget, QEvent::MouseButtonRelease, local);
}

}  // namespace kxtest
