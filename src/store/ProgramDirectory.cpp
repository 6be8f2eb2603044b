#include "ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace skylark {
namespace {

QString withoutTrailingSeparator(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

// An installed program's folder, shared by all users: never a data folder, even for root.
bool isSystemFolder(const QString& directory) {
    const QString path = withoutTrailingSeparator(directory);
    return path.startsWith(QStringLiteral("/usr/")) || path == u"/bin" || path == u"/sbin";
}

} // namespace

bool makePrivateDirectory(const QString& directory) {
    const QFileInfo existing(directory);
    if (existing.exists()) {
        return existing.isDir();
    }
    const QString parent = existing.absolutePath();
    if (parent != existing.absoluteFilePath() && !QFileInfo(parent).exists() &&
        !makePrivateDirectory(parent)) {
        return false;
    }
    return ::mkdir(QFile::encodeName(directory).constData(), 0700) == 0 ||
           QFileInfo(directory).isDir();
}

QString resolveProgramDirectory(const QString& dataDirOption, const QString& executableDirectory,
                                const QString& perUserDirectory) {
    if (!dataDirOption.isEmpty()) {
        return withoutTrailingSeparator(dataDirOption);
    }
    const QFileInfo executable(executableDirectory);
    if (!executableDirectory.isEmpty() && executable.isDir() && executable.isWritable() &&
        !isSystemFolder(executableDirectory)) {
        return withoutTrailingSeparator(executableDirectory);
    }
    return withoutTrailingSeparator(perUserDirectory);
}

QString perUserDataDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/skylark");
}

QString programDirectory(const QString& dataDirOption) {
    const QString directory = resolveProgramDirectory(
        dataDirOption, QCoreApplication::applicationDirPath(), perUserDataDirectory());
    makePrivateDirectory(directory);
    return directory;
}

} // namespace skylark
