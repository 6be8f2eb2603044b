#pragma once

#include <QIcon>

namespace skylark::ui {

// The program's icon (assets/icons/skylark.svg) at the sizes built into the program.
QIcon programIcon();

} // namespace skylark::ui
