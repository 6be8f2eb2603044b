#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace skylark {

// The per-user cookie store: cookies that exchanges without cookies of their own send
// and keep, shared by all exchanges of the program (they may run at the same time on
// their workers). With a jar path, the store is read from that file when it is created
// and written back when it is destroyed.
class CookieStore {
public:
    explicit CookieStore(QString jarPath = {});
    ~CookieStore();
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    // Stores one cookie for the host as a Set-Cookie header from that host would.
    void store(const QString& host, const QString& name, const QString& data);
    // The cookies held, one line each in the Netscape cookie-file form.
    QStringList cookieLines() const;

    // The libcurl share handle that exchanges attach to; for the request engine.
    void* shareHandle() const;

private:
    struct Share;
    std::unique_ptr<Share> m_share;
    QString m_jarPath;
};

// Initialises libcurl once for the whole program; safe to call from anywhere, any time.
void ensureCurlInitialized();

} // namespace skylark
