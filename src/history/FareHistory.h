#pragma once

#include "HistoryQueries.h"
#include "history/PriceContext.h"
#include "monitor/FareRecorder.h"

#include <QDate>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QThread>

#include <functional>

struct sqlite3;

namespace skylark {

class RoundWriter;

// How a front-end uses the store: the monitor and the desktop record and keep it pruned;
// a command that only reads never writes to it, so it never competes with the recorder.
enum class HistoryAccess { Record, ReadOnly };

// The fare history: every observation of the rounds in the SQLite file history.sqlite of
// the data directory, one transaction a round, written on a thread of its own after the
// round. The route file stays the one place routes
// live; the observations of a deleted route are kept until they are older than the
// retention. A store that cannot be opened or written says so once (failed) and otherwise
// does nothing: the rounds go on as without it.
class FareHistory : public QObject, public FareRecorder {
    Q_OBJECT

public:
    static constexpr int kSchemaVersion = 4;
    static constexpr int kDefaultRetentionDays = 400;
    // How long the writer waits for another process that holds the store (a migration, a
    // retention change) before the round counts as lost; readers never hold it up.
    static constexpr int kWriterBusyMs = 30000;
    static constexpr int kPruneBatchRows = 5000;
    static QString fileName() { return QStringLiteral("history.sqlite"); }

    explicit FareHistory(const QString& directory, QObject* parent = nullptr);
    ~FareHistory() override;

    // Opens the store, creating (0600) or migrating its schema. To record, it then drops
    // what is older than the retention before now, in batches on the writer's thread
    // (pruned() says how many); read-only, it never writes. False, with error(), when it
    // cannot be used.
    bool open(const QDateTime& now, HistoryAccess access = HistoryAccess::Record);
    // Before open(): how long the writer waits for a store held by another process.
    void setWriterBusyMs(int ms) { m_writerBusyMs = ms; }
    bool isOpen() const { return m_ready; }
    QString path() const { return m_path; }
    // The first failure, empty while there was none.
    QString error() const { return m_error; }
    int schemaVersion() const;

    int retentionDays() const;
    bool setRetentionDays(int days);
    // Drops the observations older than the retention, in batches; the number dropped, -1
    // on failure.
    int prune(const QDateTime& now);
    // Rounds that could not be stored since the store was opened.
    int lostRounds() const { return m_lostRounds; }

    // Waits until every round handed over is written and its signal has been sent.
    void flush();

    void beginRound() override;
    void record(const FareObservation& observation) override;
    void endRound() override;

    // The reads of the store.
    const HistoryQueries& queries() const { return m_queries; }
    // Why the store cannot be read now; empty while it is open.
    QString readProblem() const;
    // The store's own connection under the Qt driver; null while it is not open.
    sqlite3* readHandle() const;
    // What a read that failed for the reason says.
    QString readFailure(const QString& reason) const;

Q_SIGNALS:
    // A round's observations are stored.
    void recorded(const QList<skylark::FareObservation>& observations);
    // The store could not be opened, pruned or read (said once), or a round could not be
    // stored (said for every round lost, with the count).
    void failed(const QString& message);
    // The prune of the opening has dropped that many observations.
    void pruned(int count);

private:
    bool openConnection(HistoryAccess access);
    // Why the schema could not be brought to this program's version; empty when it is.
    QString migrate();
    void startWriter(const QDateTime& pruneBefore);
    void fail(const QString& what, const QString& reason);
    void sayOnce(const QString& what, const QString& reason);
    void roundLost(const QString& reason);
    // What a read says while the store is not open: why it could not be opened.
    QString notOpen() const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    QThread m_writerThread;
    RoundWriter* m_writer = nullptr; // lives on m_writerThread
    bool m_ready = false;
    bool m_inRound = false;
    int m_writerBusyMs = kWriterBusyMs;
    int m_lostRounds = 0;
    QString m_error;
    QList<FareObservation> m_round;
    HistoryQueries m_queries{*this};
};

} // namespace skylark
