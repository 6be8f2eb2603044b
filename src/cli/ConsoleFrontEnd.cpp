#include "ConsoleFrontEnd.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;

ConsoleFrontEnd::ConsoleFrontEnd(QTextStream& errors, const QString& directory)
    : m_errors(errors)
    , m_settings(directory) {}

void ConsoleFrontEnd::showInformation(const QString& text) {
    m_errors << QString(text).replace(u"\r\n"_s, u" "_s) << '\n';
    m_errors.flush();
}

void ConsoleFrontEnd::playAlertSound() {
    m_errors << '\a';
    m_errors.flush();
}

void ConsoleFrontEnd::showAlertWindow(const QList<SpecialFare>& fares) {
    for (const SpecialFare& fare : fares) {
        m_errors << u"特价："_s << fare.depCityName << '-' << fare.arrCityName << ' '
                 << fare.depDate << ' ' << fare.lowestPrice << ' ' << fare.updateTime << '\n';
    }
    m_errors.flush();
}

bool ConsoleFrontEnd::alertWindowSuppressed() const {
    return m_settings.noAlertWindow();
}

void ConsoleFrontEnd::openPushSettings() {
    m_errors << QStringLiteral(
                    "Push settings: skylark-cli push-settings ID MINUTES, then push-test ID.")
             << '\n';
    m_errors.flush();
}

} // namespace skylark
