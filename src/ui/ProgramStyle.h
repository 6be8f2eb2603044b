#pragma once

class QApplication;

namespace skylark::ui {

// Gives the standard controls of every window the program's look, a style sheet of ours.
// Call it once, after the application exists.
void applyProgramStyle(QApplication& application);

} // namespace skylark::ui
