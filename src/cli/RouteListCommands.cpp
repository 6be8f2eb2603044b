#include "RouteListCommands.h"

#include "CliContext.h"
#include "app/NearbyDays.h"
#include "app/RouteBook.h"
#include "app/RouteCommands.h"
#include "history/PriceContext.h"

#include <QDate>
#include <QFileInfo>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

// The columns of routes --context: the last fare and when, the lowest and when, the
// typical fare and of how many, the verdict, and a cheaper day nearby with its fare; "-"
// for what is not known.
QString contextColumns(const RouteContext& route) {
    const RouteFareSummary& summary = route.summary;
    const PriceContext& context = route.context;
    const auto orDash = [](const QString& text) { return text.isEmpty() ? u"-"_s : text; };
    const QString format = u"yyyy-MM-ddTHH:mm:ss"_s;
    QStringList columns{orDash(summary.lastFare), orDash(summary.lastSeen.toString(format))};
    columns << (context.known ? QString::number(context.lowest) : u"-"_s)
            << orDash(context.lowestSeen.toString(format))
            << (context.hasTypical ? QString::number(context.typical) : u"-"_s)
            << QString::number(context.recentCount) << orDash(verdictText(context.verdict));
    const std::optional<DayFare>& nearby = context.cheaperDay;
    columns << (nearby ? nearby->date : u"-"_s) << (nearby ? nearby->fare : u"-"_s);
    return columns.join(u'\t');
}

} // namespace

QList<CommandForm> RoutesCommand::forms() const {
    return {{u"routes [--context]"_s, u"one line per route in book order: identifier, departure,\n"
                                      "arrival, date, price and type, separated by tabs; with\n"
                                      "--context also from the fare history: the last fare and\n"
                                      "its time, the lowest fare and its time, the typical fare\n"
                                      "(median of 30 days), how many fares that is, the verdict\n"
                                      "(低, 正常 or 高 from 10 fares on), and the day within\n"
                                      "three of the route's own that the latest answer gave\n"
                                      "cheaper with its fare; - where unknown"_s}};
}

QList<CommandOption> RoutesCommand::options() const {
    return {{u"--context"_s, {}}};
}

int RoutesCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (!arguments.positional.isEmpty()) {
        return context.usageError();
    }
    const RouteBook book(context.directory());
    const FareHistory* history =
        arguments.has(u"--context"_s) ? &context.openHistory(HistoryAccess::ReadOnly) : nullptr;
    const QDateTime now = context.session().clock().now();
    for (const Route& route : book.routes()) {
        context.out << route.routeId << '\t' << route.depCityName << '\t' << route.arrCityName
                    << '\t' << route.depDate << '\t' << route.price << '\t' << route.type;
        if (history) {
            const HistoryRead<RouteContext> read =
                history->queries().priceContext(route.routeId, now);
            if (!read.ok()) {
                return context.reportReadError(read.error);
            }
            context.out << '\t' << contextColumns(read.rows);
        }
        context.out << '\n';
    }
    context.out.flush();
    if (context.reportUnreadable(book)) {
        return CliContext::kRefused;
    }
    if (const qsizetype unlisted = book.unlistedRouteCount(); unlisted > 0) {
        context.err << u"航线文件中还有 "_s << unlisted << u" 条航线超出了可列出的范围，未列出。"_s
                    << '\n';
    }
    return CliContext::kDone;
}

QList<CommandForm> AddCommand::forms() const {
    return {{u"add FROM TO DATE PRICE"_s,
             u"add a route (DATE as YYYY-MM-DD) after the checks of the\n"
             "add button, the relay's city check among them"_s}};
}

int AddCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QStringList& words = arguments.positional;
    const QDate date = words.size() == 4 ? QDate::fromString(words[2], Qt::ISODate) : QDate();
    if (!date.isValid()) {
        return context.usageError();
    }
    // The history, where there is one, tells which identifiers deleted routes still hold.
    if (QFileInfo::exists(context.session().directory() + u'/' + FareHistory::fileName())) {
        context.openHistory(HistoryAccess::ReadOnly);
    }
    const AddRouteResult result =
        context.online().commands().addRoute({words[0], words[1], words[3], date});
    if (!result.added) {
        context.frontEnd().showInformation(result.message);
        return CliContext::kRefused;
    }
    return CliContext::kDone;
}

QList<CommandForm> DeleteCommand::forms() const {
    return {{u"delete ID"_s, u"delete the route with that identifier"_s}};
}

int DeleteCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (arguments.positional.size() != 1) {
        return context.usageError();
    }
    const int row = context.rowOfRoute(arguments.positional[0]);
    if (row < 0) {
        return CliContext::kRefused;
    }
    if (const WriteResult removed = context.session().commands().deleteSelectedRoute(row);
        !removed) {
        context.frontEnd().showInformation(removed.message());
        return CliContext::kRefused;
    }
    return CliContext::kDone;
}

QList<CommandForm> OpenCommand::forms() const {
    return {{u"open ID [--print]"_s, u"open the route's search page in the default browser, or\n"
                                     "print its address"_s}};
}

QList<CommandOption> OpenCommand::options() const {
    return {{u"--print"_s, {}}};
}

int OpenCommand::run(CliContext& context, const CommandArguments& arguments) {
    if (arguments.positional.size() != 1) {
        return context.usageError();
    }
    const QString& routeId = arguments.positional[0];
    const int row = context.rowOfRoute(routeId);
    if (row < 0) {
        return CliContext::kRefused;
    }
    const QString url = context.online().commands().searchPageUrl(row);
    if (url.isEmpty()) {
        context.err << u"该航线的类型不是 domestic 或 international，没有搜索页："_s << routeId
                    << '\n';
        return CliContext::kRefused;
    }
    if (arguments.has(u"--print"_s)) {
        context.out << url << '\n';
    } else {
        context.opener().openUrl(url);
    }
    return CliContext::kDone;
}

} // namespace skylark
