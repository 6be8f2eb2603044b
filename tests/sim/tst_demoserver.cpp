#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "net/JsonReader.h"
#include "sim/DemoServer.h"
#include "sim/GuardedTcpServer.h"
#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Text.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

using namespace skylark;
using namespace skylark::sim;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kNoon(QDate(2026, 12, 9), QTime(12, 0, 0));

QString calendarJson(const QByteArray& body) {
    return textBetween(utf8ToAnsi(body), u"(", u")");
}

} // namespace

class TstDemoServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cityCheck_classifiesRoutes_data();
    void cityCheck_classifiesRoutes();
    void calendar_answersSevenDaysFromTheSearchDay();
    void calendar_internationalFormIncludesTheDepartureDay();
    void calendar_faresMoveOverTimeAndCanBePinned();
    void pushRelay_deliversToKnownIdsOnly();
    void versionFile_andPages();
    void misbehaviours_data();
    void misbehaviours();
    void slowAndSilent_answerLateOrNever();
    void controlRequests_changeTheServerFromOutside();
    void oversizedRequest_closesTheConnection();
    void idleConnection_isClosed();

private:
    QByteArray get(const QString& url, double timeout = 0, FetchResponse* response = nullptr);

    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<HttpFetcher> m_fetcher;
    Endpoints m_endpoints;
};

void TstDemoServer::init() {
    m_server = std::make_unique<DemoServer>();
    QVERIFY(m_server->start());
    QVERIFY(m_server->port() != 0);
    QVERIFY(m_server->baseUrl().startsWith(u"http://127.0.0.1:"));
    m_server->setClock([] { return kNoon; });
    m_fetcher = std::make_unique<HttpFetcher>();
    m_endpoints = Endpoints::forDemo(m_server->baseUrl());
}

void TstDemoServer::cleanup() {
    m_fetcher.reset();
    m_server.reset();
}

QByteArray TstDemoServer::get(const QString& url, double timeout, FetchResponse* response) {
    FetchRequest request;
    request.url = url;
    request.timeoutSeconds = timeout;
    return m_fetcher->httpFetch(request, response);
}

void TstDemoServer::cityCheck_classifiesRoutes_data() {
    QTest::addColumn<QString>("dep");
    QTest::addColumn<QString>("arr");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("two domestic cities") << u"成都"_s << u"上海"_s << QByteArray("true&domestic");
    QTest::newRow("Hong Kong is international")
        << u"成都"_s << u"香港"_s << QByteArray("true&international");
    QTest::newRow("Taipei is international")
        << u"台北"_s << u"北京"_s << QByteArray("true&international");
    QTest::newRow("an unknown city") << u"火星"_s << u"上海"_s << QByteArray("false&unknown");
}

void TstDemoServer::cityCheck_classifiesRoutes() {
    QFETCH(QString, dep);
    QFETCH(QString, arr);
    QFETCH(QByteArray, answer);
    QCOMPARE(get(cityCheckUrl(m_endpoints, dep, arr)), answer);
}

void TstDemoServer::calendar_answersSevenDaysFromTheSearchDay() {
    const QByteArray search =
        get(searchStringUrl(m_endpoints, u"成都"_s, u"上海"_s, u"2026-12-20"_s));
    QCOMPARE(search, QByteArray("depCityCode=CTU&arrCityCode=SHA"));
    const QByteArray body =
        get(domesticCalendarUrl(m_endpoints, decodeGbk(search), u"2026-12-20"_s));
    QVERIFY(body.startsWith("jsonp"));
    JsonReader reader;
    QVERIFY(reader.parse(calendarJson(body)));
    QCOMPARE(reader.getText(u"error"), u"0"_s);
    QCOMPARE(reader.getText(u"msg"), u"查询成功"_s);
    QCOMPARE(reader.count(u"data"), 7);
    QCOMPARE(reader.getText(u"data[0].date"), u"2026-12-20"_s);
    QCOMPARE(reader.getText(u"data[6].date"), u"2026-12-26"_s);
    for (int i = 0; i < 7; ++i) {
        QVERIFY(textToNumber(reader.getText(u"data[%1].price"_s.arg(i))) >= 10);
    }
    const QByteArray unknown = get(domesticCalendarUrl(m_endpoints, QString(), u"2026-12-20"_s));
    reader.parse(calendarJson(unknown));
    QCOMPARE(reader.getText(u"error"), u"-1"_s);
    QCOMPARE(reader.count(u"data"), 0);
}

