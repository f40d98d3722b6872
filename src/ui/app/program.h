#pragma once

#include <QString>

class QApplication;

// Start-up to the end of the program: sales.ini, the database, the login window, the main window.
// Returns the exit status: 0 after a normal end or a cancelled login, 1 when start-up failed.
int run_program(QApplication& app, const QString& program_folder);

// Qt's own texts (the standard buttons OK, Yes, No, Cancel, the file dialog) in Japanese. False when
// the translation file is missing.
bool install_japanese_translation(QApplication& app);

// The start of `sales`: finds the program folder (named_folder from --folder, else the working folder
// when it holds sales.ini, else the user's folder), offers はじめに when it holds no sales.ini, fills
// in its help page from the installed one, makes it the working folder and runs the program there.
int start_program(QApplication& app, const QString& named_folder);
