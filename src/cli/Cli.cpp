#include "Cli.h"

#include "ConsoleFrontEnd.h"
#include "SignalWatcher.h"
#include "app/MonitorRules.h"
#include "app/NearbyDays.h"
#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/StartUp.h"
#include "app/StatusLog.h"
#include "app/UrlOpener.h"
#include "history/FareHistory.h"
#include "monitor/Monitor.h"
#include "notify/AlertDispatcher.h"
#include "notify/ChannelSettings.h"
#include "session/MonitorSession.h"
#include "session/ServerChoice.h"
#include "sim/DemoServer.h"
#include "store/ProgramDirectory.h"
#include "text/Text.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QProcess>

#include <cstdlib>
#include <limits>

namespace skylark {
namespace {

// Opens URLs with the desktop's default browser.
class DesktopOpener final : public UrlOpener {
public:
    void openUrl(const QString& url) override {
        QProcess::startDetached(QStringLiteral("xdg-open"), {url});
    }
};

// The columns of routes --context: the last fare and when, the lowest and when, the
// typical fare and of how many, the verdict, and a cheaper day nearby with its fare; "-"
// for what is not known.
QString contextColumns(const RouteFareSummary& summary) {
    const PriceContext context = priceContextOf(summary);
    const auto orDash = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("-") : text;
    };
    const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    QStringList columns{orDash(summary.lastFare), orDash(summary.lastSeen.toString(format))};
    columns << (context.known ? QString::number(context.lowest) : QStringLiteral("-"))
            << orDash(context.lowestSeen.toString(format))
            << (context.hasTypical ? QString::number(context.typical) : QStringLiteral("-"))
            << QString::number(context.recentCount) << orDash(verdictText(context.verdict));
    const std::optional<DayFare>& nearby = context.cheaperDay;
    columns << (nearby ? nearby->date : QStringLiteral("-"))
            << (nearby ? nearby->fare : QStringLiteral("-"));
    return columns.join(u'\t');
}

const QString kFlexibleLabel = QStringLiteral("前后浮动的天数");

// What monitor says on the error stream as a round ends: its figures and the next round.
QString roundEndLine(const MonitorStatus& status, bool last) {
    QString line = QStringLiteral("第 %1 轮结束：").arg(status.round) + lastRoundLine(status);
    if (!last && status.nextRoundAt.isValid()) {
        line +=
            QStringLiteral("；下一轮 ") + status.nextRoundAt.toString(QStringLiteral("HH:mm:ss"));
    }
    return line;
}

// Takes "--name VALUE" out of the arguments; false when the value is missing.
bool takeOption(QStringList& arguments, const QString& name, QString& value) {
    const qsizetype at = arguments.indexOf(name);
    if (at < 0) {
        return true;
    }
    if (at + 1 >= arguments.size()) {
        return false;
    }
    value = arguments[at + 1];
    arguments.remove(at, 2);
    return true;
}

} // namespace

// Everything a command works with, made when the first command needs it.
struct Cli::Session {
    SystemClock clock;
    DesktopOpener opener;
    ConsoleFrontEnd frontEnd;
    MonitorSession core;
    ServerChoice servers;
    bool online = false;

    Session(const QString& directory, QTextStream& err)
        : frontEnd(err, directory)
        , core(directory, {clock, frontEnd, opener}) {}

    // The fare history, opened at its first use; a failure is said once on the error stream.
    FareHistory& openHistory(QTextStream& err, HistoryAccess access = HistoryAccess::Record) {
        FareHistory& history = core.history();
        if (!historyBound) {
            historyBound = true;
            QObject::connect(&history, &FareHistory::failed, &history,
                             [&err](const QString& message) {
                                 err << message << '\n';
                                 err.flush();
                             });
        }
        (void)core.openHistory(access);
        return history;
    }

private:
    bool historyBound = false;
};

Cli::Cli(QTextStream& out, QTextStream& err)
    : m_out(out)
    , m_err(err) {}

Cli::~Cli() = default;

