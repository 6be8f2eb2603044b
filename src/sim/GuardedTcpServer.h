#pragma once

#include <QTcpServer>

namespace skylark::sim {

// A TCP server whose connections cannot hold the demo server's thread or memory: a
// connection is closed once its client has sent more than maxReceivedBytes in all, and
// after idleMs without a byte in either direction.
class GuardedTcpServer : public QTcpServer {
public:
    static constexpr qint64 kMaxReceivedBytes = 256 * 1024;
    static constexpr int kIdleMs = 10000;

    explicit GuardedTcpServer(QObject* parent = nullptr,
                              qint64 maxReceivedBytes = kMaxReceivedBytes, int idleMs = kIdleMs);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    qint64 m_maxReceivedBytes;
    int m_idleMs;
};

} // namespace skylark::sim
