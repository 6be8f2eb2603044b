#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"
#include "common/FakeFrontEnd.h"
#include "common/ScriptedServer.h"
#include "common/SessionRig.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "net/RetryAfter.h"
#include "notify/PushAlerts.h"
#include "text/Encoding.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <limits>
#include <utility>

using namespace skylark;
using namespace skylark::testing;

Q_DECLARE_METATYPE(skylark::MonitorStatus)
Q_DECLARE_METATYPE(skylark::RoundCounts)
using namespace Qt::Literals::StringLiterals;

namespace {

// The value of a query key in a request line.
QByteArray queryValue(const QByteArray& request, const QByteArray& key) {
    const QByteArray line = request.left(request.indexOf(' ', request.indexOf(' ') + 1));
    const qsizetype at = line.indexOf(QByteArray(key + '='));
    if (at < 0) {
        return {};
    }
    const qsizetype end = line.indexOf('&', at);
    return line.mid(at + key.size() + 1, end < 0 ? -1 : end - at - key.size() - 1);
}

// A relay and fare source whose fares are set per departure city; the search string
// carries the departure city on to the calendar.
class CalendarServer {
public:
    CalendarServer()
        : server([this](const QByteArray& request) { return answer(request); }) {}

    void setFare(const QString& depCity, const QString& fare, int delayMs = 0) {
        fares.insert(urlEncodeUtf8(depCity).toLatin1(), {fare.toUtf8(), delayMs});
    }
    // More days for the city's calendar: "2014-11-21=450" each.
    void setOtherDays(const QString& depCity, const QStringList& days) {
        QByteArray entries;
        for (const QString& day : days) {
            entries += ",{\"date\":\"" + day.section(u'=', 0, 0).toUtf8() + "\",\"price\":\"" +
                       day.section(u'=', 1).toUtf8() + "\"}";
        }
        otherDays.insert(urlEncodeUtf8(depCity).toLatin1(), entries);
    }
    int calendarRequests() const {
        return int(std::count_if(server.requests().begin(), server.requests().end(),
                                 [](const QByteArray& r) { return r.contains("calendar"); }));
    }

    ScriptedServer server;
    // Runs as a calendar request arrives, while the round waits for its answer.
    std::function<void(const QByteArray& request)> onCalendarRequest;

private:
    ScriptedServer::Answer answer(const QByteArray& request) {
        if (request.startsWith("POST /weixin/sendmsg.php")) {
            return ScriptedServer::ok("ok");
        }
        if (request.contains("/get_search_str.php")) {
            return ScriptedServer::ok("r=" + queryValue(request, "depCity"));
        }
        if (onCalendarRequest) {
            onCalendarRequest(request);
        }
        const auto [fare, delay] = fares.value(queryValue(request, "r"));
        ScriptedServer::Answer answer = ScriptedServer::ok(
            "cb({\"data\":[{\"date\":\"" + queryValue(request, "searchDay") + "\",\"price\":\"" +
            fare + "\"}" + otherDays.value(queryValue(request, "r")) + "]});");
        answer.delayMs = delay;
        return answer;
    }

    QHash<QByteArray, std::pair<QByteArray, int>> fares;
    QHash<QByteArray, QByteArray> otherDays;
};

struct Rig : SessionRig {
    Rig()
        : SessionRig(QDateTime(QDate(2014, 11, 1), QTime(9, 5, 3))) {
        session.setEndpoints(Endpoints::forDemo(source.server.url(QString())));
    }
    CalendarServer source;
    FareSource& fares = session.fareSource();
    PushNotifier& push = session.push();

    // The rules every round takes, in place of rules.ini's.
    void useRules(const MonitorRules& rules) {
        monitor.setRulesSource([rules] { return ReadResult<MonitorRules>{rules, {}}; });
    }
    // Routes from 成都, 北京, 广州, ... in that order, alert price 500, with fares.
    void addRoutes(const QStringList& fares) {
        static const QStringList cities{u"成都"_s, u"北京"_s, u"广州"_s, u"杭州"_s, u"西安"_s};
        for (int i = 0; i < fares.size(); ++i) {
            QVERIFY(book.appendRoute({QString::number(201411000 + i), cities[i], u"上海"_s,
                                      u"2014-11-20"_s, u"500"_s, u"domestic"_s}));
            source.setFare(cities[i], fares[i]);
        }
        loadRouteBook(book, routes);
    }
    QStringList cells(int row) const {
        QStringList texts;
        for (int column = RouteListModel::LowestFareColumn; column < RouteListModel::ColumnCount;
             ++column) {
            texts.append(routes.cell(row, column));
        }
        return texts;
    }
};

} // namespace

class TstMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void specialFare_data();
    void specialFare();
    void round_withoutSpecialFares_logsTwoLinesARoute();
    void round_withSpecialFares_highlightsAlertsAndPushes();
    void round_withTheAlertWindowSuppressed_opensNone();
    void nextRound_clearsTheHighlights();
    void start_withoutRoutes_isRefused();
    void start_waitsThenRunsAndArmsTheTimer();
    void stop_duringARound_finishesTheRouteAndEnds();
    void wait_keepsTimersServedAndSkipsATickDuringTheRound();
    void routeDeletedDuringARound_isNotQueriedAgain();
    void emptyListDuringMonitoring_stopsTheTimer();
    void restartDuringAStoppedRound_waitsForItsEnd_data();
    void restartDuringAStoppedRound_waitsForItsEnd();
    void timerInterval_neverOverflows_data();
    void timerInterval_neverOverflows();
    void secondMonitorOnTheDirectory_isRefusedUntilTheFirstStops();
    void directoryThatCannotBeLocked_refusesTheStartWithItsReason();
    void state_followsTheRounds_data();
    void state_followsTheRounds();
    void stateLine_saysThePhaseAndTheLastRound_data();
    void stateLine_saysThePhaseAndTheLastRound();
    void flexibleDays_alertForTheCheapestDayOfTheWindow_data();
    void flexibleDays_alertForTheCheapestDayOfTheWindow();
    void retryAfter_isReadAsSecondsOrADate_data();
    void retryAfter_isReadAsSecondsOrADate();
};

namespace {

// What the state went through, one short text a change: the phase, the round, the route.
QStringList phasesOf(const QList<MonitorStatus>& statuses) {
    QStringList phases;
    for (const MonitorStatus& status : statuses) {
        switch (status.phase) {
        case MonitorStatus::Phase::Off:
            phases.append(u"off"_s);
            break;
        case MonitorStatus::Phase::StartWait:
            phases.append(u"start wait"_s);
            break;
        case MonitorStatus::Phase::Round:
            phases.append(u"round %1 route %2/%3 %4"_s.arg(status.round)
                              .arg(status.routeIndex)
                              .arg(status.routeCount)
                              .arg(status.routeId)
                              .trimmed());
            break;
        case MonitorStatus::Phase::Waiting:
            phases.append(u"waiting"_s);
            break;
        }
    }
    return phases;
}

} // namespace

void TstMonitor::specialFare_data() {
    QTest::addColumn<QString>("fare");
    QTest::addColumn<QString>("alert");
    QTest::addColumn<bool>("special");
    QTest::newRow("equal to the alert price") << u"500"_s << u"500"_s << true;
    QTest::newRow("within the tolerance above it") << u"500.0000001"_s << u"500"_s << true;
    QTest::newRow("beyond the tolerance above it") << u"500.0000002"_s << u"500"_s << false;
    QTest::newRow("half a yuan above it") << u"500.5"_s << u"500"_s << false;
    QTest::newRow("below it") << u"480"_s << u"500"_s << true;
    QTest::newRow("not found") << u"未找到"_s << u"500"_s << false;
    QTest::newRow("a fare of 0") << u"0"_s << u"500"_s << false;
    QTest::newRow("an alert price that is no number") << u"480"_s << u"abc"_s << false;
    QTest::newRow("full-width digits") << u"４８０"_s << u"５００"_s << true;
}

void TstMonitor::specialFare() {
    QFETCH(QString, fare);
    QFETCH(QString, alert);
    QFETCH(bool, special);
    QCOMPARE(isSpecialFare(fare, alert), special);
}

