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

// The header that carries the body's HMAC-SHA256 under the shared secret, as
// "sha256=" and the lowercase hex digest.
inline constexpr char kWebhookSignatureHeader[] = "X-Skylark-Signature-256";

// The POST of a webhook: one JSON document, signed when a secret is set.
HttpPost webhookPost(const ChannelSettings& settings, const AlertRound& round);

// How a kind of HTTP channel forms its message: the POST of one round.
using MessageForm = HttpPost (*)(const ChannelSettings& settings, const AlertRound& round);

// A channel that POSTs each round in its kind's message form, on a worker thread.
class HttpPostChannel final : public AlertChannel {
public:
    HttpPostChannel(const ChannelSettings& settings, DeliveryWorkers& workers, MessageForm form);
    void send(const AlertRound& round, DeliveryDone done) override;

private:
    ChannelSettings m_settings;
    DeliveryWorkers& m_workers;
    MessageForm m_form;
};

} // namespace skylark
