#include "app/WindowRules.h"
#include "text/Gbk.h"

#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

class TstWindowRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void trayTip_isCutAtACharacterWithin62Bytes_data();
    void trayTip_isCutAtACharacterWithin62Bytes();
    void showHideItem_followsTheWindow();
};

void TstWindowRules::trayTip_isCutAtACharacterWithin62Bytes_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::newRow("the program's caption is short enough")
        << u" 鸿雁票讯(翔云旅行) 国际版"_s << u" 鸿雁票讯(翔云旅行) 国际版"_s;
    QTest::newRow("31 double-byte characters fill 62 bytes")
        << QString(40, u'票') << QString(31, u'票');
    QTest::newRow("a double-byte character is never halved")
        << u"a"_s + QString(40, u'票') << u"a"_s + QString(30, u'票');
    QTest::newRow("single bytes count one each") << QString(70, u'x') << QString(62, u'x');
}

void TstWindowRules::trayTip_isCutAtACharacterWithin62Bytes() {
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    QCOMPARE(trayTip(caption), tip);
    QVERIFY(gbkLength(trayTip(caption)) <= 62);
}

void TstWindowRules::showHideItem_followsTheWindow() {
    QCOMPARE(showHideCaption(false), u"显示界面"_s);
    QCOMPARE(showHideCaption(true), u"隐藏界面"_s);
    QCOMPARE(showHideFor(u"显示界面"_s), ShowHide::Show);
    QCOMPARE(showHideFor(u"隐藏界面"_s), ShowHide::Hide);
    QCOMPARE(showHideFor(u"菜单"_s), ShowHide::Nothing);
    QCOMPARE(trayActionFor(1), TrayAction::ShowMainWindow);
    QCOMPARE(trayActionFor(2), TrayAction::ShowMainWindow);
    QCOMPARE(trayActionFor(3), TrayAction::PopUpMenu);
    QCOMPARE(trayActionFor(0), TrayAction::None);
}

QTEST_GUILESS_MAIN(TstWindowRules)
#include "tst_windowrules.moc"
