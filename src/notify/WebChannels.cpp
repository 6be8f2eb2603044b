#include "WebChannels.h"

#include "DeliveryWorkers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QUrl>

#include <cmath>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

// A fare as a JSON number when it reads as one, else as the text it is.
QJsonValue amountOf(const QString& text) {
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return text;
    }
    return number;
}

QString isoTime(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonObject fareObject(const AlertedFare& fare) {
    return {{u"route_id"_s, fare.routeId},         {u"from"_s, fare.depCityName},
            {u"to"_s, fare.arrCityName},           {u"date"_s, fare.depDate},
            {u"fare"_s, amountOf(fare.fare)},      {u"alert_price"_s, amountOf(fare.alertPrice)},
            {u"time"_s, isoTime(fare.observedAt)}, {u"link"_s, fare.searchPageUrl}};
}

} // namespace

HttpPost ntfyPost(const ChannelSettings& settings, const AlertRound& round) {
    QUrl root(settings.value(u"url"_s).trimmed());
    QString path = root.path();
    while (path.endsWith(u'/')) {
        path.chop(1);
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString topic = path.mid(slash + 1);
    root.setPath(path.left(slash + 1).isEmpty() ? u"/"_s : path.left(slash + 1));
    root.setQuery(QString());

    QJsonObject document{{u"topic"_s, topic},
                         {u"title"_s, alertTitle(round)},
                         {u"message"_s, alertBodyText(round, false)},
                         {u"tags"_s, QJsonArray{u"airplane"_s}}};
    const QString priority = settings.value(u"priority"_s);
    document.insert(u"priority"_s, priority.isEmpty() ? 3 : priority.toInt());
    if (!round.fares.isEmpty() && !round.fares.first().searchPageUrl.isEmpty()) {
        document.insert(u"click"_s, round.fares.first().searchPageUrl);
    }
    HttpPost post;
    post.url = root.toString();
    post.caFile = settings.value(u"ca-file"_s);
    post.body = QJsonDocument(document).toJson(QJsonDocument::Compact);
    post.headers = {"Content-Type: application/json"};
    if (const QString token = settings.value(u"token"_s).trimmed(); !token.isEmpty()) {
        post.headers.append("Authorization: Bearer " + token.toUtf8());
    }
    return post;
}

HttpPost webhookPost(const ChannelSettings& settings, const AlertRound& round) {
    QJsonObject document{{u"source"_s, u"skylark"_s},
                         {u"event"_s, round.isTest()     ? u"test"_s
                                      : round.isNotice() ? u"notice"_s
                                                         : u"special_fares"_s},
                         {u"sent_at"_s, isoTime(round.sentAt)}};
    QJsonArray fares;
    for (const AlertedFare& fare : round.fares) {
        fares.append(fareObject(fare));
    }
    if (round.isNotice()) {
        document.insert(u"message"_s, round.notice);
    }
    if (!round.fares.isEmpty()) {
        const QJsonObject first = fareObject(round.fares.first());
        for (auto field = first.begin(); field != first.end(); ++field) {
            document.insert(field.key(), field.value());
        }
    }
    document.insert(u"fares"_s, fares);

    HttpPost post;
    post.url = settings.value(u"url"_s).trimmed();
    post.caFile = settings.value(u"ca-file"_s);
    post.body = QJsonDocument(document).toJson(QJsonDocument::Compact);
    post.headers = {"Content-Type: application/json", "User-Agent: Skylark"};
    if (const QString secret = settings.value(u"secret"_s); !secret.isEmpty()) {
        const QByteArray digest = QMessageAuthenticationCode::hash(post.body, secret.toUtf8(),
                                                                   QCryptographicHash::Sha256);
        post.headers.append(QByteArray(kWebhookSignatureHeader) + ": sha256=" + digest.toHex());
    }
    return post;
}

HttpPostChannel::HttpPostChannel(const ChannelSettings& settings, DeliveryWorkers& workers,
                                 MessageForm form)
    : m_settings(settings)
    , m_workers(workers)
    , m_form(form) {}

void HttpPostChannel::send(const AlertRound& round, DeliveryDone done) {
    m_workers.run(
        [settings = m_settings, round, form = m_form](const DeliveryTerms& terms) {
            return postOverHttp(form(settings, round), terms);
        },
        std::move(done));
}

} // namespace skylark
