#include "PushSettingsWindow.h"

#include "Faces.h"
#include "WindowOps.h"
#include "notify/PushAlerts.h"
#include "ui_PushSettingsWindow.h"

#include <QPixmap>

namespace skylark::ui {

PushSettingsWindow::PushSettingsWindow(PushSettingsLogic& logic, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint)
    , m_ui(std::make_unique<Ui::PushSettingsWindow>()) {
    m_ui->setupUi(this);
    keepOuterSize(*this, QSize(328, 366));
    applyFaces(*this);
    m_ui->图片框1->setPixmap(QPixmap(QStringLiteral(":/skylark/pictures/qrcode.jpg")));

    const PushSettingsTexts stored = logic.loadPushSettings();
    m_ui->编辑框_绑定ID->setText(stored.bindingId);
    m_ui->编辑框_提醒间隔时间->setText(stored.interval);

    connect(&logic, &PushSettingsLogic::testButtonEnabledChanged, m_ui->按钮_微信测试,
            &QWidget::setEnabled);
    connect(m_ui->按钮_微信测试, &QPushButton::clicked, this,
            [this, &logic] { logic.sendTestPush(m_ui->编辑框_绑定ID->text()); });
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, [this, &logic] {
        const PushSettingsLogic::SaveResult result = logic.savePushSettings(
            {m_ui->编辑框_绑定ID->text(), m_ui->编辑框_提醒间隔时间->text()});
        m_ui->编辑框_绑定ID->setText(result.boxes.bindingId);
        m_ui->编辑框_提醒间隔时间->setText(result.boxes.interval);
    });
}

PushSettingsWindow::~PushSettingsWindow() = default;

} // namespace skylark::ui
