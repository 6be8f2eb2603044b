#pragma once

#include "net/FareAnswer.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

namespace skylark {

// The watchdog: a route not found staleRounds rounds in a row, or with no fare found for
// staleHours hours, goes stale, which is said once; its recovery is said once too.
class RouteWatchdog {
public:
    struct Verdict {
        QString said; // what to say in the log and through the channels; empty for nothing
        QString tip;  // the route's status tip: why it is stale, empty while it is not
    };

    Verdict watch(const QString& routeId, const FareAnswer& answer, const QDateTime& now,
                  int staleRounds, int staleHours);
    int staleCount() const;
    // Drops the watches of routes no longer listed: a deleted route is neither counted
    // nor remembered for a later route of its identifier.
    void keepOnly(const QSet<QString>& routeIds);

private:
    struct RouteWatch {
        int misses = 0;      // rounds in a row without a fare
        QDateTime lastFound; // or when the watch began
        bool stale = false;
        QString tip; // what was said when it went stale
    };
    QHash<QString, RouteWatch> m_watches;
};

} // namespace skylark
