#pragma once

#include "AlertChannel.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>

namespace skylark {

// Where a desktop without a notification service shows a message instead: the tray's
// balloon. False when there is nowhere to show it.
class NotificationFallback {
public:
    virtual ~NotificationFallback() = default;
    virtual bool showMessage(const QString& title, const QString& body) = 0;
};

// A notification through the desktop's notification service (org.freedesktop.Notifications
// on the session bus), with an action that asks for the main window. The call never waits:
// the answer comes back through the bus. Where no service answers, the fallback shows
// the message; where there is neither, nothing is shown and nothing is said.
class DesktopChannel final : public QObject, public AlertChannel {
    Q_OBJECT

public:
    static constexpr int kAnswerTimeoutMs = 5000;

    DesktopChannel(QDBusConnection bus, QString iconName, QObject* parent = nullptr);

    void setFallback(NotificationFallback* fallback) { m_fallback = fallback; }
    void send(const AlertRound& round, DeliveryDone done) override;

Q_SIGNALS:
    // The user chose the notification's action: the main window should come back.
    void windowWanted();

private:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

private:
    void fallBack(const AlertRound& round, const QString& why, const DeliveryDone& done);

    QDBusConnection m_bus;
    QString m_iconName;
    NotificationFallback* m_fallback = nullptr;
    QSet<uint> m_shown; // the ids of our notifications still on the screen
};

} // namespace skylark
