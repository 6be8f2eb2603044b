#pragma once

#include "Command.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace skylark {

// The headless front-end: the global options, then one command of the table, which
// parses and runs itself. Status-log lines go to the output stream as the log forms them;
// messages, alerts and usage go to the error stream.
class Cli {
public:
    Cli(QTextStream& out, QTextStream& err);
    ~Cli();

    int run(QStringList arguments);
    // The whole usage, made from the commands' declarations.
    QString usage() const;
    // One command's usage: its forms and options.
    QString commandUsage(const Command& command) const;

private:
    Command* commandNamed(const QString& name) const;

    QTextStream& m_out;
    QTextStream& m_err;
    QList<std::shared_ptr<Command>> m_commands;
};

} // namespace skylark
