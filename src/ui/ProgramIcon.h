#pragma once

#include <QIcon>

namespace skylark::ui {

// The program's icon: a white aeroplane on the skin's blue, drawn at 16 and 32 pixels.
QIcon programIcon();

} // namespace skylark::ui
