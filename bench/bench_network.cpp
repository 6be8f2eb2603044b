// The fare query's reading of a calendar reply with JsonReader against nlohmann::json, and
// 1,000 sequential GETs of a 1 KB body through httpFetch against a bare libcurl loop with
// a fresh handle per request, both from a local server on its own thread.

#include "net/HttpFetch.h"
#include "net/JsonReader.h"
#include "net/ServerAnswers.h"

#include "BareCurl.h"
#include "LoopbackServer.h"
#include "SummaryReporter.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace skylark;

namespace {

constexpr int kGets = 1000;

QString calendarJson(int days) {
    QString json = QStringLiteral("{\"error\":\"0\",\"status\":0,\"data\":[");
    const QDate first(2014, 11, 2);
    for (int i = 0; i < days; ++i) {
        json +=
            QStringLiteral("%1{\"date\":\"%2\",\"price\":%3}")
                .arg(i ? QStringLiteral(",") : QString(), first.addDays(i).toString(Qt::ISODate))
                .arg(300 + (i * 37) % 900);
    }
    return json + QStringLiteral("]}");
}

void walkWithJsonReader(const QString& text) {
    JsonReader reader;
    reader.parse(text);
    const int count = reader.count(u"data");
    QString path;
    for (int i = 0; i < count; ++i) {
        benchmark::DoNotOptimize(reader.getText(elementMemberPath(path, u"data", i, u"date")));
        benchmark::DoNotOptimize(reader.getText(elementMemberPath(path, u"data", i, u"price")));
    }
}

void walkWithNlohmann(const std::string& text) {
    const nlohmann::json document = nlohmann::json::parse(text);
    const nlohmann::json& data = document.at("data");
    const std::size_t count = data.size();
    for (std::size_t i = 0; i < count; ++i) {
        benchmark::DoNotOptimize(data[i].at("date").get_ref<const std::string&>());
        const nlohmann::json& price = data[i].at("price");
        benchmark::DoNotOptimize(price.is_string() ? price.get_ref<const std::string&>().size()
                                                   : std::size_t(price.get<double>()));
    }
}

void readWithJsonReader(benchmark::State& state, int days) {
    const QString text = calendarJson(days);
    for (auto _ : state) {
        walkWithJsonReader(text);
    }
}

void readWithNlohmann(benchmark::State& state, int days) {
    const std::string text = calendarJson(days).toStdString();
    for (auto _ : state) {
        walkWithNlohmann(text);
    }
}

// The two readers walk the 10,000-day reply in turns, so that both meet the same machine;
// the counter holds the median of the pairs' ratios, which a neighbour's burst of load on
// a shared host does not move.
void BM_JsonReaderAgainstNlohmann10000(benchmark::State& state) {
    const QString text = calendarJson(10000);
    const std::string bytes = text.toStdString();
    std::vector<double> ratios;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        walkWithJsonReader(text);
        const qint64 reader = clock.nsecsElapsed();
        clock.start();
        walkWithNlohmann(bytes);
        ratios.push_back(double(reader) / double(qMax<qint64>(1, clock.nsecsElapsed())));
    }
    state.counters["median_ratio"] = medianOf(ratios);
}

// Set in main before any benchmark runs: a server that answers every request with 1 KB.
QString g_url;

bool fetchThroughHttpFetch(HttpFetcher& fetcher, const QString& url) {
    return fetcher.httpFetch(url).size() == 1024;
}

bool fetchThroughBareCurl(const QByteArray& url) {
    return bench::bareCurlGet(url) == std::size_t(1024);
}

// 1,000 GETs each way, made in alternating batches of 10 so that both loops meet the same
// machine. On a shared host a neighbour's burst of load can slow either loop for a while;
// the ratio is therefore the median of the batch pairs' ratios, which such bursts do not
// move. The counters hold each loop's milliseconds per 1,000 GETs and that ratio.
void BM_HttpFetchAgainstCurl1000(benchmark::State& state) {
    constexpr int kBatch = 10;
    HttpFetcher fetcher;
    const QString url = g_url;
    const QByteArray bareUrl = url.toLatin1();
    qint64 fetchNs = 0;
    qint64 bareNs = 0;
    std::vector<double> ratios;
    QElapsedTimer clock;
    for (auto _ : state) {
        for (int batch = 0; batch < kGets / kBatch; ++batch) {
            clock.start();
            for (int i = 0; i < kBatch; ++i) {
                if (!fetchThroughHttpFetch(fetcher, url)) {
                    state.SkipWithError("short body");
                    return;
                }
            }
            const qint64 fetched = clock.nsecsElapsed();
            clock.start();
            for (int i = 0; i < kBatch; ++i) {
                if (!fetchThroughBareCurl(bareUrl)) {
                    state.SkipWithError("bare curl failed");
                    return;
                }
            }
            const qint64 bare = clock.nsecsElapsed();
            fetchNs += fetched;
            bareNs += bare;
            ratios.push_back(double(fetched) / double(qMax<qint64>(1, bare)));
        }
    }
    const double iterations = double(state.iterations());
    state.counters["httpFetch_ms"] = double(fetchNs) / 1e6 / iterations;
    state.counters["bare_curl_ms"] = double(bareNs) / 1e6 / iterations;
    state.counters["median_ratio"] = medianOf(ratios);
}

