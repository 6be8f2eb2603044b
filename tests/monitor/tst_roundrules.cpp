#include "app/FareSource.h"
#include "app/RouteListModel.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"
#include "common/FakeFrontEnd.h"
#include "monitor/AlertGate.h"
#include "monitor/BackOff.h"
#include "monitor/FarePush.h"
#include "monitor/Monitor.h"
#include "monitor/QuietHours.h"
#include "monitor/RouteWatchdog.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

// A fare source that answers from memory, with no server at all.
class MemoryFareSource final : public FareSource {
public:
    FareAnswer queryFare(const FareQuestion& question) override {
        asked.append(question.routeId);
        const QString fare = fares.value(question.routeId, u"0"_s);
        if (fare == u"0") {
            return {notFoundText(), {}, FareOutcome::NoEntryForDay, u"domestic"_s, 200, 0};
        }
        return {fare, {{question.depDate, fare}}, FareOutcome::Found, u"domestic"_s, 200, 0};
    }
    CityCheck checkCities(const QString&, const QString&) override {
        return {u"true&domestic"_s, {}};
    }
    QString searchPageUrl(const QString&, const QString& dep, const QString& arr,
                          const QString& day) const override {
        return u"https://fares.example/%1-%2/%3"_s.arg(dep, arr, day);
    }

    QHash<QString, QString> fares; // by route identifier; "0" or missing: not found
    QStringList asked;
};

class CountingPush final : public FarePush {
public:
    void pushSpecialFares(const QList<SpecialFare>& fares, QDateTime&) override {
        pushed.append(int(fares.size()));
    }
    QList<int> pushed;
};

FareAnswer answerOf(const QString& text) {
    // "found", "miss", or an HTTP status with ":N" for a Retry-After of N seconds.
    if (text == u"found") {
        return {u"480"_s, {}, FareOutcome::Found, {}, 200, 0};
    }
    if (text == u"miss") {
        return {notFoundText(), {}, FareOutcome::HttpStatus, {}, 404, 0};
    }
    const QStringList parts = text.split(u':');
    return {notFoundText(),        {}, FareOutcome::HttpStatus, {}, parts[0].toInt(),
            parts.value(1).toInt()};
}

FareObservation special(const QString& routeId, const QString& fare) {
    FareObservation seen;
    seen.routeId = routeId;
    seen.fare = fare;
    seen.alertPrice = u"500"_s;
    seen.special = true;
    return seen;
}

// A monitor over a route list in memory and a fare source in memory.
struct MemoryRound {
    FakeClock clock{QDateTime(QDate(2014, 11, 1), QTime(9, 5, 3))};
    RouteListModel routes;
    StatusLog log{clock};
    MemoryFareSource source;
    CountingPush push;
    FakeFrontEnd frontEnd;
    Monitor monitor{routes, log, source, push, frontEnd, clock, {0, 60000}};
    QList<int> waits; // what the confirming waits were asked to wait

    explicit MemoryRound(const MonitorRules& rules) {
        monitor.setRulesSource([rules] { return ReadResult<MonitorRules>{rules, {}}; });
        monitor.setConfirmWait([this](int ms) {
            waits.append(ms);
            if (onConfirmWait) {
                onConfirmWait();
            }
        });
        routes.setRoutes(
            {{u"1"_s, u"成都"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, u"domestic"_s},
             {u"2"_s, u"北京"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, u"domestic"_s}});
    }
    std::function<void()> onConfirmWait;
};

} // namespace

class TstRoundRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void backOff_data();
    void backOff();
    void alertGate_data();
    void alertGate();
    void quietHours_data();
    void quietHours();
    void quietHours_holdTheLatestFareOfEachRouteUntilTheyEnd();
    void watchdog_data();
    void watchdog();
    void round_overAFareSourceInMemory();
    void round_forgetsTheWatchOfADeletedRoute();
    void round_withUnreadableRules_saysSoAndKeepsTheOldOnes();
    void round_stopEndsTheConfirmingWait();
    void round_confirmsWithoutWaitingRealSeconds_data();
    void round_confirmsWithoutWaitingRealSeconds();
};

