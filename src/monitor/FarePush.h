#pragma once

#include "app/FareRecords.h"

#include <QDateTime>
#include <QList>

namespace skylark {

// The push step that ends a round with special fares. The monitor only calls it; what
// is sent, to whom and how often is the business of the push alerts above it.
class FarePush {
public:
    virtual ~FarePush() = default;
    // Sends the round's special fares when the push gate lets it; lastPushTime is the
    // monitor's memory of the last push and is updated when one is sent.
    virtual void pushSpecialFares(const QList<SpecialFare>& fares, QDateTime& lastPushTime) = 0;
};

} // namespace skylark