QString Cli::usage() {
    return QStringLiteral(R"(Usage: skylark-cli [--data-dir DIR] [--demo] COMMAND [ARGUMENTS]

Skylark watches air fares. Status-log lines go to standard output; messages, alerts
and errors to standard error.

Options:
  --data-dir DIR   keep DATA.dat, config.ini and servers.ini in DIR
  --demo           use the built-in demo server for every outside server (also the
                   default when the data directory has no servers.ini)
  --help           show this text

Commands:
  routes [--context]         one line per route in book order: identifier, departure,
                             arrival, date, price and type, separated by tabs; with
                             --context also from the fare history: the last fare and
                             its time, the lowest fare and its time, the typical fare
                             (median of 30 days), how many fares that is, the verdict
                             (低, 正常 or 高 from 10 fares on), and the day within
                             three of the route's own that the latest answer gave
                             cheaper with its fare; - where unknown
  add FROM TO DATE PRICE     add a route (DATE as YYYY-MM-DD) after the checks of the
                             add button, the relay's city check among them
  delete ID                  delete the route with that identifier
  open ID [--print]          open the route's search page in the default browser, or
                             print its address
  monitor [--rounds N] [--route-period SECONDS] [--start-delay MS]
                             monitor like the start button: a first round after the
                             start delay (3000 ms), then a round every SECONDS (60) per
                             route; stops like the stop button after N rounds or on
                             SIGINT or SIGTERM, once the running round has ended (a
                             second one exits at once with status 130); one monitor
                             per data directory
  push on|off                switch push alerts on or off
  push-settings ID MINUTES   save the binding id and the least minutes between pushes
  push-test ID               send a test message to that binding id
  history ID [--since YYYY-MM-DD] [--csv]
                             the route's recorded fares, oldest first: time, fare (-
                             when none was found) and outcome, separated by tabs; or as
                             CSV
  history --export FILE      write every recorded fare to FILE as CSV (RFC 4180, UTF-8),
                             or to standard output when FILE is -; FILE is replaced
                             only by a complete export, and only when it is a regular
                             file or missing (a symbolic link: its target)
  history --keep-days N      keep recorded fares N days (400 unless set)
  rules                      the monitor's rules, one line each: key, value (- for the
                             default) and what it does, separated by tabs
  rules set KEY VALUE        store one rule (an empty VALUE restores its default):
                             once-per-drop on|off, drop-by X (1): alert again only
                             after a drop by X or a rise above the alert price;
                             confirm-seconds S: ask a special fare again after S
                             seconds; quiet-hours HH:MM-HH:MM, urgent-percent Y: hold
                             the alerts then unless a fare is Y % under its price;
                             watchdog on|off, stale-rounds K (5), stale-hours T (24):
                             say once a route not found K rounds in a row or for T
                             hours, and its recovery; back-off on|off: after a round
                             the fare source refused in full (refusal, time-out, HTTP
                             429 or 5xx) the next waits twice as long, up to 8 times
  rules flexible ID N        let the route alert for any day within N (1 to 3) of its
                             own, naming the cheapest; 0 for its own day only
  channels                   the alert channels, one line each: name, on or off, and
                             their settings as KEY=VALUE (secrets masked), by tabs
  channel set NAME KEY VALUE store one setting of a channel (desktop, email, ntfy,
                             webhook); an empty VALUE clears it
  channel on|off NAME        switch a channel on (its settings complete) or off
  channel test NAME          send a test message through the channel and wait for
                             the outcome
  version                    the version line, after asking the update server
  sim [--port P]             run the demo server alone until interrupted

Exit status: 0 done, 1 refused by a check or a failed write (its message printed),
2 usage error, 130 monitor interrupted twice.
)");
}

int Cli::run(QStringList arguments) {
    if (arguments.contains(QStringLiteral("--help"))) {
        m_out << usage();
        return kDone;
    }
    if (!takeOption(arguments, QStringLiteral("--data-dir"), m_dataDir)) {
        return usageError();
    }
    m_demo = arguments.removeAll(QStringLiteral("--demo")) > 0;
    if (arguments.isEmpty()) {
        return usageError();
    }
    const QString command = arguments.takeFirst();
    if (command == u"routes" && arguments.isEmpty()) {
        return routes(false);
    }
    if (command == u"routes" && arguments == QStringList{QStringLiteral("--context")}) {
        return routes(true);
    }
    if (command == u"add") {
        return add(arguments);
    }
    if (command == u"delete") {
        return remove(arguments);
    }
    if (command == u"open") {
        return open(arguments);
    }
    if (command == u"monitor") {
        return monitor(arguments);
    }
    if (command == u"push") {
        return push(arguments);
    }
    if (command == u"push-settings") {
        return pushSettings(arguments);
    }
    if (command == u"push-test") {
        return pushTest(arguments);
    }
    if (command == u"rules") {
        return rules(arguments);
    }
    if (command == u"channels" && arguments.isEmpty()) {
        return listChannels();
    }
    if (command == u"channel") {
        return channel(arguments);
    }
    if (command == u"version" && arguments.isEmpty()) {
        return version();
    }
    if (command == u"history") {
        return history(arguments);
    }
    if (command == u"sim") {
        return sim(arguments);
    }
    return usageError();
}

