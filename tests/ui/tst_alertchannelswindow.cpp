#include "app/FlexibleDaysModel.h"
#include "common/DesktopRig.h"
#include "common/PrivateBus.h"
#include "common/ScriptedServer.h"
#include "notify/DesktopChannel.h"
#include "ui/AlertChannelsWindow.h"
#include "ui/MonitorRulesPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

QLineEdit& editOf(ui::AlertChannelsWindow& window, const QString& name, const QString& key) {
    return *qobject_cast<QLineEdit*>(&window.fieldOf(name, key));
}

// Opens the window the way the user does: through the main menu's item.
ui::AlertChannelsWindow* openThroughTheMenu(DesktopRig& rig) {
    for (QAction* action : rig.desktop->tray().mainMenu().actions()) {
        if (action->text() == u"提醒方式") {
            action->trigger();
        }
    }
    return rig.desktop->alertChannelsWindow();
}

} // namespace

class TstAlertChannelsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menuItem_opensOneWindowWithoutOwner();
    void save_storesEveryChannelOrSaysWhyAndStoresNothing_data();
    void save_storesEveryChannelOrSaysWhyAndStoresNothing();
    void testButton_showsTheOutcomeInTheWindow();
    void unreadableSettings_areSaidInTheWindow();
    void rulesPage_storesTheRulesAndEachRoutesFlexibleDays();
    void notificationAction_bringsTheMainWindowBack();
};

void TstAlertChannelsWindow::menuItem_opensOneWindowWithoutOwner() {
    DesktopRig rig;
    ui::AlertChannelsWindow* window = openThroughTheMenu(rig);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"提醒方式"_s);
    QVERIFY(!window->parentWidget());
    QVERIFY(!window->isModal());
    QCOMPARE(openThroughTheMenu(rig), window);
    for (const QString& name : channelNames()) {
        QVERIFY(!window->switchOf(name).isChecked());
    }
    QVERIFY(qobject_cast<QComboBox*>(&window->fieldOf(u"email"_s, u"security"_s)));
    QCOMPARE(editOf(*window, u"email"_s, u"password"_s).echoMode(), QLineEdit::Password);
    QCOMPARE(editOf(*window, u"ntfy"_s, u"token"_s).echoMode(), QLineEdit::Password);
}

void TstAlertChannelsWindow::save_storesEveryChannelOrSaysWhyAndStoresNothing_data() {
    QTest::addColumn<QString>("webhookUrl");
    QTest::addColumn<QString>("emailTo");
    QTest::addColumn<QString>("message");
    QTest::newRow("good input is stored")
        << u"https://hooks.example.com/a"_s << u"me@example.com"_s << QString();
    QTest::newRow("a URL that is not http(s)")
        << u"mailto:me@example.com"_s << u"me@example.com"_s
        << u"Webhook的网址不是以 http:// 或 https:// 开头的网址：mailto:me@example.com"_s;
    QTest::newRow("a recipient that is not an address")
        << u"https://hooks.example.com/a"_s << u"me at example.com"_s
        << u"邮件的收件人不是电子邮件地址：me at example.com"_s;
}

void TstAlertChannelsWindow::save_storesEveryChannelOrSaysWhyAndStoresNothing() {
    QFETCH(QString, webhookUrl);
    QFETCH(QString, emailTo);
    QFETCH(QString, message);
    DesktopRig rig;
    ui::AlertChannelsWindow* window = openThroughTheMenu(rig);
    QVERIFY(window);
    window->switchOf(u"webhook"_s).setChecked(true);
    editOf(*window, u"webhook"_s, u"url"_s).setText(webhookUrl);
    editOf(*window, u"webhook"_s, u"secret"_s).setText(u"密 钥"_s);
    editOf(*window, u"email"_s, u"to"_s).setText(emailTo);
    QTest::mouseClick(&window->saveButton(), Qt::LeftButton);

    const ChannelSettings webhook = rig.desktop->channels().channel(u"webhook"_s).value;
    if (message.isEmpty()) {
        QVERIFY(rig.messages.isEmpty());
        QVERIFY(webhook.enabled);
        QCOMPARE(webhook.value(u"url"_s), webhookUrl);
        QCOMPARE(webhook.value(u"secret"_s), u"密 钥"_s);
        QCOMPARE(rig.desktop->channels().channel(u"email"_s).value.value(u"to"_s), emailTo);
    } else {
        QCOMPARE(rig.messages, QStringList{message});
        QVERIFY(!QFile::exists(rig.desktop->channels().path()));
    }
}