void TstRoundRules::backOff_data() {
    QTest::addColumn<bool>("ruleOn");
    QTest::addColumn<double>("spread");
    // Each round's answers, by commas: "found", "miss", or a status with ":N" a Retry-After.
    QTest::addColumn<QStringList>("rounds");
    QTest::addColumn<QList<int>>("intervals");
    QTest::addColumn<int>("lines"); // the rounds whose change is said
    QTest::newRow("off: the plain interval whatever comes")
        << false << 1.0 << QStringList{u"500"_s, u"500"_s} << QList<int>{120000, 120000} << 0;
    QTest::newRow("each round refused in full doubles the interval")
        << true << 1.0 << QStringList{u"500"_s, u"503"_s} << QList<int>{240000, 480000} << 2;
    QTest::newRow("up to 8 times the plain interval")
        << true << 1.0 << QStringList{u"500"_s, u"500"_s, u"500"_s, u"500"_s}
        << QList<int>{240000, 480000, 960000, 960000} << 3;
    QTest::newRow("a round refused in part changes nothing")
        << true << 1.0 << QStringList{u"500,miss"_s} << QList<int>{120000} << 0;
    QTest::newRow("the first round that finds a fare restores it")
        << true << 1.0 << QStringList{u"502"_s, u"found,500"_s, u"found"_s}
        << QList<int>{240000, 120000, 120000} << 2;
    QTest::newRow("a longer Retry-After of a 429 is honoured")
        << true << 1.0 << QStringList{u"429:1000"_s} << QList<int>{1000000} << 1;
    QTest::newRow("a shorter Retry-After changes nothing")
        << true << 1.0 << QStringList{u"429:10"_s} << QList<int>{240000} << 1;
    QTest::newRow("a 404 is no refusal")
        << true << 1.0 << QStringList{u"404"_s} << QList<int>{120000} << 0;
    QTest::newRow("the spread is at most 10 % up")
        << true << 1.5 << QStringList{u"500"_s} << QList<int>{264000} << 1;
    QTest::newRow("the spread is at most 10 % down")
        << true << 0.5 << QStringList{u"500"_s} << QList<int>{216000} << 1;
}

void TstRoundRules::backOff() {
    QFETCH(bool, ruleOn);
    QFETCH(double, spread);
    QFETCH(QStringList, rounds);
    QFETCH(QList<int>, intervals);
    QFETCH(int, lines);
    BackOff backOff;
    QList<int> seen;
    int said = 0;
    for (const QString& round : rounds) {
        backOff.beginRound();
        for (const QString& answer : round.split(u',')) {
            backOff.noteAnswer(answerOf(answer));
        }
        const BackOff::Next next = backOff.nextInterval(ruleOn, 120000, spread);
        seen.append(next.intervalMs);
        said += next.said.isEmpty() ? 0 : 1;
    }
    QCOMPARE(seen, intervals);
    QCOMPARE(said, lines);
}

void TstRoundRules::alertGate_data() {
    QTest::addColumn<bool>("oncePerDrop");
    QTest::addColumn<double>("dropBy");
    // Each round's fare of one route (alert price 500): a number, or "rise" for a fare
    // above the alert price.
    QTest::addColumn<QStringList>("fares");
    QTest::addColumn<QList<bool>>("alerts");
    QTest::newRow("off: every special fare alerts")
        << false << 1.0 << QStringList{u"480"_s, u"480"_s} << QList<bool>{true, true};
    QTest::newRow("a fare that stays special alerts once")
        << true << 1.0 << QStringList{u"480"_s, u"480"_s, u"480"_s}
        << QList<bool>{true, false, false};
    QTest::newRow("a further drop by 1 alerts again")
        << true << 1.0 << QStringList{u"480"_s, u"479.5"_s, u"479"_s}
        << QList<bool>{true, false, true};
    QTest::newRow("a drop smaller than X does not")
        << true << 50.0 << QStringList{u"480"_s, u"440"_s, u"430"_s}
        << QList<bool>{true, false, true};
    QTest::newRow("a rise above the alert price re-arms")
        << true << 1.0 << QStringList{u"480"_s, u"rise"_s, u"490"_s}
        << QList<bool>{true, false, true};
}

