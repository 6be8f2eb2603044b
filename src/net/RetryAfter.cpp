#include "RetryAfter.h"

#include "HttpFetch.h"

#include <algorithm>

namespace skylark {

using namespace Qt::Literals::StringLiterals;

int retryAfterSeconds(const QString& rawHeaders, const QDateTime& now) {
    for (const QString& line : rawHeaders.split(u"\r\n"_s)) {
        if (!line.startsWith(u"retry-after:"_s, Qt::CaseInsensitive)) {
            continue;
        }
        const QString value = line.mid(12).trimmed();
        bool ok = false;
        const qint64 seconds = value.toLongLong(&ok);
        if (ok) {
            return int(std::clamp<qint64>(seconds, 0, 86400));
        }
        // An HTTP date ends in "GMT", which Qt's RFC 2822 reading does not take.
        QString date = value;
        if (date.endsWith(u" GMT"_s)) {
            date = date.chopped(4) + u" +0000"_s;
        }
        const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
        return at.isValid() ? int(std::clamp<qint64>(now.secsTo(at), 0, 86400)) : 0;
    }
    return 0;
}

int retryAfterOf(const FetchResponse& response, const QDateTime& now) {
    return response.status == 429 ? retryAfterSeconds(response.rawHeaders, now) : 0;
}

} // namespace skylark
