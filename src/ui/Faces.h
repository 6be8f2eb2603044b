#pragma once

#include <QFont>

class QWidget;

namespace skylark::ui {

// The program's text face, 幼圆, at one of its three pixel heights; where it is not
// installed, a CJK face of the system (Noto Sans CJK on Debian) stands in.
enum class FaceSize { Small = 12, Normal = 16, Large = 20 };
QFont programFace(FaceSize size);

// The face of the frames the skin layer draws: 微软雅黑, else 宋体, else Noto Sans CJK.
QFont frameFace(int pixelSize);

// Gives every child widget whose "face" property is "small", "normal" or "large" the
// program's face at that height.
void applyFaces(QWidget& window);

} // namespace skylark::ui
