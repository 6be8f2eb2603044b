#include "NearbyDays.h"

#include "text/Text.h"

#include <QDate>
#include <QMap>

#include <cmath>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

// The one form of a route's day and of a calendar's dates.
QDate dayOf(const QString& text) {
    return QDate::fromString(text, u"yyyy-MM-dd"_s);
}

// The fares of the calendar by date, the later of two entries alike winning.
QMap<QDate, CalendarEntry> faresByDate(const QList<CalendarEntry>& calendar) {
    QMap<QDate, CalendarEntry> fares;
    for (const CalendarEntry& entry : calendar) {
        const QDate date = dayOf(entry.date);
        if (date.isValid()) {
            fares.insert(date, entry);
        }
    }
    return fares;
}

bool betterThan(const DayFare& day, const DayFare& best) {
    if (day.amount != best.amount) {
        return day.amount < best.amount;
    }
    if (qAbs(day.offset) != qAbs(best.offset)) {
        return qAbs(day.offset) < qAbs(best.offset);
    }
    return day.offset < best.offset;
}

} // namespace

std::optional<DayFare> cheapestDayWithin(const QList<CalendarEntry>& calendar, const QString& day,
                                         int days) {
    const QDate own = dayOf(day);
    if (!own.isValid()) {
        return std::nullopt;
    }
    const QMap<QDate, CalendarEntry> fares = faresByDate(calendar);
    std::optional<DayFare> best;
    for (auto each = fares.lowerBound(own.addDays(-days));
         each != fares.cend() && each.key() <= own.addDays(days); ++each) {
        const double amount = textToNumber(each->price);
        if (!(amount > kTolerance) || !std::isfinite(amount)) {
            continue; // no fare: 0, empty, not a number, or below 0
        }
        const DayFare candidate{each->date, each->price, amount, int(own.daysTo(each.key()))};
        if (!best || betterThan(candidate, *best)) {
            best = candidate;
        }
    }
    return best;
}

std::optional<DayFare> cheaperNearbyDay(const QList<CalendarEntry>& calendar, const QString& day) {
    std::optional<DayFare> best = cheapestDayWithin(calendar, day, kMaxFlexibleDays);
    if (best && best->offset == 0) {
        return std::nullopt; // ties go to the route's own day, so none is cheaper
    }
    return best;
}

QString nearbyDayText(const DayFare& day) {
    const QString side = day.offset < 0 ? u"早 %1 天"_s : u"晚 %1 天"_s;
    return u"前后三天最便宜：%1（%2）%3"_s.arg(day.date, side.arg(qAbs(day.offset)), day.fare);
}

} // namespace skylark
