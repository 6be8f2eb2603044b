#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

namespace skylark::testing {

inline bool runsAsRoot() {
    return ::geteuid() == 0;
}

// A small tmpfs mounted for one test, to run out of space for real. Mounting needs root
// and a machine that allows it; mounted() says whether it worked.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes) {
        if (runsAsRoot() && m_dir.isValid()) {
            m_mounted =
                QProcess::execute(QStringLiteral("mount"),
                                  {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                   QStringLiteral("-o"), QStringLiteral("size=%1k").arg(kilobytes),
                                   QStringLiteral("tmpfs"), m_dir.path()}) == 0;
        }
    }
    ~SmallDisk() {
        if (m_mounted) {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    // Makes the mounted disk read-only, as a read-only mount of a data directory is.
    bool remountReadOnly() {
        return m_mounted && QProcess::execute(QStringLiteral("mount"),
                                              {QStringLiteral("-o"), QStringLiteral("remount,ro"),
                                               m_dir.path()}) == 0;
    }
    QString path() const { return m_dir.path(); }

    // Fills the disk, then frees one page: room for a small file such as a lock file, and
    // none for anything larger.
    void fillLeavingOnePage() {
        QFile filler(QDir(path()).filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            return;
        }
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        filler.resize(qMax<qint64>(0, filler.size() / 4096 * 4096 - 4096));
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace skylark::testing
