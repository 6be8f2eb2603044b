#pragma once

// What the store, its queries and its export share of SQLite: the observation's columns,
// the calendar's text form, the connection under the Qt driver, plain statements and the
// local offsets of a long read. Not for use outside history/.

#include "net/FareAnswer.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <sqlite3.h>

#include <limits>

namespace skylark::history_sql {

extern const QString kColumns;

QString calendarText(const QList<CalendarEntry>& calendar);
QList<CalendarEntry> calendarOf(const QString& text);

// The connection under the Qt driver: the two paths that carry many rows, a round's inserts
// and a chart's points, bind and read plain values through it instead of QVariants.
sqlite3* handleOf(const QSqlDatabase& db);
void bindText(sqlite3_stmt* statement, int at, const QString& text);

// The local offset from UTC by quarter hours, the finest step any time zone's changes
// take: a long export asks the system's zone data once a quarter hour of observations,
// not once a row.
class LocalOffsets {
public:
    int at(qint64 ms) {
        const qint64 quarter = ms >= 0 ? ms / kQuarterMs : (ms - kQuarterMs + 1) / kQuarterMs;
        if (quarter != m_quarter) {
            m_quarter = quarter;
            m_offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        }
        return m_offset;
    }
    // The local time of the instant, as a fixed offset: the same wall time and instant as
    // the local one, without asking the system's zone data again.
    QDateTime localTime(qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, at(ms));
    }

private:
    static constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    qint64 m_quarter = std::numeric_limits<qint64>::min();
    int m_offset = 0;
};

// A prepared statement that is finalized however its reading ends.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql)
        : m_db(db) {
        m_result =
            db ? sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_statement, nullptr)
               : SQLITE_MISUSE;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    bool prepared() const { return m_result == SQLITE_OK; }
    // The next row; false at the end or on an error, which error() then tells.
    bool next() {
        m_result = sqlite3_step(m_statement);
        return m_result == SQLITE_ROW;
    }
    // Why the statement could not be prepared or read to its end; empty otherwise.
    QString error() const {
        if (m_result == SQLITE_OK || m_result == SQLITE_DONE || m_result == SQLITE_ROW) {
            return {};
        }
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no SQLite handle");
    }
    QString text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(m_statement, column));
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    int m_result;
};

} // namespace skylark::history_sql
