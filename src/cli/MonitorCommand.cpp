#include "MonitorCommand.h"

#include "CliContext.h"
#include "SignalWatcher.h"
#include "monitor/Monitor.h"

#include <QCoreApplication>

#include <cstdlib>
#include <limits>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

// What monitor says on the error stream as a round ends: its figures and the next round.
QString roundEndLine(const MonitorStatus& status, bool last) {
    QString line = u"第 %1 轮结束："_s.arg(status.round) + lastRoundLine(status);
    if (!last && status.nextRoundAt.isValid()) {
        line += u"；下一轮 "_s + status.nextRoundAt.toString(u"HH:mm:ss"_s);
    }
    return line;
}

// Exits the event loop with the status once the alert channels' deliveries under way have
// ended; each of them is bounded in time.
void exitWhenDelivered(CliContext& context, int status) {
    AlertDispatcher& alerts = context.session().alerts();
    if (alerts.pending() == 0) {
        QCoreApplication::exit(status);
        return;
    }
    context.err << u"正在等待提醒发送完毕……"_s << '\n';
    context.err.flush();
    QObject::connect(&alerts, &AlertDispatcher::settled, &alerts,
                     [status] { QCoreApplication::exit(status); });
}

// One run of the monitor command: it counts the rounds and stops after the last one or
// at an interrupt, once the round under way has ended.
class MonitorRun {
public:
    MonitorRun(CliContext& context, Monitor& monitor, int roundLimit)
        : m_context(context)
        , m_monitor(monitor)
        , m_roundLimit(roundLimit) {}

    void roundEnded() {
        ++m_roundsDone;
        const bool last = m_interrupted || (m_roundLimit > 0 && m_roundsDone >= m_roundLimit);
        m_context.err << roundEndLine(m_monitor.state().status(), last) << '\n';
        m_context.err.flush();
        if (last) {
            m_monitor.stopMonitoring();
            exitWhenDelivered(m_context, CliContext::kDone);
        }
    }
    void interrupted() {
        if (m_interrupted) {
            // The second interrupt does not wait for the exchange under way.
            m_context.out.flush();
            m_context.err.flush();
            std::_Exit(CliContext::kInterrupted);
        }
        m_interrupted = true;
        // Like the stop button: the start wait or the round under way runs to its end.
        m_monitor.stopMonitoring();
        if (!m_monitor.busy()) {
            exitWhenDelivered(m_context, CliContext::kDone);
            return;
        }
        m_context.err << u"监控将在本轮结束后停止；再次中断则立即退出。"_s << '\n';
        m_context.err.flush();
    }
    void start() {
        m_monitor.startMonitoring();
        if (!m_monitor.isMonitoring() && m_roundsDone == 0 && !m_interrupted) {
            m_refused = true; // no routes, or another monitor on the directory
            QCoreApplication::exit(CliContext::kRefused);
        }
    }
    bool refused() const { return m_refused; }

private:
    CliContext& m_context;
    Monitor& m_monitor;
    int m_roundLimit;
    int m_roundsDone = 0;
    bool m_interrupted = false;
    bool m_refused = false;
};

void sayMissingFares(CliContext& context, const FareObservation& seen) {
    if (seen.outcome != FareOutcome::Found) {
        context.err << u"未找到 "_s << seen.routeId << u"："_s << fareOutcomeText(seen.outcome)
                    << " (" << fareOutcomeKey(seen.outcome) << ")\n";
        context.err.flush();
    }
}

} // namespace

QList<CommandForm> MonitorCommand::forms() const {
    return {{u"monitor [--rounds N] [--route-period SECONDS] [--start-delay MS]"_s,
             u"monitor like the start button: a first round after the\n"
             "start delay (3000 ms), then a round every SECONDS (60) per\n"
             "route; stops like the stop button after N rounds or on\n"
             "SIGINT or SIGTERM, once the running round has ended (a\n"
             "second one exits at once with status 130); one monitor\n"
             "per data directory"_s}};
}

QList<CommandOption> MonitorCommand::options() const {
    return {{u"--rounds"_s, u"N"_s},
            {u"--route-period"_s, u"SECONDS"_s},
            {u"--start-delay"_s, u"MS"_s}};
}

bool readMonitorOptions(const CommandArguments& arguments, int& roundLimit, MonitorTiming& timing) {
    bool ok = true;
    roundLimit = arguments.has(u"--rounds"_s) ? arguments.value(u"--rounds"_s).toInt(&ok) : 0;
    if (!ok || roundLimit < 0) {
        return false;
    }
    if (arguments.has(u"--route-period"_s)) {
        // Anything longer than a timer can hold waits as long as it can.
        const double ms = arguments.value(u"--route-period"_s).toDouble(&ok) * 1000;
        if (!ok || !(ms >= 1)) {
            return false;
        }
        timing.periodPerRouteMs = qint64(qMin(ms, double(std::numeric_limits<int>::max())));
    }
    if (arguments.has(u"--start-delay"_s)) {
        timing.startDelayMs = arguments.value(u"--start-delay"_s).toInt(&ok);
    }
    return ok && timing.startDelayMs >= 0;
}

int MonitorCommand::run(CliContext& context, const CommandArguments& arguments) {
    int roundLimit = 0;
    MonitorTiming timing;
    if (!arguments.positional.isEmpty() || !readMonitorOptions(arguments, roundLimit, timing)) {
        return context.usageError();
    }
    Monitor& monitor = context.online().monitor();
    monitor.setTiming(timing);
    context.openHistory();
    SignalWatcher signals;
    MonitorRun run(context, monitor, roundLimit);
    // Every connection ends with this object, before the run and the watcher it names.
    QObject connections;
    QObject::connect(&monitor, &Monitor::routeQueried, &connections,
                     [&context](const FareObservation& seen) { sayMissingFares(context, seen); });
    QObject::connect(&monitor, &Monitor::rulesUnreadable, &connections,
                     [&context](const QString& text) {
                         context.err << text << '\n';
                         context.err.flush();
                     });
    QObject::connect(&monitor, &Monitor::roundFinished, &connections, [&run] { run.roundEnded(); });
    QObject::connect(&signals, &SignalWatcher::interrupted, &connections,
                     [&run] { run.interrupted(); });
    QMetaObject::invokeMethod(
        &connections, [&run] { run.start(); }, Qt::QueuedConnection);
    const int status = QCoreApplication::exec();
    return run.refused() ? CliContext::kRefused : status;
}

} // namespace skylark
