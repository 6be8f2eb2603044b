#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/Stamp.h"
#include "app/StatusLog.h"
#include "common/Csv.h"
#include "common/DamagedStore.h"
#include "common/Disks.h"
#include "common/FakeClock.h"
#include "common/FakeFrontEnd.h"
#include "common/Files.h"
#include "common/SessionRig.h"
#include "history/FareHistory.h"
#include "history/HistoryChart.h"
#include "history/HistoryCsv.h"
#include "history/PriceContext.h"
#include "history/RouteNotes.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "notify/PushAlerts.h"
#include "sim/DemoServer.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 5, 3));

// Runs SQL on the store's file through a connection of the test's own.
class RawStore {
public:
    explicit RawStore(const QString& path)
        : m_name(u"raw-"_s + path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawStore() {
        QSqlDatabase::database(m_name).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(m_name)).exec(sql); }
    QVariant value(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(m_name));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }

private:
    QString m_name;
};

FareObservation observation(const QString& routeId, const QDateTime& at, const QString& fare,
                            FareOutcome outcome = FareOutcome::Found) {
    return {routeId,
            u"成都"_s,
            u"上海"_s,
            u"2026-12-20"_s,
            u"domestic"_s,
            u"500"_s,
            at,
            fare,
            outcome,
            !fare.isEmpty() && fare.toInt() <= 500,
            {{u"2026-12-20"_s, fare}, {u"2026-12-21"_s, u"610"_s}}};
}

// The monitor of a data directory on the demo server, recording into a history.
struct Rig : SessionRig {
    sim::DemoServer server;

    Rig()
        : SessionRig(kNow) {
        server.start();
        session.setEndpoints(Endpoints::forDemo(server.baseUrl()));
        server.setFixedFare(u"成都"_s, u"上海"_s, 420);
        for (const auto& [id, from, to] :
             {std::tuple{u"1"_s, u"成都"_s, u"上海"_s}, {u"2"_s, u"北京"_s, u"东京"_s}}) {
            const Route route{id,       from,
                              to,       kNow.date().addDays(20).toString(Qt::ISODate),
                              u"500"_s, id == u"1" ? u"domestic"_s : u"international"_s};
            if (!book.appendRoute(route)) {
                qFatal("cannot write the route book");
            }
        }
        routes.setRoutes(book.routes());
    }
};

} // namespace

class TstFareHistory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void priceContext_ofAMadeUpHistory_data();
    void priceContext_ofAMadeUpHistory();
    void routeNotes_showTheLastFareAfterARestartAndADelete();
    void schema_isCreatedOrMigratedFromTheFirstVersion();
    void round_recordsOneObservationPerRouteInOneTransaction();
    void retention_prunesOldObservations();
    void newRoute_neverTakesTheIdentifierOfAKeptHistory();
    void unusableStore_leavesMonitoringAlone_data();
    void unusableStore_leavesMonitoringAlone();
    void lockedStore_countsEveryRoundItCouldNotStore();
    void readerBesideTheRecorder_costsNoRound();
    void damagedStore_isNeverReadAsAnEmptyOne();
    void csvExport_readsBackField_for_field();
    void valueScale_isOnRoundNumbers_data();
    void valueScale_isOnRoundNumbers();
    void chartFrame_coversTheFaresAndTheAlertPrice_data();
    void chartFrame_coversTheFaresAndTheAlertPrice();
    void timeScale_labelsDiffer_data();
    void timeScale_labelsDiffer();
};

