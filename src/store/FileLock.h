#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace skylark {

// An exclusive lock across processes, held as the lock file PATH.lock for as long as the
// object lives. A lock left by a process that has died is taken over.
class FileLock {
public:
    explicit FileLock(const QString& path, int timeoutMs = kDefaultTimeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    static constexpr int kDefaultTimeoutMs = 20000;

    bool locked() const { return m_reason.isEmpty(); }
    // True when another process holds the lock; false when it is held here or when it
    // cannot be taken at all (a read-only folder, a full disk, a lock file that is a folder).
    bool heldElsewhere() const { return m_heldElsewhere; }
    // Why the lock could not be taken, with the system's reason; empty when it is held.
    const QString& reason() const { return m_reason; }

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_reason;
    bool m_heldElsewhere = false;
};

} // namespace skylark