void TstAlertChannelsWindow::testButton_showsTheOutcomeInTheWindow() {
    ScriptedServer hook([](const QByteArray&) {
        return ScriptedServer::Answer{"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
    });
    DesktopRig rig;
    ui::AlertChannelsWindow* window = openThroughTheMenu(rig);
    QVERIFY(window);
    // Unsaved and switched off: the test sends what the fields hold.
    editOf(*window, u"ntfy"_s, u"url"_s).setText(u"ntfy.sh/topic"_s);
    QTest::mouseClick(&window->testButtonOf(u"ntfy"_s), Qt::LeftButton);
    QCOMPARE(window->outcomeOf(u"ntfy"_s).text(),
             u"ntfy的主题网址不是以 http:// 或 https:// 开头的网址：ntfy.sh/topic"_s);

    editOf(*window, u"ntfy"_s, u"url"_s).setText(hook.url(u"/topic"_s));
    QTest::mouseClick(&window->testButtonOf(u"ntfy"_s), Qt::LeftButton);
    QVERIFY(!window->testButtonOf(u"ntfy"_s).isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(window->testButtonOf(u"ntfy"_s).isEnabled(), 30000);
    QCOMPARE(window->outcomeOf(u"ntfy"_s).text(), u"发送失败：服务器返回 HTTP 状态 404"_s);
    QCOMPARE(hook.requests().size(), 2); // the attempt and its retry

    hook.setScript([](const QByteArray&) { return ScriptedServer::ok("{}"); });
    QTest::mouseClick(&window->testButtonOf(u"ntfy"_s), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(window->outcomeOf(u"ntfy"_s).text(), u"测试消息已发送"_s, 30000);
    QVERIFY(hook.requests().last().contains("鸿雁票讯：测试提醒"));
    QVERIFY(!QFile::exists(rig.desktop->channels().path()));
    QVERIFY(rig.logTexts().filter(u"ntfy"_s).isEmpty()); // a test writes no log line
}

void TstAlertChannelsWindow::unreadableSettings_areSaidInTheWindow() {
    DesktopRig rig;
    QVERIFY(makeSpecialFile(rig.desktop->channels().path(), u"fifo"_s));
    ui::AlertChannelsWindow* window = openThroughTheMenu(rig);
    QVERIFY(window);
    QVERIFY2(window->problemLine().text().startsWith(u"无法读取 "_s +
                                                     rig.desktop->channels().path() + u"："_s),
             qPrintable(window->problemLine().text()));
    QTest::mouseClick(&window->saveButton(), Qt::LeftButton);
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY(rig.messages.first().contains(rig.desktop->channels().path()));
}

void TstAlertChannelsWindow::notificationAction_bringsTheMainWindowBack() {
    PrivateBus bus;
    QVERIFY(bus.running());
    NotificationService service;
    QVERIFY(service.serveOn(bus.connect(u"notification-service"_s)));
    DesktopRig rig;
    rig.desktop->setNotificationBus(bus.connect(u"skylark"_s));
    QVERIFY(rig.desktop->channels().setEnabled(u"desktop"_s, true));
    rig.server.setFixedFare(u"成都"_s, u"上海"_s, 300);
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    QVERIFY(rig.messages.isEmpty());

    QSignalSpy finished(&rig.desktop->monitor(), &Monitor::roundFinished);
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_开始"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(service.shown.size(), 1, 30000);
    QVERIFY(service.shown.first().summary.startsWith(u"鸿雁票讯：成都→上海 "_s));
    QCOMPARE(service.shown.first().icon, u"skylark"_s);
    QTRY_VERIFY(rig.logTexts().contains(u"发送桌面通知提醒结果：已发送"_s));
    rig.desktop->monitor().stopMonitoring();

    rig.desktop->window().hide();
    service.invokeAction(41, u"default"_s);
    QTRY_VERIFY_WITH_TIMEOUT(rig.desktop->window().isVisible(), 30000);
}

void TstAlertChannelsWindow::rulesPage_storesTheRulesAndEachRoutesFlexibleDays() {
    DesktopRig rig;
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.add(u"北京"_s, u"上海"_s, u"600"_s);
    const QString second = rig.desktop->routes().cell(1, RouteListModel::IdColumn);
    ui::AlertChannelsWindow* window = openThroughTheMenu(rig);
    QVERIFY(window);
    QCOMPARE(window->pages().tabText(1), u"提醒规则"_s);
    window->pages().setCurrentIndex(1);
    ui::MonitorRulesPage& page = window->rulesPage();
    FlexibleDaysModel& table = page.flexibleDays();
    QCOMPARE(page.flexibleTable().model(), &table);
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.index(1, FlexibleDaysModel::IdColumn).data().toString(), second);
    const QModelIndex days = table.index(1, FlexibleDaysModel::DaysColumn);
    QCOMPARE(days.data(Qt::EditRole), QVariant(0));
    QVERIFY(!table.setData(days, 4, Qt::EditRole)); // 0 to 3 only

    qobject_cast<QCheckBox*>(&page.fieldOf(u"watchdog"_s))->setChecked(true);
    auto& staleRounds = *qobject_cast<QLineEdit*>(&page.fieldOf(u"stale-rounds"_s));
    staleRounds.setText(u"0"_s); // refused: nothing is stored
    QVERIFY(table.setData(days, 2, Qt::EditRole));
    QTest::mouseClick(&window->saveButton(), Qt::LeftButton);
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY(rig.messages[0].contains(u"必须是 1 到 10000 之间的整数"_s));
    const RulesBook book(rig.dir.path());
    QVERIFY(!QFile::exists(book.path()));

    staleRounds.setText(u"3"_s);
    QTest::mouseClick(&window->saveButton(), Qt::LeftButton);
    QCOMPARE(rig.messages.size(), 1);
    MonitorRules expected;
    expected.watchdog = true;
    expected.staleRounds = 3;
    expected.flexibleDays.insert(second, 2);
    QCOMPARE(book.rules().value, expected);
    // The route file holds nothing of them.
    const QByteArray routeFile = readBytes(rig.dir.filePath(u"DATA.dat"_s));
    QVERIFY(routeFile.contains(second.toLatin1()));
    QVERIFY(!routeFile.contains("flexible"));
}

QTEST_MAIN(TstAlertChannelsWindow)
#include "tst_alertchannelswindow.moc"
