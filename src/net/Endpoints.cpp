#include "Endpoints.h"

#include "store/ProfileFile.h"
#include "text/Encoding.h"
#include "text/Gbk.h"

#include <QDate>
#include <QFile>

namespace skylark {
namespace {

QString withoutTrailingSlash(QString base) {
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return base;
}

// A route date as the route book writes it (year-month-day); nullopt when the text is
// not such a date.
std::optional<QDate> routeDate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    int values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok || parts[i].startsWith(QLatin1Char('+'))) {
            return std::nullopt;
        }
    }
    const QDate date(values[0], values[1], values[2]);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// Year, month and day without leading zeros: 2014-11-5.
QString plainDate(const QDate& date) {
    return QString::number(date.year()) + QLatin1Char('-') + QString::number(date.month()) +
           QLatin1Char('-') + QString::number(date.day());
}

} // namespace

Endpoints Endpoints::defaults() {
    Endpoints e;
    e.relayBase = QStringLiteral("http://relay.skylark.example.com");
    e.relaySite = QStringLiteral("www.skylark.example.com");
    e.updateBase = QStringLiteral("http://update.skylark.example.com");
    e.domesticHost = QStringLiteral("http://jipiao.fares.example.com");
    e.internationalHost = QStringLiteral("http://ie.fares.example.com");
    e.chartHost = QStringLiteral("http://chart.fares.example.com");
    e.affiliateId = QStringLiteral("mm_10000000_0_0");
    e.linkTrackingId = QStringLiteral("2:mm_10000000_0_0:skylark_links");
    e.startTrackingId = QStringLiteral("2:mm_10000000_0_0:skylark_start");
    e.homePage = QStringLiteral("http://www.skylark.example.com");
    e.webmailHost = QStringLiteral("http://mail.example.com");
    e.mailAddress = QStringLiteral("feedback@skylark.example.com");
    return e;
}

Endpoints Endpoints::forDemo(const QString& baseUrl) {
    Endpoints e = defaults();
    const QString base = withoutTrailingSlash(baseUrl);
    e.relayBase = e.updateBase = e.domesticHost = e.internationalHost = e.chartHost = base;
    e.relaySite = base;
    e.homePage = base;
    e.webmailHost = base;
    e.demo = true;
    return e;
}

QString Endpoints::serversFilePath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/servers.ini");
}

std::optional<Endpoints> Endpoints::load(const QString& programDirectory) {
    const QString path = serversFilePath(programDirectory);
    if (!QFile::exists(path)) {
        return std::nullopt;
    }
    const ProfileFile file(path);
    Endpoints e = defaults();
    const auto read = [&](QString& field, QStringView section, QStringView key, bool base) {
        const QString value = file.readProfileString(section, key, field);
        field = base ? withoutTrailingSlash(value) : value;
    };
    read(e.relayBase, u"relay", u"base", true);
    read(e.relaySite, u"relay", u"site", false);
    read(e.updateBase, u"update", u"base", true);
    read(e.domesticHost, u"faresource", u"domestic", true);
    read(e.internationalHost, u"faresource", u"international", true);
    read(e.chartHost, u"faresource", u"chart", true);
    read(e.affiliateId, u"affiliate", u"pid", false);
    read(e.linkTrackingId, u"affiliate", u"linktrackid", false);
    read(e.startTrackingId, u"affiliate", u"starttrackid", false);
    read(e.homePage, u"maker", u"home", true);
    read(e.webmailHost, u"maker", u"webmail", true);
    read(e.mailAddress, u"maker", u"mail", false);
    return e;
}

QString cityCheckUrl(const Endpoints& endpoints, const QString& depCity, const QString& arrCity) {
    return endpoints.relayBase + QStringLiteral("/get_city_code.php?depCity=") +
           urlEncodeUtf8(depCity) + QStringLiteral("&arrCity=") + urlEncodeUtf8(arrCity);
}

QString searchStringUrl(const Endpoints& endpoints, const QString& depCity, const QString& arrCity,
                        const QString& searchDay) {
    return endpoints.relayBase + QStringLiteral("/get_search_str.php?depCity=") +
           urlEncodeUtf8(depCity) + QStringLiteral("&arrCity=") + urlEncodeUtf8(arrCity) +
           QStringLiteral("&searchDay=") + urlEncodeUtf8(searchDay);
}

