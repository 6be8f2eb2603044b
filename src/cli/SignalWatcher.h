#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace skylark {

// Turns SIGINT and SIGTERM into a Qt signal on the thread's event loop.
class SignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void interrupted();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace skylark
