#pragma once

// What the round benchmarks share: the loopback fare source and relay answering from memory
// (and, for the desktop, its two pages and the version file), the requests a round makes,
// and the headless monitor that makes them with nothing on screen.

#include "LoopbackServer.h"
#include "app/FrontEnd.h"
#include "app/UrlOpener.h"
#include "net/Endpoints.h"
#include "session/MonitorSession.h"
#include "sim/DemoPages.h"

#include <QDate>
#include <QElapsedTimer>

#include <string>

namespace skylark::bench {

class NoOpener final : public UrlOpener {
public:
    void openUrl(const QString&) override {}
};

class QuietFrontEnd final : public FrontEnd {
public:
    void showInformation(const QString&) override {}
    void playAlertSound() override {}
    void showAlertWindow(const QList<SpecialFare>&) override {}
    bool alertWindowSuppressed() const override { return true; }
    void openPushSettings() override {}
};

// A seven-day calendar from the first day on, as the fare source wraps it.
inline std::string calendarFrom(const QDate& first) {
    std::string days;
    for (int i = 0; i < 7; ++i) {
        days += (i ? "," : "") + std::string("{\"date\":\"") +
                first.addDays(i).toString(Qt::ISODate).toStdString() +
                "\",\"price\":" + std::to_string(380 + 20 * i) + "}";
    }
    return "jsonp1({\"error\":\"0\",\"status\":0,\"data\":[" + days + "]});";
}

// The answers of the relay and the fare source for routes on the given day, the demo's
// start page and price-chart page, and the version file. The international calendar is
// asked for from three days before the day.
inline LoopbackServer::Answer fareSourceFor(const QDate& day) {
    const std::string searchString = LoopbackServer::ok("depCityCode=PEK&arrCityCode=SHA");
    const std::string domestic =
        LoopbackServer::ok(calendarFrom(day), "text/javascript; charset=utf-8");
    const std::string international =
        LoopbackServer::ok(calendarFrom(day.addDays(-3)), "text/javascript; charset=utf-8");
    const std::string startPage =
        LoopbackServer::ok(sim::searchPage(QStringLiteral("机票搜索"), {}, {}).toStdString(),
                           "text/html; charset=utf-8");
    const std::string chartPage =
        LoopbackServer::ok(sim::priceChartPage().toStdString(), "text/html; charset=utf-8");
    const std::string trend = LoopbackServer::ok("[]", "application/json");
    const std::string version = LoopbackServer::ok("2.2");
    const std::string missing = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                "Connection: close\r\n\r\n";
    return [=](const std::string& requestLine) {
        const auto has = [&](const char* part) {
            return requestLine.find(part) != std::string::npos;
        };
        if (has("/get_search_str.php")) {
            return searchString;
        }
        if (has("/search/common_cheapest_calendar.htm")) {
            return has("searchBy=1278") ? international : domestic;
        }
        if (has("/flight_search_result.htm")) {
            return startPage;
        }
        if (has("/trend.json")) {
            return trend;
        }
        if (has("/chart.php")) {
            return chartPage;
        }
        if (has("/ver.txt")) {
            return version;
        }
        return missing;
    };
}

// The requests a round makes, in its order: each route's search string, then its calendar.
inline QList<QByteArray> roundRequests(const QList<Route>& routes, const Endpoints& endpoints) {
    const QString searchString = QStringLiteral("depCityCode=PEK&arrCityCode=SHA");
    QList<QByteArray> urls;
    for (const Route& route : routes) {
        urls.append(searchStringUrl(endpoints, route.depCityName, route.arrCityName, route.depDate)
                        .toUtf8());
        const QString calendar =
            route.type == u"international"
                ? internationalCalendarUrl(endpoints, searchString, route.depDate)
                : domesticCalendarUrl(endpoints, searchString, route.depDate);
        urls.append(calendar.toUtf8());
    }
    return urls;
}

// The monitor of a data directory with a plain route list and nothing on screen, at a
// period of 0: the core's own round.
struct HeadlessRound {
    HeadlessRound(const QString& directory, const Endpoints& servers)
        : session(directory, {clock, frontEnd, opener, {0, 0}}) {
        session.setEndpoints(servers);
        loadRouteBook(session.book(), session.routes());
    }
    // The round's length in nanoseconds.
    qint64 run() {
        QElapsedTimer round;
        round.start();
        session.monitor().runRound();
        return round.nsecsElapsed();
    }

    SystemClock clock;
    QuietFrontEnd frontEnd;
    NoOpener opener;
    MonitorSession session;
    Monitor& monitor = session.monitor();
    StatusLog& log = session.log();
    RouteListModel& routes = session.routes();
};

} // namespace skylark::bench
