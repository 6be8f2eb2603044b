#include "CookieStore.h"

#include "store/FileLock.h"
#include "store/SafeSave.h"

#include <QFile>

#include <curl/curl.h>

namespace skylark {

void ensureCurlInitialized() {
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialized);
}

namespace {

// domain, tail match, path, secure, expiry, name, value
QByteArray keyOf(const QByteArray& line) {
    const QList<QByteArray> fields = line.split('\t');
    return fields.size() >= 7 ? fields[0] + '\t' + fields[2] + '\t' + fields[5] : QByteArray();
}

} // namespace

CookieStore::CookieStore(QString jarPath)
    : m_jarPath(std::move(jarPath)) {
    ensureCurlInitialized();
    QFile jar(m_jarPath);
    if (m_jarPath.isEmpty() || !jar.exists()) {
        return;
    }
    const QByteArray bytes = jar.open(QIODevice::ReadOnly) ? jar.readAll() : QByteArray();
    if (jar.error() != QFileDevice::NoError) {
        m_jarUnreadable = true; // never replace a jar that could not be read
        return;
    }
    QList<QByteArray> lines;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#')) {
            lines.append(line);
        }
    }
    merge(lines);
}

CookieStore::~CookieStore() {
    if (m_jarPath.isEmpty() || m_jarUnreadable) {
        return;
    }
    QByteArray jar = "# Netscape HTTP Cookie File\n";
    for (const QByteArray& line : lines()) {
        jar += line + '\n';
    }
    const FileLock lock(m_jarPath);
    if (lock.locked()) {
        removeLeftoverTemporaries(m_jarPath);
        // A jar that cannot be saved keeps its old cookies; nothing else depends on it.
        (void)saveFileAtomically(m_jarPath, jar);
    }
}

void CookieStore::store(const QString& host, const QString& name, const QString& data) {
    QString header = QStringLiteral("Set-Cookie: ") + name + QLatin1Char('=') + data;
    if (!data.contains(QStringLiteral("domain="), Qt::CaseInsensitive)) {
        header += QStringLiteral("; domain=") + host;
    }
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(handle, CURLOPT_COOKIELIST, header.toUtf8().constData());
    merge(linesOfHandle(handle));
    curl_easy_cleanup(handle);
}

QStringList CookieStore::cookieLines() const {
    QStringList lines;
    for (const QByteArray& line : this->lines()) {
        lines.append(QString::fromUtf8(line));
    }
    return lines;
}

QList<QByteArray> CookieStore::lines() const {
    const QMutexLocker lock(&m_mutex);
    return m_lines.values();
}

QList<QByteArray> CookieStore::linesOfHandle(void* curlHandle) {
    curl_slist* list = nullptr;
    curl_easy_getinfo(static_cast<CURL*>(curlHandle), CURLINFO_COOKIELIST, &list);
    QList<QByteArray> lines;
    for (curl_slist* item = list; item; item = item->next) {
        lines.append(QByteArray(item->data));
    }
    curl_slist_free_all(list);
    return lines;
}

void CookieStore::merge(const QList<QByteArray>& lines) {
    const QMutexLocker lock(&m_mutex);
    for (const QByteArray& line : lines) {
        const QByteArray key = keyOf(line);
        if (!key.isEmpty()) {
            m_lines.insert(key, line);
        }
    }
}

} // namespace skylark
