#include "QuietHours.h"

#include "text/Text.h"

#include <utility>

namespace skylark {
namespace {

bool urgent(const FareObservation& seen, double urgentPercent) {
    const double limit = textToNumber(seen.alertPrice) * (1.0 - urgentPercent / 100.0);
    return urgentPercent > 0 && textToNumber(seen.fare) < limit;
}

} // namespace

QList<int> QuietHours::letThrough(const QList<FareObservation>& fares, const MonitorRules& rules,
                                  const QTime& now) {
    QList<int> alerting;
    const bool quiet = inQuietHours(rules, now);
    for (int i = 0; i < fares.size(); ++i) {
        const FareObservation& seen = fares[i];
        if (!quiet || urgent(seen, rules.urgentPercent)) {
            alerting.append(i);
            continue;
        }
        m_held.removeIf([&](const FareObservation& held) { return held.routeId == seen.routeId; });
        m_held.append(seen);
    }
    return alerting;
}

QList<FareObservation> QuietHours::takeSummary(const MonitorRules& rules, const QTime& now) {
    if (inQuietHours(rules, now)) {
        return {};
    }
    return std::exchange(m_held, {});
}

} // namespace skylark
