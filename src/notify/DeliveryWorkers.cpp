#include "DeliveryWorkers.h"

#include <chrono>
#include <thread>

namespace skylark {
namespace {

// Sleeps for the pause in short steps, so that a cancel ends it at once.
void pauseUnlessCancelled(int pauseMs, const DeliveryTerms& terms) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(pauseMs);
    while (!terms.isCancelled() && steady_clock::now() < end) {
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(20), end - steady_clock::now()));
    }
}

} // namespace

DeliveryWorkers::DeliveryWorkers(DeliveryLimits limits, QObject* parent)
    : QObject(parent)
    , m_limits(limits)
    , m_cancelled(std::make_shared<std::atomic<bool>>(false)) {
    // Enough for every channel to hang at once and a round's messages still to start.
    m_pool.setMaxThreadCount(8);
}

DeliveryWorkers::~DeliveryWorkers() {
    m_cancelled->store(true);
    m_pool.clear();
    m_pool.waitForDone();
}

void DeliveryWorkers::run(Attempt attempt, DeliveryDone done) {
    const DeliveryLimits limits = m_limits;
    const std::shared_ptr<std::atomic<bool>> cancelled = m_cancelled;
    m_pool.start(
        [attempt = std::move(attempt), done = std::move(done), limits, cancelled, this]() mutable {
            const DeliveryTerms terms{limits.attemptSeconds, cancelled.get()};
            DeliveryOutcome outcome = attempt(terms);
            if (!outcome.sent && !terms.isCancelled()) {
                pauseUnlessCancelled(limits.retryPauseMs, terms);
                if (!terms.isCancelled()) {
                    outcome = attempt(terms);
                }
            }
            if (terms.isCancelled()) {
                return;
            }
            // The pool's destructor waits for this task, so the object is still alive here;
            // the queued call is dropped when it goes before the call runs.
            QMetaObject::invokeMethod(
                this, [done = std::move(done), outcome] { done(outcome); }, Qt::QueuedConnection);
        });
}

} // namespace skylark
