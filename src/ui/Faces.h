#pragma once

#include <QFont>

class QWidget;

namespace skylark::ui {

// The program's text face, 幼圆, at one of its three pixel heights; where it is not
// installed, a CJK face of the system (Noto Sans CJK on Debian) stands in.
enum class FaceSize { Small = 12, Normal = 16, Large = 20 };
QFont programFace(FaceSize size);

// Gives every child widget whose "face" property is "small", "normal" or "large" the
// program's face at that height.
void applyFaces(QWidget& window);

} // namespace skylark::ui
