#pragma once

#include "WriteResult.h"

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

// Replaces the file with the bytes as one step: a temporary file in the same folder is
// written, flushed and synced to disk, checked for its full size and renamed over the old
// one, and the folder is synced. A crash or power loss leaves either the old or the new
// file, never a torn one, and a failed step (a full disk, a read-only folder) leaves the
// old file byte for byte and removes the temporary file.
WriteResult saveFileAtomically(const QString& path, QByteArrayView bytes,
                               const SaveCalls& calls = SaveCalls::system());

// Reads the whole file into bytes; the reason when it cannot be read in full, else empty.
QString readWholeFile(const QString& path, QByteArray& bytes);

// Removes temporary files that a save of this path left behind when its process died
// before the rename. Only call it while holding the file's lock (see FileLock), so that
// no save is under way.
void removeLeftoverTemporaries(const QString& path);

} // namespace skylark
