// Route book on a DATA.dat of 10,000 routes: a cold load against inih's single parse of
// the same file, an append and a remove, and 10,000 routeKindOf calls.

#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "text/Gbk.h"

#include "SummaryReporter.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRoutes = 10000;
constexpr qint64 kFirstId = 20141116090503;

QString g_directory; // set once in main before any benchmark runs

Route generatedRoute(qint64 id) {
    return {QString::number(id),
            u"成都"_s,
            u"上海"_s,
            u"2014-11-20"_s,
            QString::number(300 + id % 700),
            id % 3 ? u"domestic"_s : u"international"_s};
}

void generateRouteFile(const QString& directory) {
    QString text;
    for (qint64 i = 0; i < kRoutes; ++i) {
        const Route r = generatedRoute(kFirstId + i);
        text += u"["_s + r.routeId + u"]\r\ndepDate="_s + r.depDate + u"\r\ndepCityName="_s +
                r.depCityName + u"\r\narrCityName="_s + r.arrCityName + u"\r\nprice="_s + r.price +
                u"\r\ntype="_s + r.type + u"\r\n"_s;
    }
    QFile file(RouteBook::routeFilePath(directory));
    if (!file.open(QIODevice::WriteOnly) || file.write(*encodeGbk(text)) < 0) {
        std::fprintf(stderr, "cannot write the route file\n");
        std::exit(1);
    }
}

int countKey(void* user, const char*, const char*, const char*) {
    ++*static_cast<int*>(user);
    return 1;
}

bool parseWithInih() {
    const QByteArray path = QFile::encodeName(RouteBook::routeFilePath(g_directory));
    int keys = 0;
    return ini_parse(path.constData(), countKey, &keys) == 0 && keys == kRoutes * 5;
}

bool loadIntoList(RouteListModel& model) {
    const RouteBook book(g_directory); // a fresh book: nothing cached
    loadRouteBook(book, model);
    return model.rowCount() == kRoutes;
}

void BM_InihParse(benchmark::State& state) {
    for (auto _ : state) {
        if (!parseWithInih()) {
            state.SkipWithError("inih failed");
        }
    }
}

void BM_LoadRouteBook(benchmark::State& state) {
    RouteListModel model;
    for (auto _ : state) {
        if (!loadIntoList(model)) {
            state.SkipWithError("wrong row count");
        }
    }
}

// Both read the file in turns, so that both meet the same machine; the counter holds the
// median of the pairs' ratios, which a neighbour's burst of load on a shared host does not
// move.
void BM_LoadAgainstInih(benchmark::State& state) {
    RouteListModel model;
    std::vector<double> ratios;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        const bool loaded = loadIntoList(model);
        const qint64 load = clock.nsecsElapsed();
        clock.start();
        if (!parseWithInih() || !loaded) {
            state.SkipWithError("a reading failed");
            return;
        }
        ratios.push_back(double(load) / double(qMax<qint64>(1, clock.nsecsElapsed())));
    }
    state.counters["median_ratio"] = medianOf(ratios);
}

void BM_RouteKindOf10000(benchmark::State& state) {
    const RouteBook book(g_directory);
    for (auto _ : state) {
        int domestic = 0;
        for (qint64 i = 0; i < kRoutes; ++i) {
            domestic += book.routeKindOf(QString::number(kFirstId + i)) == u"domestic";
        }
        benchmark::DoNotOptimize(domestic);
    }
}

void BM_AppendRoute(benchmark::State& state) {
    RouteBook book(g_directory);
    qint64 id = kFirstId + kRoutes;
    for (auto _ : state) {
        if (!book.appendRoute(generatedRoute(id))) {
            state.SkipWithError("append failed");
        }
        state.PauseTiming();
        (void)book.removeRoute(QString::number(id++));
        state.ResumeTiming();
    }
}

void BM_RemoveRoute(benchmark::State& state) {
    RouteBook book(g_directory);
    qint64 id = kFirstId + 2 * kRoutes;
    for (auto _ : state) {
        state.PauseTiming();
        (void)book.appendRoute(generatedRoute(id));
        state.ResumeTiming();
        if (!book.removeRoute(QString::number(id++))) {
            state.SkipWithError("remove failed");
        }
    }
}

BENCHMARK(BM_InihParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRouteBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAgainstInih)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_RouteKindOf10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendRoute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveRoute)->Unit(benchmark::kMillisecond);

void printSummary(const SummaryReporter& ms) {
    const double inih = ms.milliseconds("BM_InihParse");
    const double load = ms.milliseconds("BM_LoadRouteBook");
    const double append = ms.milliseconds("BM_AppendRoute");
    const double remove = ms.milliseconds("BM_RemoveRoute");
    const double ratio = ms.counter("BM_LoadAgainstInih/iterations:100", "median_ratio");
    std::printf("\nSummary on %d routes:\n", kRoutes);
    std::printf("  loadRouteBook %8.3f ms, inih single parse %8.3f ms; median of the ratios of\n"
                "  100 reads in turns %.2f x (target: at most 1.0 x, %s)\n",
                load, inih, ratio, verdict(ratio <= 1.0));
    std::printf("  10,000 routeKindOf       %8.3f ms\n", ms.milliseconds("BM_RouteKindOf10000"));
    std::printf("  appendRoute              %8.3f ms  (target: under 15 ms, %s)\n", append,
                verdict(append < 15));
    std::printf("  removeRoute              %8.3f ms  (target: under 15 ms, %s)\n", remove,
                verdict(remove < 15));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir directory;
    g_directory = directory.path();
    generateRouteFile(g_directory);
    // A file changed within the last second is compared byte for byte at every read;
    // measure the settled state that a running program sees.
    QThread::msleep(1100);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
