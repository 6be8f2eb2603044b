#include "LogFollower.h"

#include "app/StatusLog.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>

namespace skylark::ui {

LogFollower::LogFollower(QListView& view, StatusLog& log, int intervalMs)
    : QObject(&view)
    , m_view(view)
    , m_log(log) {
    m_pace.setSingleShot(true);
    m_pace.setInterval(intervalMs);
    connect(&m_pace, &QTimer::timeout, this, &LogFollower::follow);
    connect(&log, &StatusLog::lineAppended, this, [this](int row, const QString&) {
        makeCurrent(row);
        if (!m_pace.isActive()) {
            m_pace.start();
        }
    });
    view.installEventFilter(this);
}

// Through the selection model with its signals held back: the view would otherwise lay
// the log out to redraw the old and the new current line.
void LogFollower::makeCurrent(int row) {
    QItemSelectionModel* selection = m_view.selectionModel();
    const QSignalBlocker quiet(selection);
    selection->setCurrentIndex(m_log.index(row), QItemSelectionModel::ClearAndSelect);
}

void LogFollower::follow() {
    if (!m_view.isVisible()) {
        m_behind = true;
        return;
    }
    m_behind = false;
    m_view.scrollTo(m_view.currentIndex());
    m_view.viewport()->update();
}

bool LogFollower::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_view && event->type() == QEvent::Show && m_behind) {
        follow();
    }
    return false;
}

} // namespace skylark::ui
