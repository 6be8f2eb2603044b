#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace skylark {

// The name the channels' messages come from.
inline constexpr char16_t kAlertSenderName[] = u"鸿雁票讯";

// One special fare of a round as the alert channels tell it.
struct AlertedFare {
    QString routeId;
    QString depCityName;
    QString arrCityName;
    QString depDate;
    QString fare;
    QString alertPrice;
    QDateTime observedAt;
    QString searchPageUrl; // empty when the route has no search page
};

// What one message of a channel is about: the special fares of a round, a notice of the
// monitor's (a route gone stale or recovered), or neither for the test message of the
// settings window and the command line.
struct AlertRound {
    QList<AlertedFare> fares;
    QDateTime sentAt;
    QString notice;
    bool isNotice() const { return !notice.isEmpty(); }
    bool isTest() const { return fares.isEmpty() && notice.isEmpty(); }
};

// The message's one-line title, naming the first route and its fare and how many more.
QString alertTitle(const AlertRound& round);
// One line per special fare: route, day, fare, alert price and time.
QStringList alertFareLines(const AlertRound& round);
// The message's text: the fare lines, each followed by its search page when withLinks.
QString alertBodyText(const AlertRound& round, bool withLinks);

// How one delivery ended; reason says why it failed (refused, time-out, authentication,
// TLS, an HTTP status).
struct DeliveryOutcome {
    bool sent = false;
    QString reason;
    bool quiet = false; // a channel with nowhere to deliver on this desktop: nothing is said

    static DeliveryOutcome delivered() { return {true, {}, false}; }
    static DeliveryOutcome failed(QString why) { return {false, std::move(why), false}; }
    static DeliveryOutcome nowhere(QString why) { return {false, std::move(why), true}; }
};

// The status-log line of a channel's outcome: "发送邮件提醒结果：已发送" or
// "发送邮件提醒结果：失败（reason）".
QString deliveryLogLine(const QString& caption, const DeliveryOutcome& outcome);

using DeliveryDone = std::function<void(const DeliveryOutcome&)>;

// One way of telling the user about a round's special fares.
class AlertChannel {
public:
    virtual ~AlertChannel() = default;
    // Starts delivering one message and returns at once, never waiting on the network;
    // done is called once, on the calling thread, with the outcome. A channel destroyed
    // before the end drops the call.
    virtual void send(const AlertRound& round, DeliveryDone done) = 0;
};

} // namespace skylark
