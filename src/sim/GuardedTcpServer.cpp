#include "GuardedTcpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace skylark::sim {

GuardedTcpServer::GuardedTcpServer(QObject* parent, qint64 maxReceivedBytes, int idleMs)
    : QTcpServer(parent)
    , m_maxReceivedBytes(maxReceivedBytes)
    , m_idleMs(idleMs) {}

void GuardedTcpServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->start(m_idleMs);
    connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
    connect(socket, &QTcpSocket::bytesWritten, idle, [idle] { idle->start(); });
    // Connected before the HTTP server's own handler, so it sees each chunk before it
    // is read; the close waits until that handler has returned.
    auto received = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, idle, received] {
        idle->start();
        *received += socket->bytesAvailable();
        if (*received > m_maxReceivedBytes) {
            QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
        }
    });
    addPendingConnection(socket);
}

} // namespace skylark::sim
