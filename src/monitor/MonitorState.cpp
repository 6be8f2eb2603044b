#include "MonitorState.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

QString countdown(qint64 seconds) {
    seconds = qMax<qint64>(0, seconds);
    const qint64 hours = seconds / 3600;
    const QString minutesAndSeconds =
        u"%1:%2"_s.arg((seconds / 60) % 60, hours > 0 ? 2 : 1, 10, QChar(u'0'))
            .arg(seconds % 60, 2, 10, QChar(u'0'));
    return hours > 0 ? QString::number(hours) + u':' + minutesAndSeconds : minutesAndSeconds;
}

QString phaseText(const MonitorStatus& status, const QDateTime& now) {
    switch (status.phase) {
    case MonitorStatus::Phase::Off:
        return u"监控未开启"_s;
    case MonitorStatus::Phase::StartWait:
        return u"即将开始第一轮"_s;
    case MonitorStatus::Phase::Round:
        return u"第 %1 轮：正在搜索 %2/%3（%4）"_s.arg(
            QString::number(status.round), QString::number(status.routeIndex),
            QString::number(status.routeCount), status.routeId);
    case MonitorStatus::Phase::Waiting:
        return u"下一轮 %1（还有 %2）"_s.arg(status.nextRoundAt.toString(u"HH:mm:ss"_s),
                                             countdown(now.secsTo(status.nextRoundAt)));
    }
    return {};
}

} // namespace

MonitorState::MonitorState(QObject* parent)
    : QObject(parent) {}

void MonitorState::publish() {
    Q_EMIT changed(m_status);
}

void MonitorState::startWaiting() {
    m_status.phase = MonitorStatus::Phase::StartWait;
    m_status.round = 0;
    m_status.hasLastRound = false;
    publish();
}

void MonitorState::beginRound(int routeCount, const QDateTime& now) {
    m_roundStart = now;
    m_counts = {};
    m_status.phase = MonitorStatus::Phase::Round;
    ++m_status.round;
    m_status.routeIndex = 0;
    m_status.routeCount = routeCount;
    m_status.routeId.clear();
    publish();
}

void MonitorState::askRoute(int routeIndex, const QString& routeId) {
    m_status.routeIndex = routeIndex;
    m_status.routeId = routeId;
    publish();
}

void MonitorState::countRoute(bool found, bool special) {
    ++(found ? m_counts.found : m_counts.notFound);
    m_counts.special += special ? 1 : 0;
}

void MonitorState::countStale(int stale) {
    m_counts.stale = stale;
}

void MonitorState::endRound(const QDateTime& now, const QDateTime& nextRoundAt) {
    m_status.hasLastRound = true;
    m_status.lastRoundMs = m_roundStart.msecsTo(now);
    m_status.lastCounts = m_counts;
    m_status.routeIndex = 0;
    m_status.routeId.clear();
    m_status.nextRoundAt = nextRoundAt;
    m_status.phase =
        nextRoundAt.isValid() ? MonitorStatus::Phase::Waiting : MonitorStatus::Phase::Off;
    publish();
}

void MonitorState::switchOff() {
    if (m_status.phase == MonitorStatus::Phase::Waiting ||
        m_status.phase == MonitorStatus::Phase::StartWait) {
        m_status.phase = MonitorStatus::Phase::Off;
        m_status.nextRoundAt = {};
        publish();
    }
}

QString monitorStateLine(const MonitorStatus& status, const QDateTime& now) {
    const QString phase = phaseText(status, now);
    const QString last = lastRoundLine(status);
    return last.isEmpty() ? phase : phase + u" · "_s + last;
}

QString lastRoundLine(const MonitorStatus& status) {
    if (!status.hasLastRound) {
        return {};
    }
    const RoundCounts& counts = status.lastCounts;
    QString line = u"上一轮 %1 秒：找到 %2，特价 %3，未找到 %4"_s.arg(
        QString::number(double(status.lastRoundMs) / 1000.0, 'f', 1), QString::number(counts.found),
        QString::number(counts.special), QString::number(counts.notFound));
    if (counts.stale > 0) {
        line += u"，长期未找到 %1"_s.arg(counts.stale);
    }
    return line;
}

} // namespace skylark
