#include "Monitor.h"

#include "FarePush.h"
#include "app/Clock.h"
#include "app/EventWaits.h"
#include "app/FareSource.h"
#include "app/FrontEnd.h"
#include "app/NearbyDays.h"
#include "app/Stamp.h"
#include "app/StatusLog.h"
#include "store/FileLock.h"
#include "text/LogCategories.h"
#include "text/Text.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <utility>

namespace skylark {

using namespace Qt::Literals::StringLiterals;
namespace {

// The timer's interval for a round of that many routes, computed without overflow and
// cut to what a timer can hold.
int roundInterval(qint64 routes, qint64 periodPerRouteMs) {
    constexpr qint64 kLongest = std::numeric_limits<int>::max();
    const qint64 interval = routes * qBound<qint64>(0, periodPerRouteMs, kLongest);
    return int(qMin(interval, kLongest));
}

} // namespace

Monitor::Monitor(RouteListModel& routes, StatusLog& log, FareSource& fares, FarePush& push,
                 FrontEnd& frontEnd, const Clock& clock, MonitorTiming timing, QObject* parent)
    : QObject(parent)
    , m_routes(routes)
    , m_log(log)
    , m_fares(fares)
    , m_push(push)
    , m_frontEnd(frontEnd)
    , m_clock(clock)
    , m_timing(timing) {
    connect(&m_timer, &IntervalTimer::tick, this, &Monitor::runRound);
}

Monitor::~Monitor() = default;

void Monitor::log(const QString& text) {
    m_log.appendLog(text);
    processPendingEvents();
}

void Monitor::setMonitoring(bool monitoring) {
    if (m_monitoring != monitoring) {
        m_monitoring = monitoring;
        Q_EMIT monitoringChanged(monitoring);
    }
}

void Monitor::startMonitoring() {
    if (m_monitoring) {
        return; // the start button is disabled meanwhile
    }
    if (busy()) {
        // A stopped round is still running: one round at a time, so this start waits
        // for its end and then begins afresh.
        m_startQueued = true;
        setMonitoring(true);
        return;
    }
    if (!takeDirectoryLock()) {
        return;
    }
    m_lastPushTime = m_clock.now().addDays(-1);
    m_backOff.reset();
    m_routes.clearCellColours();
    const int rows = m_routes.rowCount();
    for (int row = 0; row < rows; ++row) {
        m_routes.setCell(row, RouteListModel::StatusColumn, QString());
    }
    if (rows == 0) {
        log(u"无需要监控的记录！请先添加监控航线后再开启监控！"_s);
        m_frontEnd.showInformation(u"没有要监控的记录！请先添加监控航线后再开启监控！"_s);
        releaseDirectoryLockWhenIdle();
        return;
    }
    m_stopRequested = false;
    // Busy from here on: the log line below already lets a stop or a start run.
    m_startWaiting = true;
    setMonitoring(true);
    m_state.startWaiting();
    log(u"已开启自动查询，每轮自动刷时间隔为：记录数*60秒！"_s);
    m_routes.setCell(0, RouteListModel::StatusColumn, u"3秒后开始自动查询..."_s);
    processPendingEvents();
    waitProcessingEvents(m_timing.startDelayMs);
    runRound();
    m_startWaiting = false;
    releaseDirectoryLockWhenIdle();
    runQueuedStart();
}

void Monitor::waitUnlessStopped(int ms) {
    QEventLoop wait;
    m_stoppableWait = &wait;
    QTimer::singleShot(ms, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec();
    m_stoppableWait = nullptr;
}

void Monitor::stopMonitoring() {
    if (m_stoppableWait) {
        m_stoppableWait->quit(); // a stop ends the confirming wait at once
    }
    m_timer.setInterval(0);
    m_stopRequested = true;
    m_startQueued = false;
    setMonitoring(false);
    m_state.switchOff();
    releaseDirectoryLockWhenIdle();
}

QList<int> Monitor::alertingFares() {
    QList<int> alerting;
    for (int i = 0; i < m_alerts.size(); ++i) {
        const FareObservation& seen = m_alerts[i].observation;
        if (m_gate.lets(seen.routeId, textToNumber(seen.fare), m_rules.oncePerDrop,
                        m_rules.dropBy)) {
            alerting.append(i);
        }
    }
    if (m_rules.confirmSeconds <= 0 || alerting.isEmpty()) {
        return alerting;
    }
    // Stale caches and sold-out fares: each is asked for once more before it alerts.
    if (m_confirmWait) {
        m_confirmWait(m_rules.confirmSeconds * 1000);
    } else {
        waitUnlessStopped(m_rules.confirmSeconds * 1000);
    }
    QList<int> confirmed;
    for (int i : alerting) {
        if (m_stopRequested) {
            return {};
        }
        const FareObservation& seen = m_alerts[i].observation;
        const FareAnswer again =
            m_fares.queryFare({seen.routeId, seen.depCityName, seen.arrCityName, seen.depDate});
        const bool still =
            again.outcome == FareOutcome::Found && isSpecialFare(again.fare, seen.alertPrice);
        log((still ? u"已确认特价票：航线 %1，当前最低价格：%2"_s
                   : u"特价票未能确认：航线 %1，当前最低价格：%2"_s)
                .arg(seen.routeId, again.fare));
        if (still) {
            confirmed.append(i);
        }
    }
    return confirmed;
}

void Monitor::noteAlert(const FareObservation& seen, const QString& time) {
    const int flexible = m_rules.flexibleDays.value(seen.routeId);
    FareObservation alerting = seen; // the day that alerts
    bool fareSeen = seen.outcome == FareOutcome::Found;
    if (flexible > 0) {
        const std::optional<DayFare> cheapest =
            cheapestDayWithin(seen.calendar, seen.depDate, flexible);
        fareSeen = cheapest.has_value();
        alerting.special = cheapest && isSpecialFare(cheapest->fare, seen.alertPrice);
        if (alerting.special) {
            alerting.depDate = cheapest->date;
            alerting.fare = cheapest->fare;
        }
    }
    if (!alerting.special) {
        if (fareSeen) {
            m_gate.rearm(seen.routeId); // risen above its price: the next drop alerts
        }
        return;
    }
    m_alerts.append(
        {{seen.depCityName, seen.arrCityName, alerting.depDate, alerting.fare, time}, alerting});
    if (alerting.depDate != seen.depDate) {
        log(u"航线：%1，前后 %2 天内 %3 的价格：%4，有特价票！"_s.arg(
            seen.routeId, QString::number(flexible), alerting.depDate, alerting.fare));
    }
}

void Monitor::raiseAlerts() {
    const QList<int> passed = alertingFares();
    if (m_stopRequested) {
        return;
    }
    QList<FareObservation> candidates;
    for (int i : passed) {
        candidates.append(m_alerts[i].observation);
    }
    const QList<int> alertingNow = m_quiet.letThrough(candidates, m_rules, m_clock.now().time());
    if (alertingNow.size() < candidates.size()) {
        log(u"免打扰时段：%1 条特价票的提醒暂缓"_s.arg(candidates.size() - alertingNow.size()));
    }
    QList<SpecialFare> fares;
    QList<FareObservation> seen;
    for (int c = 0; c < candidates.size(); ++c) {
        // A fare held in the quiet hours counts as alerted for once-per-drop.
        m_gate.alerted(candidates[c].routeId, textToNumber(candidates[c].fare));
        if (alertingNow.contains(c)) {
            fares.append(m_alerts[passed[c]].fare);
            seen.append(candidates[c]);
        }
    }
    if (fares.isEmpty()) {
        return;
    }
    m_frontEnd.playAlertSound();
    if (!m_frontEnd.alertWindowSuppressed()) {
        m_frontEnd.showAlertWindow(fares);
    }
    m_push.pushSpecialFares(fares, m_lastPushTime);
    Q_EMIT specialFaresAlerted(seen);
}

void Monitor::sendHeldSummary() {
    const QList<FareObservation> held = m_quiet.takeSummary(m_rules, m_clock.now().time());
    if (held.isEmpty()) {
        return;
    }
    log(u"免打扰时段已结束：汇总发送 %1 条特价票提醒"_s.arg(held.size()));
    Q_EMIT specialFaresAlerted(held);
}

void Monitor::watchRoute(const QString& routeId, const RouteRef& route, const FareAnswer& answer,
                         const QDateTime& now) {
    const RouteWatchdog::Verdict verdict =
        m_watchdog.watch(routeId, answer, now, m_rules.staleRounds, m_rules.staleHours);
    if (const int row = currentRowOf(route); row >= 0) {
        m_routes.setStatusTip(row, verdict.tip);
    }
    if (!verdict.said.isEmpty()) {
        log(verdict.said);
        Q_EMIT routeNotice(verdict.said);
    }
}

int Monitor::nextInterval(int plainInterval) {
    const double spread = m_spread ? m_spread() : QRandomGenerator::global()->bounded(0.2) + 0.9;
    const BackOff::Next next = m_backOff.nextInterval(m_rules.backOff, plainInterval, spread);
    if (!next.said.isEmpty()) {
        log(next.said);
    }
    return next.intervalMs;
}

bool Monitor::takeDirectoryLock() {
    if (m_lockDirectory.isEmpty() || m_directoryLock) {
        return true;
    }
    auto lock = std::make_unique<FileLock>(m_lockDirectory + u"/monitor"_s, 0);
    if (!lock->locked()) {
        m_frontEnd.showInformation(lock->heldElsewhere()
                                       ? u"该数据目录已有另一个监控在运行："_s + m_lockDirectory
                                       : u"无法开启监控："_s + lock->reason());
        return false;
    }
    m_directoryLock = std::move(lock);
    return true;
}

void Monitor::releaseDirectoryLockWhenIdle() {
    if (!m_monitoring && !busy()) {
        m_directoryLock.reset();
    }
}

void Monitor::runQueuedStart() {
    if (!m_startQueued || busy()) {
        return;
    }
    m_startQueued = false;
    setMonitoring(false);
    // Begins once the finished round's handlers have returned.
    QMetaObject::invokeMethod(this, &Monitor::startMonitoring, Qt::QueuedConnection);
}

int Monitor::currentRowOf(const RouteRef& route) const {
    int seen = 0;
    for (int row = 0; row < m_routes.rowCount(); ++row) {
        if (m_routes.cell(row, RouteListModel::IdColumn) == route.routeId &&
            seen++ == route.occurrence) {
            return row;
        }
    }
    return -1;
}

// Queries one route and shows the result; false when its row is gone before the query.
// The row's status, its highlight and the log line of a route just asked for; a row of -1
// has gone and gets the log line alone.
void Monitor::showSearched(int row, const FareObservation& seen, const QString& fare,
                           const QString& time) {
    if (row >= 0 && seen.special) {
        m_specialFares.append({seen.depCityName, seen.arrCityName, seen.depDate, fare, time});
        for (int column = 0; column < RouteListModel::ColumnCount; ++column) {
            m_routes.setCellColour(row, column, kHighlightText, kHighlightBack);
        }
        m_routes.setCell(row, RouteListModel::StatusColumn, u"有特价票！"_s);
        log(u"航线："_s + seen.routeId + u"，当前最低价格："_s + fare + u"，有特价票！"_s);
        return;
    }
    if (row >= 0) {
        m_routes.setCell(row, RouteListModel::StatusColumn, u"已搜索"_s);
    }
    log(u"已搜索航线："_s + seen.routeId + u"，当前最低价格："_s + fare);
}

bool Monitor::queryRoute(const RouteRef& route) {
    int row = currentRowOf(route);
    if (row < 0) {
        return false;
    }
    const QString id = route.routeId;
    m_routes.setCell(row, RouteListModel::StatusColumn, u"搜索中..."_s);
    log(u"正在搜索航线："_s + id);
    row = currentRowOf(route);
    if (row < 0) {
        return false;
    }
    const QString depDate = m_routes.cell(row, RouteListModel::DateColumn);
    const QString depCity = m_routes.cell(row, RouteListModel::DepartureColumn);
    const QString arrCity = m_routes.cell(row, RouteListModel::ArrivalColumn);
    const QString alertPrice = m_routes.cell(row, RouteListModel::PriceColumn);
    const FareAnswer answer = m_fares.queryFare({id, depCity, arrCity, depDate});
    const QString& fare = answer.fare;

    // The wait for the answer may have let a delete rebuild the list.
    row = currentRowOf(route);
    const QDateTime now = m_clock.now();
    const QString time = makeStamp(now).clockText;
    const bool special = isSpecialFare(fare, alertPrice);
    const bool found = answer.outcome == FareOutcome::Found;
    m_backOff.noteAnswer(answer);
    if (row >= 0) {
        m_routes.setCell(row, RouteListModel::LowestFareColumn, fare);
        m_routes.setCell(row, RouteListModel::UpdateTimeColumn, time);
        m_routes.setFareReason(row, found ? QString() : fareOutcomeText(answer.outcome));
    }
    const FareObservation observation{id,
                                      depCity,
                                      arrCity,
                                      depDate,
                                      answer.routeKind,
                                      alertPrice,
                                      now,
                                      found ? fare : QString(),
                                      answer.outcome,
                                      special,
                                      answer.calendar};
    if (m_recorder) {
        m_recorder->record(observation);
    }
    m_state.countRoute(found, row >= 0 && special);
    Q_EMIT routeQueried(observation);
    showSearched(row, observation, fare, time);
    if (row >= 0) {
        noteAlert(observation, time);
    }
    if (m_rules.watchdog) {
        watchRoute(id, route, answer, now);
    }
    return true;
}

void Monitor::takeRules() {
    if (!m_rulesSource) {
        return;
    }
    ReadResult<MonitorRules> read = m_rulesSource();
    if (read.ok()) {
        m_rules = std::move(read.value);
        m_rulesRead = true;
        m_rulesProblem.clear();
        return;
    }
    // Said once for each reason, not every round while it lasts.
    if (read.error != m_rulesProblem) {
        m_rulesProblem = read.error;
        const QString said = (m_rulesRead ? u"无法读取监控规则（%1），沿用上次读到的规则"_s
                                          : u"无法读取监控规则（%1），使用默认规则"_s)
                                 .arg(read.error);
        log(said);
        Q_EMIT rulesUnreadable(said);
    }
}

// Only the routes still listed are watched and counted.
void Monitor::countStaleRoutes() {
    QSet<QString> listed;
    for (int row = 0; row < m_routes.rowCount(); ++row) {
        listed.insert(m_routes.cell(row, RouteListModel::IdColumn));
    }
    m_watchdog.keepOnly(listed);
    m_state.countStale(m_watchdog.staleCount());
}

void Monitor::runRound() {
    if (m_roundRunning) {
        return; // rounds never overlap: a tick during a round is skipped
    }
    m_roundRunning = true;
    takeRules();
    m_routes.clearCellColours();
    const int count = m_routes.rowCount();
    // The round's routes, taken now: later changes of the list move rows, not routes.
    QList<RouteRef> routes;
    QHash<QString, int> occurrences;
    for (int row = 0; row < count; ++row) {
        const QString id = m_routes.cell(row, RouteListModel::IdColumn);
        routes.append({id, occurrences[id]++});
    }
    log(u"共有待搜索航线："_s + QString::number(count) + u"条"_s);
    m_specialFares.clear();
    m_alerts.clear();
    if (m_recorder) {
        m_recorder->beginRound();
    }
    m_state.beginRound(int(routes.size()), m_clock.now());
    m_backOff.beginRound();

    for (qsizetype index = 0; index < routes.size(); ++index) {
        const RouteRef& route = routes[index];
        if (currentRowOf(route) >= 0) {
            m_state.askRoute(int(index) + 1, route.routeId);
        }
        const bool queried = queryRoute(route);
        if (queried && m_stopRequested) {
            break;
        }
    }

    if (m_recorder) {
        m_recorder->endRound();
    }
    m_timer.setInterval(
        m_stopRequested ? 0 : nextInterval(roundInterval(count, m_timing.periodPerRouteMs)));
    if (!m_stopRequested && !m_alerts.isEmpty()) {
        raiseAlerts();
    }
    if (!m_stopRequested) {
        sendHeldSummary();
    }
    const QDateTime now = m_clock.now();
    countStaleRoutes();
    m_state.endRound(now, m_timer.isActive() ? now.addMSecs(m_timer.remainingTime()) : QDateTime());
    log(u"本轮航班搜索结束！"_s);
    qCDebug(logMonitor) << "round ended:" << count << "routes, next in" << m_timer.interval()
                        << "ms, back-off factor" << m_backOff.factor();
    m_roundRunning = false;
    releaseDirectoryLockWhenIdle();
    Q_EMIT roundFinished();
    runQueuedStart();
}

} // namespace skylark
