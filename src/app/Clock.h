#pragma once

#include <QDateTime>

namespace skylark {

// The local clock, passed in wherever time is read so that tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace skylark
