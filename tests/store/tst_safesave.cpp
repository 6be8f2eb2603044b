#include "common/Disks.h"
#include "common/Files.h"
#include "store/FileLock.h"
#include "store/KeyFile.h"
#include "store/ProfileFile.h"
#include "store/ProgramDirectory.h"
#include "store/SafeSave.h"

#include <QElapsedTimer>

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(skylark::FilePrivacy)

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
    void lockFailure_isToldApartAtOnce_data();
    void lockFailure_isToldApartAtOnce();
    void nonRegularTarget_isNeverReplaced_data();
    void nonRegularTarget_isNeverReplaced();
    void symbolicLink_isFollowedToItsTarget();
    void nonRegularFile_isNeverReadOrWaitedOn_data();
    void nonRegularFile_isNeverReadOrWaitedOn();
    void fileOverTheSizeLimit_isNotRead();
    void newFiles_areTheOwnersAlone_andOldOnesKeepTheirMode();
    void secretsFile_isTheOwnersAloneFromTheFirstByte_data();
    void secretsFile_isTheOwnersAloneFromTheFirstByte();
    void secretsFile_isNeverWrittenThroughALinkToAnotherUsersFile();
    void keyFile_refusesASaveOverItsLimit_andCanBeMended();
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

void TstSafeSave::lockFailure_isToldApartAtOnce_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("heldElsewhere");
    QTest::addColumn<QString>("said");
    QTest::newRow("held by another holder") << u"held"_s << true << u"另一个程序"_s;
    QTest::newRow("the lock file is a folder") << u"folder"_s << false << u"不是普通文件"_s;
    QTest::newRow("a read-only folder") << u"read-only"_s << false << u"Read-only file system"_s;
    QTest::newRow("a full disk") << u"full"_s << false << u"No space left on device"_s;
}

// A lock that will never come free is said at once, with the system's reason, and never
// blamed on another program.
void TstSafeSave::lockFailure_isToldApartAtOnce() {
    QFETCH(QString, kind);
    QFETCH(bool, heldElsewhere);
    QFETCH(QString, said);
    SmallDisk disk(256);
    if (!disk.mounted()) {
        QSKIP("cannot mount a tmpfs here (needs root)");
    }
    const QString path = QDir(disk.path()).filePath(u"DATA.dat"_s);
    writeBytes(path, kOld);
    std::unique_ptr<FileLock> holder;
    if (kind == u"held") {
        holder = std::make_unique<FileLock>(path);
    } else if (kind == u"folder") {
        QVERIFY(QDir(disk.path()).mkdir(u"DATA.dat.lock"_s));
    } else if (kind == u"read-only") {
        QVERIFY(disk.remountReadOnly());
    } else {
        disk.fillLeavingOnePage();
        writeBytes(QDir(disk.path()).filePath(u"last page"_s), QByteArray(4096, 'f'));
    }
    QElapsedTimer clock;
    clock.start();
    const FileLock lock(path, heldElsewhere ? 50 : FileLock::kDefaultTimeoutMs);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!lock.locked());
    QCOMPARE(lock.heldElsewhere(), heldElsewhere);
    QVERIFY2(lock.reason().contains(said), qPrintable(lock.reason()));
    holder.reset();
    if (!heldElsewhere) {
        const WriteResult written = ProfileFile(path).writeProfileString(u"2", u"price", u"500");
        QVERIFY2(written.message().contains(said), qPrintable(written.message()));
    }
    QCOMPARE(readBytes(path), kOld);
}

void TstSafeSave::nonRegularTarget_isNeverReplaced_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO") << u"fifo"_s;
    QTest::newRow("a character device") << u"device"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

void TstSafeSave::nonRegularTarget_isNeverReplaced() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"export.csv"_s);
    const QByteArray name = QFile::encodeName(path);
    if (!makeSpecialFile(path, kind)) {
        QSKIP("cannot make it here (a device node needs root)");
    }
    struct stat before {};
    QCOMPARE(::lstat(name.constData(), &before), 0);
    const WriteResult result = saveFileAtomically(path, "route_id\r\n");
    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(u"不是普通文件"_s), qPrintable(result.message()));
    struct stat after {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(leftovers(dir.path()), QStringList());
}

