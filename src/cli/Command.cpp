#include "Command.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;
namespace {

constexpr int kSynopsisWidth = 27; // the help starts in the column after it
constexpr int kHelpWidth = 60;

// The help's lines, each longer one broken at its last blank within the width.
QStringList wrapped(const QString& help) {
    QStringList lines;
    for (QString line : help.split(u'\n')) {
        while (line.size() > kHelpWidth && line.lastIndexOf(u' ', kHelpWidth) > 0) {
            const qsizetype blank = line.lastIndexOf(u' ', kHelpWidth);
            lines.append(line.left(blank));
            line = line.mid(blank + 1);
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

bool parseCommandArguments(const QList<CommandOption>& options, QStringList arguments,
                           CommandArguments& parsed) {
    for (const CommandOption& option : options) {
        if (option.valueName.isEmpty()) {
            if (arguments.removeAll(option.name) > 0) {
                parsed.flags.insert(option.name);
            }
            continue;
        }
        const qsizetype at = arguments.indexOf(option.name);
        if (at < 0) {
            continue;
        }
        if (at + 1 >= arguments.size()) {
            return false;
        }
        parsed.values.insert(option.name, arguments[at + 1]);
        arguments.remove(at, 2);
    }
    parsed.positional = arguments;
    return true;
}

QString formsText(const QList<CommandForm>& forms) {
    const QString indent(2 + kSynopsisWidth, u' ');
    QString text;
    for (const CommandForm& form : forms) {
        QStringList lines = wrapped(form.help);
        QString first = u"  "_s + form.synopsis;
        if (form.synopsis.size() < kSynopsisWidth) {
            first = first.leftJustified(2 + kSynopsisWidth) + lines.takeFirst();
        }
        text += first + u'\n';
        for (const QString& line : lines) {
            text += indent + line + u'\n';
        }
    }
    return text;
}

} // namespace skylark
