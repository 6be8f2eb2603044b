#include "common/Disks.h"
#include "ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace skylark::testing;
using namespace skylark::ui;
using namespace Qt::Literals::StringLiterals;

class TstSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondInstance_handsOverToTheFirst();
    void lockThatCannotBeTaken_runsUnguarded_data();
    void lockThatCannotBeTaken_runsUnguarded();
    void secondProgram_exitsAndLeavesTheFirstRunning();
    void squatters_neverKeepTheProgramFromStarting();
};

void TstSingleInstance::secondInstance_handsOverToTheFirst() {
    QTemporaryDir dir;
    QTemporaryDir runtime;
    SingleInstance first(dir.path(), runtime.path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.socketPath().startsWith(runtime.path()));
    QSignalSpy asked(&first, &SingleInstance::activationRequested);
    SingleInstance second(dir.path(), runtime.path());
    QCOMPARE(second.claim(), SingleInstance::Claim::RunningElsewhere);
    QVERIFY(second.handOver());
    QVERIFY(asked.wait(5000));
    // Another directory is another program's.
    QTemporaryDir other;
    QCOMPARE(SingleInstance(other.path(), runtime.path()).claim(), SingleInstance::Claim::First);
}

void TstSingleInstance::lockThatCannotBeTaken_runsUnguarded_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("the lock file is a folder") << u"folder"_s;
    QTest::newRow("the data directory is read-only") << u"read-only"_s;
}

void TstSingleInstance::lockThatCannotBeTaken_runsUnguarded() {
    QFETCH(QString, kind);
    QTemporaryDir runtime;
    QTemporaryDir plain;
    SmallDisk disk(256);
    QString directory = plain.path();
    if (kind == u"folder") {
        QVERIFY(QDir(directory).mkdir(u"skylark.lock"_s));
    } else {
        if (!disk.mounted() || !disk.remountReadOnly()) {
            QSKIP("needs a tmpfs mount");
        }
        directory = disk.path();
    }
    SingleInstance instance(directory, runtime.path());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(instance.claim(), SingleInstance::Claim::Unguarded);
    QVERIFY(clock.elapsed() < 2000); // said at once, not after a wait
    QVERIFY2(instance.problem().contains(kind == u"folder" ? u"不是普通文件"_s
                                                           : u"Read-only file system"_s),
             qPrintable(instance.problem()));
}

void TstSingleInstance::secondProgram_exitsAndLeavesTheFirstRunning() {
    QTemporaryDir dir;
    const QStringList arguments{u"--data-dir"_s, dir.path(), u"--demo"_s};
    QProcess first;
    first.start(QStringLiteral(SKYLARK_PATH), arguments);
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(dir.path()).filePath(u"skylark.lock"_s)), 20000);
    QProcess second;
    second.start(QStringLiteral(SKYLARK_PATH), arguments);
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

// Another user listening where the socket used to be named, or owning the folder where ours
// would be made: the program starts all the same, and says why when it runs unguarded.
void TstSingleInstance::squatters_neverKeepTheProgramFromStarting() {
    QTemporaryDir dir;
    QTemporaryDir tmp;
    const QString canonical = QDir(dir.path()).canonicalPath();
    QLocalServer oldName;
    QVERIFY(oldName.listen(
        u"skylark-"_s +
        QString::fromLatin1(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1)
                                .toHex()
                                .left(16))));
    if (runsAsRoot()) {
        const QString squatted = tmp.filePath(u"skylark-%1"_s.arg(::geteuid()));
        QVERIFY(QDir().mkdir(squatted));
        QCOMPARE(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"XDG_RUNTIME_DIR"_s);
    environment.insert(u"TMPDIR"_s, tmp.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(SKYLARK_PATH), {u"--data-dir"_s, dir.path(), u"--demo"_s});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(dir.path()).filePath(u"skylark.lock"_s)), 20000);
    if (runsAsRoot()) {
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += program.readAllStandardError()).contains("不是本用户的文件夹") ||
                program.state() != QProcess::Running,
            20000);
    }
    QVERIFY(!oldName.hasPendingConnections());
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
}

QTEST_MAIN(TstSingleInstance)
#include "tst_singleinstance.moc"
