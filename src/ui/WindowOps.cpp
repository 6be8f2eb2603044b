#include "WindowOps.h"

#include <QCursor>
#include <QEvent>
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

namespace {

// Sizes its window's client to the outer size less the frame, as the frame becomes known.
class OuterSizeKeeper final : public QObject {
public:
    OuterSizeKeeper(QWidget& window, QSize outer)
        : QObject(&window)
        , m_outer(outer) {
        window.setFixedSize(outer);
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) {
            auto& window = *static_cast<QWidget*>(watched);
            const QRect outer = window.frameGeometry();
            const QRect inner = window.geometry();
            const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
            const QSize client = clientSizeFor(m_outer, frame);
            if (client != window.size()) {
                window.setFixedSize(client);
            }
        }
        return false;
    }

private:
    QSize m_outer;
};

} // namespace

QSize clientSizeFor(QSize outer, QMargins frame) {
    return {qMax(1, outer.width() - frame.left() - frame.right()),
            qMax(1, outer.height() - frame.top() - frame.bottom())};
}

void keepOuterSize(QWidget& window, QSize outer) {
    new OuterSizeKeeper(window, outer);
}

void WindowOps::popupMenu(QMenu& menu) {
    menu.popup(QCursor::pos());
}

} // namespace skylark::ui
