#include "AlertChannelsWindow.h"

#include "MonitorRulesPage.h"
#include "WindowOps.h"
#include "notify/AlertDispatcher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace skylark::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

QString textOf(const QWidget* field) {
    if (const auto* choice = qobject_cast<const QComboBox*>(field)) {
        return choice->currentText();
    }
    return static_cast<const QLineEdit*>(field)->text();
}

void setTextOf(QWidget* field, const QString& text) {
    if (auto* choice = qobject_cast<QComboBox*>(field)) {
        choice->setCurrentIndex(qMax(0, choice->findText(text)));
    } else {
        static_cast<QLineEdit*>(field)->setText(text);
    }
}

// Wide enough for an address or a URL and the examples in the empty fields.
constexpr int kFieldWidth = 230;

QWidget* makeField(const ChannelField& field) {
    if (!field.choices.isEmpty()) {
        auto* choice = new QComboBox;
        choice->addItems(field.choices);
        return choice;
    }
    auto* edit = new QLineEdit;
    edit->setMinimumWidth(kFieldWidth);
    edit->setPlaceholderText(field.example);
    if (field.secret) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

} // namespace

AlertChannelsWindow::AlertChannelsWindow(ChannelBook& book, AlertDispatcher& alerts,
                                         RulesBook& rules, const RouteListModel& routes,
                                         WindowOps& ops, QWidget* parent)
    : QWidget(parent)
    , m_book(book)
    , m_alerts(alerts)
    , m_ops(ops) {
    setWindowTitle(u"提醒方式"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget;
    m_pages->addTab(makeChannelsPage(), u"提醒渠道"_s);
    m_rulesPage = new MonitorRulesPage(rules, routes, ops);
    m_pages->addTab(m_rulesPage, u"提醒规则"_s);
    layout->addWidget(m_pages, 1);
    m_save = new QPushButton(u"保存"_s);
    auto* close = new QPushButton(u"关闭"_s);
    auto* buttons = new QHBoxLayout;
    m_problem = new QLabel;
    m_problem->setWordWrap(true);
    buttons->addWidget(m_problem, 1);
    buttons->addWidget(m_save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    load();
}

QWidget* AlertChannelsWindow::makeChannelsPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    // The kind with the most fields fills the left column; the others stack on the right.
    const QList<ChannelKind>& kinds = channelKinds();
    const auto widest = std::max_element(kinds.begin(), kinds.end(),
                                         [](const ChannelKind& a, const ChannelKind& b) {
                                             return a.fields.size() < b.fields.size();
                                         });
    int row = 0;
    for (const ChannelKind& kind : kinds) {
        if (&kind != &*widest) {
            grid->addWidget(makeGroup(kind.name), row++, 1);
        }
    }
    grid->addWidget(makeGroup(widest->name), 0, 0, qMax(row, 1), 1);
    return page;
}

QWidget* AlertChannelsWindow::makeGroup(const QString& name) {
    auto* box = new QGroupBox(channelCaption(name));
    auto* form = new QFormLayout(box);
    Group& group = m_groups[name];
    group.enabled = new QCheckBox(u"启用"_s);
    group.enabled->setObjectName(name + u"-enabled"_s);
    group.enabled->setAccessibleName(channelCaption(name) + u" 启用"_s);
    form->addRow(group.enabled);
    for (const ChannelField& field : channelFields(name)) {
        QWidget* edit = makeField(field);
        edit->setObjectName(name + u'-' + field.key);
        edit->setAccessibleName(channelCaption(name) + u' ' + field.label);
        form->addRow(field.label + u"：", edit);
        group.fields.insert(field.key, edit);
    }
    group.test = new QPushButton(u"测试"_s);
    group.test->setObjectName(name + u"-test"_s);
    group.outcome = new QLabel;
    group.outcome->setWordWrap(true);
    group.outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(group.test, group.outcome);
    connect(group.test, &QPushButton::clicked, this, [this, name] { test(name); });
    return box;
}

void AlertChannelsWindow::load() {
    const ReadResult<QList<ChannelSettings>> read = m_book.channels();
    for (const ChannelSettings& settings : read.value) {
        Group& group = m_groups[settings.name];
        group.enabled->setChecked(settings.enabled);
        for (auto field = group.fields.begin(); field != group.fields.end(); ++field) {
            setTextOf(field.value(), settings.value(field.key()));
        }
    }
    if (!read.ok()) {
        m_problem->setText(u"无法读取 %1：%2"_s.arg(m_book.path(), read.error));
    }
}

ChannelSettings AlertChannelsWindow::shownSettings(const QString& name) const {
    const Group& group = m_groups[name];
    ChannelSettings settings;
    settings.name = name;
    settings.enabled = group.enabled->isChecked();
    for (auto field = group.fields.begin(); field != group.fields.end(); ++field) {
        settings.values.insert(field.key(), textOf(field.value()));
    }
    return settings;
}

bool AlertChannelsWindow::save() {
    QList<ChannelSettings> channels;
    for (const QString& name : channelNames()) {
        channels.append(shownSettings(name));
    }
    if (const WriteResult saved = m_book.save(channels); !saved) {
        m_ops.messageBox(saved.message(), WindowOps::Buttons::Ok, QMessageBox::Warning);
        return false;
    }
    return m_rulesPage->save();
}

void AlertChannelsWindow::test(const QString& name) {
    const ChannelSettings settings = shownSettings(name);
    Group& group = m_groups[name];
    if (const QString problem = channelTestProblem(settings); !problem.isEmpty()) {
        group.outcome->setText(problem);
        return;
    }
    group.test->setEnabled(false);
    group.outcome->setText(u"正在发送测试消息……"_s);
    const QPointer<AlertChannelsWindow> self(this);
    m_alerts.sendTest(settings, [self, name](const DeliveryOutcome& outcome) {
        if (!self) {
            return;
        }
        const Group& shown = self->m_groups[name];
        shown.test->setEnabled(true);
        shown.outcome->setText(outcome.sent ? u"测试消息已发送"_s
                                            : u"发送失败：%1"_s.arg(outcome.reason));
    });
}

} // namespace skylark::ui
