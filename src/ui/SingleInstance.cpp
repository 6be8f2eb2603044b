#include "SingleInstance.h"

#include "store/FileLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace skylark::ui {
namespace {

constexpr char kShow[] = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString& dataDirectory, QObject* parent)
    : QObject(parent)
    , m_directory(QDir(dataDirectory).canonicalPath()) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kShow)) {
                    Q_EMIT activationRequested();
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketNameFor(const QString& dataDirectory) {
    const QByteArray path = QDir(dataDirectory).canonicalPath().toUtf8();
    return QStringLiteral("skylark-") +
           QString::fromLatin1(
               QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::claim() {
    m_lock = std::make_unique<FileLock>(m_directory + QStringLiteral("/skylark"), 0);
    if (!m_lock->locked()) {
        m_lock.reset();
        return false;
    }
    // A socket left by a program that died is ours to replace: we hold the lock.
    const QString name = socketNameFor(m_directory);
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(name);
}

bool SingleInstance::handOver(int timeoutMs) {
    // The first program may have taken the lock a moment before it listens.
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketNameFor(m_directory));
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(kShow);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace skylark::ui
