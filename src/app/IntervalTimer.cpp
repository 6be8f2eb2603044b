#include "IntervalTimer.h"

namespace skylark {

IntervalTimer::IntervalTimer(QObject* parent)
    : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::tick);
}

void IntervalTimer::setInterval(int milliseconds) {
    milliseconds = qMax(0, milliseconds);
    if (milliseconds == m_interval) {
        return;
    }
    m_interval = milliseconds;
    if (milliseconds == 0) {
        m_timer.stop();
    } else {
        m_timer.start(milliseconds);
    }
}

} // namespace skylark
