#include "SignalWatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace skylark {
namespace {

// The one place a signal handler may write to; signals are program-wide by nature.
int g_signalSocket[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[0], &byte, 1);
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSocket) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_signalSocket[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalSocket[1], &byte, 1);
        Q_EMIT interrupted();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

SignalWatcher::~SignalWatcher() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    m_notifier.reset();
    for (int& fd : g_signalSocket) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

} // namespace skylark
