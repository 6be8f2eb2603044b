#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace skylark {

// One day of a cheapest-fare calendar, as the answer wrote it.
struct CalendarEntry {
    QString date;
    QString price;

    bool operator==(const CalendarEntry&) const = default;
};

struct FareAnswer {
    QString fare; // the fare of the route's own day, or "未找到"
    QList<CalendarEntry> calendar;
};

// The text of a fare that could not be found.
QString notFoundText();

// Reads a calendar answer: the JSON between the first "(" and the ")" after it, "未找到"
// when "error" or "status" is "-1", else the price of the last day whose date equals
// depDate, "未找到" when that is missing or 0.
FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate);

// Bytes of a relay answer up to the first NUL, taken as local text.
QString relayAnswerText(const QByteArray& body);

} // namespace skylark
