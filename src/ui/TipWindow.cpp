#include "TipWindow.h"

#include "Faces.h"
#include "app/WindowRules.h"

#include <QLabel>

namespace skylark::ui {

TipWindow::TipWindow(QWidget* owner, int tickMs)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setFixedSize(396, 195);
    setWindowTitle(tipWindowCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("图片框1"));
    picture->setGeometry(-3, 0, 396, 168);
    picture->setAlignment(Qt::AlignCenter);
    picture->setWordWrap(true);
    picture->setFont(programFace(FaceSize::Normal));
    picture->setText(QStringLiteral("点关闭按钮后，软件将在系统托盘处继续运行；\n"
                                    "若要退出软件，请在托盘图标上点击鼠标右键。"));
    connect(&m_timer, &QTimer::timeout, this, &TipWindow::tick);
    m_timer.start(tickMs);
}

void TipWindow::tick() {
    if (const std::optional<QString> caption = tipCaptionAfterTick(m_ticks)) {
        setWindowTitle(*caption);
    } else {
        m_timer.stop();
        close();
    }
}

} // namespace skylark::ui
