// The fare history against its floors: recording a round of 1,000 observations, reading
// one route's 100,000 observations for its chart, and the size on disk of 100,000
// observations with their seven-day calendars.

#include "history/FareHistory.h"

#include "SummaryReporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

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
        const QList<FarePoint> points = history.farePoints(route).rows;
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
    benchmark::Shutdown();
    return 0;
}