void TstMonitor::round_withoutSpecialFares_logsTwoLinesARoute() {
    Rig rig;
    rig.addRoutes({u"560"_s, u"0"_s});
    rig.monitor.runRound();
    QCOMPARE(
        rig.logTexts(),
        (QStringList{u"共有待搜索航线：2条"_s, u"正在搜索航线：201411000"_s,
                     u"已搜索航线：201411000，当前最低价格：560"_s, u"正在搜索航线：201411001"_s,
                     u"已搜索航线：201411001，当前最低价格：未找到"_s, u"本轮航班搜索结束！"_s}));
    QCOMPARE(rig.log.lines().first(), u"[09:05:03]:共有待搜索航线：2条"_s);
    QCOMPARE(rig.cells(0), (QStringList{u"560"_s, u"09:05:03"_s, u"已搜索"_s}));
    QCOMPARE(rig.cells(1), (QStringList{u"未找到"_s, u"09:05:03"_s, u"已搜索"_s}));
    QVERIFY(rig.frontEnd.calls.isEmpty());
    QCOMPARE(rig.monitor.timer().interval(), 2 * 60000);
    QVERIFY(!rig.routes.colouringActive());
}

void TstMonitor::round_withSpecialFares_highlightsAlertsAndPushes() {
    Rig rig;
    rig.addRoutes({u"560"_s, u"480"_s, u"500"_s});
    QVERIFY(rig.settings.setPushEnabled(true));
    QVERIFY(rig.settings.setPushId(u"demo"));
    QVERIFY(rig.settings.setPushCycle(u"10"));
    rig.monitor.startMonitoring();
    QCOMPARE(
        rig.monitor.specialFares(),
        (QList<SpecialFare>{{u"北京"_s, u"上海"_s, u"2014-11-20"_s, u"480"_s, u"09:05:03"_s},
                            {u"广州"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, u"09:05:03"_s}}));
    QCOMPARE(rig.cells(1), (QStringList{u"480"_s, u"09:05:03"_s, u"有特价票！"_s}));
    for (int column = 0; column < RouteListModel::ColumnCount; ++column) {
        const auto colour = rig.routes.cellColour(1, column);
        QVERIFY(colour.has_value());
        QCOMPARE(colour->text, RouteListModel::Rgb(0x000000));
        QCOMPARE(colour->back, RouteListModel::Rgb(0xFFA000));
        QVERIFY(!rig.routes.cellColour(0, column).has_value());
    }
    QCOMPARE(rig.routes.data(rig.routes.index(1, 3), RouteListModel::BackColourRole).toUInt(),
             0xFFA000u);
    QCOMPARE(rig.frontEnd.calls, (QStringList{u"sound"_s, u"alert window: 2"_s}));
    const QStringList log = rig.logTexts();
    QCOMPARE(log.mid(log.size() - 3),
             (QStringList{u"航线：201411002，当前最低价格：500，有特价票！"_s,
                          u"发送微信提醒结果：ok"_s, u"本轮航班搜索结束！"_s}));
    QVERIFY(log.contains(u"航线：201411001，当前最低价格：480，有特价票！"_s));
    const QByteArray push = rig.source.server.requests().last();
    QVERIFY(push.startsWith("POST /weixin/sendmsg.php HTTP/1.1\r\n"));
    QVERIFY(push.endsWith(
        QByteArray("fakeid=demo&content=" + pushText(rig.monitor.specialFares()).toUtf8())));
    QCOMPARE(rig.monitor.lastPushTime(), rig.clock.now());
}

void TstMonitor::round_withTheAlertWindowSuppressed_opensNone() {
    Rig rig;
    rig.addRoutes({u"480"_s});
    rig.frontEnd.suppressAlertWindow = true;
    rig.monitor.runRound();
    QCOMPARE(rig.frontEnd.calls, QStringList{u"sound"_s});
    QCOMPARE(rig.logTexts().mid(rig.logTexts().size() - 2),
             (QStringList{u"发送微信提醒结果：未开启微信提醒功能"_s, u"本轮航班搜索结束！"_s}));
}

void TstMonitor::nextRound_clearsTheHighlights() {
    Rig rig;
    rig.addRoutes({u"480"_s});
    rig.monitor.runRound();
    QVERIFY(rig.routes.cellColour(0, 0).has_value());
    rig.source.setFare(u"成都"_s, u"900"_s);
    rig.monitor.runRound();
    QVERIFY(!rig.routes.colouringActive());
    QVERIFY(!rig.routes.cellColour(0, 0).has_value());
    QCOMPARE(rig.cells(0), (QStringList{u"900"_s, u"09:05:03"_s, u"已搜索"_s}));
    QVERIFY(rig.monitor.specialFares().isEmpty());
}

