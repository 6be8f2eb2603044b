#include "ui/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark::ui;
using namespace Qt::Literals::StringLiterals;

class TstSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondInstance_handsOverToTheFirst();
    void secondProgram_exitsAndLeavesTheFirstRunning();
};

void TstSingleInstance::secondInstance_handsOverToTheFirst() {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    QVERIFY(first.claim());
    QSignalSpy asked(&first, &SingleInstance::activationRequested);
    SingleInstance second(dir.path());
    QVERIFY(!second.claim());
    QVERIFY(second.handOver());
    QVERIFY(asked.wait(5000));
    // Another directory is another program's.
    QTemporaryDir other;
    QVERIFY(SingleInstance(other.path()).claim());
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

QTEST_MAIN(TstSingleInstance)
#include "tst_singleinstance.moc"
