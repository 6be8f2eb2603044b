#include "app/RouteBook.h"
#include "app/RouteCommands.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/Stamp.h"
#include "app/StartUp.h"
#include "app/StatusLog.h"
#include "app/UrlOpener.h"
#include "common/FakeClock.h"
#include "common/Files.h"
#include "common/ScriptedServer.h"
#include "monitor/RelayFareSource.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "text/Gbk.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

class RecordingOpener final : public UrlOpener {
public:
    void openUrl(const QString& url) override { opened.append(url); }
    QStringList opened;
};

class MemoryNavigationSound final : public NavigationSoundStore {
public:
    std::optional<QString> read() const override { return value; }
    bool write(const QString& path) override {
        value = path;
        ++writes;
        return true;
    }
    bool appendedByUs() const override { return appended; }
    void setAppendedByUs(bool on) override { appended = on; }

    std::optional<QString> value;
    bool appended = false;
    int writes = 0;
};

const QDateTime kClick(QDate(2015, 1, 5), QTime(9, 5, 3));

struct Rig {
    QTemporaryDir dir;
    FakeClock clock{kClick};
    RouteBook book{dir.path()};
    RouteListModel routes;
    StatusLog log{clock};
    QByteArray relayAnswer = "true&domestic";
    ScriptedServer relay{[this](const QByteArray&) { return ScriptedServer::ok(relayAnswer); }};
    Endpoints endpoints = Endpoints::forDemo(relay.url(QString()));
    HttpFetcher fetcher;
    RelayFareSource source{fetcher, endpoints, book};
    RecordingOpener opener;
    RouteCommands commands{book, routes, log, source, clock, opener};

    AddRouteResult add(const QString& dep, const QString& arr, const QString& price,
                       QDate date = QDate(2015, 2, 7)) {
        return commands.addRoute({dep, arr, price, date});
    }
    QStringList logTexts() const {
        QStringList texts;
        for (const QString& line : log.lines()) {
            texts.append(line.mid(11));
        }
        return texts;
    }
};

const QString kWrongCity =
    u"出发城市或到达城市填写错误，请重新输入！\r\n注：该版本暂不支持国际航线的查询！"_s;
const QString kFalseCity =
    u"出发城市或到达城市填写有误，请重新输入！\r\n注：该版本已同时支持国内和国际航线的查询！"_s;

} // namespace

class TstRouteCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void add_checksInOrder_data();
    void add_checksInOrder();
    void add_storesTheRouteAndLogsIt();
    void add_keepsIdentifiersUnique();
    void add_passesOverIdentifiersHeldElsewhere();
    void delete_forgetsTheRoutesTraces();
    void delete_removesTheRouteAndReloads();
    void delete_withoutASelection_removesNothing();
    void searchPages_followTheRouteKind();
    void versionText_data();
    void versionText();
    void versionCheck_isBoundedAgainstATrickle();
    void add_trimsTheLineEndOfTheRouteKind();
    void add_withTheRelayFailing_saysWhatHappened_data();
    void add_withTheRelayFailing_saysWhatHappened();
    void greeting_andRouteBookLoad();
    void navigationSound_isMutedOnceAndRestored();
};