void TstFareHistory::schema_isCreatedOrMigratedFromTheFirstVersion() {
    QTemporaryDir fresh;
    FareHistory created(fresh.path());
    QVERIFY2(created.open(kNow), qPrintable(created.error()));
    QCOMPARE(created.schemaVersion(), FareHistory::kSchemaVersion);
    // The user's alone, like every file of the data directory.
    QCOMPARE(QFileInfo(created.path()).permissions() & 0x0777, QFile::Permissions(0x0600));

    // A store of the first version, with an observation.
    QTemporaryDir old;
    {
        RawStore raw(old.filePath(FareHistory::fileName()));
        QVERIFY(raw.exec(u"CREATE TABLE observation (id INTEGER PRIMARY KEY, route_id TEXT NOT "
                         "NULL, dep_city TEXT NOT NULL, arr_city TEXT NOT NULL, dep_date TEXT NOT "
                         "NULL, route_kind TEXT NOT NULL, observed_at INTEGER NOT NULL, fare "
                         "TEXT, outcome TEXT NOT NULL, calendar TEXT NOT NULL)"_s));
        QVERIFY(raw.exec(u"CREATE INDEX observation_by_route ON observation (route_id, "
                         "observed_at)"_s));
        QVERIFY(raw.exec(u"INSERT INTO observation VALUES (1, '7', '成都', '上海', '2026-12-20', "
                         "'domestic', %1, '430', 'found', '2026-12-20=430')"_s.arg(
                             kNow.addDays(-1).toMSecsSinceEpoch())));
        QVERIFY(raw.exec(u"PRAGMA user_version=1"_s));
    }
    FareHistory migrated(old.path());
    QVERIFY2(migrated.open(kNow), qPrintable(migrated.error()));
    QCOMPARE(migrated.schemaVersion(), FareHistory::kSchemaVersion);
    const QList<FareObservation> kept = migrated.queries().observations(u"7"_s).rows;
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept[0].fare, u"430"_s);
    QCOMPARE(kept[0].alertPrice, QString());
    QVERIFY(!kept[0].special);
    QCOMPARE(kept[0].calendar, (QList<CalendarEntry>{{u"2026-12-20"_s, u"430"_s}}));

    // A store of a later program is left alone.
    QTemporaryDir newer;
    {
        RawStore raw(newer.filePath(FareHistory::fileName()));
        QVERIFY(raw.exec(u"PRAGMA user_version=99"_s));
    }
    FareHistory refused(newer.path());
    QVERIFY(!refused.open(kNow));
    QVERIFY(refused.error().contains(u"99"));
}

void TstFareHistory::round_recordsOneObservationPerRouteInOneTransaction() {
    Rig rig;
    FareHistory history(rig.dir.path());
    QVERIFY(history.open(kNow));
    rig.monitor.setRecorder(&history);
    QSignalSpy recorded(&history, &FareHistory::recorded);
    // While the round runs, another reader sees nothing of it: one transaction.
    int seenDuringRound = -1;
    QObject::connect(&rig.monitor, &Monitor::routeQueried, [&] {
        RawStore raw(history.path());
        seenDuringRound =
            qMax(seenDuringRound, raw.value(u"SELECT COUNT(*) FROM observation"_s).toInt());
    });
    rig.monitor.runRound();
    history.flush();
    QCOMPARE(seenDuringRound, 0);
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded[0][0].value<QList<FareObservation>>().size(), 2);

    const QList<FareObservation> first = history.queries().observations(u"1"_s).rows;
    QCOMPARE(first.size(), 1);
    QCOMPARE(first[0].fare, u"420"_s);
    QCOMPARE(first[0].outcome, FareOutcome::Found);
    QVERIFY(first[0].special);
    QCOMPARE(first[0].routeKind, u"domestic"_s);
    QCOMPARE(first[0].observedAt, kNow);
    QCOMPARE(first[0].calendar.size(), 7);
    QCOMPARE(history.queries().observations(u"2"_s).rows.size(), 1);
    QCOMPARE(history.queries().farePoints(u"1"_s).rows.size(), 1);
    QCOMPARE(history.queries().latestCalendar(u"1"_s).rows, first[0].calendar);
    // The route file stays the only place routes live.
    QCOMPARE(rig.book.routes().size(), 2);
}

