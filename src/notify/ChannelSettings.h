#pragma once

#include "ChannelKinds.h"
#include "store/KeyFile.h"
#include "store/ReadResult.h"
#include "store/WriteResult.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace skylark {

// The settings of one alert channel. Values are kept as the user wrote them.
struct ChannelSettings {
    QString name;
    bool enabled = false;
    QMap<QString, QString> values; // key -> value; a missing key reads as its default

    QString value(const QString& key) const;
    // The least interval between two messages in minutes; 0 means none.
    int minMinutes() const;

    bool operator==(const ChannelSettings&) const = default;
};

// The channel names in the order the window and the listing show them.
QStringList channelNames();
// The channel's caption in the log lines and the window ("邮件" for email).
QString channelCaption(const QString& name);
// The channel's fields in the window's order; "min-minutes" is the last of each.
QList<ChannelField> channelFields(const QString& name);
// The longest value a field holds: a URL, an address list and a password fit.
inline constexpr qsizetype kMaxChannelValueBytes = 4096;
// The channel's field of that key; null for none.
const ChannelField* channelField(const QString& name, const QString& key);
// Why the value cannot be stored for this channel's key; empty when it can.
QString channelValueProblem(const QString& name, const QString& key, const QString& value);
// Why the channel cannot be switched on with these settings (a missing server or URL);
// empty when it can.
QString channelReadinessProblem(const ChannelSettings& settings);
// The addresses of a comma-separated list, without blanks and empty entries.
QStringList mailAddressesOf(const QString& list);
// Why these settings cannot be stored as they are (a value refused, or switched on while
// incomplete); empty when they can.
QString channelSettingsProblem(const ChannelSettings& settings);
// Why a test message cannot be sent with these settings: an unknown channel, a value
// refused, or what switching it on would need; empty when it can.
QString channelTestProblem(const ChannelSettings& settings);
// The text with the user information of an address in it masked: "https://******@host/".
QString withoutUserInfo(const QString& text);
// Whether the channel's field holds a secret: a password, a token, a key.
bool isSecretChannelField(const QString& name, const QString& key);
// The value as listings show it: a secret as "******" when set, and the user name and
// password of an address ("https://alice:pw@host/") as "******" too.
QString shownChannelValue(const QString& name, const QString& key, const QString& value);

// The file of the alert channels' settings, "alerts.ini" in the data directory: UTF-8,
// "[name]" sections of "key=value" lines, created readable by its owner alone and changed
// under its lock with the safe save. Every channel is off until switched on.
class ChannelBook {
public:
    explicit ChannelBook(const QString& directory);

    const QString& path() const { return m_file.path(); }

    // The channel's settings as the file holds them now; the defaults when the file or
    // the section is missing, and with the reason when an existing file cannot be read.
    ReadResult<ChannelSettings> channel(const QString& name) const;
    // Every channel, in the order of channelNames(), read at once.
    ReadResult<QList<ChannelSettings>> channels() const;
    // Stores one value after checking it.
    WriteResult set(const QString& name, const QString& key, const QString& value);
    // Switches the channel on (after checking that its settings are complete) or off.
    WriteResult setEnabled(const QString& name, bool enabled);
    // Stores whole channels at once, every value checked first; nothing is written when
    // one of them is refused.
    WriteResult save(const QList<ChannelSettings>& channels);

private:
    using Sections = QMap<QString, ChannelSettings>;
    QString readSections(Sections& sections) const;
    WriteResult change(const std::function<WriteResult(Sections&)>& edit);

    KeyFile m_file;
};

} // namespace skylark
