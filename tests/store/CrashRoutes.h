#pragma once

#include "app/Route.h"

#include <QString>

// The routes that the crash writer adds and removes, shared by the writer and the test.
// The writer keeps a window of consecutive identifiers: it appends the next identifier
// while fewer than kWindow routes are stored and removes the oldest otherwise.
namespace crashroutes {

inline constexpr qint64 kWindow = 8;

struct Window {
    qint64 first = 1; // an empty book is the window [1, 0]
    qint64 last = 0;

    bool operator==(const Window&) const = default;
};

inline Window nextWindow(Window window) {
    if (window.last - window.first + 1 >= kWindow) {
        ++window.first;
    } else {
        ++window.last;
    }
    return window;
}

inline skylark::Route routeFor(qint64 id) {
    using namespace Qt::Literals::StringLiterals;
    return {QString::number(id),
            u"成都"_s,
            id % 2 ? u"上海"_s : u"香港"_s,
            u"2015-02-07"_s,
            QString::number(id * 10),
            id % 2 ? u"domestic"_s : u"international"_s};
}

} // namespace crashroutes
