#pragma once

// A minimal HTTP server on 127.0.0.1 over raw sockets, on a thread of its own: it reads
// one request at a time up to its blank line, hands the request line to the answer
// function and sends what that returns, then closes the connection. Nothing of it comes
// from the program, so a benchmark measures the program and not its test servers.

#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace skylark::bench {

// A socket listening on a free port of 127.0.0.1, with a backlog of 64.
inline int listenOnLoopback(quint16& port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(socket, 64);
    socklen_t length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return socket;
}

class LoopbackServer {
public:
    // Takes the request line ("GET /path?query HTTP/1.1") and returns the whole response.
    using Answer = std::function<std::string(const std::string& requestLine)>;

    explicit LoopbackServer(Answer answer)
        : m_answer(std::move(answer)) {
        m_socket = listenOnLoopback(m_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        m_stopping = true;
        ::shutdown(m_socket, SHUT_RDWR);
        ::close(m_socket);
        m_thread.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // A complete response of status 200 with a Content-Length.
    static std::string ok(const std::string& body, const char* type = "text/plain") {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
               "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void serve() {
        while (!m_stopping) {
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, std::size_t(got));
            }
            const std::string response = m_answer(request.substr(0, request.find("\r\n")));
            ::send(client, response.data(), response.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }

    Answer m_answer;
    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

} // namespace skylark::bench
