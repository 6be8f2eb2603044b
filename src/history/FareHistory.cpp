#include "FareHistory.h"

#include "store/SafeSave.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace skylark {
namespace {

// Each step takes the schema from the version before it to its own; a store of any older
// version is brought up to date, one step a transaction.
const char* const kMigrations[FareHistory::kSchemaVersion] = {
    // 1: the observations
    R"(CREATE TABLE observation (
           id INTEGER PRIMARY KEY,
           route_id TEXT NOT NULL,
           dep_city TEXT NOT NULL,
           arr_city TEXT NOT NULL,
           dep_date TEXT NOT NULL,
           route_kind TEXT NOT NULL,
           observed_at INTEGER NOT NULL,
           fare TEXT,
           outcome TEXT NOT NULL,
           calendar TEXT NOT NULL);
       CREATE INDEX observation_by_route ON observation (route_id, observed_at);)",
    // 2: the alert price and the special mark of each observation, and the settings
    R"(ALTER TABLE observation ADD COLUMN alert_price TEXT NOT NULL DEFAULT '';
       ALTER TABLE observation ADD COLUMN special INTEGER NOT NULL DEFAULT 0;
       CREATE TABLE setting (key TEXT PRIMARY KEY, value TEXT NOT NULL);)",
    // 3: the chart reads a route's fares from an index alone, never from the wide rows
    R"(DROP INDEX IF EXISTS observation_by_route;
       CREATE INDEX observation_chart ON observation (route_id, observed_at, fare, special);)",
};

constexpr int kBusyMs = 100; // a store locked longer than this misses the round

const QString kColumns = QStringLiteral(
    "route_id, dep_city, arr_city, dep_date, route_kind, alert_price, observed_at, fare, "
    "outcome, special, calendar");

QString calendarText(const QList<CalendarEntry>& calendar) {
    QStringList days;
    for (const CalendarEntry& entry : calendar) {
        days.append(entry.date + u'=' + entry.price);
    }
    return days.join(u';');
}

QList<CalendarEntry> calendarOf(const QString& text) {
    QList<CalendarEntry> calendar;
    for (const QString& day : text.split(u';', Qt::SkipEmptyParts)) {
        calendar.append({day.section(u'=', 0, 0), day.section(u'=', 1)});
    }
    return calendar;
}

// The connection under the Qt driver: the two paths that carry many rows, a round's inserts
// and a chart's points, bind and read plain values through it instead of QVariants.
sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        return *static_cast<sqlite3* const*>(handle.constData());
    }
    return nullptr;
}

