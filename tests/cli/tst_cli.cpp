#include "common/Disks.h"
#include "common/Files.h"
#include "common/SmtpServer.h"
#include "notify/PushAlerts.h"
#include "sim/DemoServer.h"
#include "text/Gbk.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <csignal>
#include <optional>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QStringList out; // lines
    QString err;
};

} // namespace

class TstCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void addThenMonitorOneRound_endToEnd();
    void exitStatus_data();
    void exitStatus();
    void unreadableRules_areSaidOnStandardError();
    void secretFromStandardInput_data();
    void secretFromStandardInput();
    void commandHelp_comesFromItsDeclaration_data();
    void commandHelp_comesFromItsDeclaration();
    void openPrintsTheSearchPage();
    void interrupt_stopsMonitoringAfterTheRound_data();
    void interrupt_stopsMonitoringAfterTheRound();
    void secondInterrupt_exitsAtOnce();
    void secondMonitor_isRefused();
    void failedWrites_areReportedAndChangeNothing_data();
    void failedWrites_areReportedAndChangeNothing();
    void unlistedRoutes_areSaidAndNotAdded();
    void history_listsExportsAndSaysWhyNotFound();
    void historyExport_onlyReplacesRegularFiles_data();
    void historyExport_onlyReplacesRegularFiles();
    void damagedHistory_exitsWithTheReason();
    void monitorLockThatCannotBeMade_saysWhyNotAnotherMonitor();
    void dataFiles_areTheUsersAlone();
    void add_withTheRelayUnreachable_saysSo();
    void channels_areSetListedAndTested();
    void monitor_mailsTheRoundBeforeItExits();
    void monitor_saysEachRoundsEndOnTheErrorStream();
    void routesContext_addsWhatTheHistoryKnows();
    void rules_areListedSetAndChecked();
    void rulesFlexible_areKeptOutOfTheRouteFile();

private:
    Run cli(const QStringList& arguments, const QStringList& prefix = {},
            const QByteArray& input = {});
    // A monitor process whose standard output has reached the text.
    void startMonitor(QProcess& process, const QStringList& options, const QByteArray& until,
                      QByteArray& out);

    // The route and settings files' bytes, to check that a command left them alone.
    QByteArray dataFiles() const {
        return readBytes(m_dir->filePath(u"DATA.dat"_s)) + '|' +
               readBytes(m_dir->filePath(u"config.ini"_s));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<sim::DemoServer> m_demo;
};

void TstCli::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_demo = std::make_unique<sim::DemoServer>();
    QVERIFY(m_demo->start());
    const QByteArray base = m_demo->baseUrl().toLatin1();
    writeBytes(m_dir->filePath(u"servers.ini"_s),
               "[relay]\r\nbase=" + base + "\r\n[update]\r\nbase=" + base +
                   "\r\n[faresource]\r\ndomestic=" + base + "\r\ninternational=" + base +
                   "\r\nchart=" + base + "\r\n");
}

Run TstCli::cli(const QStringList& arguments, const QStringList& prefix, const QByteArray& input) {
    QProcess process;
    const QStringList command =
        prefix + QStringList{QStringLiteral(SKYLARK_CLI_PATH), u"--data-dir"_s, m_dir->path()} +
        arguments;
    process.start(command.first(), command.mid(1));
    process.write(input);
    process.closeWriteChannel();
    // The demo server lives in this process: its thread answers while we wait here.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    Run run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TstCli::addThenMonitorOneRound_endToEnd() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    const QRegularExpression timed(u"^\\[\\d\\d:\\d\\d:\\d\\d\\]:(.*)$"_s);
    const auto text = [&](const QString& line) {
        const QRegularExpressionMatch match = timed.match(line);
        return match.hasMatch() ? match.captured(1) : u"(untimed) "_s + line;
    };

    const Run first = cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"500"_s});
    QCOMPARE(first.status, 0);
    QCOMPARE(first.out.size(), 1);
    QVERIFY(text(first.out[0]).startsWith(u"已添加航线："));
    const QString id1 = text(first.out[0]).mid(6);
    const Run second = cli({u"add"_s, u"北京"_s, u"东京"_s, date, u"1"_s});
    QCOMPARE(second.status, 0);
    const QString id2 = text(second.out.value(0)).mid(6);
    QVERIFY(id1 != id2);
    QCOMPARE(cli({u"push-settings"_s, u"demo"_s, u"10"_s}).status, 0);
    QCOMPARE(cli({u"push"_s, u"on"_s}).status, 0);
    m_demo->setFixedFare(u"成都"_s, u"上海"_s, 300);

    const Run round = cli({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s});
    QCOMPARE(round.status, 0);
    QStringList texts;
    for (const QString& line : round.out) {
        texts.append(text(line));
    }
    QCOMPARE(texts.size(), 8);
    QCOMPARE(texts.mid(0, 5), (QStringList{u"已开启自动查询，每轮自动刷时间隔为：记录数*60秒！"_s,
                                           u"共有待搜索航线：2条"_s, u"正在搜索航线："_s + id1,
                                           u"航线："_s + id1 + u"，当前最低价格：300，有特价票！"_s,
                                           u"正在搜索航线："_s + id2}));
    QVERIFY(texts[5].startsWith(u"已搜索航线："_s + id2 + u"，当前最低价格："_s));
    QCOMPARE(texts.mid(6), (QStringList{u"发送微信提醒结果：ok"_s, u"本轮航班搜索结束！"_s}));
    QVERIFY(round.err.contains(u"特价：成都-上海 "_s + date + u" 300"_s));
    QVERIFY(round.err.contains(u'\a'));
    // The state goes to the error stream only: the counts of the round, and no next round
    // after the last one.
    QVERIFY2(round.err.contains(u"第 1 轮结束：上一轮 "_s) &&
                 round.err.contains(u" 秒：找到 2，特价 1，未找到 0\n"_s),
             qPrintable(round.err));

    const QString book = u"["_s + id1 + u"]\r\ndepDate="_s + date +
                         u"\r\ndepCityName=成都\r\narrCityName=上海\r\nprice=500\r\n"
                         u"type=domestic\r\n["_s +
                         id2 + u"]\r\ndepDate="_s + date +
                         u"\r\ndepCityName=北京\r\n"
                         u"arrCityName=东京\r\nprice=1\r\ntype=international\r\n"_s;
    QCOMPARE(readBytes(m_dir->filePath(u"DATA.dat"_s)), *encodeGbk(book));
    const QList<sim::InboxMessage> inbox = m_demo->inbox();
    QCOMPARE(inbox.size(), 1);
    QCOMPARE(inbox.first().bindingId, u"demo"_s);
    QCOMPARE(inbox.first().content,
             u"亲，翔云旅行已监测到 1 条符合条件的机票！\r\n成都-上海 "_s + date + u" 300\r\n"_s);

    const Run list = cli({u"routes"_s});
    QCOMPARE(list.out, (QStringList{id1 + u"\t成都\t上海\t"_s + date + u"\t500\tdomestic"_s,
                                    id2 + u"\t北京\t东京\t"_s + date + u"\t1\tinternational"_s}));
    const Run removed = cli({u"delete"_s, id1});
    QCOMPARE(removed.status, 0);
    QCOMPARE(text(removed.out.value(0)), u"已删除航线："_s + id1);
    QCOMPARE(text(removed.out.value(1)), u"已重新读取上次保存的监控航线！"_s);
    QCOMPARE(cli({u"routes"_s}).out.size(), 1);
}

