#include "common/ScriptedServer.h"
#include "net/CookieStore.h"
#include "net/HttpFetch.h"
#include "net/HttpHeaders.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTest>
#include <QTimer>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
const QByteArray kAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n";

QByteArray withPort(QByteArray text, quint16 port) {
    return text.replace("PORT", QByteArray::number(port));
}

FetchRequest requestFor(const QString& url, const QString& method = {},
                        const QByteArray& postData = {}) {
    FetchRequest request;
    request.url = url;
    request.method = method;
    request.postData = postData;
    return request;
}

} // namespace

class TstHttpFetch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wire_data();
    void wire();
    void foreignVerb_failsWithoutSendingAnything_data();
    void foreignVerb_failsWithoutSendingAnything();
    void errorStatus_returnsTheBodyAndTheFinalHeaderBlock();
    void cookies_areExtractedFromTheHeaderBlock_data();
    void cookies_areExtractedFromTheHeaderBlock();
    void redirects_areFollowedWithTheMethodTheyAskFor_data();
    void redirects_areFollowedWithTheMethodTheyAskFor();
    void redirects_areBounded();
    void proxy_getsTheAbsoluteUrl();
    void cookieStore_isUsedOnlyWithoutOwnCookies();
    void storeCookies_putsResponseCookiesIntoTheStore();
    void quietPeriod_givesUpOnASilentServer();
    void deadline_endsATrickleWithinItsQuietPeriods();
    void lineBreaksInTheUrl_injectNoHeader();
    void credentials_stayWithTheirServer_data();
    void credentials_stayWithTheirServer();
    void cookieDomains_mustMatchTheAnsweringHost_data();
    void cookieDomains_mustMatchTheAnsweringHost();
    void quietPeriod_restartsOnProgressButTheTrickleIsBounded();
    void bodyCap_failsTheExchange();
    void wait_keepsTimersTicking();
    void wait_runsANestedFetchToCompletion();
    void givenUpWorker_hasNoFurtherEffect();
    void unreachableServer_givesAnEmptyBody();
    void https_refusesAnUntrustedCertificate();
};

void TstHttpFetch::wire_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("postData");
    QTest::addColumn<QString>("headers");
    QTest::addColumn<QString>("cookies");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray host = "Host: 127.0.0.1:PORT\r\n";
    const QByteArray tail = "Referer: http://127.0.0.1:PORT/a?b=1\r\nAccept-Language: zh-cn\r\n";
    QTest::newRow("GET with port, path and query")
        << u"/a?b=1"_s << u"GET"_s << QByteArray() << QString() << QString()
        << "GET /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "\r\n";
    QTest::newRow("no method is GET")
        << u"/a?b=1"_s << QString() << QByteArray() << QString() << QString()
        << "GET /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "\r\n";
    QTest::newRow("lower-case get keeps its letters")
        << u"/a?b=1"_s << u"get"_s << QByteArray() << QString() << QString()
        << "get /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "\r\n";
    QTest::newRow("POST with a body")
        << u"/a?b=1"_s << u"POST"_s << QByteArray("fakeid=1&content=\xE7\x89\xB9") << QString()
        << QString()
        << "POST /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail +
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 20\r\n\r\n"
               "fakeid=1&content=\xE7\x89\xB9";
    QTest::newRow("lower-case post")
        << u"/a?b=1"_s << u"post"_s << QByteArray("x=1") << QString() << QString()
        << "post /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail +
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 3\r\n\r\nx=1";
    QTest::newRow("GET with post data sends no body")
        << u"/a?b=1"_s << u"GET"_s << QByteArray("x=1") << QString() << QString()
        << "GET /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "\r\n";
    QTest::newRow("empty POST sends neither type, length nor body")
        << u"/a?b=1"_s << u"POST"_s << QByteArray() << QString() << QString()
        << "POST /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "\r\n";
    QTest::newRow("caller headers suppress defaults in any letter case")
        << u"/a?b=1"_s << u"GET"_s << QByteArray()
        << u"accept: text/html\r\nREFERER: me\r\nX-A: 1\r\n"_s << QString()
        << "GET /a?b=1 HTTP/1.1\r\n" + host + kAgent +
               "accept: text/html\r\nREFERER: me\r\nX-A: 1\r\nAccept-Language: zh-cn\r\n\r\n";
    QTest::newRow("a caller's Content-Type stays the only one")
        << u"/a?b=1"_s << u"POST"_s << QByteArray("{}") << u"content-type: text/json\r\n"_s
        << QString()
        << "POST /a?b=1 HTTP/1.1\r\n" + host + kAgent + "content-type: text/json\r\n" + kAccept +
               tail + "Content-Length: 2\r\n\r\n{}";
    QTest::newRow("given cookies go last")
        << u"/a?b=1"_s << u"GET"_s << QByteArray() << QString() << u"a=1; b=2"_s
        << "GET /a?b=1 HTTP/1.1\r\n" + host + kAgent + kAccept + tail + "Cookie: a=1; b=2\r\n\r\n";
    QTest::newRow("only scheme and host requests /")
        << QString() << u"GET"_s << QByteArray() << QString() << QString()
        << "GET / HTTP/1.1\r\n" + host + kAgent + kAccept +
               "Referer: http://127.0.0.1:PORT\r\nAccept-Language: zh-cn\r\n\r\n";
}

