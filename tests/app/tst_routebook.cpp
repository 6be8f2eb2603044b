#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Stamp.h"
#include "common/FakeClock.h"
#include "common/Files.h"
#include "store/ProgramDirectory.h"
#include "text/Gbk.h"

#include <QFile>
#include <QSignalSpy>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

Route chengduShanghai(const QString& id) {
    return {id, u"成都"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, u"domestic"_s};
}

QStringList rowTexts(const RouteListModel& model, int row) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column) {
        cells.append(model.cell(row, column));
    }
    return cells;
}

} // namespace

class TstRouteBook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void makeStamp_data();
    void makeStamp();
    void makeStamp_readsTheClockOnce();
    void load_missingOrEmptyFileGivesNoRows();
    void load_listsSectionsInFileOrder();
    void load_missingKeysGiveEmptyFieldsAndOtherKeysAreIgnored();
    void load_emptiesTheRunTimeColumns();
    void append_writesTheFiveKeysInOrder();
    void append_refusesTextThatCannotBeStoredAndWritesNothing();
    void remove_leavesTheOtherSectionsUntouched();
    void routeKindOf_readsTheFileNow();
    void nextFreeRouteId_skipsTakenStamps();
    void model_hasTheCaptionsAndWidthsOfTheRouteList();
    void model_cellsAndRows();
    void programDirectory_data();
    void programDirectory();
    void programDirectory_ofAnInstalledProgramIsPerUser();
    void perUserDirectory_isOneForEveryProgram();
};

void TstRouteBook::makeStamp_data() {
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("routeStamp");
    QTest::addColumn<QString>("clockText");
    QTest::newRow("16 Nov 2014 09:05:03")
        << QDateTime(QDate(2014, 11, 16), QTime(9, 5, 3)) << u"20141116090503"_s << u"09:05:03"_s;
    QTest::newRow("5 Jan 2015 09:05:03")
        << QDateTime(QDate(2015, 1, 5), QTime(9, 5, 3)) << u"201515090503"_s << u"09:05:03"_s;
    QTest::newRow("13 Feb 2014 21:33:43")
        << QDateTime(QDate(2014, 2, 13), QTime(21, 33, 43)) << u"2014213213343"_s << u"21:33:43"_s;
    QTest::newRow("midnight") << QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0))
                              << u"20261231000000"_s << u"00:00:00"_s;
}

void TstRouteBook::makeStamp() {
    QFETCH(QDateTime, moment);
    QFETCH(QString, routeStamp);
    QFETCH(QString, clockText);
    const Stamp stamp = skylark::makeStamp(moment);
    QCOMPARE(stamp.routeStamp, routeStamp);
    QCOMPARE(stamp.clockText, clockText);
}

void TstRouteBook::makeStamp_readsTheClockOnce() {
    const FakeClock clock(QDateTime(QDate(2015, 1, 5), QTime(23, 59, 59)));
    const Stamp stamp = skylark::makeStamp(clock);
    QCOMPARE(stamp.routeStamp, u"201515235959"_s);
    QCOMPARE(stamp.clockText, u"23:59:59"_s);
}

void TstRouteBook::load_missingOrEmptyFileGivesNoRows() {
    QTemporaryDir dir;
    RouteListModel model;
    model.appendRow(u"stale"_s);
    loadRouteBook(RouteBook(dir.path()), model);
    QCOMPARE(model.rowCount(), 0);
    writeBytes(RouteBook::routeFilePath(dir.path()), {});
    loadRouteBook(RouteBook(dir.path()), model);
    QCOMPARE(model.rowCount(), 0);
}

void TstRouteBook::load_listsSectionsInFileOrder() {
    QTemporaryDir dir;
    writeBytes(RouteBook::routeFilePath(dir.path()),
               *encodeGbk(u"[2014213213343]\r\ndepDate=2015-02-07\r\ndepCityName=北京\r\n"
                          u"arrCityName=香港\r\nprice=1200\r\ntype=international\r\n"
                          u"[20141116090503]\r\ndepDate=2014-11-20\r\ndepCityName=成都\r\n"
                          u"arrCityName=上海\r\nprice=500\r\ntype=domestic\r\n"));
    RouteListModel model;
    loadRouteBook(RouteBook(dir.path()), model);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(
        rowTexts(model, 0),
        (QStringList{
            u"2014213213343"_s, u"北京"_s, u"香港"_s, u"2015-02-07"_s, u"1200"_s, {}, {}, {}}));
    QCOMPARE(
        rowTexts(model, 1),
        (QStringList{
            u"20141116090503"_s, u"成都"_s, u"上海"_s, u"2014-11-20"_s, u"500"_s, {}, {}, {}}));
}