void TstCli::exitStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorText");
    QTest::newRow("help") << QStringList{u"--help"_s} << 0 << QString();
    QTest::newRow("no command") << QStringList{} << 2 << u"Usage:"_s;
    QTest::newRow("an unknown command") << QStringList{u"fly"_s} << 2 << u"Usage:"_s;
    QTest::newRow("a date that is no date")
        << QStringList{u"add"_s, u"成都"_s, u"上海"_s, u"tomorrow"_s, u"500"_s} << 2 << u"Usage:"_s;
    QTest::newRow("a price of 0") << QStringList{u"add"_s, u"成都"_s, u"上海"_s, u"2099-01-01"_s,
                                                 u"0"_s}
                                  << 1 << u"监控价格不能小于或等于0！"_s;
    QTest::newRow("an unknown city")
        << QStringList{u"add"_s, u"火星"_s, u"上海"_s, u"2099-01-01"_s, u"500"_s} << 1
        << u"出发城市或到达城市填写有误，请重新输入！ 注：该版本已同时支持国内和国际航线的查询！"_s;
    QTest::newRow("deleting a route that is not there")
        << QStringList{u"delete"_s, u"123"_s} << 1 << u"没有该航线：123"_s;
    QTest::newRow("monitoring without routes")
        << QStringList{u"monitor"_s, u"--rounds"_s, u"1"_s} << 1
        << u"没有要监控的记录！请先添加监控航线后再开启监控！"_s;
    QTest::newRow("a push interval below 10") << QStringList{u"push-settings"_s, u"demo"_s, u"9"_s}
                                              << 1 << u"间隔时间必须大于等于10，请重新输入！"_s;
    QTest::newRow("push maybe") << QStringList{u"push"_s, u"maybe"_s} << 2 << u"Usage:"_s;
    QTest::newRow("a route period under 1 ms")
        << QStringList{u"monitor"_s, u"--route-period"_s, u"0"_s} << 2 << u"Usage:"_s;
}

void TstCli::exitStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, errorText);
    const Run run = cli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(errorText), qPrintable(run.err));
    if (arguments == QStringList{u"--help"_s}) {
        for (const QString& command :
             {u"routes"_s, u"add FROM TO DATE PRICE"_s, u"delete ID"_s, u"open ID [--print]"_s,
              u"monitor [--rounds N]"_s, u"push on|off"_s, u"push-settings ID MINUTES"_s,
              u"push-test ID"_s, u"version"_s, u"sim [--port P]"_s, u"--demo"_s}) {
            QVERIFY2(run.out.join(u'\n').contains(command), qPrintable(command));
        }
    }
}

// Rules that cannot be read are said where the user of monitor looks, and the round runs.
void TstCli::unreadableRules_areSaidOnStandardError() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"500"_s}).status, 0);
    QVERIFY(QDir(m_dir->path()).mkdir(u"rules.ini"_s));
    const Run run = cli({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err.count(u"无法读取监控规则（"_s), 1);
    QVERIFY2(run.err.contains(u"使用默认规则"_s), qPrintable(run.err));
    QVERIFY(run.out.join(u'\n').contains(u"本轮航班搜索结束！"_s));
}

