// The desktop program measured beside its peers, in one run, under a display (bench.sh runs
// it under Xvfb):
// - Skylark (the skylark program) and the least Qt program that shows the same two pages
//   (bench_peer): the time from process start to the window mapped, and after 10 s idle the
//   proportional and resident memory of the main process and of its helper processes, and
//   the CPU time over 60 s idle;
// - the start-up while the update server accepts and never answers, and with 10 and with
//   10,000 routes;
// - the desktop's round over 1,000 routes with the route list visible and the headless
//   round of bench_round, on the same loopback server and routes, in alternating turns
//   after a warm-up: their times, their ratio, and the desktop's longest main-thread stall;
// - a round over 10,000 routes: the worst time from a click on the route list to its repaint.

#include "BenchSupport.h"
#include "Figures.h"
#include "ProcessFigures.h"
#include "RoundServer.h"
#include "store/SafeSave.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/ProgramStyle.h"
#include "ui/SkinWindow.h"
#include "ui/WindowOps.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace skylark;

namespace {

constexpr int kRoutes = 1000;
constexpr int kFewRoutes = 10;
constexpr int kManyRoutes = 10000;
constexpr int kTurns = 3;
constexpr int kStartUps = 3;
constexpr int kIdleMs = 10000;
constexpr int kCpuIdleMs = 60000;
constexpr int kShownTimeoutMs = 60000;

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A server that takes connections into its backlog and never answers them.
class SilentServer {
public:
    SilentServer()
        : m_socket(bench::listenOnLoopback(m_port)) {}
    ~SilentServer() { ::close(m_socket); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    quint16 m_port = 0; // before the socket, which sets it
    int m_socket = -1;
};

// A data directory of routes worn with the first skin, a JPEG of the main window's size,
// as most users wear it; with a servers.ini when the servers are given.
void prepareDirectory(const QString& directory, int routes, const QString& base = {},
                      const QString& updateBase = {}) {
    bench::writeRoutes(directory, routes);
    const QString skin = directory + QStringLiteral("/Skin/01.jpg");
    QDir().mkpath(directory + QStringLiteral("/Skin"));
    if (!saveFileAtomically(skin, ui::builtInFirstSkin()) ||
        !Settings(directory).setSkinPath(skin)) {
        std::fprintf(stderr, "cannot write the skin in %s\n", qPrintable(directory));
        std::exit(1);
    }
    if (base.isEmpty()) {
        return;
    }
    const QByteArray servers = QStringLiteral("[relay]\r\nbase=%1\r\n[update]\r\nbase=%2\r\n"
                                              "[faresource]\r\ndomestic=%1\r\ninternational=%1\r\n"
                                              "chart=%1\r\n[maker]\r\nhome=%1\r\n")
                                   .arg(base, updateBase)
                                   .toLatin1();
    if (!saveFileAtomically(Endpoints::serversFilePath(directory), servers)) {
        std::fprintf(stderr, "cannot write servers.ini in %s\n", qPrintable(directory));
        std::exit(1);
    }
}

// A program started for its figures, ended with its helpers when it goes. It gets the
// environment this benchmark was started with: the desktop measured in this process
// changes the browser engine's switches.
class ChildProgram {
public:
    static void keepStartingEnvironment() { startingEnvironment(); }

