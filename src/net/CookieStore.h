#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

namespace skylark {

// The per-user cookie store: the cookies that exchanges without cookies of their own send
// and keep. Each exchange works on its own copy in libcurl's cookie engine and hands its
// cookies back when it finishes, so an exchange that was given up changes nothing here.
// Safe to use from several threads. With a jar path, the store is read from that file
// (Netscape cookie-file form) when it is created and written back when it is destroyed.
class CookieStore {
public:
    explicit CookieStore(QString jarPath = {});
    ~CookieStore();
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    // Stores one cookie for the host as a Set-Cookie header from that host would.
    void store(const QString& host, const QString& name, const QString& data);
    // The cookies held, one Netscape cookie-file line each.
    QStringList cookieLines() const;

    // For the request engine: the lines an exchange starts with, and the lines it ends with.
    QList<QByteArray> lines() const;
    void merge(const QList<QByteArray>& lines);
    // The cookies held by a libcurl easy handle's cookie engine.
    static QList<QByteArray> linesOfHandle(void* curlHandle);

private:
    mutable QMutex m_mutex;
    QMap<QByteArray, QByteArray> m_lines; // domain, path and name -> line
    QString m_jarPath;
    bool m_jarUnreadable = false;
};

// The value of the last Domain attribute of a Set-Cookie value (after name=value);
// nullopt when it has none.
std::optional<QString> domainAttributeOf(const QString& cookieData);
// Whether a cookie for the domain may be set by, and sent to, the host: the host is the
// domain or lies below it. Letter case and a leading dot do not count.
bool domainMatches(const QString& host, const QString& domain);

// Initialises libcurl once for the whole program; safe to call from anywhere, any time.
void ensureCurlInitialized();

} // namespace skylark
