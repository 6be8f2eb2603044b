#pragma once

#include "Route.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <array>

namespace skylark {

// The rows of the route list: one per route in book order, eight text columns. The
// first five come from the route book; the last three are run-time state of the
// monitoring rounds and start empty whenever the rows are rebuilt.
class RouteListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        IdColumn,
        DepartureColumn,
        ArrivalColumn,
        DateColumn,
        PriceColumn,
        LowestFareColumn,
        UpdateTimeColumn,
        StatusColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    static QString caption(int column);
    static int initialWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    // Replaces every row with the given routes; the run-time columns are empty.
    void setRoutes(const QList<Route>& routes);
    // Appends a row whose identifier column holds routeId and returns its index.
    int appendRow(const QString& routeId);
    QString cell(int row, int column) const;
    bool setCell(int row, int column, const QString& text);
    // The first row that shows this identifier, or -1.
    int rowOfRoute(QStringView routeId) const;

private:
    using Row = std::array<QString, ColumnCount>;

    static Row rowOf(const Route& route);

    QList<Row> m_rows;
};

} // namespace skylark
