#include "HistoryCommand.h"

#include "CliContext.h"
#include "history/FareHistory.h"
#include "history/HistoryCsv.h"

#include <QDate>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

QList<CommandForm> HistoryCommand::forms() const {
    return {{u"history ID [--since YYYY-MM-DD] [--csv]"_s,
             u"the route's recorded fares, oldest first: time, fare (-\n"
             "when none was found) and outcome, separated by tabs; or as\n"
             "CSV"_s},
            {u"history --export FILE"_s,
             u"write every recorded fare to FILE as CSV (RFC 4180, UTF-8),\n"
             "or to standard output when FILE is -; FILE is replaced\n"
             "only by a complete export, and only when it is a regular\n"
             "file or missing (a symbolic link: its target)"_s},
            {u"history --keep-days N"_s, u"keep recorded fares N days (400 unless set)"_s}};
}

QList<CommandOption> HistoryCommand::options() const {
    return {{u"--csv"_s, {}},
            {u"--since"_s, u"YYYY-MM-DD"_s},
            {u"--export"_s, u"FILE"_s},
            {u"--keep-days"_s, u"N"_s}};
}

int HistoryCommand::run(CliContext& context, const CommandArguments& arguments) {
    const QString since = arguments.value(u"--since"_s);
    const QString exportPath = arguments.value(u"--export"_s);
    const QString keepDays = arguments.value(u"--keep-days"_s);
    const qsizetype rest = arguments.positional.size();
    const bool listing = exportPath.isEmpty() && keepDays.isEmpty();
    if (listing != (rest == 1) ||
        (!listing && (rest > 0 || arguments.has(u"--csv"_s) || !since.isEmpty())) ||
        (!since.isEmpty() && !QDate::fromString(since, Qt::ISODate).isValid())) {
        return context.usageError();
    }
    // Only a change of the retention writes; the reading commands leave the store to the
    // monitor that records in it.
    FareHistory& history =
        context.openHistory(keepDays.isEmpty() ? HistoryAccess::ReadOnly : HistoryAccess::Record);
    if (!history.isOpen()) {
        return CliContext::kRefused;
    }
    if (!keepDays.isEmpty()) {
        bool ok = false;
        const int days = keepDays.toInt(&ok);
        if (!ok || days <= 0) {
            return context.usageError();
        }
        return history.setRetentionDays(days) ? CliContext::kDone : CliContext::kRefused;
    }
    if (!exportPath.isEmpty()) {
        return exportAll(context, history, exportPath);
    }
    return list(context, history, arguments);
}

int HistoryCommand::list(CliContext& context, const FareHistory& history,
                         const CommandArguments& arguments) {
    const bool csv = arguments.has(u"--csv"_s);
    const QDate sinceDay = QDate::fromString(arguments.value(u"--since"_s), Qt::ISODate);
    QTextStream& out = context.out;
    if (csv) {
        out << QString::fromUtf8(historyCsvHeader());
    }
    const QString error = history.queries().eachObservation(
        arguments.positional.first(), sinceDay, [&](const FareObservation& seen) {
            if (csv) {
                out << QString::fromUtf8(historyCsvRow(seen));
                return;
            }
            out << seen.observedAt.toString(u"yyyy-MM-dd HH:mm:ss"_s) << '\t'
                << (seen.fare.isEmpty() ? u"-"_s : seen.fare) << '\t'
                << fareOutcomeKey(seen.outcome) << '\n';
        });
    return context.reportReadError(error);
}

// "-" streams the CSV to standard output; a file is replaced only by a complete export.
int HistoryCommand::exportAll(CliContext& context, const FareHistory& history,
                              const QString& path) {
    if (path == u"-") {
        return context.reportReadError(
            writeHistoryCsv(history.queries(), [&context](QByteArrayView bytes) {
                context.out << QString::fromUtf8(bytes);
                return context.out.status() == QTextStream::Ok;
            }));
    }
    return context.statusOf(exportHistoryCsv(history.queries(), path));
}

} // namespace skylark
