// skylark-sim [--port P]: runs the demo server alone until interrupted.

#include "sim/DemoServer.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    quint16 port = 0;
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("--port")) {
        bool ok = false;
        port = arguments[1].toUShort(&ok);
        if (!ok) {
            std::fputs("usage: skylark-sim [--port P]\n", stderr);
            return 2;
        }
    } else if (!arguments.isEmpty()) {
        std::fputs("usage: skylark-sim [--port P]\n", stderr);
        return 2;
    }
    skylark::sim::DemoServer server;
    if (!server.start(port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", unsigned(port));
        return 1;
    }
    std::printf("Skylark demo server on %s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    return app.exec();
}