// A route deleted and another added in the same second: the new one gets an identifier of
// its own, not the deleted route's fares.
void TstFareHistory::newRoute_neverTakesTheIdentifierOfAKeptHistory() {
    Rig rig;
    QVERIFY(rig.session.openHistory());
    FareHistory& history = rig.session.history();
    const QString kept = makeStamp(kNow).routeStamp;
    history.beginRound();
    history.record(observation(kept, kNow.addDays(-1), u"500"_s));
    history.endRound();
    history.flush();
    const AddRouteResult added =
        rig.session.commands().addRoute({u"成都"_s, u"上海"_s, u"500"_s, kNow.date().addDays(10)});
    QVERIFY2(added.added, qPrintable(added.message));
    QCOMPARE(added.routeId, makeStamp(kNow.addSecs(1)).routeStamp);
    QVERIFY(history.queries().observations(added.routeId).rows.isEmpty());
}

void TstFareHistory::retention_prunesOldObservations() {
    QTemporaryDir dir;
    {
        FareHistory history(dir.path());
        QVERIFY(history.open(kNow));
        history.beginRound();
        for (int daysAgo : {500, 401, 399, 10, 0}) {
            history.record(observation(u"1"_s, kNow.addDays(-daysAgo), u"450"_s));
        }
        history.endRound();
        history.flush();
        QCOMPARE(history.queries().observations(u"1"_s).rows.size(), 5);
    }
    FareHistory readOnly(dir.path());
    QVERIFY(readOnly.open(kNow, HistoryAccess::ReadOnly)); // a reader never prunes
    QCOMPARE(readOnly.queries().observations(u"1"_s).rows.size(), 5);
    FareHistory reopened(dir.path());
    QSignalSpy pruned(&reopened, &FareHistory::pruned);
    QVERIFY(reopened.open(kNow)); // prunes what is older than 400 days, on the writer's thread
    QVERIFY(pruned.wait(5000));
    QCOMPARE(pruned.first().first().toInt(), 2);
    QCOMPARE(reopened.queries().observations(u"1"_s).rows.size(), 3);
    QVERIFY(reopened.setRetentionDays(5));
    QCOMPARE(reopened.retentionDays(), 5);
    QCOMPARE(reopened.prune(kNow), 2);
    QCOMPARE(reopened.queries().observations(u"1"_s).rows.size(), 1);
    QCOMPARE(reopened.queries().observations(u"1"_s, kNow.date()).rows.size(), 1);
}

void TstFareHistory::unusableStore_leavesMonitoringAlone_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a garbage file") << u"garbage"_s;
    QTest::newRow("a folder in its place") << u"folder"_s;
    QTest::newRow("a read-only folder") << u"read-only"_s;
    QTest::newRow("a negative schema version") << u"negative"_s;
}

