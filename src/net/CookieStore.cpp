#include "CookieStore.h"

#include "store/FileLock.h"
#include "store/SafeSave.h"

#include <QFile>

#include <algorithm>

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

std::optional<QString> domainAttributeOf(const QString& cookieData) {
    const QStringList attributes = cookieData.split(QLatin1Char(';'));
    for (qsizetype i = attributes.size() - 1; i >= 1; --i) {
        const QString attribute = attributes[i].trimmed();
        if (attribute.startsWith(u"domain=", Qt::CaseInsensitive)) {
            return attribute.mid(7).trimmed();
        }
    }
    return std::nullopt;
}

bool domainMatches(const QString& host, const QString& domain) {
    QString wanted = domain.toLower();
    while (wanted.startsWith(QLatin1Char('.'))) {
        wanted.remove(0, 1);
    }
    const QString answering = host.toLower();
    // An address is matched only by itself: 127.0.0.1 does not lie below 0.0.1.
    const bool isAddress = answering.contains(QLatin1Char(':')) ||
                           std::all_of(answering.begin(), answering.end(), [](QChar c) {
                               return c.isDigit() || c == QLatin1Char('.');
                           });
    return !wanted.isEmpty() &&
           (answering == wanted || (!isAddress && answering.endsWith(QLatin1Char('.') + wanted)));
}

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
    const std::optional<QString> domain = domainAttributeOf(data);
    if (!domain) {
        header += QStringLiteral("; domain=") + host;
    } else if (!domainMatches(host, *domain)) {
        return; // a server sets cookies for itself and its parent domains only
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
