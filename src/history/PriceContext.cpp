#include "PriceContext.h"

#include <algorithm>
#include <cmath>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

// The p-th percentile (0-1) of sorted values, interpolated between the closest ranks.
double percentile(const QList<double>& sorted, double p) {
    const double rank = p * double(sorted.size() - 1);
    const auto below = qsizetype(std::floor(rank));
    const auto above = qsizetype(std::ceil(rank));
    return sorted[below] + (sorted[above] - sorted[below]) * (rank - double(below));
}

// At most two decimals, none that end in 0.
QString amountText(double amount) {
    QString text = QString::number(amount, 'f', 2);
    while (text.endsWith(u'0')) {
        text.chop(1);
    }
    if (text.endsWith(u'.')) {
        text.chop(1);
    }
    return text;
}

} // namespace

PriceContext priceContextOf(const RouteFareSummary& summary) {
    PriceContext context;
    context.cheaperDay = cheaperNearbyDay(summary.latestCalendar, summary.latestDay);
    if (summary.lastFare.isEmpty()) {
        return context;
    }
    context.known = true;
    context.lowest = summary.lowest;
    context.lowestSeen = summary.lowestSeen;
    QList<double> recent = summary.recentFares;
    std::sort(recent.begin(), recent.end());
    context.recentCount = int(recent.size());
    if (!recent.isEmpty()) {
        context.hasTypical = true;
        context.typical = percentile(recent, 0.5);
    }
    bool ok = false;
    const double last = summary.lastFare.toDouble(&ok);
    if (ok && recent.size() >= PriceContext::kVerdictObservations) {
        if (last < percentile(recent, 0.2)) {
            context.verdict = PriceContext::Verdict::Low;
        } else if (last > percentile(recent, 0.8)) {
            context.verdict = PriceContext::Verdict::High;
        } else {
            context.verdict = PriceContext::Verdict::Normal;
        }
    }
    return context;
}

QString verdictText(PriceContext::Verdict verdict) {
    switch (verdict) {
    case PriceContext::Verdict::Low:
        return u"低"_s;
    case PriceContext::Verdict::Normal:
        return u"正常"_s;
    case PriceContext::Verdict::High:
        return u"高"_s;
    case PriceContext::Verdict::None:
        break;
    }
    return {};
}

QString priceContextText(const PriceContext& context) {
    QStringList parts;
    if (context.known) {
        parts.append(u"最低 %1（%2）"_s.arg(amountText(context.lowest),
                                            context.lowestSeen.toString(u"yyyy-MM-dd"_s)));
    }
    if (context.hasTypical) {
        parts.append(u"通常 %1（近 %2 天 %3 次的中位数）"_s.arg(
            amountText(context.typical), QString::number(PriceContext::kRecentDays),
            QString::number(context.recentCount)));
    }
    if (context.verdict != PriceContext::Verdict::None) {
        parts.append(u"当前 "_s + verdictText(context.verdict));
    }
    if (context.cheaperDay) {
        parts.append(nearbyDayText(*context.cheaperDay));
    }
    return parts.join(u"；"_s);
}

} // namespace skylark
