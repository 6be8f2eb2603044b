#include "AlertWindow.h"

#include "Faces.h"
#include "SkinFrame.h"
#include "ui_AlertWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace skylark::ui {
namespace {

// The body behind the fare labels, so that they read on any skin.
const QColor kBody(255, 255, 255, 215);
const QRect kBodyRect(6, 36, 288, 134);

} // namespace

AlertWindow::AlertWindow(const QList<SpecialFare>& fares, const QByteArray& skin,
                         const QPixmap& decoded, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_ui(std::make_unique<Ui::AlertWindow>()) {
    m_ui->setupUi(this);
    SkinFrame* frame = SkinFrame::attach(*this, {.picture = skin,
                                                 .decoded = decoded,
                                                 .size = QSize(300, 200),
                                                 .secondLine = hintLine(),
                                                 .movable = false});
    frame->setTitleButtonHandler(TitleButtonKind::Close, [this] { close(); });
    setWindowTitle(titleFor(fares.size()));
    setAttribute(Qt::WA_DeleteOnClose);
    applyFaces(*this);
    m_ui->图片框1->setPixmap(QPixmap(QStringLiteral(":/skylark/pictures/qrcode.jpg")));
    const SpecialFare& first = fares.first();
    m_ui->透明标签_出发城市->setText(first.depCityName);
    m_ui->透明标签_到达城市->setText(first.arrCityName);
    m_ui->透明标签_出发日期->setText(first.depDate);
    m_ui->透明标签_当前最低->setText(first.lowestPrice);
    m_ui->透明标签_更新时间->setText(first.updateTime);
    m_ui->透明标签_打开界面->installEventFilter(this);

    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] { m_fadeTimer.start(); });
    connect(&m_fadeTimer, &QTimer::timeout, this, &AlertWindow::fadeStep);
}

AlertWindow::~AlertWindow() = default;

QString AlertWindow::titleFor(qsizetype count) {
    return QStringLiteral(" 特价机票提醒   共发现 ") + QString::number(count) +
           QStringLiteral(" 条信息");
}

QString AlertWindow::hintLine() {
    return QStringLiteral(" 提示: 数据来自阿里旅行              打开软件查看全部");
}

QPoint AlertWindow::placeIn(const QRect& availableArea, const QSize& size) {
    return availableArea.bottomRight() - QPoint(size.width() - 1, size.height() - 1);
}

void AlertWindow::startCountdown(int showMs, int fadeStepMs) {
    m_fadeTimer.setInterval(fadeStepMs);
    m_hideTimer.start(showMs);
}

void AlertWindow::fadeStep() {
    ++m_fadeStep;
    setWindowOpacity(double(kFadeSteps - m_fadeStep) / kFadeSteps);
    if (m_fadeStep >= kFadeSteps) {
        m_fadeTimer.stop();
        close();
    }
}

bool AlertWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->透明标签_打开界面 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Q_EMIT openMainWindowRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AlertWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBody);
    painter.drawRoundedRect(kBodyRect, 4, 4);
}

} // namespace skylark::ui
