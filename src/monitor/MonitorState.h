#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

namespace skylark {

// What the latest round found, route by route.
struct RoundCounts {
    int found = 0;
    int special = 0;
    int notFound = 0;
    int stale = 0; // routes the watchdog counts as stale at the round's end

    bool operator==(const RoundCounts&) const = default;
};

// Where monitoring stands at one moment.
struct MonitorStatus {
    enum class Phase {
        Off,       // not monitoring, no round running
        StartWait, // from the start click to the first round
        Round,     // a round is asking route n of N
        Waiting,   // between rounds, the next one due at nextRoundAt
    };

    Phase phase = Phase::Off;
    int round = 0;      // k: the rounds since the start click, the running one included
    int routeIndex = 0; // n, from 1, while a round runs
    int routeCount = 0; // N
    QString routeId;    // the route being asked
    QDateTime nextRoundAt;
    // The last round that ended: its length and its counts; none before the first.
    bool hasLastRound = false;
    qint64 lastRoundMs = 0;
    RoundCounts lastCounts;

    bool operator==(const MonitorStatus&) const = default;
};

// The monitor's state as the windows and the command line show it; the monitor moves it.
class MonitorState : public QObject {
    Q_OBJECT

public:
    explicit MonitorState(QObject* parent = nullptr);

    const MonitorStatus& status() const { return m_status; }

    void startWaiting();
    void beginRound(int routeCount, const QDateTime& now);
    void askRoute(int routeIndex, const QString& routeId);
    void countRoute(bool found, bool special);
    void countStale(int stale);
    // The round has ended; nextRoundAt is invalid when no round follows.
    void endRound(const QDateTime& now, const QDateTime& nextRoundAt);
    void switchOff();

Q_SIGNALS:
    void changed(const skylark::MonitorStatus& status);

private:
    void publish();

    MonitorStatus m_status;
    QDateTime m_roundStart;
    RoundCounts m_counts;
};

// The one line that says the state: what runs now, and the last round's figures.
QString monitorStateLine(const MonitorStatus& status, const QDateTime& now);
// The last round's figures alone, as the command line prints them at each round's end.
QString lastRoundLine(const MonitorStatus& status);

} // namespace skylark