void TstCli::secretFromStandardInput_data() {
    QTest::addColumn<QString>("value"); // the argument
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("stored"); // the line of alerts.ini, empty for none
    QTest::addColumn<bool>("warned");       // that the argument was visible to others
    QTest::newRow("a line of standard input")
        << u"-"_s << QByteArray("pa ss=word\n") << 0 << QByteArray("password=pa ss=word") << false;
    QTest::newRow("input without a line end")
        << u"-"_s << QByteArray("s3cret") << 0 << QByteArray("password=s3cret") << false;
    QTest::newRow("the first line only, CR LF too")
        << u"-"_s << QByteArray("one\r\ntwo\n") << 0 << QByteArray("password=one") << false;
    QTest::newRow("no input at all stores nothing")
        << u"-"_s << QByteArray() << 1 << QByteArray() << false;
    QTest::newRow("a line past 64 KiB stores nothing")
        << u"-"_s << QByteArray(70000, 'x') << 1 << QByteArray() << false;
    QTest::newRow("an argument is stored and said to be visible")
        << u"hunter2"_s << QByteArray() << 0 << QByteArray("password=hunter2") << true;
}

// A secret given on standard input never stands in the process's arguments; one given as
// an argument still works, and the user is told.
void TstCli::secretFromStandardInput() {
    QFETCH(QString, value);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, stored);
    QFETCH(bool, warned);
    const Run run = cli({u"channel"_s, u"set"_s, u"email"_s, u"password"_s, value}, {}, input);
    QCOMPARE(run.status, status);
    QCOMPARE(run.err.contains(u"对本机的其他用户可见"_s), warned);
    QVERIFY(!run.err.contains(u"hunter2"_s));
    const QByteArray file = readBytes(m_dir->filePath(u"alerts.ini"_s));
    if (stored.isEmpty()) {
        QVERIFY(!file.contains("password="));
    } else {
        QVERIFY2(file.split('\n').contains(stored), file.constData());
    }
}

void TstCli::commandHelp_comesFromItsDeclaration_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("notShown");
    QTest::newRow("channel") << QStringList{u"channel"_s, u"--help"_s}
                             << QStringList{u"channel set NAME KEY VALUE"_s,
                                            u"channel on|off NAME"_s, u"channel test NAME"_s}
                             << u"routes [--context]"_s;
    QTest::newRow("history, with its options")
        << QStringList{u"history"_s, u"--help"_s}
        << QStringList{u"history --keep-days N"_s, u"  --since YYYY-MM-DD"_s, u"  --csv"_s}
        << u"channel set"_s;
    QTest::newRow("a global option before the command")
        << QStringList{u"--demo"_s, u"add"_s, u"--help"_s}
        << QStringList{u"Usage: skylark-cli [--data-dir DIR] [--demo] add FROM TO DATE PRICE"_s}
        << u"Commands:"_s;
    QTest::newRow("help before the command is the whole usage")
        << QStringList{u"--help"_s, u"add"_s}
        << QStringList{u"Commands:"_s, u"add FROM TO DATE PRICE"_s, u"channels"_s} << QString();
}

void TstCli::commandHelp_comesFromItsDeclaration() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, shown);
    QFETCH(QString, notShown);
    const Run run = cli(arguments);
    QCOMPARE(run.status, 0);
    const QString text = run.out.join(u'\n');
    for (const QString& part : shown) {
        QVERIFY2(text.contains(part), qPrintable(part));
    }
    QVERIFY(notShown.isEmpty() || !text.contains(notShown));
}

void TstCli::openPrintsTheSearchPage() {
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"500"_s}).status, 0);
    const QString id = cli({u"routes"_s}).out.value(0).section(u'\t', 0, 0);
    const Run open = cli({u"open"_s, id, u"--print"_s});
    QCOMPARE(open.status, 0);
    QCOMPARE(open.out,
             QStringList{m_demo->baseUrl() +
                         u"/flight_search_result.htm?tripType=0&depCityName=%B3%C9%B6%BC"
                         "&depDate=2099-11-20&arrCityName=%C9%CF%BA%A3&searchBy=&pid="
                         "mm_10000000_0_0&ali_trackid=2:mm_10000000_0_0:skylark_links"_s});
    const Run version = cli({u"version"_s});
    QCOMPARE(
        version.out,
        QStringList{u"  版本：2.2 (www.skylark.example.com) 支持国内、国际·港澳台机票的监控"_s});
}

void TstCli::startMonitor(QProcess& process, const QStringList& options, const QByteArray& until,
                          QByteArray& out) {
    process.start(QStringLiteral(SKYLARK_CLI_PATH),
                  QStringList{u"--data-dir"_s, m_dir->path(), u"monitor"_s} + options);
    while (!out.contains(until) && process.waitForReadyRead(10000)) {
        out += process.readAllStandardOutput();
    }
    QVERIFY2(out.contains(until), out.constData());
}

void TstCli::interrupt_stopsMonitoringAfterTheRound_data() {
    QTest::addColumn<QString>("startDelay");
    QTest::addColumn<QByteArray>("interruptAfter");
    QTest::newRow("in the start wait") << u"3000"_s << QByteArray("已开启自动查询");
    QTest::newRow("while the fare is awaited") << u"0"_s << QByteArray("正在搜索航线");
}

