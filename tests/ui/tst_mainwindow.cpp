#include "app/MonitorRules.h"
#include "app/StartUp.h"
#include "common/DesktopRig.h"
#include "common/Disks.h"
#include "common/Files.h"
#include "sim/DemoServer.h"
#include "store/FileLock.h"
#include "ui/AlertSound.h"
#include "ui/AlertWindow.h"
#include "ui/Desktop.h"
#include "ui/Faces.h"
#include "ui/LinedLabel.h"
#include "ui/MainWindow.h"
#include "ui/ProgramStyle.h"
#include "ui/RepaintPacer.h"
#include "ui/SkinFrame.h"
#include "ui/WindowOps.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace skylark;
using namespace skylark::ui;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

using Rig = DesktopRig;

} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls_matchTheLayout_data();
    void controls_matchTheLayout();
    void startUp_setsTheBoxesGreetsAndLoadsTheRoutes();
    void startUp_showsTheWindowWhileTheUpdateServerIsSilent();
    void statusLog_isScrolledToItsLastLineOnceShown();
    void repaintPacer_drawsABurstOfChangesOnce();
    void alertWindow_stillUpShowsTheNextRoundsFares();
    void addAndDelete_throughTheWindow();
    void round_highlightsTheSpecialFareInTheView();
    void stateLine_saysWhatTheMonitorDoes();
    void staleRoute_saysSoInItsStatusTooltip();
    void pushSettings_openRefuseSaveAndTest();
    void trayEvents_showTheWindowOrPopUpTheMenu_data();
    void trayEvents_showTheWindowOrPopUpTheMenu();
    void exitQuestion_cancelKeepsEverything_data();
    void exitQuestion_cancelKeepsEverything();
    void closeButton_keepsTheProgramRunning();
    void tipWindow_countsDownAndCloses();
    void alertSound_isBuiltInAndNeverFails();
    void pictures_areBuiltInAtTheirSizes_data();
    void pictures_areBuiltInAtTheirSizes();
    void alertWindow_fadesOutOrClosesAtOnce_data();
    void alertWindow_fadesOutOrClosesAtOnce();
    void start_whileAnotherMonitorHoldsTheDirectory_isRefusedInABox();
    void readOnlyDataDirectory_startsShowsTheRoutesAndSaysSoOnce();
    void skinWindow_blocksTheMainWindowAlone();
    void exitQuestion_buttonsAreChinese();
    void lists_areBlackOnWhite();
    void datePicker_calendarIsReadableAndWhole();
    void faces_holdOnceTheDesktopHasStarted();
    void enterInARouteBox_pressesAdd_data();
    void enterInARouteBox_pressesAdd();
    void everyControl_hasAnAccessibleName();
    void clientSize_leavesTheFrameItsPart_data();
    void clientSize_leavesTheFrameItsPart();
    void framedWindows_haveTheirOuterSizes();
    void redCaptions_readOnTheirGround();
    void selectedRow_andSpecialRow_lookDifferent();
    void pushInstructions_showToTheLastStep();
};

void TstMainWindow::controls_matchTheLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("page"); // -1: on the window itself
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    const auto row = [](const QString& name, const char* kind, int page, QRect geometry,
                        const QString& caption = {}) {
        QTest::newRow(name.toUtf8().constData())
            << name << QString::fromLatin1(kind) << page << geometry << caption;
    };
    row(u"选择夹1"_s, "QTabWidget", -1, {0, 104, 1040, 440});
    row(u"互联网浏览器1"_s, "QWidget", 0, {10, 16, 1020, 380});
    row(u"透明标签6"_s, "QLabel", 0, {10, 400, 654, 16},
        u"提示：监控过程中请不要操作此页面，否则可能会影响查询结果！"_s);
    row(u"透明标签1"_s, "QLabel", 1, {10, 16, 70, 24}, u"出发城市："_s);
    row(u"透明标签2"_s, "QLabel", 1, {10, 42, 70, 24}, u"到达城市："_s);
    row(u"编辑框_出发城市"_s, "QLineEdit", 1, {83, 16, 96, 24}, u"成都"_s);
    row(u"编辑框_到达城市"_s, "QLineEdit", 1, {83, 42, 96, 24}, u"上海"_s);
    row(u"透明标签3"_s, "QLabel", 1, {194, 16, 70, 24}, u"出发日期："_s);
    row(u"透明标签4"_s, "QLabel", 1, {192, 42, 70, 24}, u"监控价格："_s);
    row(u"日期框_出发日期"_s, "QDateEdit", 1, {268, 16, 144, 24});
    row(u"编辑框_监控价格"_s, "QLineEdit", 1, {268, 42, 63, 24}, u"500"_s);
    row(u"按钮_增加航线"_s, "QPushButton", 1, {341, 42, 71, 24}, u"增 加"_s);
    row(u"按钮_开始"_s, "QPushButton", 1, {471, 16, 105, 50}, u"开 始"_s);
    row(u"按钮_停止"_s, "QPushButton", 1, {584, 16, 105, 50}, u"停 止"_s);
    row(u"超级列表框_监控列表"_s, "QTableView", 1, {10, 72, 678, 324});
    row(u"互联网浏览器_票价趋势"_s, "QWidget", 1, {692, 16, 338, 400});
    row(u"透明标签5"_s, "QLabel", 1, {10, 400, 558, 16},
        u"提示：右键点击监控列表上的航线可以删除该航线,或打开浏览器跳转到官网搜索该航线！"_s);
    row(u"选择框_开启微信提醒"_s, "QCheckBox", 1, {536, 401, 16, 16}, QString());
    row(u"透明标签9"_s, "QLabel", 1, {555, 400, 47, 16}, u"微信提醒"_s);
    row(u"选择框_禁止弹窗"_s, "QCheckBox", 1, {621, 401, 16, 16}, QString());
    row(u"透明标签7"_s, "QLabel", 1, {640, 400, 47, 16}, u"禁止弹窗"_s);
    row(u"列表框_状态信息"_s, "QListView", 2, {10, 16, 1020, 400});
}

