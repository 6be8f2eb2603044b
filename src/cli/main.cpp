#include "Cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = skylark::Cli(out, err).run(QCoreApplication::arguments().mid(1));
    out.flush();
    err.flush();
    return status;
}