void TstRouteBook::load_missingKeysGiveEmptyFieldsAndOtherKeysAreIgnored() {
    QTemporaryDir dir;
    writeBytes(RouteBook::routeFilePath(dir.path()),
               *encodeGbk(u"[anything]\r\ndepCityName=成都\r\nnote=x\r\n"));
    const QList<Route> routes = RouteBook(dir.path()).routes();
    QCOMPARE(routes, (QList<Route>{{u"anything"_s, u"成都"_s, {}, {}, {}, {}}}));
}

void TstRouteBook::load_emptiesTheRunTimeColumns() {
    QTemporaryDir dir;
    RouteBook book(dir.path());
    QVERIFY(book.appendRoute(chengduShanghai(u"1"_s)));
    RouteListModel model;
    loadRouteBook(book, model);
    QVERIFY(model.setCell(0, RouteListModel::LowestFareColumn, u"480"_s));
    QVERIFY(model.setCell(0, RouteListModel::UpdateTimeColumn, u"09:05:03"_s));
    QVERIFY(model.setCell(0, RouteListModel::StatusColumn, u"发现特价"_s));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    loadRouteBook(book, model);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(rowTexts(model, 0).mid(RouteListModel::LowestFareColumn), (QStringList{{}, {}, {}}));
}

void TstRouteBook::append_writesTheFiveKeysInOrder() {
    QTemporaryDir dir;
    RouteBook book(dir.path());
    QVERIFY(book.appendRoute(chengduShanghai(u"20141116090503"_s)));
    QVERIFY(book.appendRoute(
        {u"201515090503"_s, u"广州"_s, u"杭州"_s, u"2015-02-07"_s, u"３８０"_s, {}}));
    QCOMPARE(readBytes(book.path()),
             *encodeGbk(u"[20141116090503]\r\ndepDate=2014-11-20\r\ndepCityName=成都\r\n"
                        u"arrCityName=上海\r\nprice=500\r\ntype=domestic\r\n"
                        u"[201515090503]\r\ndepDate=2015-02-07\r\ndepCityName=广州\r\n"
                        u"arrCityName=杭州\r\nprice=３８０\r\ntype=\r\n"));
}

void TstRouteBook::append_refusesTextThatCannotBeStoredAndWritesNothing() {
    QTemporaryDir dir;
    RouteBook book(dir.path());
    QVERIFY(book.appendRoute(chengduShanghai(u"1"_s)));
    const QByteArray before = readBytes(book.path());
    Route korean = chengduShanghai(u"2"_s);
    korean.arrCityName = u"서울"_s;
    QVERIFY(!RouteBook::canStore(korean));
    QVERIFY(!book.appendRoute(korean));
    Route broken = chengduShanghai(u"3"_s);
    broken.price = u"5\r\n[x]"_s;
    QVERIFY(!book.appendRoute(broken));
    QCOMPARE(readBytes(book.path()), before);
}

void TstRouteBook::remove_leavesTheOtherSectionsUntouched() {
    QTemporaryDir dir;
    const QByteArray first("[1]\r\nprice = 5\r\ndepDate=2014-11-20\r\n");
    const QByteArray second("[2]\r\ndepDate=x\r\n");
    const QByteArray third("[3]\r\ntype=domestic\r\nprice=1\r\n");
    writeBytes(RouteBook::routeFilePath(dir.path()), first + second + third);
    RouteBook book(dir.path());
    QVERIFY(book.removeRoute(u"2"));
    QCOMPARE(readBytes(book.path()), first + third);
    QVERIFY(book.removeRoute(u"missing"));
    QCOMPARE(readBytes(book.path()), first + third);
}

void TstRouteBook::routeKindOf_readsTheFileNow() {
    QTemporaryDir dir;
    RouteBook book(dir.path());
    QVERIFY(book.appendRoute(chengduShanghai(u"1"_s)));
    QCOMPARE(book.routeKindOf(u"1"), u"domestic"_s);
    writeBytes(book.path(), "[1]\r\ntype=international\r\n[2]\r\nprice=1\r\n");
    QCOMPARE(book.routeKindOf(u"1"), u"international"_s);
    QCOMPARE(book.routeKindOf(u"2"), QString());
    QCOMPARE(book.routeKindOf(u"3"), QString());
}

