#pragma once

#include <QObject>
#include <QTimer>

namespace skylark {

// A repeating timer set by its interval alone: the interval it already has leaves it
// running untouched (its next tick stays due when it was), a new interval restarts the
// countdown, and 0 stops it.
class IntervalTimer : public QObject {
    Q_OBJECT

public:
    explicit IntervalTimer(QObject* parent = nullptr);

    void setInterval(int milliseconds);
    int interval() const { return m_interval; }
    bool isActive() const { return m_timer.isActive(); }
    int remainingTime() const { return m_timer.remainingTime(); }

Q_SIGNALS:
    void tick();

private:
    QTimer m_timer;
    int m_interval = 0;
};

} // namespace skylark
