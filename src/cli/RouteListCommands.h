#pragma once

#include "Command.h"

namespace skylark {

// routes [--context]: the route list, with the price context from the fare history.
class RoutesCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("routes"); }
    QList<CommandForm> forms() const override;
    QList<CommandOption> options() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// add FROM TO DATE PRICE: the add button's checks, then the route in the file.
class AddCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("add"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// delete ID
class DeleteCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("delete"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// open ID [--print]: the route's search page.
class OpenCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("open"); }
    QList<CommandForm> forms() const override;
    QList<CommandOption> options() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

} // namespace skylark