void TstFareHistory::unusableStore_leavesMonitoringAlone() {
    QFETCH(QString, kind);
    Rig rig;
    const QString path = rig.dir.filePath(FareHistory::fileName());
    QTemporaryDir readOnly;
    QString directory = rig.dir.path();
    if (kind == u"garbage") {
        writeBytes(path, QByteArray(8192, 'x'));
    } else if (kind == u"negative") {
        RawStore(path).exec(u"PRAGMA user_version=-3"_s);
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else {
        if (runsAsRoot()) {
            QSKIP("root writes into read-only folders");
        }
        QVERIFY(QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner));
        directory = readOnly.path();
    }
    FareHistory history(directory);
    QSignalSpy failed(&history, &FareHistory::failed);
    QVERIFY(!history.open(kNow));
    QCOMPARE(failed.size(), 1);
    // Always with the reason after the colon.
    QVERIFY2(!history.error().section(u"："_s, 1).isEmpty(), qPrintable(history.error()));
    if (kind == u"negative") {
        QVERIFY2(history.error().contains(u"-3"), qPrintable(history.error()));
    }
    rig.monitor.setRecorder(&history);
    QSignalSpy rounds(&rig.monitor, &Monitor::roundFinished);
    rig.monitor.runRound();
    rig.monitor.runRound();
    QCOMPARE(rounds.size(), 2);
    QCOMPARE(rig.routes.cell(0, RouteListModel::LowestFareColumn), u"420"_s);
    QCOMPARE(failed.size(), 1); // said once
    QVERIFY(history.queries().observations(u"1"_s).rows.isEmpty());
    QVERIFY(!history.queries().observations(u"1"_s).ok());
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Another writer holding the store longer than the writer waits costs rounds; each is
// counted and said, not only the first.
void TstFareHistory::lockedStore_countsEveryRoundItCouldNotStore() {
    Rig rig;
    FareHistory history(rig.dir.path());
    history.setWriterBusyMs(50);
    QVERIFY(history.open(kNow));
    history.flush();
    rig.monitor.setRecorder(&history);
    QSignalSpy failed(&history, &FareHistory::failed);
    {
        RawStore other(history.path()); // another writer holds the store
        QVERIFY(other.exec(u"BEGIN IMMEDIATE"_s));
        rig.monitor.runRound();
        rig.monitor.runRound();
        history.flush();
        QCOMPARE(rig.routes.cell(0, RouteListModel::LowestFareColumn), u"420"_s);
        QCOMPARE(failed.size(), 2);
        QVERIFY2(failed.last().first().toString().contains(u"共 2 轮"_s),
                 qPrintable(failed.last().first().toString()));
        QCOMPARE(history.lostRounds(), 2);
        QVERIFY(other.exec(u"COMMIT"_s));
    }
    rig.monitor.runRound(); // the next round is recorded again
    history.flush();
    QCOMPARE(history.queries().observations(u"1"_s).rows.size(), 1);
    QCOMPARE(failed.size(), 2);
}

// A reader of the store (a history command beside the monitor) never costs a round.
void TstFareHistory::readerBesideTheRecorder_costsNoRound() {
    Rig rig;
    FareHistory history(rig.dir.path());
    QVERIFY(history.open(kNow));
    rig.monitor.setRecorder(&history);
    rig.monitor.runRound();
    history.flush();
    QSignalSpy failed(&history, &FareHistory::failed);
    FareHistory reader(rig.dir.path());
    QVERIFY(reader.open(kNow, HistoryAccess::ReadOnly));
    const QString error = reader.queries().eachObservation({}, {}, [&](const FareObservation&) {
        // Rounds stored while the reader is in the middle of its read.
        rig.monitor.runRound();
        history.flush();
    });
    QCOMPARE(error, QString());
    QCOMPARE(failed.size(), 0);
    QCOMPARE(history.queries().observations(u"1"_s).rows.size(), 3);
}

// Pages of the indexes and of the table overwritten with junk: every read says so, none reads as
// empty, and an export leaves the file it would have replaced as it was.
void TstFareHistory::damagedStore_isNeverReadAsAnEmptyOne() {
    QTemporaryDir dir;
    {
        FareHistory history(dir.path());
        QVERIFY(history.open(kNow));
        history.beginRound();
        for (int minute = 0; minute < 3000; ++minute) {
            history.record(observation(u"1"_s, kNow.addSecs(-60 * minute), u"450"_s));
        }
        history.endRound();
        history.flush();
    }
    overwriteRootPages(dir.filePath(FareHistory::fileName()),
                       {u"observation_chart"_s, u"observation_by_time"_s, u"observation"_s});

    FareHistory damaged(dir.path());
    QVERIFY(damaged.open(kNow, HistoryAccess::ReadOnly));
    QVERIFY(!damaged.queries().observations(u"1"_s).ok());
    QVERIFY(!damaged.queries().farePoints(u"1"_s).ok());
    const QString good = dir.filePath(u"good.csv"_s);
    writeBytes(good, "route_id\r\n1,earlier export\r\n");
    const WriteResult exported = exportHistoryCsv(damaged.queries(), good);
    QVERIFY(!exported.ok());
    QVERIFY2(exported.message().contains(u"无法读取"_s), qPrintable(exported.message()));
    QCOMPARE(readBytes(good), "route_id\r\n1,earlier export\r\n"_ba);
    QCOMPARE(QDir(dir.path()).entryList({u"good.csv.*"_s}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TstFareHistory::csvExport_readsBackField_for_field() {
    QTemporaryDir dir;
    FareHistory history(dir.path());
    QVERIFY(history.open(kNow));
    FareObservation awkward =
        observation(u"2"_s, kNow.addSecs(-60), QString(), FareOutcome::NoEntryForDay);
    awkward.depCityName = u"\"Big\" Apple, NY\r\nline two"_s;
    history.beginRound();
    history.record(observation(u"1"_s, kNow, u"420"_s));
    history.record(awkward);
    history.endRound();
    history.flush();
    const QString file = dir.filePath(u"all.csv"_s);
    QVERIFY(exportHistoryCsv(history.queries(), file));
    const QByteArray bytes = readBytes(file);
    QVERIFY(bytes.endsWith("\r\n"));
    const QList<QStringList> records = parseCsv(QString::fromUtf8(bytes));
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[0],
             (QStringList{u"route_id"_s, u"departure"_s, u"arrival"_s, u"departure_date"_s,
                          u"route_kind"_s, u"alert_price"_s, u"observed_at"_s, u"fare"_s,
                          u"outcome"_s, u"special"_s, u"calendar"_s}));
    QCOMPARE(records[1][0], u"1"_s);
    QCOMPARE(records[1][1], u"成都"_s);
    QCOMPARE(QDateTime::fromString(records[1][6], Qt::ISODate), kNow);
    QCOMPARE(records[1][7], u"420"_s);
    QCOMPARE(records[1][8], u"found"_s);
    QCOMPARE(records[1][9], u"1"_s);
    QCOMPARE(records[2][1], awkward.depCityName);
    QCOMPARE(records[2][7], QString());
    QCOMPARE(records[2][8], u"no-entry-for-day"_s);
    for (const QStringList& record : records) {
        QCOMPARE(record.size(), 11);
    }
}

void TstFareHistory::valueScale_isOnRoundNumbers_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("ticks");
    QTest::newRow("fares of a few hundred") << 270.0 << 660.0 << 200.0 << 700.0 << 6;
    QTest::newRow("thousands") << 711.0 << 12861.0 << 0.0 << 15000.0 << 4;
    QTest::newRow("a single fare") << 500.0 << 500.0 << 499.0 << 501.0 << 5;
}

void TstFareHistory::valueScale_isOnRoundNumbers() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, ticks);
    const ValueScale scale = niceScale(low, high);
    QCOMPARE(scale.min, min);
    QCOMPARE(scale.max, max);
    QCOMPARE(scale.ticks, ticks);
}

