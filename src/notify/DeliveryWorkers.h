#pragma once

#include "AlertChannel.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace skylark {

struct DeliveryLimits {
    int attemptSeconds = 30; // one attempt of a delivery at most
    int retryPauseMs = 3000; // before the one retry of a failed attempt
};

// What a blocking attempt is given: its time bound, and a flag that turns true when the
// program no longer waits for it, so that it gives up at once.
struct DeliveryTerms {
    int timeoutSeconds = 30;
    const std::atomic<bool>* cancelled = nullptr;
    bool isCancelled() const { return cancelled && cancelled->load(); }
};

// Runs blocking deliveries on worker threads, so that no network wait ever falls on the
// thread that asked for them: each attempt is bounded by the limits, a failed one is tried
// once more after a pause, and the outcome is handed back on the asking thread. Going
// away cancels the attempts still running and waits for their threads to let go.
class DeliveryWorkers : public QObject {
    Q_OBJECT

public:
    explicit DeliveryWorkers(DeliveryLimits limits = {}, QObject* parent = nullptr);
    ~DeliveryWorkers() override;

    using Attempt = std::function<DeliveryOutcome(const DeliveryTerms& terms)>;
    void run(Attempt attempt, DeliveryDone done);

    const DeliveryLimits& limits() const { return m_limits; }

private:
    DeliveryLimits m_limits;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QThreadPool m_pool;
};

} // namespace skylark