int Cli::usageError() {
    m_err << usage();
    m_err.flush();
    return kUsageError;
}

Cli::Session& Cli::session() {
    if (m_session) {
        return *m_session;
    }
    m_session = std::make_unique<Session>(programDirectory(m_dataDir), m_err);
    StatusLog& log = m_session->core.log();
    QObject::connect(&log, &StatusLog::lineAppended, &log, [this](int, const QString& line) {
        m_out << line << '\n';
        m_out.flush();
    });
    loadRouteBook(m_session->core.book(), m_session->core.routes());
    reportUnreadable(m_session->core.book());
    return *m_session;
}

bool Cli::reportUnreadable(const RouteBook& book) {
    const QString error = book.readError();
    if (!error.isEmpty()) {
        m_err << QStringLiteral("无法读取航线文件 ") << book.path() << QStringLiteral("：") << error
              << '\n';
        m_err.flush();
    }
    return !error.isEmpty();
}

// The session with its outside servers: those of servers.ini, or the built-in demo server.
Cli::Session& Cli::online() {
    Session& s = session();
    if (s.online) {
        return s;
    }
    s.online = true;
    s.servers = chooseServers(s.core.directory(), m_demo);
    s.core.setEndpoints(s.servers.endpoints);
    if (s.servers.demoServer) {
        m_err << (s.servers.configured
                      ? QStringLiteral("Using the built-in demo server: fares are demo data.")
                      : QStringLiteral("No servers.ini in ") + s.core.directory() +
                            QStringLiteral(
                                ": using the built-in demo server, fares are demo data."))
              << '\n';
    }
    return s;
}

int Cli::rowOfRoute(const QString& routeId) {
    const int row = session().core.routes().rowOfRoute(routeId);
    if (row < 0) {
        m_err << QStringLiteral("没有该航线：") << routeId << '\n';
        m_err.flush();
    }
    return row;
}

int Cli::routes(bool withContext) {
    const RouteBook book(programDirectory(m_dataDir));
    const FareHistory* history =
        withContext ? &session().openHistory(m_err, HistoryAccess::ReadOnly) : nullptr;
    const QDateTime recentSince = QDateTime::currentDateTime().addDays(-PriceContext::kRecentDays);
    for (const Route& route : book.routes()) {
        m_out << route.routeId << '\t' << route.depCityName << '\t' << route.arrCityName << '\t'
              << route.depDate << '\t' << route.price << '\t' << route.type;
        if (history) {
            const HistoryRead<RouteFareSummary> read =
                history->fareSummary(route.routeId, recentSince);
            if (!read.ok()) {
                m_out.flush();
                return reportReadError(read.error);
            }
            m_out << '\t' << contextColumns(read.rows);
        }
        m_out << '\n';
    }
    m_out.flush();
    if (reportUnreadable(book)) {
        return kRefused;
    }
    if (const qsizetype unlisted = book.unlistedRouteCount(); unlisted > 0) {
        m_err << QStringLiteral("航线文件中还有 ") << unlisted
              << QStringLiteral(" 条航线超出了可列出的范围，未列出。") << '\n';
    }
    return kDone;
}

int Cli::add(const QStringList& arguments) {
    const QDate date =
        arguments.size() == 4 ? QDate::fromString(arguments[2], Qt::ISODate) : QDate();
    if (!date.isValid()) {
        return usageError();
    }
    const AddRouteResult result =
        online().core.commands().addRoute({arguments[0], arguments[1], arguments[3], date});
    if (!result.added) {
        session().frontEnd.showInformation(result.message);
        return kRefused;
    }
    return kDone;
}

int Cli::remove(const QStringList& arguments) {
    if (arguments.size() != 1) {
        return usageError();
    }
    const int row = rowOfRoute(arguments[0]);
    if (row < 0) {
        return kRefused;
    }
    if (const WriteResult removed = session().core.commands().deleteSelectedRoute(row); !removed) {
        session().frontEnd.showInformation(removed.message());
        return kRefused;
    }
    return kDone;
}

