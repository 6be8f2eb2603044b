#include "CookieStore.h"

#include <QFile>

#include <curl/curl.h>

#include <array>
#include <mutex>

namespace skylark {

void ensureCurlInitialized() {
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialized);
}

namespace {

// A short-lived easy handle attached to the share, to reach the shared cookies.
struct ShareUser {
    CURL* handle;

    explicit ShareUser(CURLSH* share)
        : handle(curl_easy_init()) {
        curl_easy_setopt(handle, CURLOPT_SHARE, share);
        curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    }
    ~ShareUser() { curl_easy_cleanup(handle); }
    ShareUser(const ShareUser&) = delete;
    ShareUser& operator=(const ShareUser&) = delete;
};

} // namespace

struct CookieStore::Share {
    CURLSH* handle = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    Share()
        : handle(curl_share_init()) {
        curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(handle, CURLSHOPT_LOCKFUNC, &Share::lock);
        curl_share_setopt(handle, CURLSHOPT_UNLOCKFUNC, &Share::unlock);
        curl_share_setopt(handle, CURLSHOPT_USERDATA, this);
    }
    ~Share() { curl_share_cleanup(handle); }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<Share*>(user)->locks[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<Share*>(user)->locks[data].unlock();
    }
};

CookieStore::CookieStore(QString jarPath)
    : m_jarPath(std::move(jarPath)) {
    ensureCurlInitialized();
    m_share = std::make_unique<Share>();
    if (!m_jarPath.isEmpty() && QFile::exists(m_jarPath)) {
        ShareUser user(m_share->handle);
        curl_easy_setopt(user.handle, CURLOPT_COOKIEFILE, QFile::encodeName(m_jarPath).constData());
        curl_easy_setopt(user.handle, CURLOPT_COOKIELIST, "RELOAD");
    }
}

CookieStore::~CookieStore() {
    if (!m_jarPath.isEmpty()) {
        ShareUser user(m_share->handle);
        curl_easy_setopt(user.handle, CURLOPT_COOKIEJAR, QFile::encodeName(m_jarPath).constData());
        curl_easy_setopt(user.handle, CURLOPT_COOKIELIST, "FLUSH");
    }
}

void CookieStore::store(const QString& host, const QString& name, const QString& data) {
    QString line = QStringLiteral("Set-Cookie: ") + name + QLatin1Char('=') + data;
    if (!data.contains(QStringLiteral("domain="), Qt::CaseInsensitive)) {
        line += QStringLiteral("; domain=") + host;
    }
    ShareUser user(m_share->handle);
    curl_easy_setopt(user.handle, CURLOPT_COOKIELIST, line.toUtf8().constData());
}

QStringList CookieStore::cookieLines() const {
    ShareUser user(m_share->handle);
    curl_slist* list = nullptr;
    curl_easy_getinfo(user.handle, CURLINFO_COOKIELIST, &list);
    QStringList lines;
    for (curl_slist* item = list; item; item = item->next) {
        lines.append(QString::fromUtf8(item->data));
    }
    curl_slist_free_all(list);
    return lines;
}

void* CookieStore::shareHandle() const {
    return m_share->handle;
}

} // namespace skylark
