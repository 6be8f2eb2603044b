#pragma once

#include "monitor/FarePush.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace skylark {

class Clock;
class Fetcher;
class FrontEnd;
class Monitor;
class Settings;
class StatusLog;
struct Endpoints;

// The message of a round: a count line, then one line per special fare, each ended by
// CR LF.
QString pushText(const QList<SpecialFare>& fares);

// Whole minutes from one moment to the next as the push gate counts them: the difference
// in days times 1440, plus 0.000005787037, truncated.
qint64 elapsedPushMinutes(const QDateTime& from, const QDateTime& to);

// Sends push messages through the relay, and the push step of a round with its gate.
class PushNotifier : public FarePush {
public:
    PushNotifier(Fetcher& fetcher, const Endpoints& endpoints, const Settings& settings,
                 StatusLog& log, const Clock& clock);

    // The relay's reply, trimmed; empty when the exchange failed.
    QString sendPushMessage(const QString& bindingId, const QString& message);
    // Sends the round's special fares when pushes are on, bound and the interval has passed
    // since lastPushTime; writes exactly one log line either way.
    void pushSpecialFares(const QList<SpecialFare>& fares, QDateTime& lastPushTime) override;

private:
    Fetcher& m_fetcher;
    const Endpoints& m_endpoints;
    const Settings& m_settings;
    StatusLog& m_log;
    const Clock& m_clock;
};

// The texts of the push settings window's two edit boxes.
struct PushSettingsTexts {
    QString bindingId;
    QString interval;

    bool operator==(const PushSettingsTexts&) const = default;
};

// The handlers of the push settings window and of the push alerts check box, on the
// texts of the edit boxes and the state of the check box.
class PushSettingsLogic : public QObject {
    Q_OBJECT

public:
    PushSettingsLogic(Settings& settings, PushNotifier& notifier, FrontEnd& frontEnd,
                      Monitor& monitor, QObject* parent = nullptr);

    // The texts the edit boxes start with.
    PushSettingsTexts loadPushSettings() const;
    struct SaveResult {
        bool saved;
        PushSettingsTexts boxes; // what the edit boxes show afterwards
    };
    // Saves the edit boxes when they hold an id and an interval of at least 10 minutes.
    SaveResult savePushSettings(const PushSettingsTexts& boxes);
    // Sends the test message to the id in the edit box; the reply is not looked at.
    void sendTestPush(const QString& bindingIdBox);
    // Stores the check box's new state and returns the state it shows afterwards: the old
    // state, after a message, when it could not be stored.
    bool togglePushAlerts(bool checked);

Q_SIGNALS:
    // The test button is disabled while a test push is under way.
    void testButtonEnabledChanged(bool enabled);

private:
    Settings& m_settings;
    PushNotifier& m_notifier;
    FrontEnd& m_frontEnd;
    Monitor& m_monitor;
};

} // namespace skylark
