#pragma once

#include <QList>
#include <QRect>
#include <QString>

namespace skylark {

// The geometry and texts of the frame that the skin layer draws around the main, alert and
// skin windows: title-bar buttons, navigation buttons and the closing effect.

enum class TitleButtonKind { Close = 1, Maximize = 2, Minimize = 3, Menu = 4, ChangeSkin = 5 };

struct TitleButton {
    TitleButtonKind kind;
    QRect geometry;
    QString toolTip; // each with its trailing space

    bool operator==(const TitleButton&) const = default;
};

// The buttons of a frame of that width, from the right: close (39 x 20) at width - 46, then
// each of maximize, minimize, menu and change skin that is wanted, 28 x 20, each 28 pixels
// further left; all at top 5.
QList<TitleButton> titleBarButtons(int windowWidth, const QList<TitleButtonKind>& wanted,
                                   bool maximized = false);

// The n-th navigation button (from 0): 76 x 71 at 10 + 76 n, below the title bar (30 when
// the frame's title-bar height is 0).
QRect navigationButtonGeometry(int n, int titleBarHeight);
// A caption of more than 8 bytes of code page 936 becomes its first 4 bytes (never half a
// character) and "...".
QString navigationCaption(const QString& caption);
// Where the caption's text starts, right of the button's left edge: (12 - its bytes) x 3.125.
double navigationCaptionLeft(const QString& shownCaption);

// The window's geometry after step i (1 to 10) of the closing effect: its top edge 30 i
// pixels lower and its height 60 i pixels smaller than at the start.
QRect closingEffectStep(const QRect& start, int step);
inline constexpr int kClosingEffectSteps = 10;

} // namespace skylark