void TstRouteBook::nextFreeRouteId_skipsTakenStamps() {
    QTemporaryDir dir;
    RouteBook book(dir.path());
    // 11 Jan at 09:05:03 and 1 Nov at 09:05:03 write the same digits.
    const QDateTime january(QDate(2015, 1, 11), QTime(9, 5, 3));
    const QDateTime november(QDate(2015, 11, 1), QTime(9, 5, 3));
    QCOMPARE(book.nextFreeRouteId(january), u"2015111090503"_s);
    QVERIFY(book.appendRoute(chengduShanghai(book.nextFreeRouteId(january))));
    QCOMPARE(book.nextFreeRouteId(november), u"2015111090504"_s);
    QVERIFY(book.appendRoute(chengduShanghai(book.nextFreeRouteId(november))));
    QCOMPARE(book.nextFreeRouteId(november), u"2015111090505"_s);
    QCOMPARE(book.routes().size(), 2);
}

void TstRouteBook::model_hasTheCaptionsAndWidthsOfTheRouteList() {
    const RouteListModel model;
    QCOMPARE(model.columnCount(), 8);
    const QStringList captions{u"ID"_s,       u"出发城市"_s, u"到达城市"_s, u"出发日期"_s,
                               u"监控价格"_s, u"当前最低"_s, u"更新时间"_s, u"状态"_s};
    const QList<int> widths{30, 80, 80, 100, 80, 80, 90, 150};
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), captions[column]);
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::SizeHintRole).toSize().width(),
                 widths[column]);
    }
}

void TstRouteBook::model_cellsAndRows() {
    RouteListModel model;
    QCOMPARE(model.appendRow(u"a"_s), 0);
    QCOMPARE(model.appendRow(u"b"_s), 1);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setCell(1, RouteListModel::StatusColumn, u"搜索中..."_s));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(model.data(model.index(1, RouteListModel::StatusColumn)).toString(), u"搜索中..."_s);
    QVERIFY(!model.setCell(2, 0, u"x"_s));
    QVERIFY(!model.setCell(0, 8, u"x"_s));
    QCOMPARE(model.cell(5, 0), QString());
    QCOMPARE(model.rowOfRoute(u"b"), 1);
    QVERIFY(model.removeRows(0, 1));
    QCOMPARE(model.rowOfRoute(u"b"), 0);
    QCOMPARE(model.rowOfRoute(u"a"), -1);
    QVERIFY(!model.removeRows(0, 2));
}

void TstRouteBook::programDirectory_data() {
    QTest::addColumn<bool>("withOption");
    QTest::addColumn<bool>("executableWritable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--data-dir wins") << true << true << u"option"_s;
    QTest::newRow("a writable executable folder") << false << true << u"exe"_s;
    QTest::newRow("a read-only executable folder") << false << false << u"user"_s;
}

void TstRouteBook::programDirectory() {
    QFETCH(bool, withOption);
    QFETCH(bool, executableWritable);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString option = dir.filePath(u"option"_s);
    const QString exe =
        executableWritable ? dir.path() + u"/exe/"_s : dir.filePath(u"no-such-exe"_s);
    if (executableWritable) {
        QVERIFY(QDir().mkpath(exe));
    }
    const QString user = dir.filePath(u"user"_s);
    const QString resolved =
        resolveProgramDirectory(withOption ? option + u"/"_s : QString(), exe, user);
    QCOMPARE(resolved, dir.filePath(expected));
}

void TstRouteBook::programDirectory_ofAnInstalledProgramIsPerUser() {
    // Even root, who may write /usr/bin, keeps an installed program's data per user.
    QCOMPARE(resolveProgramDirectory({}, u"/usr/bin"_s, u"/home/u/.local/share/skylark"_s),
             u"/home/u/.local/share/skylark"_s);
}

// The desktop program and the command line keep one user's routes in one place.
void TstRouteBook::perUserDirectory_isOneForEveryProgram() {
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(u"skylark"_s);
    const QString desktop = perUserDataDirectory();
    QCoreApplication::setApplicationName(u"skylark-cli"_s);
    const QString commandLine = perUserDataDirectory();
    QCoreApplication::setApplicationName(name);
    QCOMPARE(commandLine, desktop);
    QVERIFY(desktop.endsWith(u"/skylark"_s));
}

QTEST_GUILESS_MAIN(TstRouteBook)
#include "tst_routebook.moc"
