#pragma once

class QApplication;

namespace skylark::ui {

// Gives the standard controls of every window the program's look, a style sheet of ours.
// Call it once, after the application exists.
void applyProgramStyle(QApplication& application);

// Qt's own texts (dialog buttons, the file dialog) in Chinese like the program's, whatever
// the system's locale: Qt's translations for Simplified Chinese, where they are installed.
// True when they were found.
bool installQtTranslations(QApplication& application);

} // namespace skylark::ui