void TstMonitor::start_withoutRoutes_isRefused() {
    Rig rig;
    QSignalSpy monitoring(&rig.monitor, &Monitor::monitoringChanged);
    rig.monitor.startMonitoring();
    QCOMPARE(rig.logTexts(), QStringList{u"无需要监控的记录！请先添加监控航线后再开启监控！"_s});
    QCOMPARE(rig.frontEnd.calls,
             QStringList{u"message: 没有要监控的记录！请先添加监控航线后再开启监控！"_s});
    QVERIFY(!rig.monitor.isMonitoring());
    QCOMPARE(monitoring.size(), 0);
}

void TstMonitor::start_waitsThenRunsAndArmsTheTimer() {
    Rig rig;
    rig.addRoutes({u"560"_s, u"570"_s, u"580"_s});
    QString statusDuringTheWait;
    QTimer::singleShot(
        5, [&] { statusDuringTheWait = rig.routes.cell(0, RouteListModel::StatusColumn); });
    QSignalSpy monitoring(&rig.monitor, &Monitor::monitoringChanged);
    rig.monitor.startMonitoring();
    QCOMPARE(statusDuringTheWait, u"3秒后开始自动查询..."_s);
    QCOMPARE(monitoring.size(), 1);
    QVERIFY(rig.monitor.isMonitoring());
    QCOMPARE(rig.logTexts().first(), u"已开启自动查询，每轮自动刷时间隔为：记录数*60秒！"_s);
    QCOMPARE(rig.logTexts().last(), u"本轮航班搜索结束！"_s);
    QCOMPARE(rig.monitor.timer().interval(), 180000);
    QVERIFY(rig.monitor.timer().isActive());
    QCOMPARE(rig.monitor.lastPushTime(), rig.clock.now().addDays(-1));
}

void TstMonitor::stop_duringARound_finishesTheRouteAndEnds() {
    Rig rig;
    rig.addRoutes({u"480"_s, u"470"_s, u"460"_s, u"450"_s, u"440"_s});
    rig.source.setFare(u"北京"_s, u"470"_s, 300);
    // The stop click comes as route 2 starts.
    QObject::connect(&rig.log, &StatusLog::lineAppended, [&](int, const QString& line) {
        if (line.endsWith(u"正在搜索航线：201411001")) {
            rig.monitor.stopMonitoring();
        }
    });
    rig.monitor.startMonitoring();
    const QStringList log = rig.logTexts();
    QCOMPARE(log.mid(log.size() - 2),
             (QStringList{u"航线：201411001，当前最低价格：470，有特价票！"_s,
                          u"本轮航班搜索结束！"_s}));
    QCOMPARE(rig.source.calendarRequests(), 2);
    QCOMPARE(rig.cells(2), (QStringList{{}, {}, {}}));
    QVERIFY(rig.frontEnd.calls.isEmpty()); // no sound, no window, no push
    QCOMPARE(rig.monitor.timer().interval(), 0);
    QVERIFY(!rig.monitor.isMonitoring());
    QVERIFY(rig.monitor.stopRequested());
}

void TstMonitor::wait_keepsTimersServedAndSkipsATickDuringTheRound() {
    Rig rig;
    rig.addRoutes({u"560"_s});
    rig.source.setFare(u"成都"_s, u"560"_s, 400);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    bool tickRanInside = false;
    QTimer::singleShot(100, [&] {
        tickRanInside = rig.monitor.roundRunning();
        rig.monitor.runRound(); // a tick that falls due during the round
    });
    rig.monitor.runRound();
    QVERIFY(tickRanInside);
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    QCOMPARE(rig.logTexts().count(u"共有待搜索航线：1条"_s), 1);
    QCOMPARE(rig.source.calendarRequests(), 1);
}

