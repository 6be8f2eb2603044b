#include "RouteNotes.h"

#include "FareHistory.h"
#include "app/Clock.h"
#include "app/RouteListModel.h"

#include <QElapsedTimer>

namespace skylark {

RouteNotes::RouteNotes(const FareHistory& history, RouteListModel& routes, const Clock& clock,
                       QObject* parent)
    : QObject(parent)
    , m_history(history)
    , m_routes(routes)
    , m_clock(clock) {
    const auto forgetRows = [this] { m_rowsKnown = false; };
    connect(&routes, &RouteListModel::modelReset, this, forgetRows);
    connect(&routes, &RouteListModel::layoutChanged, this, forgetRows);
    connect(&routes, &RouteListModel::rowsInserted, this, forgetRows);
    connect(&routes, &RouteListModel::rowsRemoved, this, forgetRows);
    connect(&routes, &RouteListModel::modelReset, this, &RouteNotes::refreshAll);
    connect(&routes, &RouteListModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                QStringList ids;
                for (int row = first; row <= last; ++row) {
                    ids.append(m_routes.cell(row, RouteListModel::IdColumn));
                }
                refreshRoutes(ids);
            });
    connect(&history, &FareHistory::recorded, this,
            [this](const QList<FareObservation>& observations) {
                QStringList ids;
                for (const FareObservation& seen : observations) {
                    ids.append(seen.routeId);
                }
                refreshRoutes(ids);
            });
}

void RouteNotes::refreshAll() {
    QStringList ids;
    for (int row = 0; row < m_routes.rowCount(); ++row) {
        ids.append(m_routes.cell(row, RouteListModel::IdColumn));
    }
    refreshRoutes(ids);
}

void RouteNotes::refreshRoutes(const QStringList& routeIds) {
    for (const QString& id : routeIds) {
        if (!id.isEmpty() && !m_queued.contains(id)) {
            m_queued.insert(id);
            m_queue.append(id);
        }
    }
    scheduleTurn();
}

void RouteNotes::scheduleTurn() {
    if (m_queue.isEmpty() || m_turnScheduled) {
        return;
    }
    m_turnScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_turnScheduled = false;
            readSome(kRoutesPerTurn, kTurnBudgetMs);
            scheduleTurn();
        },
        Qt::QueuedConnection);
}

void RouteNotes::finish() {
    readSome(int(m_queue.size()));
}

const QHash<QString, QList<int>>& RouteNotes::rowsByRoute() {
    if (!m_rowsKnown) {
        m_rows.clear();
        for (int row = 0; row < m_routes.rowCount(); ++row) {
            m_rows[m_routes.cell(row, RouteListModel::IdColumn)].append(row);
        }
        m_rowsKnown = true;
    }
    return m_rows;
}

void RouteNotes::readSome(int count, int budgetMs) {
    if (m_queue.isEmpty()) {
        return;
    }
    QElapsedTimer spent;
    spent.start();
    // Where each route's rows are now: the list may have changed since it was queued.
    const QHash<QString, QList<int>>& rows = rowsByRoute();
    const QDateTime now = m_clock.now();
    for (int done = 0; done < count && !m_queue.isEmpty() &&
                       (budgetMs <= 0 || done == 0 || spent.nsecsElapsed() < budgetMs * 1000000LL);
         ++done) {
        const QString id = m_queue.takeFirst();
        m_queued.remove(id);
        const auto found = rows.constFind(id);
        if (found == rows.constEnd() || !m_history.isOpen()) {
            continue;
        }
        const HistoryRead<RouteContext> read = m_history.queries().priceContext(id, now);
        if (!read.ok()) {
            continue; // the history says its failure itself; the rows keep their notes
        }
        const RouteListModel::RouteNote note{read.rows.summary.lastFare, read.rows.summary.lastSeen,
                                             priceContextText(read.rows.context)};
        for (int row : *found) {
            m_routes.setRouteNote(row, note);
        }
    }
    if (m_queue.isEmpty()) {
        Q_EMIT refreshed();
    }
}

} // namespace skylark
