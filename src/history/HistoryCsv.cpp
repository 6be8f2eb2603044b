#include "HistoryCsv.h"

#include "HistorySql.h"
#include "store/SafeSave.h"

#include <algorithm>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

using namespace history_sql;

QByteArray historyCsvHeader() {
    return QByteArrayLiteral("route_id,departure,arrival,departure_date,route_kind,"
                             "alert_price,observed_at,fare,outcome,special,calendar\r\n");
}

namespace {

// Appends the field's UTF-8 bytes, quoted when it holds a comma, a quote or a line break.
void appendCsvField(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const bool plain = std::none_of(utf8.begin(), utf8.end(), [](char c) {
        return c == ',' || c == '"' || c == '\n' || c == '\r';
    });
    if (plain) {
        out += utf8;
        return;
    }
    out += '"';
    for (const char c : utf8) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

QByteArray csvRow(const FareObservation& o, LocalOffsets& offsets) {
    const QDateTime observedAt = offsets.localTime(o.observedAt.toMSecsSinceEpoch());
    const QString fields[] = {o.routeId,
                              o.depCityName,
                              o.arrCityName,
                              o.depDate,
                              o.routeKind,
                              o.alertPrice,
                              observedAt.toString(Qt::ISODate),
                              o.fare,
                              fareOutcomeKey(o.outcome),
                              o.special ? u"1"_s : u"0"_s,
                              calendarText(o.calendar)};
    QByteArray row;
    row.reserve(256);
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) {
            row += ',';
        }
        appendCsvField(row, fields[i]);
    }
    row += "\r\n";
    return row;
}

} // namespace

QByteArray historyCsvRow(const FareObservation& observation) {
    LocalOffsets offsets;
    return csvRow(observation, offsets);
}

QByteArray historyCsv(const QList<FareObservation>& observations) {
    QByteArray csv = historyCsvHeader();
    LocalOffsets offsets;
    for (const FareObservation& observation : observations) {
        csv += csvRow(observation, offsets);
    }
    return csv;
}

QString writeHistoryCsv(const HistoryQueries& history,
                        const std::function<bool(QByteArrayView)>& out) {
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray piece = historyCsvHeader();
    LocalOffsets offsets;
    bool writing = true;
    const QString error = history.eachObservation({}, {}, [&](const FareObservation& seen) {
        piece += csvRow(seen, offsets);
        if (piece.size() >= kPiece && writing) {
            writing = out(piece);
            piece.clear();
        }
    });
    if (error.isEmpty() && writing && !piece.isEmpty()) {
        out(piece);
    }
    return error;
}

WriteResult exportHistoryCsv(const HistoryQueries& history, const QString& path) {
    AtomicFile file(path);
    if (WriteResult opened = file.open(); !opened) {
        return opened;
    }
    const QString error =
        writeHistoryCsv(history, [&file](QByteArrayView bytes) { return file.write(bytes); });
    if (!error.isEmpty()) {
        file.abandon();
        return WriteResult::failure(u"未导出 %1：%2"_s.arg(path, error));
    }
    return file.commit();
}

} // namespace skylark
