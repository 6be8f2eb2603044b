#include "UserSocket.h"

#include "store/SafeSave.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <utility>

namespace skylark {
namespace {

constexpr int kResumeMs = 100;

// A folder that only this user may enter: owned by them, no rights for group or others,
// not a symbolic link.
bool isPrivateFolder(const QByteArray& path, QString* reason) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        *reason = systemReason(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        *reason = QStringLiteral("%1 不是本用户的文件夹").arg(QFile::decodeName(path));
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        *reason = systemReason(errno);
        return false;
    }
    return true;
}

bool addressOf(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path)) {
        return false;
    }
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::geteuid();
}

} // namespace

QString userRuntimeDirectory(QString* reason) {
    QString ignored;
    QString& why = reason ? *reason : ignored;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime, &why)) {
        return QFile::decodeName(runtime);
    }
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("skylark-%1").arg(::geteuid()));
    const QByteArray name = QFile::encodeName(own);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        why = systemReason(errno);
        return {};
    }
    return isPrivateFolder(name, &why) ? own : QString();
}

// One accepted peer; deleted later, since it may be dropped from its own notifier's signal.
struct UserSocketServer::Connection : QObject {
    Connection(int descriptor, QObject* server)
        : QObject(server)
        , fd(descriptor)
        , notifier(descriptor, QSocketNotifier::Read) {
        idle.setSingleShot(true);
        idle.start(kIdleMs);
    }
    int fd;
    QSocketNotifier notifier;
    QTimer idle;
    QByteArray received;
};

int UserSocketServer::systemAccept(int listeningFd) {
    return ::accept4(listeningFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

UserSocketServer::UserSocketServer(QObject* parent, Accept accept)
    : QObject(parent)
    , m_accept(std::move(accept)) {
    m_resume.setSingleShot(true);
    m_resume.setInterval(kResumeMs);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        watchListeningSocket();
        acceptPending();
    });
}

UserSocketServer::~UserSocketServer() {
    for (Connection* connection : std::as_const(m_connections)) {
        ::close(connection->fd);
        delete connection;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(QFile::encodeName(m_path).constData());
    }
}

QString UserSocketServer::listen(const QString& path) {
    sockaddr_un address{};
    if (!addressOf(path, address)) {
        return QStringLiteral("套接字路径太长：%1").arg(path);
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return systemReason(errno);
    }
    ::unlink(address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, kMaxConnections) != 0) {
        const QString reason = systemReason(errno);
        ::close(fd);
        return reason;
    }
    m_fd = fd;
    m_path = path;
    watchListeningSocket();
    return {};
}

void UserSocketServer::watchListeningSocket() {
    if (!m_acceptNotifier) {
        m_acceptNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_acceptNotifier, &QSocketNotifier::activated, this,
                &UserSocketServer::acceptPending);
    }
}

void UserSocketServer::acceptPending() {
    while (m_acceptNotifier) {
        const int fd = m_accept(m_fd);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of descriptors or buffers: try again shortly, never give up the socket.
                m_acceptNotifier->setEnabled(false);
                std::exchange(m_acceptNotifier, nullptr)->deleteLater();
                m_resume.start();
            }
            return;
        }
        if (!peerIsThisUser(fd) || m_connections.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        auto* connection = new Connection(fd, this);
        m_connections.append(connection);
        connect(&connection->idle, &QTimer::timeout, this,
                [this, connection] { drop(connection); });
        connect(&connection->notifier, &QSocketNotifier::activated, this,
                [this, connection] { readFrom(connection); });
    }
}

void UserSocketServer::readFrom(Connection* connection) {
    char buffer[kMaxMessageBytes];
    const ssize_t got = ::read(connection->fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (got > 0) {
        connection->received.append(buffer, got);
    }
    const qsizetype end = connection->received.indexOf('\n');
    if (end >= 0) {
        const QByteArray line = connection->received.left(end);
        drop(connection);
        Q_EMIT lineReceived(line);
        return;
    }
    if (got <= 0 || connection->received.size() >= kMaxMessageBytes) {
        drop(connection);
    }
}

void UserSocketServer::drop(Connection* connection) {
    if (!m_connections.removeOne(connection)) {
        return;
    }
    connection->notifier.setEnabled(false);
    connection->idle.stop();
    ::close(connection->fd);
    connection->deleteLater();
}

QString sendToUserSocket(const QString& path, const QByteArray& line, int timeoutMs) {
    sockaddr_un address{};
    if (!addressOf(path, address)) {
        return QStringLiteral("套接字路径太长：%1").arg(path);
    }
    const QDeadlineTimer deadline(timeoutMs);
    QString reason;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return systemReason(errno);
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            if (!peerIsThisUser(fd)) {
                ::close(fd);
                return QStringLiteral("%1 属于另一个用户").arg(path);
            }
            const QByteArray message = line + '\n';
            timeval limit{qMax<qint64>(1, deadline.remainingTime()) / 1000,
                          (qMax<qint64>(1, deadline.remainingTime()) % 1000) * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            const bool sent = ::send(fd, message.constData(), size_t(message.size()),
                                     MSG_NOSIGNAL) == message.size();
            reason = sent ? QString() : systemReason(errno);
            ::close(fd);
            return reason;
        }
        reason = systemReason(errno);
        ::close(fd);
        if (deadline.hasExpired()) {
            return reason;
        }
        QThread::msleep(50);
    }
}

} // namespace skylark