void TstMainWindow::controls_matchTheLayout() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(int, page);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    Rig rig;
    MainWindow& window = rig.desktop->window();
    QCOMPARE(window.size(), QSize(1040, 551));
    QWidget* control = window.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
    auto* tabs = window.findChild<QTabWidget*>(u"选择夹1"_s);
    QCOMPARE(tabs->currentIndex(), 1);
    QWidget* origin = page < 0 ? static_cast<QWidget*>(&window) : tabs;
    if (page >= 0) {
        QCOMPARE(control->parentWidget(), tabs->widget(page));
    }
    QCOMPARE(QRect(control->mapTo(origin, QPoint(0, 0)), control->size()), geometry);
    if (const auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), caption);
    } else if (const auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(button->text(), caption);
    } else if (const auto* edit = qobject_cast<QLineEdit*>(control)) {
        QCOMPARE(edit->text(), caption);
    }
    if (name == u"日期框_出发日期") {
        QCOMPARE(qobject_cast<QDateEdit*>(control)->date(), QDate::currentDate());
    }
    if (name == u"超级列表框_监控列表") {
        const QAbstractItemModel* model = qobject_cast<QTableView*>(control)->model();
        QStringList captions;
        for (int column = 0; column < model->columnCount(); ++column) {
            captions.append(model->headerData(column, Qt::Horizontal).toString());
        }
        QCOMPARE(captions, (QStringList{u"ID"_s, u"出发城市"_s, u"到达城市"_s, u"出发日期"_s,
                                        u"监控价格"_s, u"当前最低"_s, u"更新时间"_s, u"状态"_s}));
    }
}

void TstMainWindow::startUp_setsTheBoxesGreetsAndLoadsTheRoutes() {
    Rig rig("[nowindow]\r\nselect=1\r\n[weixin]\r\nOPEN=0\r\n");
    QVERIFY(rig.control<QCheckBox>(u"选择框_禁止弹窗"_s)->isChecked());
    QVERIFY(!rig.control<QCheckBox>(u"选择框_开启微信提醒"_s)->isChecked());
    QCOMPARE(rig.desktop->window().windowTitle(), u" 鸿雁票讯(翔云旅行) 国际版"_s);
    const QStringList texts = rig.logTexts();
    QCOMPARE(texts.size(), 6);
    QVERIFY(texts[0].startsWith(u"欢迎您使用本软件"));
    QCOMPARE(texts[5], u"已读取上次保存的监控航线！"_s);
    QTRY_VERIFY(rig.desktop->frame().settings().secondLine.startsWith(u"  版本：2.2 ("));
    // The log view shows the log with its last line current.
    auto* view = rig.control<QListView>(u"列表框_状态信息"_s);
    QCOMPARE(view->model()->rowCount(), 6);
    QCOMPARE(view->currentIndex().row(), 5);
    // The red captions beside the check boxes do not toggle them.
    QTest::mouseClick(rig.control<QLabel>(u"透明标签7"_s), Qt::LeftButton);
    QVERIFY(rig.control<QCheckBox>(u"选择框_禁止弹窗"_s)->isChecked());
}

// An update server that takes the connection and never answers holds nothing back: the
// window is up with the program's version, and the check's outcome follows in its time.
void TstMainWindow::startUp_showsTheWindowWhileTheUpdateServerIsSilent() {
    QTcpServer silent; // never reads what it is sent
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    sim::DemoServer server;
    QVERIFY(server.start());
    Endpoints endpoints = Endpoints::forDemo(server.baseUrl());
    endpoints.updateBase = u"http://127.0.0.1:%1"_s.arg(silent.serverPort());
    QTemporaryDir dir;
    ui::WindowOps ops;
    ui::Desktop desktop(dir.path(), endpoints, ops, u"    演示数据"_s, MonitorTiming{10, 60000});
    desktop.setStartPagesDelayMs(0);
    desktop.setVersionCheckSeconds(1);
    desktop.start();
    QVERIFY(desktop.window().isVisible());
    QCOMPARE(desktop.frame().settings().secondLine, u"  版本：2.2    演示数据"_s);
    QTRY_VERIFY(silent.hasPendingConnections()); // the check is waiting on it
    QTRY_COMPARE(desktop.frame().settings().secondLine,
                 u"  版本：2.2 (获取服务器版本信息失败)    演示数据"_s);
}

// Lines that come while the log page is hidden are current at once and in sight as soon
// as the page is shown.
void TstMainWindow::statusLog_isScrolledToItsLastLineOnceShown() {
    Rig rig;
    auto* view = rig.control<QListView>(u"列表框_状态信息"_s);
    QVERIFY(!view->isVisible());
    for (int i = 0; i < 500; ++i) {
        rig.desktop->log().appendLog(QString::number(i));
    }
    const QModelIndex last = view->model()->index(view->model()->rowCount() - 1, 0);
    QCOMPARE(view->currentIndex(), last);
    rig.desktop->window().pages().setCurrentIndex(2);
    QVERIFY(view->isVisible());
    QTRY_VERIFY(view->viewport()->rect().contains(view->visualRect(last)));
    for (int i = 0; i < 100; ++i) { // and it keeps following while shown
        rig.desktop->log().appendLog(QString::number(i));
    }
    const QModelIndex newest = view->model()->index(view->model()->rowCount() - 1, 0);
    QCOMPARE(view->currentIndex(), newest);
    QTRY_VERIFY(view->viewport()->rect().contains(view->visualRect(newest)));
}