void TstMonitor::routeDeletedDuringARound_isNotQueriedAgain() {
    Rig rig;
    rig.addRoutes({u"560"_s, u"570"_s, u"580"_s});
    rig.source.setFare(u"成都"_s, u"480"_s, 300);
    // While the first route waits for its calendar, the second and the first are deleted, as
    // the route menu would: remove the section and rebuild the list.
    bool deleted = false;
    rig.source.onCalendarRequest = [&](const QByteArray&) {
        if (!std::exchange(deleted, true)) {
            QVERIFY(rig.book.removeRoute(u"201411001"));
            QVERIFY(rig.book.removeRoute(u"201411000"));
            loadRouteBook(rig.book, rig.routes);
        }
    };
    rig.monitor.runRound();
    QCOMPARE(
        rig.logTexts(),
        (QStringList{u"共有待搜索航线：3条"_s, u"正在搜索航线：201411000"_s,
                     u"已搜索航线：201411000，当前最低价格：480"_s, u"正在搜索航线：201411002"_s,
                     u"已搜索航线：201411002，当前最低价格：580"_s, u"本轮航班搜索结束！"_s}));
    QCOMPARE(rig.routes.rowCount(), 1);
    QCOMPARE(rig.cells(0), (QStringList{u"580"_s, u"09:05:03"_s, u"已搜索"_s}));
    QVERIFY(rig.monitor.specialFares().isEmpty()); // the deleted route raises no alert
    QCOMPARE(rig.source.calendarRequests(), 2);
}

void TstMonitor::emptyListDuringMonitoring_stopsTheTimer() {
    Rig rig;
    rig.addRoutes({u"560"_s});
    rig.monitor.startMonitoring();
    QCOMPARE(rig.monitor.timer().interval(), 60000);
    QVERIFY(rig.book.removeRoute(u"201411000"));
    loadRouteBook(rig.book, rig.routes);
    rig.monitor.runRound();
    QCOMPARE(rig.monitor.timer().interval(), 0);
    QVERIFY(rig.monitor.isMonitoring()); // the buttons wait for the stop click
}

void TstMonitor::restartDuringAStoppedRound_waitsForItsEnd_data() {
    QTest::addColumn<int>("startDelayMs");
    QTest::addColumn<int>("restartAfterMs");
    QTest::newRow("stop and start while the first fare is awaited") << 10 << 150;
    QTest::newRow("stop and start in the start wait") << 300 << 100;
}

void TstMonitor::restartDuringAStoppedRound_waitsForItsEnd() {
    QFETCH(int, startDelayMs);
    QFETCH(int, restartAfterMs);
    Rig rig;
    rig.addRoutes({u"480"_s, u"570"_s});
    rig.source.setFare(u"成都"_s, u"480"_s, 300);
    Monitor monitor{rig.routes,           rig.log, rig.fares, rig.push, rig.frontEnd, rig.clock,
                    {startDelayMs, 60000}};
    bool overlapped = false;
    QObject::connect(&rig.log, &StatusLog::lineAppended, [&](int, const QString& line) {
        // The restart's own start line must not come while the stopped round still runs.
        overlapped = overlapped || (line.contains(u"已开启自动查询") && monitor.roundRunning());
    });
    QTimer::singleShot(restartAfterMs, [&] {
        monitor.stopMonitoring();
        monitor.startMonitoring();
        QVERIFY(monitor.isMonitoring()); // the buttons show the restart at once
    });
    monitor.startMonitoring();
    QTRY_COMPARE_WITH_TIMEOUT(rig.logTexts().count(u"本轮航班搜索结束！"_s), 2, 10000);
    QVERIFY(!overlapped);
    const QStringList texts = rig.logTexts();
    QCOMPARE(texts.count(u"已开启自动查询，每轮自动刷时间隔为：记录数*60秒！"_s), 2);
    QVERIFY(texts.indexOf(u"本轮航班搜索结束！"_s) <
            texts.lastIndexOf(u"已开启自动查询，每轮自动刷时间隔为：记录数*60秒！"_s));
    // The stopped round ends after its first route and alerts nobody; the restart's round
    // alerts once.
    QCOMPARE(rig.frontEnd.calls.count(u"alert window: 1"_s), 1);
    QVERIFY(monitor.isMonitoring());
    QCOMPARE(monitor.timer().interval(), 2 * 60000);
}

