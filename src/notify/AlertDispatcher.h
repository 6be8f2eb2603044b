#pragma once

#include "AlertChannel.h"
#include "ChannelSettings.h"
#include "DeliveryWorkers.h"
#include "monitor/FareRecorder.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <memory>

namespace skylark {

class Clock;
class DesktopChannel;
class FareSource;
class StatusLog;

// The special fares of a round as the channels tell them, each with its search page.
AlertRound alertRoundOf(const QList<FareObservation>& fares, const FareSource& source,
                        const QDateTime& sentAt);

// Hands a round's special fares to every channel that is switched on and whose least
// interval has passed since its last message, and writes one status-log line for each
// outcome. Deliveries never wait on the calling thread; a channel that fails or hangs
// delays neither the next round nor another channel.
class AlertDispatcher : public QObject {
    Q_OBJECT

public:
    AlertDispatcher(const ChannelBook& book, StatusLog& log, const Clock& clock,
                    const FareSource& source, DeliveryLimits limits = {},
                    QObject* parent = nullptr);
    ~AlertDispatcher() override;

    // The desktop notifications, on the session bus (connected at the first use) unless a
    // test gives another.
    DesktopChannel& desktopChannel();
    void setDesktopChannel(std::unique_ptr<DesktopChannel> channel);
    // Deliveries of rounds and tests not yet ended.
    int pending() const { return m_pending; }

    // One message per enabled channel for the round's special fares.
    void deliverRound(const QList<skylark::FareObservation>& fares);
    // A notice of the monitor's to every enabled channel, past their least intervals: it
    // comes once when a route goes stale and once when it recovers.
    void deliverNotice(const QString& text);
    // The test message through the channel with these settings, whether it is switched
    // on or not; no log line, no interval.
    void sendTest(const ChannelSettings& settings, DeliveryDone done);

Q_SIGNALS:
    // A round's delivery through the channel ended (after its log line).
    void delivered(const QString& name, const skylark::DeliveryOutcome& outcome);
    // The last delivery under way ended.
    void settled();

private:
    // Sends the message to every enabled channel, each outcome said in the log; gated
    // by the least intervals unless it is a notice.
    void deliverToEnabled(const AlertRound& round);
    std::unique_ptr<AlertChannel> makeChannel(const ChannelSettings& settings);
    bool withinLeastInterval(const ChannelSettings& settings, const QDateTime& now) const;
    void send(const ChannelSettings& settings, const AlertRound& round, DeliveryDone done);

    const ChannelBook& m_book;
    StatusLog& m_log;
    const Clock& m_clock;
    const FareSource& m_source;
    DeliveryWorkers m_workers;
    std::unique_ptr<DesktopChannel> m_desktop;
    QHash<QString, QDateTime> m_lastSent; // per channel, the start of its last delivered message
    int m_pending = 0;
};

} // namespace skylark
