#include "output/pause_gate.h"

void KXPauseGate::setPausing(bool pausing) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pausing.store(pausing);
    }
    if (!pausing)
        m_opened.notify_all();
}

void KXPauseGate::wait() {
    if (!m_pausing.load())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiting;
    m_opened.wait(lock, [this] { return !m_pausing.load(); });
    --m_waiting;
}

int KXPauseGate::waitingCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting;
}