// A change after a pause is drawn at once; the changes that follow within the interval
// wait for its end and are drawn together.
void TstMainWindow::repaintPacer_drawsABurstOfChangesOnce() {
    QWidget window;
    window.resize(200, 100);
    ui::RepaintPacer pacer(window, 1000);
    int paints = 0;
    struct PaintCounter : QObject {
        int& count;
        explicit PaintCounter(int& c)
            : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    window.installEventFilter(&counter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(paints > 0); // the exposure's, which the pacer lets be
    const int before = paints;
    window.update();
    QTRY_COMPARE(paints, before + 1); // at once
    for (int i = 0; i < 20; ++i) {
        window.update();
        QCoreApplication::processEvents();
    }
    QCOMPARE(paints, before + 1);                        // held
    QTRY_COMPARE_WITH_TIMEOUT(paints, before + 2, 3000); // drawn together
}

// The alert window still up when the next round alerts shows that round's fares, opaque
// again with its countdown started over; once closed, the next alert gets a window anew.
void TstMainWindow::alertWindow_stillUpShowsTheNextRoundsFares() {
    Rig rig;
    rig.server.setFixedFare(u"成都"_s, u"上海"_s, 300);
    rig.server.setFixedFare(u"北京"_s, u"东京"_s, 300);
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.desktop->monitor().runRound();
    const QPointer<AlertWindow> first = rig.desktop->frontEnd().alertWindow();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), u" 特价机票提醒   共发现 1 条信息"_s);
    first->setWindowOpacity(0.5); // as if fading out
    rig.add(u"北京"_s, u"东京"_s, u"500"_s);
    rig.desktop->monitor().runRound();
    QCOMPARE(rig.desktop->frontEnd().alertWindow(), first.data());
    QCOMPARE(first->windowTitle(), u" 特价机票提醒   共发现 2 条信息"_s);
    QCOMPARE(first->windowOpacity(), 1.0);
    first->close();
    QTRY_VERIFY(!first);
    rig.desktop->monitor().runRound();
    QVERIFY(rig.desktop->frontEnd().alertWindow());
    QCOMPARE(rig.desktop->frontEnd().alertWindow()->windowTitle(),
             u" 特价机票提醒   共发现 2 条信息"_s);
}

void TstMainWindow::addAndDelete_throughTheWindow() {
    Rig rig;
    rig.add(u"成都"_s, u"上海"_s, u"0"_s);
    QCOMPARE(rig.messages, QStringList{u"监控价格不能小于或等于0！"_s});
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.add(u"北京"_s, u"东京"_s, u"900"_s);
    auto* list = rig.control<QTableView>(u"超级列表框_监控列表"_s);
    QCOMPARE(list->model()->rowCount(), 2);
    QCOMPARE(rig.desktop->book().routes().size(), 2);

    // The route menu without a selected row deletes nothing.
    QMenu& menu = rig.desktop->window().routeMenu();
    QCOMPARE(menu.actions().size(), 2);
    menu.actions()[1]->trigger();
    QCOMPARE(list->model()->rowCount(), 2);
    list->selectRow(1);
    QCOMPARE(rig.desktop->window().selectedRow(), 1);
    menu.actions()[1]->trigger();
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(rig.desktop->book().routes().first().depCityName, u"成都"_s);
}

void TstMainWindow::stateLine_saysWhatTheMonitorDoes() {
    Rig rig;
    rig.server.setFixedFare(u"成都"_s, u"上海"_s, 300);
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.add(u"北京"_s, u"东京"_s, u"100"_s);
    const QString id = rig.desktop->routes().cell(1, RouteListModel::IdColumn);
    QCOMPARE(rig.desktop->frame().statusText(), u"监控未开启"_s);
    QString duringTheRound;
    QObject::connect(&rig.desktop->log(), &StatusLog::lineAppended, [&](int, const QString& line) {
        if (line.endsWith(u"正在搜索航线："_s + id)) {
            duringTheRound = rig.desktop->frame().statusText();
        }
    });
    QSignalSpy rounds(&rig.desktop->monitor(), &Monitor::roundFinished);
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_开始"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() == 1, 20000);
    QCOMPARE(duringTheRound, u"第 1 轮：正在搜索 2/2（%1）"_s.arg(id));
    const QString waiting = rig.desktop->frame().statusText();
    // Two routes: the next round two minutes on, counted down by the second.
    const QRegularExpression line(
        u"^下一轮 \\d\\d:\\d\\d:\\d\\d（还有 (2:00|1:\\d\\d)） · 上一轮 \\d+\\.\\d 秒：找到 2，特价 1，未找到 0$"_s);
    QVERIFY2(line.match(waiting).hasMatch(), qPrintable(waiting));
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_停止"_s), Qt::LeftButton);
    QVERIFY(rig.desktop->frame().statusText().startsWith(u"监控未开启 · 上一轮 "_s));
}

void TstMainWindow::staleRoute_saysSoInItsStatusTooltip() {
    Rig rig;
    RulesBook rules(rig.dir.path());
    QVERIFY(rules.set(u"watchdog"_s, u"on"_s));
    QVERIFY(rules.set(u"stale-rounds"_s, u"1"_s));
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.server.setMisbehaviour(sim::Endpoint::Calendar, sim::Misbehaviour::NotFound);
    const QString id = rig.desktop->routes().cell(0, RouteListModel::IdColumn);
    QSignalSpy rounds(&rig.desktop->monitor(), &Monitor::roundFinished);
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_开始"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() == 1, 20000);
    const QAbstractItemModel* model = rig.control<QTableView>(u"超级列表框_监控列表"_s)->model();
    const QString said =
        u"航线 %1 已连续 1 轮未找到：%2"_s.arg(id, fareOutcomeText(FareOutcome::HttpStatus));
    QCOMPARE(model->index(0, RouteListModel::StatusColumn).data(Qt::ToolTipRole).toString(), said);
    QVERIFY(rig.logTexts().contains(said));
    QVERIFY2(rig.desktop->frame().statusText().endsWith(u"，长期未找到 1"_s),
             qPrintable(rig.desktop->frame().statusText()));
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_停止"_s), Qt::LeftButton);
}