void TstRouteCommands::add_checksInOrder_data() {
    QTest::addColumn<QString>("dep");
    QTest::addColumn<QString>("arr");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QByteArray>("relay");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("relayCalls");
    const QDate later(2015, 2, 7);
    const QString priceMessage = u"监控价格不能小于或等于0！"_s;
    QTest::newRow("price 0") << u"成都"_s << u"上海"_s << u"0"_s << later
                             << QByteArray("true&domestic") << priceMessage << 0;
    QTest::newRow("price -5") << u"成都"_s << u"上海"_s << u"-5"_s << later
                              << QByteArray("true&domestic") << priceMessage << 0;
    QTest::newRow("price abc") << u"成都"_s << u"上海"_s << u"abc"_s << later
                               << QByteArray("true&domestic") << priceMessage << 0;
    QTest::newRow("price empty") << u"成都"_s << u"上海"_s << QString() << later
                                 << QByteArray("true&domestic") << priceMessage << 0;
    QTest::newRow("false&x, before the date check")
        << u"火星"_s << u"火星"_s << u"500"_s << QDate(2014, 1, 1) << QByteArray("false&x")
        << kFalseCity << 1;
    QTest::newRow("true& alone is one field")
        << u"成都"_s << u"上海"_s << u"500"_s << later << QByteArray("true&") << kWrongCity << 1;
    QTest::newRow("no answer") << u"成都"_s << u"上海"_s << u"500"_s << later << QByteArray()
                               << kWrongCity + u"\r\n（城市查询失败：服务器的回复为空）"_s << 1;
    QTest::newRow("no & in the answer")
        << u"成都"_s << u"上海"_s << u"500"_s << later << QByteArray("true") << kWrongCity << 1;
    QTest::newRow("three fields") << u"成都"_s << u"上海"_s << u"500"_s << later
                                  << QByteArray("true&a&b") << kWrongCity << 1;
    QTest::newRow("yesterday") << u"成都"_s << u"上海"_s << u"500"_s << QDate(2015, 1, 4)
                               << QByteArray("true&domestic") << u"出发日期不能是过去的日期！"_s
                               << 1;
    QTest::newRow("the same city, after the relay")
        << u"北京"_s << u" 北京"_s << u"500"_s << later << QByteArray("true&domestic")
        << u"到达城市不能与出发城市相同！"_s << 1;
    QTest::newRow("a route kind from the relay that cannot be stored")
        << u"成都"_s << u"上海"_s << u"500"_s << later << QByteArray("true&dome\rstic\r\n")
        << u"城市查询服务器的回复无法保存，请稍后再试！"_s << 1;
    QTest::newRow("a city that cannot be stored")
        << u"서울"_s << u"上海"_s << u"500"_s << later << QByteArray("true&international")
        << u"出发城市、到达城市或监控价格含有无法保存的字符，请重新输入！"_s << 1;
}

void TstRouteCommands::add_checksInOrder() {
    QFETCH(QString, dep);
    QFETCH(QString, arr);
    QFETCH(QString, price);
    QFETCH(QDate, date);
    QFETCH(QByteArray, relay);
    QFETCH(QString, message);
    QFETCH(int, relayCalls);
    Rig rig;
    rig.relayAnswer = relay;
    const AddRouteResult result = rig.add(dep, arr, price, date);
    QVERIFY(!result.added);
    QCOMPARE(result.message, message);
    QCOMPARE(result.pickerJumpsToNow, message == u"出发日期不能是过去的日期！");
    QCOMPARE(rig.relay.requests().size(), relayCalls);
    QCOMPARE(rig.routes.rowCount(), 0);
    QVERIFY(!QFile::exists(rig.book.path()));
    QVERIFY(rig.log.lines().isEmpty());
}

void TstRouteCommands::add_withTheRelayFailing_saysWhatHappened_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("said");
    QTest::newRow("unreachable") << u"unreachable"_s << u"无法连接服务器"_s;
    QTest::newRow("an HTTP status") << u"status"_s << u"服务器返回 HTTP 状态 503"_s;
}

// The Part's two lines stay; a third says that the server, not the typing, failed.
void TstRouteCommands::add_withTheRelayFailing_saysWhatHappened() {
    QFETCH(QString, failure);
    QFETCH(QString, said);
    Rig rig;
    if (failure == u"unreachable") {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        rig.endpoints = Endpoints::forDemo(u"http://127.0.0.1:%1"_s.arg(port));
    } else {
        rig.relay.setScript([](const QByteArray&) {
            return ScriptedServer::Answer{"HTTP/1.1 503 Busy\r\nContent-Length: 0\r\n\r\n"};
        });
    }
    const AddRouteResult result = rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    QVERIFY(!result.added);
    QCOMPARE(result.message, kWrongCity + u"\r\n（城市查询失败："_s + said + u"）"_s);
}

