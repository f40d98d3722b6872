#pragma once

#include <QString>

class QApplication;

// Start-up to the end of the program: sales.ini, the database, the login window, the main window.
// Returns the exit status: 0 after a normal end or a cancelled login, 1 when start-up failed.
int run_program(QApplication& app, const QString& program_folder);

// Qt's own texts (the standard buttons OK, Yes, No, Cancel, the file dialog) in Japanese. False when
// the translation file is missing.
bool install_japanese_translation(QApplication& app);