void TstSafeSave::symbolicLink_isFollowedToItsTarget() {
    QTemporaryDir dir;
    const QString target = dir.filePath(u"kept/export.csv"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"kept"_s));
    writeBytes(target, "old");
    const QString link = dir.filePath(u"export.csv"_s);
    QVERIFY(QFile::link(target, link));
    QVERIFY(saveFileAtomically(link, "new").ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), "new"_ba);
    // A link to nothing yet makes its target.
    const QString dangling = dir.filePath(u"dangling.csv"_s);
    QVERIFY(QFile::link(dir.filePath(u"kept/later.csv"_s), dangling));
    QVERIFY(saveFileAtomically(dangling, "later").ok());
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(readBytes(dir.filePath(u"kept/later.csv"_s)), "later"_ba);
}

void TstSafeSave::nonRegularFile_isNeverReadOrWaitedOn_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO no one writes") << u"fifo"_s;
    QTest::newRow("a character device") << u"device"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

void TstSafeSave::nonRegularFile_isNeverReadOrWaitedOn() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath(u"00.png"_s);
    if (kind == u"device") {
        path = u"/dev/zero"_s;
    } else {
        QVERIFY(makeSpecialFile(path, kind));
    }
    QByteArray bytes = "before";
    const QString reason = readWholeFile(path, bytes);
    QVERIFY2(reason.contains(u"不是普通文件"_s), qPrintable(reason));
    QCOMPARE(bytes, "before"_ba);
}

void TstSafeSave::fileOverTheSizeLimit_isNotRead() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big.png"_s);
    writeBytes(path, QByteArray(1001, 'x'));
    QByteArray bytes;
    QVERIFY(readWholeFile(path, bytes, 1001).isEmpty());
    QCOMPARE(bytes.size(), 1001);
    bytes.clear();
    QVERIFY(readWholeFile(path, bytes, 1000).contains(u"文件太大"_s));
    QVERIFY(bytes.isEmpty());
}

void TstSafeSave::newFiles_areTheOwnersAlone_andOldOnesKeepTheirMode() {
    QTemporaryDir dir;
    const QString created = dir.filePath(u"config.ini"_s);
    QVERIFY(saveFileAtomically(created, "[weixin]\r\n").ok());
    QCOMPARE(QFileInfo(created).permissions() & 0x0777, QFile::Permissions(0x0600));
    const QString kept = dir.filePath(u"DATA.dat"_s);
    writeBytes(kept, kOld);
    QVERIFY(QFile::setPermissions(kept, QFile::Permissions(0x6644)));
    QVERIFY(saveFileAtomically(kept, "new").ok());
    QCOMPARE(QFileInfo(kept).permissions() & 0x0777, QFile::Permissions(0x0644));
    const QString folder = dir.filePath(u"made/data"_s);
    QVERIFY(makePrivateDirectory(folder));
    QCOMPARE(QFileInfo(folder).permissions() & 0x0777, QFile::Permissions(0x0700));
    QCOMPARE(QFileInfo(dir.filePath(u"made"_s)).permissions() & 0x0777, QFile::Permissions(0x0700));
}

QTEST_GUILESS_MAIN(TstSafeSave)
void TstSafeSave::secretsFile_isTheOwnersAloneFromTheFirstByte_data() {
    QTest::addColumn<FilePrivacy>("privacy");
    QTest::addColumn<uint>("mode");     // of the file before the save
    QTest::addColumn<uint>("expected"); // of the temporary and of the file after it
    QTest::newRow("secrets in a file left open to all") << FilePrivacy::Secrets << 0644u << 0600u;
    QTest::newRow("secrets in a file left open to the group")
        << FilePrivacy::Secrets << 0660u << 0600u;
    QTest::newRow("another file keeps its mode") << FilePrivacy::KeepMode << 0644u << 0644u;
}

