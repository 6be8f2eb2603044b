#pragma once

#include "Command.h"

namespace skylark {

// push on|off
class PushCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("push"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// push-settings ID MINUTES
class PushSettingsCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("push-settings"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// push-test ID
class PushTestCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("push-test"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// rules; rules set KEY VALUE; rules flexible ID N
class RulesCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("rules"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;

private:
    int list(CliContext& context);
};

// channels: every channel with its settings, secrets masked.
class ChannelsCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("channels"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// channel set NAME KEY VALUE; channel on|off NAME; channel test NAME
class ChannelCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("channel"); }
    QList<CommandForm> forms() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;

private:
    int set(CliContext& context, const QString& name, const QString& key, const QString& value);
    int test(CliContext& context, const QString& name);
};

} // namespace skylark
