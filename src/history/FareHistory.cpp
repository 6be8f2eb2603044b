#include "FareHistory.h"

#include "store/SafeSave.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

#include <sys/resource.h>

namespace skylark {
namespace {

// The writer thread's nice value (Linux keeps one for each thread).
constexpr int kWriterNice = 10;

} // namespace

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
    // 4: the retention finds what it drops through an index, not by reading every row
    R"(CREATE INDEX observation_by_time ON observation (observed_at);)",
};

// The main thread's connection waits this long at most for another process's write; it
// only writes when it opens (a migration) or when the retention is changed.
constexpr int kReaderBusyMs = 2000;

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
    for (const QStringView day : QStringView(text).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = day.indexOf(u'=');
        calendar.append({(equals < 0 ? day : day.first(equals)).toString(),
                         equals < 0 ? QString() : day.sliced(equals + 1).toString()});
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

// Why a statement of the script failed; empty when all ran.
QString runScript(QSqlDatabase& db, const QString& script) {
    QSqlQuery query(db);
    for (const QString& statement : script.split(u';', Qt::SkipEmptyParts)) {
        if (!statement.trimmed().isEmpty() && !query.exec(statement)) {
            return query.lastError().text();
        }
    }
    return {};
}

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

// Writes the rounds on a thread of its own, through a connection of its own, so that a
// round never waits for the disk or for another writer's lock.
class RoundWriter : public QObject {
public:
    RoundWriter(QString path, QString connection, int busyMs)
        : m_path(std::move(path))
        , m_connection(std::move(connection))
        , m_busyMs(busyMs) {}

    // Set from another thread: a prune under way stops after its batch.
    std::atomic_bool stopping = false;

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

    // The number of observations dropped, -1 with the reason on failure.
    int prune(qint64 before, QString& error) {
        QSqlDatabase db;
        if (error = connect(db); !error.isEmpty()) {
            return -1;
        }
        return pruneInBatches(db, before, stopping, error);
    }

    // Empty when the round is stored, else why not.
    QString write(const QList<FareObservation>& round) {
        QSqlDatabase db;
        if (const QString error = connect(db); !error.isEmpty()) {
            return error;
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
    QString connect(QSqlDatabase& db) {
        db = QSqlDatabase::database(m_connection, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
            db.setDatabaseName(m_path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
        }
        if (!db.isOpen() && (!db.open() || !QSqlQuery(db).exec(u"PRAGMA synchronous=NORMAL"_qs))) {
            return db.lastError().text();
        }
        return {};
    }

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
    int m_busyMs;
    sqlite3_stmt* m_insert = nullptr; // prepared once, on the first round
};

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

} // namespace

FareHistory::FareHistory(const QString& directory, QObject* parent)
    : QObject(parent)
    , m_path(directory + u'/' + fileName())
    , m_connection(QStringLiteral("skylark-history-%1").arg(quintptr(this), 0, 16)) {}

FareHistory::~FareHistory() {
    if (m_writer) {
        static_cast<RoundWriter*>(m_writer)->stopping = true;
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

void FareHistory::sayOnce(const QString& what, const QString& reason) {
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("价格历史 %1 %2：%3")
                      .arg(m_path, what, reason.isEmpty() ? QStringLiteral("原因不明") : reason);
        Q_EMIT failed(m_error);
    }
}

// A round that could not be written is lost, and every loss is said with the count; the
// next round tries again.
void FareHistory::roundLost(const QString& reason) {
    ++m_lostRounds;
    const QString message = QStringLiteral("价格历史 %1 无法写入：%2（共 %3 轮未能保存）")
                                .arg(m_path, reason)
                                .arg(m_lostRounds);
    if (m_error.isEmpty()) {
        m_error = message;
    }
    Q_EMIT failed(message);
}

QString FareHistory::notOpen() const {
    return m_error.isEmpty() ? QStringLiteral("价格历史未打开") : m_error;
}

QString FareHistory::readFailure(const QString& reason) const {
    return QStringLiteral("价格历史 %1 无法读取：%2").arg(m_path, reason);
}

bool FareHistory::openConnection(HistoryAccess access) {
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kReaderBusyMs);
    if (access == HistoryAccess::ReadOnly) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    m_db.setConnectOptions(options);
    if (!m_db.open()) {
        fail(QStringLiteral("无法打开"), m_db.lastError().text());
        return false;
    }
    QSqlQuery query(m_db);
    // A read-only reader maps nothing: an export of the whole store stays small in memory.
    const bool set = access == HistoryAccess::ReadOnly
                         ? query.exec(QStringLiteral("PRAGMA mmap_size=0"))
                         : query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                               query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
                               query.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
    if (!set || !query.exec(QStringLiteral("PRAGMA cache_size=-16384"))) {
        fail(QStringLiteral("无法使用"), query.lastError().text());
        return false;
    }
    return true;
}

bool FareHistory::open(const QDateTime& now, HistoryAccess access) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        fail(QStringLiteral("无法打开"), QStringLiteral("no SQLite driver"));
        return false;
    }
    const QByteArray file = QFile::encodeName(m_path);
    const bool exists = QFileInfo::exists(m_path);
    if (!exists && access == HistoryAccess::Record) {
        // The store is the user's alone; SQLite gives its journal files the same mode.
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    // A reader of a store that is missing or older than this program makes it or brings it
    // up to date first, the one write it ever does.
    const bool readOnly = access == HistoryAccess::ReadOnly && exists;
    if (!openConnection(readOnly ? HistoryAccess::ReadOnly : HistoryAccess::Record)) {
        return false;
    }
    if (readOnly && schemaVersion() < kSchemaVersion && !openConnection(HistoryAccess::Record)) {
        return false;
    }
    if (const QString problem = migrate(); !problem.isEmpty()) {
        fail(QStringLiteral("无法使用"), problem);
        return false;
    }
    m_ready = true;
    if (access == HistoryAccess::Record) {
        startWriter(now.addDays(-retentionDays()));
    }
    return true;
}

// The writer's thread stores the rounds; the retention's prune runs there first, so the
// window never waits for it, and the rounds of the meanwhile queue behind it.
void FareHistory::startWriter(const QDateTime& pruneBefore) {
    auto* writer =
        new RoundWriter(m_path, m_connection + QStringLiteral("-writer"), m_writerBusyMs);
    m_writer = writer;
    writer->moveToThread(&m_writerThread);
    m_writerThread.setObjectName(QStringLiteral("history writer"));
    // A round is stored as the next begins: on a machine of few cores the writer gives way
    // to the window and the round, and takes what they leave.
    connect(
        &m_writerThread, &QThread::started, &m_writerThread,
        [] { setpriority(PRIO_PROCESS, 0, kWriterNice); }, Qt::DirectConnection);
    m_writerThread.start();
    QMetaObject::invokeMethod(
        writer,
        [this, writer, before = pruneBefore.toMSecsSinceEpoch()] {
            QString error;
            const int dropped = writer->prune(before, error);
            QMetaObject::invokeMethod(
                this,
                [this, dropped, error] {
                    if (dropped < 0) {
                        sayOnce(QStringLiteral("无法清理"), error);
                    } else {
                        Q_EMIT pruned(dropped);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
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

QString FareHistory::migrate() {
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return query.lastError().text();
    }
    const int version = query.value(0).toInt();
    query.finish(); // a statement still reading keeps the schema locked
    if (version < 0 || version > kSchemaVersion) {
        return QStringLiteral("schema version %1 is not one this program knows (0 to %2)")
            .arg(version)
            .arg(kSchemaVersion);
    }
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        if (!m_db.transaction()) {
            return m_db.lastError().text();
        }
        QString problem = runScript(m_db, QString::fromLatin1(kMigrations[next - 1]));
        if (problem.isEmpty()) {
            problem = runScript(m_db, QStringLiteral("PRAGMA user_version=%1").arg(next));
        }
        if (problem.isEmpty() && !m_db.commit()) {
            problem = m_db.lastError().text();
        }
        if (!problem.isEmpty()) {
            m_db.rollback();
            return problem;
        }
    }
    return {};
}

int FareHistory::retentionDays() const {
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT value FROM setting WHERE key = 'retention_days'"));
    if (m_db.isOpen() && query.exec() && query.next()) {
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
    QString error;
    const std::atomic_bool never = false;
    const int dropped =
        pruneInBatches(m_db, now.addDays(-retentionDays()).toMSecsSinceEpoch(), never, error);
    if (dropped < 0) {
        sayOnce(QStringLiteral("无法清理"), error);
    }
    return dropped;
}

void FareHistory::beginRound() {
    m_round.clear();
    m_inRound = m_ready && m_writer;
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
                        roundLost(error);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

namespace {

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

} // namespace

QString FareHistory::eachObservation(const QString& routeId, const QDate& since,
                                     const ObservationSink& each) const {
    if (!m_ready) {
        return notOpen();
    }
    // Through the index that is in this order: a whole-store read then never sorts, which
    // would hold every row in memory at once.
    QByteArray sql =
        "SELECT " + kColumns.toUtf8() + " FROM observation INDEXED BY observation_chart";
    if (!routeId.isEmpty()) {
        sql +=
            since.isNull() ? " WHERE route_id = ?1" : " WHERE route_id = ?1 AND observed_at >= ?2";
    }
    sql += " ORDER BY route_id, observed_at";
    Statement select(handleOf(m_db), sql);
    if (!select.prepared()) {
        return readFailure(select.error());
    }
    if (!routeId.isEmpty()) {
        bindText(select.get(), 1, routeId);
        if (!since.isNull()) {
            sqlite3_bind_int64(select.get(), 2, QDateTime(since, QTime(0, 0)).toMSecsSinceEpoch());
        }
    }
    FareObservation observation;
    LocalOffsets offsets;
    while (select.next()) {
        observation.routeId = select.text(0);
        observation.depCityName = select.text(1);
        observation.arrCityName = select.text(2);
        observation.depDate = select.text(3);
        observation.routeKind = select.text(4);
        observation.alertPrice = select.text(5);
        observation.observedAt = offsets.localTime(sqlite3_column_int64(select.get(), 6));
        observation.fare = select.text(7);
        observation.outcome = fareOutcomeOfKey(select.text(8));
        observation.special = sqlite3_column_int(select.get(), 9) != 0;
        observation.calendar = calendarOf(select.text(10));
        each(observation);
    }
    return select.error().isEmpty() ? QString() : readFailure(select.error());
}

HistoryRead<QList<FareObservation>> FareHistory::observations(const QString& routeId,
                                                              const QDate& since) const {
    HistoryRead<QList<FareObservation>> read;
    if (routeId.isEmpty()) {
        return read;
    }
    read.error = eachObservation(routeId, since,
                                 [&read](const FareObservation& seen) { read.rows.append(seen); });
    return read;
}

HistoryRead<QList<FarePoint>> FareHistory::farePoints(const QString& routeId) const {
    HistoryRead<QList<FarePoint>> read;
    if (!m_ready) {
        read.error = notOpen();
        return read;
    }
    Statement select(handleOf(m_db), "SELECT observed_at, fare, special FROM observation WHERE "
                                     "route_id = ? AND fare IS NOT NULL ORDER BY observed_at");
    if (select.prepared()) {
        bindText(select.get(), 1, routeId);
        while (select.next()) {
            read.rows.append({sqlite3_column_int64(select.get(), 0),
                              sqlite3_column_double(select.get(), 1),
                              sqlite3_column_int(select.get(), 2) != 0});
        }
    }
    if (const QString error = select.error(); !error.isEmpty()) {
        read.error = readFailure(error);
    }
    return read;
}

HistoryRead<RouteFareSummary> FareHistory::fareSummary(const QString& routeId,
                                                       const QDateTime& recentSince) const {
    HistoryRead<RouteFareSummary> read;
    if (!m_ready) {
        read.error = notOpen();
        return read;
    }
    RouteFareSummary& summary = read.rows;
    // The first three through the route's chart index: only the latest row of the wide
    // table is read.
    Statement last(handleOf(m_db), "SELECT observed_at, fare FROM observation WHERE route_id = ? "
                                   "AND fare IS NOT NULL ORDER BY observed_at DESC LIMIT 1");
    Statement lowest(handleOf(m_db),
                     "SELECT observed_at, CAST(fare AS REAL) AS amount FROM observation WHERE "
                     "route_id = ? AND fare IS NOT NULL ORDER BY amount, observed_at LIMIT 1");
    Statement recent(handleOf(m_db),
                     "SELECT CAST(fare AS REAL) FROM observation WHERE route_id = ? AND "
                     "observed_at >= ? AND fare IS NOT NULL");
    Statement latest(handleOf(m_db),
                     "SELECT dep_date, calendar FROM observation WHERE route_id = ? "
                     "ORDER BY observed_at DESC, id DESC LIMIT 1");
    for (Statement* statement : {&last, &lowest, &recent, &latest}) {
        if (statement->prepared()) {
            bindText(statement->get(), 1, routeId);
        }
    }
    sqlite3_bind_int64(recent.get(), 2, recentSince.toMSecsSinceEpoch());
    if (last.prepared() && last.next()) {
        summary.lastSeen = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(last.get(), 0));
        summary.lastFare = last.text(1);
    }
    if (lowest.prepared() && lowest.next()) {
        summary.lowestSeen = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(lowest.get(), 0));
        summary.lowest = sqlite3_column_double(lowest.get(), 1);
    }
    if (recent.prepared()) {
        while (recent.next()) {
            summary.recentFares.append(sqlite3_column_double(recent.get(), 0));
        }
    }
    if (latest.prepared() && latest.next()) {
        summary.latestDay = latest.text(0);
        summary.latestCalendar = calendarOf(latest.text(1));
    }
    for (const Statement* statement : {&last, &lowest, &recent, &latest}) {
        if (const QString error = statement->error(); !error.isEmpty()) {
            read.error = readFailure(error);
        }
    }
    return read;
}

HistoryRead<QList<CalendarEntry>> FareHistory::latestCalendar(const QString& routeId) const {
    HistoryRead<QList<CalendarEntry>> read;
    if (!m_ready) {
        read.error = notOpen();
        return read;
    }
    Statement select(handleOf(m_db),
                     "SELECT calendar FROM observation WHERE route_id = ? AND calendar <> '' "
                     "ORDER BY observed_at DESC, id DESC LIMIT 1");
    if (select.prepared()) {
        bindText(select.get(), 1, routeId);
        if (select.next()) {
            read.rows = calendarOf(select.text(0));
        }
    }
    if (const QString error = select.error(); !error.isEmpty()) {
        read.error = readFailure(error);
    }
    return read;
}

QByteArray historyCsvHeader() {
    return QByteArrayLiteral("route_id,departure,arrival,departure_date,route_kind,"
                             "alert_price,observed_at,fare,outcome,special,calendar\r\n");
}

namespace {

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
                              o.special ? QStringLiteral("1") : QStringLiteral("0"),
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

QString writeHistoryCsv(const FareHistory& history,
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

WriteResult exportHistoryCsv(const FareHistory& history, const QString& path) {
    AtomicFile file(path);
    if (WriteResult opened = file.open(); !opened) {
        return opened;
    }
    const QString error =
        writeHistoryCsv(history, [&file](QByteArrayView bytes) { return file.write(bytes); });
    if (!error.isEmpty()) {
        file.abandon();
        return WriteResult::failure(QStringLiteral("未导出 %1：%2").arg(path, error));
    }
    return file.commit();
}

} // namespace skylark
