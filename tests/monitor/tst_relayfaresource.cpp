#include "app/RouteBook.h"
#include "common/ScriptedServer.h"
#include "monitor/RelayFareSource.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "net/ServerAnswers.h"
#include "sim/DemoServer.h"

#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray jsonp(const QByteArray& json) {
    return "cb(" + json + ");";
}

QByteArray requestLine(const QByteArray& request) {
    return request.left(request.indexOf("\r\n"));
}

} // namespace

class TstRelayFareSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void answers_data();
    void answers();
    void urls_areBuiltForTheRouteKindReadAtEveryQuery();
    void unknownKind_makesNoCalendarRequest();
    void failures_endInNotFound();
    void demoServer_givesThePinnedFare();
    void outcome_namesTheFailure_data();
    void outcome_namesTheFailure();

private:
    FareAnswer query(const QString& routeId, const QString& depDate = u"2014-11-05"_s);

    QTemporaryDir m_dir;
    std::unique_ptr<RouteBook> m_book;
    std::unique_ptr<ScriptedServer> m_server;
    Endpoints m_endpoints;
    QByteArray m_calendar;
};

void TstRelayFareSource::init() {
    m_book = std::make_unique<RouteBook>(m_dir.path());
    m_calendar = jsonp(R"({"status":0,"data":[{"date":"2014-11-05","price":560}]})");
    m_server = std::make_unique<ScriptedServer>([this](const QByteArray& request) {
        return request.contains("get_search_str") ? ScriptedServer::ok("F=1")
                                                  : ScriptedServer::ok(m_calendar);
    });
    m_endpoints = Endpoints::forDemo(m_server->url(QString()));
    for (const auto& [id, type] : {std::pair{u"1"_s, u"domestic"_s},
                                   {u"2"_s, u"international"_s},
                                   {u"3"_s, QString()},
                                   {u"4"_s, u"charter"_s}}) {
        QVERIFY(m_book->appendRoute({id, u"成都"_s, u"上海"_s, u"2014-11-05"_s, u"500"_s, type}));
    }
}

FareAnswer TstRelayFareSource::query(const QString& routeId, const QString& depDate) {
    HttpFetcher fetcher;
    RelayFareSource fares(fetcher, m_endpoints, *m_book);
    return fares.queryFare({routeId, u"成都"_s, u"上海"_s, depDate});
}

void TstRelayFareSource::answers_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("fare");
    QTest::addColumn<int>("days");
    const QByteArray week =
        R"({"data":[{"date":"2014-11-02","price":700},{"date":"2014-11-03","price":610},)"
        R"({"date":"2014-11-04","price":650},{"date":"2014-11-05","price":"480"},)"
        R"({"date":"2014-11-06","price":520},{"date":"2014-11-07","price":900},)"
        R"({"date":"2014-11-08","price":880}]})";
    QTest::newRow("the route's day of a week") << jsonp(week) << u"480"_s << 7;
    QTest::newRow("the last matching day wins")
        << jsonp(
               R"({"data":[{"date":"2014-11-05","price":480},{"date":"2014-11-05","price":450}]})")
        << u"450"_s << 2;
    QTest::newRow("no day matches")
        << jsonp(QByteArray(week).replace("2014-11-05", "2014-11-15")) << u"未找到"_s << 7;
    QTest::newRow("error -1 even with a matching day")
        << jsonp(R"({"error":"-1","data":[{"date":"2014-11-05","price":480}]})") << u"未找到"_s
        << 0;
    QTest::newRow("status -1") << jsonp(
                                      R"({"status":-1,"data":[{"date":"2014-11-05","price":480}]})")
                               << u"未找到"_s << 0;
    QTest::newRow("error 0 is no error")
        << jsonp(R"({"error":"0","data":[{"date":"2014-11-05","price":480}]})") << u"480"_s << 1;
    QTest::newRow("error text other than -1 is no error")
        << jsonp(R"({"error":"-1x","data":[{"date":"2014-11-05","price":480}]})") << u"480"_s << 1;
    QTest::newRow("a zero fare") << jsonp(R"({"data":[{"date":"2014-11-05","price":0}]})")
                                 << u"未找到"_s << 1;
    QTest::newRow("a fare that is no number")
        << jsonp(R"({"data":[{"date":"2014-11-05","price":"n/a"}]})") << u"未找到"_s << 1;
    QTest::newRow("without parentheses")
        << QByteArray(R"({"data":[{"date":"2014-11-05","price":480}]})") << u"未找到"_s << 0;
    QTest::newRow("without data") << jsonp(R"({"status":0})") << u"未找到"_s << 0;
    QTest::newRow("an HTML error page")
        << QByteArray("<html><body>404</body></html>") << u"未找到"_s << 0;
    QTest::newRow("nothing") << QByteArray() << u"未找到"_s << 0;
}

