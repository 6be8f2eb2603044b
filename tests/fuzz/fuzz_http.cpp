// Serves any bytes as the raw answer of a server on 127.0.0.1 and fetches it: status
// lines, header and body handling, redirects, cookies. Every Location is pointed back at
// the same local server, so that no exchange ever leaves this machine.

#include "net/CookieStore.h"
#include "net/HttpFetch.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cstdint>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace skylark;

namespace {

class RawServer {
public:
    RawServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            __builtin_trap();
        }
        m_port = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }

    quint16 port() const { return m_port; }
    void setAnswer(QByteArray answer) {
        const std::lock_guard lock(m_mutex);
        m_answer = std::move(answer);
    }

private:
    void serve() {
        for (;;) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            timeval wait{1, 0};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, got);
            }
            QByteArray answer;
            {
                const std::lock_guard lock(m_mutex);
                answer = m_answer;
            }
            for (qsizetype sent = 0; sent < answer.size();) {
                const ssize_t put =
                    ::send(client, answer.constData() + sent, size_t(answer.size() - sent), MSG_NOSIGNAL);
                if (put <= 0) {
                    break;
                }
                sent += put;
            }
            ::close(client);
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::mutex m_mutex;
    QByteArray m_answer;
};

// Keeps a Location that is a plain local path; any other points at the local server.
QByteArray withLocalRedirects(const QByteArray& answer, quint16 port) {
    static const QRegularExpression location(
        QStringLiteral("^(location[ \t]*:)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    static const QRegularExpression localPath(QStringLiteral("^[ \t]*/[A-Za-z0-9_.?=&%/-]*\r?$"));
    const QString local = QStringLiteral("http://127.0.0.1:%1/elsewhere").arg(port);
    QString text = QString::fromLatin1(answer);
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = location.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).sliced(from, match.capturedStart() - from);
        const QString value = match.captured(2);
        out += match.captured(1) + (localPath.match(value).hasMatch() && !value.contains(u"//")
                                        ? value
                                        : QLatin1Char(' ') + local);
        from = match.capturedEnd();
    }
    out += QStringView(text).sliced(from);
    return out.toLatin1();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RawServer server;
    static HttpFetcher fetcher(std::make_shared<CookieStore>());
    server.setAnswer(
        withLocalRedirects(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                           server.port()));
    FetchRequest request;
    request.url = QStringLiteral("http://127.0.0.1:%1/calendar").arg(server.port());
    request.timeoutSeconds = 1;
    request.deadlineSeconds = 2;
    request.storeCookies = size % 2 == 0;
    request.userName = QStringLiteral("user");
    FetchResponse response;
    const QByteArray body = fetcher.httpFetch(request, &response);
    if (body.size() > 32 * 1024 * 1024) {
        __builtin_trap();
    }
    return 0;
}
