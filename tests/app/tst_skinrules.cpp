#include "app/SkinRules.h"

#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

using Kinds = QList<TitleButtonKind>;
Q_DECLARE_METATYPE(Kinds)

class TstSkinRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void titleBarButtons_ofTheThreeFrames_data();
    void titleBarButtons_ofTheThreeFrames();
    void navigationCaptions_data();
    void navigationCaptions();
    void navigationButtons_andTheClosingEffect();
};

void TstSkinRules::titleBarButtons_ofTheThreeFrames_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<Kinds>("wanted");
    QTest::addColumn<QList<int>>("lefts");
    QTest::addColumn<QStringList>("toolTips");
    QTest::newRow("main window") << 1040
                                 << Kinds{TitleButtonKind::Minimize, TitleButtonKind::Menu,
                                          TitleButtonKind::ChangeSkin}
                                 << QList<int>{994, 966, 938, 910}
                                 << QStringList{u"关闭 "_s, u"最小化 "_s, u"菜单 "_s,
                                                u"更换皮肤 "_s};
    QTest::newRow("alert window") << 300 << Kinds{} << QList<int>{254} << QStringList{u"关闭 "_s};
    QTest::newRow("skin window") << 454 << Kinds{} << QList<int>{408} << QStringList{u"关闭 "_s};
    QTest::newRow("every button") << 500
                                  << Kinds{TitleButtonKind::ChangeSkin, TitleButtonKind::Maximize,
                                           TitleButtonKind::Menu, TitleButtonKind::Minimize}
                                  << QList<int>{454, 426, 398, 370, 342}
                                  << QStringList{u"关闭 "_s, u"最大化 "_s, u"最小化 "_s, u"菜单 "_s,
                                                 u"更换皮肤 "_s};
}

void TstSkinRules::titleBarButtons_ofTheThreeFrames() {
    QFETCH(int, width);
    QFETCH(Kinds, wanted);
    QFETCH(QList<int>, lefts);
    QFETCH(QStringList, toolTips);
    const QList<TitleButton> buttons = titleBarButtons(width, wanted);
    QCOMPARE(buttons.size(), lefts.size());
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i].geometry,
                 QRect(lefts[i], 5, buttons[i].kind == TitleButtonKind::Close ? 39 : 28, 20));
        QCOMPARE(buttons[i].toolTip, toolTips[i]);
    }
}

void TstSkinRules::navigationCaptions_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("left");
    QTest::newRow("8 bytes stay") << u"机票监控"_s << u"机票监控"_s << 12.5;
    QTest::newRow("4 bytes stay") << u"首页"_s << u"首页"_s << 25.0;
    QTest::newRow("more than 8 bytes: 4 bytes and ...")
        << u"机票监控记录"_s << u"机票..."_s << 15.625;
    QTest::newRow("a double-byte character at the cut is left out whole")
        << u"a机票监控"_s << u"a机..."_s << 18.75;
}

void TstSkinRules::navigationCaptions() {
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    QFETCH(double, left);
    QCOMPARE(navigationCaption(caption), shown);
    QCOMPARE(navigationCaptionLeft(navigationCaption(caption)), left);
}

void TstSkinRules::navigationButtons_andTheClosingEffect() {
    QCOMPARE(navigationButtonGeometry(0, 35), QRect(10, 35, 76, 71));
    QCOMPARE(navigationButtonGeometry(2, 35), QRect(162, 35, 76, 71));
    QCOMPARE(navigationButtonGeometry(1, 0), QRect(86, 30, 76, 71));
    const QRect start(100, 50, 1040, 551);
    QCOMPARE(closingEffectStep(start, 1), QRect(100, 80, 1040, 491));
    QCOMPARE(closingEffectStep(start, 9), QRect(100, 320, 1040, 11));
    QCOMPARE(closingEffectStep(start, kClosingEffectSteps), QRect(100, 350, 1040, 0));
}

QTEST_GUILESS_MAIN(TstSkinRules)
#include "tst_skinrules.moc"
