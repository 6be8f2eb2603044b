#pragma once

#include <QString>

namespace skylark {

// The shell's "open" action: shows a URL in the user's default browser. Its result is
// never looked at.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void openUrl(const QString& url) = 0;
};

} // namespace skylark
