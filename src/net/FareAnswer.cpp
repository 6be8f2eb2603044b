#include "FareAnswer.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;
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

QString notFoundText() {
    return u"未找到"_s;
}

bool fareSourceRefused(const FareAnswer& answer) {
    switch (answer.outcome) {
    case FareOutcome::CalendarUnreachable:
    case FareOutcome::TimedOut:
        return true;
    case FareOutcome::HttpStatus:
        return answer.calendarStatus == 429 || answer.calendarStatus >= 500;
    default:
        return false;
    }
}

} // namespace skylark
