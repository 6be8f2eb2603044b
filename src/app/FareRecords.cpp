#include "FareRecords.h"

#include "text/Text.h"

namespace skylark {

bool isSpecialFare(const QString& fare, const QString& alertPrice) {
    const double f = textToNumber(fare);
    return !nearlyZero(f) && atMost(f, textToNumber(alertPrice));
}

} // namespace skylark
