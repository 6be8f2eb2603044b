#include "ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace skylark::ui {
namespace {

QPixmap drawn(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 136, 255));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(0, 0, size, size));
    // An aeroplane seen from above, nose to the upper right.
    const double s = size / 32.0;
    QPainterPath plane;
    plane.moveTo(26 * s, 6 * s);
    plane.lineTo(17 * s, 15 * s);
    plane.lineTo(7 * s, 12 * s);
    plane.lineTo(5 * s, 14 * s);
    plane.lineTo(14 * s, 18 * s);
    plane.lineTo(10 * s, 23 * s);
    plane.lineTo(6 * s, 22 * s);
    plane.lineTo(5 * s, 23 * s);
    plane.lineTo(9 * s, 26 * s);
    plane.lineTo(12 * s, 30 * s);
    plane.lineTo(13 * s, 29 * s);
    plane.lineTo(12 * s, 25 * s);
    plane.lineTo(17 * s, 21 * s);
    plane.lineTo(21 * s, 30 * s);
    plane.lineTo(23 * s, 28 * s);
    plane.lineTo(20 * s, 18 * s);
    plane.lineTo(29 * s, 9 * s);
    plane.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(plane);
    return pixmap;
}

} // namespace

QIcon programIcon() {
    QIcon icon;
    icon.addPixmap(drawn(16));
    icon.addPixmap(drawn(32));
    icon.addPixmap(drawn(64));
    return icon;
}

} // namespace skylark::ui
