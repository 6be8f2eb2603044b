#include "MonitorSession.h"

#include "app/Clock.h"
#include "app/FareSource.h"
#include "monitor/RelayFareSource.h"
#include "net/CookieStore.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;
namespace {

// The fare source of the data directory: the relay and its calendar.
std::unique_ptr<FareSource> makeFareSource(Fetcher& fetcher, const Endpoints& endpoints,
                                           const RouteBook& book) {
    return std::make_unique<RelayFareSource>(fetcher, endpoints, book);
}

} // namespace

MonitorSession::MonitorSession(const QString& directory, SessionParts parts)
    : m_clock(parts.clock)
    , m_directory(directory)
    , m_settings(directory)
    , m_book(directory)
    , m_log(parts.clock)
    , m_endpoints(parts.endpoints)
    , m_fetcher(std::make_shared<CookieStore>(directory + u"/cookies.txt"_s))
    , m_source(makeFareSource(m_fetcher, m_endpoints, m_book))
    , m_commands(m_book, m_routes, m_log, *m_source, parts.clock, parts.opener)
    , m_push(m_fetcher, m_endpoints, m_settings, m_log, parts.clock)
    , m_monitor(m_routes, m_log, *m_source, m_push, parts.frontEnd, parts.clock, parts.timing)
    , m_pushSettings(m_settings, m_push, parts.frontEnd, m_monitor)
    , m_channels(directory)
    , m_rules(directory)
    , m_alerts(m_channels, m_log, parts.clock, *m_source, parts.delivery)
    , m_history(directory) {
    // Two monitors on one data directory would send every push twice.
    m_monitor.setExclusiveIn(directory);
    m_monitor.setRulesSource([this] { return m_rules.rules(); });
    QObject::connect(&m_monitor, &Monitor::specialFaresAlerted, &m_alerts,
                     &AlertDispatcher::deliverRound);
    QObject::connect(&m_monitor, &Monitor::routeNotice, &m_alerts, &AlertDispatcher::deliverNotice);
    // A new route never takes the identifier of a deleted one whose history is kept, and
    // a deleted route's flexible days go with it.
    m_commands.setTraces({[this](const QString& id) {
                              return m_history.isOpen() && m_history.queries().holdsRoute(id);
                          },
                          [this](const QString& id) {
                              return m_rules.rules().value.flexibleDays.contains(id)
                                         ? m_rules.setFlexibleDays(id, 0)
                                         : WriteResult::success();
                          }});
}

MonitorSession::~MonitorSession() {
    m_monitor.setRecorder(nullptr);
}

bool MonitorSession::openHistory(HistoryAccess access) {
    if (!m_historyOpened) {
        m_historyOpened = true;
        m_history.open(m_clock.now(), access);
        if (access == HistoryAccess::Record) {
            m_monitor.setRecorder(&m_history);
        }
    }
    return m_history.isOpen();
}

} // namespace skylark