void TstRelayFareSource::answers() {
    QFETCH(QByteArray, body);
    QFETCH(QString, fare);
    QFETCH(int, days);
    const FareAnswer answer = readCalendarAnswer(body, u"2014-11-05"_s);
    QCOMPARE(answer.fare, fare);
    QCOMPARE(answer.calendar.size(), days);
}

void TstRelayFareSource::urls_areBuiltForTheRouteKindReadAtEveryQuery() {
    QCOMPARE(query(u"1"_s).fare, u"560"_s);
    QCOMPARE(query(u"2"_s).fare, u"560"_s);
    QCOMPARE(query(u"3"_s).fare, u"560"_s); // no type: domestic
    const QList<QByteArray>& requests = m_server->requests();
    QCOMPARE(requests.size(), 6);
    QCOMPARE(
        requestLine(requests[0]),
        QByteArray("GET /get_search_str.php?depCity=%E6%88%90%E9%83%BD&arrCity=%E4%B8%8A%E6%B5%B7"
                   "&searchDay=2014%2D11%2D05 HTTP/1.1"));
    QCOMPARE(requestLine(requests[1]), QByteArray("GET "
                                                  "/search/"
                                                  "common_cheapest_calendar.htm?F=1&searchDay=2014-"
                                                  "11-05&calType=SevendayCalendar HTTP/1.1"));
    QCOMPARE(
        requestLine(requests[3]),
        QByteArray("GET /search/common_cheapest_calendar.htm?searchBy=1278&F=1&searchDay=2014-11-2"
                   "&calType=SevendayCalendar&origDepDate=2014-11-5 HTTP/1.1"));
    QCOMPARE(requestLine(requests[5]), requestLine(requests[1]));

    // The kind is read from the route file at each query.
    QVERIFY(m_book->appendRoute(
        {u"1"_s, u"成都"_s, u"上海"_s, u"2014-11-05"_s, u"500"_s, u"international"_s}));
    query(u"1"_s);
    QVERIFY(requestLine(m_server->requests().last()).contains("searchBy=1278"));
}

void TstRelayFareSource::unknownKind_makesNoCalendarRequest() {
    const FareAnswer answer = query(u"4"_s);
    QCOMPARE(answer.fare, u"未找到"_s);
    QCOMPARE(m_server->requests().size(), 1); // the relay only
    // A route whose section is gone from the file asks the relay only.
    QCOMPARE(query(u"missing"_s).fare, u"未找到"_s);
    QCOMPARE(m_server->requests().size(), 2);
    QVERIFY(requestLine(m_server->requests().last()).contains("get_search_str"));
}

void TstRelayFareSource::failures_endInNotFound() {
    // A date that cannot be read still gives an answer.
    m_calendar = jsonp(R"({"data":[{"date":"2015-02-30","price":480}]})");
    QCOMPARE(query(u"2"_s, u"2015-02-30"_s).fare, u"480"_s);
    QVERIFY(requestLine(m_server->requests().last())
                .contains("searchDay=2015-02-30&calType=SevendayCalendar&origDepDate=2015-02-30"));
    // The relay failing still asks the fare source, with an empty fragment.
    m_server->setScript([this](const QByteArray& request) {
        return request.contains("get_search_str")
                   ? ScriptedServer::Answer{"HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"}
                   : ScriptedServer::ok(m_calendar);
    });
    query(u"1"_s);
    QVERIFY(requestLine(m_server->requests().last())
                .startsWith("GET /search/common_cheapest_calendar.htm?&searchDay="));
    // Nobody listening at all.
    m_endpoints = Endpoints::forDemo(u"http://127.0.0.1:1"_s);
    QCOMPARE(query(u"1"_s).fare, u"未找到"_s);
}

void TstRelayFareSource::demoServer_givesThePinnedFare() {
    sim::DemoServer demo;
    QVERIFY(demo.start());
    demo.setFixedFare(u"成都"_s, u"上海"_s, 430);
    m_endpoints = Endpoints::forDemo(demo.baseUrl());
    const FareAnswer domestic =
        query(u"1"_s, QDate::currentDate().addDays(10).toString(Qt::ISODate));
    QCOMPARE(domestic.fare, u"430"_s);
    QCOMPARE(domestic.calendar.size(), 7);
    QCOMPARE(query(u"2"_s, QDate::currentDate().addDays(10).toString(Qt::ISODate)).fare, u"430"_s);
}

using Answer = ScriptedServer::Answer;
Q_DECLARE_METATYPE(ScriptedServer::Answer)

