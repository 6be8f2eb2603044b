#include "HttpFetch.h"

#include "CookieStore.h"
#include "HttpHeaders.h"
#include "text/Gbk.h"
#include "text/Text.h"
#include "text/Url.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace skylark {
namespace {

qint64 steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Everything one exchange shares between the caller and its worker. The caller owns
// the request side until it starts the worker and reads the result only under the
// mutex; once it has given the worker up, the worker writes nothing the caller sees.
struct Exchange {
    FetchRequest request;
    FetchLimits limits;
    std::shared_ptr<CookieStore> cookieStore;

    std::atomic<bool> abandoned{false};
    std::atomic<qint64> lastProgress{steadyMilliseconds()};

    std::mutex mutex;
    QObject* waiter = nullptr;     // the caller's context for the "finished" call, while it sleeps
    std::function<void()> wake;    // quits the caller's wait; called on the caller's thread
    bool finished = false;         // the exchange went through
    std::atomic<bool> done{false}; // the worker has written its result
    std::atomic<bool> published{false}; // ... and has let go of the mutex
    QByteArray body;
    QString rawHeaders;
    QString newCookies;
    FetchFailure failure = FetchFailure::None;
    int status = 0;
};

// The worker's own state of a transfer.
struct Transfer {
    Exchange& exchange;
    QByteArray body;
    QByteArray headerBlock;
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    bool tooLarge = false;

    void progressed() { exchange.lastProgress = steadyMilliseconds(); }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->body.size() + qint64(bytes) > transfer->exchange.limits.maxBodyBytes) {
        transfer->tooLarge = true;
        return 0; // aborts the transfer: a body this large is a failure
    }
    transfer->body.append(data, qsizetype(bytes));
    transfer->progressed();
    return bytes;
}

// Keeps the header block of the last response only: every status line starts it anew,
// so redirects and interim responses drop out. Lines are stored with CR LF ends.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    QByteArray line(data, qsizetype(bytes));
    if (line.startsWith("HTTP/")) {
        transfer->headerBlock.clear();
    }
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    transfer->headerBlock.append(line).append("\r\n");
    transfer->progressed();
    return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->exchange.abandoned) {
        return 1;
    }
    if (down != transfer->lastDown || up != transfer->lastUp) {
        transfer->lastDown = down;
        transfer->lastUp = up;
        transfer->progressed();
    }
    return 0;
}

bool isPresent(const QString& text) {
    return !removeBlanks(text).isEmpty();
}

bool isHttps(const QString& url) {
    return url.startsWith(u"https://", Qt::CaseInsensitive);
}

// The path as the request line carries it: spaces and bytes outside printable ASCII
// escaped, backslashes turned into slashes.
QByteArray requestPath(const QString& path) {
    QByteArray out;
    for (char c : encodeGbkLossy(path)) {
        const auto byte = uchar(c);
        if (byte == '\\') {
            out.append('/');
        } else if (byte <= 0x20 || byte >= 0x7F) {
            out.append('%').append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        } else {
            out.append(c);
        }
    }
    return out;
}

// The URL handed to libcurl, or empty when it cannot be requested.
QByteArray transferUrl(const QString& url) {
    if (isHttps(url)) {
        return QUrl(url).toEncoded();
    }
    const int port = portOf(url);
    const QString host = hostOf(url, false);
    if (port <= 0 || port > 65535 || host.isEmpty()) {
        return {};
    }
    return "http://" + encodeGbkLossy(host) + ':' + QByteArray::number(port) +
           requestPath(pathOf(url));
}

QString withControlsEscaped(const QString& url) {
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    if (std::none_of(url.begin(), url.end(), isControl)) {
        return url;
    }
    QString out;
    out.reserve(url.size());
    for (QChar c : url) {
        if (isControl(c)) {
            out += QLatin1Char('%') +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        } else {
            out += c;
        }
    }
    return out;
}

// The host and port a URL for libcurl names, to keep credentials on their own server.
QString authorityOf(const QByteArray& url) {
    const QUrl parsed = QUrl::fromEncoded(url);
    return parsed.scheme() + QLatin1Char(':') + parsed.host() + QLatin1Char(':') +
           QString::number(parsed.port(parsed.scheme() == u"https" ? 443 : 80));
}

QString hostForCookies(const QByteArray& url) {
    return QUrl::fromEncoded(url).host();
}