void TstCli::interrupt_stopsMonitoringAfterTheRound() {
    QFETCH(QString, startDelay);
    QFETCH(QByteArray, interruptAfter);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"1"_s}).status, 0);
    m_demo->setMisbehaviour(sim::Endpoint::Calendar, sim::Misbehaviour::Slow, 500);
    QProcess process;
    QByteArray out;
    startMonitor(process, {u"--start-delay"_s, startDelay}, interruptAfter, out);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 0);
    out += process.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.last().endsWith(u"]:本轮航班搜索结束！"));
    // The route was asked for and answered, not abandoned as "未找到".
    QVERIFY2(QRegularExpression(u"]:已搜索航线：\\d+，当前最低价格：\\d+$"_s)
                 .match(lines[lines.size() - 2])
                 .hasMatch(),
             qPrintable(lines.join(u'\n')));
}

void TstCli::secondInterrupt_exitsAtOnce() {
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"1"_s}).status, 0);
    m_demo->setMisbehaviour(sim::Endpoint::Calendar, sim::Misbehaviour::Silent);
    QProcess process;
    QByteArray out;
    startMonitor(process, {u"--start-delay"_s, u"0"_s}, "正在搜索航线", out);
    ::kill(pid_t(process.processId()), SIGINT);
    QByteArray err;
    process.setReadChannel(QProcess::StandardError);
    while (!err.contains("再次中断") && process.waitForReadyRead(10000)) {
        err += process.readAllStandardError();
    }
    QVERIFY2(err.contains("再次中断"), err.constData());
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QVERIFY(!process.readAllStandardOutput().contains("本轮航班搜索结束"));
}

void TstCli::secondMonitor_isRefused() {
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"1"_s}).status, 0);
    QProcess first;
    QByteArray out;
    startMonitor(first, {u"--start-delay"_s, u"60000"_s}, "已开启自动查询", out);
    const Run second = cli({u"monitor"_s, u"--start-delay"_s, u"0"_s, u"--rounds"_s, u"1"_s});
    QCOMPARE(second.status, 1);
    QVERIFY2(second.err.contains(u"另一个监控"_s), qPrintable(second.err));
    QCOMPARE(second.out, QStringList());
    first.kill();
    first.waitForFinished();
}

void TstCli::failedWrites_areReportedAndChangeNothing_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("file");
    const QStringList add{u"add"_s, u"北京"_s, u"上海"_s, u"2099-11-21"_s, u"600"_s};
    const QStringList remove{u"delete"_s, u"FIRST"_s};
    QTest::newRow("full disk: add") << u"full"_s << add << u"DATA.dat"_s;
    QTest::newRow("full disk: delete") << u"full"_s << remove << u"DATA.dat"_s;
    QTest::newRow("unreadable route file: add") << u"unreadable"_s << add << u"DATA.dat"_s;
    QTest::newRow("unreadable route file: delete") << u"unreadable"_s << remove << u"DATA.dat"_s;
    QTest::newRow("full disk: push settings")
        << u"full"_s << QStringList{u"push-settings"_s, QString(3000, u'x'), u"10"_s}
        << u"config.ini"_s;
    QTest::newRow("full disk: push switch")
        << u"full"_s << QStringList{u"push"_s, u"off"_s} << u"config.ini"_s;
}

void TstCli::failedWrites_areReportedAndChangeNothing() {
    QFETCH(QString, fault);
    QFETCH(QStringList, command);
    QFETCH(QString, file);
    std::optional<SmallDisk> disk;
    QStringList prefix;
    if (fault == u"full") {
        disk.emplace(64);
        if (!disk->mounted()) {
            QSKIP("cannot mount a tmpfs here (needs root)");
        }
        const QByteArray servers = readBytes(m_dir->filePath(u"servers.ini"_s));
        m_dir = std::make_unique<QTemporaryDir>(disk->path() + u"/data-XXXXXX"_s);
        writeBytes(m_dir->filePath(u"servers.ini"_s), servers);
    }
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"500"_s}).status, 0);
    QCOMPARE(cli({u"add"_s, u"北京"_s, u"东京"_s, u"2099-11-20"_s, u"900"_s}).status, 0);
    QCOMPARE(cli({u"push-settings"_s, u"demo"_s, u"10"_s}).status, 0);
    QCOMPARE(cli({u"push"_s, u"on"_s}).status, 0);
    const QString routeFile = m_dir->filePath(u"DATA.dat"_s);
    const QString id = cli({u"routes"_s}).out.value(0).section(u'\t', 0, 0);
    command.replaceInStrings(u"FIRST"_s, id);
    if (fault == u"full") {
        disk->fillLeavingOnePage();
    } else if (runsAsRoot()) {
        // Root reads every file: run the command as another user who may write the folder.
        prefix = {u"setpriv"_s, u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
        QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777));
        if (QProcess::execute(
                prefix.first(),
                prefix.mid(1) + QStringList{QStringLiteral(SKYLARK_CLI_PATH), u"--help"_s}) != 0) {
            QSKIP("the test programs cannot run as another user here");
        }
    }
    const QByteArray routes = readBytes(routeFile);
    const QByteArray settings = readBytes(m_dir->filePath(u"config.ini"_s));
    if (fault == u"unreadable") {
        QVERIFY(QFile::setPermissions(routeFile, QFileDevice::WriteOwner));
    }
    const Run run = cli(command, prefix);
    QFile::setPermissions(routeFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(file), qPrintable(run.err));
    QCOMPARE(run.out.filter(u"已添加航线"_s), QStringList());
    QCOMPARE(run.out.filter(u"已删除航线"_s), QStringList());
    QCOMPARE(readBytes(routeFile), routes);
    QCOMPARE(readBytes(m_dir->filePath(u"config.ini"_s)), settings);
}

