#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"
#include "common/FakeFrontEnd.h"
#include "common/ScriptedServer.h"
#include "common/SessionRig.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "notify/PushAlerts.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kStart(QDate(2014, 11, 1), QTime(9, 0, 0));

const QList<SpecialFare> kTwoFares{
    {u"成都"_s, u"上海"_s, u"2014-11-05"_s, u"480"_s, u"09:05:03"_s},
    {u"北京"_s, u"广州"_s, u"2014-11-20"_s, u"650"_s, u"09:05:04"_s}};

struct Rig : SessionRig {
    Rig()
        : SessionRig(kStart, {}) {
        session.setEndpoints(Endpoints::forDemo(relay.url(QString())));
    }
    QByteArray reply = "ok";
    ScriptedServer relay{[this](const QByteArray&) { return ScriptedServer::ok(reply); }};
    PushNotifier& push = session.push();
    PushSettingsLogic& pushSettings = session.pushSettings();

    void configure(const QString& open, const QString& id, const QString& cycle) {
        QVERIFY(settings.setPushId(id));
        QVERIFY(settings.setPushCycle(cycle));
        QVERIFY(open.isEmpty() || settings.setPushEnabled(open == u"1"));
    }
    QString lastLog() const {
        return log.lines().isEmpty() ? QString() : log.lines().last().mid(11);
    }
};

} // namespace

class TstPushAlerts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pushText_listsEveryFare();
    void gate_data();
    void gate();
    void reply_isTrimmedAndCustomerBlockExplained_data();
    void reply_isTrimmedAndCustomerBlockExplained();
    void push_sendsTheBodyBytesAsTheyAre();
    void save_data();
    void save();
    void testPush_usesTheEditBoxAndIgnoresTheReply();
    void toggle_data();
    void toggle();
};

void TstPushAlerts::pushText_listsEveryFare() {
    QCOMPARE(pushText(kTwoFares),
             u"亲，翔云旅行已监测到 2 条符合条件的机票！\r\n成都-上海 2014-11-05 480\r\n"
             "北京-广州 2014-11-20 650\r\n"_s);
}

void TstPushAlerts::gate_data() {
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("cycle");
    QTest::addColumn<qint64>("secondsSinceLastPush");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("switched off") << u"0"_s << u"demo"_s << u"10"_s << qint64(86400)
                                  << u"发送微信提醒结果：未开启微信提醒功能"_s;
    QTest::newRow("never switched on") << QString() << u"demo"_s << u"10"_s << qint64(86400)
                                       << u"发送微信提醒结果：未开启微信提醒功能"_s;
    QTest::newRow("no binding id")
        << u"1"_s << QString() << u"10"_s << qint64(86400) << u"发送微信提醒结果：微信绑定ID为空"_s;
    QTest::newRow("10 min 40 s is 10 whole minutes: held")
        << u"1"_s << u"demo"_s << u"10"_s << qint64(640) << u"发送微信提醒结果：间隔时间未到"_s;
    QTest::newRow("11 minutes: sent")
        << u"1"_s << u"demo"_s << u"10"_s << qint64(660) << u"发送微信提醒结果：ok"_s;
    QTest::newRow("a fractional interval")
        << u"1"_s << u"demo"_s << u"10.5"_s << qint64(660) << u"发送微信提醒结果：ok"_s;
    QTest::newRow("an interval that is no number is 0")
        << u"1"_s << u"demo"_s << u"abc"_s << qint64(60) << u"发送微信提醒结果：ok"_s;
    QTest::newRow("2000 minutes, 560 after a start: held")
        << u"1"_s << u"demo"_s << u"2000"_s << qint64((1440 + 560) * 60)
        << u"发送微信提醒结果：间隔时间未到"_s;
    QTest::newRow("2000 minutes, 561 after a start: sent")
        << u"1"_s << u"demo"_s << u"2000"_s << qint64((1440 + 561) * 60)
        << u"发送微信提醒结果：ok"_s;
}

