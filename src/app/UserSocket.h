#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QSocketNotifier;

namespace skylark {

// The folder for this user's sockets: $XDG_RUNTIME_DIR when it is a folder of this user's
// that no one else may enter, else "skylark-UID" in the temporary folder, created so. Empty,
// with the reason, when neither can be had (another user owns the second).
QString userRuntimeDirectory(QString* reason = nullptr);

// A local stream socket at a path that takes short messages from processes of the same
// user and no one else's. A peer of another user is dropped unheard; a peer that sends no
// message within the idle time is dropped; beyond a few connections at once new ones are
// dropped; and a failed accept (out of descriptors) pauses listening instead of ending it.
class UserSocketServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kIdleMs = 1000;
    static constexpr int kMaxConnections = 8;
    static constexpr int kMaxMessageBytes = 64;

    // Takes a pending connection from the listening socket as accept4() does, with errno
    // set on failure; a test can make it fail.
    using Accept = std::function<int(int listeningFd)>;
    static int systemAccept(int listeningFd);

    explicit UserSocketServer(QObject* parent = nullptr, Accept accept = systemAccept);
    ~UserSocketServer() override;

    // Listens at the path, replacing what is there (the caller holds the lock that makes it
    // ours); the reason when it cannot, else empty.
    QString listen(const QString& path);
    bool isListening() const { return m_fd >= 0; }
    int connectionCount() const { return int(m_connections.size()); }

Q_SIGNALS:
    // A peer of this user sent a line; without its line end.
    void lineReceived(const QByteArray& line);

private:
    struct Connection;
    void watchListeningSocket();
    void acceptPending();
    void drop(Connection* connection);
    void readFrom(Connection* connection);

    Accept m_accept;
    int m_fd = -1;
    QString m_path;
    QSocketNotifier* m_acceptNotifier = nullptr; // none while listening pauses
    QTimer m_resume;                             // listening again after a failed accept
    QList<Connection*> m_connections;
};

// Sends the line to the server at the path when it belongs to this user; the reason when it
// cannot within the time, else empty. A server not yet listening is waited for.
QString sendToUserSocket(const QString& path, const QByteArray& line, int timeoutMs);

} // namespace skylark
