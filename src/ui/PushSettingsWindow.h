#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class PushSettingsWindow;
}

namespace skylark {
class PushSettingsLogic;
}

namespace skylark::ui {

class WindowOps;

// The push settings window: the binding id and the interval, loaded when it opens, the
// test button (disabled while its push runs) and the save button with its refusals.
class PushSettingsWindow : public QWidget {
    Q_OBJECT

public:
    PushSettingsWindow(PushSettingsLogic& logic, QWidget* parent = nullptr);
    ~PushSettingsWindow() override;

private:
    std::unique_ptr<Ui::PushSettingsWindow> m_ui;
};

} // namespace skylark::ui
