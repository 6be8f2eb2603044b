// The fare query's reading of a calendar reply with JsonReader against nlohmann::json, and
// 1,000 sequential GETs of a 1 KB body through httpFetch against a bare libcurl loop with
// a fresh handle per request, both from a local server on its own thread.

#include "net/HttpFetch.h"
#include "net/JsonReader.h"
#include "net/ServerAnswers.h"

#include "SummaryReporter.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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

void readWithJsonReader(benchmark::State& state, int days) {
    const QString text = calendarJson(days);
    for (auto _ : state) {
        JsonReader reader;
        reader.parse(text);
        const int count = reader.count(u"data");
        QString path;
        for (int i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(reader.getText(elementMemberPath(path, u"data", i, u"date")));
            benchmark::DoNotOptimize(reader.getText(elementMemberPath(path, u"data", i, u"price")));
        }
    }
}

void readWithNlohmann(benchmark::State& state, int days) {
    const std::string text = calendarJson(days).toStdString();
    for (auto _ : state) {
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
}

// A blocking HTTP server on 127.0.0.1 that answers every request with 1 KB and closes.
class OneKilobyteServer {
public:
    OneKilobyteServer() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 64);
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~OneKilobyteServer() {
        m_stopping = true;
        ::shutdown(m_socket, SHUT_RDWR);
        ::close(m_socket);
        m_thread.join();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/fares").arg(m_port); }

private:
    void serve() {
        const std::string response =
            "HTTP/1.1 200 OK\r\nContent-Length: 1024\r\nConnection: close\r\n\r\n" +
            std::string(1024, 'f');
        while (!m_stopping) {
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, std::size_t(got));
            }
            ::send(client, response.data(), response.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }

    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

OneKilobyteServer* g_server = nullptr; // set in main before any benchmark runs

size_t discard(char*, size_t size, size_t count, void* user) {
    *static_cast<size_t*>(user) += size * count;
    return size * count;
}

bool fetchThroughHttpFetch(HttpFetcher& fetcher, const QString& url) {
    return fetcher.httpFetch(url).size() == 1024;
}

bool fetchThroughBareCurl(const QByteArray& url) {
    CURL* curl = curl_easy_init();
    size_t received = 0;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return result == CURLE_OK && received == 1024;
}

// 1,000 GETs each way, made in alternating batches of 10 so that both loops meet the same
// machine. On a shared host a neighbour's burst of load can slow either loop for a while;
// the ratio is therefore the median of the batch pairs' ratios, which such bursts do not
// move. The counters hold each loop's milliseconds per 1,000 GETs and that ratio.
void BM_HttpFetchAgainstCurl1000(benchmark::State& state) {
    constexpr int kBatch = 10;
    HttpFetcher fetcher;
    const QString url = g_server->url();
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
    std::nth_element(ratios.begin(), ratios.begin() + qsizetype(ratios.size() / 2), ratios.end());
    state.counters["httpFetch_ms"] = double(fetchNs) / 1e6 / iterations;
    state.counters["bare_curl_ms"] = double(bareNs) / 1e6 / iterations;
    state.counters["median_ratio"] = ratios[ratios.size() / 2];
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
    const double readerRatio = nlohmann > 0 ? reader / nlohmann : 0.0;
    std::printf("  10,000-day reply:  JsonReader %8.2f ms, nlohmann::json %8.2f ms = %.2f x "
                "(target: at most 0.5 x, %s)\n",
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
    OneKilobyteServer server;
    g_server = &server;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
