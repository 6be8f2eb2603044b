#pragma once

#include "net/FareAnswer.h"

#include <QString>

namespace skylark {

// The route whose fare is asked for, as the route list shows it.
struct FareQuestion {
    QString routeId;
    QString depCityName;
    QString arrCityName;
    QString depDate; // yyyy-MM-dd
};

// The answer to an add's city check, in the relay's form: "true&domestic",
// "true&international" or "false&unknown"; failure says why no answer came.
struct CityCheck {
    QString answer;
    QString failure;
};

// Where fares come from: one route's fare with the calendar around its day, the page a
// user searches the route on, and the city check of an add. Every failure is an answer
// whose outcome says why; nothing here throws or waits without a bound.
class FareSource {
public:
    virtual ~FareSource() = default;

    virtual FareAnswer queryFare(const FareQuestion& question) = 0;
    virtual CityCheck checkCities(const QString& depCity, const QString& arrCity) = 0;
    // The search page of a route of that kind; empty for a kind the source has none for.
    virtual QString searchPageUrl(const QString& routeKind, const QString& depCity,
                                  const QString& arrCity, const QString& depDate) const = 0;
};

} // namespace skylark
