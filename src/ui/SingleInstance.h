#pragma once

#include "app/UserSocket.h"

#include <QObject>
#include <QString>

#include <memory>

namespace skylark {
class FileLock;
}

namespace skylark::ui {

// One desktop program per data directory, since two would write the same route file: the
// first holds the directory's lock file "skylark.lock" and listens on a local socket named
// after the directory, in a folder only its user may enter; a later one finds the lock
// taken and asks the first, through that socket, to bring its main window forward.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        First,            // the lock is ours and others can reach us
        RunningElsewhere, // another program holds the lock: hand over to it
        Unguarded,        // neither: the program runs alone, problem() says why
    };

    // runtimeDirectory: where the socket lives; the user's own folder unless a test says.
    explicit SingleInstance(const QString& dataDirectory, QString runtimeDirectory = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    Claim claim();
    // Why the claim was not First, for the user.
    QString problem() const { return m_problem; }
    // Asks the first program to show its window; false, with problem(), when it could not
    // be reached.
    bool handOver(int timeoutMs = 5000);

    // Where the socket is; empty when the user has no folder for it.
    QString socketPath();

Q_SIGNALS:
    // Another program was started on the same directory.
    void activationRequested();

private:
    QString runtimeDirectory(QString* reason = nullptr);

    QString m_directory;
    QString m_runtimeDirectory;
    QString m_problem;
    std::unique_ptr<FileLock> m_lock;
    UserSocketServer m_server;
};

} // namespace skylark::ui
