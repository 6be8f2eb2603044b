#pragma once

#include <QString>

#include <optional>

namespace skylark {

// The rules behind the tray icon and the main menu's show/hide item.

// What a tray icon event does: 1 (left button released) and 2 (double click) show the
// main window, 3 (right button or context-menu key) pops up the main menu with its
// show/hide item; anything else is ignored.
enum class TrayAction { None, ShowMainWindow, PopUpMenu };
TrayAction trayActionFor(int event);

// The show/hide item's caption when the menu pops up from the tray.
QString showHideCaption(bool mainWindowVisible);
// What choosing the item does, read from its caption.
enum class ShowHide { Show, Hide, Nothing };
ShowHide showHideFor(const QString& caption);

// The operation-tip window counts down from its opening caption; each tick of its
// one-second timer passes the tick counter (0 at the start). The caption to show after
// the tick, or nullopt on the sixth tick, which closes the window.
QString tipWindowCaption();
std::optional<QString> tipCaptionAfterTick(int& counter);

// The tray icon's tip: the window caption cut to at most 62 bytes of code page 936.
QString trayTip(const QString& caption);

} // namespace skylark
