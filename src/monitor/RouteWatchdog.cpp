#include "RouteWatchdog.h"

#include <algorithm>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

RouteWatchdog::Verdict RouteWatchdog::watch(const QString& routeId, const FareAnswer& answer,
                                            const QDateTime& now, int staleRounds, int staleHours) {
    RouteWatch& watch = m_watches[routeId];
    if (!watch.lastFound.isValid()) {
        watch.lastFound = now;
    }
    if (answer.outcome == FareOutcome::Found) {
        const bool recovered = watch.stale;
        watch = {0, now, false, {}};
        return {recovered ? u"航线 %1 已恢复，当前最低价格：%2"_s.arg(routeId, answer.fare)
                          : QString(),
                {}};
    }
    ++watch.misses;
    if (watch.stale) {
        return {{}, watch.tip};
    }
    const QString reason = fareOutcomeText(answer.outcome);
    const qint64 hours = watch.lastFound.secsTo(now) / 3600;
    QString said;
    if (watch.misses >= staleRounds) {
        said =
            u"航线 %1 已连续 %2 轮未找到：%3"_s.arg(routeId, QString::number(watch.misses), reason);
    } else if (hours >= staleHours) {
        said = u"航线 %1 已 %2 小时未找到票价：%3"_s.arg(routeId, QString::number(hours), reason);
    }
    if (!said.isEmpty()) {
        watch.stale = true;
        watch.tip = said;
    }
    return {said, watch.tip};
}

void RouteWatchdog::keepOnly(const QSet<QString>& routeIds) {
    m_watches.removeIf([&](const auto& watch) { return !routeIds.contains(watch.key()); });
}

int RouteWatchdog::staleCount() const {
    return int(std::count_if(m_watches.cbegin(), m_watches.cend(),
                             [](const RouteWatch& watch) { return watch.stale; }));
}

} // namespace skylark