void TstHttpFetch::wire() {
    QFETCH(QString, path);
    QFETCH(QString, method);
    QFETCH(QByteArray, postData);
    QFETCH(QString, headers);
    QFETCH(QString, cookies);
    QFETCH(QByteArray, expected);
    ScriptedServer server;
    HttpFetcher fetcher(std::make_shared<CookieStore>());
    FetchRequest request = requestFor(server.url(path), method, postData);
    request.headers = headers;
    request.cookies = cookies;
    QCOMPARE(fetcher.httpFetch(request), QByteArray("ok"));
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first(), withPort(expected, server.port()));
}

void TstHttpFetch::foreignVerb_failsWithoutSendingAnything_data() {
    QTest::addColumn<QString>("method");
    QTest::newRow("PUT") << u"PUT"_s;
    QTest::newRow("DELETE") << u"delete"_s;
    QTest::newRow("GET with a blank") << u"GET "_s;
}

void TstHttpFetch::foreignVerb_failsWithoutSendingAnything() {
    QFETCH(QString, method);
    ScriptedServer server;
    HttpFetcher fetcher;
    FetchResponse response{u"stale"_s, u"stale"_s};
    QCOMPARE(fetcher.httpFetch(requestFor(server.url(), method), &response), QByteArray());
    QCOMPARE(response.rawHeaders, QString());
    QCOMPARE(response.newCookies, QString());
    QCOMPARE(server.requests().size(), 0);
}

void TstHttpFetch::errorStatus_returnsTheBodyAndTheFinalHeaderBlock() {
    const QByteArray html = "<html><body>Not here</body></html>";
    ScriptedServer server([&](const QByteArray&) {
        return ScriptedServer::Answer{
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
            QByteArray::number(html.size()) + "\r\n\r\n" + html};
    });
    HttpFetcher fetcher;
    FetchResponse response;
    QCOMPARE(fetcher.httpFetch(requestFor(server.url(u"/missing"_s)), &response), html);
    QCOMPARE(response.rawHeaders,
             "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: "_L1 +
                 QString::number(html.size()) + "\r\n\r\n"_L1);
}

void TstHttpFetch::cookies_areExtractedFromTheHeaderBlock_data() {
    QTest::addColumn<QByteArray>("setCookies");
    QTest::addColumn<QString>("newCookies");
    QTest::newRow("two cookies with a path")
        << QByteArray("Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/x\r\n") << u"a=1; b=2"_s;
    QTest::newRow("an empty value and a line without attributes are skipped")
        << QByteArray(
               "Set-Cookie: e=; path=/\r\nSet-Cookie: plain=1\r\nSet-Cookie: c=3; HttpOnly\r\n")
        << u"c=3"_s;
    QTest::newRow("a name set twice is listed twice")
        << QByteArray("Set-Cookie: a=1; path=/\r\nSet-Cookie: a=2; path=/\r\n") << u"a=1; a=2"_s;
    QTest::newRow("the exact letter case counts per line")
        << QByteArray("set-cookie: x=1; path=/\r\nSet-Cookie: y=2; path=/\r\n") << u"y=2"_s;
    QTest::newRow("no Set-Cookie") << QByteArray("X-A: 1\r\n") << QString();
}