void TstCli::unlistedRoutes_areSaidAndNotAdded() {
    // One section name past the listing limit hides everything after it.
    writeBytes(m_dir->filePath(u"DATA.dat"_s),
               "[1]\r\nprice=5\r\n[" + QByteArray(210000, 'g') + "]\r\n[2]\r\nprice=6\r\n");
    const Run routes = cli({u"routes"_s});
    QCOMPARE(routes.status, 0);
    QCOMPARE(routes.out.size(), 1);
    QVERIFY2(routes.err.contains(u" 2 条航线"_s), qPrintable(routes.err));
    const Run add = cli({u"add"_s, u"北京"_s, u"上海"_s, u"2099-11-21"_s, u"600"_s});
    QCOMPARE(add.status, 1);
    QVERIFY2(add.err.contains(u"航线记录过多"_s), qPrintable(add.err));
}

void TstCli::history_listsExportsAndSaysWhyNotFound() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    m_demo->setFixedFare(u"成都"_s, u"上海"_s, 300);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"500"_s}).status, 0);
    QCOMPARE(cli({u"add"_s, u"北京"_s, u"东京"_s, date, u"500"_s}).status, 0);
    const QStringList ids{cli({u"routes"_s}).out.value(0).section(u'\t', 0, 0),
                          cli({u"routes"_s}).out.value(1).section(u'\t', 0, 0)};
    // A kind the fare source has no calendar for, written by another program.
    const QString book = m_dir->filePath(u"DATA.dat"_s);
    writeBytes(book, readBytes(book).replace("type=international", "type=charter"));
    const Run round = cli({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s});
    QCOMPARE(round.status, 0);
    QVERIFY2(
        round.err.contains(u"未找到 "_s + ids[1] + u"：未知的航线类型 (unknown-route-kind)\n"_s),
        qPrintable(round.err));
    QVERIFY(!round.err.contains(u"未找到 "_s + ids[0]));

    const Run listed = cli({u"history"_s, ids[0]});
    QCOMPARE(listed.status, 0);
    QCOMPARE(listed.out.size(), 1);
    QVERIFY(listed.out[0].endsWith(u"\t300\tfound"_s));
    QVERIFY(cli({u"history"_s, ids[1]}).out.value(0).endsWith(u"\t-\tunknown-route-kind"_s));
    QCOMPARE(cli({u"history"_s, ids[0], u"--since"_s, date}).out, QStringList());
    QCOMPARE(cli({u"history"_s, ids[0], u"--csv"_s}).out.size(), 2);
    const QString file = m_dir->filePath(u"all.csv"_s);
    QCOMPARE(cli({u"history"_s, u"--export"_s, file}).status, 0);
    QCOMPARE(readBytes(file).count("\r\n"), 3);
    QCOMPARE(cli({u"history"_s, ids[0], u"--since"_s, u"yesterday"_s}).status, 2);
    QCOMPARE(cli({u"history"_s, u"--keep-days"_s, u"0"_s}).status, 2);
    QCOMPARE(cli({u"history"_s, u"--keep-days"_s, u"30"_s}).status, 0);
    // Standard output takes the same CSV.
    const Run piped = cli({u"history"_s, u"--export"_s, u"-"_s});
    QCOMPARE(piped.status, 0);
    QCOMPARE(piped.out.size(), 3);
    QVERIFY(piped.out[0].startsWith(u"route_id,"_s));
}

void TstCli::historyExport_onlyReplacesRegularFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::newRow("a FIFO is refused") << u"fifo"_s << 1;
    QTest::newRow("a character device is refused") << u"device"_s << 1;
    QTest::newRow("a symbolic link has its target replaced") << u"link"_s << 0;
}

void TstCli::historyExport_onlyReplacesRegularFiles() {
    QFETCH(QString, kind);
    QFETCH(int, status);
    QCOMPARE(cli({u"history"_s, u"--keep-days"_s, u"30"_s}).status, 0); // makes the store
    const QString target = m_dir->filePath(u"export.csv"_s);
    const QByteArray name = QFile::encodeName(target);
    const QString kept = m_dir->filePath(u"kept.csv"_s);
    if (kind == u"link") {
        writeBytes(kept, "old");
        QVERIFY(QFile::link(kept, target));
    } else if (!makeSpecialFile(target, kind)) {
        QSKIP("cannot make it here (a device node needs root)");
    }
    QCOMPARE(cli({u"push"_s, u"on"_s}).status, 0);
    const QByteArray before = dataFiles();
    const Run exported = cli({u"history"_s, u"--export"_s, target});
    QCOMPARE(exported.status, status);
    QCOMPARE(dataFiles(), before);
    struct stat after {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    if (kind == u"link") {
        QVERIFY(S_ISLNK(after.st_mode));
        QVERIFY(readBytes(kept).startsWith("route_id,"));
    } else {
        QVERIFY2(exported.err.contains(u"不是普通文件"_s), qPrintable(exported.err));
        QVERIFY(kind == u"fifo" ? S_ISFIFO(after.st_mode) : S_ISCHR(after.st_mode));
    }
}

void TstCli::damagedHistory_exitsWithTheReason() {
    QCOMPARE(cli({u"history"_s, u"--keep-days"_s, u"30"_s}).status, 0);
    writeBytes(m_dir->filePath(u"history.sqlite"_s), QByteArray(8192, 'x'));
    const QString good = m_dir->filePath(u"good.csv"_s);
    writeBytes(good, "route_id\r\n1\r\n");
    QCOMPARE(cli({u"push"_s, u"on"_s}).status, 0);
    const QByteArray before = dataFiles();
    for (const QStringList& command :
         {QStringList{u"history"_s, u"1"_s}, {u"history"_s, u"--export"_s, good}}) {
        const Run run = cli(command);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u"history.sqlite"_s), qPrintable(run.err));
    }
    QCOMPARE(readBytes(good), "route_id\r\n1\r\n"_ba);
    QCOMPARE(dataFiles(), before);
}