QString pushRelayUrl(const Endpoints& endpoints) {
    return endpoints.relayBase + QStringLiteral("/weixin/sendmsg.php");
}

QByteArray pushRelayBody(const QString& bindingId, const QString& message) {
    return "fakeid=" + encodeGbkLossy(bindingId) + "&content=" + gbkToUtf8(message);
}

QString versionFileUrl(const Endpoints& endpoints) {
    return endpoints.updateBase + QStringLiteral("/update/skylark/ver.txt");
}

QString domesticCalendarUrl(const Endpoints& endpoints, const QString& searchString,
                            const QString& depDate) {
    return endpoints.domesticHost + QStringLiteral("/search/common_cheapest_calendar.htm?") +
           searchString + QStringLiteral("&searchDay=") + depDate +
           QStringLiteral("&calType=SevendayCalendar");
}

QString internationalCalendarUrl(const Endpoints& endpoints, const QString& searchString,
                                 const QString& depDate) {
    const std::optional<QDate> date = routeDate(depDate);
    const QString startDay = date ? plainDate(date->addDays(-3)) : depDate;
    const QString departureDay = date ? plainDate(*date) : depDate;
    return endpoints.internationalHost +
           QStringLiteral("/search/common_cheapest_calendar.htm?searchBy=1278&") + searchString +
           QStringLiteral("&searchDay=") + startDay +
           QStringLiteral("&calType=SevendayCalendar&origDepDate=") + departureDay;
}

QString domesticSearchPageUrl(const Endpoints& endpoints, const QString& depCity,
                              const QString& arrCity, const QString& depDate) {
    return endpoints.domesticHost +
           QStringLiteral("/flight_search_result.htm?tripType=0&depCityName=") +
           urlEncodeGbk(depCity) + QStringLiteral("&depDate=") + depDate +
           QStringLiteral("&arrCityName=") + urlEncodeGbk(arrCity) +
           QStringLiteral("&searchBy=&pid=") + endpoints.affiliateId +
           QStringLiteral("&ali_trackid=") + endpoints.linkTrackingId;
}

QString internationalSearchPageUrl(const Endpoints& endpoints, const QString& depCity,
                                   const QString& arrCity, const QString& depDate) {
    return endpoints.internationalHost +
           QStringLiteral("/ie/flight_searcher.htm?searchBy=&tripType=0&depCityName=") +
           urlEncodeGbk(depCity) + QStringLiteral("&arrCityName=") + urlEncodeGbk(arrCity) +
           QStringLiteral("&depDate=") + depDate + QStringLiteral("&arrDate=&pid=") +
           endpoints.affiliateId + QStringLiteral("&ali_trackid=") + endpoints.linkTrackingId;
}

QString routeSearchPageUrl(const Endpoints& endpoints, QStringView routeKind,
                           const QString& depCity, const QString& arrCity, const QString& depDate) {
    if (routeKind == u"domestic") {
        return domesticSearchPageUrl(endpoints, depCity, arrCity, depDate);
    }
    if (routeKind == u"international") {
        return internationalSearchPageUrl(endpoints, depCity, arrCity, depDate);
    }
    return {};
}

QString startPageUrl(const Endpoints& endpoints) {
    return endpoints.domesticHost + QStringLiteral("/flight_search_result.htm?ali_trackid=") +
           endpoints.startTrackingId + QStringLiteral("&pid=") + endpoints.affiliateId;
}

QString priceChartPageUrl(const Endpoints& endpoints) {
    return endpoints.chartHost +
           QStringLiteral("/go/chn/trip/onesearch/chart.php?src=default&pid=") +
           endpoints.affiliateId + QStringLiteral("&ali_trackid=") + endpoints.linkTrackingId;
}

QString homePageUrl(const Endpoints& endpoints) {
    return endpoints.homePage;
}

QString feedbackPageUrl(const Endpoints& endpoints) {
    return endpoints.homePage + QStringLiteral("/forum.php?mod=viewthread&tid=2197");
}

QString mailFeedbackUrl(const Endpoints& endpoints) {
    return endpoints.webmailHost + QStringLiteral("/cgi-bin/qm_share?t=qm_mailme&email=") +
           endpoints.mailAddress;
}

} // namespace skylark
