#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace skylark::ui {

RepaintPacer::RepaintPacer(QWidget& window, int intervalMs)
    : QObject(&window)
    , m_window(window)
    , m_intervalMs(intervalMs) {
    m_later.setSingleShot(true);
    m_later.setTimerType(Qt::PreciseTimer);
    connect(&m_later, &QTimer::timeout, this, [this] {
        // The window still counts its request as sent: handing one on draws everything
        // that changed since.
        m_releasing = true;
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(&m_window, &request);
        m_releasing = false;
    });
    window.installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_window || event->type() != QEvent::UpdateRequest) {
        return false;
    }
    if (m_releasing || !m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= m_intervalMs) {
        m_sinceRepaint.start();
        ++m_repaints;
        return false;
    }
    if (!m_later.isActive()) {
        m_later.start(int(m_intervalMs - m_sinceRepaint.elapsed()));
    }
    return true;
}

} // namespace skylark::ui
