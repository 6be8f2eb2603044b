#pragma once

#include "monitor/FareRecorder.h"
#include "store/WriteResult.h"

#include <QDate>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QThread>

namespace skylark {

// One point of a route's fare over time, as the chart draws it.
struct FarePoint {
    qint64 observedAtMs; // since the epoch
    double fare;
    bool special;
};

// The fare history: every observation of the rounds in the SQLite file history.sqlite of
// the data directory, one transaction a round, written on a thread of its own after the
// round. The route file stays the one place routes
// live; the observations of a deleted route are kept until they are older than the
// retention. A store that cannot be opened or written says so once (failed) and otherwise
// does nothing: the rounds go on as without it.
class FareHistory : public QObject, public FareRecorder {
    Q_OBJECT

public:
    static constexpr int kSchemaVersion = 3;
    static constexpr int kDefaultRetentionDays = 400;
    static QString fileName() { return QStringLiteral("history.sqlite"); }

    explicit FareHistory(const QString& directory, QObject* parent = nullptr);
    ~FareHistory() override;

    // Opens the store, creating or migrating its schema, and drops what is older than the
    // retention before now. False, with error(), when it cannot be used.
    bool open(const QDateTime& now);
    bool isOpen() const { return m_ready; }
    QString path() const { return m_path; }
    // The first failure, empty while there was none.
    QString error() const { return m_error; }
    int schemaVersion() const;

    int retentionDays() const;
    bool setRetentionDays(int days);
    // Drops the observations older than the retention; the number dropped, -1 on failure.
    int prune(const QDateTime& now);

    // Waits until every round handed over is written and its signal has been sent.
    void flush();

    void beginRound() override;
    void record(const FareObservation& observation) override;
    void endRound() override;

    // A route's observations, oldest first, from the given day on (all when null).
    QList<FareObservation> observations(const QString& routeId, const QDate& since = {}) const;
    // Every observation, by route and time.
    QList<FareObservation> allObservations() const;
    // The route's found fares, oldest first: what its chart draws.
    QList<FarePoint> farePoints(const QString& routeId) const;
    // The calendar of the route's latest observation that had one.
    QList<CalendarEntry> latestCalendar(const QString& routeId) const;

Q_SIGNALS:
    // A round's observations are stored.
    void recorded(const QList<skylark::FareObservation>& observations);
    // The store failed for the first time.
    void failed(const QString& message);

private:
    bool migrate();
    void fail(const QString& what, const QString& reason);
    void sayOnce(const QString& what, const QString& reason);
    QList<FareObservation> select(const QString& where, const QVariantList& values) const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    QThread m_writerThread;
    QObject* m_writer = nullptr; // lives on m_writerThread
    bool m_ready = false;
    bool m_inRound = false;
    QString m_error;
    QList<FareObservation> m_round;
};

// The observations as RFC 4180 CSV in UTF-8, with a header row and CR LF line ends.
QByteArray historyCsv(const QList<FareObservation>& observations);
// Writes the CSV file as one step: the old file stays whole when it cannot be written.
WriteResult exportHistoryCsv(const QList<FareObservation>& observations, const QString& path);

} // namespace skylark
