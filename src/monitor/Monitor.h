#pragma once

#include "app/FareRecords.h"
#include "app/IntervalTimer.h"
#include "app/MonitorRules.h"
#include "app/RouteListModel.h"
#include "monitor/AlertGate.h"
#include "monitor/BackOff.h"
#include "monitor/FareRecorder.h"
#include "monitor/MonitorState.h"
#include "monitor/QuietHours.h"
#include "monitor/RouteWatchdog.h"

#include <QDateTime>
#include <QList>
#include <QObject>

class QEventLoop;

#include <functional>
#include <memory>

namespace skylark {

class Clock;
class FileLock;
class FareSource;
class FrontEnd;
class FarePush;
class RouteListModel;
class StatusLog;

struct MonitorTiming {
    int startDelayMs = 3000;         // from the start click to the first round
    qint64 periodPerRouteMs = 60000; // the timer's period for each route of the list
};

// Monitoring: the start and stop handlers and the rounds that walk the route list, query
// each route's fare, show it, highlight special fares and raise the alerts. Everything runs
// on one thread; waits keep its events flowing, so a stop click or a timer tick can run in
// the middle of a round. Rounds never overlap: a tick that falls due during a round is
// skipped, and a start clicked while a stopped round or start wait is still running takes
// effect once it has ended. A route deleted during a round is not queried once it is gone, and a
// route whose row disappears while it is being queried keeps its log line but gets no cells.
class Monitor : public QObject {
    Q_OBJECT

public:
    static constexpr RouteListModel::Rgb kHighlightText = 0x000000;
    static constexpr RouteListModel::Rgb kHighlightBack = 0xFFA000; // RGB(0, 160, 255)

    Monitor(RouteListModel& routes, StatusLog& log, FareSource& fares, FarePush& push,
            FrontEnd& frontEnd, const Clock& clock, MonitorTiming timing = {},
            QObject* parent = nullptr);
    ~Monitor() override;

    void startMonitoring();
    void stopMonitoring();
    void runRound();

    // True while the start and add buttons are disabled.
    bool isMonitoring() const { return m_monitoring; }
    bool roundRunning() const { return m_roundRunning; }
    // True from the start click until the end of the first round, and during every round.
    bool busy() const { return m_startWaiting || m_roundRunning; }
    bool stopRequested() const { return m_stopRequested; }
    const QList<SpecialFare>& specialFares() const { return m_specialFares; }
    const QDateTime& lastPushTime() const { return m_lastPushTime; }
    const IntervalTimer& timer() const { return m_timer; }
    // Where monitoring stands: off, the start wait, the route a round asks, the next round.
    const MonitorState& state() const { return m_state; }
    // Where the rounds' observations go; none by default.
    void setRecorder(FareRecorder* recorder) { m_recorder = recorder; }
    // One monitor per data directory, across processes: from the start until monitoring
    // has stopped and its last round has ended, the directory's lock file "monitor.lock" is
    // held, and a start while another process holds it is refused with a message. No lock
    // by default.
    void setExclusiveIn(const QString& dataDirectory) { m_lockDirectory = dataDirectory; }
    // The start delay and the period per route; applies from the next start on.
    void setTiming(MonitorTiming timing) { m_timing = timing; }
    // The rules beyond the plain rounds; the defaults are the plain rounds themselves.
    void setRules(const MonitorRules& rules) { m_rules = rules; }
    // Where each round takes its rules from, so that a change applies from the next round;
    // rules that cannot be read are said once for each reason, and the rounds keep the
    // rules they had (the defaults before any was read).
    void setRulesSource(std::function<ReadResult<MonitorRules>()> source) {
        m_rulesSource = std::move(source);
    }
    const MonitorRules& rules() const { return m_rules; }
    // Where the back-off's spread comes from: a factor in [0.9, 1.1]; random by default.
    void setSpreadSource(std::function<double()> spread) { m_spread = std::move(spread); }
    // How many times the plain interval the next round waits (1, 2, 4 or 8).
    int backOffFactor() const { return m_backOff.factor(); }
    // How the confirming query waits its seconds; by default events keep flowing and a
    // stop ends the wait at once. A test may let the time pass at once.
    void setConfirmWait(std::function<void(int ms)> wait) { m_confirmWait = std::move(wait); }
    // The program's own wait: events flow until the time has passed or monitoring stops.
    void waitUnlessStopped(int ms);

