#pragma once

#include "store/ProfileFile.h"

#include <QString>

namespace skylark {

// The settings file config.ini. Every value is read from the file when it is asked
// for and written the moment it changes; the file is created by the first write. A
// flag is set only when its text is exactly "1".
class Settings {
public:
    explicit Settings(const QString& programDirectory);

    QString settingsPath() const { return m_file.path(); }

    // Whether a value can be stored and read back unchanged.
    static bool canStore(QStringView value) { return ProfileFile::canStoreValue(value); }

    // [skin_path] path: the full path of the main window's skin picture.
    QString skinPath() const;
    WriteResult setSkinPath(QStringView path);

    // [nowindow] select: no desktop alert window for rounds with special fares.
    bool noAlertWindow() const;
    WriteResult setNoAlertWindow(bool suppressed);

    // [weixin] OPEN, ID and CYCLE: push alerts switched on, the binding id at the relay,
    // and the least number of minutes between two pushes, as typed.
    bool pushEnabled() const;
    WriteResult setPushEnabled(bool enabled);
    QString pushId() const;
    WriteResult setPushId(QStringView id);
    QString pushCycle() const;
    WriteResult setPushCycle(QStringView minutes);
    // Both push settings as one change of the file.
    WriteResult setPushSettings(QStringView id, QStringView minutes);

private:
    bool flag(QStringView section, QStringView key) const;
    WriteResult setFlag(QStringView section, QStringView key, bool set);

    ProfileFile m_file;
};

QString settingsPath(const QString& programDirectory);

// The click handler of the no-alert-window check box: stores the box's new state and
// returns the state the box shows afterwards: the old one when it could not be stored.
bool onNoAlertWindowClicked(Settings& settings, bool checked);

} // namespace skylark
