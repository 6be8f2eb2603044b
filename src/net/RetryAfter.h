#pragma once

#include <QDateTime>
#include <QString>

namespace skylark {

struct FetchResponse;

// The wait a Retry-After header asks for, in seconds from now: delta-seconds or an HTTP
// date, at most a day; 0 without the header or for one that cannot be read.
int retryAfterSeconds(const QString& rawHeaders, const QDateTime& now);

// What an answer of any HTTP source asks before the next request: the Retry-After of a
// 429 answer, 0 for any other.
int retryAfterOf(const FetchResponse& response, const QDateTime& now);

} // namespace skylark
