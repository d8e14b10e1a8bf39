#include "app/pause_gate.h"

#include <QMutexLocker>

void KXPauseGate::setPausing(bool pausing) {
    QMutexLocker locker(&m_mutex);
    m_pausing = pausing;
    if (!pausing)
        m_opened.wakeAll();
}

bool KXPauseGate::isPausing() const {
    QMutexLocker locker(&m_mutex);
    return m_pausing;
}

void KXPauseGate::wait() {
    QMutexLocker locker(&m_mutex);
    while (m_pausing)
        m_opened.wait(&m_mutex);
}
