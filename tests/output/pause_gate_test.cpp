// The pause that worker threads wait out while the progress sheet asks the user. A worker must really stop at
// a closed gate: the tests watch the worker's own kernel state (asleep in the gate's wait) instead of guessing
// with a delay, so a wait that returns at once is caught every time.
#include "output/pause_gate.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

pid_t currentThreadId() { return pid_t(::syscall(SYS_gettid)); }

// The scheduler state of one of our threads: 'R' running, 'S' asleep (blocked on a futex, a wait condition)...
char threadState(pid_t tid) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    // "tid (name) S ...": the state follows the closing parenthesis of the name.
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line[close + 2] : '?';
}

// A worker that passes the gate and records that it did.
struct Worker {
    std::atomic<pid_t> tid{0};
    std::atomic<bool> passed{false};
    std::thread thread;

    explicit Worker(KXPauseGate& gate)
        : thread([this, &gate] {
              tid = currentThreadId();
              gate.wait();
              passed = true;
          }) {}

    // Waits until the worker is asleep inside the gate, or has passed it. Answers whether it is asleep.
    bool blockedAtGate() {
        while (tid.load() == 0)
            std::this_thread::yield();
        while (!passed.load()) {
            if (threadState(tid.load()) == 'S')
                return !passed.load();
            std::this_thread::yield();
        }
        return false;
    }
};

TEST(PauseGate, AnOpenGateLetsEveryWorkerThrough) {
    KXPauseGate gate;
    EXPECT_FALSE(gate.isPausing());
    Worker worker(gate);
    worker.thread.join();
    EXPECT_TRUE(worker.passed);
}

TEST(PauseGate, AClosedGateHoldsWorkersAsleepUntilItOpens) {
    KXPauseGate gate;
    gate.setPausing(true);
    EXPECT_TRUE(gate.isPausing());
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 0; i < 3; ++i)
        workers.push_back(std::make_unique<Worker>(gate));
    for (const auto& worker : workers)
        EXPECT_TRUE(worker->blockedAtGate()) << "a worker passed the closed gate";
    // Closing again changes nothing; every worker is still held.
    gate.setPausing(true);
    for (const auto& worker : workers)
        EXPECT_FALSE(worker->passed);

    gate.setPausing(false);  // wakes every waiting worker
    EXPECT_FALSE(gate.isPausing());
    for (const auto& worker : workers) {
        worker->thread.join();
        EXPECT_TRUE(worker->passed);
    }
}

TEST(PauseGate, AGateClosedAgainHoldsTheNextWorker) {
    KXPauseGate gate;
    gate.setPausing(true);
    gate.setPausing(false);
    gate.setPausing(true);
    Worker worker(gate);
    EXPECT_TRUE(worker.blockedAtGate());
    gate.setPausing(false);
    worker.thread.join();
    EXPECT_TRUE(worker.passed);
}

}  // namespace
