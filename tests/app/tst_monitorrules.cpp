#include "app/MonitorRules.h"
#include "app/NearbyDays.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

namespace {

// "2026-12-21=380" pairs into a calendar.
QList<CalendarEntry> calendarOf(const QStringList& days) {
    QList<CalendarEntry> calendar;
    for (const QString& day : days) {
        calendar.append({day.section(u'=', 0, 0), day.section(u'=', 1)});
    }
    return calendar;
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstMonitorRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cheapestDay_withinTheWindow_data();
    void cheapestDay_withinTheWindow();
    void cheaperNearbyDay_isAnotherDayAndCheaper_data();
    void cheaperNearbyDay_isAnotherDayAndCheaper();
    void save_storesEverythingInOneWriteOrNothing();
    void flexibleDays_refuseWhatALineCannotHold_data();
    void flexibleDays_refuseWhatALineCannotHold();
};

void TstMonitorRules::cheapestDay_withinTheWindow_data() {
    QTest::addColumn<QStringList>("calendar");
    QTest::addColumn<QString>("routeDay");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("date"); // empty for none
    QTest::addColumn<int>("offset");
    const QString kDay = u"2026-12-20"_s;
    const QString day = u"2026-12-20=500"_s;
    QTest::newRow("the day alone") << QStringList{day} << kDay << 2 << u"2026-12-20"_s << 0;
    QTest::newRow("a cheaper day inside the window")
        << QStringList{day, u"2026-12-22=400"_s} << kDay << 2 << u"2026-12-22"_s << 2;
    QTest::newRow("a cheaper day just outside it")
        << QStringList{day, u"2026-12-23=400"_s} << kDay << 2 << u"2026-12-20"_s << 0;
    QTest::newRow("a day before counts as well")
        << QStringList{u"2026-12-19=450"_s, day} << kDay << 1 << u"2026-12-19"_s << -1;
    QTest::newRow("of equal fares the route's own day wins")
        << QStringList{u"2026-12-19=500"_s, day, u"2026-12-21=500"_s} << kDay << 3
        << u"2026-12-20"_s << 0;
    QTest::newRow("of equal fares the nearer, then the earlier")
        << QStringList{u"2026-12-22=400"_s, u"2026-12-18=400"_s, u"2026-12-21=450"_s, day} << kDay
        << 3 << u"2026-12-18"_s << -2;
    QTest::newRow("days without a fare are passed over")
        << QStringList{u"2026-12-20=0"_s, u"2026-12-21="_s, u"2026-12-22=abc"_s,
                       u"2026/12/21=100"_s}
        << kDay << 3 << QString() << 0;
    QTest::newRow("the later of two entries alike counts")
        << QStringList{u"2026-12-21=300"_s, day, u"2026-12-21=600"_s} << kDay << 1
        << u"2026-12-20"_s << 0;
    QTest::newRow("a route day that cannot be read has none")
        << QStringList{u"2026-12-20=500"_s} << u"20-12-2026"_s << 3 << QString() << 0;
}

void TstMonitorRules::cheapestDay_withinTheWindow() {
    QFETCH(QStringList, calendar);
    QFETCH(QString, routeDay);
    QFETCH(int, days);
    QFETCH(QString, date);
    QFETCH(int, offset);
    const std::optional<DayFare> found = cheapestDayWithin(calendarOf(calendar), routeDay, days);
    QCOMPARE(found.has_value(), !date.isEmpty());
    if (found) {
        QCOMPARE(found->date, date);
        QCOMPARE(found->offset, offset);
    }
}

void TstMonitorRules::cheaperNearbyDay_isAnotherDayAndCheaper_data() {
    QTest::addColumn<QStringList>("calendar");
    QTest::addColumn<QString>("text"); // empty for none
    QTest::newRow("none cheaper") << QStringList{u"2026-12-20=500"_s, u"2026-12-21=500"_s,
                                                 u"2026-12-22=520"_s}
                                  << QString();
    QTest::newRow("a cheaper day three after")
        << QStringList{u"2026-12-20=500"_s, u"2026-12-23=380"_s, u"2026-12-24=300"_s}
        << u"前后三天最便宜：2026-12-23（晚 3 天）380"_s;
    QTest::newRow("any fare when the day itself has none")
        << QStringList{u"2026-12-20=0"_s, u"2026-12-18=610"_s}
        << u"前后三天最便宜：2026-12-18（早 2 天）610"_s;
}

void TstMonitorRules::cheaperNearbyDay_isAnotherDayAndCheaper() {
    QFETCH(QStringList, calendar);
    QFETCH(QString, text);
    const std::optional<DayFare> day = cheaperNearbyDay(calendarOf(calendar), u"2026-12-20"_s);
    QCOMPARE(day ? nearbyDayText(*day) : QString(), text);
}

void TstMonitorRules::save_storesEverythingInOneWriteOrNothing() {
    QTemporaryDir dir;
    RulesBook book(dir.path());
    QVERIFY(book.setFlexibleDays(u"300"_s, 1));
    KeyFile::Section values{
        {u"watchdog"_s, u"on"_s}, {u"stale-rounds"_s, u" 3 "_s}, {u"back-off"_s, QString()}};
    QVERIFY(book.save(values, {{u"100"_s, 2}, {u"200"_s, 0}}));
    MonitorRules rules = book.rules().value;
    QVERIFY(rules.watchdog);
    QCOMPARE(rules.staleRounds, 3);
    QVERIFY(!rules.backOff);
    // The routes not named keep their days.
    QCOMPARE(rules.flexibleDays, (QHash<QString, int>{{u"100"_s, 2}, {u"300"_s, 1}}));
    QCOMPARE(bytesOf(book.path()),
             "[flexible]\n100=2\n300=1\n[rules]\nstale-rounds=3\nwatchdog=on\n");

    const QByteArray before = bytesOf(book.path());
    values.insert(u"stale-hours"_s, u"0"_s);
    QVERIFY(!book.save(values, {{u"100"_s, 0}}));
    QVERIFY(!book.save({}, {{u"100"_s, 4}}));
    QCOMPARE(bytesOf(book.path()), before);

    QVERIFY(book.save({}, {{u"100"_s, 0}, {u"300"_s, 0}}));
    QCOMPARE(book.rules().value, MonitorRules());
}

void TstMonitorRules::flexibleDays_refuseWhatALineCannotHold_data() {
    QTest::addColumn<QString>("routeId");
    QTest::newRow("an empty identifier") << QString();
    QTest::newRow("an equals sign") << u"a=b"_s;
    QTest::newRow("a line break") << u"a\nb"_s;
    QTest::newRow("a leading blank") << u" 1"_s;
    QTest::newRow("a section header") << u"[1]"_s;
    QTest::newRow("a comment") << u";1"_s;
}

void TstMonitorRules::flexibleDays_refuseWhatALineCannotHold() {
    QFETCH(QString, routeId);
    QTemporaryDir dir;
    RulesBook book(dir.path());
    const WriteResult written = book.setFlexibleDays(routeId, 2);
    QVERIFY(!written);
    QVERIFY(written.message().contains(u"无法保存前后浮动的天数"_s));
    QVERIFY(!QFile::exists(book.path()));
}

QTEST_GUILESS_MAIN(TstMonitorRules)
#include "tst_monitorrules.moc"
