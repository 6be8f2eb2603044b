#pragma once

// The floor the program's exchanges are measured against: one GET through libcurl alone,
// with a fresh handle as the program uses for each exchange, and the body thrown away.

#include <QByteArray>

#include <curl/curl.h>

#include <cstddef>
#include <optional>

namespace skylark::bench {

// The size of the body, or nullopt when the transfer failed.
inline std::optional<std::size_t> bareCurlGet(const QByteArray& url) {
    const auto discard = +[](char*, std::size_t size, std::size_t count, void* user) {
        *static_cast<std::size_t*>(user) += size * count;
        return size * count;
    };
    CURL* curl = curl_easy_init();
    std::size_t received = 0;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return result == CURLE_OK ? std::optional(received) : std::nullopt;
}

} // namespace skylark::bench
