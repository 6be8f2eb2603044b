#include "Settings.h"

namespace skylark {
namespace {

constexpr QStringView kSkinSection = u"skin_path";
constexpr QStringView kSkinKey = u"path";
constexpr QStringView kNoWindowSection = u"nowindow";
constexpr QStringView kNoWindowKey = u"select";
constexpr QStringView kPushSection = u"weixin";
constexpr QStringView kPushOpenKey = u"OPEN";
constexpr QStringView kPushIdKey = u"ID";
constexpr QStringView kPushCycleKey = u"CYCLE";

} // namespace

QString settingsPath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/config.ini");
}

Settings::Settings(const QString& programDirectory)
    : m_file(skylark::settingsPath(programDirectory)) {}

QString Settings::skinPath() const {
    return m_file.readProfileString(kSkinSection, kSkinKey);
}

WriteResult Settings::setSkinPath(QStringView path) {
    return m_file.writeProfileString(kSkinSection, kSkinKey, path);
}

bool Settings::noAlertWindow() const {
    return flag(kNoWindowSection, kNoWindowKey);
}

WriteResult Settings::setNoAlertWindow(bool suppressed) {
    return setFlag(kNoWindowSection, kNoWindowKey, suppressed);
}

bool Settings::pushEnabled() const {
    return flag(kPushSection, kPushOpenKey);
}

WriteResult Settings::setPushEnabled(bool enabled) {
    return setFlag(kPushSection, kPushOpenKey, enabled);
}

QString Settings::pushId() const {
    return m_file.readProfileString(kPushSection, kPushIdKey);
}

WriteResult Settings::setPushId(QStringView id) {
    return m_file.writeProfileString(kPushSection, kPushIdKey, id);
}

QString Settings::pushCycle() const {
    return m_file.readProfileString(kPushSection, kPushCycleKey);
}

WriteResult Settings::setPushCycle(QStringView minutes) {
    return m_file.writeProfileString(kPushSection, kPushCycleKey, minutes);
}

WriteResult Settings::setPushSettings(QStringView id, QStringView minutes) {
    return m_file.writeProfileStrings(
        kPushSection,
        {{kPushIdKey.toString(), id.toString()}, {kPushCycleKey.toString(), minutes.toString()}});
}

bool Settings::flag(QStringView section, QStringView key) const {
    return m_file.readProfileString(section, key) == u"1";
}

WriteResult Settings::setFlag(QStringView section, QStringView key, bool set) {
    return m_file.writeProfileString(section, key, set ? u"1" : u"0");
}

bool onNoAlertWindowClicked(Settings& settings, bool checked) {
    return settings.setNoAlertWindow(checked) ? checked : !checked;
}

} // namespace skylark
