// Synthetic typing for the control tests, delivered straight to a widget (mouse events: mouse_events.h).
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kxtest {

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