void TstMainWindow::round_highlightsTheSpecialFareInTheView() {
    Rig rig;
    rig.server.setFixedFare(u"成都"_s, u"上海"_s, 300);
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.add(u"北京"_s, u"东京"_s, u"100"_s);
    QSignalSpy rounds(&rig.desktop->monitor(), &Monitor::roundFinished);
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_开始"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() == 1, 20000);
    QVERIFY(!rig.control<QAbstractButton>(u"按钮_开始"_s)->isEnabled());
    QVERIFY(!rig.control<QAbstractButton>(u"按钮_增加航线"_s)->isEnabled());
    const QAbstractItemModel* model = rig.control<QTableView>(u"超级列表框_监控列表"_s)->model();
    QCOMPARE(model->index(0, 7).data().toString(), u"有特价票！"_s);
    QCOMPARE(model->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
             QColor(0, 160, 255));
    QVERIFY(!model->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color().isValid() ||
            model->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color() !=
                QColor(0, 160, 255));

    // The alert: its count, the first fare, the bottom-right corner of the screen.
    AlertWindow* alert = rig.desktop->frontEnd().alertWindow();
    QVERIFY(alert);
    QCOMPARE(alert->windowTitle(), u" 特价机票提醒   共发现 1 条信息"_s);
    QCOMPARE(alert->findChild<QLabel*>(u"透明标签_出发城市"_s)->text(), u"成都"_s);
    QCOMPARE(alert->findChild<QLabel*>(u"透明标签_当前最低"_s)->text(),
             model->index(0, 5).data().toString());
    QVERIFY(alert->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(alert->windowFlags() & Qt::Tool); // no taskbar entry
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(alert->frameGeometry().bottomRight(), area.bottomRight());
    // The hot area brings the hidden main window back, centred.
    rig.desktop->window().hide();
    QLabel* hotArea = alert->findChild<QLabel*>(u"透明标签_打开界面"_s);
    QCOMPARE(hotArea->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(hotArea, Qt::LeftButton);
    QVERIFY(rig.desktop->window().isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(rig.desktop->window().pos(),
             QPoint((screen.width() - 1040) / 2, (screen.height() - 551) / 2));

    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_停止"_s), Qt::LeftButton);
    QVERIFY(rig.control<QAbstractButton>(u"按钮_开始"_s)->isEnabled());
}

void TstMainWindow::pushSettings_openRefuseSaveAndTest() {
    Rig rig;
    // Ticking the box without settings opens the window.
    QTest::mouseClick(rig.control<QCheckBox>(u"选择框_开启微信提醒"_s), Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList{u"您还未进行微信设置，请在下面的窗口中进行设置！"_s});
    PushSettingsWindow* window = rig.desktop->frontEnd().pushSettingsWindow();
    QVERIFY(window);
    QVERIFY(!window->parentWidget());
    QCOMPARE(window->frameGeometry().size(), QSize(328, 366)); // the frame included
    auto* id = window->findChild<QLineEdit*>(u"编辑框_绑定ID"_s);
    auto* interval = window->findChild<QLineEdit*>(u"编辑框_提醒间隔时间"_s);
    QCOMPARE(id->text(), QString()); // loaded from the empty settings
    auto* save = window->findChild<QAbstractButton*>(u"按钮_保存"_s);

    rig.messages.clear();
    QTest::mouseClick(save, Qt::LeftButton);
    id->setText(u" de mo "_s);
    interval->setText(u"9"_s);
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(rig.messages, (QStringList{u"绑定ID不能为空，请重新输入！"_s,
                                        u"间隔时间必须大于等于10，请重新输入！"_s}));
    QCOMPARE(interval->text(), u"10"_s);
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(readBytes(rig.dir.filePath(u"config.ini"_s)).contains("ID=demo\r\nCYCLE=10\r\n"));

    // The test push reaches the demo relay; its button is disabled meanwhile.
    auto* test = window->findChild<QAbstractButton*>(u"按钮_微信测试"_s);
    bool disabledDuringTest = false;
    rig.ops.setAnswerer([&](const QString& text) {
        disabledDuringTest = !test->isEnabled();
        rig.messages.append(text);
        return int(WindowOps::Ok);
    });
    QTest::mouseClick(test, Qt::LeftButton);
    QVERIFY(disabledDuringTest);
    QVERIFY(test->isEnabled());
    QCOMPARE(rig.server.inbox().size(), 1);
    QCOMPARE(rig.server.inbox().first().bindingId, u"demo"_s);
}

void TstMainWindow::trayEvents_showTheWindowOrPopUpTheMenu_data() {
    QTest::addColumn<int>("event");
    QTest::addColumn<bool>("visibleBefore");
    QTest::addColumn<bool>("visibleAfter");
    QTest::addColumn<QString>("showHideCaption"); // empty: no menu
    QTest::newRow("1 shows the hidden window") << 1 << false << true << QString();
    QTest::newRow("2 shows the hidden window") << 2 << false << true << QString();
    QTest::newRow("3 on a hidden window offers to show it") << 3 << false << false << u"显示界面"_s;
    QTest::newRow("3 on a visible window offers to hide it") << 3 << true << true << u"隐藏界面"_s;
    QTest::newRow("other events are ignored") << 7 << false << false << QString();
}

void TstMainWindow::trayEvents_showTheWindowOrPopUpTheMenu() {
    QFETCH(int, event);
    QFETCH(bool, visibleBefore);
    QFETCH(bool, visibleAfter);
    QFETCH(QString, showHideCaption);
    Rig rig;
    MainWindow& window = rig.desktop->window();
    window.setVisible(visibleBefore);
    Tray& tray = rig.desktop->tray();
    QCOMPARE(tray.icon().toolTip(), u" 鸿雁票讯(翔云旅行) 国际版"_s);
    QStringList items;
    for (const QAction* action : tray.mainMenu().actions()) {
        items.append(action->text());
    }
    // The channels' item comes after the five of the Part and before the exit.
    QCOMPARE(items, (QStringList{u"论坛主页"_s, u"显示界面"_s, u"微信设置"_s, u"问题反馈"_s,
                                 u"邮件反馈"_s, u"提醒方式"_s, u"退出软件"_s}));
    tray.onTrayEvent(event);
    QCOMPARE(window.isVisible(), visibleAfter);
    QCOMPARE(tray.mainMenu().isVisible(), !showHideCaption.isEmpty());
    if (!showHideCaption.isEmpty()) {
        QVERIFY(tray.showHideItem().isVisible());
        QCOMPARE(tray.showHideItem().text(), showHideCaption);
        tray.mainMenu().hide();
        tray.showHideItem().trigger(); // the item does what its caption says
        QCOMPARE(window.isVisible(), !visibleBefore);
    }
    // The title bar's menu button pops the menu up without the item.
    tray.popUpMainMenu(false);
    QVERIFY(!tray.showHideItem().isVisible());
    tray.mainMenu().hide();
}

void TstMainWindow::exitQuestion_cancelKeepsEverything_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Cancel") << int(WindowOps::Cancel);
    QTest::newRow("OK") << int(WindowOps::Ok);
}

void TstMainWindow::exitQuestion_cancelKeepsEverything() {
    QFETCH(int, answer);
    Rig rig;
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    QString question;
    rig.ops.setAnswerer([&](const QString& text) {
        question = text;
        return answer;
    });
    bool quit = false;
    rig.desktop->setQuit([&] { quit = true; });
    MainWindow& window = rig.desktop->window();
    window.hide();
    const bool exiting = rig.desktop->exitProgram();
    QCOMPARE(question, u"是否关闭 鸿雁票讯(翔云旅行) 国际版 ?"_s);
    QCOMPARE(exiting, answer == WindowOps::Ok);
    QCOMPARE(quit, answer == WindowOps::Ok);
    QVERIFY(!window.isVisible()); // hidden as it was, or closed for good
    QCOMPARE(rig.desktop->routes().rowCount(), 1);
}

void TstMainWindow::tipWindow_countsDownAndCloses() {
    Rig rig({}, 20);
    QWidget* tip = rig.desktop->tipWindow();
    QVERIFY(tip);
    QCOMPARE(tip->parentWidget(), &rig.desktop->window());
    QCOMPARE(tip->frameGeometry().size(), QSize(396, 195)); // the frame included
    QCOMPARE(tip->windowTitle(), u"操作提示（5 秒后自动关闭...）"_s);
    QStringList captions;
    connect(tip, &QWidget::windowTitleChanged,
            [&](const QString& title) { captions.append(title); });
    QSignalSpy destroyed(tip, &QObject::destroyed);
    QVERIFY(destroyed.wait(10000));
    QCOMPARE(captions,
             (QStringList{u"操作提示（4 秒后自动关闭...）"_s, u"操作提示（3 秒后自动关闭...）"_s,
                          u"操作提示（2 秒后自动关闭...）"_s, u"操作提示（1 秒后自动关闭...）"_s,
                          u"操作提示（0 秒后自动关闭...）"_s}));
}

void TstMainWindow::alertSound_isBuiltInAndNeverFails() {
    QFile chime(QUrl(QString::fromLatin1(AlertSound::kSource)).path().prepend(u':'));
    QVERIFY(chime.open(QIODevice::ReadOnly));
    const QByteArray wav = chime.readAll();
    QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE");
    QVERIFY(wav.size() > 10000);
    AlertSound sound; // without an audio output it stays silent
    sound.play();
}

void TstMainWindow::pictures_areBuiltInAtTheirSizes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("first skin") << u"01.jpg"_s << QSize(1040, 551);
    QTest::newRow("add-skin placeholder") << u"add-skin.jpg"_s << QSize(800, 557);
    QTest::newRow("operation tip") << u"tip.jpg"_s << QSize(396, 168);
    QTest::newRow("QR code") << u"qrcode.jpg"_s << QSize(430, 430);
    QTest::newRow("navigation icon: home") << u"nav-home.png"_s << QSize(76, 51);
    QTest::newRow("navigation icon: monitor") << u"nav-monitor.png"_s << QSize(76, 51);
    QTest::newRow("navigation icon: log") << u"nav-log.png"_s << QSize(76, 51);
    QTest::newRow("navigation background") << u"nav-back.png"_s << QSize(76, 71);
    QTest::newRow("navigation background, selected") << u"nav-back-selected.png"_s << QSize(76, 71);
}

void TstMainWindow::pictures_areBuiltInAtTheirSizes() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QCOMPARE(QImage(u":/skylark/pictures/"_s + name).size(), size);
}

