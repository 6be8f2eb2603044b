#pragma once

#include "Command.h"

namespace skylark {

class FareHistory;

// history ID [--since DAY] [--csv]; history --export FILE; history --keep-days N
class HistoryCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("history"); }
    QList<CommandForm> forms() const override;
    QList<CommandOption> options() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;

private:
    int list(CliContext& context, const FareHistory& history, const CommandArguments& arguments);
    int exportAll(CliContext& context, const FareHistory& history, const QString& path);
};

} // namespace skylark
