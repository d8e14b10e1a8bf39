// The hook on the first window being on the screen, and the start-up report built on it.
#include "app/first_window.h"
#include "app/first_window_report.h"
#include "support/environment_override.h"
#include "support/event_wait.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QApplication& application() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

TEST(FirstWindowTest, ActionsWaitForTheFirstWindowAndRunOnceInTheirOrder) {
    std::vector<int> calls;
    callWhenFirstWindowShown(application(), [&] { calls.push_back(1); });
    callWhenFirstWindowShown(application(), [&] { calls.push_back(2); });
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.empty()) << "nothing is on the screen yet";

    auto first = std::make_unique<QWidget>();
    first->resize(200, 100);
    first->show();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return calls.size() >= 2; }));
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    // Later windows, and the first one shown again, call nothing more.
    auto second = std::make_unique<QWidget>();
    second->show();
    first->hide();
    first->show();
    kxtest::processEventsUntil([&] { return second->windowHandle() && second->windowHandle()->isExposed(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

TEST(FirstWindowTest, AnActionGivenAfterTheFirstWindowWaitsForTheNextExpose) {
    auto shown = std::make_unique<QWidget>();
    shown->show();
    kxtest::processEventsUntil([&] { return shown->windowHandle() && shown->windowHandle()->isExposed(); });
    int calls = 0;
    callWhenFirstWindowShown(application(), [&] { ++calls; });
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
    auto next = std::make_unique<QWidget>();
    next->show();
    EXPECT_TRUE(kxtest::processEventsUntil([&] { return calls == 1; }));
}

// Runs the event loop and expects the report line to be printed and the loop to end normally. A guard against
// a report that never comes ends the loop anyway, and the line is then missing.
void expectReportAndEnd() {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(20000);
    testing::internal::CaptureStdout();
    const int status = QCoreApplication::exec();
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, std::string(kFirstWindowReportLine) + "\n");
}

TEST(FirstWindowReportTest, NothingIsInstalledUnlessTheEnvironmentAsks) {
    const kxtest::EnvironmentOverride unset(kFirstWindowReportVariable, QByteArray());
    EXPECT_FALSE(installFirstWindowReportIfRequested(application()));
}

TEST(FirstWindowReportTest, TheReportLineComesOnceTheFirstWindowIsShownAndTheLoopEnds) {
    const kxtest::EnvironmentOverride set(kFirstWindowReportVariable, "1");
    ASSERT_TRUE(installFirstWindowReportIfRequested(application()));
    auto window = std::make_unique<QWidget>();
    QTimer::singleShot(0, window.get(), [&] { window->show(); });
    expectReportAndEnd();
}

// Asked for a window class, the report waits past a first window of another kind (a progress window) for
// the first window of that class.
TEST(FirstWindowReportTest, AClassNameWaitsForTheFirstWindowOfThatClass) {
    const kxtest::EnvironmentOverride set(kFirstWindowReportVariable, "QMainWindow");
    ASSERT_TRUE(installFirstWindowReportIfRequested(application()));
    auto progress = std::make_unique<QWidget>();
    auto main = std::make_unique<QMainWindow>();
    bool mainShown = false;
    QTimer::singleShot(0, progress.get(), [&] { progress->show(); });
    // Shown well after the progress window has been exposed and painted.
    QTimer::singleShot(300, main.get(), [&] {
        mainShown = true;
        main->show();
    });
    expectReportAndEnd();
    EXPECT_TRUE(mainShown);
}

}  // namespace
