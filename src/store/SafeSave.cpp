#include "SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace skylark {
namespace {

constexpr QLatin1StringView kTemporaryMark(".saving-");
constexpr int kRandomLength = 6;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString temporaryNameFor(const QString& path) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = path + kTemporaryMark;
    for (int i = 0; i < kRandomLength; ++i) {
        name +=
            QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet) - 1)]);
    }
    return name;
}

// The syncing of the folder makes the rename itself survive a power cut. Errors are
// ignored: some file systems cannot sync a folder, and the data itself is on disk.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Creates a new temporary file with the permissions of the file it will replace, or the
// usual ones of a new file; -1 with errno set when none can be made.
int createTemporary(const QString& path, QByteArray& temporary) {
    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = QFile::encodeName(temporaryNameFor(path));
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (replacing) {
                ::fchmod(fd, old.st_mode & 07777);
            }
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

bool writeAll(const SaveCalls& calls, int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const long written =
            calls.write(fd, bytes.data() + done, (unsigned long)(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += written;
    }
    return true;
}

bool hasSize(int fd, qsizetype size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    if (info.st_size != size) {
        errno = EIO;
        return false;
    }
    return true;
}

} // namespace

WriteResult WriteResult::failure(const QString& path, const QString& reason) {
    return failure(QStringLiteral("无法保存文件 ") + QDir::toNativeSeparators(path) +
                   QStringLiteral("：") + reason);
}

SaveCalls SaveCalls::system() {
    return {
        [](int fd, const char* data, unsigned long size) { return long(::write(fd, data, size)); },
        [](int fd) { return ::fsync(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); }};
}

WriteResult saveFileAtomically(const QString& path, QByteArrayView bytes, const SaveCalls& calls) {
    QByteArray temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) {
        return WriteResult::failure(path, systemReason(errno));
    }
    const bool written =
        writeAll(calls, fd, bytes) && calls.fsync(fd) == 0 && hasSize(fd, bytes.size());
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        const int reason = written ? errno : error;
        ::unlink(temporary.constData());
        return WriteResult::failure(path, systemReason(reason));
    }
    if (calls.rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int reason = errno;
        ::unlink(temporary.constData());
        return WriteResult::failure(path, systemReason(reason));
    }
    syncFolderOf(path);
    return WriteResult::success();
}

void removeLeftoverTemporaries(const QString& path) {
    const QFileInfo file(path);
    const QRegularExpression leftover(QLatin1Char('^') +
                                      QRegularExpression::escape(file.fileName() + kTemporaryMark) +
                                      QStringLiteral("[A-Za-z0-9]{%1}$").arg(kRandomLength));
    QDir folder = file.absoluteDir();
    const QStringList candidates =
        folder.entryList({file.fileName() + kTemporaryMark + QLatin1Char('*')},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        if (leftover.match(name).hasMatch()) {
            folder.remove(name);
        }
    }
}

QString readWholeFile(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString();
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return file.errorString();
    }
    if (bytes.size() != file.size()) {
        return QStringLiteral("short read");
    }
    return {};
}

} // namespace skylark
