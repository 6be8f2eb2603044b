#pragma once

#include "store/KeyFile.h"
#include "store/ReadResult.h"
#include "store/WriteResult.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QTime>

namespace skylark {

// How the monitor alerts, watches and paces itself beyond its plain rounds. Every default
// is the plain behaviour: every special fare alerts each round at once, no route is
// watched, the interval never changes.
struct MonitorRules {
    // After a route alerted, it alerts again only when its fare falls below the last
    // alerted fare by at least dropBy, or after it rose above its alert price.
    bool oncePerDrop = false;
    double dropBy = 1;
    // A special fare is asked for once more this many seconds later and alerts only if it
    // is still special; 0 asks once.
    int confirmSeconds = 0;
    // Both valid: from..to (it may pass midnight) the sound, the alert window and the
    // channels are held, and the channels get one summary after it, unless a fare is more
    // than urgentPercent below its alert price (0: none breaks through).
    QTime quietFrom;
    QTime quietTo;
    double urgentPercent = 0;
    // A route not found this many rounds in a row, or with no fare found for this many
    // hours, is stale: said once through the log and the channels, and once when it
    // recovers.
    bool watchdog = false;
    int staleRounds = 5;
    int staleHours = 24;
    // After a round the fare source refused in full, the next waits twice as long, up to
    // 8 times the plain interval; a round that finds a fare restores it.
    bool backOff = false;
    // Routes that alert for any day within so many days of their own (1 to 3), by
    // identifier: the cheapest day of the answer in that window, when it is at or below
    // the alert price.
    QHash<QString, int> flexibleDays;

    bool operator==(const MonitorRules&) const = default;
};

// One setting of the rules as the file, the window and the command line name it.
// Each is declared once: its key, how its value is checked, and where it goes in the rules.
struct RuleField {
    QString key;
    QString label;
    QString example;    // what a value looks like
    bool onOff = false; // a switch: "on", or "off" as its default
    // Why a value that is not empty cannot be stored, after the label; empty when it can.
    QString (*problem)(const QString& value) = nullptr;
    // Puts a stored value, or the default for an empty one, into the rules.
    void (*apply)(MonitorRules& rules, const QString& value) = nullptr;
};

const QList<RuleField>& ruleFields();
// The field of that key; null for none.
const RuleField* ruleField(const QString& key);

// Whether the moment lies in the quiet hours from..to (to not included); never when they
// are not both set.
bool inQuietHours(const MonitorRules& rules, const QTime& moment);

// The file of the rules, "rules.ini" in the data directory: the section [rules] with the
// fields' keys, and the section [flexible] with a line "ID=N" for each route with flexible
// days.
class RulesBook {
public:
    explicit RulesBook(const QString& directory);

    const QString& path() const { return m_file.path(); }
    // The rules as the file holds them; the defaults where it holds nothing, and the
    // defaults with the reason when an existing file cannot be read.
    ReadResult<MonitorRules> rules() const;
    // The values of the fields as stored, empty for a default.
    ReadResult<KeyFile::Section> values() const;
    // Stores one value of a field after checking it; an empty value restores the default.
    WriteResult set(const QString& key, const QString& value);
    // Stores the route's flexible days, 0 to 3; 0 removes them.
    WriteResult setFlexibleDays(const QString& routeId, int days);
    // Stores every field's value (empty for its default) and the flexible days of the
    // routes named (0 removes them; the others keep theirs) in one write, after checking
    // them all; a refused value stores nothing.
    WriteResult save(const KeyFile::Section& values, const QHash<QString, int>& flexibleDays);

private:
    KeyFile m_file;
};

// Why the value cannot be stored for the field; empty when it can.
QString ruleValueProblem(const QString& key, const QString& value);
// Why the route cannot have flexible days stored: an identifier no line can hold as a key.
QString flexibleRouteProblem(const QString& routeId);
// What a number of flexible days outside 0 to 3 is told.
QString flexibleDaysProblem();

} // namespace skylark
