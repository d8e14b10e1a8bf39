// The work done in the pause before the document window: when it runs, and what it loads.
#include "app/launch_warm_up.h"
#include "platform/gfx/pixel_memory.h"
#include "support/event_wait.h"

#include <QApplication>
#include <QFile>
#include <QThreadPool>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QApplication& application() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// The process's resident memory in KiB.
qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool isExposed(const QWidget& widget) {
    return widget.windowHandle() && widget.windowHandle()->isExposed();
}

TEST(LaunchWarmUpTest, WithNoWindowShownTheWorkRunsAtTheLoopsFirstTurnOnce) {
    int calls = 0;
    scheduleLaunchWarmUp(application(), [&] { ++calls; });
    EXPECT_EQ(calls, 0) << "the work waits for the event loop";
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return calls > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
}

TEST(LaunchWarmUpTest, AWindowShownBeforeTheLoopIsOnTheScreenBeforeTheWorkRuns) {
    auto window = std::make_unique<QWidget>();
    window->resize(200, 100);
    window->show();
    ASSERT_FALSE(isExposed(*window)) << "the window reaches the screen through the loop";
    int calls = 0;
    bool exposedWhenCalled = false;
    scheduleLaunchWarmUp(application(), [&] {
        ++calls;
        exposedWhenCalled = isExposed(*window);
    });
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return calls > 0; }));
    EXPECT_TRUE(exposedWhenCalled);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
}

TEST(LaunchWarmUpTest, TheWarmUpLoadsTheImageFormatPlugins) {
    warmUpFirstWindowResources();
    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("/imageformats/libqjpeg.so")) << "the JPEG plugin is mapped";
    EXPECT_TRUE(mapped.contains("/imageformats/libqtiff.so")) << "the TIFF plugin is mapped";
    // The memory is warmed on a worker; it is done before the test ends.
    QThreadPool::globalInstance()->waitForDone();
}

TEST(LaunchWarmUpTest, TheBitmapsOfTheFirstPageFindTheirMemoryAlreadyMapped) {
    warmUpFirstPaintMemory();
    const qint64 before = residentKiB();
    ASSERT_GT(before, 0);
    // The canvas-sized bitmaps of a first paint in the document window (840 x 782 and a little smaller).
    std::vector<QImage> bitmaps;
    for (int i = 0; i < 11; ++i)
        bitmaps.push_back(kx::zeroedImage(840, 782 - 14 * i, QImage::Format_RGBA8888_Premultiplied));
    for (const QImage& bitmap : bitmaps)
        ASSERT_FALSE(bitmap.isNull());
    EXPECT_LT(residentKiB() - before, 8 * 1024) << "the bitmaps took some 30 MiB of fresh memory";
}

}  // namespace
