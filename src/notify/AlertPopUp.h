#pragma once

#include "app/FareRecords.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

namespace skylark {

// What the desktop alert of a round shows: the title with the count, the hint along its
// bottom edge, and the first fare's five texts.
struct AlertTexts {
    QString title;
    QString hint;
    SpecialFare first;
};
// fares holds at least one record.
AlertTexts alertTexts(const QList<SpecialFare>& fares);
QString alertTitle(qsizetype count);
QString alertHint();

// Where an alert of that size goes: its bottom-right corner on the available area's, which
// is the screen less its panels, wherever they are docked.
QPoint alertCorner(const QRect& availableArea, const QSize& size);

// The alert's life: shown for a while, then faded out in even steps, then over. Each step
// says the opacity to show at once; the timers never block the event loop.
class AlertCountdown : public QObject {
    Q_OBJECT

public:
    static constexpr int kShowMs = 10000;
    static constexpr int kFadeSteps = 255;
    static constexpr int kFadeStepMs = 10;

    explicit AlertCountdown(QObject* parent = nullptr);

    void start(int showMs = kShowMs, int fadeStepMs = kFadeStepMs);
    int fadeStep() const { return m_step; }

Q_SIGNALS:
    // From just under 1 down to 0, once a step.
    void opacityChanged(double opacity);
    // The last step is done: the alert closes.
    void finished();

private:
    void step();

    QTimer m_hideTimer; // 时钟_隐藏窗口
    QTimer m_fadeTimer;
    int m_step = 0;
};

} // namespace skylark
