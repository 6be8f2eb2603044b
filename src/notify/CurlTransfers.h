#pragma once

#include "AlertChannel.h"
#include "DeliveryWorkers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace skylark {

// Blocking libcurl transfers of the alert channels, for a worker thread. TLS peers are
// always verified, against the system's authorities and, when caFile is given, the
// authorities of that file too. No redirect is followed.

struct HttpPost {
    QString url;
    QList<QByteArray> headers; // "Name: value" lines
    QByteArray body;
    QString caFile;
};

// A 2xx answer counts as delivered; anything else fails with its reason.
DeliveryOutcome postOverHttp(const HttpPost& post, const DeliveryTerms& terms);

enum class MailSecurity { None, StartTls, Smtps };

struct MailTransfer {
    QString server;
    int port = 0; // 0: the security mode's usual port
    MailSecurity security = MailSecurity::StartTls;
    QString user;
    QString password;
    QString from;
    QStringList to;
    QByteArray message; // the whole RFC 5322 message, CR LF lines
    QString caFile;
};

DeliveryOutcome sendMail(const MailTransfer& mail, const DeliveryTerms& terms);

} // namespace skylark
