#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace skylark {

class FareHistory;
class RouteBook;

// The headless front-end: one method per command, each returning the exit status.
// Status-log lines go to the output stream as the log forms them; messages, alerts and
// usage go to the error stream.
class Cli {
public:
    static constexpr int kDone = 0;
    static constexpr int kRefused = 1;
    static constexpr int kUsageError = 2;
    static constexpr int kInterrupted = 130; // a second SIGINT or SIGTERM during monitor

    Cli(QTextStream& out, QTextStream& err);
    ~Cli();

    int run(QStringList arguments);
    static QString usage();

private:
    struct Session;

    int routes(bool withContext);
    int add(const QStringList& arguments);
    int remove(const QStringList& arguments);
    int open(const QStringList& arguments);
    int monitor(const QStringList& arguments);
    int push(const QStringList& arguments);
    int pushSettings(const QStringList& arguments);
    int pushTest(const QStringList& arguments);
    int rules(const QStringList& arguments);
    int listChannels();
    int channel(const QStringList& arguments);
    int testChannel(const QString& name);
    // Exits the event loop with the status once the alert channels' deliveries under way
    // have ended; each of them is bounded in time.
    void exitWhenDelivered(int status);
    int version();
    int history(const QStringList& arguments);
    int exportHistory(const FareHistory& history, const QString& path);
    // Says the reason of a failed read of the fare history; the exit status.
    int reportReadError(const QString& error);
    int sim(const QStringList& arguments);

    int usageError();
    Session& session();
    Session& online();
    int rowOfRoute(const QString& routeId);
    // Says on the error stream when the route file exists but cannot be read; true then.
    bool reportUnreadable(const RouteBook& book);

    QTextStream& m_out;
    QTextStream& m_err;
    QString m_dataDir;
    bool m_demo = false;
    std::unique_ptr<Session> m_session;
};

} // namespace skylark