QString withoutLines(const QString& headerText, const QStringList& names) {
    QStringList kept;
    for (const QString& line : headerText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const bool dropped = std::any_of(names.begin(), names.end(), [&](const QString& name) {
            return line.startsWith(name + QLatin1Char(':'), Qt::CaseInsensitive);
        });
        if (!dropped) {
            kept.append(line + QStringLiteral("\r\n"));
        }
    }
    return kept.join(QString());
}

class HeaderList {
public:
    HeaderList(const QString& headerText, const FetchRequest& request, bool viaProxy) {
        for (const QString& line : headerText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            QByteArray bytes = encodeGbkLossy(line);
            if (bytes.endsWith(':')) {
                bytes.back() = ';'; // libcurl's way of sending a header with an empty value
            }
            append(bytes);
        }
        // libcurl would add these on its own; an empty value keeps them off the wire.
        if (!containsIgnoringCase(headerText, u"Expect:")) {
            append("Expect:");
        }
        if (viaProxy && !containsIgnoringCase(headerText, u"Proxy-Connection:")) {
            append("Proxy-Connection:");
        }
        if (isPresent(request.cookies)) {
            append("Cookie: " + encodeGbkLossy(request.cookies));
        }
    }
    ~HeaderList() { curl_slist_free_all(m_list); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;

    curl_slist* list() const { return m_list; }

private:
    void append(const QByteArray& line) { m_list = curl_slist_append(m_list, line.constData()); }

    curl_slist* m_list = nullptr;
};

bool isFollowedRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307;
}

// Hands the cookies of a finished exchange to the store: those its cookie engine kept,
// and with storeCookies every cookie the response set.
void keepCookies(const Exchange& exchange, const QString& host,
                 const QList<QByteArray>& engineCookies, const QByteArray& headerBlock) {
    if (!exchange.cookieStore) {
        return;
    }
    exchange.cookieStore->merge(engineCookies);
    if (exchange.request.storeCookies) {
        for (const auto& [name, data] : cookiesToStore(decodeGbk(headerBlock))) {
            exchange.cookieStore->store(host, name, data);
        }
    }
}

// Writes the result for the caller and runs whatever else the exchange leaves behind, but
// only while the caller still waits: a worker given up has no further effect.
void finish(Exchange& exchange, FetchFailure failure, int status, QByteArray body,
            const QByteArray& headerBlock, const std::function<void()>& leaveBehind = {}) {
    QString rawHeaders = decodeGbk(headerBlock);
    QString newCookies = newCookiesOf(rawHeaders);
    std::unique_lock lock(exchange.mutex);
    if (exchange.abandoned) {
        return;
    }
    if (leaveBehind) {
        leaveBehind();
    }
    exchange.finished = failure != FetchFailure::Refused;
    exchange.failure = failure;
    exchange.status = status;
    exchange.body = std::move(body);
    exchange.rawHeaders = std::move(rawHeaders);
    exchange.newCookies = std::move(newCookies);
    exchange.done = true;
    if (exchange.waiter) {
        QMetaObject::invokeMethod(exchange.waiter, exchange.wake, Qt::QueuedConnection);
    }
    lock.unlock();
    exchange.published = true;
}

FetchFailure failureOf(CURLcode code, bool tooLarge) {
    if (code == CURLE_OK) {
        return FetchFailure::None;
    }
    if (tooLarge) {
        return FetchFailure::TooLarge;
    }
    if (code == CURLE_OPERATION_TIMEDOUT) {
        return FetchFailure::TimedOut;
    }
    return FetchFailure::Unreachable;
}