void TstRouteCommands::add_storesTheRouteAndLogsIt() {
    Rig rig;
    AddRouteResult result =
        rig.add(u" 成\u3000都"_s, u"上海 "_s, u"５００"_s, QDate(2015, 1, 5)); // today is allowed
    QVERIFY(result.added);
    QCOMPARE(result.routeId, u"201515090503"_s);
    QVERIFY(rig.relay.requests().first().startsWith(
        "GET /get_city_code.php?depCity=%E6%88%90%E9%83%BD&arrCity=%E4%B8%8A%E6%B5%B7 HTTP/1.1"));
    rig.relayAnswer = "ok&x"; // neither true nor false: added without a type
    rig.clock.advanceSeconds(1);
    QVERIFY(rig.add(u"北京"_s, u"东京"_s, u"0.5"_s).added);
    QCOMPARE(readBytes(rig.book.path()),
             *encodeGbk(
                 u"[201515090503]\r\ndepDate=2015-01-05\r\ndepCityName=成都\r\narrCityName=上海\r\n"
                 u"price=５００\r\ntype=domestic\r\n[201515090504]\r\ndepDate=2015-02-07\r\n"
                 u"depCityName=北京\r\narrCityName=东京\r\nprice=0.5\r\ntype=\r\n"_s));
    QCOMPARE(rig.logTexts(),
             (QStringList{u"已添加航线：201515090503"_s, u"已添加航线：201515090504"_s}));
    QCOMPARE(rig.log.lines().first(), u"[09:05:03]:已添加航线：201515090503"_s);
    QCOMPARE(rig.routes.rowCount(), 2);
    QCOMPARE(rig.routes.cell(0, RouteListModel::PriceColumn), u"５００"_s);
    QCOMPARE(rig.routes.cell(1, RouteListModel::DateColumn), u"2015-02-07"_s);
}

void TstRouteCommands::add_keepsIdentifiersUnique() {
    Rig rig;
    QVERIFY(rig.add(u"成都"_s, u"上海"_s, u"500"_s).added);
    const AddRouteResult second = rig.add(u"成都"_s, u"上海"_s, u"500"_s); // the same second
    QVERIFY(second.added);
    QCOMPARE(second.routeId, u"201515090504"_s);
    QCOMPARE(rig.book.routes().size(), 2);
}

// A delete and an add in the same second: the new route does not inherit the deleted one's
// history under its identifier.
void TstRouteCommands::add_passesOverIdentifiersHeldElsewhere() {
    Rig rig;
    const QString first = makeStamp(kClick).routeStamp;
    const QString second = makeStamp(kClick.addSecs(1)).routeStamp;
    rig.commands.setTraces({[&](const QString& id) { return id == first; }, {}});
    const AddRouteResult added = rig.add(u"成都"_s, u"上海"_s, u"500"_s);
    QVERIFY(added.added);
    QCOMPARE(added.routeId, second);
}

void TstRouteCommands::delete_forgetsTheRoutesTraces() {
    Rig rig;
    QStringList forgotten;
    bool canForget = true;
    rig.commands.setTraces({{}, [&](const QString& id) {
                                forgotten.append(id);
                                return canForget ? WriteResult::success()
                                                 : WriteResult::failure(u"rules.ini"_s, u"只读"_s);
                            }});
    const QString id = rig.add(u"成都"_s, u"上海"_s, u"500"_s).routeId;
    rig.clock.advanceSeconds(1);
    const QString other = rig.add(u"北京"_s, u"上海"_s, u"500"_s).routeId;
    QVERIFY(rig.commands.deleteSelectedRoute(0));
    QCOMPARE(forgotten, QStringList{id});
    canForget = false;
    QVERIFY(rig.commands.deleteSelectedRoute(0)); // the route is gone all the same
    QCOMPARE(forgotten, (QStringList{id, other}));
    QVERIFY2(rig.logTexts().filter(u"的提醒规则未能删除"_s).size() == 1,
             qPrintable(rig.logTexts().join(u'\n')));
}

void TstRouteCommands::delete_removesTheRouteAndReloads() {
    Rig rig;
    QVERIFY(rig.add(u"成都"_s, u"上海"_s, u"500"_s).added);
    QVERIFY(rig.add(u"北京"_s, u"上海"_s, u"600"_s).added);
    const QByteArray second =
        readBytes(rig.book.path()).mid(readBytes(rig.book.path()).indexOf("[201515090504]"));
    rig.routes.setCell(1, RouteListModel::StatusColumn, u"已搜索"_s);
    QVERIFY(rig.commands.deleteSelectedRoute(0));
    QCOMPARE(readBytes(rig.book.path()), second);
    QCOMPARE(rig.routes.rowCount(), 1);
    QCOMPARE(rig.routes.cell(0, RouteListModel::StatusColumn), QString()); // rebuilt from the file
    QCOMPARE(rig.logTexts().mid(2),
             (QStringList{u"已删除航线：201515090503"_s, u"已重新读取上次保存的监控航线！"_s}));
}

