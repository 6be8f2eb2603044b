#pragma once

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class TipWindow;
}

namespace skylark::ui {

// The operation-tip window of the start-up: its picture, and a caption that counts the
// seconds down until it closes itself on the sixth tick of its one-second timer.
class TipWindow : public QWidget {
    Q_OBJECT

public:
    explicit TipWindow(QWidget* owner = nullptr, int tickMs = 1000);
    ~TipWindow() override;

private:
    void tick();

    std::unique_ptr<Ui::TipWindow> m_ui;
    QTimer m_timer; // 时钟1
    int m_ticks = 0;
};

} // namespace skylark::ui
