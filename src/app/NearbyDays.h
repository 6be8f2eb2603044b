#pragma once

#include "net/ServerAnswers.h"

#include <QList>
#include <QString>

#include <optional>

namespace skylark {

// One day of a calendar answer that has a fare, and how far it lies from the route's day.
struct DayFare {
    QString date;
    QString fare; // as the answer wrote it
    double amount = 0;
    int offset = 0; // in days: negative before the route's day, positive after

    bool operator==(const DayFare&) const = default;
};

inline constexpr int kMaxFlexibleDays = 3;

// The cheapest day of the calendar within `days` days of `day` on either side, the day
// itself included. Days without a fare (0, none, a date that cannot be read) are passed
// over; of two dates alike the later entry counts, as for the route's own day; of equal
// fares the day nearest the route's own wins, then the earlier one.
std::optional<DayFare> cheapestDayWithin(const QList<CalendarEntry>& calendar, const QString& day,
                                         int days);

// Another day within three days of `day` that is cheaper than the day itself (or that has
// a fare when the day has none).
std::optional<DayFare> cheaperNearbyDay(const QList<CalendarEntry>& calendar, const QString& day);

// "前后三天最便宜：2026-12-21（晚 1 天）380".
QString nearbyDayText(const DayFare& day);

} // namespace skylark