    static constexpr int kMaxBackOffFactor = BackOff::kMaxFactor;

Q_SIGNALS:
    void monitoringChanged(bool monitoring);
    void roundFinished();
    // One route of a round was queried.
    void routeQueried(const skylark::FareObservation& observation);
    // The rules could not be read, for a reason not said before; the text is also in the log.
    void rulesUnreadable(const QString& text);
    // The watchdog says a route went stale or recovered; the text is also in the log.
    void routeNotice(const QString& text);
    // A round with special fares ended with its sound, alert window and push step; the
    // observations of its special fares, in the order of the round.
    void specialFaresAlerted(const QList<skylark::FareObservation>& fares);

private:
    struct RouteRef {
        QString routeId;
        int occurrence; // the how-manieth row with this identifier
    };

    int currentRowOf(const RouteRef& route) const;
    // The rules of the round from their source; unreadable ones are said, the old kept.
    void takeRules();
    void countStaleRoutes();
    bool queryRoute(const RouteRef& route);
    void showSearched(int row, const FareObservation& seen, const QString& fare,
                      const QString& time);
    void log(const QString& text);
    void setMonitoring(bool monitoring);
    void runQueuedStart();
    bool takeDirectoryLock();
    // The next round's interval: the plain one, or under the back-off rule a longer one
    // after a round the fare source refused in full; says a change in the log.
    int nextInterval(int plainInterval);
    // Takes a special fare of the round for the alerts: the route's own day, or for a
    // route with flexible days the cheapest day of its window at or below its price; a
    // fare above its price re-arms the route for once-per-drop.
    void noteAlert(const FareObservation& seen, const QString& time);
    // The sound, the alert window, the push step and the channels for the round's special
    // fares that the alert rules let through.
    void raiseAlerts();
    // Which of the round's special fares alert under the rules (once per drop, confirmed).
    QList<int> alertingFares();
    // After the quiet hours, the channels get the fares held in them.
    void sendHeldSummary();
    // The watchdog's view of one query: a route that goes stale or recovers is said.
    void watchRoute(const QString& routeId, const RouteRef& route, const FareAnswer& answer,
                    const QDateTime& now);
    void releaseDirectoryLockWhenIdle();

    RouteListModel& m_routes;
    StatusLog& m_log;
    FareSource& m_fares;
    FarePush& m_push;
    FrontEnd& m_frontEnd;
    FareRecorder* m_recorder = nullptr;
    const Clock& m_clock;
    MonitorTiming m_timing;
    IntervalTimer m_timer;
    MonitorState m_state;
    bool m_monitoring = false;
    bool m_roundRunning = false;
    bool m_startWaiting = false;
    bool m_startQueued = false; // a start clicked while busy, run when the round ends
    bool m_stopRequested = false;
    QList<SpecialFare> m_specialFares; // the highlighted fares of the round
    struct AlertCandidate {
        SpecialFare fare;
        FareObservation observation; // of the day that alerts
    };
    QList<AlertCandidate> m_alerts; // the fares of the round that may alert
    QDateTime m_lastPushTime;
    QString m_lockDirectory;
    MonitorRules m_rules;
    std::function<ReadResult<MonitorRules>()> m_rulesSource;
    bool m_rulesRead = false; // the rules were read once
    QString m_rulesProblem;   // why they could not be read, as last said
    std::function<double()> m_spread;
    std::function<void(int ms)> m_confirmWait;
    QEventLoop* m_stoppableWait = nullptr; // the wait under way that a stop ends
    BackOff m_backOff;
    AlertGate m_gate;
    QuietHours m_quiet;
    RouteWatchdog m_watchdog;
    std::unique_ptr<FileLock> m_directoryLock;
};

} // namespace skylark
