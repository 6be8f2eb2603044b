#include "FileLock.h"

#include "SafeSave.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QThread>

#include <sys/stat.h>

namespace skylark {
namespace {

// Why a lock file that no one holds cannot be made: the folder's own reason when it has
// one, else a plain statement.
QString cannotCreate(const QString& lockPath) {
    const QString problem = folderWriteProblem(QFileInfo(lockPath).absolutePath());
    return QStringLiteral("无法创建锁文件 %1（%2）")
        .arg(lockPath, problem.isEmpty() ? QStringLiteral("原因不明") : problem);
}

} // namespace

FileLock::FileLock(const QString& path, int timeoutMs)
    : m_lock(std::make_unique<QLockFile>(path + QStringLiteral(".lock"))) {
    const QString lockPath = path + QStringLiteral(".lock");
    // A folder or a device in the lock file's place never frees up: say so at once. One
    // look at it: another holder may remove its lock file at any moment.
    struct stat existing {};
    if (::lstat(QFile::encodeName(lockPath).constData(), &existing) == 0 &&
        !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
        m_reason = QStringLiteral("锁文件 %1 不是普通文件，无法加锁").arg(lockPath);
        return;
    }
    // QLockFile's own wait doubles its pauses up to seconds, which starves a writer among
    // many; short pauses of random length keep every waiter's turn near.
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError || deadline.hasExpired()) {
            break;
        }
        QThread::msleep(QRandomGenerator::global()->bounded(2, 12));
    }
    if (m_lock->isLocked()) {
        return;
    }
    m_heldElsewhere = m_lock->error() == QLockFile::LockFailedError;
    m_reason = m_heldElsewhere ? QStringLiteral("另一个程序正在使用该文件，请稍后再试")
                               : cannotCreate(lockPath);
}

FileLock::~FileLock() = default;

} // namespace skylark