void TstHttpFetch::cookies_areExtractedFromTheHeaderBlock() {
    QFETCH(QByteArray, setCookies);
    QFETCH(QString, newCookies);
    ScriptedServer server([&](const QByteArray&) { return ScriptedServer::ok("ok", setCookies); });
    HttpFetcher fetcher;
    FetchResponse response;
    QCOMPARE(fetcher.httpFetch(requestFor(server.url()), &response), QByteArray("ok"));
    QCOMPARE(response.newCookies, newCookies);
}

void TstHttpFetch::redirects_areFollowedWithTheMethodTheyAskFor_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("secondRequestStart");
    QTest::newRow("302 turns POST into GET") << 302 << QByteArray("GET /next HTTP/1.1\r\n");
    QTest::newRow("303 turns POST into GET") << 303 << QByteArray("GET /next HTTP/1.1\r\n");
    QTest::newRow("301 turns POST into GET") << 301 << QByteArray("GET /next HTTP/1.1\r\n");
    QTest::newRow("307 keeps the POST and its body")
        << 307 << QByteArray("POST /next HTTP/1.1\r\n");
}

void TstHttpFetch::redirects_areFollowedWithTheMethodTheyAskFor() {
    QFETCH(int, status);
    QFETCH(QByteArray, secondRequestStart);
    ScriptedServer server([&](const QByteArray& request) {
        if (request.contains(" /next ")) {
            return ScriptedServer::ok("final", "X-Final: yes\r\n");
        }
        return ScriptedServer::Answer{"HTTP/1.1 " + QByteArray::number(status) +
                                      " Moved\r\nLocation: /next\r\nSet-Cookie: r=1; "
                                      "path=/\r\nContent-Length: 4\r\n\r\nmove"};
    });
    HttpFetcher fetcher;
    FetchResponse response;
    QCOMPARE(fetcher.httpFetch(requestFor(server.url(u"/first"_s), u"POST"_s, "x=1"), &response),
             QByteArray("final"));
    QCOMPARE(server.requests().size(), 2);
    const QByteArray second = server.requests()[1];
    QVERIFY2(second.startsWith(secondRequestStart), second.constData());
    QCOMPARE(second.endsWith("\r\n\r\nx=1"), status == 307);
    QCOMPARE(second.contains("Content-Length"), status == 307);
    QVERIFY(second.contains(withPort("Referer: http://127.0.0.1:PORT/first\r\n", server.port())));
    QCOMPARE(response.rawHeaders,
             "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Final: yes\r\n\r\n"_L1);
    QCOMPARE(response.newCookies, QString());
}

void TstHttpFetch::redirects_areBounded() {
    ScriptedServer server([](const QByteArray&) {
        return ScriptedServer::Answer{
            "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n"};
    });
    FetchLimits limits;
    limits.maxRedirects = 3;
    HttpFetcher fetcher({}, limits);
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray());
    QCOMPARE(server.requests().size(), 4);
}

void TstHttpFetch::proxy_getsTheAbsoluteUrl() {
    ScriptedServer proxy;
    HttpFetcher fetcher;
    FetchRequest request = requestFor(u"http://fares.test/calendar?x=1"_s);
    request.proxy = u" 127.0.0.1:"_s + QString::number(proxy.port());
    QCOMPARE(fetcher.httpFetch(request), QByteArray("ok"));
    QCOMPARE(proxy.requests().size(), 1);
    QCOMPARE(proxy.requests().first(),
             "GET http://fares.test/calendar?x=1 HTTP/1.1\r\nHost: fares.test\r\n" + kAgent +
                 kAccept +
                 "Referer: http://fares.test/calendar?x=1\r\nAccept-Language: zh-cn\r\n\r\n");
}

