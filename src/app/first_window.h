// A hook on the moment the application's first top-level window is on the screen: exposed and painted.
// Work that the first window does not need (warming caches for later pop-ups, start-up timing) waits for it,
// so that it does not delay the window.
#pragma once

#include <functional>

class QApplication;
class QEvent;
class QObject;
class QWindow;

// Calls `action` once, from the event loop, right after the first top-level window of the application has
// been exposed and has painted itself. Several actions may wait; they run in the order they were given.
// Windows already on the screen when this is called do not count: it waits for the next expose.
void callWhenFirstWindowShown(QApplication& application, std::function<void()> action);

// The window an event filter sees being exposed on the screen as a top-level window, or null for any other
// event or object.
const QWindow* exposedTopLevelWindow(QObject* watched, QEvent* event);
