#include "Faces.h"

#include <QWidget>

namespace skylark::ui {

QFont programFace(FaceSize size) {
    QFont font;
    font.setFamilies({QStringLiteral("幼圆"), QStringLiteral("YouYuan"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK")});
    font.setPixelSize(int(size));
    font.setWeight(QFont::Normal);
    return font;
}

QFont frameFace(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK")});
    font.setPixelSize(pixelSize);
    return font;
}

void applyFaces(QWidget& window) {
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const QString face = widget->property("face").toString();
        if (face == u"small") {
            widget->setFont(programFace(FaceSize::Small));
        } else if (face == u"normal") {
            widget->setFont(programFace(FaceSize::Normal));
        } else if (face == u"large") {
            widget->setFont(programFace(FaceSize::Large));
        }
    }
}

} // namespace skylark::ui
