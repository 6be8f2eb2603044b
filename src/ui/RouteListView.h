#pragma once

#include <QIdentityProxyModel>

class QTableView;

namespace skylark {
class RouteListModel;
}

namespace skylark::ui {

// The route list as the view shows it: the model's RGB colour roles as text and
// background brushes, the columns' alignments.
class RouteListColours : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;
    // The captions and alignments; the widths are the view's own.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
};

// Sets the view up over the route model: eight columns with their widths, whole-row
// selection, no row header.
void showRouteList(QTableView& view, RouteListModel& routes);

// The first selected row, or -1 when none is selected.
int firstSelectedRow(const QTableView& view);

} // namespace skylark::ui
