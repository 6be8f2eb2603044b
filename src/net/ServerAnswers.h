#pragma once

#include "HttpFetch.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace skylark {

// One day of a cheapest-fare calendar, as the answer wrote it.
struct CalendarEntry {
    QString date;
    QString price;

    bool operator==(const CalendarEntry&) const = default;
};

// How the query of a route's fare ended: found, or why it was not.
enum class FareOutcome {
    Found,
    RelayUnreachable,    // the relay could not be reached or refused the search string
    SearchStringEmpty,   // the relay answered with an empty search string
    CalendarUnreachable, // the fare source could not be reached
    TimedOut,            // the fare source did not answer in time
    HttpStatus,          // the fare source answered with a status other than 200
    TooLarge,            // the fare source's answer passed the size limit
    NoJson,              // the answer held no JSON between its brackets
    ErrorStatus,         // the answer's "error" or "status" was -1
    NoEntryForDay,       // the calendar had no entry for the route's day
    ZeroFare,            // the day's fare was 0
    RouteMissing,        // the route is no longer in the route file
    UnknownRouteKind,    // the route file gives a kind the fare source has no calendar for
};
inline constexpr int kFareOutcomeCount = int(FareOutcome::UnknownRouteKind) + 1;

// The outcome's stable key ("found", "relay-unreachable", ...), as stored and exported.
QString fareOutcomeKey(FareOutcome outcome);
// The outcome that the key names; Found for an unknown key.
FareOutcome fareOutcomeOfKey(QStringView key);
// What the outcome tells the user, in the program's language.
QString fareOutcomeText(FareOutcome outcome);

// Why an exchange with a server gave nothing to read, in the program's language: no
// connection, a refused request, a time-out, an answer too large, an HTTP status other than
// 200, or an empty answer. Empty when it answered something.
QString exchangeFailureText(const FetchResponse& response, const QByteArray& body);

struct FareAnswer {
    QString fare; // the fare of the route's own day, or "未找到"
    QList<CalendarEntry> calendar;
    FareOutcome outcome = FareOutcome::Found;
    QString routeKind;         // the route's kind as the route file gave it, when it was asked for
    int calendarStatus = 0;    // the fare source's HTTP status; 0 when none came
    int retryAfterSeconds = 0; // what a 429 answer's Retry-After asked for; 0 for none
};

// The wait a Retry-After header asks for, in seconds from now: delta-seconds or an HTTP
// date; 0 without the header or for one that cannot be read.
int retryAfterSeconds(const QString& rawHeaders, const QDateTime& now);

// The text of a fare that could not be found.
QString notFoundText();

// Reads a calendar answer: the JSON between the first "(" and the ")" after it, "未找到"
// when "error" or "status" is "-1", else the price of the last day whose date equals
// depDate, "未找到" when that is missing or 0.
FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate);

// Bytes of a relay answer up to the first NUL, taken as local text.
QString relayAnswerText(const QByteArray& body);

} // namespace skylark
