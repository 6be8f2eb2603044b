#include "FileLock.h"

#include <QDeadlineTimer>
#include <QLockFile>
#include <QRandomGenerator>
#include <QThread>

namespace skylark {

FileLock::FileLock(const QString& path, int timeoutMs)
    : m_lock(std::make_unique<QLockFile>(path + QStringLiteral(".lock"))) {
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
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        m_reason = QStringLiteral("另一个程序正在使用该文件，请稍后再试");
        break;
    case QLockFile::PermissionError:
        m_reason = QStringLiteral("无法在文件所在的文件夹中创建锁文件（只读或没有权限）");
        break;
    default:
        m_reason = QStringLiteral("无法创建锁文件");
        break;
    }
}

FileLock::~FileLock() = default;

} // namespace skylark