void TstRouteCommands::delete_withoutASelection_removesNothing() {
    Rig rig;
    writeBytes(RouteBook::routeFilePath(rig.dir.path()), "[]\r\nprice=1\r\n[7]\r\nprice=2\r\n");
    loadRouteBook(rig.book, rig.routes);
    QVERIFY(rig.commands.deleteSelectedRoute(-1));
    QCOMPARE(readBytes(rig.book.path()), QByteArray("[]\r\nprice=1\r\n[7]\r\nprice=2\r\n"));
    QCOMPARE(rig.routes.rowCount(), 2);
    QCOMPARE(rig.logTexts(), (QStringList{u"已删除航线："_s, u"已重新读取上次保存的监控航线！"_s}));
}

void TstRouteCommands::searchPages_followTheRouteKind() {
    Rig rig;
    writeBytes(
        RouteBook::routeFilePath(rig.dir.path()),
        *encodeGbk(u"[1]\r\ndepDate=2014-11-20\r\ndepCityName=成都\r\narrCityName=上海\r\ntype="
                   u"domestic\r\n"
                   u"[2]\r\ndepDate=2014-11-20\r\ndepCityName=成都\r\narrCityName=香港\r\ntype="
                   u"international\r\n"
                   u"[3]\r\ndepDate=2014-11-20\r\ndepCityName=成都\r\narrCityName=上海\r\n"_s));
    loadRouteBook(rig.book, rig.routes);
    rig.commands.openRouteSearchPage(0);
    rig.commands.openRouteSearchPage(1);
    rig.commands.openRouteSearchPage(2);  // no type: nothing
    rig.commands.openRouteSearchPage(-1); // no row: nothing
    QCOMPARE(rig.opener.opened.size(), 2);
    QVERIFY(rig.opener.opened[0].contains(
        u"/flight_search_result.htm?tripType=0&depCityName=%B3%C9%B6%BC"
        "&depDate=2014-11-20&arrCityName=%C9%CF%BA%A3&searchBy=&pid="));
    QVERIFY(rig.opener.opened[1].contains(
        u"/ie/flight_searcher.htm?searchBy=&tripType=0&depCityName=%B3%C9%B6%BC"
        "&arrCityName=%CF%E3%B8%DB&depDate=2014-11-20&arrDate=&pid="));
}

void TstRouteCommands::versionText_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("line");
    QTest::newRow("the current version")
        << u"2.2*x"_s << u"  版本：2.2 (www.relay.test) 支持国内、国际·港澳台机票的监控"_s;
    QTest::newRow("a newer version") << u"2.3*x"_s << u"  版本：2.2 (最新版本：2.3*x)"_s;
    QTest::newRow("one field") << u"2.3*"_s << u"  版本：2.2 (获取服务器版本信息失败)"_s;
    QTest::newRow("no separator") << u"2.3"_s << u"  版本：2.2 (获取服务器版本信息失败)"_s;
    QTest::newRow("no answer") << QString() << u"  版本：2.2 (获取服务器版本信息失败)"_s;
    QTest::newRow("three fields") << u"2.3*x*y"_s << u"  版本：2.2 (获取服务器版本信息失败)"_s;
}

void TstRouteCommands::versionText() {
    QFETCH(QString, file);
    QFETCH(QString, line);
    Endpoints endpoints = Endpoints::defaults();
    endpoints.relaySite = u"www.relay.test"_s;
    QCOMPARE(frameSecondLine(versionTextFrom(file, endpoints)), line);

    // The whole check against a server that never answers stays bounded.
    ScriptedServer silent([](const QByteArray&) {
        ScriptedServer::Answer answer;
        answer.silent = true;
        return answer;
    });
    endpoints.updateBase = silent.url(QString());
    HttpFetcher fetcher;
    if (file.isEmpty()) {
        QCOMPARE(skylark::versionText(fetcher, endpoints), u"2.2 (获取服务器版本信息失败)"_s);
    }
}

