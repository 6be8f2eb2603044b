#include "BackOff.h"

#include <QtGlobal>

#include <limits>

namespace skylark {

using namespace Qt::Literals::StringLiterals;
namespace {

QString secondsText(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', ms % 1000 == 0 ? 0 : 1);
}

} // namespace

void BackOff::beginRound() {
    m_queried = 0;
    m_refused = 0;
    m_found = false;
    m_retryAfterSeconds = 0;
}

void BackOff::noteAnswer(const FareAnswer& answer) {
    ++m_queried;
    m_found = m_found || answer.outcome == FareOutcome::Found;
    if (fareSourceRefused(answer)) {
        ++m_refused;
        m_retryAfterSeconds = qMax(m_retryAfterSeconds, answer.retryAfterSeconds);
    }
}

BackOff::Next BackOff::nextInterval(bool ruleOn, int plainIntervalMs, double spread) {
    if (!ruleOn || plainIntervalMs <= 0) {
        return {plainIntervalMs, {}};
    }
    const int before = m_factor;
    if (m_found) {
        m_factor = 1;
    } else if (m_queried > 0 && m_refused == m_queried) {
        m_factor = qMin(m_factor * 2, kMaxFactor);
    }
    if (m_factor == 1) {
        if (before == 1) {
            return {plainIntervalMs, {}};
        }
        return {plainIntervalMs,
                u"票价来源已恢复，下一轮间隔恢复为 %1 秒"_s.arg(secondsText(plainIntervalMs))};
    }
    constexpr double kLongest = std::numeric_limits<int>::max();
    double interval = double(plainIntervalMs) * m_factor * qBound(0.9, spread, 1.1);
    interval = qMax(interval, double(m_retryAfterSeconds) * 1000.0);
    const int next = int(qMin(interval, kLongest));
    if (m_factor == before && m_retryAfterSeconds == 0) {
        return {next, {}};
    }
    return {next, u"票价来源拒绝了本轮的全部查询，下一轮间隔延长为 %1 秒（平时 %2 秒）"_s.arg(
                      secondsText(next), secondsText(plainIntervalMs))};
}

} // namespace skylark
