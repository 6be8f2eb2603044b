#include "common/Files.h"
#include "notify/PushAlerts.h"
#include "sim/DemoServer.h"
#include "text/Gbk.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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
    void openPrintsTheSearchPage();
    void interrupt_stopsMonitoringAfterTheRound();

private:
    Run cli(const QStringList& arguments);

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

Run TstCli::cli(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(SKYLARK_CLI_PATH),
                  QStringList{u"--data-dir"_s, m_dir->path()} + arguments);
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

void TstCli::interrupt_stopsMonitoringAfterTheRound() {
    QCOMPARE(cli({u"add"_s, u"成都"_s, u"上海"_s, u"2099-11-20"_s, u"1"_s}).status, 0);
    m_demo->setMisbehaviour(sim::Endpoint::Calendar, sim::Misbehaviour::Slow, 500);
    QProcess process;
    process.start(QStringLiteral(SKYLARK_CLI_PATH),
                  {u"--data-dir"_s, m_dir->path(), u"monitor"_s, u"--start-delay"_s, u"0"_s});
    QByteArray out;
    while (!out.contains("正在搜索航线") && process.waitForReadyRead(10000)) {
        out += process.readAllStandardOutput();
    }
    QVERIFY(out.contains("正在搜索航线"));
    process.terminate(); // SIGTERM while the route waits for its fare
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    out += process.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.last().endsWith(u"]:本轮航班搜索结束！"));
    QVERIFY(lines[lines.size() - 2].contains(u"已搜索航线："));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
