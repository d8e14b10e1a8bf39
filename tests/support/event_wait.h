// Waiting in tests for work the event loop delivers (queued calls, timers, posted notifications).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace kxtest {

// Runs the event loop until the condition holds or a generous limit passes; answers the condition.
inline bool processEventsUntil(const std::function<bool()>& condition, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace kxtest
