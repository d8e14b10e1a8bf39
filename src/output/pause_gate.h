// A pause that worker threads wait out: while it is closed (the progress sheet asks the user whether to
// cancel), wait() blocks on a condition until it opens again. Nothing spins. Any thread may ask whether it is
// closed; the main thread opens and closes it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

class KXPauseGate {
public:
    // Closes (pausing) or opens the gate; opening wakes every waiting thread.
    void setPausing(bool pausing);
    // Read without taking the lock, so a worker's check costs nothing while the gate is open.
    bool isPausing() const { return m_pausing.load(); }
    // Blocks while the gate is closed. Returns at once when it is open.
    void wait();
    // How many threads are blocked in wait() right now.
    int waitingCount() const;

private:
    // Standard primitives rather than Qt's, so that the thread checker in the test builds sees the hand-over.
    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    std::atomic<bool> m_pausing{false};
    int m_waiting = 0;
};