int Cli::open(const QStringList& arguments) {
    QStringList rest = arguments;
    const bool print = rest.removeAll(QStringLiteral("--print")) > 0;
    if (rest.size() != 1) {
        return usageError();
    }
    const int row = rowOfRoute(rest[0]);
    if (row < 0) {
        return kRefused;
    }
    const QString url = online().core.commands().searchPageUrl(row);
    if (url.isEmpty()) {
        m_err << QStringLiteral("该航线的类型不是 domestic 或 international，没有搜索页：")
              << rest[0] << '\n';
        return kRefused;
    }
    if (print) {
        m_out << url << '\n';
    } else {
        session().opener.openUrl(url);
    }
    return kDone;
}

int Cli::monitor(const QStringList& arguments) {
    QStringList rest = arguments;
    QString rounds;
    QString period;
    QString delay;
    if (!takeOption(rest, QStringLiteral("--rounds"), rounds) ||
        !takeOption(rest, QStringLiteral("--route-period"), period) ||
        !takeOption(rest, QStringLiteral("--start-delay"), delay) || !rest.isEmpty()) {
        return usageError();
    }
    bool roundsOk = true;
    bool periodOk = true;
    bool delayOk = true;
    const int roundLimit = rounds.isEmpty() ? 0 : rounds.toInt(&roundsOk);
    MonitorTiming timing;
    if (!period.isEmpty()) {
        // Anything longer than a timer can hold waits as long as it can.
        const double ms = period.toDouble(&periodOk) * 1000;
        periodOk = periodOk && ms >= 1;
        timing.periodPerRouteMs = qint64(qMin(ms, double(std::numeric_limits<int>::max())));
    }
    if (!delay.isEmpty()) {
        timing.startDelayMs = delay.toInt(&delayOk);
    }
    if (!roundsOk || !periodOk || !delayOk || roundLimit < 0 || timing.startDelayMs < 0) {
        return usageError();
    }

    Monitor& monitor = online().core.monitor();
    monitor.setTiming(timing);
    session().openHistory(m_err);
    QObject::connect(&monitor, &Monitor::routeQueried, [this](const FareObservation& seen) {
        if (seen.outcome != FareOutcome::Found) {
            m_err << QStringLiteral("未找到 ") << seen.routeId << QStringLiteral("：")
                  << fareOutcomeText(seen.outcome) << " (" << fareOutcomeKey(seen.outcome) << ")\n";
            m_err.flush();
        }
    });
    SignalWatcher signals;
    int roundsDone = 0;
    bool interrupted = false;
    QObject::connect(&monitor, &Monitor::roundFinished, [&] {
        ++roundsDone;
        const bool last = interrupted || (roundLimit > 0 && roundsDone >= roundLimit);
        m_err << roundEndLine(monitor.state().status(), last) << '\n';
        m_err.flush();
        if (last) {
            monitor.stopMonitoring();
            exitWhenDelivered(kDone);
        }
    });
    QObject::connect(&signals, &SignalWatcher::interrupted, [&] {
        if (interrupted) {
            // The second interrupt does not wait for the exchange under way.
            m_out.flush();
            m_err.flush();
            std::_Exit(kInterrupted);
        }
        interrupted = true;
        // Like the stop button: the start wait or the round under way runs to its end.
        monitor.stopMonitoring();
        if (!monitor.busy()) {
            exitWhenDelivered(kDone);
            return;
        }
        m_err << QStringLiteral("监控将在本轮结束后停止；再次中断则立即退出。") << '\n';
        m_err.flush();
    });
    bool refused = false;
    QMetaObject::invokeMethod(
        &monitor,
        [&] {
            monitor.startMonitoring();
            if (!monitor.isMonitoring() && roundsDone == 0 && !interrupted) {
                refused = true; // no routes, or another monitor on the directory
                QCoreApplication::exit(kRefused);
            }
        },
        Qt::QueuedConnection);
    const int status = QCoreApplication::exec();
    return refused ? kRefused : status;
}

void Cli::exitWhenDelivered(int status) {
    AlertDispatcher& alerts = session().core.alerts();
    if (alerts.pending() == 0) {
        QCoreApplication::exit(status);
        return;
    }
    m_err << QStringLiteral("正在等待提醒发送完毕……") << '\n';
    m_err.flush();
    QObject::connect(&alerts, &AlertDispatcher::settled, &alerts,
                     [status] { QCoreApplication::exit(status); });
}

