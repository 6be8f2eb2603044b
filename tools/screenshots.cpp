// Runs the desktop program on the demo server with two routes, one of them at a special
// fare, and saves pictures of its windows: the three pages of the main window, the push
// settings window, the skin window and an alert window. scripts/screenshots.sh runs it under Xvfb.
//   skylark-screenshots OUTPUT_DIR

#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "sim/DemoServer.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/ProgramStyle.h"
#include "ui/SkinFrame.h"
#include "ui/SkinWindow.h"
#include "ui/WindowOps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
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
    ui::applyProgramStyle(app);
    ui::installQtTranslations(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skylark-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir data;
    sim::DemoServer server;
    server.start();
    server.setFixedFare(QStringLiteral("成都"), QStringLiteral("上海"), 420);
    // The first skin is the one shown.
    const QString skin = data.filePath(QStringLiteral("Skin/01.jpg"));
    QDir().mkpath(data.filePath(QStringLiteral("Skin")));
    QFile skinFile(skin);
    if (!skinFile.open(QIODevice::WriteOnly) || skinFile.write(ui::builtInFirstSkin()) < 0 ||
        !Settings(data.path()).setSkinPath(skin)) {
        std::fprintf(stderr, "cannot write the first skin in %s\n", qPrintable(data.path()));
        return 1;
    }
    skinFile.close();
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

    bool ok = true;
    const QStringList pages{QStringLiteral("home"), QStringLiteral("monitor"),
                            QStringLiteral("log")};
    for (int page : {1, 0, 2}) {
        desktop.frame().navigationButton(page + 1)->click();
        ok = save(window, out.filePath(QStringLiteral("main-%1.png").arg(pages[page]))) && ok;
    }
    if (ui::AlertWindow* alert = desktop.frontEnd().alertWindow()) {
        ok = save(*alert, out.filePath(QStringLiteral("alert.png"))) && ok;
    }
    // A few more rounds, so that the history has a line to draw.
    for (int more = 0; more < 4; ++more) {
        waitMs(1100);
        desktop.monitor().runRound();
    }
    list->selectRow(0);
    window.routeListMenu().actions().last()->trigger();
    if (ui::HistoryWindow* history = desktop.historyWindow()) {
        history->move(200, 100);
        ok = save(*history, out.filePath(QStringLiteral("history.png"))) && ok;
        history->close();
    }
    QTimer::singleShot(0, [&] {
        if (ui::SkinWindow* skins = desktop.skinWindow()) {
            skins->move(300, 150);
            ok = save(*skins, out.filePath(QStringLiteral("skin-window.png"))) && ok;
            skins->close();
        }
    });
    desktop.openSkinWindow();
    desktop.frontEnd().openPushSettings();
    if (ui::PushSettingsWindow* push = desktop.frontEnd().pushSettingsWindow()) {
        ok = save(*push, out.filePath(QStringLiteral("push-settings.png"))) && ok;
    }
    desktop.openAlertChannelsWindow();
    if (ui::AlertChannelsWindow* channels = desktop.alertChannelsWindow()) {
        channels->move(250, 80);
        ok = save(*channels, out.filePath(QStringLiteral("alert-channels.png"))) && ok;
        channels->pages().setCurrentIndex(1);
        ok = save(*channels, out.filePath(QStringLiteral("alert-rules.png"))) && ok;
    }
    return ok ? 0 : 1;
}
