#include "Cli.h"

#include "CliContext.h"
#include "HistoryCommand.h"
#include "MonitorCommand.h"
#include "RouteListCommands.h"
#include "ServiceCommands.h"
#include "SettingsCommands.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kSynopsis = u"skylark-cli [--data-dir DIR] [--demo]"_s;

const QString kOptions =
    u"Options:\n"
    "  --data-dir DIR   keep DATA.dat, config.ini and servers.ini in DIR\n"
    "  --demo           use the built-in demo server for every outside server (also the\n"
    "                   default when the data directory has no servers.ini)\n"
    "  --help           show this text, or after a command its own\n"_s;

const QString kExitStatus = u"Exit status: 0 done, 1 refused by a check or a failed write (its "
                            "message printed),\n2 usage error, 130 monitor interrupted twice.\n"_s;

// Takes "--name VALUE" out of the arguments; false when the value is missing.
bool takeOption(QStringList& arguments, const QString& name, QString& value) {
    const qsizetype at = arguments.indexOf(name);
    if (at < 0) {
        return true;
    }
    if (at + 1 >= arguments.size()) {
        return false;
    }
    value = arguments[at + 1];
    arguments.remove(at, 2);
    return true;
}

} // namespace

Cli::Cli(QTextStream& out, QTextStream& err)
    : m_out(out)
    , m_err(err)
    , m_commands{std::make_shared<RoutesCommand>(),       std::make_shared<AddCommand>(),
                 std::make_shared<DeleteCommand>(),       std::make_shared<OpenCommand>(),
                 std::make_shared<MonitorCommand>(),      std::make_shared<PushCommand>(),
                 std::make_shared<PushSettingsCommand>(), std::make_shared<PushTestCommand>(),
                 std::make_shared<HistoryCommand>(),      std::make_shared<RulesCommand>(),
                 std::make_shared<ChannelsCommand>(),     std::make_shared<ChannelCommand>(),
                 std::make_shared<VersionCommand>(),      std::make_shared<SimCommand>()} {}

Cli::~Cli() = default;

QString Cli::usage() const {
    QString text = u"Usage: %1 COMMAND [ARGUMENTS]\n\n"
                   "Skylark watches air fares. Status-log lines go to standard output; "
                   "messages, alerts\nand errors to standard error.\n\n"_s.arg(kSynopsis) +
                   kOptions + u"\nCommands:\n"_s;
    for (const std::shared_ptr<Command>& command : m_commands) {
        text += formsText(command->forms());
    }
    return text + u'\n' + kExitStatus;
}

QString Cli::commandUsage(const Command& command) const {
    QString text;
    for (const CommandForm& form : command.forms()) {
        text += u"Usage: %1 %2\n"_s.arg(kSynopsis, form.synopsis);
    }
    text += u"\n"_s + formsText(command.forms());
    if (!command.options().isEmpty()) {
        text += u"\nOptions:\n"_s;
        for (const CommandOption& option : command.options()) {
            text += u"  "_s + QString(option.name + u' ' + option.valueName).trimmed() + u'\n';
        }
    }
    return text;
}

Command* Cli::commandNamed(const QString& name) const {
    for (const std::shared_ptr<Command>& command : m_commands) {
        if (command->name() == name) {
            return command.get();
        }
    }
    return nullptr;
}

int Cli::run(QStringList arguments) {
    QString dataDir;
    const bool dataDirOk = takeOption(arguments, u"--data-dir"_s, dataDir);
    const bool demo = arguments.removeAll(u"--demo"_s) > 0;
    Command* command = commandNamed(arguments.value(0));
    if (arguments.contains(u"--help"_s)) {
        m_out << (command && arguments.indexOf(u"--help"_s) > 0 ? commandUsage(*command) : usage());
        return CliContext::kDone;
    }
    CliContext context(m_out, m_err, dataDir, demo, usage());
    CommandArguments parsed;
    if (!dataDirOk || !command ||
        !parseCommandArguments(command->options(), arguments.mid(1), parsed)) {
        return context.usageError();
    }
    return command->run(context, parsed);
}

} // namespace skylark
