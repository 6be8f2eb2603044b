#pragma once

#include "app/MonitorRules.h"

#include <QHash>
#include <QWidget>

class QLabel;
class QTableView;

namespace skylark {
class FlexibleDaysModel;
class RouteListModel;
} // namespace skylark

namespace skylark::ui {

class WindowOps;

// The page "提醒规则" of the alert settings: one field for each of the monitor's rules and
// a table of the routes in the list, each with its flexible days (0 to 3). Saving stores
// them all at once or, with a refused value, says why and stores nothing.
class MonitorRulesPage : public QWidget {
    Q_OBJECT

public:
    MonitorRulesPage(RulesBook& book, const RouteListModel& routes, WindowOps& ops,
                     QWidget* parent = nullptr);

    // Stores what the page shows; true when it was stored.
    bool save();

    // The field's check box (a switch) or edit box.
    QWidget& fieldOf(const QString& key) const { return *m_fields[key]; }
    // One row for each route of the list when the page was made.
    QTableView& flexibleTable() const { return *m_flexible; }
    FlexibleDaysModel& flexibleDays() const { return *m_days; }
    // Why the stored rules could not be read; empty when they could.
    QLabel& problemLine() const { return *m_problem; }

private:
    QWidget* makeFields();
    void load();
    KeyFile::Section shownValues() const;

    RulesBook& m_book;
    WindowOps& m_ops;
    QHash<QString, QWidget*> m_fields;
    FlexibleDaysModel* m_days = nullptr;
    QTableView* m_flexible = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace skylark::ui
