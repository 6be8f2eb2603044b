#pragma once

#include "StartUp.h"
#include "VersionCheck.h"

#include <QString>

#include <functional>

namespace skylark {

// What the start-up needs besides the window: the settings, the servers, the log and the
// route book, the navigation sound, and what the bottom line says after the version.
struct StartUpContext {
    const Settings& settings;
    VersionCheck& versionCheck;
    const Endpoints& endpoints;
    StatusLog& log;
    const RouteBook& book;
    RouteListModel& routes;
    NavigationSoundStore& navigationSound;
    QString notice;
};

// What the start-up asks of the front-end, each in its place of the sequence.
struct StartUpSteps {
    std::function<void(bool noAlertWindow, bool pushAlerts)> setCheckBoxes;
    std::function<void(const QString& secondLine)> attachFrame; // the skin, page buttons
    std::function<void()> setCaption;
    std::function<void()> armTimers;        // the start pages' and the trend page's
    std::function<void()> bindTitleButtons; // menu, close and skin
    std::function<void()> installTray;
    std::function<void()> showWindows; // the main window, then the operation tip
    // The frame's second line once the version check has ended.
    std::function<void(const QString& secondLine)> showVersionLine;
};

// The start-up sequence: the check boxes from the settings, the version check started, the
// navigation sound muted, the frame with the program's version, the caption, the timers,
// the title-bar buttons, the tray icon, the greeting and the routes, and the windows shown.
// The frame's version line follows when the check ends, so the window never waits for the
// update server.
void runStartUp(StartUpContext context, const StartUpSteps& steps);

// What the exit asks of the front-end.
struct ExitSteps {
    std::function<bool()> confirm; // the exit question; true for OK
    std::function<void()> showMainWindow;
    std::function<void()> stopMonitoring;
    std::function<void()> closeWithEffect; // the frame's closing effect, then the end
};

// The exit: the question, and on OK the main window shown, the navigation sound restored,
// monitoring stopped and the window closed with its effect. Runs once: a second exit while
// the first is under way does nothing.
class ProgramExit {
public:
    explicit ProgramExit(NavigationSoundStore& navigationSound)
        : m_navigationSound(navigationSound) {}

    // True when the user chose to exit and the program is ending.
    bool run(const ExitSteps& steps);
    bool exiting() const { return m_exiting; }

private:
    NavigationSoundStore& m_navigationSound;
    bool m_exiting = false;
};

} // namespace skylark
