#pragma once

#include "WriteResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace skylark {

// The system calls of a save that can fail, so that tests can fail each one of them.
// Each returns what its POSIX namesake returns and leaves the reason in errno.
struct SaveCalls {
    std::function<long(int fd, const char* data, unsigned long size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;

    static SaveCalls system();
};

// A file written in pieces that replaces PATH as one step when it is committed: a temporary
// file in the same folder is written, flushed and synced to disk, checked for its full size
// and renamed over the old one, and the folder is synced. A crash or power loss leaves
// either the old or the new file, never a torn one; a failed step (a full disk, a read-only
// folder) or an abandoned write leaves the old file byte for byte and removes the temporary.
//
// The target is a regular file or nothing: a symbolic link is followed and its target
// replaced, anything else (a device, a FIFO, a folder) is refused before anything is
// written. A new file is created readable by its owner alone; a replaced one keeps its mode,
// unless it is a file of secrets: that one is its owner's alone from the first byte of the
// temporary on, whatever mode it had, and a link to it is followed only to a file of the
// user's own.
enum class FilePrivacy { KeepMode, Secrets };

class AtomicFile {
public:
    explicit AtomicFile(QString path, SaveCalls calls = SaveCalls::system(),
                        FilePrivacy privacy = FilePrivacy::KeepMode);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    WriteResult open();
    // False once a write has failed; the failure is reported by commit().
    bool write(QByteArrayView bytes);
    WriteResult commit();
    // Drops what was written; the old file stays as it was.
    void abandon();

private:
    WriteResult failure(int error) const;

    QString m_path;   // as given: messages name it
    QString m_target; // the file replaced, symbolic links followed
    SaveCalls m_calls;
    FilePrivacy m_privacy;
    QByteArray m_temporary;
    int m_fd = -1;
    qint64 m_written = 0;
    int m_error = 0;
};

// Replaces the file with the bytes as one step, by the rules of AtomicFile.
WriteResult saveFileAtomically(const QString& path, QByteArrayView bytes,
                               const SaveCalls& calls = SaveCalls::system(),
                               FilePrivacy privacy = FilePrivacy::KeepMode);

// The largest file readWholeFile reads when no limit is given.
constexpr qint64 kNoSizeLimit = -1;

// Reads the whole regular file (or resource, ":/...") into bytes; the reason when it cannot
// be read in full, is
// not a regular file (a FIFO or a device is never opened for reading, so never waited on),
// or is larger than maxSize bytes; else empty.
QString readWholeFile(const QString& path, QByteArray& bytes, qint64 maxSize = kNoSizeLimit);

// Removes temporary files that a save of this path left behind when its process died
// before the rename. Only call it while holding the file's lock (see FileLock), so that
// no save is under way.
void removeLeftoverTemporaries(const QString& path);

// Why nothing can be written in the folder (its system reason, such as a read-only file
// system or a full disk), found by writing a small file there; empty when it can be.
QString folderWriteProblem(const QString& folder);

// The system's text for an errno value.
QString systemReason(int error);

} // namespace skylark
