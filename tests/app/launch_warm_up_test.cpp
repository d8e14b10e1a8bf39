// The work done in the pause before the document window: when it runs, and what it loads.
#include "app/launch_warm_up.h"
#include "support/event_wait.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace {

QApplication& application() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
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
}

}  // namespace
