#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>

namespace skylark::testing {

// A D-Bus session bus of the test's own (dbus-daemon --session), so that tests never touch
// the desktop's.
class PrivateBus {
public:
    PrivateBus() {
        // Its socket lives in a folder of the test's, gone with it.
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"),
             QStringLiteral("--address=unix:path=") + m_dir.filePath(QStringLiteral("bus")),
             QStringLiteral("--print-address=1")});
        if (m_daemon.waitForReadyRead(10000)) {
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        }
    }
    ~PrivateBus() {
        for (const QString& name : m_names) {
            QDBusConnection::disconnectFromBus(name);
        }
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }

    bool running() const { return !m_address.isEmpty(); }
    // A connection of its own to the bus, under a name unique to the test.
    QDBusConnection connect(const QString& name) {
        m_names.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

// A desktop notification service that keeps what it is asked to show and can send the
// signals a real one sends when the user acts.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    // Serves on the connection under the well-known name; false when it cannot.
    bool serveOn(QDBusConnection bus) {
        m_bus = bus;
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    // The user chose the action of the notification.
    void invokeAction(uint id, const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << action;
        m_bus.send(signal);
    }

    QList<Shown> shown;

public Q_SLOTS:
    uint Notify(const QString& appName, uint /*replacesId*/, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int /*timeout*/) {
        shown.append({appName, icon, summary, body, actions, hints});
        return uint(shown.size() + 40);
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QDBusConnection m_bus{QString()};
};

} // namespace skylark::testing
