#include "ProgramIcon.h"

namespace skylark::ui {

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/skylark/icons/skylark-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace skylark::ui
