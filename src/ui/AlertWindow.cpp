#include "AlertWindow.h"

#include "Faces.h"
#include "ui_AlertWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace skylark::ui {
namespace {

const QColor kDefaultSkin(0, 136, 255);
constexpr int kTitleBarHeight = 30;

} // namespace

AlertWindow::AlertWindow(const QList<SpecialFare>& fares, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_ui(std::make_unique<Ui::AlertWindow>())
    , m_title(titleFor(fares.size())) {
    m_ui->setupUi(this);
    setFixedSize(300, 200);
    setWindowTitle(m_title);
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

    auto* close = new QPushButton(QStringLiteral("×"), this);
    close->setObjectName(QStringLiteral("关闭按钮"));
    close->setToolTip(QStringLiteral("关闭 "));
    close->setGeometry(width() - 46, 5, 39, 20);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

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

// The frame as the built-in default skin draws it, until a skin picture takes its place.
void AlertWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(QRect(0, 0, width(), kTitleBarHeight), kDefaultSkin);
    painter.fillRect(QRect(0, height() - 24, width(), 24), kDefaultSkin);
    painter.setPen(Qt::white);
    painter.setFont(programFace(FaceSize::Small));
    painter.drawText(QRect(6, 0, width() - 52, kTitleBarHeight), Qt::AlignVCenter, m_title);
    painter.drawText(QRect(0, height() - 24, width(), 24), Qt::AlignVCenter, hintLine());
}

} // namespace skylark::ui
