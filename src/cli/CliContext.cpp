#include "CliContext.h"

#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/StatusLog.h"
#include "store/ProgramDirectory.h"

#include <QProcess>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

void DesktopOpener::openUrl(const QString& url) {
    QProcess::startDetached(u"xdg-open"_s, {url});
}

struct CliContext::Parts {
    Parts(const QString& directory, QTextStream& err, const Clock& clock, UrlOpener& opener)
        : frontEnd(err, directory)
        , session(directory, {clock, frontEnd, opener}) {}

    ConsoleFrontEnd frontEnd;
    MonitorSession session;
    ServerChoice servers;
    bool online = false;
    bool historyBound = false;
};

CliContext::CliContext(QTextStream& out, QTextStream& err, QString dataDir, bool demo,
                       QString usage)
    : out(out)
    , err(err)
    , m_dataDir(std::move(dataDir))
    , m_demo(demo)
    , m_usage(std::move(usage)) {}

CliContext::~CliContext() = default;

QString CliContext::directory() const {
    return programDirectory(m_dataDir);
}

MonitorSession& CliContext::session() {
    if (m_parts) {
        return m_parts->session;
    }
    m_parts = std::make_unique<Parts>(directory(), err, m_clock, m_opener);
    StatusLog& log = m_parts->session.log();
    QObject::connect(&log, &StatusLog::lineAppended, &log, [this](int, const QString& line) {
        out << line << '\n';
        out.flush();
    });
    loadRouteBook(m_parts->session.book(), m_parts->session.routes());
    reportUnreadable(m_parts->session.book());
    return m_parts->session;
}

MonitorSession& CliContext::online() {
    MonitorSession& core = session();
    if (m_parts->online) {
        return core;
    }
    m_parts->online = true;
    m_parts->servers = chooseServers(core.directory(), m_demo);
    core.setEndpoints(m_parts->servers.endpoints);
    if (m_parts->servers.demoServer) {
        err << (m_parts->servers.configured
                    ? u"Using the built-in demo server: fares are demo data."_s
                    : u"No servers.ini in "_s + core.directory() +
                          u": using the built-in demo server, fares are demo data."_s)
            << '\n';
    }
    return core;
}

ConsoleFrontEnd& CliContext::frontEnd() {
    session();
    return m_parts->frontEnd;
}

FareHistory& CliContext::openHistory(HistoryAccess access) {
    FareHistory& history = session().history();
    if (!m_parts->historyBound) {
        m_parts->historyBound = true;
        QObject::connect(&history, &FareHistory::failed, &history, [this](const QString& message) {
            err << message << '\n';
            err.flush();
        });
    }
    (void)m_parts->session.openHistory(access);
    return history;
}

int CliContext::usageError(const QString& what) {
    if (!what.isEmpty()) {
        err << what << "\n\n";
    }
    err << m_usage;
    err.flush();
    return kUsageError;
}

int CliContext::statusOf(const WriteResult& written) {
    if (written) {
        return kDone;
    }
    err << written.message() << '\n';
    err.flush();
    return kRefused;
}

int CliContext::reportReadError(const QString& error) {
    out.flush();
    if (error.isEmpty()) {
        return kDone;
    }
    err << error << '\n';
    err.flush();
    return kRefused;
}

bool CliContext::reportUnreadable(const RouteBook& book) {
    const QString error = book.readError();
    if (!error.isEmpty()) {
        err << u"无法读取航线文件 "_s << book.path() << u"："_s << error << '\n';
        err.flush();
    }
    return !error.isEmpty();
}

int CliContext::rowOfRoute(const QString& routeId) {
    const int row = session().routes().rowOfRoute(routeId);
    if (row < 0) {
        err << u"没有该航线："_s << routeId << '\n';
        err.flush();
    }
    return row;
}

} // namespace skylark
