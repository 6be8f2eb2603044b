#include "AlertWindow.h"

#include <QGuiApplication>

#include "Faces.h"
#include "SkinFrame.h"
#include "ui_AlertWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>

namespace skylark::ui {
namespace {

// The body behind the fare labels, so that they read on any skin.
const QColor kBody(255, 255, 255, 215);
const QRect kBodyRect(6, 36, 288, 134);

// Decoded once for all the rounds' alert windows.
QPixmap qrCode() {
    const QString path = QStringLiteral(":/skylark/pictures/qrcode.jpg");
    QPixmap picture;
    if (!QPixmapCache::find(path, &picture)) {
        picture = QPixmap(path);
        QPixmapCache::insert(path, picture);
    }
    return picture;
}

} // namespace

AlertWindow::AlertWindow(const QList<SpecialFare>& fares, const QByteArray& skin,
                         const QPixmap& decoded, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_ui(std::make_unique<Ui::AlertWindow>()) {
    m_ui->setupUi(this);
    SkinFrame* frame = SkinFrame::attach(*this, {.picture = skin,
                                                 .decoded = decoded,
                                                 .size = QSize(300, 200),
                                                 .secondLine = alertHint(),
                                                 .movable = false});
    frame->setTitleButtonHandler(TitleButtonKind::Close, [this] { close(); });
    setAttribute(Qt::WA_DeleteOnClose);
    applyFaces(*this);
    m_ui->图片框1->setPixmap(qrCode());
    showFares(fares);
    m_ui->透明标签_打开界面->installEventFilter(this);

    connect(&m_countdown, &AlertCountdown::opacityChanged, this, &AlertWindow::showOpacity);
    connect(&m_countdown, &AlertCountdown::finished, this, &QWidget::close);
}

AlertWindow::~AlertWindow() = default;

void AlertWindow::showFares(const QList<SpecialFare>& fares) {
    const AlertTexts texts = alertTexts(fares);
    setWindowTitle(texts.title);
    const SpecialFare& first = texts.first;
    m_ui->透明标签_出发城市->setText(first.depCityName);
    m_ui->透明标签_到达城市->setText(first.arrCityName);
    m_ui->透明标签_出发日期->setText(first.depDate);
    m_ui->透明标签_当前最低->setText(first.lowestPrice);
    m_ui->透明标签_更新时间->setText(first.updateTime);
}

void AlertWindow::startCountdown(int showMs, int fadeStepMs) {
    if (windowOpacity() < 1.0) {
        showOpacity(1.0); // it was fading out
    }
    m_countdown.start(showMs, fadeStepMs);
}

// The window system is told of each step as it happens: under X11 a changed opacity waits
// in the connection's buffer until something flushes it, and with the mouse still nothing
// else does.
void AlertWindow::showOpacity(double opacity) {
    setWindowOpacity(opacity);
    QGuiApplication::sync();
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
