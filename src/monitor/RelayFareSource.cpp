#include "RelayFareSource.h"

#include "app/RouteBook.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "net/RetryAfter.h"
#include "net/ServerAnswers.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;

RelayFareSource::RelayFareSource(Fetcher& fetcher, const Endpoints& endpoints,
                                 const RouteBook& routeBook)
    : m_fetcher(fetcher)
    , m_endpoints(endpoints)
    , m_routeBook(routeBook) {}

namespace {

QByteArray fetch(Fetcher& fetcher, const QString& url, FetchResponse& response) {
    FetchRequest request;
    request.url = url;
    request.method = u"GET"_s;
    return fetcher.httpFetch(request, &response);
}

// Why a fare that was not found is missing: the first failure on the way to it.
FareOutcome reasonOf(const FetchResponse& relay, const QString& searchString,
                     const FetchResponse& calendar, FareOutcome answerOutcome) {
    if (relay.failure != FetchFailure::None || (relay.status != 0 && relay.status != 200)) {
        return FareOutcome::RelayUnreachable;
    }
    if (searchString.isEmpty()) {
        return FareOutcome::SearchStringEmpty;
    }
    switch (calendar.failure) {
    case FetchFailure::None:
        break;
    case FetchFailure::TimedOut:
        return FareOutcome::TimedOut;
    case FetchFailure::TooLarge:
        return FareOutcome::TooLarge;
    case FetchFailure::Refused:
    case FetchFailure::Unreachable:
        return FareOutcome::CalendarUnreachable;
    }
    if (calendar.status != 0 && calendar.status != 200) {
        return FareOutcome::HttpStatus;
    }
    return answerOutcome;
}

} // namespace

QString RelayFareSource::fetchSearchString(const QString& depCityName, const QString& arrCityName,
                                           const QString& depDate, FetchResponse* response) {
    FetchResponse own;
    return relayAnswerText(fetch(m_fetcher,
                                 searchStringUrl(m_endpoints, depCityName, arrCityName, depDate),
                                 response ? *response : own));
}

FareAnswer RelayFareSource::queryFare(const FareQuestion& question) {
    const QString& depDate = question.depDate;
    FetchResponse relay;
    const QString searchString =
        fetchSearchString(question.depCityName, question.arrCityName, depDate, &relay);
    // A route deleted meanwhile, by this program or another, is not asked for.
    if (!m_routeBook.hasRoute(question.routeId)) {
        return {notFoundText(), {}, FareOutcome::RouteMissing, {}, 0, 0};
    }
    const QString kind = m_routeBook.routeKindOf(question.routeId);
    FetchResponse calendar;
    QByteArray body;
    if (kind.isEmpty() || kind == u"domestic") {
        body = fetch(m_fetcher, domesticCalendarUrl(m_endpoints, searchString, depDate), calendar);
    } else if (kind == u"international") {
        body = fetch(m_fetcher, internationalCalendarUrl(m_endpoints, searchString, depDate),
                     calendar);
    } else {
        return {notFoundText(), {}, FareOutcome::UnknownRouteKind, kind, 0, 0};
    }
    FareAnswer answer = readCalendarAnswer(body, depDate);
    answer.routeKind = kind;
    answer.calendarStatus = calendar.status;
    answer.retryAfterSeconds = retryAfterOf(calendar, QDateTime::currentDateTimeUtc());
    if (answer.outcome != FareOutcome::Found) {
        answer.outcome = reasonOf(relay, searchString, calendar, answer.outcome);
    }
    return answer;
}

CityCheck RelayFareSource::checkCities(const QString& depCity, const QString& arrCity) {
    FetchResponse response;
    const QByteArray body = fetch(m_fetcher, cityCheckUrl(m_endpoints, depCity, arrCity), response);
    return {relayAnswerText(body), exchangeFailureText(response, body)};
}

QString RelayFareSource::searchPageUrl(const QString& routeKind, const QString& depCity,
                                       const QString& arrCity, const QString& depDate) const {
    return routeSearchPageUrl(m_endpoints, routeKind, depCity, arrCity, depDate);
}

} // namespace skylark
