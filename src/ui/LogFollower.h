#pragma once

#include <QObject>
#include <QTimer>

class QListView;

namespace skylark {
class StatusLog;
}

namespace skylark::ui {

// Keeps the log view's last line current and in sight. The line becomes current at once;
// the view is scrolled to it and redrawn at most every intervalMs, and only while it is
// shown, for each scroll lays the whole log out again and a round adds thousands of lines.
class LogFollower : public QObject {
public:
    static constexpr int kDefaultIntervalMs = 30;

    LogFollower(QListView& view, StatusLog& log, int intervalMs = kDefaultIntervalMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeCurrent(int row);
    void follow();

    QListView& m_view;
    StatusLog& m_log;
    QTimer m_pace;
    bool m_behind = false; // lines came while the view was hidden
};

} // namespace skylark::ui
