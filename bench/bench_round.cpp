// One monitoring round over 1,000 routes against the demo server running as a process of
// its own, with a period of 0: routes per second, and the longest stall of the main thread
// during the round (the worst lateness of a 5 ms timer).

#include "BenchSupport.h"
#include "app/FrontEnd.h"
#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "monitor/FareQuery.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "notify/PushAlerts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace skylark;

namespace {

constexpr int kRoutes = 1000;

class QuietFrontEnd final : public FrontEnd {
public:
    void showInformation(const QString&) override {}
    void playAlertSound() override {}
    void showAlertWindow(const QList<SpecialFare>&) override {}
    bool alertWindowSuppressed() const override { return true; }
    void openPushSettings() override {}
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QProcess server;
    const QString base = bench::startDemoServer(server, QStringLiteral(SKYLARK_SIM_PATH));
    QTemporaryDir directory;
    bench::writeRoutes(directory.path(), kRoutes);

    SystemClock clock;
    RouteBook book(directory.path());
    RouteListModel routes;
    loadRouteBook(book, routes);
    StatusLog log(clock);
    Settings settings(directory.path());
    const Endpoints endpoints = Endpoints::forDemo(base);
    HttpFetcher fetcher;
    FareQuery fares(fetcher, endpoints, book);
    PushNotifier push(fetcher, endpoints, settings, log, clock);
    QuietFrontEnd frontEnd;
    Monitor monitor(routes, log, fares, push, frontEnd, clock, {0, 0});

    bench::StallMeter stalls;
    QElapsedTimer round;
    QTimer::singleShot(0, [&] {
        stalls.start();
        round.start();
        monitor.runRound();
        const qint64 elapsed = round.elapsed();
        stalls.stop();
        const qsizetype specials = monitor.specialFares().size();
        std::printf("One round over %d routes against the demo server process:\n", kRoutes);
        std::printf("  %lld ms, %.0f routes per second (target: at least 300)\n", elapsed,
                    kRoutes * 1000.0 / qMax<qint64>(1, elapsed));
        std::printf("  longest stall of the main thread: %.1f ms over %d ticks of a %d ms timer "
                    "(target: at most 20)\n",
                    stalls.worstMs(), stalls.ticks(), stalls.tickMs());
        std::printf("  special fares found: %lld, log lines: %lld\n", qint64(specials),
                    qint64(log.lines().size()));
        QCoreApplication::quit();
    });
    const int status = app.exec();
    server.terminate();
    server.waitForFinished(5000);
    return status;
}
