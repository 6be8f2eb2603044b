#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace skylark {

// The outside servers and the affiliate values of the fare-source links. Every URL the
// program requests or opens is built here from these values; nobody else concatenates a
// server address.
struct Endpoints {
    QString relayBase;         // city check, search string, push relay
    QString relaySite;         // the relay site's address as the user is shown it
    QString updateBase;        // the version file
    QString domesticHost;      // fare source: calendar, search page, start page
    QString internationalHost; // fare source: calendar, search page
    QString chartHost;         // fare source: price-chart page
    QString affiliateId;       // pid
    QString linkTrackingId;    // ali_trackid of the search links and the price-chart page
    QString startTrackingId;   // ali_trackid of the start page
    QString homePage;          // the maker's home page (and forum)
    QString webmailHost;       // the webmail service that starts a mail to the maker
    QString mailAddress;       // the maker's contact address
    bool demo = false;         // every server is the built-in demo server

    static Endpoints defaults();
    // Every server at one base address, the demo server's.
    static Endpoints forDemo(const QString& baseUrl);
    // The servers.ini of the data directory over the defaults; nullopt without the file.
    static std::optional<Endpoints> load(const QString& programDirectory);
    static QString serversFilePath(const QString& programDirectory);

    bool operator==(const Endpoints&) const = default;
};

// Relay server and update server.
QString cityCheckUrl(const Endpoints& endpoints, const QString& depCity, const QString& arrCity);
QString searchStringUrl(const Endpoints& endpoints, const QString& depCity, const QString& arrCity,
                        const QString& searchDay);
QString pushRelayUrl(const Endpoints& endpoints);
// "fakeid=" + the binding id + "&content=" + the message as raw UTF-8, nothing escaped.
QByteArray pushRelayBody(const QString& bindingId, const QString& message);
QString versionFileUrl(const Endpoints& endpoints);

// Fare source: the cheapest-fare calendars. The international form asks for the calendar
// from three days before the departure day; a date that cannot be read goes into both
// date values as it is written.
QString domesticCalendarUrl(const Endpoints& endpoints, const QString& searchString,
                            const QString& depDate);
QString internationalCalendarUrl(const Endpoints& endpoints, const QString& searchString,
                                 const QString& depDate);

// Fare source: the pages shown in a browser.
QString domesticSearchPageUrl(const Endpoints& endpoints, const QString& depCity,
                              const QString& arrCity, const QString& depDate);
QString internationalSearchPageUrl(const Endpoints& endpoints, const QString& depCity,
                                   const QString& arrCity, const QString& depDate);
// The search page of a route of that kind ("domestic" or "international"); empty for any
// other kind.
QString routeSearchPageUrl(const Endpoints& endpoints, QStringView routeKind,
                           const QString& depCity, const QString& arrCity, const QString& depDate);
QString startPageUrl(const Endpoints& endpoints);
QString priceChartPageUrl(const Endpoints& endpoints);

// The maker's pages opened from the main menu.
QString homePageUrl(const Endpoints& endpoints);
QString feedbackPageUrl(const Endpoints& endpoints);
QString mailFeedbackUrl(const Endpoints& endpoints);

} // namespace skylark
