// Keeps changing a route book until it is killed, printing each window it has stored.
// Used by the crash test: routewriter DATA_DIRECTORY

#include "CrashRoutes.h"
#include "app/RouteBook.h"

#include <QCoreApplication>

#include <cstdio>

using namespace skylark;
using namespace crashroutes;

namespace {

Window windowOf(const RouteBook& book) {
    const QList<Route> routes = book.routes();
    if (routes.isEmpty()) {
        return {};
    }
    return {routes.first().routeId.toLongLong(), routes.last().routeId.toLongLong()};
}

void report(const char* what, Window window) {
    std::printf("%s %lld %lld\n", what, window.first, window.last);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: routewriter DATA_DIRECTORY\n", stderr);
        return 2;
    }
    RouteBook book(QString::fromLocal8Bit(argv[1]));
    Window window = windowOf(book);
    report("ready", window);
    for (;;) {
        const Window next = nextWindow(window);
        const bool done = (next.first != window.first
                              ? book.removeRoute(QString::number(window.first))
                              : book.appendRoute(routeFor(next.last))).ok();
        if (!done) {
            std::fputs("write failed\n", stderr);
            return 1;
        }
        window = next;
        report("stored", window);
    }
}
