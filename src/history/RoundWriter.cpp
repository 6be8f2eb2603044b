#include "RoundWriter.h"

#include "FareHistory.h"
#include "HistorySql.h"

#include <QSqlError>
#include <QSqlQuery>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

using namespace history_sql;

// Drops the observations before the time a batch at a time, each batch its own
// transaction, so that no writer waits long for the store and the write-ahead log stays
// small; the number dropped, -1 with the reason on failure.
int pruneInBatches(QSqlDatabase& db, qint64 before, const std::atomic_bool& stopping,
                   QString& error) {
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("DELETE FROM observation WHERE id IN (SELECT id FROM "
                                      "observation WHERE observed_at < ? LIMIT %1)")
                           .arg(FareHistory::kPruneBatchRows))) {
        error = query.lastError().text();
        return -1;
    }
    int dropped = 0;
    for (;;) {
        query.addBindValue(before);
        if (!query.exec()) {
            error = query.lastError().text();
            return -1;
        }
        const int batch = query.numRowsAffected();
        dropped += batch;
        if (batch < FareHistory::kPruneBatchRows || stopping) {
            return dropped;
        }
    }
}

RoundWriter::RoundWriter(QString path, QString connection, int busyMs)
    : m_path(std::move(path))
    , m_connection(std::move(connection))
    , m_busyMs(busyMs) {}

RoundWriter::~RoundWriter() {
    sqlite3_finalize(m_insert);
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
}

int RoundWriter::prune(qint64 before, QString& error) {
    QSqlDatabase db;
    if (error = connect(db); !error.isEmpty()) {
        return -1;
    }
    return pruneInBatches(db, before, stopping, error);
}

QString RoundWriter::write(const QList<FareObservation>& round) {
    QSqlDatabase db;
    if (const QString error = connect(db); !error.isEmpty()) {
        return error;
    }
    sqlite3* handle = handleOf(db);
    if (!handle) {
        return u"no SQLite handle"_s;
    }
    if (!m_insert) {
        const QByteArray sql = "INSERT INTO observation (" + kColumns.toUtf8() +
                               ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        if (sqlite3_prepare_v3(handle, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &m_insert, nullptr) != SQLITE_OK) {
            return QString::fromUtf8(sqlite3_errmsg(handle));
        }
    }
    if (!db.transaction()) {
        return db.lastError().text();
    }
    for (const FareObservation& observation : round) {
        if (const int result = insert(observation); result != SQLITE_DONE) {
            db.rollback();
            return QString::fromUtf8(sqlite3_errstr(result));
        }
    }
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        return reason;
    }
    return {};
}

QString RoundWriter::connect(QSqlDatabase& db) {
    db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(m_busyMs));
    }
    if (!db.isOpen() && (!db.open() || !QSqlQuery(db).exec(u"PRAGMA synchronous=NORMAL"_qs))) {
        return db.lastError().text();
    }
    return {};
}

int RoundWriter::insert(const FareObservation& observation) {
    sqlite3_stmt* insert = m_insert;
    bindText(insert, 1, observation.routeId);
    bindText(insert, 2, observation.depCityName);
    bindText(insert, 3, observation.arrCityName);
    bindText(insert, 4, observation.depDate);
    bindText(insert, 5, observation.routeKind);
    bindText(insert, 6, observation.alertPrice);
    sqlite3_bind_int64(insert, 7, observation.observedAt.toMSecsSinceEpoch());
    if (observation.fare.isEmpty()) {
        sqlite3_bind_null(insert, 8);
    } else {
        bindText(insert, 8, observation.fare);
    }
    bindText(insert, 9, fareOutcomeKey(observation.outcome));
    sqlite3_bind_int(insert, 10, observation.special ? 1 : 0);
    bindText(insert, 11, calendarText(observation.calendar));
    const int result = sqlite3_step(insert);
    sqlite3_reset(insert);
    return result;
}

} // namespace skylark
