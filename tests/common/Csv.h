#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace skylark::testing {

// Reads RFC 4180 CSV: fields split by commas, records by CR LF (or LF); a quoted field
// may hold commas, line breaks and doubled quotes. Written apart from the program's writer.
inline QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            record.append(field);
            field.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            record.append(field);
            records.append(record);
            record.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty()) {
        record.append(field);
        records.append(record);
    }
    return records;
}

} // namespace skylark::testing
