#pragma once

#include <QHash>
#include <QString>

namespace skylark {

// The once-per-drop rule: after a route alerted, it alerts again only when its fare has
// fallen by at least dropBy below the fare that last alerted, or after the route's fare
// rose above its alert price. With the rule off every special fare passes.
class AlertGate {
public:
    bool lets(const QString& routeId, double fare, bool oncePerDrop, double dropBy) const;
    // The route alerted (or was held) at this fare.
    void alerted(const QString& routeId, double fare) { m_lastAlerted.insert(routeId, fare); }
    // The route's fare rose above its alert price: its next drop alerts.
    void rearm(const QString& routeId) { m_lastAlerted.remove(routeId); }

private:
    QHash<QString, double> m_lastAlerted;
};

} // namespace skylark
