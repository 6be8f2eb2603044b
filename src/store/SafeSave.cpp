#include "SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace skylark {
namespace {

constexpr QLatin1StringView kTemporaryMark(".saving-");
constexpr int kRandomLength = 6;

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

// The file a save of the path replaces: the end of its chain of symbolic links.
QString followedLinks(const QString& path) {
    QString target = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(target);
        if (!info.isSymLink()) {
            break;
        }
        target = info.symLinkTarget();
    }
    return target;
}

QString tooLarge(qint64 size, qint64 maxSize) {
    return QStringLiteral("文件太大（%1 字节，最多 %2 字节）").arg(size).arg(maxSize);
}

QString readOpenedFile(int fd, qint64 maxSize, QByteArray& bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return systemReason(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("不是普通文件");
    }
    if (maxSize >= 0 && info.st_size > maxSize) {
        return tooLarge(info.st_size, maxSize);
    }
    QByteArray read(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < read.size()) {
        const ssize_t got = ::read(fd, read.data() + done, size_t(read.size() - done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return systemReason(errno);
        }
        if (got == 0) {
            return QStringLiteral("short read");
        }
        done += got;
    }
    bytes = std::move(read);
    return {};
}

} // namespace

WriteResult WriteResult::failure(const QString& path, const QString& reason) {
    return failure(QStringLiteral("无法保存文件 ") + QDir::toNativeSeparators(path) +
                   QStringLiteral("：") + reason);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

SaveCalls SaveCalls::system() {
    return {
        [](int fd, const char* data, unsigned long size) { return long(::write(fd, data, size)); },
        [](int fd) { return ::fsync(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); }};
}

AtomicFile::AtomicFile(QString path, SaveCalls calls, FilePrivacy privacy)
    : m_path(std::move(path))
    , m_calls(std::move(calls))
    , m_privacy(privacy) {}

AtomicFile::~AtomicFile() {
    abandon();
}

WriteResult AtomicFile::failure(int error) const {
    return WriteResult::failure(m_path, systemReason(error));
}

WriteResult AtomicFile::open() {
    m_target = followedLinks(m_path);
    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(m_target).constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        return WriteResult::failure(m_path, QStringLiteral("不是普通文件，不会被替换"));
    }
    if (m_privacy == FilePrivacy::Secrets && replacing && old.st_uid != ::geteuid()) {
        return WriteResult::failure(
            m_path, QStringLiteral("指向其他用户的文件，不会写入：%1").arg(m_target));
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = QFile::encodeName(temporaryNameFor(m_target));
        m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            if (replacing && m_privacy == FilePrivacy::KeepMode) {
                ::fchmod(m_fd, old.st_mode & 07777);
            }
            return WriteResult::success();
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const int error = errno;
    m_temporary.clear();
    return failure(error);
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (m_fd < 0 || m_error != 0) {
        return false;
    }
    if (!writeAll(m_calls, m_fd, bytes)) {
        m_error = errno;
        return false;
    }
    m_written += bytes.size();
    return true;
}

WriteResult AtomicFile::commit() {
    if (m_fd < 0) {
        return failure(m_error != 0 ? m_error : EBADF);
    }
    if (m_error == 0 && (m_calls.fsync(m_fd) != 0 || !hasSize(m_fd, m_written))) {
        m_error = errno;
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && m_error == 0) {
        m_error = errno;
    }
    if (m_error == 0 &&
        m_calls.rename(m_temporary.constData(), QFile::encodeName(m_target).constData()) != 0) {
        m_error = errno;
    }
    if (m_error != 0) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
        return failure(m_error);
    }
    m_temporary.clear();
    syncFolderOf(m_target);
    return WriteResult::success();
}

void AtomicFile::abandon() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
}

WriteResult saveFileAtomically(const QString& path, QByteArrayView bytes, const SaveCalls& calls,
                               FilePrivacy privacy) {
    AtomicFile file(path, calls, privacy);
    if (WriteResult opened = file.open(); !opened) {
        return opened;
    }
    file.write(bytes);
    return file.commit();
}

QString folderWriteProblem(const QString& folder) {
    const QByteArray probe =
        QFile::encodeName(temporaryNameFor(QDir(folder).filePath(QStringLiteral(".probe"))));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return systemReason(errno);
    }
    // One page: a full disk refuses it even where it still has room for a new name.
    const QByteArray page(4096, '\0');
    const bool written = ::write(fd, page.constData(), size_t(page.size())) == page.size();
    const int error = written ? 0 : (errno != 0 ? errno : ENOSPC);
    ::close(fd);
    ::unlink(probe.constData());
    return error == 0 ? QString() : systemReason(error);
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

namespace {

// A picture or page built into the program: in memory, never a device or a FIFO.
QString readResource(const QString& path, QByteArray& bytes, qint64 maxSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString();
    }
    if (maxSize >= 0 && file.size() > maxSize) {
        return tooLarge(file.size(), maxSize);
    }
    bytes = file.readAll();
    return bytes.size() == file.size() ? QString() : QStringLiteral("short read");
}

} // namespace

QString readWholeFile(const QString& path, QByteArray& bytes, qint64 maxSize) {
    if (path.startsWith(u':')) {
        return readResource(path, bytes, maxSize);
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return systemReason(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("不是普通文件");
    }
    // Non-blocking: a file swapped for a FIFO since the check above never holds the open.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return systemReason(errno);
    }
    const QString reason = readOpenedFile(fd, maxSize, bytes);
    ::close(fd);
    return reason;
}

} // namespace skylark
