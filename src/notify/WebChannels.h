#pragma once

#include "AlertChannel.h"
#include "ChannelSettings.h"
#include "CurlTransfers.h"

#include <QByteArray>

namespace skylark {

class DeliveryWorkers;

// The POST of an ntfy message: the JSON publish form, sent to the server's root with the
// topic in the document.
HttpPost ntfyPost(const ChannelSettings& settings, const AlertRound& round);

// A push to a phone through an ntfy server, on a worker thread.
class NtfyChannel final : public AlertChannel {
public:
    NtfyChannel(const ChannelSettings& settings, DeliveryWorkers& workers);
    void send(const AlertRound& round, DeliveryDone done) override;

private:
    ChannelSettings m_settings;
    DeliveryWorkers& m_workers;
};

// The header that carries the body's HMAC-SHA256 under the shared secret, as
// "sha256=" and the lowercase hex digest.
inline constexpr char kWebhookSignatureHeader[] = "X-Skylark-Signature-256";

// The POST of a webhook: one JSON document, signed when a secret is set.
HttpPost webhookPost(const ChannelSettings& settings, const AlertRound& round);

// One JSON document per round to a URL of the user's, on a worker thread.
class WebhookChannel final : public AlertChannel {
public:
    WebhookChannel(const ChannelSettings& settings, DeliveryWorkers& workers);
    void send(const AlertRound& round, DeliveryDone done) override;

private:
    ChannelSettings m_settings;
    DeliveryWorkers& m_workers;
};

} // namespace skylark
