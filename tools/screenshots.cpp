// Runs the desktop program on the demo server with two routes, one of them at a special
// fare, and saves pictures of its windows: the three pages of the main window, the push
// settings window and an alert window. scripts/screenshots.sh runs it under Xvfb.
//   skylark-screenshots OUTPUT_DIR

#include "app/RouteListModel.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "sim/DemoServer.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/WindowOps.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>

using namespace skylark;

namespace {

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& window, const QString& path) {
    window.raise();
    waitMs(700); // let the window system draw it
    const QRect frame = window.frameGeometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, frame.x(), frame.y(), frame.width(), frame.height());
    const bool saved = shot.save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

void add(ui::MainWindow& window, const QString& from, const QString& to, const QString& price) {
    window.findChild<QLineEdit*>(QStringLiteral("编辑框_出发城市"))->setText(from);
    window.findChild<QLineEdit*>(QStringLiteral("编辑框_到达城市"))->setText(to);
    window.findChild<QLineEdit*>(QStringLiteral("编辑框_监控价格"))->setText(price);
    window.findChild<QPushButton*>(QStringLiteral("按钮_增加航线"))->click();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skylark-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir data;
    sim::DemoServer server;
    server.start();
    server.setFixedFare(QStringLiteral("成都"), QStringLiteral("上海"), 420);
    ui::WindowOps ops;
    ops.setAnswerer([](const QString&) { return int(ui::WindowOps::Ok); });
    ui::Desktop desktop(data.path(), Endpoints::forDemo(server.baseUrl()), ops,
                        QStringLiteral("    演示数据：票价来自内置的演示服务器（demo data）"),
                        MonitorTiming{100, 60000});
    desktop.setTipTickMs(1);
    desktop.start();
    ui::MainWindow& window = desktop.window();
    window.move(0, 0);
    add(window, QStringLiteral("成都"), QStringLiteral("上海"), QStringLiteral("500"));
    add(window, QStringLiteral("北京"), QStringLiteral("东京"), QStringLiteral("900"));
    add(window, QStringLiteral("广州"), QStringLiteral("香港"), QStringLiteral("300"));

    QEventLoop round;
    QObject::connect(&desktop.monitor(), &Monitor::roundFinished, &round, &QEventLoop::quit);
    desktop.monitor().startMonitoring();
    if (desktop.monitor().roundRunning()) {
        round.exec();
    }
    waitMs(3000); // the web pages load meanwhile
    auto* list = window.findChild<QTableView*>(QStringLiteral("超级列表框_监控列表"));
    list->selectRow(1);
    desktop.fillTrendSearch();
    waitMs(1500);

    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("选择夹1"));
    bool ok = true;
    const QStringList pages{QStringLiteral("home"), QStringLiteral("monitor"),
                            QStringLiteral("log")};
    for (int page : {1, 0, 2}) {
        tabs->setCurrentIndex(page);
        ok = save(window, out.filePath(QStringLiteral("main-%1.png").arg(pages[page]))) && ok;
    }
    if (ui::AlertWindow* alert = desktop.frontEnd().alertWindow()) {
        ok = save(*alert, out.filePath(QStringLiteral("alert.png"))) && ok;
    }
    desktop.frontEnd().openPushSettings();
    if (ui::PushSettingsWindow* push = desktop.frontEnd().pushSettingsWindow()) {
        ok = save(*push, out.filePath(QStringLiteral("push-settings.png"))) && ok;
    }
    return ok ? 0 : 1;
}
