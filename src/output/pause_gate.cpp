#include "output/pause_gate.h"

#include <QMutexLocker>

void KXPauseGate::setPausing(bool pausing) {
    QMutexLocker locker(&m_mutex);
    m_pausing.store(pausing);
    if (!pausing)
        m_opened.wakeAll();
}

void KXPauseGate::wait() {
    if (!m_pausing.load())
        return;
    QMutexLocker locker(&m_mutex);
    ++m_waiting;
    while (m_pausing.load())
        m_opened.wait(&m_mutex);
    --m_waiting;
}

int KXPauseGate::waitingCount() const {
    QMutexLocker locker(&m_mutex);
    return m_waiting;
}
