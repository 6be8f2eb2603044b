#pragma once

// What the benchmarks over monitoring rounds share: a route file of many routes, the demo
// server as a process of its own, and a meter of how long the main thread stalls.

#include "app/RouteBook.h"
#include "text/Gbk.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace skylark::bench {

// Writes count routes between six cities, every tenth with a high alert price.
inline void writeRoutes(const QString& directory, int count) {
    static const QStringList cities{QStringLiteral("北京"), QStringLiteral("上海"),
                                    QStringLiteral("广州"), QStringLiteral("成都"),
                                    QStringLiteral("香港"), QStringLiteral("东京")};
    const QString date = QDate::currentDate().addDays(20).toString(Qt::ISODate);
    QString text;
    for (int i = 0; i < count; ++i) {
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
inline QString startDemoServer(QProcess& process, const QString& program) {
    process.start(program, {});
    if (!process.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the demo server did not start\n");
        std::exit(1);
    }
    const QString banner = QString::fromUtf8(process.readAllStandardOutput());
    return QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"))
        .match(banner)
        .captured();
}

// The worst lateness of a precise timer of tickMs on the main thread while it runs.
class StallMeter {
public:
    explicit StallMeter(int tickMs = 5)
        : m_tickMs(tickMs) {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            ++m_ticks;
            note();
            m_sinceTick.restart();
        });
    }
    void start() {
        m_ticker.start(m_tickMs);
        m_sinceTick.start();
        m_sinceStart.start();
    }
    // Stops; the last interval counts too, so a round that never let the timer run stalls.
    void stop() {
        m_ticker.stop();
        note();
    }
    double worstMs() const { return double(m_worstUs) / 1000.0; }
    // When the worst stall ended, in milliseconds after the start.
    double worstAtMs() const { return double(m_worstAtUs) / 1000.0; }
    int ticks() const { return m_ticks; }
    int tickMs() const { return m_tickMs; }

private:
    void note() {
        const qint64 lateUs = m_sinceTick.nsecsElapsed() / 1000 - m_tickMs * 1000;
        if (lateUs > m_worstUs) {
            m_worstUs = lateUs;
            m_worstAtUs = m_sinceStart.nsecsElapsed() / 1000;
        }
    }

    int m_tickMs;
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    QElapsedTimer m_sinceStart;
    qint64 m_worstUs = 0;
    qint64 m_worstAtUs = 0;
    int m_ticks = 0;
};

} // namespace skylark::bench
