#pragma once

#include "HttpFetch.h"

#include <QList>
#include <QString>

#include <utility>

namespace skylark {

// The browser the requests introduce themselves as.
inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// The request's header text: the caller's lines, then Accept, Referer (the URL itself)
// and Accept-Language where the text lacks them, then for a POST with a body its
// Content-Type (unless given) and Content-Length. The Cookie line is not part of it.
QString requestHeaderText(const FetchRequest& request, bool postWithBody);

// name=value of every Set-Cookie line that has a value and attributes after it, joined
// by "; "; empty when the block holds no Set-Cookie line.
QString newCookiesOf(const QString& rawHeaders);

// Name and data (attributes included) of every Set-Cookie line, for the cookie store.
QList<std::pair<QString, QString>> cookiesToStore(const QString& rawHeaders);

} // namespace skylark
