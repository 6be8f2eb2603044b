#pragma once

#include <QString>

namespace skylark {

// One monitored route, every field as text exactly as stored in the route file.
struct Route {
    QString routeId; // also the route's section name in the route file
    QString depCityName;
    QString arrCityName;
    QString depDate; // yyyy-MM-dd
    QString price;   // as typed, blanks removed
    QString type;    // "domestic", "international" or empty

    bool operator==(const Route&) const = default;
};

} // namespace skylark
