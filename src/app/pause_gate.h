// A pause that worker threads wait out: while it is closed (the progress sheet asks the user whether to
// cancel), wait() blocks on a condition until it opens again or is cancelled. Nothing spins.
#pragma once

#include <QMutex>
#include <QWaitCondition>

class KXPauseGate {
public:
    // Closes (pausing) or opens the gate; opening wakes every waiting thread.
    void setPausing(bool pausing);
    bool isPausing() const;
    // Blocks while the gate is closed. Returns at once when it is open.
    void wait();

private:
    mutable QMutex m_mutex;
    QWaitCondition m_opened;
    bool m_pausing = false;
};
