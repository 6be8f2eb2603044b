#include "FlexibleDaysModel.h"

#include "MonitorRules.h"
#include "NearbyDays.h"
#include "RouteListModel.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;

FlexibleDaysModel::FlexibleDaysModel(const RouteListModel& routes, QObject* parent)
    : QAbstractTableModel(parent) {
    const int columns[] = {RouteListModel::IdColumn, RouteListModel::DepartureColumn,
                           RouteListModel::ArrivalColumn, RouteListModel::DateColumn};
    for (int column : columns) {
        m_captions.append(routes.headerData(column, Qt::Horizontal).toString());
    }
    m_captions.append(u"前后天数"_s);
    for (int row = 0; row < routes.rowCount(); ++row) {
        Row each;
        for (int column : columns) {
            each.cells.append(routes.cell(row, column));
        }
        each.problem = flexibleRouteProblem(each.cells[IdColumn]);
        m_rows.append(each);
    }
}

void FlexibleDaysModel::setDays(const QHash<QString, int>& days) {
    for (Row& row : m_rows) {
        row.days = days.value(row.cells[IdColumn]);
    }
    if (!m_rows.isEmpty()) {
        Q_EMIT dataChanged(index(0, DaysColumn), index(int(m_rows.size()) - 1, DaysColumn));
    }
}

QHash<QString, int> FlexibleDaysModel::days() const {
    QHash<QString, int> days;
    for (const Row& row : m_rows) {
        if (row.problem.isEmpty()) {
            days.insert(row.cells[IdColumn], row.days);
        }
    }
    return days;
}

int FlexibleDaysModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FlexibleDaysModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FlexibleDaysModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    const Row& row = m_rows[index.row()];
    if (index.column() == DaysColumn) {
        if (role == Qt::DisplayRole || role == Qt::EditRole) {
            return row.days;
        }
        return role == Qt::ToolTipRole && !row.problem.isEmpty() ? QVariant(row.problem)
                                                                 : QVariant();
    }
    return role == Qt::DisplayRole ? QVariant(row.cells.value(index.column())) : QVariant();
}

bool FlexibleDaysModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    bool ok = false;
    const int days = value.toInt(&ok);
    if (!ok || days < 0 || days > kMaxFlexibleDays) {
        return false;
    }
    m_rows[index.row()].days = days;
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags FlexibleDaysModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == DaysColumn && m_rows[index.row()].problem.isEmpty()) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QVariant FlexibleDaysModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return m_captions.value(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace skylark
