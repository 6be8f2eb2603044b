#include "Tray.h"

#include "Desktop.h"
#include "WindowOps.h"
#include "app/WindowRules.h"

namespace skylark::ui {

int trayEventOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return 1;
    case QSystemTrayIcon::DoubleClick:
        return 2;
    case QSystemTrayIcon::Context:
        return 3;
    default:
        return 0;
    }
}

Tray::Tray(QWidget& mainWindow, WindowOps& ops, MainMenuActions actions, const QIcon& icon,
           const QString& caption)
    : m_mainWindow(mainWindow)
    , m_ops(ops)
    , m_menu(QStringLiteral("菜单")) {
    const auto item = [this](const QString& text, std::function<void()> run) {
        QAction* action = m_menu.addAction(text);
        connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
        return action;
    };
    item(QStringLiteral("论坛主页"), std::move(actions.openHomePage));
    m_showHide = item(showHideCaption(false), [this] {
        switch (showHideFor(m_showHide->text())) {
        case ShowHide::Show:
            showMainWindow(m_mainWindow);
            break;
        case ShowHide::Hide:
            m_mainWindow.hide();
            break;
        case ShowHide::Nothing:
            break;
        }
    });
    m_showHide->setVisible(false);
    item(QStringLiteral("微信设置"), std::move(actions.openPushSettings));
    item(QStringLiteral("问题反馈"), std::move(actions.openFeedbackPage));
    item(QStringLiteral("邮件反馈"), std::move(actions.openMailFeedback));
    item(QStringLiteral("提醒方式"), std::move(actions.openAlertChannels));
    item(QStringLiteral("退出软件"), std::move(actions.exitProgram));

    m_icon.setIcon(icon);
    m_icon.setToolTip(trayTip(caption));
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onTrayEvent(trayEventOf(reason)); });
    m_icon.show();
}

bool Tray::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool Tray::showMessage(const QString& title, const QString& body) {
    if (!available()) {
        return false;
    }
    m_icon.showMessage(title, body, m_icon.icon());
    return true;
}

void Tray::onTrayEvent(int event) {
    switch (trayActionFor(event)) {
    case TrayAction::ShowMainWindow:
        showMainWindow(m_mainWindow);
        break;
    case TrayAction::PopUpMenu:
        popUpMainMenu(true);
        break;
    case TrayAction::None:
        break;
    }
}

void Tray::popUpMainMenu(bool withShowHide) {
    if (withShowHide) {
        m_showHide->setText(showHideCaption(m_mainWindow.isVisible()));
    }
    m_showHide->setVisible(withShowHide);
    m_ops.popupMenu(m_menu);
}

} // namespace skylark::ui
