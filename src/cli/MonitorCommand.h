#pragma once

#include "Command.h"

namespace skylark {

struct MonitorTiming;

// monitor [--rounds N] [--route-period SECONDS] [--start-delay MS]: monitoring like the
// start button until N rounds, SIGINT or SIGTERM.
class MonitorCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("monitor"); }
    QList<CommandForm> forms() const override;
    QList<CommandOption> options() const override;
    int run(CliContext& context, const CommandArguments& arguments) override;
};

// The round limit (0 for none) and the timing the options ask for; false for values that
// are no numbers or out of range.
[[nodiscard]] bool readMonitorOptions(const CommandArguments& arguments, int& roundLimit,
                                      MonitorTiming& timing);

} // namespace skylark
