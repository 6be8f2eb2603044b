#include "HistoryQueries.h"

#include "FareHistory.h"
#include "HistorySql.h"

namespace skylark {

using namespace history_sql;

HistoryQueries::HistoryQueries(const FareHistory& store)
    : m_store(store) {}

QString HistoryQueries::eachObservation(const QString& routeId, const QDate& since,
                                        const ObservationSink& each) const {
    if (const QString problem = m_store.readProblem(); !problem.isEmpty()) {
        return problem;
    }
    // Through the index that is in this order: a whole-store read then never sorts, which
    // would hold every row in memory at once.
    QByteArray sql =
        "SELECT " + kColumns.toUtf8() + " FROM observation INDEXED BY observation_chart";
    if (!routeId.isEmpty()) {
        sql +=
            since.isNull() ? " WHERE route_id = ?1" : " WHERE route_id = ?1 AND observed_at >= ?2";
    }
    sql += " ORDER BY route_id, observed_at";
    Statement select(m_store.readHandle(), sql);
    if (!select.prepared()) {
        return m_store.readFailure(select.error());
    }
    if (!routeId.isEmpty()) {
        bindText(select.get(), 1, routeId);
        if (!since.isNull()) {
            sqlite3_bind_int64(select.get(), 2, QDateTime(since, QTime(0, 0)).toMSecsSinceEpoch());
        }
    }
    FareObservation observation;
    LocalOffsets offsets;
    while (select.next()) {
        observation.routeId = select.text(0);
        observation.depCityName = select.text(1);
        observation.arrCityName = select.text(2);
        observation.depDate = select.text(3);
        observation.routeKind = select.text(4);
        observation.alertPrice = select.text(5);
        observation.observedAt = offsets.localTime(sqlite3_column_int64(select.get(), 6));
        observation.fare = select.text(7);
        observation.outcome = fareOutcomeOfKey(select.text(8));
        observation.special = sqlite3_column_int(select.get(), 9) != 0;
        observation.calendar = calendarOf(select.text(10));
        each(observation);
    }
    return select.error().isEmpty() ? QString() : m_store.readFailure(select.error());
}

HistoryRead<QList<FareObservation>> HistoryQueries::observations(const QString& routeId,
                                                                 const QDate& since) const {
    HistoryRead<QList<FareObservation>> read;
    if (routeId.isEmpty()) {
        return read;
    }
    read.error = eachObservation(routeId, since,
                                 [&read](const FareObservation& seen) { read.rows.append(seen); });
    return read;
}

HistoryRead<QList<FarePoint>> HistoryQueries::farePoints(const QString& routeId) const {
    HistoryRead<QList<FarePoint>> read;
    if (read.error = m_store.readProblem(); !read.error.isEmpty()) {
        return read;
    }
    Statement select(m_store.readHandle(),
                     "SELECT observed_at, fare, special FROM observation WHERE "
                     "route_id = ? AND fare IS NOT NULL ORDER BY observed_at");
    if (select.prepared()) {
        bindText(select.get(), 1, routeId);
        while (select.next()) {
            read.rows.append({sqlite3_column_int64(select.get(), 0),
                              sqlite3_column_double(select.get(), 1),
                              sqlite3_column_int(select.get(), 2) != 0});
        }
    }
    if (const QString error = select.error(); !error.isEmpty()) {
        read.error = m_store.readFailure(error);
    }
    return read;
}

HistoryRead<RouteFareSummary> HistoryQueries::fareSummary(const QString& routeId,
                                                          const QDateTime& recentSince) const {
    HistoryRead<RouteFareSummary> read;
    if (read.error = m_store.readProblem(); !read.error.isEmpty()) {
        return read;
    }
    RouteFareSummary& summary = read.rows;
    // The first three through the route's chart index: only the latest row of the wide
    // table is read.
    Statement last(m_store.readHandle(),
                   "SELECT observed_at, fare FROM observation WHERE route_id = ? "
                   "AND CAST(fare AS REAL) > 0 ORDER BY observed_at DESC LIMIT 1");
    Statement lowest(
        m_store.readHandle(),
        "SELECT observed_at, CAST(fare AS REAL) AS amount FROM observation WHERE "
        "route_id = ? AND CAST(fare AS REAL) > 0 ORDER BY amount, observed_at LIMIT 1");
    Statement recent(m_store.readHandle(),
                     "SELECT CAST(fare AS REAL) FROM observation WHERE route_id = ? AND "
                     "observed_at >= ? AND CAST(fare AS REAL) > 0");
    Statement latest(m_store.readHandle(),
                     "SELECT dep_date, calendar FROM observation WHERE route_id = ? "
                     "ORDER BY observed_at DESC, id DESC LIMIT 1");
    for (Statement* statement : {&last, &lowest, &recent, &latest}) {
        if (statement->prepared()) {
            bindText(statement->get(), 1, routeId);
        }
    }
    sqlite3_bind_int64(recent.get(), 2, recentSince.toMSecsSinceEpoch());
    if (last.prepared() && last.next()) {
        summary.lastSeen = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(last.get(), 0));
        summary.lastFare = last.text(1);
    }
    if (lowest.prepared() && lowest.next()) {
        summary.lowestSeen = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(lowest.get(), 0));
        summary.lowest = sqlite3_column_double(lowest.get(), 1);
    }
    if (recent.prepared()) {
        while (recent.next()) {
            summary.recentFares.append(sqlite3_column_double(recent.get(), 0));
        }
    }
    if (latest.prepared() && latest.next()) {
        summary.latestDay = latest.text(0);
        summary.latestCalendar = calendarOf(latest.text(1));
    }
    for (const Statement* statement : {&last, &lowest, &recent, &latest}) {
        if (const QString error = statement->error(); !error.isEmpty()) {
            read.error = m_store.readFailure(error);
        }
    }
    return read;
}

HistoryRead<QList<CalendarEntry>> HistoryQueries::latestCalendar(const QString& routeId) const {
    HistoryRead<QList<CalendarEntry>> read;
    if (read.error = m_store.readProblem(); !read.error.isEmpty()) {
        return read;
    }
    Statement select(m_store.readHandle(),
                     "SELECT calendar FROM observation WHERE route_id = ? AND calendar <> '' "
                     "ORDER BY observed_at DESC, id DESC LIMIT 1");
    if (select.prepared()) {
        bindText(select.get(), 1, routeId);
        if (select.next()) {
            read.rows = calendarOf(select.text(0));
        }
    }
    if (const QString error = select.error(); !error.isEmpty()) {
        read.error = m_store.readFailure(error);
    }
    return read;
}

bool HistoryQueries::holdsRoute(const QString& routeId) const {
    if (!m_store.readProblem().isEmpty()) {
        return false;
    }
    Statement select(m_store.readHandle(), "SELECT 1 FROM observation WHERE route_id = ? LIMIT 1");
    if (!select.prepared()) {
        return false;
    }
    bindText(select.get(), 1, routeId);
    return select.next();
}

HistoryRead<RouteContext> HistoryQueries::priceContext(const QString& routeId,
                                                       const QDateTime& now) const {
    const HistoryRead<RouteFareSummary> summary =
        fareSummary(routeId, now.addDays(-PriceContext::kRecentDays));
    return {{summary.rows, priceContextOf(summary.rows)}, summary.error};
}

} // namespace skylark