void TstMonitor::timerInterval_neverOverflows_data() {
    QTest::addColumn<int>("routes");
    QTest::addColumn<qint64>("periodPerRouteMs");
    QTest::addColumn<int>("interval");
    QTest::newRow("the usual minute a route") << 3 << qint64(60000) << 3 * 60000;
    QTest::newRow("past what an int holds")
        << 3 << qint64(1'000'000'000) << std::numeric_limits<int>::max();
    QTest::newRow("past what the product holds")
        << 3 << std::numeric_limits<qint64>::max() << std::numeric_limits<int>::max();
}

void TstMonitor::timerInterval_neverOverflows() {
    QFETCH(int, routes);
    QFETCH(qint64, periodPerRouteMs);
    QFETCH(int, interval);
    Rig rig;
    rig.addRoutes(QStringList(routes, u"560"_s).mid(0, routes));
    Monitor monitor{rig.routes,           rig.log, rig.fares, rig.push, rig.frontEnd, rig.clock,
                    {0, periodPerRouteMs}};
    monitor.startMonitoring();
    QCOMPARE(monitor.timer().interval(), interval);
    QVERIFY(monitor.timer().isActive());
}

// Two monitors of one data directory, in this process or two, would push every fare twice.
void TstMonitor::secondMonitorOnTheDirectory_isRefusedUntilTheFirstStops() {
    Rig first;
    first.addRoutes({u"560"_s});
    first.monitor.setExclusiveIn(first.dir.path());
    Rig second;
    second.addRoutes({u"560"_s});
    second.monitor.setExclusiveIn(first.dir.path());
    first.monitor.startMonitoring();
    QVERIFY(first.monitor.isMonitoring());
    second.monitor.startMonitoring();
    QVERIFY(!second.monitor.isMonitoring());
    QCOMPARE(second.frontEnd.calls,
             QStringList{u"message: 该数据目录已有另一个监控在运行："_s + first.dir.path()});
    QCOMPARE(second.source.calendarRequests(), 0);
    // Held between the rounds, given back by the stop.
    second.monitor.startMonitoring();
    QCOMPARE(second.frontEnd.calls.size(), 2);
    first.monitor.stopMonitoring();
    second.monitor.startMonitoring();
    QVERIFY(second.monitor.isMonitoring());
    QCOMPARE(second.source.calendarRequests(), 1);
}

void TstMonitor::directoryThatCannotBeLocked_refusesTheStartWithItsReason() {
    Rig rig;
    rig.addRoutes({u"560"_s});
    QVERIFY(QDir(rig.dir.path()).mkdir(u"monitor.lock"_s));
    rig.monitor.setExclusiveIn(rig.dir.path());
    rig.monitor.startMonitoring();
    QVERIFY(!rig.monitor.isMonitoring());
    QCOMPARE(rig.frontEnd.calls.size(), 1);
    QVERIFY2(rig.frontEnd.calls.first().contains(u"不是普通文件"_s),
             qPrintable(rig.frontEnd.calls.first()));
}

void TstMonitor::state_followsTheRounds_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("phases");
    QTest::addColumn<RoundCounts>("counts");
    QTest::newRow("a start runs the first round and waits for the next")
        << u"start"_s
        << QStringList{u"start wait"_s,
                       u"round 1 route 0/3"_s,
                       u"round 1 route 1/3 201411000"_s,
                       u"round 1 route 2/3 201411001"_s,
                       u"round 1 route 3/3 201411002"_s,
                       u"waiting"_s}
        << RoundCounts{3, 1, 0, 0};
    QTest::newRow("a stop in the start wait still ends its one-route round, then is off")
        << u"stop in the start wait"_s
        << QStringList{u"start wait"_s, u"off"_s, u"round 1 route 0/3"_s,
                       u"round 1 route 1/3 201411000"_s, u"off"_s}
        << RoundCounts{1, 0, 0, 0};
    QTest::newRow("a route deleted mid-round is never asked")
        << u"delete mid-round"_s
        << QStringList{u"round 1 route 0/3"_s, u"round 1 route 1/3 201411000"_s,
                       u"round 1 route 3/3 201411002"_s, u"waiting"_s}
        << RoundCounts{2, 0, 0, 0};
}

