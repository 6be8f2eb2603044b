#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

namespace skylark::testing {

// A raw HTTP server on 127.0.0.1 that records every request's bytes exactly and answers
// with a script: the answer's bytes, sent at once, after a delay, one byte at a time,
// or never.
class ScriptedServer : public QObject {
public:
    struct Answer {
        QByteArray bytes;
        int delayMs = 0;    // before the first byte
        int trickleMs = -1; // >= 0: one byte every trickleMs after trickleFrom bytes
        qsizetype trickleFrom = 0;
        bool silent = false;    // never answers, keeps the connection open
        bool closeAfter = true; // closes the connection once all is sent
    };
    using Script = std::function<Answer(const QByteArray& request)>;

    explicit ScriptedServer(Script script = {})
        : m_script(std::move(script)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    static Answer ok(const QByteArray& body, const QByteArray& extraHeaders = {}) {
        return {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
                extraHeaders + "\r\n" + body};
    }

    void setScript(Script script) { m_script = std::move(script); }
    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path = QStringLiteral("/")) const {
        return QStringLiteral("http://127.0.0.1:") + QString::number(port()) + path;
    }
    const QList<QByteArray>& requests() const { return m_requests; }
    int answersSent() const { return m_answersSent; }
    int disconnections() const { return m_disconnections; }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (isComplete(*buffer)) {
                    m_requests.append(*buffer);
                    answer(socket, m_script ? m_script(*buffer) : ok("ok"));
                    buffer->clear();
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                ++m_disconnections;
                socket->deleteLater();
            });
        }
    }

    static bool isComplete(const QByteArray& request) {
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0) {
            return false;
        }
        const QByteArray head = request.left(end).toLower();
        const qsizetype at = head.indexOf("\r\ncontent-length:");
        if (at < 0) {
            return true;
        }
        const qsizetype lineEnd = head.indexOf("\r\n", at + 2);
        const qint64 length =
            head.mid(at + 17, lineEnd < 0 ? -1 : lineEnd - at - 17).trimmed().toLongLong();
        return request.size() >= end + 4 + length;
    }

    void answer(QTcpSocket* socket, Answer answer) {
        if (answer.silent) {
            return;
        }
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(answer.delayMs, this, [this, guarded, answer] {
            if (guarded) {
                send(guarded, answer, 0);
            }
        });
    }

    void send(QPointer<QTcpSocket> socket, const Answer& answer, qsizetype from) {
        if (!socket) {
            return;
        }
        if (answer.trickleMs < 0) {
            socket->write(answer.bytes);
            finishSending(socket, answer);
            return;
        }
        if (from < answer.trickleFrom) {
            socket->write(answer.bytes.left(answer.trickleFrom));
            from = answer.trickleFrom;
        }
        if (from >= answer.bytes.size()) {
            finishSending(socket, answer);
            return;
        }
        socket->write(answer.bytes.mid(from, 1));
        QTimer::singleShot(answer.trickleMs, this,
                           [this, socket, answer, from] { send(socket, answer, from + 1); });
    }

    void finishSending(QTcpSocket* socket, const Answer& answer) {
        ++m_answersSent;
        if (answer.closeAfter) {
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    Script m_script;
    QList<QByteArray> m_requests;
    int m_answersSent = 0;
    int m_disconnections = 0;
};

} // namespace skylark::testing
