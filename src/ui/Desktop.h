#pragma once

#include "AlertChannelsWindow.h"
#include "AlertSound.h"
#include "AlertWindow.h"
#include "EmbeddedPages.h"
#include "HistoryWindow.h"
#include "PushSettingsWindow.h"
#include "SkinPicture.h"
#include "SkinWindow.h"
#include "Tray.h"
#include "app/FrontEnd.h"
#include "app/IntervalTimer.h"
#include "app/ProgramLifecycle.h"
#include "app/Settings.h"
#include "app/SkinFolder.h"
#include "app/UrlOpener.h"
#include "app/VersionCheck.h"
#include "history/RouteNotes.h"
#include "net/Endpoints.h"
#include "session/MonitorSession.h"

#include <QPointer>

#include <functional>
#include <memory>

namespace skylark::ui {

class MainWindow;
class SkinFrame;
class WindowOps;

// Opens URLs in the desktop's default browser.
class BrowserOpener final : public UrlOpener {
public:
    void openUrl(const QString& url) override;
};

// What the core asks of the desktop: message boxes, the alert sound, the alert window.
class DesktopFrontEnd final : public FrontEnd {
public:
    // Reads the skin and the no-alert-window setting of the data directory's config.ini.
    DesktopFrontEnd(WindowOps& ops, const QString& directory)
        : m_ops(ops)
        , m_settings(directory)
        , m_skin(m_settings) {}
    void setMainWindow(MainWindow* window) { m_window = window; }
    void setPushSettingsLogic(PushSettingsLogic* logic) { m_pushSettingsLogic = logic; }

    void showInformation(const QString& text) override;
    void playAlertSound() override;
    void showAlertWindow(const QList<SpecialFare>& fares) override;
    bool alertWindowSuppressed() const override;
    void openPushSettings() override;

    // The alert window of the latest round, while it is open.
    AlertWindow* alertWindow() const { return m_alert; }
    // The push settings window, while it is open.
    PushSettingsWindow* pushSettingsWindow() const { return m_pushSettingsWindow; }
    // The configured skin that the framed windows wear, decoded once per change.
    const SkinPicture& configuredSkin() { return m_skin.current(); }

private:
    WindowOps& m_ops;
    Settings m_settings;
    ConfiguredSkin m_skin;
    MainWindow* m_window = nullptr;
    AlertSound m_sound;
    QPointer<AlertWindow> m_alert;
    qint64 m_alertSkin = 0; // the cache key of the skin the alert window wears
    PushSettingsLogic* m_pushSettingsLogic = nullptr;
    QPointer<PushSettingsWindow> m_pushSettingsWindow;
};

// Centres the window on the primary screen, shows it and restores it from minimized.
void showMainWindow(QWidget& window);

// The desktop program: the core objects of one data directory and the main window bound
// to them.
class Desktop {
public:
    // notice: said along the frame's bottom line after the version (demo data).
    Desktop(const QString& directory, const Endpoints& endpoints, WindowOps& ops,
            QString notice = {}, MonitorTiming timing = {});
    ~Desktop();

    // The start-up sequence of the main window; it shows the window at its end, then says
    // once in a message box when the data directory cannot be written, else the problem
    // given (why the program could not guard its directory), if any.
    void start(const QString& startUpProblem = {});
    // The exit question; true when the user chose to exit and the program is ending: the
    // main window closes with the frame's closing effect.
    bool exitProgram();
    // The skin window, modal over the main window; returns when it is closed.
    void openSkinWindow();
    // The configured skin on the main window's frame; an unreadable file changes nothing.
    void applyConfiguredSkin();
    // How the program ends after the exit (the application's quit by default).
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    MainWindow& window() { return *m_window; }
    // The core objects of the data directory.
    MonitorSession& session() { return m_session; }
    StatusLog& log() { return m_session.log(); }
    RouteListModel& routes() { return m_session.routes(); }
    RouteBook& book() { return m_session.book(); }
    Monitor& monitor() { return m_session.monitor(); }
    DesktopFrontEnd& frontEnd() { return m_frontEnd; }
    Tray& tray() { return *m_tray; }
    EmbeddedPages& pages() { return *m_pages; }
    // The left click on the route list: the selected route's cities into the trend page.
    void fillTrendSearch();
    // The fare history of the rounds.
    FareHistory& history() { return m_session.history(); }
    // The rows' notes from the history: last fares and price context.
    RouteNotes& routeNotes() { return m_routeNotes; }
    // The history window of the selected route; none without a selection.
    void openHistoryWindow();
    HistoryWindow* historyWindow() const { return m_historyWindow; }
    // The main window's frame, from start() on.
    SkinFrame& frame();
    // The skin window, while it is open.
    SkinWindow* skinWindow() const { return m_skinWindow; }
    // Where the skin window's add takes its file from; the open-file dialog by default.
    void setSkinFileChooser(SkinWindow::FileChooser chooser) {
        m_chooseSkinFile = std::move(chooser);
    }
    // The operation-tip window of the start-up, while it is open.
    QWidget* tipWindow() const { return m_tipWindow; }
    // The tip window's tick, one second unless a test shortens it; set before start().
    void setTipTickMs(int ms) { m_tipTickMs = ms; }
    // The alert channels' settings and deliveries.
    ChannelBook& channels() { return m_session.channels(); }
    AlertDispatcher& alerts() { return m_session.alerts(); }
    // Desktop notifications through this bus instead of the session bus.
    void setNotificationBus(const QDBusConnection& bus);
    // The window "提醒方式", not modal and without an owner; brought forward when open.
    void openAlertChannelsWindow();
    AlertChannelsWindow* alertChannelsWindow() const { return m_channelsWindow; }
    // The delay of the two web pages after start-up, one second; 0 never loads them.
    void setStartPagesDelayMs(int ms) { m_startPagesDelayMs = ms; }
    // Before start(): how long the version check may take (5 s unless set).
    void setVersionCheckSeconds(double seconds) { m_versionCheck.setBoundSeconds(seconds); }

private:
    void attachFrame(const QString& secondLine);
    void bindTitleButtons();
    void installTray();
    void showStartWindows();
    void hideMainWindow();
    void bindDesktopChannel();
    void showMonitorState();

    SystemClock m_clock;
    QString m_directory;
    QString m_notice;
    WindowOps& m_ops;
    BrowserOpener m_opener;
    DesktopFrontEnd m_frontEnd;
    MonitorSession m_session;
    VersionCheck m_versionCheck;
    SkinFolder m_skins;
    RouteNotes m_routeNotes{m_session.history(), m_session.routes(), m_clock};
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Tray> m_tray;
    std::unique_ptr<EmbeddedPages> m_pages;
    IntervalTimer m_startPagesTimer;  // 时钟_开启线程
    IntervalTimer m_trendReloadTimer; // 时钟_刷新票价趋势
    IntervalTimer m_stateTick;        // the state line's countdown
    std::function<void()> m_quit;
    QPointer<QWidget> m_tipWindow;
    QPointer<SkinWindow> m_skinWindow;
    QPointer<HistoryWindow> m_historyWindow;
    QPointer<AlertChannelsWindow> m_channelsWindow;
    SkinWindow::FileChooser m_chooseSkinFile;
    NoNavigationSound m_navigationSound;
    ProgramExit m_exit{m_navigationSound};
    int m_tipTickMs = 1000;
    int m_startPagesDelayMs = 1000;
};

} // namespace skylark::ui
