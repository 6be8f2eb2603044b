#include "app/IntervalTimer.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"

#include <QElapsedTimer>
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
    void intervalTimer_neverTicksEarly();
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
// A round, a back-off and a Retry-After are promised never to come early: the k-th tick
// comes at least k intervals after the interval was set.
void TstStatusLog::intervalTimer_neverTicksEarly() {
    IntervalTimer timer;
    QElapsedTimer since;
    QList<qint64> at;
    QObject::connect(&timer, &IntervalTimer::tick, &timer, [&] { at.append(since.elapsed()); });
    since.start();
    timer.setInterval(150);
    QTRY_COMPARE_WITH_TIMEOUT(at.size(), 8, 10000);
    timer.setInterval(0);
    for (qsizetype k = 0; k < at.size(); ++k) {
        QVERIFY2(at[k] >= (k + 1) * 150, qPrintable(u"tick %1 at %2 ms"_qs.arg(k + 1).arg(at[k])));
    }
}

#include "tst_statuslog.moc"
