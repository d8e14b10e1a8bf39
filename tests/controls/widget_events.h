// Synthetic input for the control tests: mouse clicks and typing delivered straight to a widget.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointF>
#include <QWidget>

namespace kxtest {

inline void sendMouseEvent(QWidget* widget, QEvent::Type type, const QPointF& at) {
    const QPointF global = widget->mapToGlobal(at);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void clickWidget(QWidget* widget, const QPointF& at) {
    sendMouseEvent(widget, QEvent::MouseButtonPress, at);
    sendMouseEvent(widget, QEvent::MouseButtonRelease, at);
}

inline void pressKey(QWidget* widget, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

// Types each character as a key press, as a user at the keyboard would.
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        pressKey(widget, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_unknown, QString(c));
}

}  // namespace kxtest
