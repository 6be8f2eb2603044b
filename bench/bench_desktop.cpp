// The desktop program on the demo server (a process of its own) with 1,000 routes: the time
// from process start to the main window shown, the resident memory after 10 s idle (the
// program's own process and the browser engine's helper processes apart), and the longest
// stall of the main thread during a round over the routes with the route list visible.
// Needs a display; bench.sh runs it under Xvfb.

#include "BenchSupport.h"
#include "app/Settings.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "store/SafeSave.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/ProgramStyle.h"
#include "ui/SkinWindow.h"
#include "ui/WindowOps.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <unistd.h>

using namespace skylark;

namespace {

constexpr int kRoutes = 1000;
constexpr int kIdleMs = 10000;

// Milliseconds since this process started, from the kernel's records.
double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray fields = stat.readAll();
    // Field 22, start time in clock ticks after boot, counted after the command's ")".
    const QList<QByteArray> after = fields.mid(fields.lastIndexOf(')') + 2).split(' ');
    const double startSeconds = after.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    const double nowSeconds = uptime.readAll().split(' ').value(0).toDouble();
    return (nowSeconds - startSeconds) * 1000.0;
}

qint64 residentKb(const QString& pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

QString parentOf(const QString& pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray fields = stat.readAll();
    return QString::fromLatin1(fields.mid(fields.lastIndexOf(')') + 2).split(' ').value(1));
}

// The resident memory of every descendant of this process but the demo server's.
std::pair<qint64, int> helpersKb(const QString& self, const QString& excluded) {
    qint64 total = 0;
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() <= 0 || pid == self || pid == excluded) {
            continue;
        }
        for (QString up = parentOf(pid); !up.isEmpty() && up != u"0" && up != u"1";
             up = parentOf(up)) {
            if (up == excluded) {
                break;
            }
            if (up == self) {
                total += residentKb(pid);
                ++count;
                break;
            }
        }
    }
    return {total, count};
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ui::applyProgramStyle(app);
    QProcess server;
    const QString base = bench::startDemoServer(server, QStringLiteral(SKYLARK_SIM_PATH));
    QTemporaryDir directory;
    bench::writeRoutes(directory.path(), kRoutes);
    // Worn as most users do: the first skin, a JPEG of the main window's size.
    const QString skin = directory.filePath(QStringLiteral("Skin/01.jpg"));
    QDir().mkpath(directory.filePath(QStringLiteral("Skin")));
    if (!saveFileAtomically(skin, ui::builtInFirstSkin()) ||
        !Settings(directory.path()).setSkinPath(skin)) {
        std::fprintf(stderr, "cannot write the skin in %s\n", qPrintable(directory.path()));
        return 1;
    }
    ui::WindowOps ops;
    ops.setAnswerer([](const QString&) { return int(ui::WindowOps::Ok); });
    ui::Desktop desktop(directory.path(), Endpoints::forDemo(base), ops, {}, MonitorTiming{0, 0});
    desktop.start();
    ui::MainWindow& window = desktop.window();
    while (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    const double shownMs = msSinceProcessStart();
    std::printf("The desktop program on the demo server, %d routes:\n", kRoutes);
    std::printf("  process start to main window shown: %.0f ms\n", shownMs);

    waitMs(kIdleMs);
    const QString self = QString::number(QCoreApplication::applicationPid());
    const auto [helpers, helperCount] = helpersKb(self, QString::number(server.processId()));
    std::printf("  resident memory after %d s idle: main process %.1f MiB, %d browser engine "
                "helper processes %.1f MiB\n",
                kIdleMs / 1000, residentKb(self) / 1024.0, helperCount, helpers / 1024.0);

    bench::StallMeter stalls;
    QElapsedTimer round;
    stalls.start();
    round.start();
    desktop.monitor().runRound();
    const qint64 elapsed = round.elapsed();
    stalls.stop();
    std::printf("  a round over %d routes with the route list visible: %lld ms; longest stall of "
                "the main thread %.1f ms over %d ticks of a %d ms timer (target: at most 20)\n",
                kRoutes, elapsed, stalls.worstMs(), stalls.ticks(), stalls.tickMs());
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
