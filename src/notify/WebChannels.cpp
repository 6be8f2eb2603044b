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

// Encoded words of at most 75 characters: 45 bytes of UTF-8 make 60 of base64.
QByteArray encodedWords(const QString& text) {
    QList<QByteArray> words;
    QByteArray piece;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = text.mid(i, length).toUtf8();
        if (piece.size() + character.size() > 45) {
            words.append(piece);
            piece.clear();
        }
        piece += character;
        i += length;
    }
    words.append(piece);
    QList<QByteArray> encoded;
    for (const QByteArray& word : words) {
        encoded.append("=?UTF-8?B?" + word.toBase64() + "?=");
    }
    return encoded.join("\r\n ");
}

QByteArray wrappedBase64(const QByteArray& bytes) {
    const QByteArray base64 = bytes.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < base64.size(); at += 76) {
        lines += base64.mid(at, 76) + "\r\n";
    }
    return lines;
}

QString domainOf(const QString& address) {
    const qsizetype at = address.lastIndexOf(u'@');
    return at < 0 ? u"localhost"_s : address.mid(at + 1);
}

MailSecurity securityOf(const QString& text) {
    if (text == u"none") {
        return MailSecurity::None;
    }
    return text == u"smtps" ? MailSecurity::Smtps : MailSecurity::StartTls;
}

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

QByteArray alertMailMessage(const QString& from, const QStringList& to, const AlertRound& round,
                            const QByteArray& messageId) {
    QString body = alertBodyText(round, true);
    body.replace(u'\n', u"\r\n"_s);
    QByteArray message;
    message += "Date: " + round.sentAt.toString(Qt::RFC2822Date).toUtf8() + "\r\n";
    message += "From: " + from.toUtf8() + "\r\n";
    message += "To: " + to.join(u", "_s).toUtf8() + "\r\n";
    message += "Subject: " + encodedWords(alertTitle(round)) + "\r\n";
    message += "Message-ID: " + messageId + "\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=UTF-8\r\n";
    message += "Content-Transfer-Encoding: base64\r\n";
    message += "X-Mailer: Skylark\r\n";
    message += "\r\n";
    message += wrappedBase64((body + u"\r\n"_s).toUtf8());
    return message;
}

EmailChannel::EmailChannel(const ChannelSettings& settings, DeliveryWorkers& workers)
    : m_workers(workers) {
    m_transfer.server = settings.value(u"server"_s).trimmed();
    m_transfer.port = settings.value(u"port"_s).toInt();
    m_transfer.security = securityOf(settings.value(u"security"_s));
    m_transfer.user = settings.value(u"user"_s);
    m_transfer.password = settings.value(u"password"_s);
    m_transfer.from = settings.value(u"from"_s).trimmed();
    m_transfer.to = mailAddressesOf(settings.value(u"to"_s));
    m_transfer.caFile = settings.value(u"ca-file"_s);
}

void EmailChannel::send(const AlertRound& round, DeliveryDone done) {
    // The message is made on the worker too: a round of many fares makes a long one.
    m_workers.run(
        [transfer = m_transfer, round,
         serial = quintptr(this)](const DeliveryTerms& terms) mutable {
            if (transfer.message.isEmpty()) { // a retry sends the same message
                const QByteArray messageId = "<" +
                                             QByteArray::number(round.sentAt.toMSecsSinceEpoch()) +
                                             "." + QByteArray::number(serial, 16) + ".skylark@" +
                                             domainOf(transfer.from).toUtf8() + ">";
                transfer.message = alertMailMessage(transfer.from, transfer.to, round, messageId);
            }
            return sendMail(transfer, terms);
        },
        std::move(done));
}

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
    if (!round.isTest() && !round.fares.first().searchPageUrl.isEmpty()) {
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

NtfyChannel::NtfyChannel(const ChannelSettings& settings, DeliveryWorkers& workers)
    : m_settings(settings)
    , m_workers(workers) {}

void NtfyChannel::send(const AlertRound& round, DeliveryDone done) {
    m_workers.run(
        [settings = m_settings, round](const DeliveryTerms& terms) {
            return postOverHttp(ntfyPost(settings, round), terms);
        },
        std::move(done));
}

HttpPost webhookPost(const ChannelSettings& settings, const AlertRound& round) {
    QJsonObject document{{u"source"_s, u"skylark"_s},
                         {u"event"_s, round.isTest() ? u"test"_s : u"special_fares"_s},
                         {u"sent_at"_s, isoTime(round.sentAt)}};
    QJsonArray fares;
    for (const AlertedFare& fare : round.fares) {
        fares.append(fareObject(fare));
    }
    if (!round.isTest()) {
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

WebhookChannel::WebhookChannel(const ChannelSettings& settings, DeliveryWorkers& workers)
    : m_settings(settings)
    , m_workers(workers) {}

void WebhookChannel::send(const AlertRound& round, DeliveryDone done) {
    m_workers.run(
        [settings = m_settings, round](const DeliveryTerms& terms) {
            return postOverHttp(webhookPost(settings, round), terms);
        },
        std::move(done));
}

} // namespace skylark