void TstCli::monitorLockThatCannotBeMade_saysWhyNotAnotherMonitor() {
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"1"_s}).status, 0);
    QVERIFY(QDir(m_dir->path()).mkdir(u"monitor.lock"_s));
    const QByteArray before = dataFiles();
    const Run run = cli({u"monitor"_s, u"--start-delay"_s, u"0"_s, u"--rounds"_s, u"1"_s});
    QCOMPARE(dataFiles(), before);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"不是普通文件"_s), qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"另一个监控"_s), qPrintable(run.err));
}

// Another local user reads none of the data directory the program made, nor its files.
void TstCli::dataFiles_areTheUsersAlone() {
    const QString data = m_dir->filePath(u"made/data"_s);
    const QString servers = m_dir->filePath(u"servers.ini"_s);
    const auto run = [&](const QStringList& arguments) {
        if (QFileInfo::exists(data) && !QFileInfo::exists(data + u"/servers.ini"_s)) {
            QFile::copy(servers, data + u"/servers.ini"_s); // the test's demo server
        }
        QProcess process;
        process.start(QStringLiteral(SKYLARK_CLI_PATH),
                      QStringList{u"--data-dir"_s, data} + arguments);
        const int status = process.waitForFinished(30000) ? process.exitCode() : -1;
        if (status != 0) {
            qWarning("%s", process.readAllStandardError().constData());
        }
        return status;
    };
    QCOMPARE(run({u"push"_s, u"on"_s}), 0); // makes the folder, with no server needed
    QCOMPARE(run({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"500"_s}), 0);
    QCOMPARE(run({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s}), 0);
    QCOMPARE(QFileInfo(data).permissions() & 0x0777, QFile::Permissions(0x0700));
    for (const QString& name : {u"DATA.dat"_s, u"config.ini"_s, u"history.sqlite"_s}) {
        QVERIFY2(QFileInfo::exists(QDir(data).filePath(name)), qPrintable(name));
        QCOMPARE(QFileInfo(QDir(data).filePath(name)).permissions() & 0x0777,
                 QFile::Permissions(0x0600));
    }
}

void TstCli::add_withTheRelayUnreachable_saysSo() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
    closed.close();
    writeBytes(m_dir->filePath(u"servers.ini"_s), "[relay]\r\nbase=" + base + "\r\n");
    const Run add = cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"500"_s});
    QCOMPARE(add.status, 1);
    QVERIFY2(add.err.contains(u"出发城市或到达城市填写错误"_s) &&
                 add.err.contains(u"城市查询失败：无法连接服务器"_s),
             qPrintable(add.err));
}