void TstHttpFetch::cookieStore_isUsedOnlyWithoutOwnCookies() {
    int served = 0;
    ScriptedServer server([&](const QByteArray&) {
        return ScriptedServer::ok("ok", "Set-Cookie: visit=" + QByteArray::number(++served) +
                                            "; path=/\r\n");
    });
    HttpFetcher fetcher(std::make_shared<CookieStore>());
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray("ok"));
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray("ok"));
    QVERIFY(server.requests()[1].contains("\r\nCookie: visit=1\r\n"));

    FetchRequest own = requestFor(server.url());
    own.cookies = u"mine=1"_s;
    QCOMPARE(fetcher.httpFetch(own), QByteArray("ok"));
    QVERIFY(!server.requests()[2].contains("visit="));
    QVERIFY(server.requests()[2].contains("\r\nCookie: mine=1\r\n"));

    // The third answer's cookie was not stored: the store still holds visit=2.
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray("ok"));
    QVERIFY(server.requests()[3].contains("\r\nCookie: visit=2\r\n"));
}

void TstHttpFetch::storeCookies_putsResponseCookiesIntoTheStore() {
    ScriptedServer server([](const QByteArray& request) {
        return request.contains("Cookie: mine=1")
                   ? ScriptedServer::ok("ok", "Set-Cookie: kept=yes; path=/\r\n")
                   : ScriptedServer::ok("ok");
    });
    HttpFetcher fetcher(std::make_shared<CookieStore>());
    FetchRequest own = requestFor(server.url());
    own.cookies = u"mine=1"_s;
    own.storeCookies = true;
    QCOMPARE(fetcher.httpFetch(own), QByteArray("ok"));
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray("ok"));
    QVERIFY2(server.requests()[1].contains("\r\nCookie: kept=yes\r\n"),
             server.requests()[1].constData());
}

void TstHttpFetch::deadline_endsATrickleWithinItsQuietPeriods() {
    // One byte every 100 ms for 3 s: within ten quiet periods of 0.5 s, past the deadline.
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\n";
    ScriptedServer server([&](const QByteArray&) {
        return ScriptedServer::Answer{head + QByteArray(30, 'x'), 0, 100, head.size()};
    });
    FetchLimits limits;
    limits.exchangeDeadlineSeconds = 1;
    HttpFetcher fetcher({}, limits);
    FetchRequest request = requestFor(server.url());
    request.timeoutSeconds = 0.5;
    QCOMPARE(fetcher.httpFetch(request), QByteArray());
    // The request's own deadline overrides the fetcher's.
    HttpFetcher patient;
    request.deadlineSeconds = 1;
    QCOMPARE(patient.httpFetch(request), QByteArray());
}

void TstHttpFetch::lineBreaksInTheUrl_injectNoHeader() {
    ScriptedServer server;
    HttpFetcher fetcher;
    QCOMPARE(fetcher.httpFetch(server.url(u"/calendar?q=1\r\nX-Injected: yes"_s)),
             QByteArray("ok"));
    const QByteArray request = server.requests().value(0);
    QVERIFY2(!request.contains("\nX-Injected"), request.constData());
    QVERIFY2(request.contains("/calendar?q=1%0D%0AX-Injected:"), request.constData());
}

void TstHttpFetch::credentials_stayWithTheirServer_data() {
    QTest::addColumn<bool>("elsewhere");
    QTest::newRow("a redirect to another server") << true;
    QTest::newRow("a redirect on the same server") << false;
}

