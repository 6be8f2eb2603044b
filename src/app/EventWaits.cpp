#include "EventWaits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace skylark {

void processPendingEvents() {
    QCoreApplication::processEvents();
}

void waitProcessingEvents(int milliseconds) {
    if (milliseconds <= 0) {
        processPendingEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace skylark
