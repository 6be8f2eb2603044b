// One monitoring round over 1,000 routes against the demo server running as a process of
// its own, with a period of 0: routes per second, and the longest stall of the main thread
// during the round (the worst lateness of a 5 ms timer).

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
#include "text/Gbk.h"

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
constexpr int kTickMs = 5;

class QuietFrontEnd final : public FrontEnd {
public:
    void showInformation(const QString&) override {}
    void playAlertSound() override {}
    void showAlertWindow(const QList<SpecialFare>&) override {}
    bool alertWindowSuppressed() const override { return true; }
    void openPushSettings() override {}
};

void writeRoutes(const QString& directory) {
    static const QStringList cities{QStringLiteral("北京"), QStringLiteral("上海"),
                                    QStringLiteral("广州"), QStringLiteral("成都"),
                                    QStringLiteral("香港"), QStringLiteral("东京")};
    const QString date = QDate::currentDate().addDays(20).toString(Qt::ISODate);
    QString text;
    for (int i = 0; i < kRoutes; ++i) {
        const QString dep = cities[i % cities.size()];
        const QString arr = cities[(i / cities.size() + 1 + i) % cities.size()];
        const bool international =
            i % cities.size() >= 4 || (i / cities.size() + 1 + i) % cities.size() >= 4;
        text +=
            QStringLiteral(
                "[%1]\r\ndepDate=%2\r\ndepCityName=%3\r\narrCityName=%4\r\nprice=%5\r\ntype=%6\r\n")
                .arg(20140000000000LL + i)
                .arg(date, dep, dep == arr ? QStringLiteral("重庆") : arr)
                .arg(i % 10 == 0 ? 5000 : 100)
                .arg(international ? QStringLiteral("international") : QStringLiteral("domestic"));
    }
    QFile file(RouteBook::routeFilePath(directory));
    if (!file.open(QIODevice::WriteOnly) || file.write(*encodeGbk(text)) < 0) {
        std::fprintf(stderr, "cannot write the route file\n");
        std::exit(1);
    }
}

// Starts skylark-sim and returns its base address.
QString startDemoServer(QProcess& process) {
    process.start(QStringLiteral(SKYLARK_SIM_PATH), {});
    if (!process.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the demo server did not start\n");
        std::exit(1);
    }
    const QString banner = QString::fromUtf8(process.readAllStandardOutput());
    return QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"))
        .match(banner)
        .captured();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QProcess server;
    const QString base = startDemoServer(server);
    QTemporaryDir directory;
    writeRoutes(directory.path());

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

    QElapsedTimer sinceTick;
    qint64 worstLateness = 0; // microseconds
    int ticks = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        worstLateness = qMax(worstLateness, sinceTick.nsecsElapsed() / 1000 - kTickMs * 1000);
        sinceTick.restart();
    });

    QElapsedTimer round;
    QTimer::singleShot(0, [&] {
        ticker.start(kTickMs);
        sinceTick.start();
        round.start();
        monitor.runRound();
        const qint64 elapsed = round.elapsed();
        ticker.stop();
        const qsizetype specials = monitor.specialFares().size();
        std::printf("One round over %d routes against the demo server process:\n", kRoutes);
        std::printf("  %lld ms, %.0f routes per second (target: at least 300)\n", elapsed,
                    kRoutes * 1000.0 / qMax<qint64>(1, elapsed));
        // The timer's own last interval counts too: a round that never let it run stalls.
        worstLateness = qMax(worstLateness, sinceTick.nsecsElapsed() / 1000 - kTickMs * 1000);
        std::printf("  longest stall of the main thread: %.1f ms over %d ticks of a %d ms timer "
                    "(target: at most 20)\n",
                    double(worstLateness) / 1000.0, ticks, kTickMs);
        std::printf("  special fares found: %lld, log lines: %lld\n", qint64(specials),
                    qint64(log.lines().size()));
        QCoreApplication::quit();
    });
    const int status = app.exec();
    server.terminate();
    server.waitForFinished(5000);
    return status;
}