void TstHttpFetch::credentials_stayWithTheirServer() {
    QFETCH(bool, elsewhere);
    ScriptedServer other;
    QString target;
    ScriptedServer own([&](const QByteArray& request) {
        return request.startsWith("GET /first")
                   ? ScriptedServer::Answer{"HTTP/1.1 302 Found\r\nLocation: " + target.toLatin1() +
                                            "\r\nContent-Length: 0\r\n\r\n"}
                   : ScriptedServer::ok("ok");
    });
    target = elsewhere ? other.url(u"/second"_s) : own.url(u"/second"_s);
    HttpFetcher fetcher;
    FetchRequest request = requestFor(own.url(u"/first"_s));
    request.userName = u"user"_s;
    request.password = u"secret"_s;
    QCOMPARE(fetcher.httpFetch(request), QByteArray("ok"));
    const QByteArray authorization = "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n";
    QVERIFY(own.requests().value(0).contains(authorization));
    const QByteArray second = elsewhere ? other.requests().value(0) : own.requests().value(1);
    QVERIFY2(second.startsWith("GET /second"), second.constData());
    QCOMPARE(second.contains("Authorization:"), !elsewhere);
}

void TstHttpFetch::cookieDomains_mustMatchTheAnsweringHost_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("matches");
    QTest::newRow("the host itself") << u"fares.example.com"_s << u"fares.example.com"_s << true;
    QTest::newRow("a parent domain, leading dot")
        << u"a.example.com"_s << u".Example.COM"_s << true;
    QTest::newRow("another host") << u"fares.example.com"_s << u"other.test"_s << false;
    QTest::newRow("a name that only ends alike")
        << u"badexample.com"_s << u"example.com"_s << false;
    QTest::newRow("a child domain") << u"example.com"_s << u"a.example.com"_s << false;
    QTest::newRow("part of an address") << u"127.0.0.1"_s << u"0.0.1"_s << false;
    QTest::newRow("the address itself") << u"127.0.0.1"_s << u"127.0.0.1"_s << true;
    QTest::newRow("empty") << u"example.com"_s << u"."_s << false;
}

void TstHttpFetch::cookieDomains_mustMatchTheAnsweringHost() {
    QFETCH(QString, host);
    QFETCH(QString, domain);
    QFETCH(bool, matches);
    QCOMPARE(domainMatches(host, domain), matches);
    CookieStore store;
    store.store(host, u"c"_s, u"1; path=/; domain="_s + domain);
    QCOMPARE(store.cookieLines().size(), matches ? 1 : 0);
}

void TstHttpFetch::quietPeriod_givesUpOnASilentServer() {
    ScriptedServer server([](const QByteArray&) {
        ScriptedServer::Answer silent;
        silent.silent = true;
        return silent;
    });
    HttpFetcher fetcher;
    FetchRequest request = requestFor(server.url());
    request.timeoutSeconds = 0.3;
    FetchResponse response{u"stale"_s, u"stale"_s};
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(fetcher.httpFetch(request, &response), QByteArray());
    QVERIFY(clock.elapsed() >= 300);
    QCOMPARE(response.rawHeaders, QString());
}

void TstHttpFetch::quietPeriod_restartsOnProgressButTheTrickleIsBounded() {
    // The headers, then one byte every 50 ms: never quiet for 0.3 s, never done.
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    ScriptedServer server([&](const QByteArray&) {
        return ScriptedServer::Answer{head + QByteArray(100000, 'x'), 0, 50, head.size()};
    });
    HttpFetcher fetcher;
    FetchRequest request = requestFor(server.url());
    request.timeoutSeconds = 0.3;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(fetcher.httpFetch(request), QByteArray());
    QVERIFY2(clock.elapsed() >= 10 * 300 - 50, qPrintable(QString::number(clock.elapsed())));
}

void TstHttpFetch::bodyCap_failsTheExchange() {
    FetchLimits limits;
    QCOMPARE(limits.maxBodyBytes, 32 * 1024 * 1024);
    ScriptedServer atLimit(
        [](const QByteArray&) { return ScriptedServer::ok(QByteArray(32 * 1024 * 1024, 'a')); });
    HttpFetcher fetcher;
    QCOMPARE(fetcher.httpFetch(atLimit.url()).size(), 32 * 1024 * 1024);
    ScriptedServer overLimit([](const QByteArray&) {
        return ScriptedServer::ok(QByteArray(32 * 1024 * 1024 + 1, 'a'));
    });
    QCOMPARE(fetcher.httpFetch(overLimit.url()), QByteArray());
}