void TstMonitor::state_followsTheRounds() {
    QFETCH(QString, scenario);
    QFETCH(QStringList, phases);
    QFETCH(RoundCounts, counts);
    Rig rig;
    rig.addRoutes({u"560"_s, u"470"_s, u"580"_s});
    QList<MonitorStatus> seen;
    QObject::connect(&rig.monitor.state(), &MonitorState::changed,
                     [&](const MonitorStatus& status) { seen.append(status); });
    if (scenario == u"delete mid-round") {
        bool deleted = false;
        rig.source.onCalendarRequest = [&](const QByteArray&) {
            if (!std::exchange(deleted, true)) {
                QVERIFY(rig.book.removeRoute(u"201411001"));
                loadRouteBook(rig.book, rig.routes);
            }
        };
        rig.monitor.runRound();
    } else {
        if (scenario == u"stop in the start wait") {
            QTimer::singleShot(0, &rig.monitor, [&] { rig.monitor.stopMonitoring(); });
        }
        rig.monitor.startMonitoring();
    }
    QCOMPARE(phasesOf(seen), phases);
    const MonitorStatus& last = rig.monitor.state().status();
    QVERIFY(last.hasLastRound);
    QCOMPARE(last.lastCounts, counts);
    QCOMPARE(last.round, 1);
    if (last.phase == MonitorStatus::Phase::Waiting) {
        const qint64 wait = rig.clock.now().msecsTo(last.nextRoundAt);
        // A coarse timer may fire up to 5 % late, and says so in its remaining time.
        QVERIFY2(wait > 0 && wait <= 189000, qPrintable(QString::number(wait)));
    }
}

void TstMonitor::stateLine_saysThePhaseAndTheLastRound_data() {
    QTest::addColumn<MonitorStatus>("status");
    QTest::addColumn<QString>("line");
    const QDateTime now(QDate(2026, 12, 10), QTime(9, 5, 3));
    MonitorStatus status;
    QTest::newRow("off") << status << u"监控未开启"_s;
    status.phase = MonitorStatus::Phase::StartWait;
    QTest::newRow("the start wait") << status << u"即将开始第一轮"_s;
    status.phase = MonitorStatus::Phase::Round;
    status.round = 2;
    status.routeIndex = 4;
    status.routeCount = 12;
    status.routeId = u"20141116090503"_s;
    QTest::newRow("a round") << status << u"第 2 轮：正在搜索 4/12（20141116090503）"_s;
    status.hasLastRound = true;
    status.lastRoundMs = 3250;
    status.lastCounts = {10, 1, 2, 0};
    status.phase = MonitorStatus::Phase::Waiting;
    status.nextRoundAt = now.addSecs(42);
    QTest::newRow("waiting, with the last round's figures")
        << status << u"下一轮 09:05:45（还有 0:42） · 上一轮 3.3 秒：找到 10，特价 1，未找到 2"_s;
    status.lastCounts.stale = 3;
    QTest::newRow("stale routes among the counts")
        << status
        << u"下一轮 09:05:45（还有 0:42） · 上一轮 3.3 秒：找到 10，特价 1，未找到 2，长期未找到 3"_s;
    status.nextRoundAt = now.addSecs(3 * 3600 + 62);
    status.hasLastRound = false;
    QTest::newRow("a wait of hours") << status << u"下一轮 12:06:05（还有 3:01:02）"_s;
    status.nextRoundAt = now.addSecs(-5);
    QTest::newRow("a round that is late") << status << u"下一轮 09:04:58（还有 0:00）"_s;
}

void TstMonitor::stateLine_saysThePhaseAndTheLastRound() {
    QFETCH(MonitorStatus, status);
    QFETCH(QString, line);
    QCOMPARE(monitorStateLine(status, QDateTime(QDate(2026, 12, 10), QTime(9, 5, 3))), line);
}

