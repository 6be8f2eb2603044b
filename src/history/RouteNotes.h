#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace skylark {

class Clock;
class FareHistory;
class RouteListModel;

// Keeps every row's note in the route list from the fare history: the route's last stored
// fare, shown while the row's own cells are empty, and its price context. The notes are
// read anew whenever the rows are rebuilt or added and whenever a round is stored, a few
// routes at a time between the program's other events, so that a long list never holds
// the window up.
class RouteNotes : public QObject {
    Q_OBJECT

public:
    RouteNotes(const FareHistory& history, RouteListModel& routes, const Clock& clock,
               QObject* parent = nullptr);

    // Each turn reads notes for at most this long, and at most this many routes.
    static constexpr int kTurnBudgetMs = 2;
    static constexpr int kRoutesPerTurn = 25;

    // Reads the notes of every row, or of the rows of these routes, soon.
    void refreshAll();
    void refreshRoutes(const QStringList& routeIds);
    // Reads what is still to be read now.
    void finish();
    bool pending() const { return !m_queue.isEmpty(); }

Q_SIGNALS:
    // Every note asked for has been read.
    void refreshed();

private:
    // Reads the notes of up to count routes, or until budgetMs has passed (0: no limit).
    void readSome(int count, int budgetMs = 0);
    void scheduleTurn();
    // Where each route's rows are now, kept until the rows change.
    const QHash<QString, QList<int>>& rowsByRoute();

    const FareHistory& m_history;
    RouteListModel& m_routes;
    const Clock& m_clock;
    QStringList m_queue; // route identifiers whose notes are to be read
    QSet<QString> m_queued;
    QHash<QString, QList<int>> m_rows;
    bool m_rowsKnown = false;
    bool m_turnScheduled = false;
};

} // namespace skylark
