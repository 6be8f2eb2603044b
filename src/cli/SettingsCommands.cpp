#include "SettingsCommands.h"

#include "CliContext.h"
#include "SecretInput.h"
#include "app/MonitorRules.h"
#include "app/RouteBook.h"
#include "notify/AlertDispatcher.h"
#include "notify/ChannelSettings.h"
#include "notify/PushAlerts.h"
#include "text/Text.h"

#include <QEventLoop>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kFlexibleLabel = u"前后浮动的天数"_s;

} // namespace

QList<CommandForm> PushCommand::forms() const {
    return {{u"push on|off"_s, u"switch push alerts on or off"_s}};
}

int PushCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QStringList& words = arguments.positional;
    if (words.size() != 1 || (words[0] != u"on" && words[0] != u"off")) {
        return context.usageError();
    }
    const bool on = words[0] == u"on";
    return context.session().pushSettings().togglePushAlerts(on) == on ? CliContext::kDone
                                                                       : CliContext::kRefused;
}

QList<CommandForm> PushSettingsCommand::forms() const {
    return {{u"push-settings ID MINUTES"_s,
             u"save the binding id and the least minutes between pushes"_s}};
}

int PushSettingsCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QStringList& words = arguments.positional;
    if (words.size() != 2) {
        return context.usageError();
    }
    return context.session().pushSettings().savePushSettings({words[0], words[1]}).saved
               ? CliContext::kDone
               : CliContext::kRefused;
}

QList<CommandForm> PushTestCommand::forms() const {
    return {{u"push-test ID"_s, u"send a test message to that binding id"_s}};
}

int PushTestCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (arguments.positional.size() != 1) {
        return context.usageError();
    }
    context.online().pushSettings().sendTestPush(arguments.positional[0]);
    return CliContext::kDone;
}

QList<CommandForm> RulesCommand::forms() const {
    return {{u"rules"_s, u"the monitor's rules, one line each: key, value (- for the\n"
                         "default) and what it does, separated by tabs"_s},
            {u"rules set KEY VALUE"_s, u"store one rule (an empty VALUE restores its default):\n"
                                       "once-per-drop on|off, drop-by X (1): alert again only\n"
                                       "after a drop by X or a rise above the alert price;\n"
                                       "confirm-seconds S: ask a special fare again after S\n"
                                       "seconds; quiet-hours HH:MM-HH:MM, urgent-percent Y: hold\n"
                                       "the alerts then unless a fare is Y % under its price;\n"
                                       "watchdog on|off, stale-rounds K (5), stale-hours T (24):\n"
                                       "say once a route not found K rounds in a row or for T\n"
                                       "hours, and its recovery; back-off on|off: after a round\n"
                                       "the fare source refused in full (refusal, time-out, HTTP\n"
                                       "429 or 5xx) the next waits twice as long, up to 8 times"_s},
            {u"rules flexible ID N"_s, u"let the route alert for any day within N (1 to 3) of its\n"
                                       "own, naming the cheapest; 0 for its own day only"_s}};
}

int RulesCommand::list(CliContext& context) {
    RulesBook& book = context.session().rules();
    const ReadResult<KeyFile::Section> values = book.values();
    if (!values.ok()) {
        context.err << book.path() << u"："_s << values.error << '\n';
        return CliContext::kRefused;
    }
    for (const RuleField& field : ruleFields()) {
        context.out << field.key << '\t' << values.value.value(field.key, u"-"_s) << '\t'
                    << field.label << '\n';
    }
    const QHash<QString, int> flexible = book.rules().value.flexibleDays;
    for (const Route& route : context.session().book().routes()) {
        if (const int days = flexible.value(route.routeId); days > 0) {
            context.out << u"flexible "_s << route.routeId << '\t' << days << '\t' << kFlexibleLabel
                        << '\n';
        }
    }
    return CliContext::kDone;
}

int RulesCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QStringList& words = arguments.positional;
    if (words.isEmpty()) {
        return list(context);
    }
    RulesBook& book = context.session().rules();
    if (words.size() == 3 && words[0] == u"set") {
        if (!ruleField(words[1])) {
            return context.usageError(ruleValueProblem(words[1], words[2]));
        }
        return context.statusOf(book.set(words[1], words[2]));
    }
    if (words.size() != 3 || words[0] != u"flexible") {
        return context.usageError();
    }
    if (!context.session().book().hasRoute(words[1])) {
        return context.statusOf(WriteResult::failure(u"没有该航线："_s + words[1]));
    }
    if (!isWholeNumberIn(words[2], 0, kMaxFlexibleDays)) {
        return context.statusOf(WriteResult::failure(flexibleDaysProblem()));
    }
    return context.statusOf(book.setFlexibleDays(words[1], words[2].toInt()));
}

