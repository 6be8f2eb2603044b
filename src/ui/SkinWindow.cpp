#include "SkinWindow.h"

#include "SkinFrame.h"
#include "SkinPicture.h"
#include "WindowOps.h"
#include "store/SafeSave.h"
#include "ui_SkinWindow.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QPainter>

namespace skylark::ui {
namespace {

// The file's bytes, empty when it cannot be read in full.
QByteArray fileBytes(const QString& path) {
    QByteArray bytes;
    return readWholeFile(path, bytes).isEmpty() ? bytes : QByteArray();
}

QFont arrowFace() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(64);
    return font;
}

} // namespace

QByteArray builtInFirstSkin() {
    return fileBytes(QStringLiteral(":/skylark/pictures/01.jpg"));
}

SkinBoard::SkinBoard(QWidget* parent)
    : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void SkinBoard::show(const QPixmap& picture, bool cross) {
    m_picture = picture;
    m_cross = cross;
    update();
}

void SkinBoard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect().adjusted(1, 1, -1, -1), m_picture);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_cross) {
        constexpr int left = SkinFolder::kCrossLeft;
        constexpr int top = SkinFolder::kCrossTop;
        constexpr int size = SkinFolder::kCrossSize;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 0, 0), 3));
        painter.drawLine(left, top, left + size, top + size);
        painter.drawLine(left + size, top, left, top + size);
    }
}

// The board's presses are its own: a press with a small move on it never drags the window.
void SkinBoard::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void SkinBoard::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void SkinBoard::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Q_EMIT released(event->position().toPoint());
    }
}

QString SkinWindow::secondLine() {
    return QStringLiteral(" 提示:点击要替换的图片即可替换皮肤");
}

// "NAME(PATTERNS)|PATTERNS" with patterns split by ";" becomes "NAME(PATTERNS)" split by
// spaces, the form Qt's dialog reads.
QString SkinWindow::dialogFilter() {
    const QString filter = SkinFolder::pictureFilter();
    const QString name = filter.section(u'|', 0, 0);
    const QString patterns = filter.section(u'|', 1);
    return name.left(name.indexOf(u'(')) + u'(' + patterns.split(u';').join(u' ') + u')';
}

SkinWindow::SkinWindow(SkinFolder& folder, const QByteArray& frameSkin, WindowOps& ops,
                       FileChooser chooseFile, QWidget* parent)
    : QWidget(parent)
    , m_folder(folder)
    , m_ops(ops)
    , m_chooseFile(std::move(chooseFile))
    , m_ui(std::make_unique<Ui::SkinWindow>()) {
    m_ui->setupUi(this);
    SkinFrame::attach(*this, {.picture = frameSkin,
                              .size = QSize(kWidth, kHeight),
                              .secondLine = secondLine(),
                              .titleBarHeight = kTitleBarHeight});
    m_ui->按钮1->setFont(arrowFace());
    m_ui->按钮2->setFont(arrowFace());
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] {
        m_folder.previous();
        showPreview();
    });
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] {
        m_folder.next();
        showPreview();
    });
    connect(m_ui->画板1, &SkinBoard::released, this, &SkinWindow::onReleased);
    m_folder.open();
    showPreview();
}

SkinWindow::~SkinWindow() = default;

void SkinWindow::showPreview() {
    const SkinPreview& preview = m_folder.preview();
    const QPixmap picture =
        preview.placeholder
            ? QPixmap(QStringLiteral(":/skylark/pictures/add-skin.jpg"))
            : QPixmap::fromImage(decodeSkinPicture(SkinFolder::readPicture(preview.file)));
    m_ui->画板1->show(picture, preview.cross);
    m_ui->按钮1->setVisible(preview.previousVisible);
    m_ui->按钮2->setVisible(preview.nextVisible);
}

void SkinWindow::onReleased(QPoint at) {
    const SkinChange change = m_folder.released(at, [this] { return chooseFile(); });
    showPreview();
    QString error = change.error;
    if (change.configuredChanged) {
        const QByteArray picture = SkinFolder::readPicture(change.framePicture);
        QString refused;
        const QPixmap decoded = QPixmap::fromImage(decodeSkinPicture(picture, &refused));
        if (error.isEmpty() && !refused.isEmpty()) {
            error = QStringLiteral("无法使用图片 %1：%2").arg(change.framePicture, refused);
        }
        SkinFrame::of(*this)->setFramePicture(picture, decoded);
        Q_EMIT skinChanged();
    }
    if (!error.isEmpty()) {
        m_ops.messageBox(error, WindowOps::Buttons::Ok, QMessageBox::Warning);
    }
}

QString SkinWindow::chooseFile() {
    if (m_chooseFile) {
        return m_chooseFile();
    }
    return QFileDialog::getOpenFileName(this, QStringLiteral("打开"), QString(), dialogFilter());
}

void SkinWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace skylark::ui