int Cli::history(const QStringList& arguments) {
    QStringList rest = arguments;
    QString since;
    QString exportPath;
    QString keepDays;
    const bool csv = rest.removeAll(QStringLiteral("--csv")) > 0;
    if (!takeOption(rest, QStringLiteral("--since"), since) ||
        !takeOption(rest, QStringLiteral("--export"), exportPath) ||
        !takeOption(rest, QStringLiteral("--keep-days"), keepDays)) {
        return usageError();
    }
    const QDate sinceDay = QDate::fromString(since, Qt::ISODate);
    const bool listing = exportPath.isEmpty() && keepDays.isEmpty();
    if (listing != (rest.size() == 1) ||
        (!listing && (rest.size() > 0 || csv || !since.isEmpty())) ||
        (!since.isEmpty() && !sinceDay.isValid())) {
        return usageError();
    }
    // Only a change of the retention writes; the reading commands leave the store to the
    // monitor that records in it.
    FareHistory& history = session().openHistory(m_err, keepDays.isEmpty() ? HistoryAccess::ReadOnly
                                                                           : HistoryAccess::Record);
    if (!history.isOpen()) {
        return kRefused;
    }
    if (!keepDays.isEmpty()) {
        bool ok = false;
        const int days = keepDays.toInt(&ok);
        if (!ok || days <= 0) {
            return usageError();
        }
        return history.setRetentionDays(days) ? kDone : kRefused;
    }
    if (!exportPath.isEmpty()) {
        return exportHistory(history, exportPath);
    }
    if (csv) {
        m_out << QString::fromUtf8(historyCsvHeader());
    }
    const QString error =
        history.eachObservation(rest.first(), sinceDay, [&](const FareObservation& seen) {
            if (csv) {
                m_out << QString::fromUtf8(historyCsvRow(seen));
                return;
            }
            m_out << seen.observedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << '\t'
                  << (seen.fare.isEmpty() ? QStringLiteral("-") : seen.fare) << '\t'
                  << fareOutcomeKey(seen.outcome) << '\n';
        });
    return reportReadError(error);
}

// "-" streams the CSV to standard output; a file is replaced only by a complete export.
int Cli::exportHistory(const FareHistory& history, const QString& path) {
    if (path == u"-") {
        return reportReadError(writeHistoryCsv(history, [this](QByteArrayView bytes) {
            m_out << QString::fromUtf8(bytes);
            return m_out.status() == QTextStream::Ok;
        }));
    }
    const WriteResult written = exportHistoryCsv(history, path);
    if (!written) {
        m_err << written.message() << '\n';
        return kRefused;
    }
    return kDone;
}

int Cli::reportReadError(const QString& error) {
    m_out.flush();
    if (error.isEmpty()) {
        return kDone;
    }
    m_err << error << '\n';
    m_err.flush();
    return kRefused;
}

int Cli::push(const QStringList& arguments) {
    if (arguments.size() != 1 || (arguments[0] != u"on" && arguments[0] != u"off")) {
        return usageError();
    }
    const bool on = arguments[0] == u"on";
    return session().core.pushSettings().togglePushAlerts(on) == on ? kDone : kRefused;
}

int Cli::pushSettings(const QStringList& arguments) {
    if (arguments.size() != 2) {
        return usageError();
    }
    return session().core.pushSettings().savePushSettings({arguments[0], arguments[1]}).saved
               ? kDone
               : kRefused;
}

int Cli::pushTest(const QStringList& arguments) {
    if (arguments.size() != 1) {
        return usageError();
    }
    online().core.pushSettings().sendTestPush(arguments[0]);
    return kDone;
}

