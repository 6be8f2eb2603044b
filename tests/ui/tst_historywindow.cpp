#include "common/DamagedStore.h"
#include "common/DesktopRig.h"
#include "common/FakeClock.h"
#include "sim/DemoServer.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/WindowOps.h"

#include <QBarSet>
#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMenu>
#include <QScatterSeries>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <cmath>

using namespace skylark;
using namespace skylark::ui;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

// Opens the store and records one round of route 1 成都 → 上海 with that alert price and fare.
void recordOne(FareHistory& history, const QDateTime& at, const QString& alertPrice,
               const QString& fare) {
    QVERIFY(history.open(at));
    history.beginRound();
    history.record({u"1"_s,
                    u"成都"_s,
                    u"上海"_s,
                    u"2099-11-20"_s,
                    u"domestic"_s,
                    alertPrice,
                    at,
                    fare,
                    FareOutcome::Found,
                    true,
                    {{u"2099-11-20"_s, fare}}});
    history.endRound();
    history.flush();
}

} // namespace

class TstHistoryWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void window_showsTheRoundsOfTheSelectedRoute();
    void damagedStore_isSaidInTheStatusBar();
    void oneObservation_isAPointOnAReadableChart();
};

void TstHistoryWindow::window_showsTheRoundsOfTheSelectedRoute() {
    DesktopRig rig({}, 1);
    rig.server.setFixedFare(u"成都"_s, u"上海"_s, 300);
    ui::Desktop& desktop = *rig.desktop;
    const QString day = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    Route route{QString(), u"成都"_s, u"上海"_s, day, u"500"_s, u"domestic"_s};
    QVERIFY(desktop.book().addNewRoute(route, QDateTime::currentDateTime()));
    desktop.routes().setRoutes(desktop.book().routes());
    desktop.monitor().runRound();
    desktop.history().flush();

    QMenu& menu = desktop.window().routeListMenu();
    QCOMPARE(menu.actions().size(), 3);
    QCOMPARE(menu.actions()[2]->text(), u"价格历史"_s);
    menu.actions()[2]->trigger(); // no row selected: no window
    QVERIFY(!desktop.historyWindow());
    desktop.window().findChild<QTableView*>(u"超级列表框_监控列表"_s)->selectRow(0);
    menu.actions()[2]->trigger();
    HistoryWindow* window = desktop.historyWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->fareSeries().count(), 1);
    QCOMPARE(window->fareSeries().at(0).y(), 300.0);
    QCOMPARE(window->specialSeries().count(), 1); // 300 is at most 500
    QCOMPARE(window->alertPriceSeries().at(0).y(), 500.0);
    QCOMPARE(window->calendarBars().count(), 7);

    desktop.monitor().runRound(); // the open window follows the rounds
    desktop.history().flush();
    QCOMPARE(window->fareSeries().count(), 2);
    QVERIFY(window->statusText().contains(u"2"));
    QCOMPARE(window->contextText(), u"最低 300（%1）；通常 300（近 30 天 2 次的中位数）"_s.arg(
                                        QDate::currentDate().toString(Qt::ISODate)));
}

// A store that cannot be read is said, never drawn as a route without fares.
void TstHistoryWindow::damagedStore_isSaidInTheStatusBar() {
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    {
        FareHistory history(dir.path());
        recordOne(history, now, u"500"_s, u"450"_s);
    }
    overwriteRootPages(dir.filePath(FareHistory::fileName()),
                       {u"observation_chart"_s, u"observation"_s});
    FareHistory damaged(dir.path());
    QVERIFY(damaged.open(now, HistoryAccess::ReadOnly));
    const FakeClock clock(now);
    HistoryWindow window(damaged, clock, {u"1"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"500"_s});
    QVERIFY2(window.statusText().contains(u"无法读取"_s), qPrintable(window.statusText()));
    QCOMPARE(window.fareSeries().count(), 0);
}

// An alert price with its unit draws its line where the legend says, and a route seen once
// shows its one fare on round ticks.
void TstHistoryWindow::oneObservation_isAPointOnAReadableChart() {
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    FareHistory history(dir.path());
    recordOne(history, now, u"600元"_s, u"583"_s);
    const FakeClock clock(now);
    HistoryWindow window(history, clock,
                         {u"1"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"600元"_s});
    QCOMPARE(window.alertPriceSeries().at(0).y(), 600.0);
    QCOMPARE(window.fareSeries().count(), 1);
    QVERIFY(window.fareSeries().pointsVisible());
    auto* price = static_cast<QValueAxis*>(window.fareChart().axes(Qt::Vertical).first());
    QCOMPARE(std::fmod(price->min(), 10.0), 0.0);
    QCOMPARE(std::fmod(price->max(), 10.0), 0.0);
    QVERIFY(price->min() <= 583 && price->max() >= 600);
    auto* time = static_cast<QDateTimeAxis*>(window.fareChart().axes(Qt::Horizontal).first());
    QVERIFY(time->max().toMSecsSinceEpoch() - time->min().toMSecsSinceEpoch() >= 60000);
}

QTEST_MAIN(TstHistoryWindow)
#include "tst_historywindow.moc"
