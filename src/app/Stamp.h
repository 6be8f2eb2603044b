#pragma once

#include "Clock.h"

#include <QString>

namespace skylark {

// One reading of the clock in the two forms the program shows: the route identifier
// (year, month, day without leading zeros, then hour, minute, second with two digits
// each: 5 Jan 2015 09:05:03 gives 201515090503) and the clock text (09:05:03).
struct Stamp {
    QString routeStamp;
    QString clockText;
};

Stamp makeStamp(const QDateTime& moment);
Stamp makeStamp(const Clock& clock);

} // namespace skylark
