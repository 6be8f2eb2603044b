#pragma once

#include "app/SkinRules.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <map>
#include <optional>

class QAbstractButton;
class QTabWidget;
class QWidget;

namespace skylark::ui {

// The status text as it fits in room pixels of the frame's face: its last parts (after
// " · ") dropped first, then the rest cut short with an ellipsis.
QString fittedStatusText(const QFont& font, const QString& text, int room);

// What a frame draws and builds; a copy can be taken and given back.
struct FrameSettings {
    QByteArray picture = {};       // the skin, any picture format Qt reads
    QPixmap decoded = {};          // the picture already decoded, when the caller has it
    QByteArray secondPicture = {}; // empty in every use
    QSize size = {};
    QList<TitleButtonKind> buttons = {}; // of maximize, minimize, menu and change skin
    QString secondLine = {};             // drawn along the bottom edge
    int titleBarHeight = 0;              // 0: the default, 35; the page buttons then sit at 30
    int opacity = 255;
    bool movable = true; // a left press on the frame drags the window
};

// The frame the skin layer draws over a window in place of the system's: the skin picture
// under everything, the window title, the second line along the bottom edge, the title-bar
// buttons and the navigation buttons. It lives as long as its window.
class SkinFrame : public QObject {
    Q_OBJECT

public:
    static constexpr int kClosingPauseMs = 5;

    // Takes over the window's frame: no system frame, the given size, the buttons built. A
    // window that has a frame keeps it, with the new settings.
    static SkinFrame* attach(QWidget& window, FrameSettings settings);
    // The frame attached to the window, if any.
    static SkinFrame* of(const QWidget& window);

    QWidget& window() const;
    FrameSettings settings() const { return m_settings; }
    // Takes the settings back (picture, size, buttons, line, opacity) and repaints.
    void setSettings(FrameSettings settings);

    // Runs instead of the button's own action: close destroys the window, maximize toggles
    // it, minimize minimizes it, menu and change skin do nothing.
    void setTitleButtonHandler(TitleButtonKind kind, std::function<void()> handler);
    QAbstractButton* titleButton(TitleButtonKind kind) const;

    // A button for page n (from 0) of the tab control, in the band under the title bar.
    void addNavigationButton(const QString& caption, const QPixmap& icon, QTabWidget* tabs,
                             std::function<void()> handler = {});
    // Marks button n (from 1) selected, without changing the page.
    void selectNavigationButton(int n);
    QAbstractButton* navigationButton(int n) const;
    int selectedNavigationButton() const { return m_selected; }

    // Empty bytes leave the picture as it is; decoded: its pixels, when the caller has them.
    void setFramePicture(const QByteArray& picture, const QPixmap& decoded = {});
    void setFrameOpacity(int opacity);
    // Drops the window edge by edge in ten steps, then closes it (a window deleted on close
    // is destroyed); the pauses between the steps keep serving events. A second call while
    // it runs does nothing.
    void closeWithEffect(int pauseMs = kClosingPauseMs);

    // The second line's own text, as when attached: the version line arrives after the
    // window is shown.
    void setSecondLine(const QString& text);
    const QString& secondLine() const { return m_settings.secondLine; }

    // A text at the right end of the second line (the monitor's state), shortened where
    // it would run into the line's own text.
    void setStatusText(const QString& text);
    const QString& statusText() const { return m_statusText; }

    // Where the second line's text starts and which font it has: where its words lie.
    QRect secondLineRect() const;
    QFont frameFont() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SkinFrame(QWidget& window, FrameSettings settings);
    void buildTitleButtons();
    void titleButtonClicked(TitleButtonKind kind);
    void navigationClicked(int n);
    void paint(const QRect& dirty);
    bool startDrag(const QPoint& pressedAt);
    void loadSkin(const QByteArray& picture, const QPixmap& decoded = {});
    const QPixmap& skinForSize(const QSize& size);

    FrameSettings m_settings;
    QString m_statusText;
    QPixmap m_skin;
    QPixmap m_fitted;
    QList<QAbstractButton*> m_titleButtons;
    std::map<TitleButtonKind, std::function<void()>> m_handlers;
    struct Navigation {
        QAbstractButton* button;
        QPointer<QTabWidget> tabs;
        std::function<void()> handler;
    };
    QList<Navigation> m_navigation;
    int m_selected = 0;
    bool m_closing = false;
    QColor m_closingColour;
    // Where the left press was, until the pointer has moved far enough to drag.
    std::optional<QPoint> m_pressedAt;
    // Where the left press caught the window when the window system cannot move it.
    std::optional<QPoint> m_dragOffset;
};

} // namespace skylark::ui
