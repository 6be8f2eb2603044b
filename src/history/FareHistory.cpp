#include "FareHistory.h"

#include "HistorySql.h"
#include "RoundWriter.h"

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

using namespace Qt::Literals::StringLiterals;
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

} // namespace

FareHistory::FareHistory(const QString& directory, QObject* parent)
    : QObject(parent)
    , m_path(directory + u'/' + fileName())
    , m_connection(u"skylark-history-%1"_s.arg(quintptr(this), 0, 16)) {}

FareHistory::~FareHistory() {
    if (m_writer) {
        m_writer->stopping = true;
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
        m_error =
            u"价格历史 %1 %2：%3"_s.arg(m_path, what, reason.isEmpty() ? u"原因不明"_s : reason);
        Q_EMIT failed(m_error);
    }
}

// A round that could not be written is lost, and every loss is said with the count; the
// next round tries again.
void FareHistory::roundLost(const QString& reason) {
    ++m_lostRounds;
    const QString message =
        u"价格历史 %1 无法写入：%2（共 %3 轮未能保存）"_s.arg(m_path, reason).arg(m_lostRounds);
    if (m_error.isEmpty()) {
        m_error = message;
    }
    Q_EMIT failed(message);
}

QString FareHistory::notOpen() const {
    return m_error.isEmpty() ? u"价格历史未打开"_s : m_error;
}

QString FareHistory::readProblem() const {
    return m_ready ? QString() : notOpen();
}

sqlite3* FareHistory::readHandle() const {
    return m_ready ? history_sql::handleOf(m_db) : nullptr;
}

QString FareHistory::readFailure(const QString& reason) const {
    return u"价格历史 %1 无法读取：%2"_s.arg(m_path, reason);
}

bool FareHistory::openConnection(HistoryAccess access) {
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    m_db.setDatabaseName(m_path);
    QString options = u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(kReaderBusyMs);
    if (access == HistoryAccess::ReadOnly) {
        options += u";QSQLITE_OPEN_READONLY"_s;
    }
    m_db.setConnectOptions(options);
    if (!m_db.open()) {
        fail(u"无法打开"_s, m_db.lastError().text());
        return false;
    }
    QSqlQuery query(m_db);
    // A read-only reader maps nothing: an export of the whole store stays small in memory.
    const bool set = access == HistoryAccess::ReadOnly
                         ? query.exec(u"PRAGMA mmap_size=0"_s)
                         : query.exec(u"PRAGMA journal_mode=WAL"_s) &&
                               query.exec(u"PRAGMA synchronous=NORMAL"_s) &&
                               query.exec(u"PRAGMA mmap_size=268435456"_s);
    if (!set || !query.exec(u"PRAGMA cache_size=-16384"_s)) {
        fail(u"无法使用"_s, query.lastError().text());
        return false;
    }
    return true;
}

bool FareHistory::open(const QDateTime& now, HistoryAccess access) {
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        fail(u"无法打开"_s, u"no SQLite driver"_s);
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
        fail(u"无法使用"_s, problem);
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
    auto* writer = new RoundWriter(m_path, m_connection + u"-writer"_s, m_writerBusyMs);
    m_writer = writer;
    writer->moveToThread(&m_writerThread);
    m_writerThread.setObjectName(u"history writer"_s);
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
                        sayOnce(u"无法清理"_s, error);
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
    return query.exec(u"PRAGMA user_version"_s) && query.next() ? query.value(0).toInt() : -1;
}

QString FareHistory::migrate() {
    QSqlQuery query(m_db);
    if (!query.exec(u"PRAGMA user_version"_s) || !query.next()) {
        return query.lastError().text();
    }
    const int version = query.value(0).toInt();
    query.finish(); // a statement still reading keeps the schema locked
    if (version < 0 || version > kSchemaVersion) {
        return u"schema version %1 is not one this program knows (0 to %2)"_s.arg(version).arg(
            kSchemaVersion);
    }
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        if (!m_db.transaction()) {
            return m_db.lastError().text();
        }
        QString problem = runScript(m_db, QString::fromLatin1(kMigrations[next - 1]));
        if (problem.isEmpty()) {
            problem = runScript(m_db, u"PRAGMA user_version=%1"_s.arg(next));
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
    query.prepare(u"SELECT value FROM setting WHERE key = 'retention_days'"_s);
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
    query.prepare(u"INSERT OR REPLACE INTO setting (key, value) VALUES ('retention_days', ?)"_s);
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
        sayOnce(u"无法清理"_s, error);
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
        [this, writer = m_writer, round = std::exchange(m_round, {})] {
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

} // namespace skylark
