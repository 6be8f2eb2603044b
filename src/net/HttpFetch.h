#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace skylark {

class CookieStore;

// One HTTP exchange as the caller describes it. Only the URL is required.
struct FetchRequest {
    QString url;         // "http://" (may be left out) or "https://", host, optional port, path
    QString method;      // "GET" (also when empty) or "POST" in any letter case; sent as written
    QByteArray postData; // the body of a POST; a GET sends none
    QString cookies;     // a Cookie header value; when given, the cookie store is not used
    QString proxy;       // host:port of an HTTP proxy; empty for a direct connection
    double timeoutSeconds = 0;  // the quiet period; 0 means 90 seconds
    double deadlineSeconds = 0; // the whole exchange at most; 0 means the fetcher's limit
    QString headers;            // extra header lines, each ending in CR LF
    QString userName;
    QString password;
    bool storeCookies = false; // also put the response's cookies into the cookie store
};

// Why an exchange handed back no body.
enum class FetchFailure {
    None,
    Refused,     // a URL or method that cannot be requested
    Unreachable, // no connection, or the connection broke
    TimedOut,    // quiet too long, or past the exchange's deadline
    TooLarge,    // the body passed the fetcher's limit
};

// What an exchange hands back besides the body. The texts are empty when the exchange
// did not finish.
struct FetchResponse {
    QString rawHeaders; // the final response's status line and headers, CR LF lines
    QString newCookies; // name=value of each cookie the response set, joined by "; "
    FetchFailure failure = FetchFailure::None;
    int status = 0; // the final response's HTTP status; 0 when none came
};

// Anything that performs HTTP exchanges; the program uses HttpFetcher, tests may fake it.
class Fetcher {
public:
    virtual ~Fetcher() = default;
    // The response body; empty on every kind of failure.
    virtual QByteArray httpFetch(const FetchRequest& request,
                                 FetchResponse* response = nullptr) = 0;

    QByteArray httpFetch(const QString& url, const QString& method = QStringLiteral("GET"),
                         const QByteArray& postData = {});
};

struct FetchLimits {
    static constexpr double kDefaultQuietSeconds = 90;
    int maxRedirects = 10;
    qint64 maxBodyBytes = 32 * 1024 * 1024;
    // An exchange that still trickles after this many quiet periods is given up, and so
    // is one still running after the deadline, so that a round of N routes is bounded.
    int quietPeriodsPerExchange = 10;
    double exchangeDeadlineSeconds = 180;
};

// Performs each exchange with libcurl on a worker thread of its own while the calling
// thread waits in a nested event loop, so its timers and events keep running and may
// start further exchanges. The wait gives up after a quiet period without progress of
// the exchange; a worker given up is told to stop and has no further effect. Requests
// without their own cookies send and keep cookies in the shared cookie store.
class HttpFetcher final : public Fetcher {
public:
    explicit HttpFetcher(std::shared_ptr<CookieStore> cookieStore = {}, FetchLimits limits = {});
    ~HttpFetcher() override;
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    using Fetcher::httpFetch;
    QByteArray httpFetch(const FetchRequest& request, FetchResponse* response = nullptr) override;

    const std::shared_ptr<CookieStore>& cookieStore() const { return m_cookieStore; }

private:
    struct Workers;

    std::shared_ptr<CookieStore> m_cookieStore;
    FetchLimits m_limits;
    std::unique_ptr<Workers> m_workers;
};

} // namespace skylark
