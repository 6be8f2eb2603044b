#include "MonitorRulesPage.h"

#include "WindowOps.h"
#include "app/NearbyDays.h"
#include "app/RouteListModel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace skylark::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

// Edits the flexible days with a spin box from 0 to 3.
class FlexibleDaysDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* spin = new QSpinBox(parent);
        spin->setRange(0, kMaxFlexibleDays);
        return spin;
    }
};

} // namespace

MonitorRulesPage::MonitorRulesPage(RulesBook& book, const RouteListModel& routes, WindowOps& ops,
                                   QWidget* parent)
    : QWidget(parent)
    , m_book(book)
    , m_ops(ops) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeFields());
    layout->addWidget(
        new QLabel(u"前后浮动的天数：这些天里任何一天的票价不高于监控价格时也提醒"_s));
    m_flexible = new QTableWidget(this);
    m_flexible->setObjectName(u"flexible-days"_s);
    m_flexible->setItemDelegateForColumn(kFlexibleColumn, new FlexibleDaysDelegate(m_flexible));
    layout->addWidget(m_flexible, 1);
    m_problem = new QLabel;
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);
    fillRoutes(routes);
    load();
}

QWidget* MonitorRulesPage::makeFields() {
    auto* fields = new QWidget;
    auto* form = new QFormLayout(fields);
    form->setContentsMargins(0, 0, 0, 0);
    for (const RuleField& field : ruleFields()) {
        QWidget* edit = nullptr;
        if (field.onOff) {
            edit = new QCheckBox(field.label);
            form->addRow(edit);
        } else {
            auto* line = new QLineEdit;
            line->setPlaceholderText(field.example);
            edit = line;
            form->addRow(field.label + u"：", edit);
        }
        edit->setObjectName(u"rule-"_s + field.key);
        edit->setAccessibleName(field.label);
        m_fields.insert(field.key, edit);
    }
    return fields;
}

void MonitorRulesPage::fillRoutes(const RouteListModel& routes) {
    const int columns[] = {RouteListModel::IdColumn, RouteListModel::DepartureColumn,
                           RouteListModel::ArrivalColumn, RouteListModel::DateColumn};
    m_flexible->setColumnCount(kFlexibleColumn + 1);
    QStringList captions;
    for (int column : columns) {
        captions.append(routes.headerData(column, Qt::Horizontal).toString());
    }
    m_flexible->setHorizontalHeaderLabels(captions << u"前后天数"_s);
    m_flexible->setRowCount(routes.rowCount());
    for (int row = 0; row < routes.rowCount(); ++row) {
        for (int column : columns) {
            auto* item = new QTableWidgetItem(routes.cell(row, column));
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_flexible->setItem(row, column, item);
        }
        auto* days = new QTableWidgetItem;
        days->setData(Qt::EditRole, 0);
        if (const QString problem =
                flexibleRouteProblem(routes.cell(row, RouteListModel::IdColumn));
            !problem.isEmpty()) {
            days->setFlags(days->flags() & ~Qt::ItemIsEditable);
            days->setToolTip(problem);
        }
        m_flexible->setItem(row, kFlexibleColumn, days);
    }
    m_flexible->verticalHeader()->hide();
    m_flexible->horizontalHeader()->setStretchLastSection(true);
    m_flexible->resizeColumnsToContents();
}

void MonitorRulesPage::load() {
    const ReadResult<KeyFile::Section> read = m_book.values();
    const KeyFile::Section& values = read.value;
    const MonitorRules rules = m_book.rules().value;
    for (auto field = m_fields.begin(); field != m_fields.end(); ++field) {
        const QString value = values.value(field.key());
        if (auto* check = qobject_cast<QCheckBox*>(field.value())) {
            check->setChecked(value == u"on");
        } else {
            static_cast<QLineEdit*>(field.value())->setText(value);
        }
    }
    for (int row = 0; row < m_flexible->rowCount(); ++row) {
        const QString id = m_flexible->item(row, RouteListModel::IdColumn)->text();
        m_flexible->item(row, kFlexibleColumn)->setData(Qt::EditRole, rules.flexibleDays.value(id));
    }
    if (!read.ok()) {
        m_problem->setText(u"无法读取 %1：%2"_s.arg(m_book.path(), read.error));
    }
}

KeyFile::Section MonitorRulesPage::shownValues() const {
    KeyFile::Section values;
    for (auto field = m_fields.begin(); field != m_fields.end(); ++field) {
        if (const auto* check = qobject_cast<const QCheckBox*>(field.value())) {
            values.insert(field.key(), check->isChecked() ? u"on"_s : QString());
        } else {
            values.insert(field.key(), static_cast<const QLineEdit*>(field.value())->text());
        }
    }
    return values;
}

QHash<QString, int> MonitorRulesPage::shownFlexibleDays() const {
    QHash<QString, int> days;
    for (int row = 0; row < m_flexible->rowCount(); ++row) {
        const QString id = m_flexible->item(row, RouteListModel::IdColumn)->text();
        if (flexibleRouteProblem(id).isEmpty()) {
            days.insert(id, m_flexible->item(row, kFlexibleColumn)->data(Qt::EditRole).toInt());
        }
    }
    return days;
}

bool MonitorRulesPage::save() {
    if (const WriteResult saved = m_book.save(shownValues(), shownFlexibleDays()); !saved) {
        m_ops.messageBox(saved.message(), WindowOps::Buttons::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

} // namespace skylark::ui
