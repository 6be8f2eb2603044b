#include "HistorySql.h"

#include <QSqlDriver>

namespace skylark::history_sql {

const QString kColumns = QStringLiteral(
    "route_id, dep_city, arr_city, dep_date, route_kind, alert_price, observed_at, fare, "
    "outcome, special, calendar");

QString calendarText(const QList<CalendarEntry>& calendar) {
    QStringList days;
    for (const CalendarEntry& entry : calendar) {
        days.append(entry.date + u'=' + entry.price);
    }
    return days.join(u';');
}

QList<CalendarEntry> calendarOf(const QString& text) {
    QList<CalendarEntry> calendar;
    for (const QStringView day : QStringView(text).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = day.indexOf(u'=');
        calendar.append({(equals < 0 ? day : day.first(equals)).toString(),
                         equals < 0 ? QString() : day.sliced(equals + 1).toString()});
    }
    return calendar;
}

sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        return *static_cast<sqlite3* const*>(handle.constData());
    }
    return nullptr;
}

void bindText(sqlite3_stmt* statement, int at, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

} // namespace skylark::history_sql