void TstFareHistory::chartFrame_coversTheFaresAndTheAlertPrice_data() {
    QTest::addColumn<QList<double>>("fares"); // one a minute from 10:00
    QTest::addColumn<double>("alertPrice");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<bool>("spansNow"); // no points: the span is the moment now
    QTest::newRow("no fares: the alert price alone")
        << QList<double>{} << 500.0 << 440.0 << 560.0 << true;
    QTest::newRow("fares above the alert price")
        << QList<double>{600, 700} << 500.0 << 400.0 << 800.0 << false;
    QTest::newRow("a fare far below it")
        << QList<double>{100, 520} << 500.0 << 0.0 << 600.0 << false;
}

void TstFareHistory::chartFrame_coversTheFaresAndTheAlertPrice() {
    QFETCH(QList<double>, fares);
    QFETCH(double, alertPrice);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(bool, spansNow);
    const qint64 first = QDateTime(QDate(2026, 12, 10), QTime(10, 0)).toMSecsSinceEpoch();
    const qint64 now = first + 86400000;
    QList<FarePoint> points;
    for (qsizetype i = 0; i < fares.size(); ++i) {
        points.append({first + i * 60000, fares[i], false});
    }
    const FareChartFrame frame = fareChartFrame(points, alertPrice, now);
    QVERIFY2(frame.prices.min <= min && frame.prices.max >= max,
             qPrintable(u"%1..%2"_s.arg(frame.prices.min).arg(frame.prices.max)));
    QVERIFY(frame.prices.min >= 0);
    QCOMPARE(frame.times.firstMs <= (spansNow ? now : first), true);
    QCOMPARE(frame.times.lastMs >= (spansNow ? now : points.last().observedAtMs), true);
    const ValueScale bars = calendarScale({{u"2026-12-20"_s, u"640"_s}, {u"2026-12-21"_s, u"-"_s}});
    QCOMPARE(bars.min, 0.0);
    QVERIFY(bars.max >= 640 * 1.1);
}

