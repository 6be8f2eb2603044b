#pragma once

#include <QString>
#include <QtGlobal>

namespace skylark {

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

} // namespace skylark
