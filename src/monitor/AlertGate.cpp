#include "AlertGate.h"

namespace skylark {

bool AlertGate::lets(const QString& routeId, double fare, bool oncePerDrop, double dropBy) const {
    const auto last = m_lastAlerted.constFind(routeId);
    // The tolerance of the fare comparisons: a drop of exactly dropBy counts.
    return !oncePerDrop || last == m_lastAlerted.constEnd() || fare <= *last - dropBy + 1e-7;
}

} // namespace skylark
