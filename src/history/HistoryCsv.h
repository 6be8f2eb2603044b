#pragma once

#include "HistoryQueries.h"
#include "store/WriteResult.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace skylark {

// The observations as RFC 4180 CSV in UTF-8, with a header row and CR LF line ends.
QByteArray historyCsvHeader();
QByteArray historyCsvRow(const FareObservation& observation);
QByteArray historyCsv(const QList<FareObservation>& observations);
// Streams the CSV of every observation to out, in pieces; the reason when the store could
// not be read to the end, else empty.
QString writeHistoryCsv(const HistoryQueries& history,
                        const std::function<bool(QByteArrayView)>& out);
// Writes the CSV of every observation as one step, in constant memory: the old file stays
// whole when the store cannot be read to the end or the file cannot be written.
WriteResult exportHistoryCsv(const HistoryQueries& history, const QString& path);

} // namespace skylark
