#include "MainWindow.h"

#include "Faces.h"
#include "LogFollower.h"
#include "RouteListView.h"
#include "WindowOps.h"
#include "app/RouteCommands.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "monitor/Monitor.h"
#include "notify/PushAlerts.h"
#include "ui_MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace skylark::ui {

MainWindow::MainWindow(MainWindowCore core, QWidget* parent)
    : QWidget(parent)
    , m_core(core)
    , m_ui(std::make_unique<Ui::MainWindow>()) {
    m_ui->setupUi(this);
    setFixedSize(1040, 558);
    m_ui->选择夹1->tabBar()->hide();
    m_ui->日期框_出发日期->setDate(QDate::currentDate());
    applyFaces(*this);
    showRouteList(*m_ui->超级列表框_监控列表, m_core.routes);
    showStatusLog();
    bindRouteInput();
    bindMonitoring();
    bindRouteMenu();
    bindCheckBoxes();
    nameControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::setCheckBoxes(bool noAlertWindow, bool pushAlerts) {
    m_ui->选择框_禁止弹窗->setChecked(noAlertWindow);
    m_ui->选择框_开启微信提醒->setChecked(pushAlerts);
}

QTabWidget& MainWindow::pages() {
    return *m_ui->选择夹1;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closeAllowed) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    Q_EMIT closeRequested();
}

QWidget& MainWindow::startPageHost() {
    return *m_ui->互联网浏览器1;
}

QWidget& MainWindow::trendPageHost() {
    return *m_ui->互联网浏览器_票价趋势;
}

int MainWindow::selectedRow() const {
    return firstSelectedRow(*m_ui->超级列表框_监控列表);
}

void MainWindow::showStatusLog() {
    // Every line has the same height: without saying so, each new line would lay out the
    // whole log again.
    m_ui->列表框_状态信息->setUniformItemSizes(true);
    m_ui->列表框_状态信息->setModel(&m_core.log);
    new LogFollower(*m_ui->列表框_状态信息, m_core.log); // the view's child
}

// The three page buttons above the pages; button n shows page n - 1.
void MainWindow::bindRouteInput() {
    connect(m_ui->按钮_增加航线, &QPushButton::clicked, this, [this] {
        const AddRouteResult result = m_core.commands.addRoute(
            {m_ui->编辑框_出发城市->text(), m_ui->编辑框_到达城市->text(),
             m_ui->编辑框_监控价格->text(), m_ui->日期框_出发日期->date()});
        if (result.pickerJumpsToNow) {
            m_ui->日期框_出发日期->setDate(QDate::currentDate());
        }
        if (!result.message.isEmpty()) {
            m_core.ops.messageBox(result.message);
        }
    });
    // Enter in a route box presses the add button, as long as it may be pressed.
    for (QLineEdit* box : {m_ui->编辑框_出发城市, m_ui->编辑框_到达城市, m_ui->编辑框_监控价格}) {
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (m_ui->按钮_增加航线->isEnabled()) {
                m_ui->按钮_增加航线->click();
            }
        });
    }
}

// Names for screen readers and UI automation: a control without a caption of its own is
// named by the caption beside it.
void MainWindow::nameControls() {
    const std::pair<QWidget*, QLabel*> named[] = {
        {m_ui->编辑框_出发城市, m_ui->透明标签1},     {m_ui->编辑框_到达城市, m_ui->透明标签2},
        {m_ui->日期框_出发日期, m_ui->透明标签3},     {m_ui->编辑框_监控价格, m_ui->透明标签4},
        {m_ui->选择框_开启微信提醒, m_ui->透明标签9}, {m_ui->选择框_禁止弹窗, m_ui->透明标签7}};
    for (const auto& [control, caption] : named) {
        control->setAccessibleName(caption->text().remove(u'：').trimmed());
    }
    m_ui->超级列表框_监控列表->setAccessibleName(QStringLiteral("监控列表"));
    m_ui->列表框_状态信息->setAccessibleName(QStringLiteral("状态信息"));
    m_ui->选择夹1->setAccessibleName(windowTitle().trimmed());
}

void MainWindow::bindMonitoring() {
    connect(m_ui->按钮_开始, &QPushButton::clicked, &m_core.monitor, &Monitor::startMonitoring);
    connect(m_ui->按钮_停止, &QPushButton::clicked, &m_core.monitor, &Monitor::stopMonitoring);
    connect(&m_core.monitor, &Monitor::monitoringChanged, this, [this](bool monitoring) {
        m_ui->按钮_开始->setDisabled(monitoring);
        m_ui->按钮_增加航线->setDisabled(monitoring);
    });
}

void MainWindow::bindRouteMenu() {
    m_routeMenu = new QMenu(QStringLiteral("航线操作"), this);
    connect(m_routeMenu->addAction(QStringLiteral("到阿里搜索")), &QAction::triggered, this,
            [this] { m_core.commands.openRouteSearchPage(selectedRow()); });
    connect(m_routeMenu->addAction(QStringLiteral("删除该航线")), &QAction::triggered, this,
            [this] {
                if (const WriteResult removed = m_core.commands.deleteSelectedRoute(selectedRow());
                    !removed) {
                    m_core.ops.messageBox(removed.message());
                }
            });
    // The list pops up the route menu's items and, after them, the history.
    m_routeListMenu = new QMenu(QStringLiteral("航线操作"), this);
    m_routeListMenu->addActions(m_routeMenu->actions());
    connect(m_routeListMenu->addAction(QStringLiteral("价格历史")), &QAction::triggered, this,
            &MainWindow::historyRequested);
    connect(m_ui->超级列表框_监控列表, &QWidget::customContextMenuRequested, this,
            [this] { m_core.ops.popupMenu(*m_routeListMenu); });
    connect(m_ui->超级列表框_监控列表, &QAbstractItemView::clicked, this,
            &MainWindow::routeListClicked);
}

void MainWindow::bindCheckBoxes() {
    connect(m_ui->选择框_开启微信提醒, &QCheckBox::clicked, this, [this](bool checked) {
        m_ui->选择框_开启微信提醒->setChecked(m_core.pushSettings.togglePushAlerts(checked));
    });
    connect(m_ui->选择框_禁止弹窗, &QCheckBox::clicked, this, [this](bool checked) {
        m_ui->选择框_禁止弹窗->setChecked(onNoAlertWindowClicked(m_core.settings, checked));
    });
}

} // namespace skylark::ui
