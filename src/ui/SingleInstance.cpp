#include "SingleInstance.h"

#include "store/FileLock.h"

#include <QCryptographicHash>
#include <QDir>

namespace skylark::ui {
namespace {

constexpr char kShow[] = "show";

} // namespace

SingleInstance::SingleInstance(const QString& dataDirectory, QString runtimeDirectory,
                               QObject* parent)
    : QObject(parent)
    , m_directory(QDir(dataDirectory).canonicalPath())
    , m_runtimeDirectory(std::move(runtimeDirectory)) {
    connect(&m_server, &UserSocketServer::lineReceived, this, [this](const QByteArray& line) {
        if (line == kShow) {
            Q_EMIT activationRequested();
        }
    });
}

SingleInstance::~SingleInstance() = default;

// The folder for the socket, found once: the one a test gave, else the user's own.
QString SingleInstance::runtimeDirectory(QString* reason) {
    if (m_runtimeDirectory.isEmpty()) {
        m_runtimeDirectory = userRuntimeDirectory(reason);
    }
    return m_runtimeDirectory;
}

QString SingleInstance::socketPath() {
    const QString runtime = runtimeDirectory();
    if (runtime.isEmpty()) {
        return {};
    }
    const QByteArray hash =
        QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return runtime + QStringLiteral("/skylark-") + QString::fromLatin1(hash);
}

SingleInstance::Claim SingleInstance::claim() {
    m_lock = std::make_unique<FileLock>(m_directory + QStringLiteral("/skylark"), 0);
    if (m_lock->heldElsewhere()) {
        m_lock.reset();
        return Claim::RunningElsewhere;
    }
    if (!m_lock->locked()) {
        m_problem = m_lock->reason();
        return Claim::Unguarded;
    }
    QString reason;
    if (runtimeDirectory(&reason).isEmpty()) {
        m_problem = QStringLiteral("无法为本用户建立套接字文件夹：") + reason;
        return Claim::Unguarded;
    }
    // A socket left by a program that died is ours to replace: we hold the lock.
    const QString path = socketPath();
    if (reason = m_server.listen(path); !reason.isEmpty()) {
        m_problem = QStringLiteral("无法在 %1 上等候本程序的其他实例：%2").arg(path, reason);
        return Claim::Unguarded;
    }
    return Claim::First;
}

bool SingleInstance::handOver(int timeoutMs) {
    const QString path = socketPath();
    if (path.isEmpty()) {
        m_problem = QStringLiteral("找不到本用户的套接字文件夹");
        return false;
    }
    const QString reason = sendToUserSocket(path, kShow, timeoutMs);
    if (!reason.isEmpty()) {
        m_problem = QStringLiteral("已有程序在使用数据目录 %1，但无法通知它（%2：%3）")
                        .arg(m_directory, path, reason);
    }
    return reason.isEmpty();
}

} // namespace skylark::ui
