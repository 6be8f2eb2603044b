#pragma once

#include <QList>
#include <QString>

namespace skylark {

class Fetcher;
class RouteBook;
struct Endpoints;

// One day of a cheapest-fare calendar, as the answer wrote it.
struct CalendarEntry {
    QString date;
    QString price;

    bool operator==(const CalendarEntry&) const = default;
};

struct FareAnswer {
    QString fare; // the fare of the route's own day, or "未找到"
    QList<CalendarEntry> calendar;
};

// The text of a fare that could not be found.
QString notFoundText();

// Reads a calendar answer: the JSON between the first "(" and the ")" after it, "未找到"
// when "error" or "status" is "-1", else the price of the last day whose date equals
// depDate, "未找到" when that is missing or 0.
FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate);

// The fare of one route on its departure day: the relay's search string, then the fare
// source's seven-day calendar in the form of the route's kind, read fresh from the route
// file. Never fails outwardly: every failure ends in "未找到".
class FareQuery {
public:
    FareQuery(Fetcher& fetcher, const Endpoints& endpoints, const RouteBook& routeBook);

    QString fetchSearchString(const QString& depCityName, const QString& arrCityName,
                              const QString& depDate);
    FareAnswer queryCalendarFare(const QString& depCityName, const QString& arrCityName,
                                 const QString& depDate, const QString& routeId);

private:
    Fetcher& m_fetcher;
    const Endpoints& m_endpoints;
    const RouteBook& m_routeBook;
};

// Bytes of a relay answer up to the first NUL, taken as local text.
QString relayAnswerText(const QByteArray& body);

} // namespace skylark