void TstMainWindow::closeButton_keepsTheProgramRunning() {
    Rig rig;
    MainWindow& window = rig.desktop->window();
    QVERIFY(!window.close()); // refused: the program goes on
    // Without a notification area (offscreen has none) the window is minimized, not hidden.
    QCOMPARE(window.isVisible(), !Tray::available());
    QCOMPARE(window.isMinimized(), !Tray::available());
}

void TstMainWindow::alertWindow_fadesOutOrClosesAtOnce_data() {
    QTest::addColumn<bool>("closeButton");
    QTest::newRow("after the countdown, faded out") << false;
    QTest::newRow("by its close button") << true;
}

void TstMainWindow::alertWindow_fadesOutOrClosesAtOnce() {
    QFETCH(bool, closeButton);
    auto* alert =
        new AlertWindow({{u"成都"_s, u"上海"_s, u"2026-12-20"_s, u"300"_s, u"09:05:03"_s},
                         {u"北京"_s, u"东京"_s, u"2026-12-20"_s, u"900"_s, u"09:05:04"_s}},
                        defaultSkinPicture());
    QCOMPARE(alert->windowTitle(), u" 特价机票提醒   共发现 2 条信息"_s);
    QSignalSpy destroyed(alert, &QObject::destroyed);
    QList<double> opacities;
    QTimer watch;
    // The watch may tick once more after the window has gone, within the same wait.
    const QPointer<AlertWindow> watched(alert);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (watched) {
            opacities.append(watched->windowOpacity());
        }
    });
    alert->show();
    alert->startCountdown(closeButton ? 60000 : 50, 1);
    watch.start(5);
    if (closeButton) {
        QTest::mouseClick(SkinFrame::of(*alert)->titleButton(TitleButtonKind::Close),
                          Qt::LeftButton);
        // The click came from outside any event loop; the deletion it posted runs now.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QVERIFY(!destroyed.isEmpty() || destroyed.wait(10000));
    watch.stop();
    // Faded through ever smaller opacities on the way, or not at all.
    const bool faded =
        std::any_of(opacities.begin(), opacities.end(), [](double o) { return o > 0 && o < 1; });
    QCOMPARE(faded, !closeButton);
}

