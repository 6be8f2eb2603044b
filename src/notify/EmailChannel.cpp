#include "EmailChannel.h"

#include "DeliveryWorkers.h"

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

} // namespace skylark
