#include "AlertPopUp.h"

namespace skylark {

QString alertTitle(qsizetype count) {
    return QStringLiteral(" 特价机票提醒   共发现 ") + QString::number(count) +
           QStringLiteral(" 条信息");
}

QString alertHint() {
    return QStringLiteral(" 提示: 数据来自阿里旅行              打开软件查看全部");
}

AlertTexts alertTexts(const QList<SpecialFare>& fares) {
    return {alertTitle(fares.size()), alertHint(), fares.value(0)};
}

QPoint alertCorner(const QRect& availableArea, const QSize& size) {
    return availableArea.bottomRight() - QPoint(size.width() - 1, size.height() - 1);
}

AlertCountdown::AlertCountdown(QObject* parent)
    : QObject(parent) {
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] { m_fadeTimer.start(); });
    connect(&m_fadeTimer, &QTimer::timeout, this, &AlertCountdown::step);
}

void AlertCountdown::start(int showMs, int fadeStepMs) {
    m_fadeTimer.stop(); // a fade under way starts over
    m_step = 0;
    m_fadeTimer.setInterval(fadeStepMs);
    m_hideTimer.start(showMs);
}

void AlertCountdown::step() {
    ++m_step;
    Q_EMIT opacityChanged(double(kFadeSteps - m_step) / kFadeSteps);
    if (m_step >= kFadeSteps) {
        m_fadeTimer.stop();
        Q_EMIT finished();
    }
}

} // namespace skylark