void TstHttpFetch::wait_keepsTimersTicking() {
    ScriptedServer server([](const QByteArray&) {
        ScriptedServer::Answer answer = ScriptedServer::ok("late");
        answer.delayMs = 300;
        return answer;
    });
    HttpFetcher fetcher;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QCOMPARE(fetcher.httpFetch(server.url()), QByteArray("late"));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
}

void TstHttpFetch::wait_runsANestedFetchToCompletion() {
    ScriptedServer slow([](const QByteArray&) {
        ScriptedServer::Answer answer = ScriptedServer::ok("outer");
        answer.delayMs = 400;
        return answer;
    });
    ScriptedServer fast([](const QByteArray&) { return ScriptedServer::ok("inner"); });
    HttpFetcher fetcher;
    QByteArray inner;
    bool innerDoneFirst = false;
    QTimer::singleShot(20, [&] {
        inner = fetcher.httpFetch(fast.url());
        innerDoneFirst = slow.answersSent() == 0;
    });
    QCOMPARE(fetcher.httpFetch(slow.url()), QByteArray("outer"));
    QCOMPARE(inner, QByteArray("inner"));
    QVERIFY(innerDoneFirst);
}

void TstHttpFetch::givenUpWorker_hasNoFurtherEffect() {
    ScriptedServer server([](const QByteArray&) {
        ScriptedServer::Answer answer =
            ScriptedServer::ok("too late", "Set-Cookie: late=1; path=/\r\n");
        answer.delayMs = 600;
        answer.closeAfter = false;
        return answer;
    });
    auto fetcher = std::make_unique<HttpFetcher>(std::make_shared<CookieStore>());
    const auto store = fetcher->cookieStore();
    FetchRequest request = requestFor(server.url());
    request.timeoutSeconds = 0.2;
    FetchResponse response;
    QCOMPARE(fetcher->httpFetch(request, &response), QByteArray());
    QTRY_COMPARE_WITH_TIMEOUT(server.disconnections(), 1, 5000); // the worker hung up
    QCOMPARE(response.rawHeaders, QString());
    QCOMPARE(response.newCookies, QString());
    fetcher.reset(); // joins the worker
    QVERIFY(store->cookieLines().isEmpty());
}

void TstHttpFetch::unreachableServer_givesAnEmptyBody() {
    quint16 freePort = 0;
    {
        ScriptedServer closed;
        freePort = closed.port();
    }
    HttpFetcher fetcher;
    FetchResponse response;
    QCOMPARE(
        fetcher.httpFetch(requestFor(u"http://127.0.0.1:"_s + QString::number(freePort) + u"/"_s),
                          &response),
        QByteArray());
    QCOMPARE(fetcher.httpFetch(u"http://127.0.0.1:0/"_s), QByteArray());
    QCOMPARE(fetcher.httpFetch(u"http://127.0.0.1:x/"_s), QByteArray());
}

void TstHttpFetch::https_refusesAnUntrustedCertificate() {
    QFile certificate(QStringLiteral(SKYLARK_TEST_DATA "/selfsigned.crt"));
    QFile key(QStringLiteral(SKYLARK_TEST_DATA "/selfsigned.key"));
    QVERIFY(certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certificate.readAll()));
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
    QSslServer server;
    server.setSslConfiguration(tls);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QSignalSpy handshakes(&server, &QSslServer::startedEncryptionHandshake);
    QSignalSpy requests(&server, &QSslServer::pendingConnectionAvailable);

    HttpFetcher fetcher;
    FetchRequest request =
        requestFor(u"https://127.0.0.1:"_s + QString::number(server.serverPort()) + u"/"_s);
    request.timeoutSeconds = 5;
    QCOMPARE(fetcher.httpFetch(request), QByteArray());
    QCOMPARE(handshakes.size(), 1); // TLS was spoken...
    QCOMPARE(requests.size(), 0);   // ...but the client refused the certificate before any request
}

QTEST_GUILESS_MAIN(TstHttpFetch)
#include "tst_httpfetch.moc"
