#pragma once

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

namespace skylark::testing {

// A real SMTP server (Python's aiosmtpd, smtp_server.py beside this file) on 127.0.0.1,
// optionally requiring STARTTLS with a certificate made for the test and a login. Each
// message it receives comes back with its envelope and its decoded subject and body.
class SmtpServer {
public:
    struct Options {
        bool startTls = false;
        QString user;
        QString password;
    };

    SmtpServer()
        : SmtpServer(Options{}) {}
    explicit SmtpServer(const Options& options) {
        QStringList arguments{QStringLiteral(SKYLARK_TEST_COMMON_DIR "/smtp_server.py")};
        if (options.startTls) {
            if (!makeCertificate()) {
                return;
            }
            arguments << QStringLiteral("--starttls") << caFile()
                      << m_dir.filePath(QStringLiteral("key.pem"));
        }
        if (!options.user.isEmpty()) {
            arguments << QStringLiteral("--auth") << options.user << options.password;
        }
        m_process.setStandardErrorFile(QProcess::nullDevice()); // its tracebacks of refused TLS
        m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
        // Python takes its time to start on a busy machine.
        while (m_port == 0 && (m_process.canReadLine() || m_process.waitForReadyRead(60000))) {
            if (!m_process.canReadLine()) {
                continue;
            }
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("PORT ")) {
                m_port = line.mid(5).toUShort();
            }
        }
    }
    ~SmtpServer() {
        m_process.kill();
        m_process.waitForFinished();
    }

    bool listening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // The certificate the server shows; it is its own authority.
    QString caFile() const { return m_dir.filePath(QStringLiteral("cert.pem")); }

    // Every message received so far.
    const QList<QJsonObject>& messages() {
        while (m_process.canReadLine()) {
            m_messages.append(QJsonDocument::fromJson(m_process.readLine()).object());
        }
        return m_messages;
    }

private:
    bool makeCertificate() {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), m_dir.filePath(QStringLiteral("key.pem")),
                       QStringLiteral("-out"), caFile(), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1")});
        return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QList<QJsonObject> m_messages;
};

} // namespace skylark::testing
