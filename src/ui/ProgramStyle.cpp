#include "ProgramStyle.h"

#include <QApplication>
#include <QFile>

namespace skylark::ui {

void applyProgramStyle(QApplication& application) {
    QFile sheet(QStringLiteral(":/skylark/style/skylark.qss"));
    if (sheet.open(QIODevice::ReadOnly)) {
        application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
}

} // namespace skylark::ui
