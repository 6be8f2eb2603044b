#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace skylark::testing {

// The file's bytes, empty when it cannot be read.
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file in place, the way another program would.
inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Makes something other than a regular file at the path: "fifo" (a FIFO no one writes),
// "device" (a character device like the null device; needs root), "device link" (a symbolic
// link to /dev/zero) or "folder". False when it cannot be made here.
inline bool makeSpecialFile(const QString& path, const QString& kind) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == u"fifo") {
        return ::mkfifo(name.constData(), 0600) == 0;
    }
    if (kind == u"device") {
        return ::geteuid() == 0 && ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    }
    if (kind == u"device link") {
        return QFile::link(QStringLiteral("/dev/zero"), path);
    }
    return QDir().mkdir(path);
}

} // namespace skylark::testing
