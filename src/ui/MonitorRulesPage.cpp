#include "MonitorRulesPage.h"

#include "WindowOps.h"
#include "app/FlexibleDaysModel.h"
#include "app/NearbyDays.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableView>
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
    m_days = new FlexibleDaysModel(routes, this);
    m_flexible = new QTableView(this);
    m_flexible->setObjectName(u"flexible-days"_s);
    m_flexible->setModel(m_days);
    m_flexible->setItemDelegateForColumn(FlexibleDaysModel::DaysColumn,
                                         new FlexibleDaysDelegate(m_flexible));
    m_flexible->verticalHeader()->hide();
    m_flexible->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_flexible, 1);
    m_problem = new QLabel;
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);
    load();
    m_flexible->resizeColumnsToContents();
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
    m_days->setDays(rules.flexibleDays);
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

bool MonitorRulesPage::save() {
    if (const WriteResult saved = m_book.save(shownValues(), m_days->days()); !saved) {
        m_ops.messageBox(saved.message(), WindowOps::Buttons::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

} // namespace skylark::ui
