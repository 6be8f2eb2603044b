#include "PushAlerts.h"

#include "app/Clock.h"
#include "app/FrontEnd.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "text/Encoding.h"
#include "text/Text.h"

#include <cmath>

namespace skylark {
namespace {

const QString kResultPrefix = QStringLiteral("发送微信提醒结果：");

} // namespace

QString pushText(const QList<SpecialFare>& fares) {
    QString text = QStringLiteral("亲，翔云旅行已监测到 ") + QString::number(fares.size()) +
                   QStringLiteral(" 条符合条件的机票！\r\n");
    for (const SpecialFare& fare : fares) {
        text += fare.depCityName + QLatin1Char('-') + fare.arrCityName + QLatin1Char(' ') +
                fare.depDate + QLatin1Char(' ') + fare.lowestPrice + QStringLiteral("\r\n");
    }
    return text;
}

qint64 elapsedPushMinutes(const QDateTime& from, const QDateTime& to) {
    const double days = double(from.msecsTo(to)) / 86'400'000.0;
    return qint64(std::trunc(days * 1440.0 + 0.000005787037));
}

PushNotifier::PushNotifier(Fetcher& fetcher, const Endpoints& endpoints, const Settings& settings,
                           StatusLog& log, const Clock& clock)
    : m_fetcher(fetcher)
    , m_endpoints(endpoints)
    , m_settings(settings)
    , m_log(log)
    , m_clock(clock) {}

QString PushNotifier::sendPushMessage(const QString& bindingId, const QString& message) {
    const QByteArray reply = m_fetcher.httpFetch(pushRelayUrl(m_endpoints), QStringLiteral("POST"),
                                                 pushRelayBody(bindingId, message));
    return trimBlanks(utf8ToAnsi(reply));
}

void PushNotifier::pushSpecialFares(const QList<SpecialFare>& fares, QDateTime& lastPushTime) {
    const QString text = pushText(fares);
    const QString id = m_settings.pushId();
    const QString cycle = m_settings.pushCycle();
    if (!m_settings.pushEnabled()) {
        m_log.appendLog(kResultPrefix + QStringLiteral("未开启微信提醒功能"));
        return;
    }
    if (id.isEmpty()) {
        m_log.appendLog(kResultPrefix + QStringLiteral("微信绑定ID为空"));
        return;
    }
    const QDateTime now = m_clock.now();
    if (atMost(double(elapsedPushMinutes(lastPushTime, now)), textToNumber(cycle))) {
        m_log.appendLog(kResultPrefix + QStringLiteral("间隔时间未到"));
        return;
    }
    QString reply = sendPushMessage(id, text);
    if (reply == u"customer block") {
        reply = QStringLiteral("已失效，请发送 开启提醒 至公众号 翔云旅行 进行重新激活");
    }
    lastPushTime = now;
    m_log.appendLog(kResultPrefix + reply);
}

PushSettingsLogic::PushSettingsLogic(Settings& settings, PushNotifier& notifier, FrontEnd& frontEnd,
                                     Monitor& monitor, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_notifier(notifier)
    , m_frontEnd(frontEnd)
    , m_monitor(monitor) {}

PushSettingsTexts PushSettingsLogic::loadPushSettings() const {
    return {m_settings.pushId(), m_settings.pushCycle()};
}

PushSettingsLogic::SaveResult PushSettingsLogic::savePushSettings(const PushSettingsTexts& boxes) {
    const QString id = removeBlanks(boxes.bindingId);
    if (id.isEmpty()) {
        m_frontEnd.showInformation(QStringLiteral("绑定ID不能为空，请重新输入！"));
        return {false, boxes};
    }
    if (!atMost(10, textToNumber(boxes.interval))) {
        m_frontEnd.showInformation(QStringLiteral("间隔时间必须大于等于10，请重新输入！"));
        return {false, {boxes.bindingId, QStringLiteral("10")}};
    }
    const QString interval = removeBlanks(boxes.interval);
    if (!Settings::canStore(id) || !Settings::canStore(interval)) {
        m_frontEnd.showInformation(
            QStringLiteral("绑定ID或间隔时间含有无法保存的字符，请重新输入！"));
        return {false, boxes};
    }
    if (const WriteResult saved = m_settings.setPushSettings(id, interval); !saved) {
        m_frontEnd.showInformation(saved.message());
        return {false, boxes};
    }
    return {true, boxes};
}

void PushSettingsLogic::sendTestPush(const QString& bindingIdBox) {
    Q_EMIT testButtonEnabledChanged(false);
    m_frontEnd.showInformation(QStringLiteral("翔云旅行将发送一条微信消息给您，请注意查看！"));
    m_notifier.sendPushMessage(removeBlanks(bindingIdBox),
                               QStringLiteral("测试成功！可以开启微信提醒功能！"));
    Q_EMIT testButtonEnabledChanged(true);
}

bool PushSettingsLogic::togglePushAlerts(bool checked) {
    const QString id = m_settings.pushId();
    const QString cycle = m_settings.pushCycle();
    if (const WriteResult saved = m_settings.setPushEnabled(checked); !saved) {
        m_frontEnd.showInformation(saved.message());
        return !checked;
    }
    if (!checked) {
        m_frontEnd.showInformation(
            QStringLiteral("您已关闭微信提醒功能！您可以在菜单中选择（微信设置）进行重新设置！"));
        return false;
    }
    if (id.isEmpty() || cycle.isEmpty()) {
        m_frontEnd.showInformation(
            QStringLiteral("您还未进行微信设置，请在下面的窗口中进行设置！"));
        m_monitor.stopMonitoring();
        m_frontEnd.openPushSettings();
    } else {
        m_frontEnd.showInformation(
            QStringLiteral("您已开启微信提醒功能，若您无法收到翔云旅行发送的微信消息时，请您主动发"
                           "送（开启提醒）至微信公众号（翔云旅行）验证设置是否正确！"));
    }
    return true;
}

} // namespace skylark
