#pragma once

#include <QWidget>

#include <memory>

class QMenu;
class QTabWidget;

namespace Ui {
class MainWindow;
}

namespace skylark {
class Monitor;
class PushSettingsLogic;
class RouteCommands;
class RouteListModel;
class Settings;
class StatusLog;
} // namespace skylark

namespace skylark::ui {

class WindowOps;

// The core objects the main window shows and calls.
struct MainWindowCore {
    RouteCommands& commands;
    Monitor& monitor;
    PushSettingsLogic& pushSettings;
    Settings& settings;
    RouteListModel& routes;
    StatusLog& log;
    WindowOps& ops;
};

// The main window: the layout of MainWindow.ui over the core's route list and status log,
// each control's event bound to the core function that handles it.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(MainWindowCore core, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The check box states of the start-up sequence.
    void setCheckBoxes(bool noAlertWindow, bool pushAlerts);
    // The tab control 选择夹1, whose pages the frame's navigation buttons select.
    QTabWidget& pages();
    // The route menu "航线操作", popped up by a right click on the route list.
    QMenu& routeMenu() { return *m_routeMenu; }
    // What a right click on the route list pops up: the route menu's items, then
    // "价格历史".
    QMenu& routeListMenu() { return *m_routeListMenu; }
    int selectedRow() const;
    // The two places the web pages go.
    QWidget& startPageHost();
    QWidget& trendPageHost();
    // From now on closing the window closes it, as the exit does.
    void allowClose() { m_closeAllowed = true; }

Q_SIGNALS:
    // The window's close button: the program goes on in the background.
    void closeRequested();
    // A left click on the route list.
    void routeListClicked();
    // The route menu's "价格历史".
    void historyRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bindRouteInput();
    void bindMonitoring();
    void bindRouteMenu();
    void bindCheckBoxes();
    void nameControls();
    void showStatusLog();

    MainWindowCore m_core;
    std::unique_ptr<Ui::MainWindow> m_ui;
    QMenu* m_routeMenu = nullptr;
    QMenu* m_routeListMenu = nullptr;
    bool m_closeAllowed = false;
};

} // namespace skylark::ui
