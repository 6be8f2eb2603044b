#pragma once

#include "net/FareAnswer.h"

#include <QString>

namespace skylark {

// The back-off rule: after a round the fare source refused in full (refusal, time-out,
// HTTP 429 or 5xx), the next round waits twice as long, up to kMaxFactor times the plain
// interval, spread by ±10 %; a longer Retry-After is honoured, and the first round that
// finds a fare restores the plain interval. Holds no clock and does no I/O.
class BackOff {
public:
    static constexpr int kMaxFactor = 8;

    struct Next {
        int intervalMs = 0;
        QString said; // the log line of a change; empty when there is none
    };

    // Monitoring starts afresh at the plain interval.
    void reset() { m_factor = 1; }
    // A round begins: its answers are counted anew.
    void beginRound();
    // One answer of the round's fare source.
    void noteAnswer(const FareAnswer& answer);
    // The interval after the round: the plain one while the rule is off or the plain one
    // is 0; spread is a factor in [0.9, 1.1], others are cut to it.
    Next nextInterval(bool ruleOn, int plainIntervalMs, double spread);
    // How many times the plain interval the next round waits (1, 2, 4 or 8).
    int factor() const { return m_factor; }

private:
    int m_factor = 1;
    int m_queried = 0;
    int m_refused = 0;
    bool m_found = false;
    int m_retryAfterSeconds = 0;
};

} // namespace skylark
