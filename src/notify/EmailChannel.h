#pragma once

#include "AlertChannel.h"
#include "ChannelSettings.h"
#include "CurlTransfers.h"

#include <QByteArray>
#include <QStringList>

namespace skylark {

class DeliveryWorkers;

// The whole RFC 5322 message of an alert: UTF-8 text, the subject as encoded words, CR LF
// lines.
QByteArray alertMailMessage(const QString& from, const QStringList& to, const AlertRound& round,
                            const QByteArray& messageId);

// E-mail through an SMTP server (plain, STARTTLS or SMTPS), on a worker thread.
class EmailChannel final : public AlertChannel {
public:
    EmailChannel(const ChannelSettings& settings, DeliveryWorkers& workers);
    void send(const AlertRound& round, DeliveryDone done) override;

private:
    MailTransfer m_transfer;
    DeliveryWorkers& m_workers;
};

} // namespace skylark
