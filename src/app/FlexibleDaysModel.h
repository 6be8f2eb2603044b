#pragma once

#include "app/Route.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

namespace skylark {

class RouteListModel;

// The routes of the list, as they were when it was made, each with its flexible days (0 to
// 3), the one column that can be edited; a route whose identifier no rules line can hold
// cannot be edited and says why in its tooltip.
class FlexibleDaysModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { IdColumn, DepartureColumn, ArrivalColumn, DateColumn, DaysColumn, ColumnCount };

    explicit FlexibleDaysModel(const RouteListModel& routes, QObject* parent = nullptr);

    // The stored days of each route; routes not named have none.
    void setDays(const QHash<QString, int>& days);
    // The days the model holds for every route that can have them, 0 included.
    QHash<QString, int> days() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QStringList cells; // identifier, departure, arrival, date
        int days = 0;
        QString problem; // why the route cannot have days; empty when it can
    };
    QList<Row> m_rows;
    QStringList m_captions;
};

} // namespace skylark
