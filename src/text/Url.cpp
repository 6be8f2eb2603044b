#include "Url.h"

#include "Text.h"

#include <cmath>
#include <limits>

namespace skylark {

namespace {

// Where the host starts: after the first "http://", or at the start without one.
qsizetype hostStart(QStringView url) {
    const QLatin1StringView scheme("http://");
    const qsizetype schemeAt = url.indexOf(scheme);
    return schemeAt < 0 ? 0 : schemeAt + scheme.size();
}

} // namespace

QString hostOf(QStringView url, bool keepPort) {
    const qsizetype start = hostStart(url);
    const qsizetype slash = url.indexOf(QLatin1Char('/'), start);
    QStringView host = url.sliced(start, (slash < 0 ? url.size() : slash) - start);
    if (!keepPort) {
        const qsizetype colon = host.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            host = host.first(colon);
        }
    }
    QString lowered = host.toString();
    for (QChar& c : lowered) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    return lowered;
}

QString pathOf(QStringView url) {
    // The first "/" after the host; searching for the host's text could find it inside
    // the scheme, for a host such as "tp".
    const qsizetype slash = url.indexOf(QLatin1Char('/'), hostStart(url));
    return slash < 0 ? QStringLiteral("/") : url.sliced(slash).toString();
}

int portOf(QStringView url) {
    const QString host = hostOf(url, true);
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        return 80;
    }
    const double port = std::trunc(textToNumber(QStringView(host).sliced(colon + 1)));
    constexpr double kLowest = std::numeric_limits<int>::min();
    constexpr double kHighest = std::numeric_limits<int>::max();
    return int(qBound(kLowest, port, kHighest));
}

} // namespace skylark
