#pragma once

#include "monitor/FareRecorder.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <atomic>

struct sqlite3_stmt;

namespace skylark {

// Drops the observations before the time a batch at a time, each batch its own
// transaction, so that no writer waits long for the store and the write-ahead log stays
// small; the number dropped, -1 with the reason on failure.
int pruneInBatches(QSqlDatabase& db, qint64 before, const std::atomic_bool& stopping,
                   QString& error);

// Writes the rounds on a thread of its own, through a connection of its own, so that a
// round never waits for the disk or for another writer's lock.
class RoundWriter : public QObject {
public:
    RoundWriter(QString path, QString connection, int busyMs);
    ~RoundWriter() override;

    // Set from another thread: a prune under way stops after its batch.
    std::atomic_bool stopping = false;

    // Drops the observations before the time in batches; the number dropped, -1 with the
    // reason on failure.
    int prune(qint64 before, QString& error);
    // Empty when the round is stored, else why not.
    QString write(const QList<FareObservation>& round);

private:
    QString connect(QSqlDatabase& db);
    int insert(const FareObservation& observation);

    QString m_path;
    QString m_connection;
    int m_busyMs;
    sqlite3_stmt* m_insert = nullptr; // prepared once, on the first round
};

} // namespace skylark