void TstRoundRules::alertGate() {
    QFETCH(bool, oncePerDrop);
    QFETCH(double, dropBy);
    QFETCH(QStringList, fares);
    QFETCH(QList<bool>, alerts);
    AlertGate gate;
    QList<bool> seen;
    for (const QString& fare : fares) {
        if (fare == u"rise") {
            gate.rearm(u"1"_s);
            seen.append(false);
            continue;
        }
        const bool lets = gate.lets(u"1"_s, fare.toDouble(), oncePerDrop, dropBy);
        if (lets) {
            gate.alerted(u"1"_s, fare.toDouble());
        }
        seen.append(lets);
    }
    QCOMPARE(seen, alerts);
}

void TstRoundRules::quietHours_data() {
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("to");
    QTest::addColumn<double>("urgentPercent");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QString>("fare"); // alert price 500
    QTest::addColumn<bool>("alertsNow");
    const QTime nine(9, 0);
    const QTime ten(10, 0);
    const QTime night(22, 0);
    const QTime morning(6, 0);
    QTest::newRow("not set: never quiet")
        << QTime() << QTime() << 0.0 << QTime(9, 30) << u"480"_s << true;
    QTest::newRow("only one end set: never quiet")
        << nine << QTime() << 0.0 << QTime(9, 30) << u"480"_s << true;
    QTest::newRow("inside the day's hours: held")
        << nine << ten << 0.0 << QTime(9, 30) << u"480"_s << false;
    QTest::newRow("their first minute: held") << nine << ten << 0.0 << nine << u"480"_s << false;
    QTest::newRow("their end is not part of them") << nine << ten << 0.0 << ten << u"480"_s << true;
    QTest::newRow("across midnight, late evening: held")
        << night << morning << 0.0 << QTime(23, 30) << u"480"_s << false;
    QTest::newRow("across midnight, at midnight: held")
        << night << morning << 0.0 << QTime(0, 0) << u"480"_s << false;
    QTest::newRow("across midnight, early morning: held")
        << night << morning << 0.0 << QTime(5, 59, 59) << u"480"_s << false;
    QTest::newRow("across midnight, at its end: alerts")
        << night << morning << 0.0 << morning << u"480"_s << true;
    QTest::newRow("across midnight, at noon: alerts")
        << night << morning << 0.0 << QTime(12, 0) << u"480"_s << true;
    QTest::newRow("more than Y % under the price breaks through")
        << night << morning << 5.0 << QTime(23, 0) << u"474"_s << true;
    QTest::newRow("exactly Y % under the price is held")
        << night << morning << 5.0 << QTime(23, 0) << u"475"_s << false;
}

void TstRoundRules::quietHours() {
    QFETCH(QTime, from);
    QFETCH(QTime, to);
    QFETCH(double, urgentPercent);
    QFETCH(QTime, now);
    QFETCH(QString, fare);
    QFETCH(bool, alertsNow);
    MonitorRules rules;
    rules.quietFrom = from;
    rules.quietTo = to;
    rules.urgentPercent = urgentPercent;
    QuietHours quiet;
    const QList<int> through = quiet.letThrough({special(u"1"_s, fare)}, rules, now);
    QCOMPARE(through, alertsNow ? QList<int>{0} : QList<int>{});
    QCOMPARE(quiet.heldCount(), alertsNow ? 0 : 1);
    // Nothing is summarised while the hours last.
    QVERIFY(quiet.takeSummary(rules, now).isEmpty() || alertsNow);
}

void TstRoundRules::quietHours_holdTheLatestFareOfEachRouteUntilTheyEnd() {
    MonitorRules rules;
    rules.quietFrom = QTime(22, 0);
    rules.quietTo = QTime(6, 0);
    QuietHours quiet;
    QVERIFY(
        quiet
            .letThrough({special(u"1"_s, u"480"_s), special(u"2"_s, u"490"_s)}, rules, QTime(23, 0))
            .isEmpty());
    QVERIFY(quiet.letThrough({special(u"1"_s, u"470"_s)}, rules, QTime(2, 0)).isEmpty());
    QVERIFY(quiet.takeSummary(rules, QTime(5, 0)).isEmpty());
    const QList<FareObservation> summary = quiet.takeSummary(rules, QTime(6, 0, 1));
    QCOMPARE(summary.size(), 2);
    QCOMPARE(summary[0].routeId, u"2"_s);
    QCOMPARE(summary[1].routeId + u' ' + summary[1].fare, u"1 470"_s);
    QVERIFY(quiet.takeSummary(rules, QTime(7, 0)).isEmpty()); // said once
}

