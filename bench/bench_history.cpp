// The fare history against its floors: recording a round of 1,000 observations, reading
// one route's 100,000 observations for its chart, the size on disk of 100,000
// observations with their seven-day calendars, the command line's export of 1,000,000
// observations (time and peak memory of the whole process), and how long opening the store
// holds the caller when a prune of 900,000 observations is due.

#include "history/FareHistory.h"

#include "SummaryReporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace skylark;

namespace {

constexpr int kRoundRoutes = 1000;
constexpr int kChartObservations = 100000;
const QDateTime kStart(QDate(2026, 1, 1), QTime(0, 0));

FareObservation observationOf(int route, qint64 minute) {
    FareObservation o{QString::number(20261209090000LL + route),
                      QStringLiteral("成都"),
                      QStringLiteral("上海"),
                      QStringLiteral("2026-12-20"),
                      QStringLiteral("domestic"),
                      QStringLiteral("500"),
                      kStart.addSecs(minute * 60),
                      QString::number(300 + (minute * 7 + route) % 900),
                      FareOutcome::Found,
                      false,
                      {}};
    for (int day = 0; day < 7; ++day) {
        o.calendar.append({QStringLiteral("2026-12-%1").arg(17 + day),
                           QString::number(300 + (minute + day * 13) % 900)});
    }
    o.special = o.fare.toInt() <= 500;
    return o;
}

QString g_roundDirectory;
QString g_chartDirectory;

void BM_RecordRound(benchmark::State& state) {
    FareHistory history(g_roundDirectory);
    if (!history.open(kStart)) {
        state.SkipWithError("cannot open the history");
        return;
    }
    QList<FareObservation> round;
    for (int route = 0; route < kRoundRoutes; ++route) {
        round.append(observationOf(route, 0));
    }
    const bool written = state.range(0) != 0;
    for (auto _ : state) {
        history.beginRound();
        for (const FareObservation& observation : round) {
            history.record(observation);
        }
        history.endRound();
        if (written) {
            history.flush();
        } else {
            state.PauseTiming();
            history.flush();
            state.ResumeTiming();
        }
    }
}

void BM_ReadChart(benchmark::State& state) {
    FareHistory history(g_chartDirectory);
    if (!history.open(kStart)) {
        state.SkipWithError("cannot open the history");
        return;
    }
    const QString route = observationOf(0, 0).routeId;
    for (auto _ : state) {
        const QList<FarePoint> points = history.queries().farePoints(route).rows;
        if (points.size() != kChartObservations) {
            state.SkipWithError("wrong number of points");
        }
        benchmark::DoNotOptimize(points.data());
    }
}

// 0: what the round itself spends; 1: until the writer has stored the round. A fixed
// number of rounds, so that both write the same store size.
BENCHMARK(BM_RecordRound)->Arg(0)->Arg(1)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadChart)->Unit(benchmark::kMillisecond);

// One route observed every minute for 100,000 minutes, in rounds of 1,000, among the
// observations of 9 other routes.
qint64 fillChartStore() {
    FareHistory history(g_chartDirectory);
    if (!history.open(kStart)) {
        return -1;
    }
    for (qint64 minute = 0; minute < kChartObservations; minute += 1000) {
        history.beginRound();
        for (qint64 m = minute; m < minute + 1000; ++m) {
            for (int route = 0; route < 10; ++route) {
                history.record(observationOf(route, m));
            }
        }
        history.endRound();
    }
    history.flush();
    return QFileInfo(history.path()).size() +
           QFileInfo(history.path() + QStringLiteral("-wal")).size();
}

struct ProcessRun {
    double seconds = -1;
    double peakMiB = -1;
    int status = -1;
};

// Runs the command to its end: its wall time, peak resident memory and exit status.
ProcessRun runMeasured(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return {};
    }
    // The child's own high-water mark (VmHWM), read while it runs: its rusage would count
    // this process's memory, which it shared until its exec.
    int status = 0;
    qint64 peakKiB = 0;
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(pid);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        QFile file(statusFile);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("VmHWM:")) {
                    peakKiB = qMax(peakKiB, line.mid(6).trimmed().split(' ').value(0).toLongLong());
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), double(peakKiB) / 1024, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Opens the store when 90 % of it is older than the retention: what the caller waits for,
// and when the writer's thread has dropped them.
struct PruneFigures {
    double openedMs = -1; // what the caller waits for
    double prunedMs = -1; // until the writer's thread has dropped them
    double walMiB = -1;   // the write-ahead log afterwards
};

PruneFigures openWithPruneDue() {
    FareHistory history(g_chartDirectory);
    const QDateTime now = kStart.addDays(FareHistory::kDefaultRetentionDays)
                              .addSecs(qint64(kChartObservations) * 9 / 10 * 60);
    QElapsedTimer clock;
    clock.start();
    if (!history.open(now)) {
        return {};
    }
    const double opened = double(clock.nsecsElapsed()) / 1e6;
    int dropped = -1;
    QObject::connect(&history, &FareHistory::pruned, [&dropped](int count) { dropped = count; });
    while (dropped < 0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    if (dropped != 900000) {
        std::fprintf(stderr, "the prune dropped %d observations, not 900000\n", dropped);
    }
    return {opened, double(clock.nsecsElapsed()) / 1e6,
            double(QFileInfo(history.path() + QStringLiteral("-wal")).size()) / (1024 * 1024)};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir round;
    QTemporaryDir chart;
    g_roundDirectory = round.path();
    g_chartDirectory = chart.path();
    const qint64 bytes = fillChartStore();
    if (bytes < 0) {
        std::fprintf(stderr, "cannot write the history in %s\n", qPrintable(chart.path()));
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSummary:\n");
    std::printf("  recording a round of %d observations  %8.3f ms on top of the round (target: "
                "under 10 ms)\n",
                kRoundRoutes, reporter.milliseconds("BM_RecordRound/0/iterations:50"));
    std::printf("      stored by the writer thread meanwhile %8.3f ms\n",
                reporter.milliseconds("BM_RecordRound/1/iterations:50"));
    std::printf("  reading one route's %d points      %8.3f ms  (target: under 50 ms)\n",
                kChartObservations, reporter.milliseconds("BM_ReadChart"));
    std::printf("  size on disk per 100,000 observations  %8.2f MiB (1,000,000 observations, "
                "7-day calendars: %.1f MiB)\n",
                double(bytes) / 10 / (1024 * 1024), double(bytes) / (1024 * 1024));
    const std::string csv = QString(chart.path() + QStringLiteral("/all.csv")).toStdString();
    const ProcessRun exported = runMeasured(
        {SKYLARK_CLI_PATH, "--data-dir", chart.path().toStdString(), "history", "--export", csv});
    std::printf("  exporting 1,000,000 observations         %8.2f s   (target: under 10 s), "
                "%.0f MiB CSV, exit %d\n",
                exported.seconds,
                double(QFileInfo(QString::fromStdString(csv)).size()) / (1024 * 1024),
                exported.status);
    std::printf("      peak resident memory of the export %8.1f MiB (target: under 100 MiB)\n",
                exported.peakMiB);
    const PruneFigures prune = openWithPruneDue();
    std::printf("  opening with 900,000 observations to prune %6.1f ms on the caller's thread "
                "(the window waits for this); the writer's thread dropped them by %.0f ms, "
                "write-ahead log then %.1f MiB\n",
                prune.openedMs, prune.prunedMs, prune.walMiB);
    benchmark::Shutdown();
    return 0;
}