void TstCli::channels_areSetListedAndTested() {
    SmtpServer smtp({true, u"alice"_s, u"pass word"_s});
    QVERIFY(smtp.listening());
    const QList<QStringList> settings{
        {u"server"_s, u"127.0.0.1"_s},   {u"port"_s, QString::number(smtp.port())},
        {u"security"_s, u"starttls"_s},  {u"user"_s, u"alice"_s},
        {u"password"_s, u"pass word"_s}, {u"from"_s, u"skylark@example.com"_s},
        {u"to"_s, u"me@example.com"_s},  {u"ca-file"_s, smtp.caFile()}};
    for (const QStringList& setting : settings) {
        const Run set = cli(QStringList{u"channel"_s, u"set"_s, u"email"_s} + setting);
        QVERIFY2(set.status == 0, qPrintable(set.err));
    }
    QCOMPARE(cli({u"channel"_s, u"on"_s, u"email"_s}).status, 0);

    const Run listed = cli({u"channels"_s});
    QCOMPARE(listed.status, 0);
    QCOMPARE(listed.out.size(), 4);
    QCOMPARE(listed.out[0], u"desktop\toff\tmin-minutes="_s);
    QVERIFY2(listed.out[1].startsWith(u"email\ton\tserver=127.0.0.1\tport="_s),
             qPrintable(listed.out[1]));
    QVERIFY(listed.out[1].contains(u"\tpassword=******\t"_s));
    QVERIFY(!listed.out.join(u'\n').contains(u"pass word"_s));

    const Run tested = cli({u"channel"_s, u"test"_s, u"email"_s});
    QVERIFY2(tested.status == 0, qPrintable(tested.err));
    QCOMPARE(tested.out, QStringList{u"测试：发送邮件提醒结果：已发送"_s});
    QTRY_COMPARE_WITH_TIMEOUT(smtp.messages().size(), 1, 20000);
    QCOMPARE(smtp.messages()[0][u"subject"_s].toString(), u"鸿雁票讯：测试提醒"_s);
    QCOMPARE(smtp.messages()[0][u"rcpt_tos"_s].toArray().first().toString(), u"me@example.com"_s);

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QString::number(closed.serverPort());
    closed.close();
    QCOMPARE(cli({u"channel"_s, u"set"_s, u"email"_s, u"port"_s, closedPort}).status, 0);
    const Run refused = cli({u"channel"_s, u"test"_s, u"email"_s});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(u"发送邮件提醒结果：失败（连接被拒绝）"_s),
             qPrintable(refused.err));
    QVERIFY(!refused.err.contains(u"pass word"_s));

    const Run badPort = cli({u"channel"_s, u"set"_s, u"email"_s, u"port"_s, u"70000"_s});
    QCOMPARE(badPort.status, 1);
    QVERIFY(badPort.err.contains(u"邮件的端口必须是 1 到 65535 之间的整数"_s));
    // An unknown channel, key or verb is a usage error.
    for (const QStringList& unknown : {QStringList{u"channel"_s, u"test"_s, u"sms"_s},
                                       {u"channel"_s, u"on"_s, u"sms"_s},
                                       {u"channel"_s, u"set"_s, u"sms"_s, u"url"_s, u"x"_s},
                                       {u"channel"_s, u"set"_s, u"email"_s, u"colour"_s, u"x"_s},
                                       {u"channel"_s, u"ring"_s, u"email"_s},
                                       {u"rules"_s, u"set"_s, u"quiet"_s, u"on"_s}}) {
        const Run run = cli(unknown);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(u"Usage:"_s), qPrintable(unknown.join(u' ')));
    }
    QVERIFY(cli({u"channel"_s, u"test"_s, u"sms"_s}).err.startsWith(u"没有名为 sms 的提醒方式"_s));
}

void TstCli::monitor_mailsTheRoundBeforeItExits() {
    SmtpServer smtp;
    QVERIFY(smtp.listening());
    for (const QStringList& setting : QList<QStringList>{{u"server"_s, u"127.0.0.1"_s},
                                                         {u"port"_s, QString::number(smtp.port())},
                                                         {u"security"_s, u"none"_s},
                                                         {u"from"_s, u"skylark@example.com"_s},
                                                         {u"to"_s, u"me@example.com"_s}}) {
        QCOMPARE(cli(QStringList{u"channel"_s, u"set"_s, u"email"_s} + setting).status, 0);
    }
    QCOMPARE(cli({u"channel"_s, u"on"_s, u"email"_s}).status, 0);
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"99999"_s}).status, 0);

    const Run monitored = cli({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s});
    QVERIFY2(monitored.status == 0, qPrintable(monitored.err));
    QVERIFY2(monitored.out.join(u'\n').contains(u"发送邮件提醒结果：已发送"_s),
             qPrintable(monitored.out.join(u'\n')));
    QTRY_COMPARE_WITH_TIMEOUT(smtp.messages().size(), 1, 20000);
    QVERIFY(smtp.messages()[0][u"subject"_s].toString().startsWith(u"鸿雁票讯：成都→上海 "_s));
}

void TstCli::monitor_saysEachRoundsEndOnTheErrorStream() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"1"_s}).status, 0);
    const Run run = cli({u"monitor"_s, u"--rounds"_s, u"2"_s, u"--start-delay"_s, u"0"_s,
                         u"--route-period"_s, u"0.05"_s});
    QCOMPARE(run.status, 0);
    const QRegularExpression first(
        u"第 1 轮结束：上一轮 \\d+\\.\\d 秒：找到 1，特价 0，未找到 0；下一轮 \\d\\d:\\d\\d:\\d\\d\n"_s);
    QVERIFY2(first.match(run.err).hasMatch(), qPrintable(run.err));
    QVERIFY(run.err.contains(u"第 2 轮结束：上一轮 "_s));
    QVERIFY(!run.err.section(u"第 2 轮结束："_s, 1).contains(u"下一轮"_s));
    QVERIFY(!run.out.join(u'\n').contains(u"轮结束"_s));
}

void TstCli::routesContext_addsWhatTheHistoryKnows() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"500"_s}).status, 0);
    const Run before = cli({u"routes"_s, u"--context"_s});
    QCOMPARE(before.status, 0);
    QCOMPARE(before.out.size(), 1);
    QVERIFY2(before.out[0].endsWith(u"\tdomestic\t-\t-\t-\t-\t-\t0\t-\t-\t-"_s),
             qPrintable(before.out[0]));

    m_demo->setFixedFare(u"成都"_s, u"上海"_s, 300);
    QCOMPARE(cli({u"monitor"_s, u"--rounds"_s, u"1"_s, u"--start-delay"_s, u"0"_s}).status, 0);
    const Run after = cli({u"routes"_s, u"--context"_s});
    QCOMPARE(after.status, 0);
    const QStringList columns = after.out.value(0).split(u'\t');
    QCOMPARE(columns.size(), 15);
    QCOMPARE(columns[6], u"300"_s);
    QVERIFY(QDateTime::fromString(columns[7], Qt::ISODate).isValid());
    // Every day of the answer costs the same: none nearby is cheaper.
    QCOMPARE(columns.mid(8),
             (QStringList{u"300"_s, columns[7], u"300"_s, u"1"_s, u"-"_s, u"-"_s, u"-"_s}));
    QCOMPARE(cli({u"routes"_s}).out.value(0).split(u'\t').size(), 6);
}