void TstFareHistory::timeScale_labelsDiffer_data() {
    QTest::addColumn<qint64>("spanMs");
    QTest::newRow("one observation") << qint64(0);
    QTest::newRow("two rounds a minute apart") << qint64(60000);
    QTest::newRow("an afternoon") << qint64(5 * 3600 * 1000);
    QTest::newRow("three days") << qint64(3 * 86400 * 1000);
    QTest::newRow("a year") << qint64(365LL * 86400 * 1000);
}

// Five labels along the axis, as the chart draws them, are all different.
void TstFareHistory::timeScale_labelsDiffer() {
    QFETCH(qint64, spanMs);
    const qint64 first = kNow.toMSecsSinceEpoch();
    const TimeScale scale = timeScale(first, first + spanMs, 5);
    QVERIFY(scale.firstMs <= first && scale.lastMs >= first + spanMs);
    QSet<QString> labels;
    for (int tick = 0; tick < 5; ++tick) {
        labels.insert(QDateTime::fromMSecsSinceEpoch(scale.firstMs +
                                                     (scale.lastMs - scale.firstMs) * tick / 4)
                          .toString(scale.format));
    }
    QCOMPARE(labels.size(), 5);
}

namespace {

// Stores one round for each fare, a day apart, the last one today.
void recordDaily(FareHistory& history, const QString& routeId, const QStringList& fares) {
    for (qsizetype i = 0; i < fares.size(); ++i) {
        history.beginRound();
        history.record(observation(routeId, kNow.addDays(-(fares.size() - 1 - i)), fares[i],
                                   fares[i].isEmpty() ? FareOutcome::NoJson : FareOutcome::Found));
        history.endRound();
    }
    history.flush();
}

} // namespace

void TstFareHistory::priceContext_ofAMadeUpHistory_data() {
    QTest::addColumn<QStringList>("fares"); // one a day, oldest first, the last today
    QTest::addColumn<QString>("text");
    // Each answer also gives 610 for the next day, named when it is cheaper.
    const QString nextDay = u"；前后三天最便宜：2026-12-21（晚 1 天）610"_s;
    QTest::newRow("no fare ever found, but one the next day")
        << QStringList{QString(), QString()} << nextDay.mid(1);
    QTest::newRow("fewer than 10 fares: no verdict")
        << QStringList{u"500"_s, u"480"_s, u"520"_s}
        << u"最低 480（2026-12-08）；通常 500（近 30 天 3 次的中位数）"_s;
    const QStringList ten{u"500"_s, u"510"_s, u"520"_s, u"530"_s, u"540"_s,
                          u"550"_s, u"560"_s, u"570"_s, u"580"_s};
    QTest::newRow("a last fare under the 20th percentile is low")
        << ten + QStringList{u"400"_s}
        << u"最低 400（2026-12-09）；通常 535（近 30 天 10 次的中位数）；当前 低"_s;
    QTest::newRow("a last fare between is normal")
        << ten + QStringList{u"545"_s}
        << u"最低 500（2026-11-30）；通常 542.5（近 30 天 10 次的中位数）；当前 正常"_s;
    QTest::newRow("a last fare over the 80th percentile is high")
        << ten + QStringList{u"700"_s}
        << u"最低 500（2026-11-30）；通常 545（近 30 天 10 次的中位数）；当前 高"_s + nextDay;
    QTest::newRow("fares that are no positive numbers are left out")
        << QStringList{u"500"_s, u"abc"_s, u"-1"_s, u"0"_s, u"480"_s}
        << u"最低 480（2026-12-09）；通常 490（近 30 天 2 次的中位数）"_s;
    QTest::newRow("a negative fare of the day is no fare; the next day's is")
        << QStringList{u"500"_s, u"-1"_s}
        << u"最低 500（2026-12-08）；通常 500（近 30 天 1 次的中位数）"_s + nextDay;
    QStringList old(40, u"300"_s);
    QTest::newRow("the typical fare is of the last 30 days; the lowest of all time")
        << old + QStringList{u"600"_s, u"620.5"_s}
        << u"最低 300（2026-10-29）；通常 300（近 30 天 31 次的中位数）；当前 高"_s + nextDay;
}

