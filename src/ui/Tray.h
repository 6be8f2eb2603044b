#pragma once

#include "notify/DesktopChannel.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace skylark::ui {

class WindowOps;

// What the main menu's items run, apart from showing and hiding the main window.
struct MainMenuActions {
    std::function<void()> openHomePage;
    std::function<void()> openPushSettings;
    std::function<void()> openFeedbackPage;
    std::function<void()> openMailFeedback;
    std::function<void()> openAlertChannels;
    std::function<void()> exitProgram;
};

// The notification-area icon and the main menu "菜单" that it and the title bar's menu
// button pop up; its balloon shows desktop notifications where the desktop has no
// notification service.
class Tray : public QObject, public NotificationFallback {
    Q_OBJECT

public:
    Tray(QWidget& mainWindow, WindowOps& ops, MainMenuActions actions, const QIcon& icon,
         const QString& caption);

    // The event numbers of the icon: 1 left button released, 2 double click, 3 right button
    // or context-menu key.
    void onTrayEvent(int event);
    // Pops the main menu up at the mouse pointer, with or without the show/hide item.
    void popUpMainMenu(bool withShowHide);

    QMenu& mainMenu() { return m_menu; }
    QAction& showHideItem() { return *m_showHide; }
    const QSystemTrayIcon& icon() const { return m_icon; }
    // Whether the desktop has a notification area to put the icon in.
    static bool available();
    bool showMessage(const QString& title, const QString& body) override;

private:
    QWidget& m_mainWindow;
    WindowOps& m_ops;
    QMenu m_menu;
    QAction* m_showHide = nullptr;
    QSystemTrayIcon m_icon;
};

// The event number of a tray icon activation, 0 for one the program ignores.
int trayEventOf(QSystemTrayIcon::ActivationReason reason);

} // namespace skylark::ui