void TstCli::rules_areListedSetAndChecked() {
    const QStringList defaults{u"once-per-drop\t-\t每次降价只提醒一次"_s,
                               u"drop-by\t-\t再次提醒需再降（元）"_s,
                               u"confirm-seconds\t-\t再查一次确认（秒后）"_s,
                               u"quiet-hours\t-\t免打扰时段"_s,
                               u"urgent-percent\t-\t低于监控价格超过多少 % 时照常提醒"_s,
                               u"watchdog\t-\t提醒长期未找到的航线"_s,
                               u"stale-rounds\t-\t连续未找到的轮数"_s,
                               u"stale-hours\t-\t或多少小时未找到票价"_s,
                               u"back-off\t-\t票价来源拒绝时放慢"_s};
    QCOMPARE(cli({u"rules"_s}).out, defaults);
    QCOMPARE(cli({u"rules"_s, u"set"_s, u"back-off"_s, u"on"_s}).status, 0);
    QCOMPARE(cli({u"rules"_s, u"set"_s, u"stale-rounds"_s, u"3"_s}).status, 0);
    QStringList changed = defaults;
    changed[6] = u"stale-rounds\t3\t连续未找到的轮数"_s;
    changed[8] = u"back-off\ton\t票价来源拒绝时放慢"_s;
    QCOMPARE(cli({u"rules"_s}).out, changed);
    QVERIFY(readBytes(m_dir->filePath(u"rules.ini"_s)).contains("back-off=on\n"));
    const QList<std::pair<QStringList, QString>> refused{
        {{u"back-off"_s, u"maybe"_s}, u"必须是 on 或 off"_s},
        {{u"stale-rounds"_s, u"0"_s}, u"必须是 1 到 10000 之间的整数"_s},
        {{u"stale-hours"_s, u"a day"_s}, u"必须是 1 到 8784 之间的整数"_s},
        {{u"quiet-hours"_s, u"22:00-22:00"_s}, u"必须写成 22:00-07:00 的样子"_s},
        {{u"confirm-seconds"_s, u"-1"_s}, u"必须是 0 到 3600 之间的整数"_s},
        {{u"urgent-percent"_s, u"101"_s}, u"必须是 0 到 100 之间的数"_s}};
    for (const auto& [setting, message] : refused) {
        const Run bad = cli(QStringList{u"rules"_s, u"set"_s} + setting);
        QCOMPARE(bad.status, 1);
        QVERIFY2(bad.err.contains(message), qPrintable(bad.err));
    }
    QCOMPARE(cli({u"rules"_s, u"set"_s, u"back-off"_s, QString()}).status, 0);
    QCOMPARE(cli({u"rules"_s, u"set"_s, u"stale-rounds"_s, QString()}).status, 0);
    QCOMPARE(cli({u"rules"_s}).out, defaults);
    QCOMPARE(cli({u"rules"_s, u"unset"_s}).status, 2);
}

void TstCli::rulesFlexible_areKeptOutOfTheRouteFile() {
    const QString date = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, date, u"500"_s}).status, 0);
    const QString id = cli({u"routes"_s}).out.value(0).section(u'\t', 0, 0);
    const QByteArray routeFile = readBytes(m_dir->filePath(u"DATA.dat"_s));
    QCOMPARE(cli({u"rules"_s, u"flexible"_s, id, u"2"_s}).status, 0);
    QCOMPARE(cli({u"rules"_s}).out.last(), u"flexible %1\t2\t前后浮动的天数"_s.arg(id));
    const QByteArray line = "[flexible]\n" + id.toUtf8() + "=2\n";
    QVERIFY(readBytes(m_dir->filePath(u"rules.ini"_s)).contains(line));
    QCOMPARE(readBytes(m_dir->filePath(u"DATA.dat"_s)), routeFile);
    const QList<std::pair<QStringList, QString>> refused{
        {{u"12345"_s, u"1"_s}, u"没有该航线：12345"_s},
        {{id, u"4"_s}, u"必须是 0 到 3 之间的整数"_s},
        {{id, u"one"_s}, u"必须是 0 到 3 之间的整数"_s}};
    for (const auto& [setting, message] : refused) {
        const Run bad = cli(QStringList{u"rules"_s, u"flexible"_s} + setting);
        QCOMPARE(bad.status, 1);
        QVERIFY2(bad.err.contains(message), qPrintable(bad.err));
    }
    QCOMPARE(cli({u"rules"_s, u"flexible"_s, id, u"0"_s}).status, 0);
    QVERIFY(!cli({u"rules"_s}).out.join(u'\n').contains(u"flexible"_s));
    // A deleted route's days go with it: a later route of its identifier has none.
    QCOMPARE(cli({u"rules"_s, u"flexible"_s, id, u"3"_s}).status, 0);
    QCOMPARE(cli({u"delete"_s, id}).status, 0);
    QVERIFY(!readBytes(m_dir->filePath(u"rules.ini"_s)).contains(id.toUtf8()));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