// The command line's monitor and the desktop's share one lock: whichever starts first
// monitors, the other says so.
void TstMainWindow::start_whileAnotherMonitorHoldsTheDirectory_isRefusedInABox() {
    Rig rig;
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    auto* start = rig.control<QAbstractButton>(u"按钮_开始"_s);
    const QString lockPath = rig.dir.filePath(u"monitor"_s);
    {
        const FileLock other(lockPath, 0);
        QVERIFY(other.locked());
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(rig.messages.last(), u"该数据目录已有另一个监控在运行："_s + rig.dir.path());
        QVERIFY(!rig.desktop->monitor().isMonitoring());
        QVERIFY(start->isEnabled());
    }
    QSignalSpy rounds(&rig.desktop->monitor(), &Monitor::roundFinished);
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() == 1, 20000);
    QVERIFY(rig.desktop->monitor().isMonitoring());
    QVERIFY(FileLock(lockPath, 0).heldElsewhere()); // between the rounds too
    QTest::mouseClick(rig.control<QAbstractButton>(u"按钮_停止"_s), Qt::LeftButton);
    QVERIFY(FileLock(lockPath, 0).locked());
}

void TstMainWindow::readOnlyDataDirectory_startsShowsTheRoutesAndSaysSoOnce() {
    SmallDisk disk(512);
    if (!disk.mounted()) {
        QSKIP("cannot mount a tmpfs here (needs root)");
    }
    const QByteArray routes = "[201411000]\r\ndepCityName=成都\r\narrCityName=上海\r\n"
                              "depDate=2099-11-20\r\nprice=500\r\ntype=domestic\r\n";
    writeBytes(QDir(disk.path()).filePath(u"DATA.dat"_s), routes);
    QVERIFY(disk.remountReadOnly());
    Rig rig({}, 1000, disk.path());
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].contains(u"无法写入"_s) &&
                 rig.messages[0].contains(u"Read-only file system"_s),
             qPrintable(rig.messages[0]));
    QCOMPARE(rig.control<QTableView>(u"超级列表框_监控列表"_s)->model()->rowCount(), 1);
    rig.add(u"北京"_s, u"东京"_s, u"900"_s);
    QCOMPARE(rig.messages.size(), 2); // the change fails with its own message
    QCOMPARE(readBytes(QDir(disk.path()).filePath(u"DATA.dat"_s)), routes);
}

// Modal to its owner: an alert's close button and the tray keep working meanwhile.
void TstMainWindow::skinWindow_blocksTheMainWindowAlone() {
    Rig rig;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        QVERIFY(rig.desktop->skinWindow());
        QVERIFY(QApplication::activeModalWidget() == nullptr ||
                QApplication::activeModalWidget()->windowModality() == Qt::WindowModal);
        rig.desktop->frontEnd().showAlertWindow(
            {{u"成都"_s, u"上海"_s, u"2026-12-20"_s, u"300"_s, u"09:05:03"_s}});
        QPointer<AlertWindow> alert = rig.desktop->frontEnd().alertWindow();
        QVERIFY(alert);
        QVERIFY(QTest::qWaitForWindowExposed(alert));
        QAbstractButton* close = SkinFrame::of(*alert)->titleButton(TitleButtonKind::Close);
        QTest::mouseClick(close, Qt::LeftButton);
        QTRY_VERIFY(!alert);
        rig.desktop->window().hide();
        rig.desktop->tray().onTrayEvent(2); // the tray brings the main window back
        QVERIFY(rig.desktop->window().isVisible());
        QTest::keyClick(rig.desktop->skinWindow(), Qt::Key_Escape);
        checked = true;
    });
    rig.desktop->openSkinWindow();
    QVERIFY(checked);
}

