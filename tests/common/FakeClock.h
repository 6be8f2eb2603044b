#pragma once

#include "app/Clock.h"

namespace skylark {

// A clock that tests set and move by hand.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2014, 11, 16), QTime(9, 5, 3)))
        : m_now(std::move(start)) {}

    QDateTime now() const override { return m_now; }
    void set(const QDateTime& moment) { m_now = moment; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace skylark