int Cli::rules(const QStringList& arguments) {
    RulesBook& book = session().core.rules();
    WriteResult written = WriteResult::success();
    if (arguments.isEmpty()) {
        QString error;
        const KeyFile::Section values = book.values(&error);
        if (!error.isEmpty()) {
            m_err << book.path() << QStringLiteral("：") << error << '\n';
            return kRefused;
        }
        for (const RuleField& field : ruleFields()) {
            m_out << field.key << '\t' << values.value(field.key, QStringLiteral("-")) << '\t'
                  << field.label << '\n';
        }
        const QHash<QString, int> flexible = book.rules().flexibleDays;
        for (const Route& route : RouteBook(programDirectory(m_dataDir)).routes()) {
            if (const int days = flexible.value(route.routeId); days > 0) {
                m_out << QStringLiteral("flexible ") << route.routeId << '\t' << days << '\t'
                      << kFlexibleLabel << '\n';
            }
        }
        return kDone;
    }
    if (arguments.size() == 3 && arguments[0] == u"set") {
        written = book.set(arguments[1], arguments[2]);
    } else if (arguments.size() == 3 && arguments[0] == u"flexible") {
        if (!RouteBook(programDirectory(m_dataDir)).hasRoute(arguments[1])) {
            written = WriteResult::failure(QStringLiteral("没有该航线：") + arguments[1]);
        } else if (!isWholeNumberIn(arguments[2], 0, kMaxFlexibleDays)) {
            written = WriteResult::failure(flexibleDaysProblem());
        } else {
            written = book.setFlexibleDays(arguments[1], arguments[2].toInt());
        }
    } else {
        return usageError();
    }
    if (!written) {
        m_err << written.message() << '\n';
        return kRefused;
    }
    return kDone;
}

int Cli::listChannels() {
    QString error;
    const QList<ChannelSettings> channels = session().core.channels().channels(&error);
    if (!error.isEmpty()) {
        m_err << session().core.channels().path() << QStringLiteral("：") << error << '\n';
        return kRefused;
    }
    for (const ChannelSettings& channel : channels) {
        m_out << channel.name << '\t' << (channel.enabled ? "on" : "off");
        for (const ChannelField& field : channelFields(channel.name)) {
            m_out << '\t' << field.key << '='
                  << shownChannelValue(channel.name, field.key, channel.value(field.key));
        }
        m_out << '\n';
    }
    return kDone;
}

int Cli::channel(const QStringList& arguments) {
    const QString verb = arguments.value(0);
    WriteResult written = WriteResult::success();
    if (verb == u"set" && arguments.size() == 4) {
        written = session().core.channels().set(arguments[1], arguments[2], arguments[3]);
    } else if ((verb == u"on" || verb == u"off") && arguments.size() == 2) {
        written = session().core.channels().setEnabled(arguments[1], verb == u"on");
    } else if (verb == u"test" && arguments.size() == 2) {
        return testChannel(arguments[1]);
    } else {
        return usageError();
    }
    if (!written) {
        m_err << written.message() << '\n';
        return kRefused;
    }
    return kDone;
}

int Cli::testChannel(const QString& name) {
    Session& s = session();
    QString error;
    const ChannelSettings settings = s.core.channels().channel(name, &error);
    QString problem = channelNames().contains(name)
                          ? channelReadinessProblem(settings)
                          : channelValueProblem(name, QString(), QString());
    if (!error.isEmpty()) {
        problem = s.core.channels().path() + QStringLiteral("：") + error;
    }
    if (!problem.isEmpty()) {
        m_err << problem << '\n';
        return kRefused;
    }
    DeliveryOutcome result;
    QEventLoop wait;
    s.core.alerts().sendTest(settings, [&](const DeliveryOutcome& outcome) {
        result = outcome;
        wait.quit();
    });
    if (s.core.alerts().pending() > 0) {
        wait.exec();
    }
    const QString line = deliveryLogLine(channelCaption(name), result);
    (result.sent ? m_out : m_err) << QStringLiteral("测试：") << line << '\n';
    return result.sent ? kDone : kRefused;
}

int Cli::version() {
    Session& s = online();
    m_out << frameSecondLine(versionText(s.core.fetcher(), s.core.endpoints())) << '\n';
    return kDone;
}

int Cli::sim(const QStringList& arguments) {
    QStringList rest = arguments;
    QString portText;
    if (!takeOption(rest, QStringLiteral("--port"), portText) || !rest.isEmpty()) {
        return usageError();
    }
    bool ok = true;
    const quint16 port = portText.isEmpty() ? 0 : portText.toUShort(&ok);
    if (!ok) {
        return usageError();
    }
    sim::DemoServer server;
    if (!server.start(port)) {
        m_err << QStringLiteral("Cannot listen on 127.0.0.1:") << port << '\n';
        return kRefused;
    }
    m_out << QStringLiteral("Skylark demo server on ") << server.baseUrl() << '\n';
    m_out.flush();
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::interrupted, [] { QCoreApplication::exit(kDone); });
    return QCoreApplication::exec();
}

} // namespace skylark