// Qt's own button texts in the program's language, whatever the machine's locale.
void TstMainWindow::exitQuestion_buttonsAreChinese() {
    QVERIFY(installQtTranslations(*qApp));
    const auto box = WindowOps::buildMessageBox(exitQuestion(), WindowOps::Buttons::OkCancel,
                                                QMessageBox::Question, u"信息："_s);
    QCOMPARE(box->button(QMessageBox::Ok)->text(), u"确定"_s);
    QCOMPARE(box->button(QMessageBox::Cancel)->text(), u"取消"_s);
}

namespace {

// The program's style sheet for the life of a test, as the program wears it.
struct ProgramStyle {
    ProgramStyle() { applyProgramStyle(*qApp); }
    ~ProgramStyle() { qApp->setStyleSheet({}); }
};

// The darkest pixel of the rectangle, and whether its ground (the top-left corner) is opaque
// white: the colours a cell is drawn in.
std::pair<QColor, QColor> inkAndGround(const QImage& shot, const QRect& cell) {
    QColor darkest = Qt::white;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            if (qGray(shot.pixel(x, y)) < qGray(darkest.rgb())) {
                darkest = shot.pixelColor(x, y);
            }
        }
    }
    return {darkest, shot.pixelColor(cell.topLeft() + QPoint(2, 2))};
}

} // namespace

// Over the skin, as the window shows them: black text on opaque white.
void TstMainWindow::lists_areBlackOnWhite() {
    const ProgramStyle style;
    Rig rig;
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    auto* list = rig.control<QTableView>(u"超级列表框_监控列表"_s);
    auto* log = rig.control<QListView>(u"列表框_状态信息"_s);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list), static_cast<QAbstractItemView*>(log)}) {
        QWidget& window = rig.desktop->window();
        rig.desktop->window().pages().setCurrentWidget(
            view == list ? rig.desktop->window().pages().widget(1)
                         : rig.desktop->window().pages().widget(2));
        const QImage shot = window.grab().toImage();
        const QPoint origin = view->viewport()->mapTo(&window, QPoint(0, 0));
        const QRect cell =
            view->visualRect(view->model()->index(0, view == list ? 1 : 0)).translated(origin);
        const auto [ink, ground] = inkAndGround(shot, cell);
        QCOMPARE(ground, QColor(Qt::white));
        QCOMPARE(ink, QColor(Qt::black));
    }
}

// The calendar pops up readable: dark digits on white, every week of the month shown.
void TstMainWindow::datePicker_calendarIsReadableAndWhole() {
    const ProgramStyle style;
    Rig rig;
    auto* date = rig.control<QDateEdit>(u"日期框_出发日期"_s);
    date->setDate(QDate(2026, 8, 1)); // a month over six weeks
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 6, date->height() / 2));
    QCalendarWidget* calendar = date->calendarWidget();
    QTRY_VERIFY(calendar->isVisible());
    auto* days = calendar->findChild<QTableView*>(u"qt_calendar_calendarview"_s);
    QVERIFY(days);
    QVERIFY(days->viewport()->height() >= days->verticalHeader()->length());
    // Its ground is opaque: a see-through pop-up shows black under X11 without compositing.
    QCOMPARE(days->viewport()->palette().color(QPalette::Base), QColor(Qt::white));
    const QImage shot = days->viewport()->grab().toImage();
    const auto [ink, ground] = inkAndGround(shot, days->visualRect(days->model()->index(3, 3)));
    QCOMPARE(ground, QColor(Qt::white));
    QCOMPARE(ink, QColor(Qt::black));
    calendar->window()->hide();
}

// Measured on the started desktop, frame and style sheet on: each control keeps its face.
void TstMainWindow::faces_holdOnceTheDesktopHasStarted() {
    const ProgramStyle style;
    Rig rig;
    QWidget& window = rig.desktop->window();
    window.ensurePolished();
    int checked = 0;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const QString face = widget->property("face").toString();
        if (face.isEmpty()) {
            continue;
        }
        widget->ensurePolished();
        const int expected = face == u"small"   ? int(FaceSize::Small)
                             : face == u"large" ? int(FaceSize::Large)
                                                : int(FaceSize::Normal);
        QVERIFY2(QFontInfo(widget->font()).pixelSize() == expected,
                 qPrintable(widget->objectName() + u" "_s +
                            QString::number(QFontInfo(widget->font()).pixelSize())));
        ++checked;
    }
    QVERIFY(checked > 10);
}

void TstMainWindow::enterInARouteBox_pressesAdd_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("departure") << u"编辑框_出发城市"_s;
    QTest::newRow("arrival") << u"编辑框_到达城市"_s;
    QTest::newRow("price") << u"编辑框_监控价格"_s;
}

void TstMainWindow::enterInARouteBox_pressesAdd() {
    QFETCH(QString, box);
    Rig rig;
    rig.control<QLineEdit>(u"编辑框_出发城市"_s)->setText(u"成都"_s);
    rig.control<QLineEdit>(u"编辑框_到达城市"_s)->setText(u"上海"_s);
    rig.control<QLineEdit>(u"编辑框_监控价格"_s)->setText(u"500"_s);
    rig.control<QDateEdit>(u"日期框_出发日期"_s)->setDate(QDate::currentDate().addDays(30));
    QTest::keyClick(rig.control<QLineEdit>(box), Qt::Key_Return);
    QCOMPARE(rig.desktop->book().routes().size(), 1);
}

