#pragma once

#include <QList>
#include <QString>
#include <QStringView>

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

// What a fare source answered for one route's day, whichever source it was.
struct FareAnswer {
    QString fare; // the fare of the route's own day, or "未找到"
    QList<CalendarEntry> calendar;
    FareOutcome outcome = FareOutcome::Found;
    QString routeKind;         // the route's kind as the route file gave it, when it was asked for
    int calendarStatus = 0;    // the fare source's HTTP status; 0 when none came
    int retryAfterSeconds = 0; // what a 429 answer's Retry-After asked for; 0 for none
};

// The text of a fare that could not be found.
QString notFoundText();

// A refusal, a time-out, HTTP 429 or 5xx: the fare source asks to be left alone.
bool fareSourceRefused(const FareAnswer& answer);

} // namespace skylark
