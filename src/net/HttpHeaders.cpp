#include "HttpHeaders.h"

#include "text/Text.h"

#include <algorithm>

namespace skylark {
namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kAcceptLine = QStringLiteral(
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n");

char16_t lowerAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit + (u'a' - u'A')) : unit;
}

// Whether the text holds the ASCII name in any letter case. Text with other characters
// goes to Qt's search, whose case folding reaches beyond ASCII.
bool has(const QString& text, QStringView name) {
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        return text.contains(name, Qt::CaseInsensitive);
    }
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype at = 0; at + name.size() <= text.size(); ++at) {
        qsizetype i = 0;
        while (i < name.size() && lowerAscii(units[at + i]) == lowerAscii(name[i].unicode())) {
            ++i;
        }
        if (i == name.size()) {
            return true;
        }
    }
    return false;
}

} // namespace

QString requestHeaderText(const FetchRequest& request, bool postWithBody) {
    QString text = request.headers;
    if (!has(text, u"Accept: ")) {
        text += kAcceptLine;
    }
    if (!has(text, u"Referer: ")) {
        text += QStringLiteral("Referer: ") + request.url + kLineEnd;
    }
    if (!has(text, u"Accept-Language: ")) {
        text += QStringLiteral("Accept-Language: zh-cn\r\n");
    }
    if (postWithBody) {
        if (!has(text, u"Content-Type: ")) {
            text += QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n");
        }
        text += QStringLiteral("Content-Length: ") + QString::number(request.postData.size()) +
                kLineEnd;
    }
    return text;
}

QString newCookiesOf(const QString& rawHeaders) {
    if (!has(rawHeaders, u"Set-Cookie:")) {
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
        if (!has(line, u"Set-Cookie:")) {
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
