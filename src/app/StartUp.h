#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace skylark {

class Fetcher;
class RouteBook;
class RouteListModel;
class Settings;
class StatusLog;
struct Endpoints;

inline constexpr char16_t kProgramVersion[] = u"2.2";
// The main window's caption, also the tray tip and part of the exit question.
inline constexpr char16_t kWindowCaption[] = u" 鸿雁票讯(翔云旅行) 国际版";
// The version check waits at most this long at start-up.
inline constexpr double kVersionCheckSeconds = 5;

// The version with the result of the version check, from the version file's content.
QString versionTextFrom(const QString& versionFile, const Endpoints& endpoints);
// Fetches the version file (a bounded wait) and builds the version text.
// The whole check, a trickling server included, takes at most boundSeconds.
QString versionText(Fetcher& fetcher, const Endpoints& endpoints,
                    double boundSeconds = kVersionCheckSeconds);
// The main window frame's second text line.
QString frameSecondLine(const QString& versionText);

// The five greeting lines of the status log.
QStringList greetingLines(const Endpoints& endpoints);
// The greeting lines, the route book loaded into the list, and the line that says so.
void greetAndLoadRoutes(StatusLog& log, const Endpoints& endpoints, const RouteBook& book,
                        RouteListModel& routes);

// The states the two check boxes start with.
struct CheckBoxStates {
    bool noAlertWindow = false;
    bool pushAlerts = false;
};
CheckBoxStates initialCheckBoxStates(const Settings& settings);

QString exitQuestion();

// Said once at start-up when nothing can be written in the data directory (a read-only
// mount): the routes are shown, and each change fails with its own message.
QString unwritableDirectory(const QString& directory, const QString& reason);

// Where the system's navigation click sound path lives. The program appends "1" to the path
// at start-up so that no sound plays, and takes it off again at exit; it remembers whether
// it appended the "1", so a path that ended in "1" on its own is never cut.
class NavigationSoundStore {
public:
    virtual ~NavigationSoundStore() = default;
    virtual std::optional<QString> read() const = 0; // nullopt: no such value
    virtual bool write(const QString& path) = 0;     // keeps the value's type
    virtual bool appendedByUs() const = 0;
    virtual void setAppendedByUs(bool appended) = 0;
};

// A desktop without that value: the sound is left alone.
class NoNavigationSound final : public NavigationSoundStore {
public:
    std::optional<QString> read() const override { return std::nullopt; }
    bool write(const QString&) override { return false; }
    bool appendedByUs() const override { return false; }
    void setAppendedByUs(bool) override {}
};

// Mutes (true) or restores (false) the navigation click sound; false when there is no
// value or the write failed.
bool setNavigationSoundMuted(NavigationSoundStore& store, bool muted);

} // namespace skylark
