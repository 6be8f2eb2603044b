#include "app/ProgramDirectory.h"
#include "app/RouteBook.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace skylark;

namespace {

constexpr int kDone = 0;
constexpr int kUsageError = 2;

const char kUsage[] = "Usage: skylark-cli [--data-dir DIR] COMMAND\n"
                      "\n"
                      "Options:\n"
                      "  --data-dir DIR  use DIR for DATA.dat and config.ini\n"
                      "  --help          show this text\n"
                      "\n"
                      "Commands:\n"
                      "  routes          one line per route in book order: identifier, departure,\n"
                      "                  arrival, date, price and type, separated by tabs\n";

int printRoutes(const QString& directory, QTextStream& out) {
    for (const Route& route : RouteBook(directory).routes()) {
        out << route.routeId << '\t' << route.depCityName << '\t' << route.arrCityName << '\t'
            << route.depDate << '\t' << route.price << '\t' << route.type << '\n';
    }
    return kDone;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);

    if (arguments.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, stdout);
        return kDone;
    }
    QString dataDir;
    const qsizetype option = arguments.indexOf(QStringLiteral("--data-dir"));
    if (option >= 0) {
        if (option + 1 >= arguments.size()) {
            std::fputs(kUsage, stderr);
            return kUsageError;
        }
        dataDir = arguments[option + 1];
        arguments.remove(option, 2);
    }
    if (arguments != QStringList{QStringLiteral("routes")}) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    return printRoutes(programDirectory(dataDir), out);
}
