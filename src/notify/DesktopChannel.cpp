#include "DesktopChannel.h"

#include "NotificationsProxy.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kService = u"org.freedesktop.Notifications"_s;
const QString kPath = u"/org/freedesktop/Notifications"_s;
const QString kInterface = u"org.freedesktop.Notifications"_s;
const QString kShowAction = u"default"_s;

} // namespace

DesktopChannel::DesktopChannel(QDBusConnection bus, QString iconName, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_iconName(std::move(iconName)) {
    if (m_bus.isConnected()) {
        auto* service = new OrgFreedesktopNotificationsInterface(kService, kPath, m_bus, this);
        connect(service, &OrgFreedesktopNotificationsInterface::ActionInvoked, this,
                &DesktopChannel::onActionInvoked);
        connect(service, &OrgFreedesktopNotificationsInterface::NotificationClosed, this,
                &DesktopChannel::onNotificationClosed);
    }
}

void DesktopChannel::send(const AlertRound& round, DeliveryDone done) {
    if (!m_bus.isConnected()) {
        fallBack(round, u"没有会话总线"_s, done);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, u"Notify"_s);
    const QVariantMap hints{{u"desktop-entry"_s, u"io.github.skylark.Skylark"_s},
                            {u"urgency"_s, QVariant::fromValue(uchar(1))}};
    call << QString::fromUtf16(kAlertSenderName) << uint(0) << m_iconName << alertTitle(round)
         << alertBodyText(round, false) << QStringList{kShowAction, u"打开主窗口"_s} << hints
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kAnswerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, round, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    fallBack(round, reply.error().message(), done);
                    return;
                }
                m_shown.insert(reply.value());
                done(DeliveryOutcome::delivered());
            });
}

void DesktopChannel::fallBack(const AlertRound& round, const QString& why,
                              const DeliveryDone& done) {
    if (m_fallback && m_fallback->showMessage(alertTitle(round), alertBodyText(round, false))) {
        done(DeliveryOutcome::delivered());
    } else {
        done(DeliveryOutcome::nowhere(why));
    }
}

void DesktopChannel::onActionInvoked(uint id, const QString& action) {
    if (m_shown.contains(id) && action == kShowAction) {
        Q_EMIT windowWanted();
    }
}

void DesktopChannel::onNotificationClosed(uint id, uint /*reason*/) {
    m_shown.remove(id);
}

} // namespace skylark
