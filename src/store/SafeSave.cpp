#include "SafeSave.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace skylark {
namespace {

// QSaveFile syncs the file but not the folder that holds the new name; without this
// the rename itself may be lost in a power cut. Errors are ignored: some file systems
// cannot sync a folder, and the data itself is already on disk.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFileInfo(path).absolutePath().toLocal8Bit();
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool saveFileAtomically(const QString& path, QByteArrayView bytes) {
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        return false;
    }
    syncFolderOf(path);
    return true;
}

} // namespace skylark
