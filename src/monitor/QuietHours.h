#pragma once

#include "FareRecorder.h"
#include "app/MonitorRules.h"

#include <QList>
#include <QTime>

namespace skylark {

// The quiet hours: while they last a special fare's alerts are held, unless its fare is
// more than the urgent percentage below its alert price; once they are over, the fares held
// go out in one summary, the latest fare of each route.
class QuietHours {
public:
    // Of the fares about to alert, the indexes of those that alert now; the others are
    // held. All of them outside the quiet hours.
    QList<int> letThrough(const QList<FareObservation>& fares, const MonitorRules& rules,
                          const QTime& now);
    // The fares held, once the quiet hours are over; empty during them or with none held.
    QList<FareObservation> takeSummary(const MonitorRules& rules, const QTime& now);
    int heldCount() const { return int(m_held.size()); }

private:
    QList<FareObservation> m_held;
};

} // namespace skylark
