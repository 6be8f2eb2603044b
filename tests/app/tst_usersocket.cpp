#include "app/UserSocket.h"
#include "common/Disks.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

// A raw client socket connected to the path; -1 when it cannot connect.
int connectTo(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when the server closed the connection: a read gives end of file at once.
bool closedByServer(int fd) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char byte;
    return ::read(fd, &byte, 1) == 0;
}

// Sends the line from a process of the user "nobody".
void sendAsNobody(const QString& path, const QByteArray& line) {
    QProcess nobody;
    nobody.start(u"setpriv"_s, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                u"/usr/bin/python3"_s, u"-c"_s,
                                u"import socket, sys\n"
                                "s = socket.socket(socket.AF_UNIX)\n"
                                "s.connect(sys.argv[1])\n"
                                "s.sendall(sys.argv[2].encode())\n"_s,
                                path, QString::fromUtf8(line)});
    QVERIFY(nobody.waitForFinished(10000));
    QVERIFY2(nobody.exitCode() == 0, nobody.readAllStandardError().constData());
}

QString socketIn(const QTemporaryDir& dir) {
    return dir.filePath(u"socket"_s);
}

} // namespace

class TstUserSocket : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runtimeDirectory_isTheUsersOwn_data();
    void runtimeDirectory_isTheUsersOwn();
    void runtimeDirectory_ofAnotherUser_isRefused();
    void lineOfTheSameUser_isReceived();
    void peerOfAnotherUser_isNotHeard();
    void idleConnections_areClosed_andTheServerStaysUp();
    void failedAccepts_pauseListeningInsteadOfEndingIt();
};

void TstUserSocket::runtimeDirectory_isTheUsersOwn_data() {
    QTest::addColumn<bool>("xdgUsable");
    QTest::newRow("the session's runtime folder when it is private") << true;
    QTest::newRow("a private folder in the temporary folder without one") << false;
}

void TstUserSocket::runtimeDirectory_isTheUsersOwn() {
    QFETCH(bool, xdgUsable);
    QTemporaryDir xdg;
    QTemporaryDir tmp;
    QFile::setPermissions(xdg.path(), xdgUsable
                                          ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          : QFile::Permissions(0x7777));
    if (!xdgUsable && runsAsRoot()) {
        QCOMPARE(::chown(QFile::encodeName(xdg.path()).constData(), 65534, 65534), 0);
    }
    qputenv("XDG_RUNTIME_DIR", xdgUsable || runsAsRoot() ? xdg.path().toUtf8() : QByteArray());
    qputenv("TMPDIR", tmp.path().toUtf8());
    const QString runtime = userRuntimeDirectory();
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("TMPDIR");
    QCOMPARE(runtime, xdgUsable ? xdg.path() : tmp.filePath(u"skylark-%1"_s.arg(::geteuid())));
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(runtime).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0700u);
    QCOMPARE(info.st_uid, ::geteuid());
}

void TstUserSocket::runtimeDirectory_ofAnotherUser_isRefused() {
    if (!runsAsRoot()) {
        QSKIP("making a folder of another user needs root");
    }
    QTemporaryDir tmp;
    const QString squatted = tmp.filePath(u"skylark-%1"_s.arg(::geteuid()));
    QVERIFY(QDir().mkdir(squatted));
    QCOMPARE(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", tmp.path().toUtf8());
    QString reason;
    const QString runtime = userRuntimeDirectory(&reason);
    qunsetenv("TMPDIR");
    QVERIFY(runtime.isEmpty());
    QVERIFY2(reason.contains(squatted), qPrintable(reason));
}

void TstUserSocket::lineOfTheSameUser_isReceived() {
    QTemporaryDir dir;
    UserSocketServer server;
    QCOMPARE(server.listen(socketIn(dir)), QString());
    QSignalSpy lines(&server, &UserSocketServer::lineReceived);
    QCOMPARE(sendToUserSocket(socketIn(dir), "show", 5000), QString());
    QVERIFY(lines.wait(5000));
    QCOMPARE(lines.first().first().toByteArray(), "show"_ba);
    // Nothing listens once the server is gone: the sender says so instead of waiting.
    UserSocketServer().listen(dir.filePath(u"other"_s));
    QVERIFY(!sendToUserSocket(dir.filePath(u"other"_s), "show", 100).isEmpty());
}

void TstUserSocket::peerOfAnotherUser_isNotHeard() {
    if (!runsAsRoot()) {
        QSKIP("a second user needs root");
    }
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));
    UserSocketServer server;
    QCOMPARE(server.listen(socketIn(dir)), QString());
    ::chmod(QFile::encodeName(socketIn(dir)).constData(), 0666);
    QSignalSpy lines(&server, &UserSocketServer::lineReceived);
    sendAsNobody(socketIn(dir), "nobody\n");
    QCOMPARE(sendToUserSocket(socketIn(dir), "mine", 5000), QString());
    QVERIFY(lines.wait(5000));
    QCoreApplication::processEvents(); // room for a second line that must not come
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().first().toByteArray(), "mine"_ba);
}

void TstUserSocket::idleConnections_areClosed_andTheServerStaysUp() {
    QTemporaryDir dir;
    UserSocketServer server;
    QCOMPARE(server.listen(socketIn(dir)), QString());
    QList<int> idle;
    for (int i = 0; i < 3 * UserSocketServer::kMaxConnections; ++i) {
        const int fd = connectTo(socketIn(dir));
        QVERIFY(fd >= 0);
        idle.append(fd);
        QCoreApplication::processEvents();
    }
    QVERIFY(server.connectionCount() <= UserSocketServer::kMaxConnections);
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, 5000);
    for (const int fd : idle) {
        QVERIFY(closedByServer(fd));
        ::close(fd);
    }
    QSignalSpy lines(&server, &UserSocketServer::lineReceived);
    QCOMPARE(sendToUserSocket(socketIn(dir), "show", 5000), QString());
    QVERIFY(lines.wait(5000));
}

// Out of descriptors, as a thousand idle peers would leave the program: the accepts fail,
// the server waits and takes the peer once descriptors are free again.
void TstUserSocket::failedAccepts_pauseListeningInsteadOfEndingIt() {
    QTemporaryDir dir;
    int failures = 0;
    UserSocketServer server(nullptr, [&failures](int fd) {
        if (failures < 3) {
            ++failures;
            errno = EMFILE;
            return -1;
        }
        return UserSocketServer::systemAccept(fd);
    });
    QCOMPARE(server.listen(socketIn(dir)), QString());
    QSignalSpy lines(&server, &UserSocketServer::lineReceived);
    QCOMPARE(sendToUserSocket(socketIn(dir), "show", 5000), QString());
    QVERIFY(lines.wait(5000));
    QCOMPARE(failures, 3);
    QVERIFY(server.isListening());
    QVERIFY(QFileInfo::exists(socketIn(dir)));
    QCOMPARE(sendToUserSocket(socketIn(dir), "show", 5000), QString());
    QVERIFY(lines.wait(5000));
}

QTEST_GUILESS_MAIN(TstUserSocket)
#include "tst_usersocket.moc"
