#include "common/Files.h"
#include "net/Endpoints.h"
#include "text/Gbk.h"

#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

Endpoints sample() {
    Endpoints e = Endpoints::defaults();
    e.relayBase = u"http://relay.test"_s;
    e.domesticHost = u"http://dom.test"_s;
    e.internationalHost = u"http://int.test"_s;
    e.chartHost = u"http://chart.test"_s;
    e.affiliateId = u"mm_1_2_3"_s;
    e.linkTrackingId = u"2:mm_1_2_3:links"_s;
    e.startTrackingId = u"2:mm_1_2_3:start"_s;
    e.updateBase = u"http://update.test"_s;
    return e;
}

} // namespace

class TstEndpoints : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void relayUrls_encodeValuesAsUtf8();
    void calendarUrls_data();
    void calendarUrls();
    void searchPages_encodeCitiesAsGbk();
    void startAndChartPages();
    void pushBody_isRawUtf8();
    void serversFile_overridesTheDefaultsKeyByKey();
    void demo_pointsEveryServerAtOneBase();
};

void TstEndpoints::relayUrls_encodeValuesAsUtf8() {
    QCOMPARE(
        cityCheckUrl(sample(), u"北京"_s, u"上海"_s),
        u"http://relay.test/get_city_code.php?depCity=%E5%8C%97%E4%BA%AC&arrCity=%E4%B8%8A%E6%B5%B7"_s);
    QCOMPARE(searchStringUrl(sample(), u"北京"_s, u"上海"_s, u"2014-12-01"_s),
             u"http://relay.test/"
             u"get_search_str.php?depCity=%E5%8C%97%E4%BA%AC&arrCity=%E4%B8%8A%E6%B5%B7"
             "&searchDay=2014%2D12%2D01"_s);
    QCOMPARE(pushRelayUrl(sample()), u"http://relay.test/weixin/sendmsg.php"_s);
    QCOMPARE(versionFileUrl(sample()), u"http://update.test/update/skylark/ver.txt"_s);
}

void TstEndpoints::calendarUrls_data() {
    QTest::addColumn<bool>("international");
    QTest::addColumn<QString>("depDate");
    QTest::addColumn<QString>("url");
    QTest::newRow("domestic")
        << false << u"2014-11-05"_s
        << u"http://dom.test/search/common_cheapest_calendar.htm?F&searchDay=2014-11-05&calType=SevendayCalendar"_s;
    QTest::newRow("international, three days back without leading zeros")
        << true << u"2014-11-05"_s
        << u"http://int.test/search/"
           u"common_cheapest_calendar.htm?searchBy=1278&F&searchDay=2014-11-2"
           "&calType=SevendayCalendar&origDepDate=2014-11-5"_s;
    QTest::newRow("international across a year end")
        << true << u"2015-01-02"_s
        << u"http://int.test/search/"
           u"common_cheapest_calendar.htm?searchBy=1278&F&searchDay=2014-12-30"
           "&calType=SevendayCalendar&origDepDate=2015-1-2"_s;
    QTest::newRow("international across a leap day")
        << true << u"2016-03-01"_s
        << u"http://int.test/search/"
           u"common_cheapest_calendar.htm?searchBy=1278&F&searchDay=2016-2-27"
           "&calType=SevendayCalendar&origDepDate=2016-3-1"_s;
    QTest::newRow("an unreadable date goes in as written")
        << true << u"2015-02-30"_s
        << u"http://int.test/search/"
           u"common_cheapest_calendar.htm?searchBy=1278&F&searchDay=2015-02-30"
           "&calType=SevendayCalendar&origDepDate=2015-02-30"_s;
    QTest::newRow("a date that is no date at all")
        << true << u"tomorrow"_s
        << u"http://int.test/search/common_cheapest_calendar.htm?searchBy=1278&F&searchDay=tomorrow"
           "&calType=SevendayCalendar&origDepDate=tomorrow"_s;
}

void TstEndpoints::calendarUrls() {
    QFETCH(bool, international);
    QFETCH(QString, depDate);
    QFETCH(QString, url);
    const QString built = international ? internationalCalendarUrl(sample(), u"F"_s, depDate)
                                        : domesticCalendarUrl(sample(), u"F"_s, depDate);
    QCOMPARE(built, url);
}

void TstEndpoints::searchPages_encodeCitiesAsGbk() {
    QCOMPARE(
        domesticSearchPageUrl(sample(), u"成都"_s, u"上海"_s, u"2014-11-20"_s),
        u"http://dom.test/flight_search_result.htm?tripType=0&depCityName=%B3%C9%B6%BC"
        "&depDate=2014-11-20&arrCityName=%C9%CF%BA%A3&searchBy=&pid=mm_1_2_3&ali_trackid=2:mm_1_2_3:links"_s);
    QCOMPARE(
        internationalSearchPageUrl(sample(), u"成都"_s, u"香港"_s, u"2014-11-20"_s),
        u"http://int.test/ie/flight_searcher.htm?searchBy=&tripType=0&depCityName=%B3%C9%B6%BC"
        "&arrCityName=%CF%E3%B8%DB&depDate=2014-11-20&arrDate=&pid=mm_1_2_3&ali_trackid=2:mm_1_2_3:links"_s);
}

void TstEndpoints::startAndChartPages() {
    QCOMPARE(
        startPageUrl(sample()),
        u"http://dom.test/flight_search_result.htm?ali_trackid=2:mm_1_2_3:start&pid=mm_1_2_3"_s);
    QCOMPARE(priceChartPageUrl(sample()),
             u"http://chart.test/go/chn/trip/onesearch/chart.php?src=default&pid=mm_1_2_3"
             "&ali_trackid=2:mm_1_2_3:links"_s);
}

void TstEndpoints::pushBody_isRawUtf8() {
    QCOMPARE(
        pushRelayBody(u"oAbc"_s, u"成都-上海 500\r\n& =%"_s),
        QByteArray(
            "fakeid=oAbc&content=\xE6\x88\x90\xE9\x83\xBD-\xE4\xB8\x8A\xE6\xB5\xB7 500\r\n& =%"));
}

void TstEndpoints::serversFile_overridesTheDefaultsKeyByKey() {
    QTemporaryDir dir;
    QVERIFY(!Endpoints::load(dir.path()).has_value());
    writeBytes(Endpoints::serversFilePath(dir.path()),
               "[relay]\r\nbase=http://127.0.0.1:9000/\r\n[faresource]\r\ninternational = "
               "http://i.test \r\n"
               "[affiliate]\r\npid=mm_9_9_9\r\n");
    const std::optional<Endpoints> loaded = Endpoints::load(dir.path());
    QVERIFY(loaded.has_value());
    Endpoints expected = Endpoints::defaults();
    expected.relayBase = u"http://127.0.0.1:9000"_s;
    expected.internationalHost = u"http://i.test"_s;
    expected.affiliateId = u"mm_9_9_9"_s;
    QCOMPARE(*loaded, expected);
    QVERIFY(!loaded->demo);
}

void TstEndpoints::demo_pointsEveryServerAtOneBase() {
    const Endpoints demo = Endpoints::forDemo(u"http://127.0.0.1:5555/"_s);
    QVERIFY(demo.demo);
    for (const QString& base : {demo.relayBase, demo.updateBase, demo.domesticHost,
                                demo.internationalHost, demo.chartHost}) {
        QCOMPARE(base, u"http://127.0.0.1:5555"_s);
    }
}

QTEST_GUILESS_MAIN(TstEndpoints)
#include "tst_endpoints.moc"
