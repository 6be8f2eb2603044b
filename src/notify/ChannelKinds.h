#pragma once

#include "AlertChannel.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace skylark {

class DeliveryWorkers;
struct ChannelSettings;

// How the value of a field is checked before it is stored.
enum class FieldCheck {
    Text,          // anything on one line
    Choice,        // one of the field's choices
    Port,          // 1 to 65535
    Priority,      // 1 to 5
    Minutes,       // 0 to a year of minutes
    WebAddress,    // an http:// or https:// address with a host
    HostName,      // a host name: no blanks, "/" or "@"
    MailAddress,   // one e-mail address
    MailAddresses, // e-mail addresses separated by commas
};

// One field of a channel's settings, as the file, the window and the command line name it.
struct ChannelField {
    QString key;
    QString label;       // the window's caption of the field
    bool secret = false; // masked in listings, a password box in the window
    QStringList choices; // the only values allowed; empty for free text
    QString example;     // what a value looks like, shown in the empty field
    FieldCheck check = FieldCheck::Text;
    bool required = false; // needed before the channel can be switched on
};

// Makes the channel that delivers with these settings.
using ChannelFactory = std::unique_ptr<AlertChannel> (*)(const ChannelSettings& settings,
                                                         DeliveryWorkers& workers);

// One kind of alert channel: its name in the file and on the command line, its caption in
// the log and the window, its fields in the window's order ("min-minutes" last), and how
// its channel is made; the desktop's channel has no factory, the dispatcher keeps its own.
struct ChannelKind {
    QString name;
    QString caption;
    QList<ChannelField> fields;
    ChannelFactory make = nullptr;
};

// Every kind, in the order the listing and the window show them.
const QList<ChannelKind>& channelKinds();
// The kind of that name; null for none.
const ChannelKind* channelKind(const QString& name);

// Why the value does not pass the check; empty when it does. The value is not empty.
QString fieldCheckProblem(const ChannelField& field, const QString& value);

} // namespace skylark
