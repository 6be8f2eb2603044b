#include "ServerAnswers.h"

#include "JsonReader.h"
#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Text.h"

#include <algorithm>

namespace skylark {

QString notFoundText() {
    return QStringLiteral("未找到");
}

QString relayAnswerText(const QByteArray& body) {
    const qsizetype nul = body.indexOf('\0');
    return decodeGbk(nul < 0 ? body : body.left(nul));
}

namespace {

struct OutcomeName {
    FareOutcome outcome;
    const char16_t* key;
    const char16_t* text;
};

constexpr OutcomeName kOutcomeNames[kFareOutcomeCount] = {
    {FareOutcome::Found, u"found", u"已找到"},
    {FareOutcome::RelayUnreachable, u"relay-unreachable", u"无法连接中转服务器或被拒绝"},
    {FareOutcome::SearchStringEmpty, u"search-string-empty", u"中转服务器未给出搜索串"},
    {FareOutcome::CalendarUnreachable, u"calendar-unreachable", u"无法连接票价来源"},
    {FareOutcome::TimedOut, u"timed-out", u"票价来源应答超时"},
    {FareOutcome::HttpStatus, u"http-status", u"票价来源应答了错误状态"},
    {FareOutcome::TooLarge, u"too-large", u"票价来源的应答过大"},
    {FareOutcome::NoJson, u"no-json", u"应答中没有票价数据"},
    {FareOutcome::ErrorStatus, u"error-status", u"票价来源报告错误"},
    {FareOutcome::NoEntryForDay, u"no-entry-for-day", u"日历中没有出发当天"},
    {FareOutcome::ZeroFare, u"zero-fare", u"当天票价为 0"},
    {FareOutcome::RouteMissing, u"route-missing", u"航线已不在航线文件中"},
    {FareOutcome::UnknownRouteKind, u"unknown-route-kind", u"未知的航线类型"},
};

} // namespace

QString fareOutcomeKey(FareOutcome outcome) {
    return QString::fromUtf16(kOutcomeNames[int(outcome)].key);
}

FareOutcome fareOutcomeOfKey(QStringView key) {
    for (const OutcomeName& name : kOutcomeNames) {
        if (key == QStringView(name.key)) {
            return name.outcome;
        }
    }
    return FareOutcome::Found;
}

QString fareOutcomeText(FareOutcome outcome) {
    return QString::fromUtf16(kOutcomeNames[int(outcome)].text);
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

int retryAfterSeconds(const QString& rawHeaders, const QDateTime& now) {
    for (const QString& line : rawHeaders.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QStringLiteral("retry-after:"), Qt::CaseInsensitive)) {
            continue;
        }
        const QString value = line.mid(12).trimmed();
        bool ok = false;
        const qint64 seconds = value.toLongLong(&ok);
        if (ok) {
            return int(std::clamp<qint64>(seconds, 0, 86400));
        }
        // An HTTP date ends in "GMT", which Qt's RFC 2822 reading does not take.
        QString date = value;
        if (date.endsWith(QStringLiteral(" GMT"))) {
            date = date.chopped(4) + QStringLiteral(" +0000");
        }
        const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
        return at.isValid() ? int(std::clamp<qint64>(now.secsTo(at), 0, 86400)) : 0;
    }
    return 0;
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
