#pragma once

#include <QMargins>
#include <QMessageBox>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace skylark::ui {

// The window operations every window uses: the message box with its numbered answers,
// opening and closing windows, and pop-up menus. Tests answer the message boxes through
// an answerer instead of a person.
class WindowOps {
public:
    enum Answer { Ok = 0, Cancel = 1, Abort = 2, Retry = 3, Ignore = 4, Yes = 5, No = 6 };
    enum class Buttons { Ok, OkCancel };

    // Shows a task-modal message box and returns the pressed button as an Answer.
    int messageBox(const QString& text, Buttons buttons = Buttons::Ok,
                   QMessageBox::Icon icon = QMessageBox::Information,
                   const QString& caption = QStringLiteral("信息："));

    // The box messageBox shows, not yet shown.
    static std::unique_ptr<QMessageBox> buildMessageBox(const QString& text, Buttons buttons,
                                                        QMessageBox::Icon icon,
                                                        const QString& caption);

    // Answers every message box in place of the user; it gets the box's text.
    using Answerer = std::function<int(const QString& text)>;
    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

    // Shows the window, owned by owner (or by none); a modal window returns when closed. A
    // modal window with an owner blocks the owner alone, one without blocks every window.
    void openWindow(QWidget* window, QWidget* owner, bool modal);
    // Destroys the window once the running handler has returned.
    void closeWindow(QWidget* window);
    // Pops the menu up at the mouse pointer; the chosen item's action runs.
    void popupMenu(QMenu& menu);

private:
    Answerer m_answerer;
};

// Centres the window on the primary screen: each half of the difference truncated.
void centreOnScreen(QWidget& window);

// Keeps the window's outer size, the window manager's frame included, at outer: the client
// is sized to outer less the frame once the frame is known, and again whenever it changes.
// Without a window manager the client size is the outer size.
void keepOuterSize(QWidget& window, QSize outer);
// The client size that gives the outer size around a frame of those widths.
QSize clientSizeFor(QSize outer, QMargins frame);

} // namespace skylark::ui
