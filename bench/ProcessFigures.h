#pragma once

// What bench_desktop reads of the programs it starts: when their first window is mapped on
// the X server, and from /proc the proportional and resident memory and the CPU time of a
// process and of its descendants.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QString>

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace skylark::bench {

// Watches the root window of the display for top-level windows being mapped.
class MapWatch {
public:
    MapWatch() {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection)) {
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_ready = true;
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    bool ready() const { return m_ready; }
    // Drops what was seen so far.
    void clear() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            free(event);
        }
    }
    // Waits for the next top-level window to be mapped; false after timeoutMs.
    bool waitForMap(int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const bool mapped =
                    (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
                free(event);
                if (mapped) {
                    return true;
                }
            }
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&descriptor, 1, 5);
        }
        return false;
    }

private:
    xcb_connection_t* m_connection = nullptr;
    bool m_ready = false;
};

// One line's number of a /proc file ("Pss:      1234 kB").
inline qint64 procKb(const QString& path, const QByteArray& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

// The fields of /proc/PID/stat after the command's ")": state is [0], the parent [1].
inline QList<QByteArray> statFields(const QString& pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2).split(' ');
}

// Every descendant of the process.
inline QStringList descendantsOf(const QString& root) {
    QHash<QString, QString> parents;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() > 0) {
            parents.insert(pid, QString::fromLatin1(statFields(pid).value(1)));
        }
    }
    QStringList found;
    for (auto each = parents.cbegin(); each != parents.cend(); ++each) {
        for (QString up = each.value(); !up.isEmpty() && up != u"0"; up = parents.value(up)) {
            if (up == root) {
                found.append(each.key());
                break;
            }
        }
    }
    return found;
}

struct TreeMemory {
    double mainPssMiB = 0;
    double mainRssMiB = 0;
    double helpersPssMiB = 0;
    double helpersRssMiB = 0;
    int helpers = 0;
    double totalPssMiB() const { return mainPssMiB + helpersPssMiB; }
};

inline TreeMemory treeMemory(const QString& pid) {
    const auto pss = [](const QString& p) {
        return procKb(QStringLiteral("/proc/%1/smaps_rollup").arg(p), "Pss:") / 1024.0;
    };
    const auto rss = [](const QString& p) {
        return procKb(QStringLiteral("/proc/%1/status").arg(p), "VmRSS:") / 1024.0;
    };
    TreeMemory memory{pss(pid), rss(pid), 0, 0, 0};
    for (const QString& helper : descendantsOf(pid)) {
        memory.helpersPssMiB += pss(helper);
        memory.helpersRssMiB += rss(helper);
        ++memory.helpers;
    }
    return memory;
}

// The CPU time the process and its descendants have used, in seconds.
inline double treeCpuSeconds(const QString& pid) {
    double ticks = 0;
    for (const QString& each : QStringList{pid} + descendantsOf(pid)) {
        const QList<QByteArray> fields = statFields(each);
        ticks += fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace skylark::bench
