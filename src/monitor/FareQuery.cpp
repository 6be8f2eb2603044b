#include "FareQuery.h"

#include "app/RouteBook.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"

namespace skylark {

FareQuery::FareQuery(Fetcher& fetcher, const Endpoints& endpoints, const RouteBook& routeBook)
    : m_fetcher(fetcher)
    , m_endpoints(endpoints)
    , m_routeBook(routeBook) {}

QString FareQuery::fetchSearchString(const QString& depCityName, const QString& arrCityName,
                                     const QString& depDate) {
    return relayAnswerText(
        m_fetcher.httpFetch(searchStringUrl(m_endpoints, depCityName, arrCityName, depDate)));
}

FareAnswer FareQuery::queryCalendarFare(const QString& depCityName, const QString& arrCityName,
                                        const QString& depDate, const QString& routeId) {
    const QString searchString = fetchSearchString(depCityName, arrCityName, depDate);
    // A route deleted meanwhile, by this program or another, is not asked for.
    if (!m_routeBook.hasRoute(routeId)) {
        return {notFoundText(), {}};
    }
    const QString kind = m_routeBook.routeKindOf(routeId);
    QByteArray body;
    if (kind.isEmpty() || kind == u"domestic") {
        body = m_fetcher.httpFetch(domesticCalendarUrl(m_endpoints, searchString, depDate));
    } else if (kind == u"international") {
        body = m_fetcher.httpFetch(internationalCalendarUrl(m_endpoints, searchString, depDate));
    }
    return readCalendarAnswer(body, depDate);
}

} // namespace skylark
