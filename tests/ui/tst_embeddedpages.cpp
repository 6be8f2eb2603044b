#include "net/Endpoints.h"
#include "sim/DemoServer.h"
#include "ui/EmbeddedPages.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <QWidget>

using namespace skylark;
using namespace skylark::ui;
using namespace Qt::Literals::StringLiterals;

class TstEmbeddedPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fillTrendSearch_pressesOnlyALoneButton_data();
    void fillTrendSearch_pressesOnlyALoneButton();
};

void TstEmbeddedPages::fillTrendSearch_pressesOnlyALoneButton_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("note"); // what the page shows afterwards
    QTest::newRow("one button: filled and pressed") << 1 << u"成都 → 上海"_s;
    QTest::newRow("two buttons: filled only") << 2 << QString();
}

void TstEmbeddedPages::fillTrendSearch_pressesOnlyALoneButton() {
    QFETCH(int, buttons);
    QFETCH(QString, note);
    sim::DemoServer server;
    QVERIFY(server.start());
    server.setChartButtons(buttons);
    const Endpoints endpoints = Endpoints::forDemo(server.baseUrl());
    QTemporaryDir storage;
    QWidget startHost;
    QWidget trendHost;
    EmbeddedPages pages(startHost, trendHost, storage.path());
    pages.loadStartPages(priceChartPageUrl(endpoints), startPageUrl(endpoints), 0);
    QVERIFY(pages.trendView());
    QSignalSpy loaded(pages.trendView(), &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(60000));
    QCOMPARE(loaded.first().first().toBool(), true);

    QVERIFY(pages.fillTrendSearch(u"成都"_s, u"上海"_s));
    const auto value = [&](const char* script) {
        return pages.runInTrendPage(QString::fromLatin1(script)).toString();
    };
    QCOMPARE(value("document.getElementsByName('dep')[0].value"), u"成都"_s);
    QCOMPARE(value("document.getElementsByName('arr')[0].value"), u"上海"_s);
    // The pressed button draws the route's trend and names it below the chart.
    QTRY_COMPARE_WITH_TIMEOUT(value("document.getElementById('note').textContent"), note, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(pages.startView() != nullptr, 20000);
}

QTEST_MAIN(TstEmbeddedPages)
#include "tst_embeddedpages.moc"
