#include "common/Disks.h"
#include "common/Files.h"
#include "store/FileLock.h"
#include "store/ProfileFile.h"
#include "store/SafeSave.h"

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kOld = "[1]\r\ndepCityName=成都\r\n";

// The save's system calls with one of them failing the way a full or broken disk does.
SaveCalls failing(const QString& step, int error) {
    SaveCalls calls = SaveCalls::system();
    if (step == u"write") {
        calls.write = [error](int, const char*, unsigned long) -> long {
            errno = error;
            return -1;
        };
    } else if (step == u"short write") {
        // Half of the bytes, then no more room: a write that returns 0.
        calls.write = [](int fd, const char* data, unsigned long size) -> long {
            static bool first = true;
            if (first && size > 1) {
                first = false;
                return long(::write(fd, data, size / 2));
            }
            return 0;
        };
    } else if (step == u"fsync") {
        calls.fsync = [error](int) {
            errno = error;
            return -1;
        };
    } else if (step == u"rename") {
        calls.rename = [error](const char*, const char*) {
            errno = error;
            return -1;
        };
    }
    return calls;
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({u"*.saving-*"_s}, QDir::Files | QDir::Hidden);
}

} // namespace

class TstSafeSave : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failedStep_leavesTheOldFile_data();
    void failedStep_leavesTheOldFile();
    void fullDisk_failsAndLeavesTheOldFile();
    void unreadableFile_isNeverReplaced_data();
    void unreadableFile_isNeverReplaced();
    void leftoverTemporaries_areRemovedAtTheNextChange();
    void staleLock_isTakenOver();
};

void TstSafeSave::failedStep_leavesTheOldFile_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("error");
    QTest::newRow("write: disk full") << u"write"_s << ENOSPC;
    QTest::newRow("write: half, then nothing") << u"short write"_s << ENOSPC;
    QTest::newRow("sync: I/O error") << u"fsync"_s << EIO;
    QTest::newRow("rename: read-only") << u"rename"_s << EROFS;
}

void TstSafeSave::failedStep_leavesTheOldFile() {
    QFETCH(QString, step);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    writeBytes(path, kOld);
    const WriteResult result =
        saveFileAtomically(path, QByteArray(100000, 'n'), failing(step, error));
    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(path), qPrintable(result.message()));
    QVERIFY2(result.message().contains(QString::fromLocal8Bit(std::strerror(error))),
             qPrintable(result.message()));
    QCOMPARE(readBytes(path), kOld);
    QCOMPARE(leftovers(dir.path()), QStringList());
    QVERIFY(saveFileAtomically(path, "new").ok());
    QCOMPARE(readBytes(path), QByteArray("new"));
}

void TstSafeSave::fullDisk_failsAndLeavesTheOldFile() {
    SmallDisk disk(64);
    if (!disk.mounted()) {
        QSKIP("cannot mount a tmpfs here (needs root)");
    }
    ProfileFile file(QDir(disk.path()).filePath(u"DATA.dat"_s));
    QVERIFY(file.writeProfileString(u"1", u"depCityName", QString(3000, u'成')));
    const QByteArray before = readBytes(file.path());
    disk.fillLeavingOnePage();
    const WriteResult result = file.writeProfileString(u"2", u"depCityName", u"北京");
    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(file.path()), qPrintable(result.message()));
    QCOMPARE(readBytes(file.path()), before);
    QCOMPARE(leftovers(disk.path()), QStringList());
    QCOMPARE(file.readProfileString(u"1", u"depCityName"), QString(3000, u'成'));
}

void TstSafeSave::unreadableFile_isNeverReplaced_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder in its place") << u"folder"_s;
    QTest::newRow("no read permission") << u"permission"_s;
}

void TstSafeSave::unreadableFile_isNeverReplaced() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkdir(u"DATA.dat"_s));
        writeBytes(path + u"/inside"_s, kOld);
    } else {
        if (runsAsRoot()) {
            QSKIP("root reads every file; the command-line test covers this as another user");
        }
        writeBytes(path, kOld);
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    }
    ProfileFile file(path);
    QCOMPARE(file.profileSectionNames(), QStringList());
    QVERIFY(!file.readError().isEmpty());
    const WriteResult written = file.writeProfileString(u"2", u"price", u"500");
    QVERIFY(!written.ok());
    QVERIFY2(written.message().contains(path), qPrintable(written.message()));
    QVERIFY(!file.deleteProfileSection(u"1").ok());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(readBytes(kind == u"folder" ? path + u"/inside"_s : path), kOld);
}

void TstSafeSave::leftoverTemporaries_areRemovedAtTheNextChange() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    writeBytes(path + u".saving-Ab12Cd"_s, "torn");
    writeBytes(path + u".saving-notours"_s, "user");
    writeBytes(path + u".backup"_s, "user");
    ProfileFile file(path);
    QVERIFY(file.writeProfileString(u"1", u"price", u"500"));
    QVERIFY(!QFile::exists(path + u".saving-Ab12Cd"_s));
    QVERIFY(QFile::exists(path + u".saving-notours"_s));
    QVERIFY(QFile::exists(path + u".backup"_s));
}

void TstSafeSave::staleLock_isTakenOver() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    // The lock of a process that no longer runs: a pid above any the system hands out.
    writeBytes(path + u".lock"_s,
               "99999999\nskylark\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    ProfileFile file(path);
    QVERIFY(file.writeProfileString(u"1", u"price", u"500"));
    QCOMPARE(file.readProfileString(u"1", u"price"), u"500"_s);
    // A live holder keeps others out until it lets go.
    {
        const FileLock held(path);
        QVERIFY(held.locked());
        const FileLock second(path, 50);
        QVERIFY(!second.locked());
        QVERIFY(!second.reason().isEmpty());
    }
    QVERIFY(FileLock(path, 0).locked());
}

QTEST_GUILESS_MAIN(TstSafeSave)
#include "tst_safesave.moc"