void TstRoundRules::watchdog_data() {
    // Each round: "found" or "miss", then "+H" for the hours that pass before it.
    QTest::addColumn<QStringList>("rounds");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<int>("staleAtTheEnd");
    const QString stale3 =
        u"航线 1 已连续 3 轮未找到：%1"_s.arg(fareOutcomeText(FareOutcome::HttpStatus));
    QTest::newRow("K rounds in a row not found, said once")
        << QStringList{u"miss"_s, u"miss"_s, u"miss"_s, u"miss"_s} << QStringList{stale3} << 1;
    QTest::newRow("a fare found in between starts the count again")
        << QStringList{u"miss"_s, u"miss"_s, u"found"_s, u"miss"_s, u"miss"_s} << QStringList{}
        << 0;
    QTest::newRow("the recovery is said once too")
        << QStringList{u"miss"_s, u"miss"_s, u"miss"_s, u"found"_s, u"found"_s}
        << QStringList{stale3, u"航线 1 已恢复，当前最低价格：480"_s} << 0;
    QTest::newRow("T hours without a fare") << QStringList{u"found"_s, u"miss +25"_s}
                                            << QStringList{u"航线 1 已 25 小时未找到票价：%1"_s.arg(
                                                   fareOutcomeText(FareOutcome::HttpStatus))}
                                            << 1;
    QTest::newRow("T hours counted from the first query")
        << QStringList{u"miss"_s, u"miss +24"_s}
        << QStringList{u"航线 1 已 24 小时未找到票价：%1"_s.arg(
               fareOutcomeText(FareOutcome::HttpStatus))}
        << 1;
}

void TstRoundRules::watchdog() {
    QFETCH(QStringList, rounds);
    QFETCH(QStringList, said);
    QFETCH(int, staleAtTheEnd);
    FakeClock clock;
    RouteWatchdog watchdog;
    QStringList seen;
    QString tip;
    for (const QString& round : rounds) {
        if (const qsizetype plus = round.indexOf(u'+'); plus > 0) {
            clock.advanceSeconds(round.mid(plus + 1).toInt() * 3600);
        }
        const RouteWatchdog::Verdict verdict =
            watchdog.watch(u"1"_s, answerOf(round.section(u' ', 0, 0)), clock.now(), 3, 24);
        if (!verdict.said.isEmpty()) {
            seen.append(verdict.said);
        }
        tip = verdict.tip;
    }
    QCOMPARE(seen, said);
    QCOMPARE(watchdog.staleCount(), staleAtTheEnd);
    QCOMPARE(tip, staleAtTheEnd > 0 ? said.first() : QString());
}

// A whole round with every rule on, and not one byte sent anywhere.
void TstRoundRules::round_overAFareSourceInMemory() {
    MonitorRules rules;
    rules.oncePerDrop = true;
    rules.watchdog = true;
    rules.staleRounds = 2;
    rules.backOff = true;
    MemoryRound round(rules);
    round.source.fares = {{u"1"_s, u"480"_s}};
    QSignalSpy alerted(&round.monitor, &Monitor::specialFaresAlerted);
    QSignalSpy notices(&round.monitor, &Monitor::routeNotice);
    round.monitor.runRound();
    round.monitor.runRound();
    QCOMPARE(round.source.asked, (QStringList{u"1"_s, u"2"_s, u"1"_s, u"2"_s}));
    QCOMPARE(alerted.size(), 1); // once per drop
    QCOMPARE(round.push.pushed, QList<int>{1});
    QCOMPARE(round.routes.cell(0, RouteListModel::LowestFareColumn), u"480"_s);
    QCOMPARE(round.routes.cell(1, RouteListModel::LowestFareColumn), notFoundText());
    QCOMPARE(notices.size(), 1);                // route 2, stale after two rounds
    QCOMPARE(round.monitor.backOffFactor(), 1); // a fare was found
}