void TstRouteCommands::versionCheck_isBoundedAgainstATrickle() {
    // A version file sent one byte every 100 ms: never quiet for long, done after 3 s.
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\n";
    ScriptedServer trickle([&](const QByteArray&) {
        return ScriptedServer::Answer{head + "2.3*x" + QByteArray(25, ' '), 0, 100, head.size()};
    });
    Endpoints endpoints = Endpoints::defaults();
    endpoints.updateBase = trickle.url(QString());
    HttpFetcher fetcher;
    QCOMPARE(skylark::versionText(fetcher, endpoints, 0.5), u"2.2 (获取服务器版本信息失败)"_s);
}

void TstRouteCommands::add_trimsTheLineEndOfTheRouteKind() {
    Rig rig;
    rig.relayAnswer = "true&international\r\n";
    const AddRouteResult result = rig.add(u"北京"_s, u"东京"_s, u"900"_s);
    QVERIFY2(result.added, qPrintable(result.message));
    QCOMPARE(rig.book.routeKindOf(result.routeId), u"international"_s);
}

void TstRouteCommands::greeting_andRouteBookLoad() {
    Rig rig;
    QVERIFY(rig.book.appendRoute(
        {u"1"_s, u"成都"_s, u"上海"_s, u"2015-02-07"_s, u"500"_s, u"domestic"_s}));
    Endpoints endpoints = Endpoints::defaults();
    endpoints.homePage = u"http://www.maker.test"_s;
    endpoints.relaySite = u"www.relay.test"_s;
    greetAndLoadRoutes(rig.log, endpoints, rig.book, rig.routes);
    const QStringList log = rig.logTexts();
    QCOMPARE(log.size(), 6);
    QCOMPARE(log[0], u"欢迎您使用本软件,本软件由翔云网(www.maker.test)提供,谢谢您的使用！"_s);
    QCOMPARE(log[1], u"欢迎访问我们的最新主页：www.relay.test"_s);
    QVERIFY(log[2].startsWith(u"操作提示：点关闭按扭后"));
    QVERIFY(log[3].startsWith(u"操作提示：右键点击航线监控列表上的航线"));
    QVERIFY(log[4].startsWith(u"提示：此软件可能会存在杀毒软件的误报现象"));
    QCOMPARE(log[5], u"已读取上次保存的监控航线！"_s);
    QCOMPARE(rig.routes.rowCount(), 1);
    QCOMPARE(exitQuestion(), u"是否关闭 鸿雁票讯(翔云旅行) 国际版 ?"_s);

    Settings settings(rig.dir.path());
    writeBytes(settings.settingsPath(), "[nowindow]\r\nselect=1\r\n[weixin]\r\nOPEN=0\r\n");
    const CheckBoxStates states = initialCheckBoxStates(settings);
    QVERIFY(states.noAlertWindow);
    QVERIFY(!states.pushAlerts);
}

void TstRouteCommands::navigationSound_isMutedOnceAndRestored() {
    MemoryNavigationSound store;
    store.value = u"C:\\media\\start.wav"_s;
    QVERIFY(setNavigationSoundMuted(store, true));
    QVERIFY(setNavigationSoundMuted(store, true)); // a second start without exit
    QCOMPARE(*store.value, u"C:\\media\\start.wav1"_s);
    QCOMPARE(store.writes, 1);
    QVERIFY(setNavigationSoundMuted(store, false));
    QCOMPARE(*store.value, u"C:\\media\\start.wav"_s);
    QVERIFY(setNavigationSoundMuted(store, false));
    QCOMPARE(*store.value, u"C:\\media\\start.wav"_s);

    MemoryNavigationSound ownOne; // a path that ended in "1" before the first start
    ownOne.value = u"C:\\media\\beep1"_s;
    QVERIFY(setNavigationSoundMuted(ownOne, true));
    QVERIFY(setNavigationSoundMuted(ownOne, false));
    QCOMPARE(*ownOne.value, u"C:\\media\\beep1"_s);
    QCOMPARE(ownOne.writes, 0);

    MemoryNavigationSound blank;
    blank.value = u" \u3000"_s;
    QVERIFY(!setNavigationSoundMuted(blank, true));
    NoNavigationSound none;
    QVERIFY(!setNavigationSoundMuted(none, true));
    QVERIFY(!setNavigationSoundMuted(none, false));
}

QTEST_GUILESS_MAIN(TstRouteCommands)
#include "tst_routecommands.moc"
