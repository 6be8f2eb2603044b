#pragma once

#include "app/MonitorRules.h"
#include "app/RouteBook.h"
#include "app/RouteCommands.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "history/FareHistory.h"
#include "monitor/Monitor.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "notify/AlertDispatcher.h"
#include "notify/ChannelSettings.h"
#include "notify/DeliveryWorkers.h"
#include "notify/PushAlerts.h"

#include <QString>

#include <memory>

namespace skylark {

class Clock;
class FareSource;
class FrontEnd;
class UrlOpener;

// What a front-end brings to the session of a data directory: its clock, the way it tells
// the user things, the browser it opens pages in, and the pace of its rounds and deliveries.
struct SessionParts {
    const Clock& clock;
    FrontEnd& frontEnd;
    UrlOpener& opener;
    MonitorTiming timing = {};
    DeliveryLimits delivery = {};
    Endpoints endpoints = {}; // the outside servers, unless set later
};

// The core objects of one data directory, made and wired in one place: the route file and
// list, the status log, the fetcher over the directory's cookies, the fare source, the
// route commands, the push, the monitor and its rules, the alert channels and their
// dispatcher, and the fare history. Front-ends add only what is their own.
class MonitorSession {
public:
    MonitorSession(const QString& directory, SessionParts parts);
    ~MonitorSession();
    MonitorSession(const MonitorSession&) = delete;
    MonitorSession& operator=(const MonitorSession&) = delete;

    const QString& directory() const { return m_directory; }
    // The outside servers; until set, none. Set before the first exchange.
    void setEndpoints(const Endpoints& endpoints) { m_endpoints = endpoints; }
    const Endpoints& endpoints() const { return m_endpoints; }

    const Clock& clock() const { return m_clock; }
    Settings& settings() { return m_settings; }
    RouteBook& book() { return m_book; }
    RouteListModel& routes() { return m_routes; }
    StatusLog& log() { return m_log; }
    HttpFetcher& fetcher() { return m_fetcher; }
    FareSource& fareSource() { return *m_source; }
    RouteCommands& commands() { return m_commands; }
    PushNotifier& push() { return m_push; }
    Monitor& monitor() { return m_monitor; }
    PushSettingsLogic& pushSettings() { return m_pushSettings; }
    ChannelBook& channels() { return m_channels; }
    RulesBook& rules() { return m_rules; }
    AlertDispatcher& alerts() { return m_alerts; }
    // The fare history, closed until openHistory(); connect to its failed signal first.
    FareHistory& history() { return m_history; }

    // Opens the fare history once; with Record access the monitor's rounds go into it.
    // False when it could not be opened, which its failed signal has said.
    bool openHistory(HistoryAccess access = HistoryAccess::Record);

private:
    const Clock& m_clock;
    QString m_directory;
    Settings m_settings;
    RouteBook m_book;
    RouteListModel m_routes;
    StatusLog m_log;
    Endpoints m_endpoints;
    HttpFetcher m_fetcher;
    std::unique_ptr<FareSource> m_source;
    RouteCommands m_commands;
    PushNotifier m_push;
    Monitor m_monitor;
    PushSettingsLogic m_pushSettings;
    ChannelBook m_channels;
    RulesBook m_rules;
    AlertDispatcher m_alerts;
    FareHistory m_history;
    bool m_historyOpened = false;
};

} // namespace skylark
