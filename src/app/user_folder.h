#pragma once

#include <QString>
#include <QStringList>

// Where the program's data lives when it is started from the desktop menu: the working folder is
// then the home folder, which holds no sales.ini.

// The folder's name under the home folder when the settings name none.
inline const QString kUserFolderName = QStringLiteral("営業手帳");

// The settings file of the desktop session ($XDG_CONFIG_HOME/eigyo-techo/eigyo-techo.conf); its key
// program_folder names the user's program folder.
QString user_settings_file();
// The folder named in the settings, else ~/営業手帳.
QString user_program_folder();
// Names folder in the settings, so the next start from the menu opens it. False when not written.
bool remember_user_program_folder(const QString& folder);

// The program folder for this start: the named one (--folder), else the working folder when it
// holds sales.ini, else the user's folder. The folder need not exist yet.
QString find_program_folder(const QString& named_folder, const QString& working_folder);
bool holds_sales_ini(const QString& folder);

// The installed shared files: <prefix>/share/eigyo-techo beside <prefix>/bin, or, in a build tree,
// the executable's own folder.
QString installed_help_file();
QString installed_translations_folder();
// The printing font's files (fonts/eigyo-techo-print-*.otf) that are there.
QStringList installed_print_fonts();
// Copies the installed help into folder/help/index.html when the folder has none. False when
// there was none to copy or the copy failed.
bool provide_help(const QString& folder);

// What `sales` was asked to do on its command line.
struct SalesArguments {
    enum Action { Run, Help, Version, Error };
    Action action = Run;
    QString folder;  // --folder DIR
    QString error;   // the message for Error
};
// arguments without the program name. Options the windowing layer takes (-platform NAME, -style
// NAME, ...) pass unread.
SalesArguments parse_sales_arguments(const QStringList& arguments);
QString sales_usage_text();
QString sales_version_text();
