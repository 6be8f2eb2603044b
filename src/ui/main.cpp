#include "Desktop.h"
#include "MainWindow.h"
#include "ProgramStyle.h"
#include "SingleInstance.h"
#include "WindowOps.h"
#include "session/ServerChoice.h"
#include "store/ProgramDirectory.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

using namespace skylark;

int main(int argc, char* argv[]) {
    // Under Wayland a window cannot place itself; XWayland keeps the alert window in its
    // corner and the main window centred.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("skylark"));
    ui::applyProgramStyle(app);
    ui::installQtTranslations(app);
    // The program lives in the tray while its windows are closed; only the exit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Skylark, the air-fare monitor"));
    parser.addHelpOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Keep DATA.dat, config.ini and servers.ini in DIR."), QStringLiteral("DIR"));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Use the built-in demo server for every outside server."));
    parser.addOptions({dataDir, demo});
    parser.process(app);

    const QString directory = programDirectory(parser.value(dataDir));
    // Two programs writing the same route file would lose routes: a second one hands over.
    ui::SingleInstance instance(directory);
    const ui::SingleInstance::Claim claim = instance.claim();
    if (claim == ui::SingleInstance::Claim::RunningElsewhere) {
        if (instance.handOver()) {
            return 0;
        }
        std::fprintf(stderr, "%s\n", qUtf8Printable(instance.problem()));
        return 1;
    }
    // A program that cannot guard its directory still runs, as a single one would.
    if (claim == ui::SingleInstance::Claim::Unguarded) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(instance.problem()));
    }
    const ServerChoice servers = chooseServers(directory, parser.isSet(demo));
    const QString notice =
        servers.demoServer ? QStringLiteral("    演示数据：票价来自内置的演示服务器（demo data）")
                           : QString();
    ui::WindowOps ops;
    ui::Desktop desktop(directory, servers.endpoints, ops, notice);
    QObject::connect(&instance, &ui::SingleInstance::activationRequested, &instance,
                     [&desktop] { ui::showMainWindow(desktop.window()); });
    desktop.start(instance.problem());
    return QApplication::exec();
}
