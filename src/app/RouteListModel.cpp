#include "RouteListModel.h"

#include <QSize>

#include <array>

namespace skylark {
namespace {

struct ColumnInfo {
    const char16_t* caption;
    int width;
};

constexpr std::array<ColumnInfo, RouteListModel::ColumnCount> kColumns{{
    {u"ID", 30},
    {u"出发城市", 80},
    {u"到达城市", 80},
    {u"出发日期", 100},
    {u"监控价格", 80},
    {u"当前最低", 80},
    {u"更新时间", 90},
    {u"状态", 150},
}};

bool isColumn(int column) {
    return column >= 0 && column < RouteListModel::ColumnCount;
}

} // namespace

QString RouteListModel::caption(int column) {
    return isColumn(column) ? QString::fromUtf16(kColumns[column].caption) : QString();
}

int RouteListModel::initialWidth(int column) {
    return isColumn(column) ? kColumns[column].width : 0;
}

int RouteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RouteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RouteListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return m_rows[index.row()][index.column()];
    }
    if (role == Qt::ToolTipRole || role == PlaceholderRole) {
        return noteData(index, role);
    }
    if ((role == TextColourRole || role == BackColourRole) && m_colouringActive) {
        const CellColour colour =
            m_cellColours.value({index.row(), index.column()}, {kBlack, m_listColours.back});
        return role == TextColourRole ? colour.text : colour.back;
    }
    return {};
}

QVariant RouteListModel::noteData(const QModelIndex& index, int role) const {
    const int column = index.column();
    if (column == StatusColumn && role == Qt::ToolTipRole) {
        const QString& tip = m_statusTips[index.row()];
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (column != LowestFareColumn && column != UpdateTimeColumn) {
        return {};
    }
    const RouteNote& note = m_notes[index.row()];
    const bool placeholder = m_rows[index.row()][column].isEmpty() && !note.lastFare.isEmpty();
    if (role == PlaceholderRole) {
        if (!placeholder) {
            return {};
        }
        return column == LowestFareColumn ? note.lastFare
                                          : note.lastSeen.toString(QStringLiteral("HH:mm:ss"));
    }
    QStringList lines;
    if (column == LowestFareColumn && !m_fareReasons[index.row()].isEmpty()) {
        lines.append(m_fareReasons[index.row()]);
    }
    if (placeholder) {
        lines.append(QStringLiteral("上次：") + note.lastFare + QStringLiteral("，") +
                     note.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    if (column == LowestFareColumn && !note.context.isEmpty()) {
        lines.append(note.context);
    }
    return lines.isEmpty() ? QVariant() : QVariant(lines.join(u'\n'));
}

void RouteListModel::setStatusTip(int row, const QString& tip) {
    if (row < 0 || row >= m_statusTips.size() || m_statusTips[row] == tip) {
        return;
    }
    m_statusTips[row] = tip;
    const QModelIndex cell = index(row, StatusColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::ToolTipRole});
}

void RouteListModel::setRouteNote(int row, const RouteNote& note) {
    if (row < 0 || row >= m_notes.size() || m_notes[row] == note) {
        return;
    }
    m_notes[row] = note;
    Q_EMIT dataChanged(index(row, LowestFareColumn), index(row, UpdateTimeColumn),
                       {Qt::ToolTipRole, PlaceholderRole});
}

RouteListModel::RouteNote RouteListModel::routeNote(int row) const {
    return row >= 0 && row < m_notes.size() ? m_notes[row] : RouteNote();
}

QVariant RouteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !isColumn(section)) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return caption(section);
    }
    if (role == Qt::SizeHintRole) {
        return QSize(initialWidth(section), 0);
    }
    return {};
}

bool RouteListModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_rows.size()) {
        return false;
    }
    beginRemoveRows({}, row, row + count - 1);
    m_rows.remove(row, count);
    m_fareReasons.remove(row, count);
    m_notes.remove(row, count);
    m_statusTips.remove(row, count);
    endRemoveRows();
    return true;
}

void RouteListModel::setRoutes(QList<Route> routes) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(routes.size());
    for (Route& route : routes) {
        Row& cells = m_rows.emplaceBack();
        cells[IdColumn] = std::move(route.routeId);
        cells[DepartureColumn] = std::move(route.depCityName);
        cells[ArrivalColumn] = std::move(route.arrCityName);
        cells[DateColumn] = std::move(route.depDate);
        cells[PriceColumn] = std::move(route.price);
    }
    m_fareReasons = QStringList(m_rows.size());
    m_notes = QList<RouteNote>(m_rows.size());
    m_statusTips = QStringList(m_rows.size());
    endResetModel();
}

int RouteListModel::appendRow(const QString& routeId) {
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    Row cells;
    cells[IdColumn] = routeId;
    m_rows.append(std::move(cells));
    m_fareReasons.append(QString());
    m_notes.append(RouteNote());
    m_statusTips.append(QString());
    endInsertRows();
    return row;
}

void RouteListModel::setFareReason(int row, const QString& reason) {
    if (row < 0 || row >= m_rows.size() || m_fareReasons[row] == reason) {
        return;
    }
    m_fareReasons[row] = reason;
    const QModelIndex cell = index(row, LowestFareColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::ToolTipRole});
}

QString RouteListModel::cell(int row, int column) const {
    if (row < 0 || row >= m_rows.size() || !isColumn(column)) {
        return {};
    }
    return m_rows[row][column];
}

bool RouteListModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= m_rows.size() || !isColumn(column)) {
        return false;
    }
    if (m_rows[row][column] != text) {
        m_rows[row][column] = text;
        const QModelIndex changed = index(row, column);
        Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

int RouteListModel::rowOfRoute(QStringView routeId) const {
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row][IdColumn] == routeId) {
            return row;
        }
    }
    return -1;
}

} // namespace skylark

namespace skylark {

void RouteListModel::setCellColour(int row, int column, Rgb text, Rgb back) {
    m_colouringActive = true;
    const CellColour colour{text, back};
    if (colour == m_listColours) {
        m_cellColours.remove({row, column});
    } else {
        m_cellColours.insert({row, column}, colour);
    }
    repaintAll();
}

void RouteListModel::clearCellColours() {
    if (!m_colouringActive) {
        return;
    }
    m_cellColours.clear();
    m_colouringActive = false;
    repaintAll();
}

std::optional<RouteListModel::CellColour> RouteListModel::cellColour(int row, int column) const {
    const auto it = m_cellColours.constFind({row, column});
    return it == m_cellColours.constEnd() ? std::nullopt : std::optional<CellColour>(*it);
}

void RouteListModel::repaintAll() {
    if (!m_rows.isEmpty()) {
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1),
                           {TextColourRole, BackColourRole});
    }
}

} // namespace skylark