void TstPushAlerts::gate() {
    QFETCH(QString, open);
    QFETCH(QString, id);
    QFETCH(QString, cycle);
    QFETCH(qint64, secondsSinceLastPush);
    QFETCH(QString, logLine);
    Rig rig;
    rig.configure(open, id, cycle);
    QDateTime lastPush = kStart.addSecs(-secondsSinceLastPush);
    const QDateTime before = lastPush;
    rig.push.pushSpecialFares(kTwoFares, lastPush);
    QCOMPARE(rig.log.lines().size(), 1);
    QCOMPARE(rig.lastLog(), logLine);
    const bool sent = logLine.endsWith(u"ok");
    QCOMPARE(rig.relay.requests().size(), sent ? 1 : 0);
    QCOMPARE(lastPush, sent ? kStart : before);
}

void TstPushAlerts::reply_isTrimmedAndCustomerBlockExplained_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("spaces around ok") << QByteArray(" ok\xE3\x80\x80") << u"发送微信提醒结果：ok"_s;
    QTest::newRow("customer block")
        << QByteArray("customer block")
        << u"发送微信提醒结果：已失效，请发送 开启提醒 至公众号 翔云旅行 进行重新激活"_s;
    QTest::newRow("customer block with a space is shown as it is")
        << QByteArray("customer  block") << u"发送微信提醒结果：customer  block"_s;
    QTest::newRow("any other text")
        << QByteArray("\xE5\xA4\xB1\xE8\xB4\xA5") << u"发送微信提醒结果：失败"_s;
}

void TstPushAlerts::reply_isTrimmedAndCustomerBlockExplained() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, logLine);
    Rig rig;
    rig.configure(u"1"_s, u"demo"_s, u"10"_s);
    rig.reply = reply;
    QDateTime lastPush = kStart.addDays(-1);
    rig.push.pushSpecialFares(kTwoFares, lastPush);
    QCOMPARE(rig.lastLog(), logLine);
    QCOMPARE(lastPush, kStart);
}

void TstPushAlerts::push_sendsTheBodyBytesAsTheyAre() {
    Rig rig;
    rig.configure(u"1"_s, u"o123 456"_s, u"10"_s); // an id from a hand-edited file goes as it is
    QDateTime lastPush = kStart.addDays(-1);
    rig.push.pushSpecialFares(kTwoFares, lastPush);
    const QByteArray body = "fakeid=o123 456&content=" + pushText(kTwoFares).toUtf8();
    QCOMPARE(rig.relay.requests().size(), 1);
    QVERIFY(rig.relay.requests().first().startsWith("POST /weixin/sendmsg.php HTTP/1.1\r\n"));
    const QByteArray tail =
        "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    QVERIFY(rig.relay.requests().first().endsWith(tail));

    // The relay unreachable: an empty reply, and the time still counts as a push.
    rig.session.setEndpoints(Endpoints::forDemo(u"http://127.0.0.1:1"_s));
    lastPush = kStart.addDays(-1);
    rig.push.pushSpecialFares(kTwoFares, lastPush);
    QCOMPARE(rig.lastLog(), u"发送微信提醒结果："_s);
    QCOMPARE(lastPush, kStart);
}

void TstPushAlerts::save_data() {
    QTest::addColumn<QString>("idBox");
    QTest::addColumn<QString>("intervalBox");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("intervalAfter");
    QTest::addColumn<QString>("storedId");
    QTest::addColumn<QString>("storedCycle");
    QTest::newRow("blanks are removed")
        << u" 12 34\u3000"_s << u" 15 "_s << QString() << u" 15 "_s << u"1234"_s << u"15"_s;
    QTest::newRow("the interval is read before its blanks go")
        << u"id"_s << u"1 5"_s << u"间隔时间必须大于等于10，请重新输入！"_s << u"10"_s << u"old"_s
        << u"30"_s;
    QTest::newRow("10.5 is kept as typed")
        << u"id"_s << u"10.5"_s << QString() << u"10.5"_s << u"id"_s << u"10.5"_s;
    QTest::newRow("10 is enough") << u"id"_s << u"10"_s << QString() << u"10"_s << u"id"_s
                                  << u"10"_s;
    QTest::newRow("9 is refused") << u"id"_s << u"9"_s << u"间隔时间必须大于等于10，请重新输入！"_s
                                  << u"10"_s << u"old"_s << u"30"_s;
    QTest::newRow("abc reads as 0")
        << u"id"_s << u"abc"_s << u"间隔时间必须大于等于10，请重新输入！"_s << u"10"_s << u"old"_s
        << u"30"_s;
    QTest::newRow("an empty id") << u" \u3000"_s << u"15"_s << u"绑定ID不能为空，请重新输入！"_s
                                 << u"15"_s << u"old"_s << u"30"_s;
    QTest::newRow("an id that cannot be stored")
        << u"id😀"_s << u"15"_s << u"绑定ID或间隔时间含有无法保存的字符，请重新输入！"_s << u"15"_s
        << u"old"_s << u"30"_s;
}

