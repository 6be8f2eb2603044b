#include "app/Settings.h"
#include "common/Files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

class TstSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFile_readsEmptyAndUnset();
    void flags_areSetOnlyByExactlyOne_data();
    void flags_areSetOnlyByExactlyOne();
    void noAlertWindowClicks_writeOneThenZero();
    void pushSettings_areReadAtEveryUse();
    void skinPath_roundTripsInCodePage936();
};

void TstSettings::missingFile_readsEmptyAndUnset() {
    QTemporaryDir dir;
    const Settings settings(dir.path());
    QCOMPARE(settings.settingsPath(), dir.filePath(u"config.ini"_s));
    QCOMPARE(settings.settingsPath(), settingsPath(dir.path()));
    QVERIFY(!settings.noAlertWindow());
    QVERIFY(!settings.pushEnabled());
    QCOMPARE(settings.pushId(), QString());
    QCOMPARE(settings.pushCycle(), QString());
    QCOMPARE(settings.skinPath(), QString());
    QVERIFY(!QFile::exists(settings.settingsPath()));
}

void TstSettings::flags_areSetOnlyByExactlyOne_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("set");
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("1 with blanks around it") << QByteArray("  1 ") << true;
    QTest::newRow("1 in quotes") << QByteArray("\"1\"") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("true") << QByteArray("true") << false;
    QTest::newRow("yes") << QByteArray("yes") << false;
    QTest::newRow("01") << QByteArray("01") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TstSettings::flags_areSetOnlyByExactlyOne() {
    QFETCH(QByteArray, value);
    QFETCH(bool, set);
    QTemporaryDir dir;
    const Settings settings(dir.path());
    writeBytes(settings.settingsPath(),
               "[nowindow]\r\nselect=" + value + "\r\n[weixin]\r\nOPEN=" + value + "\r\n");
    QCOMPARE(settings.noAlertWindow(), set);
    QCOMPARE(settings.pushEnabled(), set);
}

void TstSettings::noAlertWindowClicks_writeOneThenZero() {
    QTemporaryDir dir;
    Settings settings(dir.path());
    QVERIFY(onNoAlertWindowClicked(settings, true));
    QCOMPARE(readBytes(settings.settingsPath()), QByteArray("[nowindow]\r\nselect=1\r\n"));
    QVERIFY(settings.noAlertWindow());
    QVERIFY(!onNoAlertWindowClicked(settings, false));
    QCOMPARE(readBytes(settings.settingsPath()), QByteArray("[nowindow]\r\nselect=0\r\n"));
    QVERIFY(!settings.noAlertWindow());
}

void TstSettings::pushSettings_areReadAtEveryUse() {
    QTemporaryDir dir;
    Settings settings(dir.path());
    writeBytes(settings.settingsPath(), "[weixin]\r\nID=abc\r\nCYCLE=30\r\n");
    QVERIFY(!settings.pushEnabled());
    QCOMPARE(settings.pushId(), u"abc"_s);
    QCOMPARE(settings.pushCycle(), u"30"_s);

    QVERIFY(settings.setPushEnabled(true));
    QVERIFY(settings.setPushId(u"oXyz"));
    QVERIFY(settings.setPushCycle(u"15"));
    QCOMPARE(readBytes(settings.settingsPath()),
             QByteArray("[weixin]\r\nID=oXyz\r\nCYCLE=15\r\nOPEN=1\r\n"));

    // Another program changes the file: the next read sees it.
    writeBytes(settings.settingsPath(), "[weixin]\r\nID=oXyz\r\nCYCLE=99\r\nOPEN=0\r\n");
    QVERIFY(!settings.pushEnabled());
    QCOMPARE(settings.pushCycle(), u"99"_s);
}

void TstSettings::skinPath_roundTripsInCodePage936() {
    QTemporaryDir dir;
    Settings settings(dir.path());
    const QString path = dir.path() + u"/Skin/蓝天.jpg"_s;
    QVERIFY(settings.setSkinPath(path));
    QCOMPARE(Settings(dir.path()).skinPath(), path);
    QVERIFY(!settings.setSkinPath(u"/Skin/😀.jpg"));
    QCOMPARE(settings.skinPath(), path);
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