// One exchange on the worker thread, redirects included.
void runExchange(Exchange& exchange) {
    const FetchRequest& request = exchange.request;
    const QString verb = request.method.toUpper();
    QByteArray url = transferUrl(request.url);
    if ((!verb.isEmpty() && verb != u"GET" && verb != u"POST") || url.isEmpty()) {
        finish(exchange, FetchFailure::Refused, 0, {}, {});
        return;
    }
    QByteArray method =
        encodeGbkLossy(request.method.isEmpty() ? QStringLiteral("GET") : request.method);
    bool postWithBody = verb == u"POST" && !request.postData.isEmpty();
    QString headerText = requestHeaderText(request, postWithBody);
    const bool viaProxy = isPresent(request.proxy);
    const bool ownCookies = isPresent(request.cookies);

    CURL* curl = curl_easy_init();
    Transfer transfer{exchange, {}, {}};
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const QByteArray proxy =
        viaProxy ? "http://" + encodeGbkLossy(removeBlanks(request.proxy)) : QByteArray();
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.constData()); // "" ignores proxy variables
    const QByteArray user = encodeGbkLossy(request.userName);
    const QByteArray password = encodeGbkLossy(request.password);
    const bool hasCredentials = isPresent(request.userName) || isPresent(request.password);
    const QString credentialsAuthority = hasCredentials ? authorityOf(url) : QString();
    const bool keepsCookies = !ownCookies && exchange.cookieStore;
    if (keepsCookies) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
        for (const QByteArray& line : exchange.cookieStore->lines()) {
            curl_easy_setopt(curl, CURLOPT_COOKIELIST, line.constData());
        }
    }

    bool ok = false;
    CURLcode code = CURLE_OK;
    long status = 0;
    for (int hop = 0;; ++hop) {
        const HeaderList headers(headerText, request, viaProxy);
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        // Credentials go only to the server they were given for, never along a redirect
        // to another one.
        const bool sendsCredentials = hasCredentials && authorityOf(url) == credentialsAuthority;
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, sendsCredentials ? CURLAUTH_BASIC : CURLAUTH_NONE);
        curl_easy_setopt(curl, CURLOPT_USERNAME, sendsCredentials ? user.constData() : nullptr);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, sendsCredentials ? password.constData() : nullptr);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list());
        if (postWithBody) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.postData.constData());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             curl_off_t(request.postData.size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.constData());
        transfer.body.clear();
        transfer.headerBlock.clear();
        code = curl_easy_perform(curl);
        ok = code == CURLE_OK;

        status = 0;
        char* next = nullptr;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
        const QByteArray target(next);
        if (!ok || !isFollowedRedirect(status) || hop >= exchange.limits.maxRedirects ||
            !(target.startsWith("http://") || target.startsWith("https://"))) {
            break;
        }
        url = target;
        if (status != 307 && verb == u"POST") {
            method = "GET";
            postWithBody = false;
            headerText = withoutLines(
                headerText, {QStringLiteral("Content-Type"), QStringLiteral("Content-Length")});
        }
    }
    const QList<QByteArray> cookies =
        keepsCookies ? CookieStore::linesOfHandle(curl) : QList<QByteArray>();
    curl_easy_cleanup(curl);
    const QString cookieHost = exchange.cookieStore ? hostForCookies(url) : QString();
    finish(exchange, failureOf(code, transfer.tooLarge), int(status),
           ok ? transfer.body : QByteArray(), transfer.headerBlock,
           [&] { keepCookies(exchange, cookieHost, cookies, transfer.headerBlock); });
}

// Waking a sleeping thread costs a hundred microseconds and more on a virtual machine,
// as much as a whole exchange on a fast network. A caller that has just started an
// exchange and a worker that has just finished one therefore watch for the other side
// for a moment before they sleep, yielding the processor to any thread that needs it.
constexpr auto kCallerWatches = std::chrono::microseconds(1000);
constexpr auto kWorkerWatches = std::chrono::microseconds(200);

template <typename Ready>
bool awaitBriefly(std::chrono::microseconds span, Ready&& ready) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// True when the exchange finished within a moment. The caller watches for the result to
// be published, not just written, so that it does not find the worker holding the lock.
bool finishesSoon(const Exchange& exchange) {
    return awaitBriefly(kCallerWatches, [&] { return exchange.published.load(); });
}

// Serves events until the exchange finishes, stays quiet for `quiet` ms, or the deadline
// passes. The worker wakes the loop only while it is registered here.
void awaitInEventLoop(Exchange& exchange, qint64 quiet, qint64 deadline) {
    QEventLoop loop;
    QObject waiter;
    QTimer quietTimer;
    quietTimer.setSingleShot(true);
    quietTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&quietTimer, &QTimer::timeout, &waiter, [&] {
        const qint64 now = steadyMilliseconds();
        const qint64 quietUntil = exchange.lastProgress + quiet;
        if (now >= quietUntil || now >= deadline) {
            loop.quit();
            return;
        }
        quietTimer.start(int(qMin(quietUntil, deadline) - now));
    });
    {
        const std::lock_guard lock(exchange.mutex);
        if (exchange.done) {
            return;
        }
        exchange.waiter = &waiter;
        exchange.wake = [&loop] { loop.quit(); };
    }
    const qint64 now = steadyMilliseconds();
    quietTimer.start(int(qMax<qint64>(0, qMin(exchange.lastProgress + quiet, deadline) - now)));
    loop.exec();
    const std::lock_guard lock(exchange.mutex);
    exchange.waiter = nullptr;
    exchange.wake = nullptr;
}

} // namespace

