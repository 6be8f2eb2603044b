#pragma once

#include "ConsoleFrontEnd.h"
#include "app/Clock.h"
#include "app/UrlOpener.h"
#include "history/FareHistory.h"
#include "session/MonitorSession.h"
#include "session/ServerChoice.h"
#include "store/WriteResult.h"

#include <QString>
#include <QTextStream>

#include <memory>

namespace skylark {

class RouteBook;

// Opens URLs with the desktop's default browser.
class DesktopOpener final : public UrlOpener {
public:
    void openUrl(const QString& url) override;
};

// What every command works with: the two streams, the data directory's session, made
// when a command first needs it, and its outside servers, chosen when a command first
// needs them. Status-log lines go to the output stream as the log forms them.
class CliContext {
public:
    static constexpr int kDone = 0;
    static constexpr int kRefused = 1;
    static constexpr int kUsageError = 2;
    static constexpr int kInterrupted = 130; // a second SIGINT or SIGTERM during monitor

    CliContext(QTextStream& out, QTextStream& err, QString dataDir, bool demo, QString usage);
    ~CliContext();

    QTextStream& out;
    QTextStream& err;

    // The data directory, made when it is missing.
    QString directory() const;
    // The session with its route list read; an unreadable route file is said once.
    MonitorSession& session();
    // The session with its outside servers: those of servers.ini, or the demo server.
    MonitorSession& online();
    ConsoleFrontEnd& frontEnd();
    UrlOpener& opener() { return m_opener; }
    // The fare history, opened at its first use; a failure is said once on the error stream.
    FareHistory& openHistory(HistoryAccess access = HistoryAccess::Record);

    // The usage on the error stream, after what was wrong when it is said; the usage
    // error's status.
    int usageError(const QString& what = {});
    // The message of a refused change on the error stream; the status of the outcome.
    int statusOf(const WriteResult& written);
    // Says the reason of a failed read on the error stream; the status.
    int reportReadError(const QString& error);
    // Says on the error stream when the route file exists but cannot be read; true then.
    bool reportUnreadable(const RouteBook& book);
    // The route's row in the list; says so and gives -1 when there is none.
    int rowOfRoute(const QString& routeId);

private:
    struct Parts;

    QString m_dataDir;
    bool m_demo = false;
    QString m_usage;
    SystemClock m_clock;
    DesktopOpener m_opener;
    std::unique_ptr<Parts> m_parts;
};

} // namespace skylark
