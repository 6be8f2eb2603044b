#include "app/IntervalTimer.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

class TstStatusLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void appendLog_prefixesTheTimeAndMakesTheLineCurrent();
    void log_isNeverTrimmed();
    void intervalTimer_followsTheIntervalRule();
};

void TstStatusLog::appendLog_prefixesTheTimeAndMakesTheLineCurrent() {
    FakeClock clock(QDateTime(QDate(2015, 1, 5), QTime(9, 5, 3)));
    StatusLog log(clock);
    QSignalSpy appended(&log, &StatusLog::lineAppended);
    log.appendLog(u"已添加航线：201515090503"_s);
    clock.advanceSeconds(3600 * 14 + 1);
    log.appendLog(QString());
    QCOMPARE(log.lines(),
             (QStringList{u"[09:05:03]:已添加航线：201515090503"_s, u"[23:05:04]:"_s}));
    QCOMPARE(appended.size(), 2);
    QCOMPARE(appended[1][0].toInt(), 1);
    QCOMPARE(log.rowCount(), 2);
    QCOMPARE(log.data(log.index(0)).toString(), log.lines().first());
}

void TstStatusLog::log_isNeverTrimmed() {
    FakeClock clock;
    StatusLog log(clock);
    for (int i = 0; i < 20000; ++i) {
        log.appendLog(QString::number(i));
    }
    QCOMPARE(log.rowCount(), 20000);
    QCOMPARE(log.lines().first(), u"[09:05:03]:0"_s);
}

void TstStatusLog::intervalTimer_followsTheIntervalRule() {
    IntervalTimer timer;
    QVERIFY(!timer.isActive());
    QSignalSpy ticks(&timer, &IntervalTimer::tick);
    timer.setInterval(1000);
    QVERIFY(timer.isActive());
    // Halfway through, the same value again: the countdown goes on, so the tick comes at
    // 1000 ms, well before a restarted countdown (at 1500 ms) could end, and before 1250
    // ms; the margins hold on a loaded machine.
    QTimer halfway;
    halfway.setSingleShot(true);
    halfway.setTimerType(Qt::PreciseTimer);
    QSignalSpy halfwayReached(&halfway, &QTimer::timeout);
    halfway.start(500);
    QVERIFY(halfwayReached.wait(5000));
    QCOMPARE(ticks.count(), 0);
    timer.setInterval(1000);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QSignalSpy deadlinePassed(&deadline, &QTimer::timeout);
    deadline.start(750);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() > 0 || deadlinePassed.count() > 0, 5000);
    QCOMPARE(ticks.count(), 1);
    QCOMPARE(deadlinePassed.count(), 0);

    timer.setInterval(200000); // a new value restarts it
    QVERIFY(timer.remainingTime() > 100000);
    timer.setInterval(0);
    QVERIFY(!timer.isActive());
    QCOMPARE(timer.interval(), 0);
    timer.setInterval(20);
    QVERIFY(ticks.wait(5000));
}

QTEST_GUILESS_MAIN(TstStatusLog)
#include "tst_statuslog.moc"
