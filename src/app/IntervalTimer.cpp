#include "IntervalTimer.h"

namespace skylark {

IntervalTimer::IntervalTimer(QObject* parent)
    : QObject(parent) {
    // A coarse timer may fire up to 5 % early; the rounds, the back-off and a Retry-After
    // are promised never to come before their time.
    m_timer.setTimerType(Qt::PreciseTimer);
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