void TstRelayFareSource::outcome_namesTheFailure_data() {
    QTest::addColumn<QString>("routeId");
    QTest::addColumn<Answer>("relay");
    QTest::addColumn<Answer>("calendar");
    QTest::addColumn<FareOutcome>("outcome");
    QTest::addColumn<int>("retryAfter"); // seconds the answer asks to be left alone
    const Answer relayOk = ScriptedServer::ok("F=1");
    const Answer day = ScriptedServer::ok(jsonp(R"({"data":[{"date":"2014-11-05","price":560}]})"));
    const Answer refused{"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n"};
    const Answer hangUp{QByteArray()}; // closes without a word
    Answer silent;
    silent.silent = true;
    QTest::newRow("found") << u"1"_s << relayOk << day << FareOutcome::Found << 0;
    QTest::newRow("relay refuses")
        << u"1"_s << refused << ScriptedServer::ok("cb({})") << FareOutcome::RelayUnreachable << 0;
    QTest::newRow("relay hangs up")
        << u"1"_s << hangUp << ScriptedServer::ok("cb({})") << FareOutcome::RelayUnreachable << 0;
    QTest::newRow("empty search string")
        << u"1"_s << ScriptedServer::ok("") << ScriptedServer::ok("cb({})")
        << FareOutcome::SearchStringEmpty << 0;
    QTest::newRow("calendar hangs up")
        << u"2"_s << relayOk << hangUp << FareOutcome::CalendarUnreachable << 0;
    QTest::newRow("calendar silent") << u"1"_s << relayOk << silent << FareOutcome::TimedOut << 0;
    QTest::newRow("calendar 404")
        << u"1"_s << relayOk << Answer{"HTTP/1.1 404 Not Found\r\nContent-Length: 6\r\n\r\ncb({})"}
        << FareOutcome::HttpStatus << 0;
    QTest::newRow("calendar too large")
        << u"1"_s << relayOk << ScriptedServer::ok(QByteArray(8192, ' ')) << FareOutcome::TooLarge
        << 0;
    QTest::newRow("no JSON") << u"1"_s << relayOk << ScriptedServer::ok("<html>busy</html>")
                             << FareOutcome::NoJson << 0;
    QTest::newRow("status -1") << u"1"_s << relayOk
                               << ScriptedServer::ok(jsonp(R"({"status":-1,"data":[]})"))
                               << FareOutcome::ErrorStatus << 0;
    QTest::newRow("no entry for the day")
        << u"1"_s << relayOk
        << ScriptedServer::ok(jsonp(R"({"data":[{"date":"2014-11-06","price":560}]})"))
        << FareOutcome::NoEntryForDay << 0;
    QTest::newRow("fare 0") << u"1"_s << relayOk
                            << ScriptedServer::ok(
                                   jsonp(R"({"data":[{"date":"2014-11-05","price":0}]})"))
                            << FareOutcome::ZeroFare << 0;
    QTest::newRow("route gone") << u"9"_s << relayOk << day << FareOutcome::RouteMissing << 0;
    QTest::newRow("calendar 429 with a Retry-After")
        << u"1"_s << relayOk
        << Answer{"HTTP/1.1 429 Too Many Requests\r\nRetry-After: 120\r\nContent-Length: 0\r\n\r\n"}
        << FareOutcome::HttpStatus << 120;
    QTest::newRow("a Retry-After of any other status is not read")
        << u"1"_s << relayOk
        << Answer{"HTTP/1.1 503 No\r\nRetry-After: 120\r\nContent-Length: 0\r\n\r\n"}
        << FareOutcome::HttpStatus << 0;
    QTest::newRow("unknown kind") << u"4"_s << relayOk << day << FareOutcome::UnknownRouteKind << 0;
}

// Each reason comes from the failure it names, on a real exchange; the fare text stays
// "未找到" whatever the reason.
void TstRelayFareSource::outcome_namesTheFailure() {
    QFETCH(QString, routeId);
    QFETCH(Answer, relay);
    QFETCH(Answer, calendar);
    QFETCH(FareOutcome, outcome);
    QFETCH(int, retryAfter);
    m_server->setScript([&](const QByteArray& request) {
        return request.contains("get_search_str") ? relay : calendar;
    });
    FetchLimits limits;
    limits.maxBodyBytes = 4096;
    limits.exchangeDeadlineSeconds = 0.5;
    HttpFetcher fetcher({}, limits);
    RelayFareSource fares(fetcher, m_endpoints, *m_book);
    const FareAnswer answer = fares.queryFare({routeId, u"成都"_s, u"上海"_s, u"2014-11-05"_s});
    QCOMPARE(fareOutcomeKey(answer.outcome), fareOutcomeKey(outcome));
    QCOMPARE(answer.fare, outcome == FareOutcome::Found ? u"560"_s : notFoundText());
    QCOMPARE(fareOutcomeOfKey(fareOutcomeKey(outcome)), outcome);
    QCOMPARE(answer.retryAfterSeconds, retryAfter);
}

QTEST_GUILESS_MAIN(TstRelayFareSource)
#include "tst_relayfaresource.moc"
