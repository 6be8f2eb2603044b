#include "ServiceCommands.h"

#include "CliContext.h"
#include "SignalWatcher.h"
#include "app/StartUp.h"
#include "sim/DemoServer.h"

#include <QCoreApplication>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

QList<CommandForm> VersionCommand::forms() const {
    return {{u"version"_s, u"the version line, after asking the update server"_s}};
}

int VersionCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (!arguments.positional.isEmpty()) {
        return context.usageError();
    }
    MonitorSession& session = context.online();
    context.out << frameSecondLine(versionText(session.fetcher(), session.endpoints())) << '\n';
    return CliContext::kDone;
}

QList<CommandForm> SimCommand::forms() const {
    return {{u"sim [--port P]"_s, u"run the demo server alone until interrupted"_s}};
}

QList<CommandOption> SimCommand::options() const {
    return {{u"--port"_s, u"P"_s}};
}

int SimCommand::run(CliContext& context, const CommandArguments& arguments) {
    bool ok = true;
    const quint16 port =
        arguments.has(u"--port"_s) ? arguments.value(u"--port"_s).toUShort(&ok) : 0;
    if (!ok || !arguments.positional.isEmpty()) {
        return context.usageError();
    }
    sim::DemoServer server;
    if (!server.start(port)) {
        context.err << u"Cannot listen on 127.0.0.1:"_s << port << '\n';
        return CliContext::kRefused;
    }
    context.out << u"Skylark demo server on "_s << server.baseUrl() << '\n';
    context.out.flush();
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::interrupted, &signals,
                     [] { QCoreApplication::exit(CliContext::kDone); });
    return QCoreApplication::exec();
}

} // namespace skylark
