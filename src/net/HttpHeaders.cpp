#include "HttpHeaders.h"

#include "text/Text.h"

namespace skylark {
namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kAcceptLine = QStringLiteral(
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n");

} // namespace

QString requestHeaderText(const FetchRequest& request, bool postWithBody) {
    QString text = request.headers;
    if (!containsIgnoringCase(text, u"Accept: ")) {
        text += kAcceptLine;
    }
    if (!containsIgnoringCase(text, u"Referer: ")) {
        text += QStringLiteral("Referer: ") + request.url + kLineEnd;
    }
    if (!containsIgnoringCase(text, u"Accept-Language: ")) {
        text += QStringLiteral("Accept-Language: zh-cn\r\n");
    }
    if (postWithBody) {
        if (!containsIgnoringCase(text, u"Content-Type: ")) {
            text += QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n");
        }
        text += QStringLiteral("Content-Length: ") + QString::number(request.postData.size()) +
                kLineEnd;
    }
    return text;
}

QString newCookiesOf(const QString& rawHeaders) {
    if (!containsIgnoringCase(rawHeaders, u"Set-Cookie:")) {
        return {};
    }
    const QString marker = QStringLiteral("Set-Cookie:");
    QString cookies;
    for (const QString& line : rawHeaders.split(kLineEnd)) {
        if (!line.contains(marker) ||
            textBetween(line, QStringLiteral("="), QStringLiteral(";")).isEmpty()) {
            continue;
        }
        const QString cookie = textBetween(line, marker, QStringLiteral(";")).trimmed();
        if (!cookies.isEmpty()) {
            cookies += QStringLiteral("; ");
        }
        cookies += cookie;
    }
    return cookies;
}

QList<std::pair<QString, QString>> cookiesToStore(const QString& rawHeaders) {
    QList<std::pair<QString, QString>> cookies;
    for (const QString& line : rawHeaders.split(kLineEnd)) {
        if (!containsIgnoringCase(line, u"Set-Cookie:")) {
            continue;
        }
        const QString cookie = line.mid(12); // "Set-Cookie: "
        const qsizetype equals = cookie.indexOf(QLatin1Char('='));
        if (equals > 0) {
            cookies.append({cookie.left(equals).trimmed(), cookie.mid(equals + 1)});
        }
    }
    return cookies;
}

} // namespace skylark
