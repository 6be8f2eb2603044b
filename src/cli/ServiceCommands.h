#pragma once

#include "Command.h"

namespace skylark {

// version: the version line after asking the update server.
class VersionCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("version"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// sim [--port P]: the demo server alone until interrupted.
class SimCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("sim"); }
    QList<CommandForm> forms() const override;
    QList<CommandOption> options() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

} // namespace skylark