QByteArray Fetcher::httpFetch(const QString& url, const QString& method,
                              const QByteArray& postData) {
    FetchRequest request;
    request.url = url;
    request.method = method;
    request.postData = postData;
    return httpFetch(request);
}

// Worker threads are kept and reused: each runs one exchange at a time, and a new one is
// started whenever none is idle, so every exchange still has a worker of its own, even
// while given-up workers finish stopping.
struct HttpFetcher::Workers {
    std::mutex mutex;
    std::condition_variable wakeUp;
    std::deque<std::shared_ptr<Exchange>> pending;
    std::atomic<bool> hasWork{false};
    std::list<std::shared_ptr<Exchange>> running;
    std::list<std::thread> threads;
    int idle = 0;
    bool stopping = false;

    void start(const std::shared_ptr<Exchange>& exchange) {
        {
            const std::lock_guard lock(mutex);
            pending.push_back(exchange);
            if (idle == 0) {
                threads.emplace_back([this] { work(); });
            } else {
                --idle;
            }
            hasWork = true; // last, so that a watching worker seldom finds the lock taken
        }
        wakeUp.notify_one();
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (pending.empty() && !stopping) {
                lock.unlock();
                awaitBriefly(kWorkerWatches, [this] { return hasWork.load(); });
                lock.lock();
            }
            wakeUp.wait(lock, [this] { return stopping || !pending.empty(); });
            if (pending.empty()) {
                return;
            }
            const std::shared_ptr<Exchange> exchange = pending.front();
            pending.pop_front();
            hasWork = !pending.empty();
            const auto mine = running.insert(running.end(), exchange);
            lock.unlock();
            runExchange(*exchange);
            lock.lock();
            running.erase(mine);
            ++idle;
        }
    }

    ~Workers() {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
            for (const auto& exchange : running) {
                exchange->abandoned = true;
            }
            for (const auto& exchange : pending) {
                exchange->abandoned = true;
            }
            wakeUp.notify_all();
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

HttpFetcher::HttpFetcher(std::shared_ptr<CookieStore> cookieStore, FetchLimits limits)
    : m_cookieStore(std::move(cookieStore))
    , m_limits(limits)
    , m_workers(std::make_unique<Workers>()) {
    ensureCurlInitialized();
}

HttpFetcher::~HttpFetcher() = default;

QByteArray HttpFetcher::httpFetch(const FetchRequest& request, FetchResponse* response) {
    const auto exchange = std::make_shared<Exchange>();
    exchange->request = request;
    // A line break in the URL (a server's answer pasted into it) must not become a header
    // line of the request: the URL also goes out as the Referer.
    exchange->request.url = withControlsEscaped(request.url);
    exchange->limits = m_limits;
    exchange->cookieStore = m_cookieStore;

    const double seconds =
        request.timeoutSeconds > 0 ? request.timeoutSeconds : FetchLimits::kDefaultQuietSeconds;
    const qint64 quiet = qMax<qint64>(1, qint64(std::trunc(seconds * 1000)));
    const double bound =
        request.deadlineSeconds > 0 ? request.deadlineSeconds : m_limits.exchangeDeadlineSeconds;
    const qint64 longest = qMin(quiet * m_limits.quietPeriodsPerExchange,
                                qMax<qint64>(1, qint64(std::trunc(bound * 1000))));
    const qint64 deadline = steadyMilliseconds() + longest;

    m_workers->start(exchange);
    if (!finishesSoon(*exchange)) {
        awaitInEventLoop(*exchange, quiet, deadline);
    }

    const std::lock_guard lock(exchange->mutex);
    const bool finished = exchange->finished;
    if (!finished) {
        exchange->abandoned = true;
    }
    if (response) {
        response->rawHeaders = finished ? exchange->rawHeaders : QString();
        response->newCookies = finished ? exchange->newCookies : QString();
        response->failure = exchange->done ? exchange->failure : FetchFailure::TimedOut;
        response->status = finished ? exchange->status : 0;
    }
    return finished ? exchange->body : QByteArray();
}

} // namespace skylark
