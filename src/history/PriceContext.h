#pragma once

#include "app/NearbyDays.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace skylark {

// What the store holds on one route's found fares: the last, the lowest and the recent.
struct RouteFareSummary {
    QString lastFare; // empty when none was ever found
    QDateTime lastSeen;
    double lowest = 0;
    QDateTime lowestSeen;
    QList<double> recentFares; // those of the last kRecentDays days
    // The latest observation's day and the calendar its answer carried.
    QString latestDay;
    QList<CalendarEntry> latestCalendar;
};

// A route's prices as its history tells them.
struct PriceContext {
    static constexpr int kRecentDays = 30;
    static constexpr int kVerdictObservations = 10;

    enum class Verdict { None, Low, Normal, High };

    bool known = false; // a fare was ever found
    double lowest = 0;
    QDateTime lowestSeen;
    bool hasTypical = false;
    double typical = 0; // the median of the recent fares
    int recentCount = 0;
    Verdict verdict = Verdict::None; // of the last fare, among the recent ones
    // A day near the route's own that the latest answer gave cheaper.
    std::optional<DayFare> cheaperDay;

    bool operator==(const PriceContext&) const = default;
};

// The lowest fare and when, the typical fare (the median of the last 30 days), and with at
// least 10 recent fares the verdict on the last one: low below the 20th percentile, high
// above the 80th, normal between; and the cheaper day within three of the route's own in
// the latest answer.
PriceContext priceContextOf(const RouteFareSummary& summary);
// "最低 420（2026-12-01）；通常 480（近 30 天 25 次的中位数）；当前 低；前后三天最便宜：…",
// or empty when nothing is known.
QString priceContextText(const PriceContext& context);
QString verdictText(PriceContext::Verdict verdict);

} // namespace skylark
