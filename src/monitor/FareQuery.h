#pragma once

#include "net/ServerAnswers.h"

#include <QString>

namespace skylark {

class Fetcher;
class RouteBook;
struct FetchResponse;
struct Endpoints;

// The fare of one route on its departure day: the relay's search string, then the fare
// source's seven-day calendar in the form of the route's kind, read fresh from the route
// file. Never fails outwardly: every failure ends in "未找到", and the answer's outcome
// says why.
class FareQuery {
public:
    FareQuery(Fetcher& fetcher, const Endpoints& endpoints, const RouteBook& routeBook);

    QString fetchSearchString(const QString& depCityName, const QString& arrCityName,
                              const QString& depDate, FetchResponse* response = nullptr);
    FareAnswer queryCalendarFare(const QString& depCityName, const QString& arrCityName,
                                 const QString& depDate, const QString& routeId);

private:
    Fetcher& m_fetcher;
    const Endpoints& m_endpoints;
    const RouteBook& m_routeBook;
};

} // namespace skylark