// No other account can read a secret from the temporary nor from the file, at any moment.
void TstSafeSave::secretsFile_isTheOwnersAloneFromTheFirstByte() {
    QFETCH(FilePrivacy, privacy);
    QFETCH(uint, mode);
    QFETCH(uint, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"alerts.ini"_s);
    writeBytes(path, "password=old\n");
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
    SaveCalls calls = SaveCalls::system();
    uint temporaryMode = 0;
    calls.rename = [&](const char* from, const char* to) {
        struct stat info {};
        ::stat(from, &info);
        temporaryMode = info.st_mode & 0777;
        return ::rename(from, to);
    };
    QVERIFY(saveFileAtomically(path, "password=new\n", calls, privacy));
    QCOMPARE(temporaryMode, expected);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(uint(info.st_mode & 0777), expected);
}

// A link to a file the user does not own is refused and the file left as it was; a link
// to a file of the user's own is followed as before.
void TstSafeSave::secretsFile_isNeverWrittenThroughALinkToAnotherUsersFile() {
    QTemporaryDir dir;
    const QString own = dir.filePath(u"own.ini"_s);
    writeBytes(own, "a=1\n");
    QVERIFY(QFile::link(own, dir.filePath(u"alerts.ini"_s)));
    QVERIFY(saveFileAtomically(dir.filePath(u"alerts.ini"_s), "a=2\n", SaveCalls::system(),
                               FilePrivacy::Secrets));
    QCOMPARE(readBytes(own), QByteArray("a=2\n"));
    if (::geteuid() != 0) {
        QSKIP("only root can give a file to another account here");
    }
    const QString theirs = dir.filePath(u"theirs.ini"_s);
    writeBytes(theirs, "b=1\n");
    QCOMPARE(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    QVERIFY(QFile::link(theirs, dir.filePath(u"link.ini"_s)));
    const WriteResult refused = saveFileAtomically(dir.filePath(u"link.ini"_s), "b=2\n",
                                                   SaveCalls::system(), FilePrivacy::Secrets);
    QVERIFY(!refused);
    QVERIFY2(refused.message().contains(u"其他用户"_s), qPrintable(refused.message()));
    QCOMPARE(readBytes(theirs), QByteArray("b=1\n"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(theirs).constData(), &info), 0);
    QCOMPARE(info.st_uid, 65534u);
}

// A change that would pass the limit is refused and says so; a file already over it can
// still have a value cleared, which mends it.
void TstSafeSave::keyFile_refusesASaveOverItsLimit_andCanBeMended() {
    QTemporaryDir dir;
    KeyFile file(dir.filePath(u"alerts.ini"_s));
    const QString big(600 * 1024, u'x');
    QVERIFY(file.change([&](KeyFile::Sections& sections) {
        sections[u"a"_s][u"one"_s] = big;
        return WriteResult::success();
    }));
    const WriteResult refused = file.change([&](KeyFile::Sections& sections) {
        sections[u"a"_s][u"two"_s] = big;
        return WriteResult::success();
    });
    QVERIFY(!refused);
    QVERIFY2(refused.message().contains(u"上限"_s), qPrintable(refused.message()));
    // A file grown past the limit by hand cannot be read, but can be mended.
    writeBytes(file.path(), "[a]\none=" + QByteArray(700 * 1024, 'x') +
                                "\ntwo=" + QByteArray(700 * 1024, 'y') + "\n");
    KeyFile::Sections sections;
    QVERIFY(!file.read(sections).isEmpty());
    QVERIFY(file.change([](KeyFile::Sections& all) {
        all[u"a"_s].remove(u"two"_s);
        return WriteResult::success();
    }));
    QVERIFY(file.read(sections).isEmpty());
    QCOMPARE(sections[u"a"_s][u"one"_s].size(), 700 * 1024);
}

#include "tst_safesave.moc"
