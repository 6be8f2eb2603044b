#include "CrashRoutes.h"
#include "common/Files.h"
#include "text/Gbk.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace crashroutes;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kKills = 200;

// The bytes the route file must hold for a window, formatted by hand here so that the
// test does not trust the code it tests.
QByteArray expectedBytes(Window window) {
    QString text;
    for (qint64 id = window.first; id <= window.last; ++id) {
        const skylark::Route route = routeFor(id);
        text += u"["_s + route.routeId + u"]\r\ndepDate="_s + route.depDate +
                u"\r\ndepCityName="_s + route.depCityName + u"\r\narrCityName="_s +
                route.arrCityName + u"\r\nprice="_s + route.price + u"\r\ntype="_s + route.type +
                u"\r\n"_s;
    }
    return *skylark::encodeGbk(text);
}

Window lastReportedWindow(const QByteArray& output) {
    Window window;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3) {
            window = {words[1].toLongLong(), words[2].toLongLong()};
        }
    }
    return window;
}

} // namespace

class TstProfileCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedWriter_leavesTheStateBeforeOrAfterItsLastWrite();
};

void TstProfileCrash::killedWriter_leavesTheStateBeforeOrAfterItsLastWrite() {
    QTemporaryDir dir;
    const QString routeFile = dir.filePath(u"DATA.dat"_s);
    int tornWrites = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess writer;
        writer.start(QStringLiteral(ROUTEWRITER_PATH), {dir.path()});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QVERIFY(writer.waitForReadyRead(30000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(25)));
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        const Window reported = lastReportedWindow(writer.readAllStandardOutput());
        const QByteArray bytes = readBytes(routeFile);
        const bool before = bytes == expectedBytes(reported);
        const bool after = bytes == expectedBytes(nextWindow(reported));
        if (!before && !after) {
            ++tornWrites;
            qWarning("kill %d: the file holds neither window [%lld, %lld] nor the next one:\n%s",
                     kill, reported.first, reported.last, bytes.constData());
        }
    }
    QCOMPARE(tornWrites, 0);
}

QTEST_GUILESS_MAIN(TstProfileCrash)
#include "tst_profilecrash.moc"
