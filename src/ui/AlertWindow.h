#pragma once

#include "app/FareRecords.h"

#include <QList>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class AlertWindow;
}

namespace skylark::ui {

// The desktop alert of a round with special fares: its count in the title, the first fare
// in the five value labels, topmost in the bottom-right corner of the screen's available
// area without a taskbar entry. After 10 s it fades out in 255 steps of 10 ms, which never
// block the event loop, and closes itself; its close button closes it at once.
class AlertWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShowMs = 10000;
    static constexpr int kFadeSteps = 255;
    static constexpr int kFadeStepMs = 10;

    // fares holds at least one record; skin is the frame's picture, decoded its pixels when
    // the caller has them.
    AlertWindow(const QList<SpecialFare>& fares, const QByteArray& skin,
                const QPixmap& decoded = {}, QWidget* parent = nullptr);
    ~AlertWindow() override;

    static QString titleFor(qsizetype count);
    static QString hintLine();
    // Where a window of that size goes: its bottom-right corner on the area's, which is the
    // screen less its panels, wherever they are docked.
    static QPoint placeIn(const QRect& availableArea, const QSize& size);

    // Starts the 10 s countdown with the fade that follows it.
    void startCountdown(int showMs = kShowMs, int fadeStepMs = kFadeStepMs);

Q_SIGNALS:
    // The hot area over "打开软件查看全部" was pressed.
    void openMainWindowRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fadeStep();

    std::unique_ptr<Ui::AlertWindow> m_ui;
    QTimer m_hideTimer; // 时钟_隐藏窗口
    QTimer m_fadeTimer;
    int m_fadeStep = 0;
};

} // namespace skylark::ui
