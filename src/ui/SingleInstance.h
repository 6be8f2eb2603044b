#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

namespace skylark {
class FileLock;
}

namespace skylark::ui {

// One desktop program per data directory, since two would write the same route file: the
// first holds the directory's lock file "skylark.lock" and listens on a local socket named
// after the directory; a later one finds the lock taken and asks the first, through that
// socket, to bring its main window forward.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first program on the directory; it then listens for others.
    bool claim();
    // Asks the first program to show its window; false when it could not be reached.
    bool handOver(int timeoutMs = 5000);

    static QString socketNameFor(const QString& dataDirectory);

Q_SIGNALS:
    // Another program was started on the same directory.
    void activationRequested();

private:
    QString m_directory;
    std::unique_ptr<FileLock> m_lock;
    QLocalServer m_server;
};

} // namespace skylark::ui