void bindText(sqlite3_stmt* statement, int at, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool runScript(QSqlDatabase& db, const QString& script) {
    QSqlQuery query(db);
    for (const QString& statement : script.split(u';', Qt::SkipEmptyParts)) {
        if (!statement.trimmed().isEmpty() && !query.exec(statement)) {
            return false;
        }
    }
    return true;
}

// Writes the rounds on a thread of its own, through a connection of its own, so that a
// round never waits for the disk or for another writer's lock.
class RoundWriter : public QObject {
public:
    RoundWriter(QString path, QString connection)
        : m_path(std::move(path))
        , m_connection(std::move(connection)) {}

    ~RoundWriter() override {
        sqlite3_finalize(m_insert);
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (db.isValid()) {
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(m_connection);
    }

    // Empty when the round is stored, else why not.
    QString write(const QList<FareObservation>& round) {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
            db.setDatabaseName(m_path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
        }
        if (!db.isOpen() && (!db.open() || !QSqlQuery(db).exec(u"PRAGMA synchronous=NORMAL"_qs))) {
            return db.lastError().text();
        }
        sqlite3* handle = handleOf(db);
        if (!handle) {
            return QStringLiteral("no SQLite handle");
        }
        if (!m_insert) {
            const QByteArray sql = "INSERT INTO observation (" + kColumns.toUtf8() +
                                   ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
            if (sqlite3_prepare_v3(handle, sql.constData(), int(sql.size()),
                                   SQLITE_PREPARE_PERSISTENT, &m_insert, nullptr) != SQLITE_OK) {
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

private:
    int insert(const FareObservation& observation) {
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

    QString m_path;
    QString m_connection;
    sqlite3_stmt* m_insert = nullptr; // prepared once, on the first round
};

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(u"\""_qs, u"\"\""_qs);
    return u'"' + quoted + u'"';
}

} // namespace

FareHistory::FareHistory(const QString& directory, QObject* parent)
    : QObject(parent)
    , m_path(directory + u'/' + fileName())
    , m_connection(QStringLiteral("skylark-history-%1").arg(quintptr(this), 0, 16)) {}

FareHistory::~FareHistory() {
    if (m_writer) {
        // Runs after every round handed over before: they are all written.
        QMetaObject::invokeMethod(
            m_writer, [writer = m_writer] { delete writer; }, Qt::BlockingQueuedConnection);
        m_writerThread.quit();
        m_writerThread.wait();
    }
    if (m_db.isValid()) {
        m_db.close();
    }
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

void FareHistory::fail(const QString& what, const QString& reason) {
    m_ready = false;
    sayOnce(what, reason);
}

// A round that could not be written is lost; the next one tries again.
void FareHistory::sayOnce(const QString& what, const QString& reason) {
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("价格历史 %1 %2：%3").arg(m_path, what, reason);
        Q_EMIT failed(m_error);
    }
}

bool FareHistory::open(const QDateTime& now) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        fail(QStringLiteral("无法打开"), QStringLiteral("no SQLite driver"));
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
    if (!m_db.open()) {
        fail(QStringLiteral("无法打开"), m_db.lastError().text());
        return false;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !query.exec(QStringLiteral("PRAGMA mmap_size=268435456")) ||
        !query.exec(QStringLiteral("PRAGMA cache_size=-16384")) || !migrate()) {
        fail(QStringLiteral("无法使用"), query.lastError().text().isEmpty()
                                             ? m_db.lastError().text()
                                             : query.lastError().text());
        return false;
    }
    m_ready = true;
    if (prune(now) < 0) {
        return false;
    }
    m_writer = new RoundWriter(m_path, m_connection + QStringLiteral("-writer"));
    m_writer->moveToThread(&m_writerThread);
    m_writerThread.setObjectName(QStringLiteral("history writer"));
    m_writerThread.start();
    return true;
}

void FareHistory::flush() {
    if (m_writer) {
        QMetaObject::invokeMethod(
            m_writer, [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents(this);
    }
}

int FareHistory::schemaVersion() const {
    QSqlQuery query(m_db);
    return query.exec(QStringLiteral("PRAGMA user_version")) && query.next()
               ? query.value(0).toInt()
               : -1;
}

bool FareHistory::migrate() {
    const int version = schemaVersion();
    if (version < 0) {
        return false;
    }
    if (version > kSchemaVersion) {
        fail(QStringLiteral("无法使用"),
             QStringLiteral("schema version %1 is newer than this program's").arg(version));
        return false;
    }
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        if (!m_db.transaction()) {
            return false;
        }
        if (!runScript(m_db, QString::fromLatin1(kMigrations[next - 1])) ||
            !runScript(m_db, QStringLiteral("PRAGMA user_version=%1").arg(next)) ||
            !m_db.commit()) {
            m_db.rollback();
            return false;
        }
    }
    return true;
}

int FareHistory::retentionDays() const {
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT value FROM setting WHERE key = 'retention_days'"));
    if (m_ready && query.exec() && query.next()) {
        const int days = query.value(0).toInt();
        if (days > 0) {
            return days;
        }
    }
    return kDefaultRetentionDays;
}

bool FareHistory::setRetentionDays(int days) {
    if (!m_ready || days <= 0) {
        return false;
    }
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT OR REPLACE INTO setting (key, value) VALUES ('retention_days', ?)"));
    query.addBindValue(QString::number(days));
    return query.exec();
}

int FareHistory::prune(const QDateTime& now) {
    if (!m_ready) {
        return -1;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM observation WHERE observed_at < ?"));
    query.addBindValue(now.addDays(-retentionDays()).toMSecsSinceEpoch());
    if (!query.exec()) {
        fail(QStringLiteral("无法清理"), query.lastError().text());
        return -1;
    }
    return query.numRowsAffected();
}

void FareHistory::beginRound() {
    m_round.clear();
    m_inRound = m_ready;
}

void FareHistory::record(const FareObservation& observation) {
    if (m_inRound) {
        m_round.append(observation);
    }
}

// The round goes to the writer as one transaction; the rounds go on meanwhile.
void FareHistory::endRound() {
    if (!m_inRound) {
        return;
    }
    m_inRound = false;
    QMetaObject::invokeMethod(
        m_writer,
        [this, writer = static_cast<RoundWriter*>(m_writer), round = std::exchange(m_round, {})] {
            const QString error = writer->write(round);
            QMetaObject::invokeMethod(
                this,
                [this, error, round] {
                    if (error.isEmpty()) {
                        Q_EMIT recorded(round);
                    } else {
                        sayOnce(QStringLiteral("无法写入"), error);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

QList<FareObservation> FareHistory::select(const QString& where, const QVariantList& values) const {
    QList<FareObservation> found;
    if (!m_ready) {
        return found;
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM observation ") +
                  where + QStringLiteral(" ORDER BY route_id, observed_at"));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        return found;
    }
    while (query.next()) {
        FareObservation observation;
        observation.routeId = query.value(0).toString();
        observation.depCityName = query.value(1).toString();
        observation.arrCityName = query.value(2).toString();
        observation.depDate = query.value(3).toString();
        observation.routeKind = query.value(4).toString();
        observation.alertPrice = query.value(5).toString();
        observation.observedAt = QDateTime::fromMSecsSinceEpoch(query.value(6).toLongLong());
        observation.fare = query.value(7).toString();
        observation.outcome = fareOutcomeOfKey(query.value(8).toString());
        observation.special = query.value(9).toInt() != 0;
        observation.calendar = calendarOf(query.value(10).toString());
        found.append(std::move(observation));
    }
    return found;
}

QList<FareObservation> FareHistory::observations(const QString& routeId, const QDate& since) const {
    if (since.isNull()) {
        return select(QStringLiteral("WHERE route_id = ?"), {routeId});
    }
    return select(QStringLiteral("WHERE route_id = ? AND observed_at >= ?"),
                  {routeId, QDateTime(since, QTime(0, 0)).toMSecsSinceEpoch()});
}

QList<FareObservation> FareHistory::allObservations() const {
    return select({}, {});
}

QList<FarePoint> FareHistory::farePoints(const QString& routeId) const {
    QList<FarePoint> points;
    sqlite3* db = m_ready ? handleOf(m_db) : nullptr;
    sqlite3_stmt* select = nullptr;
    static const char sql[] = "SELECT observed_at, fare, special FROM observation WHERE "
                              "route_id = ? AND fare IS NOT NULL ORDER BY observed_at";
    if (!db || sqlite3_prepare_v2(db, sql, int(sizeof sql - 1), &select, nullptr) != SQLITE_OK) {
        return points;
    }
    bindText(select, 1, routeId);
    while (sqlite3_step(select) == SQLITE_ROW) {
        points.append({sqlite3_column_int64(select, 0), sqlite3_column_double(select, 1),
                       sqlite3_column_int(select, 2) != 0});
    }
    sqlite3_finalize(select);
    return points;
}

QList<CalendarEntry> FareHistory::latestCalendar(const QString& routeId) const {
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT calendar FROM observation WHERE route_id = ? AND "
                                 "calendar <> '' ORDER BY observed_at DESC, id DESC LIMIT 1"));
    query.addBindValue(routeId);
    if (!m_ready || !query.exec() || !query.next()) {
        return {};
    }
    return calendarOf(query.value(0).toString());
}

QByteArray historyCsv(const QList<FareObservation>& observations) {
    QString csv = QStringLiteral("route_id,departure,arrival,departure_date,route_kind,"
                                 "alert_price,observed_at,fare,outcome,special,calendar\r\n");
    for (const FareObservation& o : observations) {
        const QStringList fields{
            o.routeId,
            o.depCityName,
            o.arrCityName,
            o.depDate,
            o.routeKind,
            o.alertPrice,
            o.observedAt.toOffsetFromUtc(o.observedAt.offsetFromUtc()).toString(Qt::ISODate),
            o.fare,
            fareOutcomeKey(o.outcome),
            o.special ? QStringLiteral("1") : QStringLiteral("0"),
            calendarText(o.calendar)};
        QStringList quoted;
        for (const QString& field : fields) {
            quoted.append(csvField(field));
        }
        csv += quoted.join(u',') + QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}

WriteResult exportHistoryCsv(const QList<FareObservation>& observations, const QString& path) {
    return saveFileAtomically(path, historyCsv(observations));
}

} // namespace skylark
