#include "HistoryChart.h"

#include "text/Text.h"

#include <cmath>

namespace skylark {

ValueScale niceScale(double low, double high, int aboutTicks) {
    if (high < low) {
        std::swap(low, high);
    }
    if (high - low < 1) {
        low = std::floor(low) - 1;
        high = low + 2;
    }
    const double rough = (high - low) / qMax(1, aboutTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    const double min = std::floor(low / step) * step;
    const double max = std::ceil(high / step) * step;
    return {min, max, int(std::lround((max - min) / step)) + 1};
}

TimeScale timeScale(qint64 firstMs, qint64 lastMs, int ticks) {
    constexpr qint64 kMinute = 60 * 1000;
    constexpr qint64 kDay = 24 * 60 * kMinute;
    if (lastMs < firstMs) {
        std::swap(firstMs, lastMs);
    }
    if (lastMs - firstMs < kMinute) {
        const qint64 middle = firstMs + (lastMs - firstMs) / 2;
        firstMs = middle - kMinute / 2;
        lastMs = firstMs + kMinute;
    }
    const qint64 between = (lastMs - firstMs) / qMax(1, ticks - 1);
    const QString format = between < kMinute         ? QStringLiteral("HH:mm:ss")
                           : lastMs - firstMs < kDay ? QStringLiteral("HH:mm")
                           : between < kDay          ? QStringLiteral("MM-dd HH:mm")
                                                     : QStringLiteral("yyyy-MM-dd");
    return {firstMs, lastMs, format};
}

FareChartFrame fareChartFrame(const QList<FarePoint>& points, double alertPrice, qint64 nowMs) {
    double low = alertPrice;
    double high = alertPrice;
    for (const FarePoint& point : points) {
        low = qMin(low, point.fare);
        high = qMax(high, point.fare);
    }
    const TimeScale times = timeScale(points.isEmpty() ? nowMs : points.first().observedAtMs,
                                      points.isEmpty() ? nowMs : points.last().observedAtMs);
    return {times, niceScale(qMax(0.0, low * 0.9), high * 1.1)};
}

ValueScale calendarScale(const QList<CalendarEntry>& calendar) {
    double top = 1;
    for (const CalendarEntry& entry : calendar) {
        top = qMax(top, textToNumber(entry.price));
    }
    return niceScale(0, top * 1.1);
}

} // namespace skylark
