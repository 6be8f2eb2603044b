#include "Stamp.h"

namespace skylark {
namespace {

QString twoDigits(int value) {
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

Stamp makeStamp(const QDateTime& moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    const QString hour = twoDigits(time.hour());
    const QString minute = twoDigits(time.minute());
    const QString second = twoDigits(time.second());
    return {QString::number(date.year()) + QString::number(date.month()) +
                QString::number(date.day()) + hour + minute + second,
            hour + QLatin1Char(':') + minute + QLatin1Char(':') + second};
}

Stamp makeStamp(const Clock& clock) {
    return makeStamp(clock.now());
}

} // namespace skylark
