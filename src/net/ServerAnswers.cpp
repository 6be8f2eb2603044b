#include "ServerAnswers.h"

#include "JsonReader.h"
#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Text.h"

namespace skylark {

QString relayAnswerText(const QByteArray& body) {
    const qsizetype nul = body.indexOf('\0');
    return decodeGbk(nul < 0 ? body : body.left(nul));
}

QString exchangeFailureText(const FetchResponse& response, const QByteArray& body) {
    switch (response.failure) {
    case FetchFailure::Unreachable:
        return QStringLiteral("无法连接服务器");
    case FetchFailure::Refused:
        return QStringLiteral("请求无法发出");
    case FetchFailure::TimedOut:
        return QStringLiteral("服务器响应超时");
    case FetchFailure::TooLarge:
        return QStringLiteral("服务器的回复过大");
    case FetchFailure::None:
        break;
    }
    if (response.status != 0 && response.status != 200) {
        return QStringLiteral("服务器返回 HTTP 状态 %1").arg(response.status);
    }
    return body.trimmed().isEmpty() ? QStringLiteral("服务器的回复为空") : QString();
}

FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate) {
    FareAnswer answer;
    JsonReader reader;
    if (!reader.parse(textBetween(utf8ToAnsi(body), u"(", u")"))) {
        answer.fare = notFoundText();
        answer.outcome = FareOutcome::NoJson;
        return answer;
    }
    if (reader.getText(u"error") == u"-1" || reader.getText(u"status") == u"-1") {
        answer.fare = notFoundText();
        answer.outcome = FareOutcome::ErrorStatus;
        return answer;
    }
    bool dayListed = false;
    const int days = reader.count(u"data");
    QString path;
    for (int i = 0; i < days; ++i) {
        CalendarEntry entry;
        entry.date = reader.getText(elementMemberPath(path, u"data", i, u"date"));
        entry.price = reader.getText(elementMemberPath(path, u"data", i, u"price"));
        if (entry.date == depDate) {
            answer.fare = entry.price;
            dayListed = true;
        }
        answer.calendar.append(std::move(entry));
    }
    if (nearlyZero(textToNumber(answer.fare))) {
        answer.fare = notFoundText();
        answer.outcome = dayListed ? FareOutcome::ZeroFare : FareOutcome::NoEntryForDay;
    }
    return answer;
}

} // namespace skylark
