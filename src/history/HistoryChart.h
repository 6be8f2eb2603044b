#pragma once

#include "net/FareAnswer.h"

#include <QList>
#include <QString>
#include <QtGlobal>

namespace skylark {

// One point of a route's fare over time, as the chart draws it.
struct FarePoint {
    qint64 observedAtMs; // since the epoch
    double fare;
    bool special;
};

// A value axis on round numbers: from min to max in steps of 1, 2 or 5 times a power of
// ten, with ticks labels in all.
struct ValueScale {
    double min;
    double max;
    int ticks;
};
// The scale that covers low to high in about the given number of ticks.
ValueScale niceScale(double low, double high, int aboutTicks = 6);

// A time axis whose labels all differ: the range covers at least a minute, and the label
// format shows seconds, minutes or days as the span needs.
struct TimeScale {
    qint64 firstMs;
    qint64 lastMs;
    QString format; // for QDateTime::toString
};
TimeScale timeScale(qint64 firstMs, qint64 lastMs, int ticks = 5);

// The frame of a route's fare chart: the time span of its points (now alone without any)
// and a price scale from 10 % under the lowest of the fares and the alert price to 10 %
// over the highest.
struct FareChartFrame {
    TimeScale times;
    ValueScale prices;
};
FareChartFrame fareChartFrame(const QList<FarePoint>& points, double alertPrice, qint64 nowMs);

// The price scale of a calendar's bars: from 0 to 10 % over its highest fare.
ValueScale calendarScale(const QList<CalendarEntry>& calendar);

} // namespace skylark
