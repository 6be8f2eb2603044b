// Monitoring rounds over 1,000 routes with a period of 0 against a minimal loopback server
// that answers the relay's search string and the fare calendars from memory, so that the
// figure is the program's own. The floor is the same requests made by a bare libcurl loop
// against the same server. After a turn to warm up, three times in turn: the floor and a
// round with no alert channel, then the floor and a round with all four channels on (a
// real SMTP server, a loopback receiver for ntfy and the webhook, the desktop's bus). The
// summary gives the median of each, the longest stall of the main thread during any round
// (the worst lateness of a 5 ms timer), and what the channels cost the round.

#include "BareCurl.h"
#include "BenchSupport.h"
#include "Figures.h"
#include "RoundServer.h"
#include "notify/AlertDispatcher.h"
#include "notify/ChannelSettings.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRoutes = 1000;
constexpr int kTurns = 3;

struct Turns {
    std::vector<double> floorPerSecond;
    std::vector<double> roundPerSecond;
    std::vector<double> stallMs;
    qsizetype specials = 0;
};

double floorRoutesPerSecond(const QList<QByteArray>& urls) {
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray& url : urls) {
        if (!bench::bareCurlGet(url)) {
            std::fprintf(stderr, "the bare libcurl loop failed on %s\n", url.constData());
            std::exit(1);
        }
    }
    return kRoutes * 1e9 / double(qMax<qint64>(1, clock.nsecsElapsed()));
}

// A real SMTP server for the e-mail channel: the tests' one, on a port of its own.
class MailServer {
public:
    MailServer() {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(SKYLARK_TEST_COMMON_DIR "/smtp_server.py")});
        while (m_port == 0 && (m_process.canReadLine() || m_process.waitForReadyRead(60000))) {
            if (!m_process.canReadLine()) {
                continue;
            }
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("PORT ")) {
                m_port = line.mid(5).toInt();
            }
        }
    }
    ~MailServer() {
        m_process.kill();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }
    // How many messages it received.
    int received() {
        m_lines += m_process.readAllStandardOutput().count('\n');
        return m_lines;
    }

private:
    QProcess m_process;
    int m_port = 0;
    int m_lines = 0;
};

// Every channel set up: e-mail to the mail server, ntfy and the webhook to a loopback
// server, desktop notifications on whatever session bus there is; all on or all off.
void setUpEveryChannel(ChannelBook& book, int mailPort, const QString& web, bool on) {
    const QList<ChannelSettings> channels{
        {u"desktop"_s, on, {}},
        {u"email"_s,
         on,
         {{u"server"_s, u"127.0.0.1"_s},
          {u"port"_s, QString::number(mailPort)},
          {u"security"_s, u"none"_s},
          {u"from"_s, u"bench@example.com"_s},
          {u"to"_s, u"me@example.com"_s}}},
        {u"ntfy"_s, on, {{u"url"_s, web + u"/fares"_s}}},
        {u"webhook"_s, on, {{u"url"_s, web + u"/hook"_s}, {u"secret"_s, u"s"_s}}}};
    if (const WriteResult saved = book.save(channels); !saved) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.message()));
        std::exit(1);
    }
}

void printSummary(const Turns& turns, const char* title) {
    const double floor = medianOf(turns.floorPerSecond);
    const double round = medianOf(turns.roundPerSecond);
    const double stall = *std::max_element(turns.stallMs.begin(), turns.stallMs.end());
    std::printf("Rounds over %d routes against a loopback server answering from memory, "
                "%d turns, %s:\n",
                kRoutes, kTurns, title);
    for (int i = 0; i < kTurns; ++i) {
        std::printf("  turn %d: floor %6.0f routes/s, round %6.0f routes/s, stall %5.1f ms\n",
                    i + 1, turns.floorPerSecond[size_t(i)], turns.roundPerSecond[size_t(i)],
                    turns.stallMs[size_t(i)]);
    }
    std::printf("  round %.0f routes per second, floor (bare libcurl, same requests) %.0f = "
                "%.2f of the floor (target: at least 0.5, %s)\n",
                round, floor, round / floor, verdict(round >= floor / 2));
    std::printf(
        "  longest stall of the main thread in any turn: %.1f ms (target: at most 5 ms, %s)\n",
        stall, verdict(stall <= 5));
    std::printf("  special fares found in the last round: %lld\n", qint64(turns.specials));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QTemporaryDir directory;
    bench::writeRoutes(directory.path(), kRoutes);
    const QDate day = QDate::currentDate().addDays(20); // the day writeRoutes gives each route
    bench::LoopbackServer server(bench::fareSourceFor(day));
    const Endpoints endpoints = Endpoints::forDemo(server.baseUrl());
    bench::HeadlessRound headless(directory.path(), endpoints);
    Monitor& monitor = headless.monitor;
    const QList<QByteArray> urls =
        bench::roundRequests(headless.session.book().routes(), endpoints);

    ChannelBook& channels = headless.session.channels();
    AlertDispatcher& alerts = headless.session.alerts();
    MailServer mail;
    bench::LoopbackServer receiver(
        [](const std::string&) { return bench::LoopbackServer::ok("{}", "application/json"); });

    const auto runTurn = [&](Turns& turns) {
        turns.floorPerSecond.push_back(floorRoutesPerSecond(urls));
        bench::StallMeter stalls;
        stalls.start();
        const qint64 elapsed = headless.run();
        stalls.stop();
        turns.roundPerSecond.push_back(kRoutes * 1e9 / double(qMax<qint64>(1, elapsed)));
        turns.stallMs.push_back(stalls.worstMs());
        turns.specials = monitor.specialFares().size();
    };
    // Turns without and with the channels alternate, so that both see the same machine.
    Turns turns;
    Turns withChannels;
    QTimer::singleShot(0, [&] {
        // A first turn, not counted, warms both up: connections, allocations, the log.
        floorRoutesPerSecond(urls);
        monitor.runRound();
        for (int turn = 0; turn < kTurns; ++turn) {
            setUpEveryChannel(channels, mail.port(), receiver.baseUrl(), false);
            runTurn(turns);
            setUpEveryChannel(channels, mail.port(), receiver.baseUrl(), true);
            runTurn(withChannels);
        }
        printSummary(turns, "no alert channel");
        printSummary(withChannels, "all four alert channels on");
        const double ratio =
            (medianOf(withChannels.roundPerSecond) / medianOf(withChannels.floorPerSecond)) /
            (medianOf(turns.roundPerSecond) / medianOf(turns.floorPerSecond));
        std::printf("  with every channel on the round keeps %.2f of its share of the floor "
                    "(target: at least 0.9, %s)\n",
                    ratio, verdict(ratio >= 0.9));
        QTimer::singleShot(0, [&] {
            if (alerts.pending() > 0) {
                QEventLoop settled;
                QObject::connect(&alerts, &AlertDispatcher::settled, &settled, &QEventLoop::quit);
                settled.exec();
            }
            std::printf("  messages received by the mail server: %d of %d rounds\n",
                        mail.received(), kTurns);
            QCoreApplication::quit();
        });
    });
    return app.exec();
}
