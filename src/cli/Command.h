#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace skylark {

class CliContext;

// One way to call a command: what follows its name, and what it does, in lines as the
// usage shows them.
struct CommandForm {
    QString synopsis;
    QString help;
};

// An option of a command: "--name VALUE", or a flag "--name" when it takes no value.
struct CommandOption {
    QString name;
    QString valueName; // empty for a flag
};

// What the command line gave a command: its options taken out, the rest in order.
struct CommandArguments {
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;

    bool has(const QString& option) const {
        return flags.contains(option) || values.contains(option);
    }
    QString value(const QString& option) const { return values.value(option); }
};

// A command of skylark-cli: it declares its name, forms and options, from which the usage
// and its own --help are made, and runs itself on the arguments parsed by them.
class Command {
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    virtual QList<CommandForm> forms() const = 0;
    virtual QList<CommandOption> options() const { return {}; }
    // The exit status.
    virtual int run(CliContext& context, const CommandArguments& arguments) = 0;
};

// Takes the command's declared options out of the arguments; false when an option that
// takes a value has none.
[[nodiscard]] bool parseCommandArguments(const QList<CommandOption>& options, QStringList arguments,
                                         CommandArguments& parsed);

// The lines of the usage that describe the forms: the synopsis, then the help beside it,
// or below it when the synopsis is too long.
QString formsText(const QList<CommandForm>& forms);

} // namespace skylark
