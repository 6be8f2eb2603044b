#include "net/Endpoints.h"
#include "sim/DemoServer.h"
#include "ui/EmbeddedPages.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <csignal>

using namespace skylark;
using namespace skylark::ui;
using namespace Qt::Literals::StringLiterals;

namespace {

// The page's document.readyState and protocol ("complete http:" once the page itself, not
// the blank one before it, is loaded), asked for and waited on.
QString readyState(QWebEngineView& view) {
    QString state;
    QEventLoop loop;
    view.page()->runJavaScript(u"document.readyState + ' ' + location.protocol"_s,
                               [&](const QVariant& value) {
                                   state = value.toString();
                                   loop.quit();
                               });
    loop.exec();
    return state;
}

// The two pages of a demo server, being loaded.
struct PagesRig {
    explicit PagesRig(int chartButtons = 1) {
        QVERIFY(server.start());
        server.setChartButtons(chartButtons);
        const Endpoints endpoints = Endpoints::forDemo(server.baseUrl());
        pages.loadStartPages(priceChartPageUrl(endpoints), startPageUrl(endpoints), 0);
    }

    sim::DemoServer server;
    QTemporaryDir storage;
    QWidget startHost;
    QWidget trendHost;
    EmbeddedPages pages{startHost, trendHost, storage.path()};
};

} // namespace

class TstEmbeddedPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fillTrendSearch_pressesOnlyALoneButton_data();
    void fillTrendSearch_pressesOnlyALoneButton();
    void deadRenderer_bothPagesLoadAgain();
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
    PagesRig rig(buttons);
    EmbeddedPages& pages = rig.pages;
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

// Both pages live in one renderer process; when it is killed, each loads again.
void TstEmbeddedPages::deadRenderer_bothPagesLoadAgain() {
    PagesRig rig;
    EmbeddedPages& pages = rig.pages;
    QVERIFY(pages.trendView());
    QTRY_VERIFY_WITH_TIMEOUT(pages.startView() != nullptr, 20000);
    QWebEngineView* views[] = {pages.trendView(), pages.startView()};
    for (QWebEngineView* view : views) {
        QTRY_COMPARE_WITH_TIMEOUT(readyState(*view), u"complete http:"_s, 60000);
    }
    const qint64 renderer = views[0]->page()->renderProcessPid();
    QCOMPARE(views[1]->page()->renderProcessPid(), renderer);

    QSignalSpy trendAgain(views[0], &QWebEngineView::loadFinished);
    QSignalSpy startAgain(views[1], &QWebEngineView::loadFinished);
    QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!trendAgain.isEmpty() && !startAgain.isEmpty(), 60000);
    QCOMPARE(trendAgain.last().first().toBool(), true);
    QCOMPARE(startAgain.last().first().toBool(), true);
    QVERIFY(views[0]->page()->renderProcessPid() != renderer);
}

QTEST_MAIN(TstEmbeddedPages)
#include "tst_embeddedpages.moc"