    // Ends it and waits until its helpers are gone too, so that the next start-up has the
    // machine to itself.
    ~ChildProgram() {
        const QStringList helpers = bench::descendantsOf(pid());
        for (const QString& helper : helpers) {
            ::kill(helper.toInt(), SIGKILL);
        }
        m_process.kill();
        m_process.waitForFinished(10000);
        QElapsedTimer waited;
        waited.start();
        for (const QString& helper : helpers) {
            // Until it is gone, or a zombie that whoever adopted it has yet to reap.
            for (QList<QByteArray> state = bench::statFields(helper);
                 !state.isEmpty() && !state[0].startsWith('Z') && waited.elapsed() < 5000;
                 state = bench::statFields(helper)) {
                QThread::msleep(5);
            }
        }
    }
    // Starts it and waits for its first window to be mapped: the milliseconds from the
    // start, or -1 when none came.
    double start(bench::MapWatch& maps, const QString& program, const QStringList& arguments) {
        maps.clear();
        m_process.setProcessEnvironment(startingEnvironment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer started;
        started.start();
        m_process.start(program, arguments);
        if (!maps.waitForMap(kShownTimeoutMs)) {
            return -1;
        }
        return double(started.nsecsElapsed()) / 1e6;
    }
    QString pid() const { return QString::number(m_process.processId()); }

private:
    static const QProcessEnvironment& startingEnvironment() {
        static const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        return environment;
    }

    QProcess m_process;
};

struct ProgramFigures {
    double shownMs = 0;
    bench::TreeMemory memory;
    double idleCpuPercent = 0;
};

ProgramFigures measureProgram(bench::MapWatch& maps, const QString& program,
                              const QStringList& arguments) {
    ChildProgram child;
    ProgramFigures figures;
    figures.shownMs = child.start(maps, program, arguments);
    waitMs(kIdleMs);
    figures.memory = bench::treeMemory(child.pid());
    const double before = bench::treeCpuSeconds(child.pid());
    waitMs(kCpuIdleMs);
    figures.idleCpuPercent =
        (bench::treeCpuSeconds(child.pid()) - before) * 100.0 * 1000.0 / double(kCpuIdleMs);
    return figures;
}

// The median time from start to the window mapped over a few start-ups.
double medianShownMs(bench::MapWatch& maps, const QString& program, const QStringList& arguments) {
    std::vector<double> times;
    for (int i = 0; i < kStartUps; ++i) {
        ChildProgram child;
        times.push_back(child.start(maps, program, arguments));
    }
    return medianOf(times);
}

void printProgramFigures(const ProgramFigures& skylark, const ProgramFigures& peer) {
    std::printf("Skylark (%d routes) and the peer (two pages in two views, one profile):\n",
                kRoutes);
    std::printf("  process start to window shown: %.0f ms, peer %.0f ms = %.2f (target: at most "
                "1.1, %s)\n",
                skylark.shownMs, peer.shownMs, skylark.shownMs / peer.shownMs,
                verdict(skylark.shownMs <= 1.1 * peer.shownMs));
    for (const auto& [name, figures] : {std::pair{"Skylark", skylark}, std::pair{"peer", peer}}) {
        const bench::TreeMemory& m = figures.memory;
        std::printf("  %-7s after %d s idle: main Pss %.1f MiB (RSS %.1f), %d helpers Pss %.1f MiB "
                    "(RSS %.1f), Pss in all %.1f MiB; CPU over %d s idle %.2f %% of one core\n",
                    name, kIdleMs / 1000, m.mainPssMiB, m.mainRssMiB, m.helpers, m.helpersPssMiB,
                    m.helpersRssMiB, m.totalPssMiB(), kCpuIdleMs / 1000, figures.idleCpuPercent);
    }
    const double ratio = skylark.memory.totalPssMiB() / peer.memory.totalPssMiB();
    std::printf("  Pss in all: %.2f of the peer's (target: at most 1.1, %s)\n", ratio,
                verdict(ratio <= 1.1));
    std::printf("  idle CPU: %.2f %% of one core (target: under 1 %%, %s)\n",
                skylark.idleCpuPercent, verdict(skylark.idleCpuPercent < 1.0));
}

// Waits until the window is on the screen.
void waitExposed(QWidget& window) {
    while (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

std::unique_ptr<ui::Desktop> startDesktop(const QString& directory, const QString& base,
                                          ui::WindowOps& ops) {
    auto desktop = std::make_unique<ui::Desktop>(directory, Endpoints::forDemo(base), ops,
                                                 QString(), MonitorTiming{0, 0});
    desktop->start();
    waitExposed(desktop->window());
    waitMs(5000); // the two pages load
    return desktop;
}

void compareRounds(const QString& base, ui::WindowOps& ops) {
    QTemporaryDir desktopDirectory;
    QTemporaryDir headlessDirectory;
    prepareDirectory(desktopDirectory.path(), kRoutes);
    bench::writeRoutes(headlessDirectory.path(), kRoutes);
    const std::unique_ptr<ui::Desktop> desktop = startDesktop(desktopDirectory.path(), base, ops);
    bench::HeadlessRound headless(headlessDirectory.path(), Endpoints::forDemo(base));
    const auto desktopRound = [&](double& stallMs, double& stallAtMs) {
        bench::StallMeter stalls;
        QElapsedTimer round;
        stalls.start();
        round.start();
        desktop->monitor().runRound();
        const double ms = double(round.nsecsElapsed()) / 1e6;
        stalls.stop();
        stallMs = stalls.worstMs();
        stallAtMs = stalls.worstAtMs();
        return ms;
    };
    double ignored = 0;
    desktopRound(ignored, ignored); // warm-up, not counted
    headless.run();
    std::vector<double> desktopMs;
    std::vector<double> headlessMs;
    double worstStall = 0;
    std::printf("Rounds over %d routes on one loopback server, %d turns after a warm-up:\n",
                kRoutes, kTurns);
    for (int turn = 0; turn < kTurns; ++turn) {
        double stall = 0;
        double stallAt = 0;
        desktopMs.push_back(desktopRound(stall, stallAt));
        headlessMs.push_back(double(headless.run()) / 1e6);
        worstStall = qMax(worstStall, stall);
        std::printf("  turn %d: desktop %.0f ms (stall %.1f ms, ending %.0f ms in), headless %.0f "
                    "ms\n",
                    turn + 1, desktopMs.back(), stall, stallAt, headlessMs.back());
    }
    const double ratio = medianOf(desktopMs) / medianOf(headlessMs);
    std::printf("  desktop round %.0f ms, headless round %.0f ms = %.2f (target: at most 1.1, "
                "%s)\n",
                medianOf(desktopMs), medianOf(headlessMs), ratio, verdict(ratio <= 1.1));
    std::printf("  longest main-thread stall of the desktop's turns: %.1f ms (target: at most "
                "5 ms, %s)\n",
                worstStall, verdict(worstStall <= 5));
}

// Clicks a row of the list four times a second, as briskly as a person does, and keeps the
// worst time from a click to the list's next repaint.
class ClickProbe : public QObject {
public:
    explicit ClickProbe(QTableView& list)
        : m_list(list) {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, this, [this] { click(); });
        list.viewport()->installEventFilter(this);
    }
    void start() { m_ticker.start(250); }
    void stop() {
        m_ticker.stop();
        if (m_pending) {
            m_worstMs = qMax(m_worstMs, double(m_sinceClick.nsecsElapsed()) / 1e6);
        }
    }
    double worstMs() const { return m_worstMs; }
    int clicks() const { return m_clicks; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_pending) {
            m_pending = false;
            m_worstMs = qMax(m_worstMs, double(m_sinceClick.nsecsElapsed()) / 1e6);
        }
        return false;
    }

private:
    void click() {
        if (m_pending) {
            return;
        }
        m_row = (m_row + 1) % 2; // another row each time, so that each click repaints
        QWidget* viewport = m_list.viewport();
        const QPoint at = m_list.visualRect(m_list.model()->index(m_row, 1)).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                viewport,
                new QMouseEvent(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
        m_pending = true;
        ++m_clicks;
        m_sinceClick.start();
    }

    QTableView& m_list;
    QTimer m_ticker;
    QElapsedTimer m_sinceClick;
    bool m_pending = false;
    int m_row = 0;
    int m_clicks = 0;
    double m_worstMs = 0;
};

void clickDuringALongRound(const QString& base, ui::WindowOps& ops) {
    QTemporaryDir directory;
    prepareDirectory(directory.path(), kManyRoutes);
    const std::unique_ptr<ui::Desktop> desktop = startDesktop(directory.path(), base, ops);
    auto* list = desktop->window().findChild<QTableView*>();
    ClickProbe probe(*list);
    QElapsedTimer round;
    round.start();
    probe.start();
    desktop->monitor().runRound();
    probe.stop();
    std::printf("A round over %d routes: %.0f ms; worst time from a click on the list to its "
                "repaint %.1f ms over %d clicks (target: at most 100 ms, %s)\n",
                kManyRoutes, double(round.nsecsElapsed()) / 1e6, probe.worstMs(), probe.clicks(),
                verdict(probe.worstMs() <= 100));
}

// The start-ups: Skylark and the peer, Skylark with a silent update server, and Skylark
// with few and with many routes.
void startUps(bench::MapWatch& maps, const QString& base, const QString& silentBase,
              const QStringList& skylarkArguments, const QStringList& peerArguments) {
    const QString skylark = QStringLiteral(SKYLARK_PROGRAM_PATH);
    const double quietMs = medianShownMs(maps, skylark, skylarkArguments);
    const double peerMs = medianShownMs(maps, QStringLiteral(SKYLARK_PEER_PATH), peerArguments);
    QTemporaryDir silentDirectory;
    prepareDirectory(silentDirectory.path(), kRoutes, base, silentBase);
    const double silentMs =
        medianShownMs(maps, skylark, {QStringLiteral("--data-dir"), silentDirectory.path()});
    std::printf("Start-up, process start to window shown, median of %d:\n", kStartUps);
    std::printf("  Skylark %.0f ms, peer %.0f ms = %.2f (target: at most 1.1, %s)\n", quietMs,
                peerMs, quietMs / peerMs, verdict(quietMs <= 1.1 * peerMs));
    std::printf("  update server silent: %.0f ms = %.2f of the peer's (target: at most 1.1, %s)\n",
                silentMs, silentMs / peerMs, verdict(silentMs <= 1.1 * peerMs));
    double routesMs[2] = {};
    int index = 0;
    for (const int routes : {kFewRoutes, kManyRoutes}) {
        QTemporaryDir directory;
        prepareDirectory(directory.path(), routes, base, base);
        routesMs[index++] =
            medianShownMs(maps, skylark, {QStringLiteral("--data-dir"), directory.path()});
    }
    std::printf("  %d routes %.0f ms, %d routes %.0f ms = %.2f (target: at most 1.5, %s)\n",
                kFewRoutes, routesMs[0], kManyRoutes, routesMs[1], routesMs[1] / routesMs[0],
                verdict(routesMs[1] <= 1.5 * routesMs[0]));
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes
    QApplication app(argc, argv);
    ui::applyProgramStyle(app);
    // The parts to run: rounds, programs, start-ups, clicks; all by default.
    const QStringList parts = QApplication::arguments().mid(1);
    const auto runs = [&](const char* part) {
        return parts.isEmpty() || parts.contains(QLatin1String(part));
    };
    ChildProgram::keepStartingEnvironment();
    bench::MapWatch maps;
    if (!maps.ready()) {
        std::fprintf(stderr, "bench_desktop needs a display\n");
        return 1;
    }
    const QDate day = QDate::currentDate().addDays(20); // the day writeRoutes gives each route
    bench::LoopbackServer server(bench::fareSourceFor(day));
    SilentServer silent;
    const QString base = server.baseUrl();
    ui::WindowOps ops;
    ops.setAnswerer([](const QString&) { return int(ui::WindowOps::Ok); });
    QTemporaryDir skylarkDirectory;
    QTemporaryDir peerProfile;
    prepareDirectory(skylarkDirectory.path(), kRoutes, base, base);
    const QStringList skylarkArguments{QStringLiteral("--data-dir"), skylarkDirectory.path()};
    const Endpoints pages = Endpoints::forDemo(base);
    const QStringList peerArguments{startPageUrl(pages), priceChartPageUrl(pages),
                                    peerProfile.path()};
    if (runs("programs")) {
        const ProgramFigures skylark =
            measureProgram(maps, QStringLiteral(SKYLARK_PROGRAM_PATH), skylarkArguments);
        const ProgramFigures peer =
            measureProgram(maps, QStringLiteral(SKYLARK_PEER_PATH), peerArguments);
        printProgramFigures(skylark, peer);
    }
    if (runs("start-ups")) {
        startUps(maps, base, silent.baseUrl(), skylarkArguments, peerArguments);
    }
    // The desktops measured in this process come after the programs, so that the browser
    // engine in this process shares no pages with theirs.
    if (runs("rounds")) {
        compareRounds(base, ops);
    }
    if (runs("clicks")) {
        clickDuringALongRound(base, ops);
    }
    return 0;
}
