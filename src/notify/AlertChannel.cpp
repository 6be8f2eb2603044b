#include "AlertChannel.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

QString routeOf(const AlertedFare& fare) {
    return fare.depCityName + u"→"_s + fare.arrCityName;
}

} // namespace

QString alertTitle(const AlertRound& round) {
    const QString sender = QString::fromUtf16(kAlertSenderName);
    if (round.isTest()) {
        return sender + u"：测试提醒"_s;
    }
    if (round.isNotice()) {
        return sender + u"：航线提醒"_s;
    }
    const AlertedFare& first = round.fares.first();
    QString title =
        u"%1：%2 %3 特价 %4 元"_s.arg(sender, routeOf(first), first.depDate, first.fare);
    if (round.fares.size() > 1) {
        title += u"，共 %1 条特价票"_s.arg(round.fares.size());
    }
    return title;
}

QStringList alertFareLines(const AlertRound& round) {
    QStringList lines;
    for (const AlertedFare& fare : round.fares) {
        lines.append(u"%1 %2：%3 元（提醒价格 %4 元，%5）"_s.arg(
            routeOf(fare), fare.depDate, fare.fare, fare.alertPrice,
            fare.observedAt.toString(u"yyyy-MM-dd HH:mm:ss"_s)));
    }
    return lines;
}

QString alertBodyText(const AlertRound& round, bool withLinks) {
    if (round.isTest()) {
        return u"这是一条测试消息：收到它，说明这种提醒方式已设置好。"_s;
    }
    if (round.isNotice()) {
        return round.notice;
    }
    QStringList lines;
    const QStringList fareLines = alertFareLines(round);
    for (qsizetype i = 0; i < fareLines.size(); ++i) {
        lines.append(fareLines[i]);
        if (withLinks && !round.fares[i].searchPageUrl.isEmpty()) {
            lines.append(round.fares[i].searchPageUrl);
        }
    }
    return lines.join(u'\n');
}

QString deliveryLogLine(const QString& caption, const DeliveryOutcome& outcome) {
    const QString result = outcome.sent ? u"已发送"_s : u"失败（%1）"_s.arg(outcome.reason);
    return u"发送%1提醒结果：%2"_s.arg(caption, result);
}

} // namespace skylark
