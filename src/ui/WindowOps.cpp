#include "WindowOps.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace skylark::ui {

std::unique_ptr<QMessageBox> WindowOps::buildMessageBox(const QString& text, Buttons buttons,
                                                        QMessageBox::Icon icon,
                                                        const QString& caption) {
    auto box = std::make_unique<QMessageBox>(
        icon, caption, text,
        buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

int WindowOps::messageBox(const QString& text, Buttons buttons, QMessageBox::Icon icon,
                          const QString& caption) {
    if (m_answerer) {
        return m_answerer(text);
    }
    const std::unique_ptr<QMessageBox> box = buildMessageBox(text, buttons, icon, caption);
    return box->exec() == QMessageBox::Ok ? Ok : Cancel;
}

void WindowOps::openWindow(QWidget* window, QWidget* owner, bool modal) {
    if (owner) {
        window->setParent(owner, window->windowFlags() | Qt::Window);
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!modal) {
        window->show();
        return;
    }
    QPointer<QWidget> guarded(window);
    // Modal to its owner alone: the program's other windows (an alert, the tray's menu)
    // stay usable meanwhile.
    window->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->show();
    loop.exec();
}

void WindowOps::closeWindow(QWidget* window) {
    window->hide();
    window->deleteLater();
}

void centreOnScreen(QWidget& window) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.move((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
}

void WindowOps::popupMenu(QMenu& menu) {
    menu.popup(QCursor::pos());
}

} // namespace skylark::ui
