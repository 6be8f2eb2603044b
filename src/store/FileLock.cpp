#include "FileLock.h"

#include <QLockFile>

namespace skylark {

FileLock::FileLock(const QString& path, int timeoutMs)
    : m_lock(std::make_unique<QLockFile>(path + QStringLiteral(".lock"))) {
    if (m_lock->tryLock(timeoutMs)) {
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
