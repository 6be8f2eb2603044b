// Reads any bytes as a response's header block (its first line names the answering host)
// and as a cookie jar file: the Set-Cookie parsing, the cookie store's domain rule and
// the jar's loading and saving.

#include "net/CookieStore.h"
#include "net/HttpHeaders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

using namespace skylark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QString host = QString::fromLatin1(bytes.left(lineEnd < 0 ? 0 : lineEnd)).trimmed();
    const QString headers = QString::fromLatin1(bytes.mid(lineEnd + 1));

    (void)newCookiesOf(headers);
    CookieStore store;
    const QString answering = host.isEmpty() ? QStringLiteral("fares.example.com") : host;
    for (const auto& [name, value] : cookiesToStore(headers)) {
        const qsizetype before = store.cookieLines().size();
        store.store(answering, name, value);
        const std::optional<QString> domain = domainAttributeOf(value);
        if (domain && !domainMatches(answering, *domain) &&
            store.cookieLines().size() != before) {
            __builtin_trap(); // a cookie for another host was kept
        }
    }

    static QTemporaryDir dir;
    const QString jar = QDir(dir.path()).filePath(QStringLiteral("cookies.txt"));
    QFile file(jar);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        __builtin_trap();
    }
    file.write(bytes);
    file.close();
    { CookieStore loaded(jar); (void)loaded.cookieLines(); } // loads, then saves
    { CookieStore reloaded(jar); (void)reloaded.lines(); }
    return 0;
}
