#include "ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString programDirectory(const QString& dataDirOption) {
    const QString directory =
        resolveProgramDirectory(dataDirOption, QCoreApplication::applicationDirPath(),
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QDir().mkpath(directory);
    return directory;
}

} // namespace skylark