void TstDemoServer::calendar_internationalFormIncludesTheDepartureDay() {
    const QString search =
        decodeGbk(get(searchStringUrl(m_endpoints, u"北京"_s, u"东京"_s, u"2027-01-02"_s)));
    JsonReader reader;
    QVERIFY(reader.parse(
        calendarJson(get(internationalCalendarUrl(m_endpoints, search, u"2027-01-02"_s)))));
    QCOMPARE(reader.getText(u"data[0].date"), u"2026-12-30"_s);
    QCOMPARE(reader.getText(u"data[3].date"), u"2027-01-02"_s);
}

void TstDemoServer::calendar_faresMoveOverTimeAndCanBePinned() {
    const QString url =
        domesticCalendarUrl(m_endpoints, u"depCityCode=CTU&arrCityCode=SHA"_s, u"2026-12-20"_s);
    const QByteArray noon = get(url);
    m_server->setClock([] { return kNoon.addSecs(5 * 60); });
    QVERIFY(get(url) != noon);
    m_server->setFixedFare(u"成都"_s, u"上海"_s, 99);
    JsonReader reader;
    QVERIFY(reader.parse(calendarJson(get(url))));
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(reader.getText(u"data[%1].price"_s.arg(i)), u"99"_s);
    }
}

void TstDemoServer::pushRelay_deliversToKnownIdsOnly() {
    const QString message = u"成都-上海 2026-12-20 特价：480\r\n&more"_s;
    QCOMPARE(m_fetcher->httpFetch(pushRelayUrl(m_endpoints), u"POST"_s,
                                  pushRelayBody(u"demo"_s, message)),
             QByteArray("ok"));
    QCOMPARE(m_fetcher->httpFetch(pushRelayUrl(m_endpoints), u"POST"_s,
                                  pushRelayBody(u"stranger"_s, message)),
             QByteArray("customer block"));
    QCOMPARE(m_server->inbox().size(), 1);
    QCOMPARE(m_server->inbox().first().bindingId, u"demo"_s);
    QCOMPARE(m_server->inbox().first().content, message);
    QVERIFY(
        QString::fromUtf8(get(m_server->baseUrl() + u"/weixin/inbox"_s)).contains(u"特价：480"));
    QCOMPARE(get(m_server->baseUrl() + u"/weixin/inbox.txt"_s),
             (u"demo\t"_s + message).toUtf8().replace("\n", "\\n") + '\n');
}

void TstDemoServer::versionFile_andPages() {
    QCOMPARE(get(versionFileUrl(m_endpoints)), QByteArray("2.2*demo"));
    m_server->setVersionText("2.3*x");
    QCOMPARE(get(versionFileUrl(m_endpoints)), QByteArray("2.3*x"));

    const QString domestic = QString::fromUtf8(
        get(domesticSearchPageUrl(m_endpoints, u"成都"_s, u"上海"_s, u"2026-12-20"_s)));
    QVERIFY(domestic.contains(u"成都") && domestic.contains(u"上海") &&
            domestic.contains(u"mm_10000000_0_0"));
    const QString international = QString::fromUtf8(
        get(internationalSearchPageUrl(m_endpoints, u"成都"_s, u"香港"_s, u"2026-12-20"_s)));
    QVERIFY(international.contains(u"国际") && international.contains(u"香港"));
    QVERIFY(QString::fromUtf8(get(startPageUrl(m_endpoints))).contains(u"<html"));

    const QString chart = QString::fromUtf8(get(priceChartPageUrl(m_endpoints)));
    QCOMPARE(chart.count(u"<input type=\"text\""), 2);
    QCOMPARE(chart.count(u"<button"), 1);
    QCOMPARE(chart.count(u"<input"), 2);
    JsonReader trend;
    QVERIFY(trend.parse(
        utf8ToAnsi(get(m_server->baseUrl() + u"/go/chn/trip/onesearch/trend.json?dep="_s +
                       urlEncodeUtf8(u"北京") + u"&arr="_s + urlEncodeUtf8(u"上海")))));
    QCOMPARE(trend.count(), 30);
}

void TstDemoServer::misbehaviours_data() {
    QTest::addColumn<int>("misbehaviour");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("bodyStart");
    QTest::newRow("404 with HTML")
        << int(Misbehaviour::NotFound) << 404 << QByteArray("<!DOCTYPE html>");
    QTest::newRow("garbage") << int(Misbehaviour::Garbage) << 200 << QByteArray("\x00\xff\xfe", 3);
    QTest::newRow("JSON without parentheses")
        << int(Misbehaviour::NoParentheses) << 200 << QByteArray("{");
    QTest::newRow("error -1") << int(Misbehaviour::ErrorMinusOne) << 200 << QByteArray("jsonp");
}

