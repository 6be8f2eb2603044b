#include "RouteListView.h"

#include "app/RouteListModel.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace skylark::ui {
namespace {

QColor colourOf(QVariant rgb) {
    const auto value = rgb.value<RouteListModel::Rgb>();
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

Qt::Alignment alignmentOf(int column) {
    const bool left = column == RouteListModel::IdColumn || column == RouteListModel::StatusColumn;
    return (left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter;
}

// A selected row keeps its own colours, the special fare's highlight among them, under a
// tint and a dark frame: a selected row, a special row and a selected special row never
// look alike.
class SelectionOverRowColours final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem own = option;
        own.state &= ~QStyle::State_Selected;
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.isValid()) {
            painter->fillRect(option.rect, background.value<QBrush>());
        }
        QStyledItemDelegate::paint(painter, own, index);
        paintPlaceholder(painter, option, index);
        if (!(option.state & QStyle::State_Selected)) {
            return;
        }
        painter->save();
        painter->fillRect(option.rect, kTint);
        painter->setPen(QPen(kFrame, 2));
        const QRect r = option.rect.adjusted(0, 1, 0, -1);
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0) {
            painter->drawLine(r.topLeft() + QPoint(1, 0), r.bottomLeft() + QPoint(1, 0));
        }
        if (index.column() == index.model()->columnCount() - 1) {
            painter->drawLine(r.topRight(), r.bottomRight());
        }
        painter->restore();
    }

private:
    // A route's last stored fare or time, in grey, where the round has written nothing yet.
    static void paintPlaceholder(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
        const QString placeholder = index.data(RouteListModel::PlaceholderRole).toString();
        if (placeholder.isEmpty() || !index.data(Qt::DisplayRole).toString().isEmpty()) {
            return;
        }
        painter->save();
        painter->setPen(kPlaceholderText);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(3, 0, -3, 0), int(alignmentOf(index.column())),
                          placeholder);
        painter->restore();
    }

    static constexpr QColor kPlaceholderText{150, 150, 150};
    static constexpr QColor kTint{13, 60, 116, 60};
    static constexpr QColor kFrame{13, 60, 116};
};

} // namespace

QVariant RouteListColours::data(const QModelIndex& index, int role) const {
    switch (role) {
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        // Without a highlight the view's own palette applies.
        const QVariant rgb = QIdentityProxyModel::data(index, role == Qt::ForegroundRole
                                                                  ? RouteListModel::TextColourRole
                                                                  : RouteListModel::BackColourRole);
        return rgb.isValid() ? QVariant(QBrush(colourOf(rgb))) : QVariant();
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(index.column()));
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QVariant RouteListColours::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::SizeHintRole) {
        return {};
    }
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal) {
        return QVariant::fromValue(alignmentOf(section));
    }
    return QIdentityProxyModel::headerData(section, orientation, role);
}

void showRouteList(QTableView& view, RouteListModel& routes) {
    auto* colours = new RouteListColours(&view);
    colours->setSourceModel(&routes);
    view.setModel(colours);
    view.verticalHeader()->hide();
    view.setShowGrid(false);
    view.setItemDelegate(new SelectionOverRowColours(&view));
    for (int column = 0; column < RouteListModel::ColumnCount; ++column) {
        view.setColumnWidth(column, RouteListModel::initialWidth(column));
    }
}

int firstSelectedRow(const QTableView& view) {
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& row : rows) {
        if (first < 0 || row.row() < first) {
            first = row.row();
        }
    }
    return first;
}

} // namespace skylark::ui