void TstMonitor::flexibleDays_alertForTheCheapestDayOfTheWindow_data() {
    QTest::addColumn<int>("days");          // the route's flexible days
    QTest::addColumn<QString>("fare");      // of its own day, 2014-11-20; alert price 500
    QTest::addColumn<QStringList>("other"); // the answer's other days
    QTest::addColumn<QString>("alerted");   // "date fare", empty for no alert
    QTest::addColumn<bool>("highlighted");
    const QStringList nextDay{u"2014-11-21=450"_s};
    QTest::newRow("off by default: another day's fare never alerts")
        << 0 << u"520"_s << nextDay << QString() << false;
    QTest::newRow("a cheap day inside the window alerts and is named")
        << 1 << u"520"_s << nextDay << u"2014-11-21 450"_s << false;
    QTest::newRow("a cheap day outside the window does not")
        << 1 << u"520"_s << QStringList{u"2014-11-22=450"_s} << QString() << false;
    QTest::newRow("the cheapest of the window is named, the own day keeps its highlight")
        << 3 << u"480"_s << QStringList{u"2014-11-19=470"_s, u"2014-11-23=460"_s}
        << u"2014-11-23 460"_s << true;
    QTest::newRow("a tie goes to the route's own day")
        << 2 << u"480"_s << QStringList{u"2014-11-21=480"_s} << u"2014-11-20 480"_s << true;
    QTest::newRow("a day with a fare alerts when the own day has none")
        << 2 << u"0"_s << QStringList{u"2014-11-18=490"_s} << u"2014-11-18 490"_s << false;
}

void TstMonitor::flexibleDays_alertForTheCheapestDayOfTheWindow() {
    QFETCH(int, days);
    QFETCH(QString, fare);
    QFETCH(QStringList, other);
    QFETCH(QString, alerted);
    QFETCH(bool, highlighted);
    Rig rig;
    rig.addRoutes({fare});
    rig.source.setOtherDays(u"成都"_s, other);
    MonitorRules rules;
    if (days > 0) {
        rules.flexibleDays.insert(u"201411000"_s, days);
    }
    rig.useRules(rules);
    QString said;
    QObject::connect(&rig.monitor, &Monitor::specialFaresAlerted,
                     [&](const QList<FareObservation>& fares) {
                         said = fares.value(0).depDate + u' ' + fares.value(0).fare;
                     });
    rig.monitor.runRound();
    QCOMPARE(said, alerted);
    QCOMPARE(rig.frontEnd.calls.count(u"sound"_s), alerted.isEmpty() ? 0 : 1);
    // The row shows the route's own day, highlighted by its own fare alone.
    QCOMPARE(rig.routes.cell(0, RouteListModel::LowestFareColumn),
             fare == u"0" ? notFoundText() : fare);
    QCOMPARE(rig.monitor.specialFares().size(), highlighted ? 1 : 0);
    const bool namedAnotherDay = !alerted.isEmpty() && !alerted.startsWith(u"2014-11-20"_s);
    QCOMPARE(
        rig.logTexts().filter(u"天内"_s),
        namedAnotherDay
            ? QStringList{u"航线：201411000，前后 %1 天内 %2 的价格：%3，有特价票！"_s.arg(
                  QString::number(days), alerted.section(u' ', 0, 0), alerted.section(u' ', 1))}
            : QStringList{});
}

void TstMonitor::retryAfter_isReadAsSecondsOrADate_data() {
    QTest::addColumn<QString>("headers");
    QTest::addColumn<int>("seconds");
    QTest::newRow("seconds") << u"HTTP/1.1 429 No\r\nRetry-After: 120\r\n"_s << 120;
    QTest::newRow("a date")
        << u"HTTP/1.1 429 No\r\nretry-after: Thu, 10 Dec 2026 09:10:03 GMT\r\n"_s << 300;
    QTest::newRow("a date gone by") << u"Retry-After: Thu, 10 Dec 2026 09:00:03 GMT\r\n"_s << 0;
    QTest::newRow("more than a day is a day") << u"Retry-After: 999999\r\n"_s << 86400;
    QTest::newRow("words") << u"Retry-After: soon\r\n"_s << 0;
    QTest::newRow("none") << u"HTTP/1.1 429 No\r\n"_s << 0;
}

void TstMonitor::retryAfter_isReadAsSecondsOrADate() {
    QFETCH(QString, headers);
    QFETCH(int, seconds);
    QCOMPARE(retryAfterSeconds(headers, QDateTime(QDate(2026, 12, 10), QTime(9, 5, 3), Qt::UTC)),
             seconds);
}

QTEST_GUILESS_MAIN(TstMonitor)
#include "tst_monitor.moc"