void TstDemoServer::misbehaviours() {
    QFETCH(int, misbehaviour);
    QFETCH(int, status);
    QFETCH(QByteArray, bodyStart);
    m_server->setMisbehaviour(Endpoint::Calendar, Misbehaviour(misbehaviour));
    FetchResponse response;
    const QByteArray body =
        get(domesticCalendarUrl(m_endpoints, u"depCityCode=CTU&arrCityCode=SHA"_s, u"2026-12-20"_s),
            0, &response);
    QVERIFY(body.startsWith(bodyStart));
    QVERIFY(response.rawHeaders.startsWith(u"HTTP/1.1 "_s + QString::number(status)));
    if (Misbehaviour(misbehaviour) == Misbehaviour::ErrorMinusOne) {
        JsonReader reader;
        QVERIFY(reader.parse(calendarJson(body)));
        QCOMPARE(reader.getText(u"error"), u"-1"_s);
        QCOMPARE(reader.count(u"data"), 7);
    }
    QCOMPARE(get(versionFileUrl(m_endpoints)), QByteArray("2.2*demo")); // other endpoints behave
}

void TstDemoServer::slowAndSilent_answerLateOrNever() {
    m_server->setMisbehaviour(Endpoint::VersionFile, Misbehaviour::Slow, 400);
    QCOMPARE(get(versionFileUrl(m_endpoints), 0.1), QByteArray());
    QCOMPARE(get(versionFileUrl(m_endpoints), 2), QByteArray("2.2*demo"));
    m_server->setMisbehaviour(Endpoint::CityCheck, Misbehaviour::Silent);
    QCOMPARE(get(cityCheckUrl(m_endpoints, u"成都"_s, u"上海"_s), 0.3), QByteArray());
}

void TstDemoServer::controlRequests_changeTheServerFromOutside() {
    const QString base = m_server->baseUrl();
    QCOMPARE(get(base + u"/sim/fare?dep="_s + urlEncodeUtf8(u"成都") + u"&arr="_s +
                 urlEncodeUtf8(u"上海") + u"&price=120"_s),
             QByteArray("ok"));
    JsonReader reader;
    QVERIFY(reader.parse(calendarJson(get(
        domesticCalendarUrl(m_endpoints, u"depCityCode=CTU&arrCityCode=SHA"_s, u"2026-12-20"_s)))));
    QCOMPARE(reader.getText(u"data[0].price"), u"120"_s);
    QCOMPARE(get(base + u"/sim/misbehave?endpoint=version&mode=404"_s), QByteArray("ok"));
    QVERIFY(get(versionFileUrl(m_endpoints)).startsWith("<!DOCTYPE"));
    QCOMPARE(get(base + u"/sim/bind?id=friend"_s), QByteArray("ok"));
    QCOMPARE(m_fetcher->httpFetch(pushRelayUrl(m_endpoints), u"POST"_s,
                                  pushRelayBody(u"friend"_s, u"hi"_s)),
             QByteArray("ok"));
    QCOMPARE(get(base + u"/sim/reset"_s), QByteArray("ok"));
    QCOMPARE(get(versionFileUrl(m_endpoints)), QByteArray("2.2*demo"));
    QVERIFY(m_server->inbox().isEmpty());
    QCOMPARE(get(base + u"/sim/version?text=2.3*x"_s), QByteArray("ok"));
    QCOMPARE(get(versionFileUrl(m_endpoints)), QByteArray("2.3*x"));
    QCOMPARE(get(base + u"/sim/misbehave?endpoint=nothing&mode=slow"_s),
             QByteArray("unknown endpoint or mode"));
}

void TstDemoServer::oversizedRequest_closesTheConnection() {
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(client.waitForConnected(5000));
    QSignalSpy closed(&client, &QTcpSocket::disconnected);
    // A body announced at 256 MB, of which the server must not wait for, or keep, much.
    client.write(
        "POST /weixin/sendmsg.php HTTP/1.1\r\nHost: x\r\nContent-Length: 268435456\r\n\r\n");
    client.write(QByteArray(GuardedTcpServer::kMaxReceivedBytes + 4096, 'a'));
    QVERIFY(closed.wait(10000));
}

void TstDemoServer::idleConnection_isClosed() {
    GuardedTcpServer server(nullptr, GuardedTcpServer::kMaxReceivedBytes, 100);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket client;
    QSignalSpy closed(&client, &QTcpSocket::disconnected);
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(client.waitForConnected(5000));
    client.write("GET / HTTP/1.1\r\n"); // then nothing more
    QVERIFY(closed.wait(5000));
}

QTEST_GUILESS_MAIN(TstDemoServer)
#include "tst_demoserver.moc"
