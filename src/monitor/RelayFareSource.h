#pragma once

#include "app/FareSource.h"

#include <QString>

namespace skylark {

class Fetcher;
class RouteBook;
struct FetchResponse;
struct Endpoints;

// The relay-and-calendar fare source: the relay's search string, then the fare source's
// seven-day calendar in the form of the route's kind, read fresh from the route file. The
// relay also checks an add's cities, and the fare source's pages are the search pages.
class RelayFareSource final : public FareSource {
public:
    RelayFareSource(Fetcher& fetcher, const Endpoints& endpoints, const RouteBook& routeBook);

    FareAnswer queryFare(const FareQuestion& question) override;
    CityCheck checkCities(const QString& depCity, const QString& arrCity) override;
    QString searchPageUrl(const QString& routeKind, const QString& depCity, const QString& arrCity,
                          const QString& depDate) const override;

    QString fetchSearchString(const QString& depCityName, const QString& arrCityName,
                              const QString& depDate, FetchResponse* response = nullptr);

private:
    Fetcher& m_fetcher;
    const Endpoints& m_endpoints;
    const RouteBook& m_routeBook;
};

} // namespace skylark
