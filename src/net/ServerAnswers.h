#pragma once

#include "FareAnswer.h"
#include "HttpFetch.h"

#include <QByteArray>
#include <QString>

namespace skylark {

// Why an exchange with a server gave nothing to read, in the program's language: no
// connection, a refused request, a time-out, an answer too large, an HTTP status other than
// 200, or an empty answer. Empty when it answered something.
QString exchangeFailureText(const FetchResponse& response, const QByteArray& body);

// Reads a calendar answer: the JSON between the first "(" and the ")" after it, "未找到"
// when "error" or "status" is "-1", else the price of the last day whose date equals
// depDate, "未找到" when that is missing or 0.
FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate);

// Bytes of a relay answer up to the first NUL, taken as local text.
QString relayAnswerText(const QByteArray& body);

} // namespace skylark