// Hostile calendar answers of the largest body an exchange accepts (32 MiB).
constexpr qsizetype kHostileBytes = 32 * 1024 * 1024;

QByteArray repeatedTo(const QByteArray& head, const QByteArray& unit, const QByteArray& tail) {
    QByteArray body = head;
    body.reserve(kHostileBytes);
    while (body.size() + unit.size() + tail.size() <= kHostileBytes) {
        body += unit;
    }
    return body + tail;
}

QByteArray hostileAnswer(int shape) {
    switch (shape) {
    case 0: { // brackets nested as deep as the body allows
        const qsizetype depth = (kHostileBytes - 4) / 2;
        return "cb(" + QByteArray(depth, '[') + QByteArray(depth, ']') + ")";
    }
    case 1: { // deep objects whose repeated member names hold "."
        const QByteArray level = "{\"a.\":1,\"a.\":";
        const qsizetype depth = (kHostileBytes - 8) / (level.size() + 1);
        return "cb(" + level.repeated(depth) + "1" + QByteArray(depth, '}') + ")";
    }
    default: // a flat calendar of millions of days
        return repeatedTo("cb({\"data\":[", "{\"date\":\"2014-11-02\",\"price\":1},", "0]})");
    }
}

void readHostileAnswer(benchmark::State& state) {
    const QByteArray body = hostileAnswer(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(readCalendarAnswer(body, QStringLiteral("2014-11-02")));
    }
}

BENCHMARK(readHostileAnswer)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(readWithJsonReader, 7days, 7);
BENCHMARK_CAPTURE(readWithNlohmann, 7days, 7);
BENCHMARK_CAPTURE(readWithJsonReader, 10000days, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readWithNlohmann, 10000days, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonReaderAgainstNlohmann10000)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_HttpFetchAgainstCurl1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void printSummary(const SummaryReporter& ms) {
    const double reader7 = ms.milliseconds("readWithJsonReader/7days") * 1000;
    const double nlohmann7 = ms.milliseconds("readWithNlohmann/7days") * 1000;
    const double reader = ms.milliseconds("readWithJsonReader/10000days");
    const double nlohmann = ms.milliseconds("readWithNlohmann/10000days");
    const double fetch = ms.counter("BM_HttpFetchAgainstCurl1000/real_time", "httpFetch_ms");
    const double bare = ms.counter("BM_HttpFetchAgainstCurl1000/real_time", "bare_curl_ms");
    std::printf("\nSummary:\n");
    std::printf("  7-day reply:       JsonReader %8.2f us, nlohmann::json %8.2f us\n", reader7,
                nlohmann7);
    const double readerRatio =
        ms.counter("BM_JsonReaderAgainstNlohmann10000/iterations:60", "median_ratio");
    std::printf("  10,000-day reply:  JsonReader %8.2f ms, nlohmann::json %8.2f ms; median of the\n"
                "  ratios of 60 walks in turns %.2f x (target: at most 0.5 x, %s)\n",
                reader, nlohmann, readerRatio, verdict(readerRatio <= 0.5));
    const double hostile = std::max({ms.milliseconds("readHostileAnswer/0/iterations:1"),
                                     ms.milliseconds("readHostileAnswer/1/iterations:1"),
                                     ms.milliseconds("readHostileAnswer/2/iterations:1")});
    std::printf("  32 MiB hostile calendar answer, slowest of nested brackets, dotted names and\n"
                "  millions of days: %8.1f ms (target: under 1000 ms, %s)\n",
                hostile, verdict(hostile < 1000));
    const double fetchRatio = ms.counter("BM_HttpFetchAgainstCurl1000/real_time", "median_ratio");
    std::printf("  1,000 GETs of 1 KB: httpFetch %8.1f ms, bare libcurl %8.1f ms; median of the\n"
                "  batch ratios %.2f x (target: at most 1.2 x, %s)\n",
                fetch, bare, fetchRatio, verdict(fetchRatio <= 1.2));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    bench::LoopbackServer server(
        [](const std::string&) { return bench::LoopbackServer::ok(std::string(1024, 'f')); });
    g_url = server.baseUrl() + QStringLiteral("/fares");
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
