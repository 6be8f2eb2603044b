#include "notify/AlertPopUp.h"

#include <QSignalSpy>
#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

class TstAlertPopUp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void texts_countTheFaresAndShowTheFirst();
    void corner_isTheAvailableAreas_data();
    void corner_isTheAvailableAreas();
    void countdown_fadesInEvenStepsThenEnds();
};

void TstAlertPopUp::texts_countTheFaresAndShowTheFirst() {
    const SpecialFare first{u"成都"_s, u"上海"_s, u"2026-12-20"_s, u"300"_s, u"09:05:03"_s};
    const AlertTexts texts =
        alertTexts({first, {u"北京"_s, u"东京"_s, u"2026-12-21"_s, u"900"_s, u"09:05:04"_s}});
    QCOMPARE(texts.title, u" 特价机票提醒   共发现 2 条信息"_s);
    QVERIFY(texts.hint.endsWith(u"打开软件查看全部"_s));
    QCOMPARE(texts.first.depCityName, first.depCityName);
    QCOMPARE(texts.first.lowestPrice, first.lowestPrice);
}

void TstAlertPopUp::corner_isTheAvailableAreas_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("corner");
    QTest::newRow("a panel along the bottom") << QRect(0, 0, 1920, 1040) << QPoint(1620, 840);
    QTest::newRow("a panel on the right") << QRect(0, 0, 1860, 1080) << QPoint(1560, 880);
    QTest::newRow("a panel on the top") << QRect(0, 40, 1920, 1040) << QPoint(1620, 880);
}

void TstAlertPopUp::corner_isTheAvailableAreas() {
    QFETCH(QRect, area);
    QFETCH(QPoint, corner);
    QCOMPARE(alertCorner(area, QSize(300, 200)), corner);
}

void TstAlertPopUp::countdown_fadesInEvenStepsThenEnds() {
    AlertCountdown countdown;
    QSignalSpy opacities(&countdown, &AlertCountdown::opacityChanged);
    QSignalSpy finished(&countdown, &AlertCountdown::finished);
    countdown.start(5, 0);
    QVERIFY(finished.wait(10000));
    QCOMPARE(opacities.size(), AlertCountdown::kFadeSteps);
    QCOMPARE(opacities.first().first().toDouble(), 254.0 / 255);
    QCOMPARE(opacities.last().first().toDouble(), 0.0);
    for (qsizetype i = 1; i < opacities.size(); ++i) {
        QVERIFY(opacities[i].first().toDouble() < opacities[i - 1].first().toDouble());
    }
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TstAlertPopUp)
#include "tst_alertpopup.moc"
