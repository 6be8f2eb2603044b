#pragma once

#include "app/FareRecords.h"

#include <QList>
#include <QString>

namespace skylark {

// What the core asks of the front-end it runs in: the desktop program shows windows and
// plays sounds, the command line writes to the terminal, tests record the calls.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The information message box (caption "信息："); returns when the user closed it.
    virtual void showInformation(const QString& text) = 0;
    // Starts the alert sound without waiting for it to end.
    virtual void playAlertSound() = 0;
    // Opens the desktop alert window for the round's special fares without waiting.
    virtual void showAlertWindow(const QList<SpecialFare>& fares) = 0;
    // True while the no-alert-window check box is ticked.
    virtual bool alertWindowSuppressed() const = 0;
    // Opens the push settings window.
    virtual void openPushSettings() = 0;
};

} // namespace skylark
