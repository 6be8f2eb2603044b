#include "ProgramLifecycle.h"

namespace skylark {

void runStartUp(StartUpContext context, const StartUpSteps& steps) {
    const CheckBoxStates boxes = initialCheckBoxStates(context.settings);
    steps.setCheckBoxes(boxes.noAlertWindow, boxes.pushAlerts);
    context.versionCheck.start(
        [notice = context.notice, show = steps.showVersionLine](const QString& version) {
            show(frameSecondLine(version) + notice);
        });
    setNavigationSoundMuted(context.navigationSound, true);
    steps.attachFrame(frameSecondLine(QString::fromUtf16(kProgramVersion)) + context.notice);
    steps.setCaption();
    steps.armTimers();
    steps.bindTitleButtons();
    steps.installTray();
    greetAndLoadRoutes(context.log, context.endpoints, context.book, context.routes);
    steps.showWindows();
}

bool ProgramExit::run(const ExitSteps& steps) {
    if (m_exiting || !steps.confirm()) {
        return false;
    }
    steps.showMainWindow();
    setNavigationSoundMuted(m_navigationSound, false);
    steps.stopMonitoring();
    m_exiting = true;
    steps.closeWithEffect();
    return true;
}

} // namespace skylark
