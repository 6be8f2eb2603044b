#pragma once

#include "net/ServerAnswers.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace skylark {

// What one query of a round learnt about a route.
struct FareObservation {
    QString routeId;
    QString depCityName;
    QString arrCityName;
    QString depDate;
    QString routeKind;
    QString alertPrice;
    QDateTime observedAt;
    QString fare; // empty when none was found
    FareOutcome outcome = FareOutcome::Found;
    bool special = false; // at or below the alert price
    QList<CalendarEntry> calendar;
};

// Keeps what the rounds learn. The monitor calls it and never waits on its success: a
// recorder that fails must say so itself and let the rounds go on.
class FareRecorder {
public:
    virtual ~FareRecorder() = default;
    virtual void beginRound() = 0;
    virtual void record(const FareObservation& observation) = 0;
    virtual void endRound() = 0;
};

} // namespace skylark