void TstFareHistory::priceContext_ofAMadeUpHistory() {
    QFETCH(QStringList, fares);
    QFETCH(QString, text);
    QTemporaryDir dir;
    FareHistory history(dir.path());
    QVERIFY(history.open(kNow));
    recordDaily(history, u"1"_s, fares);
    const HistoryRead<RouteFareSummary> read =
        history.queries().fareSummary(u"1"_s, kNow.addDays(-PriceContext::kRecentDays));
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(priceContextText(priceContextOf(read.rows)), text);
}

void TstFareHistory::routeNotes_showTheLastFareAfterARestartAndADelete() {
    Rig rig;
    {
        FareHistory history(rig.dir.path());
        QVERIFY(history.open(kNow));
        rig.monitor.setRecorder(&history);
        rig.monitor.runRound();
        history.flush();
    }
    // A restart: a new list from the book, its run-time cells empty.
    FareHistory history(rig.dir.path());
    QVERIFY(history.open(kNow));
    RouteListModel routes;
    RouteNotes notes(history, routes, rig.clock);
    QSignalSpy refreshed(&notes, &RouteNotes::refreshed);
    loadRouteBook(rig.book, routes);
    QVERIFY(refreshed.wait());
    const QModelIndex fare = routes.index(0, RouteListModel::LowestFareColumn);
    const QModelIndex time = routes.index(0, RouteListModel::UpdateTimeColumn);
    QCOMPARE(fare.data().toString(), QString());
    QCOMPARE(fare.data(RouteListModel::PlaceholderRole).toString(), u"420"_s);
    QCOMPARE(time.data(RouteListModel::PlaceholderRole).toString(), u"09:05:03"_s);
    QCOMPARE(time.data(Qt::ToolTipRole).toString(), u"上次：420，2026-12-09 09:05:03"_s);
    QCOMPARE(
        fare.data(Qt::ToolTipRole).toString(),
        u"上次：420，2026-12-09 09:05:03\n最低 420（2026-12-09）；通常 420（近 30 天 1 次的中位数）"_s);

    // A delete rebuilds the list: the notes come back for the rows that remain.
    QVERIFY(rig.book.removeRoute(u"2"));
    loadRouteBook(rig.book, routes);
    QCOMPARE(routes.index(0, RouteListModel::LowestFareColumn)
                 .data(RouteListModel::PlaceholderRole)
                 .toString(),
             QString());
    QVERIFY(refreshed.wait());
    QCOMPARE(routes.index(0, RouteListModel::LowestFareColumn)
                 .data(RouteListModel::PlaceholderRole)
                 .toString(),
             u"420"_s);

    // A round's own fare takes the placeholder's place; the context stays in the tooltip.
    routes.setCell(0, RouteListModel::LowestFareColumn, u"430"_s);
    QCOMPARE(fare.data(RouteListModel::PlaceholderRole), QVariant());
    QVERIFY(fare.data(Qt::ToolTipRole).toString().startsWith(u"最低 420"_s));
}

QTEST_GUILESS_MAIN(TstFareHistory)
#include "tst_farehistory.moc"
