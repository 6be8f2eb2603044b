#pragma once

#include "HistoryChart.h"
#include "history/PriceContext.h"
#include "monitor/FareRecorder.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace skylark {

class FareHistory;

// What a read of the store found, or why it could not read it in full: a damaged or
// unreadable store never reads as an empty one.
template <typename Rows>
struct HistoryRead {
    Rows rows;
    QString error; // empty when every row was read
    bool ok() const { return error.isEmpty(); }
};

// A route's summary and the price context made of it.
struct RouteContext {
    RouteFareSummary summary;
    PriceContext context;
};

// The reads of the fare history, through the store's own connection on the caller's
// thread; a store that is not open reads as why it is not.
class HistoryQueries {
public:
    explicit HistoryQueries(const FareHistory& store);

    using ObservationSink = std::function<void(const FareObservation&)>;
    // Hands each observation of the route by time, from the given day on (all when null),
    // or when routeId is empty every observation in the order recorded, one at a time, to
    // each; the reason when the store could not be read to the end, else empty.
    QString eachObservation(const QString& routeId, const QDate& since,
                            const ObservationSink& each) const;
    // A route's observations, oldest first, from the given day on (all when null).
    HistoryRead<QList<FareObservation>> observations(const QString& routeId,
                                                     const QDate& since = {}) const;
    // The route's found fares, oldest first: what its chart draws.
    HistoryRead<QList<FarePoint>> farePoints(const QString& routeId) const;
    // The route's last found fare, its lowest, its found fares from recentSince on, and
    // the day and calendar of its latest observation.
    HistoryRead<RouteFareSummary> fareSummary(const QString& routeId,
                                              const QDateTime& recentSince) const;
    // The route's summary with the recent fares of the 30 days before now, and its context.
    HistoryRead<RouteContext> priceContext(const QString& routeId, const QDateTime& now) const;
    // Whether the store holds any observation of the route; false when it cannot be read.
    bool holdsRoute(const QString& routeId) const;
    // The calendar of the route's latest observation that had one.
    HistoryRead<QList<CalendarEntry>> latestCalendar(const QString& routeId) const;

private:
    const FareHistory& m_store;
};

} // namespace skylark