// What a screen reader finds: every control of the window by a name, the frame's painted
// buttons among them.
void TstMainWindow::everyControl_hasAnAccessibleName() {
    Rig rig;
    QAccessible::setActive(true);
    QStringList unnamed;
    int named = 0;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        static const QList<QAccessible::Role> controls{
            QAccessible::PushButton, QAccessible::CheckBox,    QAccessible::EditableText,
            QAccessible::SpinBox,    QAccessible::ComboBox,    QAccessible::Table,
            QAccessible::List,       QAccessible::PageTabList, QAccessible::Button};
        if (controls.contains(node->role()) && node->object() && node->object()->isWidgetType() &&
            static_cast<QWidget*>(node->object())->isVisible()) {
            if (node->text(QAccessible::Name).trimmed().isEmpty()) {
                unnamed.append(node->object()->objectName() + u"/"_s +
                               QString::number(node->role()));
            } else {
                ++named;
            }
        }
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface* child = node->child(i)) {
                walk(child);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(&rig.desktop->window()));
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
    QVERIFY(named >= 12); // the boxes, buttons, lists, check boxes, title and page buttons
}

void TstMainWindow::clientSize_leavesTheFrameItsPart_data() {
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QSize>("client");
    QTest::newRow("no window manager") << QMargins() << QSize(396, 195);
    QTest::newRow("a title bar and borders")
        << QMargins(1, 20, 1, 1) << QSize(394, 174); // what openbox draws
}

void TstMainWindow::clientSize_leavesTheFrameItsPart() {
    QFETCH(QMargins, frame);
    QFETCH(QSize, client);
    QCOMPARE(clientSizeFor(QSize(396, 195), frame), client);
}

void TstMainWindow::framedWindows_haveTheirOuterSizes() {
    Rig rig;
    QWidget* tip = rig.desktop->tipWindow();
    QVERIFY(tip);
    QVERIFY(QTest::qWaitForWindowExposed(tip));
    QCOMPARE(tip->frameGeometry().size(), QSize(396, 195));
    rig.desktop->frontEnd().openPushSettings();
    QWidget* push = rig.desktop->frontEnd().pushSettingsWindow();
    QVERIFY(QTest::qWaitForWindowExposed(push));
    QCOMPARE(push->frameGeometry().size(), QSize(328, 366));
}

namespace {

double luminance(QColor colour) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(QColor a, QColor b) {
    const double high = qMax(luminance(a), luminance(b));
    const double low = qMin(luminance(a), luminance(b));
    return (high + 0.05) / (low + 0.05);
}

} // namespace

// The Part's red stays, on a ground it reads on (WCAG's 4.5 : 1), over the default skin.
void TstMainWindow::redCaptions_readOnTheirGround() {
    const ProgramStyle style;
    Rig rig;
    QWidget& window = rig.desktop->window();
    const QImage shot = window.grab().toImage();
    for (const QString& name : {u"透明标签9"_s, u"透明标签7"_s}) {
        auto* caption = rig.control<QLabel>(name);
        // The ground is the caption's commonest colour that is not the text's red.
        const QRect area(caption->mapTo(&window, QPoint(0, 0)), caption->size());
        QHash<QRgb, int> counts;
        for (int x = area.left() + 2; x <= area.right() - 2; ++x) {
            for (int y = area.top() + 2; y <= area.bottom() - 2; ++y) {
                const QColor pixel = shot.pixelColor(x, y);
                if (!(pixel.red() > 110 && pixel.green() < 90 && pixel.blue() < 90)) {
                    ++counts[pixel.rgb()];
                }
            }
        }
        const QColor ground(std::max_element(counts.begin(), counts.end(), [](int a, int b) {
                                return a < b;
                            }).key());
        QVERIFY2(contrast(QColor(255, 0, 0), ground) >= 4.5,
                 qPrintable(name + u" on "_s + ground.name()));
    }
}

// A selected plain row, an unselected special row and a selected special row, told apart
// at a glance.
void TstMainWindow::selectedRow_andSpecialRow_lookDifferent() {
    const ProgramStyle style;
    Rig rig;
    rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    rig.add(u"北京"_s, u"东京"_s, u"900"_s);
    for (int column = 0; column < RouteListModel::ColumnCount; ++column) {
        rig.desktop->routes().setCellColour(1, column, Monitor::kHighlightText,
                                            Monitor::kHighlightBack);
    }
    auto* list = rig.control<QTableView>(u"超级列表框_监控列表"_s);
    const auto colourOfRow = [list](int row) {
        const QImage shot = list->viewport()->grab().toImage();
        return shot.pixelColor(list->visualRect(list->model()->index(row, 7)).center());
    };
    list->selectRow(0);
    const QColor selectedPlain = colourOfRow(0);
    const QColor special = colourOfRow(1);
    list->selectRow(1);
    const QColor selectedSpecial = colourOfRow(1);
    QVERIFY2(selectedPlain != special && special != selectedSpecial &&
                 selectedPlain != selectedSpecial,
             qPrintable(selectedPlain.name() + u" "_s + special.name() + u" "_s +
                        selectedSpecial.name()));
    // The special row keeps its highlight under the selection: it is tinted, not replaced.
    QVERIFY(selectedSpecial.blue() > selectedSpecial.red() + 60);
}

// All seventeen lines of the push instructions fit in their label, the last step too.
void TstMainWindow::pushInstructions_showToTheLastStep() {
    Rig rig;
    rig.desktop->frontEnd().openPushSettings();
    QWidget* window = rig.desktop->frontEnd().pushSettingsWindow();
    auto* steps = window->findChild<LinedLabel*>(u"透明标签5"_s);
    QVERIFY(steps);
    const QTextDocument& laidOut = steps->layoutDocument();
    QCOMPARE(laidOut.blockCount(), 17);
    const QTextBlock last = laidOut.lastBlock();
    QCOMPARE(last.text(), u"6.点击保存"_s);
    const QRectF box = laidOut.documentLayout()->blockBoundingRect(last);
    QVERIFY2(box.bottom() <= steps->height(), qPrintable(QString::number(box.bottom()) + u" > "_s +
                                                         QString::number(steps->height())));
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
