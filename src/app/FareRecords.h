#pragma once

#include <QString>

namespace skylark {

// A route whose fare was at or below its alert price in the latest round, as its row
// read at that moment.
struct SpecialFare {
    QString depCityName;
    QString arrCityName;
    QString depDate;
    QString lowestPrice;
    QString updateTime;

    bool operator==(const SpecialFare&) const = default;
};

// A fare is special when it is not 0 and at most the alert price (within 1e-7); both are
// read with textToNumber, so "未找到" is never special.
bool isSpecialFare(const QString& fare, const QString& alertPrice);

} // namespace skylark
