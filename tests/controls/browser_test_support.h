// Pieces the browser tests share: items whose thumbnail is a plain colour, made at once or held back until
// the test lets it go, and waiting on the event loop.
#pragma once

#include "controls/image_browser_item.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <atomic>
#include <future>
#include <memory>

namespace kxtest {

inline kx::Image solidImage(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    image.fill(color);
    return kx::Image(image);
}

// Where renderers ran: set when one ran on the main thread.
inline std::atomic<int>& rendersOnMainThread() {
    static std::atomic<int> count{0};
    return count;
}

inline kx::ThumbnailRenderer colourRenderer(QColor color, std::shared_future<void> gate = {}) {
    QThread* main = QCoreApplication::instance()->thread();
    return [color, gate, main](int maximumPixelSize) {
        if (QThread::currentThread() == main)
            rendersOnMainThread().fetch_add(1);
        if (gate.valid())
            gate.wait();
        return solidImage(maximumPixelSize, maximumPixelSize / 2, color);
    };
}

inline kx::ImageBrowserItem colourItem(const QString& uid, quint64 version, QColor color,
                                       std::shared_future<void> gate = {}) {
    kx::ImageBrowserItem item;
    item.uid = uid;
    item.version = version;
    item.title = uid;
    item.renderer = colourRenderer(color, gate);
    return item;
}

// Runs the event loop until `done` holds or `seconds` pass; returns whether it held.
template <typename Done>
bool waitUntil(Done done, int seconds = 60) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace kxtest
