#include "AlertDispatcher.h"

#include "DesktopChannel.h"
#include "app/Clock.h"
#include "app/FareSource.h"
#include "app/StatusLog.h"
#include "text/LogCategories.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;

AlertRound alertRoundOf(const QList<FareObservation>& fares, const FareSource& source,
                        const QDateTime& sentAt) {
    AlertRound round;
    round.sentAt = sentAt;
    for (const FareObservation& fare : fares) {
        round.fares.append({fare.routeId, fare.depCityName, fare.arrCityName, fare.depDate,
                            fare.fare, fare.alertPrice, fare.observedAt,
                            source.searchPageUrl(fare.routeKind, fare.depCityName, fare.arrCityName,
                                                 fare.depDate)});
    }
    return round;
}

AlertDispatcher::AlertDispatcher(const ChannelBook& book, StatusLog& log, const Clock& clock,
                                 const FareSource& source, DeliveryLimits limits, QObject* parent)
    : QObject(parent)
    , m_book(book)
    , m_log(log)
    , m_clock(clock)
    , m_source(source)
    , m_workers(limits) {}

AlertDispatcher::~AlertDispatcher() = default;

DesktopChannel& AlertDispatcher::desktopChannel() {
    if (!m_desktop) {
        m_desktop = std::make_unique<DesktopChannel>(QDBusConnection::sessionBus(), u"skylark"_s);
    }
    return *m_desktop;
}

void AlertDispatcher::setDesktopChannel(std::unique_ptr<DesktopChannel> channel) {
    m_desktop = std::move(channel);
}

void AlertDispatcher::deliverRound(const QList<FareObservation>& fares) {
    if (!fares.isEmpty()) {
        deliverToEnabled(alertRoundOf(fares, m_source, m_clock.now()));
    }
}

void AlertDispatcher::deliverNotice(const QString& text) {
    AlertRound round;
    round.sentAt = m_clock.now();
    round.notice = text;
    deliverToEnabled(round);
}

void AlertDispatcher::deliverToEnabled(const AlertRound& round) {
    const QDateTime now = round.sentAt;
    const ReadResult<QList<ChannelSettings>> channels = m_book.channels();
    if (!channels.ok()) {
        m_log.appendLog(u"发送提醒结果：无法读取 %1（%2）"_s.arg(m_book.path(), channels.error));
        return;
    }
    for (const ChannelSettings& settings : channels.value) {
        const QString& name = settings.name;
        const QString caption = channelCaption(name);
        if (!settings.enabled) {
            continue;
        }
        const DeliveryDone say = [this, name, caption](const DeliveryOutcome& outcome) {
            qCDebug(logNotify) << "delivery through" << name << (outcome.sent ? "sent" : "failed");
            if (!outcome.quiet) {
                m_log.appendLog(deliveryLogLine(caption, outcome));
            }
            Q_EMIT delivered(name, outcome);
        };
        if (round.isNotice()) {
            send(settings, round, say);
            continue;
        }
        if (withinLeastInterval(settings, now)) {
            m_log.appendLog(u"发送%1提醒结果：距上次提醒不到 %2 分钟"_s.arg(
                caption, QString::number(settings.minMinutes())));
            continue;
        }
        const QDateTime previous = m_lastSent.value(name);
        m_lastSent.insert(name, now);
        send(settings, round, [this, name, now, previous, say](const DeliveryOutcome& outcome) {
            if (!outcome.sent && m_lastSent.value(name) == now) {
                m_lastSent.insert(name, previous); // the next round tries again
            }
            say(outcome);
        });
    }
}

void AlertDispatcher::sendTest(const ChannelSettings& settings, DeliveryDone done) {
    AlertRound round;
    round.sentAt = m_clock.now();
    send(settings, round, std::move(done));
}

bool AlertDispatcher::withinLeastInterval(const ChannelSettings& settings,
                                          const QDateTime& now) const {
    const QDateTime last = m_lastSent.value(settings.name);
    return settings.minMinutes() > 0 && last.isValid() &&
           last.secsTo(now) < qint64(settings.minMinutes()) * 60;
}

void AlertDispatcher::send(const ChannelSettings& settings, const AlertRound& round,
                           DeliveryDone done) {
    ++m_pending;
    DeliveryDone settle = [this, done = std::move(done)](const DeliveryOutcome& outcome) {
        done(outcome);
        if (--m_pending == 0) {
            Q_EMIT settled();
        }
    };
    if (settings.name == u"desktop") {
        desktopChannel().send(round, std::move(settle));
    } else if (const std::unique_ptr<AlertChannel> channel = makeChannel(settings)) {
        channel->send(round, std::move(settle)); // it hands its work to the workers and goes
    } else {
        settle(DeliveryOutcome::failed(u"没有这种提醒方式"_s));
    }
}

std::unique_ptr<AlertChannel> AlertDispatcher::makeChannel(const ChannelSettings& settings) {
    const ChannelKind* kind = channelKind(settings.name);
    return kind && kind->make ? kind->make(settings, m_workers) : nullptr;
}

} // namespace skylark