void TstPushAlerts::save() {
    QFETCH(QString, idBox);
    QFETCH(QString, intervalBox);
    QFETCH(QString, message);
    QFETCH(QString, intervalAfter);
    QFETCH(QString, storedId);
    QFETCH(QString, storedCycle);
    Rig rig;
    rig.configure(QString(), u"old"_s, u"30"_s);
    QCOMPARE(rig.pushSettings.loadPushSettings(), (PushSettingsTexts{u"old"_s, u"30"_s}));
    const auto result = rig.pushSettings.savePushSettings({idBox, intervalBox});
    QCOMPARE(result.boxes.interval, intervalAfter);
    QCOMPARE(result.saved, message.isEmpty());
    QCOMPARE(rig.frontEnd.calls,
             message.isEmpty() ? QStringList() : QStringList{u"message: "_s + message});
    QCOMPARE(rig.settings.pushId(), storedId);
    QCOMPARE(rig.settings.pushCycle(), storedCycle);
}

void TstPushAlerts::testPush_usesTheEditBoxAndIgnoresTheReply() {
    Rig rig;
    rig.reply = "customer block";
    QSignalSpy button(&rig.pushSettings, &PushSettingsLogic::testButtonEnabledChanged);
    rig.pushSettings.sendTestPush(u" 99 9 "_s);
    QCOMPARE(rig.frontEnd.calls,
             QStringList{u"message: 翔云旅行将发送一条微信消息给您，请注意查看！"_s});
    QCOMPARE(rig.relay.requests().size(), 1);
    const QByteArray body = "fakeid=999&content=" + u"测试成功！可以开启微信提醒功能！"_s.toUtf8();
    QVERIFY(rig.relay.requests().first().endsWith(body));
    QCOMPARE(button.size(), 2);
    QCOMPARE(button[0][0].toBool(), false);
    QCOMPARE(button[1][0].toBool(), true);
    QVERIFY(rig.log.lines().isEmpty());
}

void TstPushAlerts::toggle_data() {
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("open");
    QTest::newRow("on without settings")
        << true << QString()
        << QStringList{u"message: 您还未进行微信设置，请在下面的窗口中进行设置！"_s,
                       u"push settings"_s}
        << u"1"_s;
    QTest::newRow("on with settings")
        << true << u"demo"_s
        << QStringList{u"message: 您已开启微信提醒功能，若您无法收到翔云旅行发送的微信消息时，请您主动发送（开启提醒）至微信公众号（翔云旅行）验证设置是否正确！"_s}
        << u"1"_s;
    QTest::newRow("off")
        << false << u"demo"_s
        << QStringList{u"message: 您已关闭微信提醒功能！您可以在菜单中选择（微信设置）进行重新设置！"_s}
        << u"0"_s;
}

void TstPushAlerts::toggle() {
    QFETCH(bool, checked);
    QFETCH(QString, id);
    QFETCH(QStringList, calls);
    QFETCH(QString, open);
    Rig rig;
    if (!id.isEmpty()) {
        rig.configure(QString(), id, u"10"_s);
    }
    QCOMPARE(rig.pushSettings.togglePushAlerts(checked), checked);
    QCOMPARE(rig.frontEnd.calls, calls);
    QCOMPARE(rig.settings.pushEnabled(), open == u"1");
    QCOMPARE(rig.monitor.stopRequested(), calls.contains(u"push settings"_s));
    QVERIFY(rig.relay.requests().isEmpty());
}

QTEST_GUILESS_MAIN(TstPushAlerts)
#include "tst_pushalerts.moc"
