#pragma once

#include "app/FrontEnd.h"
#include "app/Settings.h"

#include <QTextStream>

namespace skylark {

// The front-end of the command line: messages and alerts go to the error stream, the
// alert sound is the terminal bell, and the no-alert-window setting is read from the file.
class ConsoleFrontEnd final : public FrontEnd {
public:
    // Reads the no-alert-window setting of the data directory's config.ini.
    ConsoleFrontEnd(QTextStream& errors, const QString& directory);

    void showInformation(const QString& text) override;
    void playAlertSound() override;
    void showAlertWindow(const QList<SpecialFare>& fares) override;
    bool alertWindowSuppressed() const override;
    void openPushSettings() override;

private:
    QTextStream& m_errors;
    Settings m_settings;
};

} // namespace skylark
