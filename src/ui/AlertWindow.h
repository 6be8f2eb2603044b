#pragma once

#include "app/FareRecords.h"
#include "notify/AlertPopUp.h"

#include <QList>
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
    static constexpr int kShowMs = AlertCountdown::kShowMs;
    static constexpr int kFadeSteps = AlertCountdown::kFadeSteps;
    static constexpr int kFadeStepMs = AlertCountdown::kFadeStepMs;

    // fares holds at least one record; skin is the frame's picture, decoded its pixels when
    // the caller has them.
    AlertWindow(const QList<SpecialFare>& fares, const QByteArray& skin,
                const QPixmap& decoded = {}, QWidget* parent = nullptr);
    ~AlertWindow() override;

    static QString hintLine() { return alertHint(); }

    // Starts the 10 s countdown with the fade that follows it, fully opaque again.
    void startCountdown(int showMs = kShowMs, int fadeStepMs = kFadeStepMs);
    // Shows another round's fares in the same window.
    void showFares(const QList<SpecialFare>& fares);

Q_SIGNALS:
    // The hot area over "打开软件查看全部" was pressed.
    void openMainWindowRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showOpacity(double opacity);

    std::unique_ptr<Ui::AlertWindow> m_ui;
    AlertCountdown m_countdown;
};

} // namespace skylark::ui
