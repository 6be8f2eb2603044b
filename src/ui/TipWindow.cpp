#include "TipWindow.h"

#include "Faces.h"
#include "WindowOps.h"
#include "app/WindowRules.h"

#include "ui_TipWindow.h"

#include <QPixmap>

namespace skylark::ui {

TipWindow::TipWindow(QWidget* owner, int tickMs)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::MSWindowsFixedSizeDialogHint)
    , m_ui(std::make_unique<Ui::TipWindow>()) {
    m_ui->setupUi(this);
    keepOuterSize(*this, QSize(396, 195));
    setWindowTitle(tipWindowCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    applyFaces(*this);
    m_ui->图片框1->setScaledContents(true);
    m_ui->图片框1->setPixmap(QPixmap(QStringLiteral(":/skylark/pictures/tip.jpg")));
    connect(&m_timer, &QTimer::timeout, this, &TipWindow::tick);
    m_timer.start(tickMs);
}

TipWindow::~TipWindow() = default;

void TipWindow::tick() {
    if (const std::optional<QString> caption = tipCaptionAfterTick(m_ticks)) {
        setWindowTitle(*caption);
    } else {
        m_timer.stop();
        close();
    }
}

} // namespace skylark::ui