// A stale route that is deleted is no longer counted, and a new route with its identifier
// starts afresh.
void TstRoundRules::round_forgetsTheWatchOfADeletedRoute() {
    MonitorRules rules;
    rules.watchdog = true;
    rules.staleRounds = 1;
    MemoryRound round(rules);
    round.monitor.runRound(); // neither route has a fare: both stale
    QCOMPARE(round.monitor.state().status().lastCounts.stale, 2);
    round.routes.removeRows(1, 1);
    round.monitor.runRound();
    QCOMPARE(round.monitor.state().status().lastCounts.stale, 1);
    round.routes.setRoutes(
        {{u"1"_s, u"成都"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, u"domestic"_s},
         {u"2"_s, u"广州"_s, u"上海"_s, u"2014-11-21"_s, u"500"_s, u"domestic"_s}});
    QSignalSpy notices(&round.monitor, &Monitor::routeNotice);
    round.monitor.runRound();
    QCOMPARE(notices.size(), 1); // the new route 2 is said stale as a route of its own
}

// A rules file that cannot be read neither stops the rounds nor switches the rules off
// unseen: the round says why and keeps the rules it had.
void TstRoundRules::round_withUnreadableRules_saysSoAndKeepsTheOldOnes() {
    MonitorRules rules;
    rules.oncePerDrop = true;
    MemoryRound round(rules);
    round.source.fares = {{u"1"_s, u"480"_s}};
    round.monitor.runRound();
    round.monitor.setRulesSource([] {
        return ReadResult<MonitorRules>{MonitorRules(), u"是一个文件夹"_s};
    });
    QSignalSpy alerted(&round.monitor, &Monitor::specialFaresAlerted);
    QSignalSpy unreadable(&round.monitor, &Monitor::rulesUnreadable);
    round.monitor.runRound();
    round.monitor.runRound();
    QCOMPARE(unreadable.size(), 1);
    QVERIFY(round.monitor.rules().oncePerDrop);
    QCOMPARE(alerted.size(), 0); // once per drop still holds
    // Said once while the reason stays the same.
    const QString said = u"无法读取监控规则（是一个文件夹），沿用上次读到的规则"_s;
    QCOMPARE(round.log.lines().filter(said).size(), 1);
}

// An hour's confirming wait ends with the stop that comes during it, and nothing alerts.
void TstRoundRules::round_stopEndsTheConfirmingWait() {
    MonitorRules rules;
    rules.confirmSeconds = 3600;
    MemoryRound round(rules);
    // The program's own wait, with a stop as soon as it has begun.
    round.monitor.setConfirmWait([&](int ms) {
        QTimer::singleShot(0, &round.monitor, [&] { round.monitor.stopMonitoring(); });
        round.monitor.waitUnlessStopped(ms);
    });
    round.source.fares = {{u"1"_s, u"480"_s}};
    QSignalSpy alerted(&round.monitor, &Monitor::specialFaresAlerted);
    QElapsedTimer waited;
    waited.start();
    round.monitor.runRound();
    QVERIFY2(waited.elapsed() < 60000, qPrintable(QString::number(waited.elapsed())));
    QCOMPARE(alerted.size(), 0);
    QCOMPARE(round.source.asked, (QStringList{u"1"_s, u"2"_s})); // not asked again
}

void TstRoundRules::round_confirmsWithoutWaitingRealSeconds_data() {
    QTest::addColumn<QString>("again"); // the fare when asked again
    QTest::addColumn<int>("alerts");
    QTest::newRow("still special when asked again: alerts") << u"470"_s << 1;
    QTest::newRow("gone when asked again: no alert") << u"520"_s << 0;
    QTest::newRow("not found when asked again: no alert") << u"0"_s << 0;
}

void TstRoundRules::round_confirmsWithoutWaitingRealSeconds() {
    QFETCH(QString, again);
    QFETCH(int, alerts);
    MonitorRules rules;
    rules.confirmSeconds = 600;
    MemoryRound round(rules);
    round.source.fares = {{u"1"_s, u"480"_s}};
    round.onConfirmWait = [&] { round.source.fares[u"1"_s] = again; };
    QSignalSpy alerted(&round.monitor, &Monitor::specialFaresAlerted);
    round.monitor.runRound();
    QCOMPARE(round.waits, QList<int>{600000});
    QCOMPARE(alerted.size(), alerts);
    QCOMPARE(round.frontEnd.calls.count(u"sound"_s), alerts);
    QCOMPARE(round.source.asked, (QStringList{u"1"_s, u"2"_s, u"1"_s}));
}

QTEST_GUILESS_MAIN(TstRoundRules)
#include "tst_roundrules.moc"