QList<CommandForm> ChannelsCommand::forms() const {
    return {{u"channels"_s, u"the alert channels, one line each: name, on or off, and\n"
                            "their settings as KEY=VALUE (secrets masked), by tabs"_s}};
}

int ChannelsCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (!arguments.positional.isEmpty()) {
        return context.usageError();
    }
    ChannelBook& book = context.session().channels();
    const ReadResult<QList<ChannelSettings>> channels = book.channels();
    if (!channels.ok()) {
        context.err << book.path() << u"："_s << channels.error << '\n';
        return CliContext::kRefused;
    }
    for (const ChannelSettings& channel : channels.value) {
        context.out << channel.name << '\t' << (channel.enabled ? "on" : "off");
        for (const ChannelField& field : channelFields(channel.name)) {
            context.out << '\t' << field.key << '='
                        << shownChannelValue(channel.name, field.key, channel.value(field.key));
        }
        context.out << '\n';
    }
    return CliContext::kDone;
}

QList<CommandForm> ChannelCommand::forms() const {
    return {{u"channel set NAME KEY VALUE"_s,
             u"store one setting of a channel (%1); an empty VALUE clears it, and - reads "
             "the value from standard input (without echo on a terminal), the form for "
             "secrets"_s.arg(channelNames().join(u", "))},
            {u"channel on|off NAME"_s, u"switch a channel on (its settings complete) or off"_s},
            {u"channel test NAME"_s, u"send a test message through the channel and wait for\n"
                                     "the outcome"_s}};
}

int ChannelCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QStringList& words = arguments.positional;
    const QString verb = words.value(0);
    // An unknown channel or key is a usage error, like an unknown command.
    if (words.size() >= 2 && !channelKind(words[1])) {
        return context.usageError(channelValueProblem(words[1], {}, {}));
    }
    if (verb == u"set" && words.size() == 4 && !channelField(words[1], words[2])) {
        return context.usageError(channelValueProblem(words[1], words[2], {}));
    }
    ChannelBook& book = context.session().channels();
    if (verb == u"set" && words.size() == 4) {
        return set(context, words[1], words[2], words[3]);
    }
    if ((verb == u"on" || verb == u"off") && words.size() == 2) {
        return context.statusOf(book.setEnabled(words[1], verb == u"on"));
    }
    if (verb == u"test" && words.size() == 2) {
        return test(context, words[1]);
    }
    return context.usageError();
}

// "-" takes the value from standard input, where no other user can read it; a secret
// given as an argument is stored, and the user told that it was visible.
int ChannelCommand::set(CliContext& context, const QString& name, const QString& key,
                        const QString& value) {
    QString stored = value;
    if (value == u"-") {
        const SecretLine line =
            readSecretLine(context.err, u"%1的%2（不会显示）："_s.arg(channelCaption(name), key));
        if (!line.error.isEmpty()) {
            return context.statusOf(WriteResult::failure(line.error));
        }
        stored = line.value;
    } else if (!value.isEmpty() && isSecretChannelField(name, key)) {
        context.err << u"注意：命令行参数对本机的其他用户可见，这个%1已经暴露；以后请用"
                       "“channel set %2 %3 -”从标准输入输入。"_s.arg(key, name, key)
                    << '\n';
    }
    return context.statusOf(context.session().channels().set(name, key, stored));
}

int ChannelCommand::test(CliContext& context, const QString& name) {
    MonitorSession& session = context.session();
    const ReadResult<ChannelSettings> read = session.channels().channel(name);
    const ChannelSettings& settings = read.value;
    QString problem = channelTestProblem(settings);
    if (!read.ok()) {
        problem = session.channels().path() + u"："_s + read.error;
    }
    if (!problem.isEmpty()) {
        context.err << problem << '\n';
        return CliContext::kRefused;
    }
    DeliveryOutcome result;
    QEventLoop wait;
    session.alerts().sendTest(settings, [&](const DeliveryOutcome& outcome) {
        result = outcome;
        wait.quit();
    });
    if (session.alerts().pending() > 0) {
        wait.exec();
    }
    const QString line = deliveryLogLine(channelCaption(name), result);
    (result.sent ? context.out : context.err) << u"测试："_s << line << '\n';
    return result.sent ? CliContext::kDone : CliContext::kRefused;
}

} // namespace skylark
