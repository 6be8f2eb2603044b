#include "FareQuery.h"

#include "app/RouteBook.h"
#include "net/Encoding.h"
#include "net/Endpoints.h"
#include "net/Gbk.h"
#include "net/HttpFetch.h"
#include "net/JsonReader.h"
#include "net/Text.h"

namespace skylark {

QString notFoundText() {
    return QStringLiteral("未找到");
}

QString relayAnswerText(const QByteArray& body) {
    const qsizetype nul = body.indexOf('\0');
    return decodeGbk(nul < 0 ? body : body.left(nul));
}

FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate) {
    FareAnswer answer;
    JsonReader reader;
    reader.parse(textBetween(utf8ToAnsi(body), u"(", u")"));
    if (reader.getText(u"error") == u"-1" || reader.getText(u"status") == u"-1") {
        answer.fare = notFoundText();
        return answer;
    }
    const int days = reader.count(u"data");
    QString path;
    for (int i = 0; i < days; ++i) {
        CalendarEntry entry;
        entry.date = reader.getText(elementMemberPath(path, u"data", i, u"date"));
        entry.price = reader.getText(elementMemberPath(path, u"data", i, u"price"));
        if (entry.date == depDate) {
            answer.fare = entry.price;
        }
        answer.calendar.append(std::move(entry));
    }
    if (nearlyZero(textToNumber(answer.fare))) {
        answer.fare = notFoundText();
    }
    return answer;
}

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
