#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace skylark::ui {

// Paces a window's repaints: a repaint asked for within intervalMs of the last one waits
// for the rest of the interval, and every change made meanwhile is drawn with it. A round
// that changes the route list thousands of times a second then costs a few dozen
// repaints, while a single change after a pause is drawn at once.
class RepaintPacer : public QObject {
public:
    static constexpr int kDefaultIntervalMs = 30;

    explicit RepaintPacer(QWidget& window, int intervalMs = kDefaultIntervalMs);

    int repaints() const { return m_repaints; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    int m_intervalMs;
    QElapsedTimer m_sinceRepaint;
    QTimer m_later;
    bool m_releasing = false; // the held request is being handed on
    int m_repaints = 0;
};

} // namespace skylark::ui
