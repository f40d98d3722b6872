#pragma once

#include <QString>
#include <QtGlobal>

// The log file for support: $XDG_STATE_HOME/eigyo-techo/sales.log (~/.local/state/...), written
// through Qt's message handler. It holds the start-up facts, each mail session's commands and
// replies (never the login lines), database errors with their statements' values elided, and Qt's
// own warnings. It is kept small: past kLogFileBytes it moves to sales.log.1 (and that to
// sales.log.2); older generations go.

inline constexpr qint64 kLogFileBytes = 1024 * 1024;
inline constexpr int kLogGenerations = 2;  // kept besides the current file

QString log_folder();
QString log_file_path();

// Installs the handler (once per process). The program's own categories (sales.*) go to the file
// only; everything else also to the handler that was there before (the terminal).
void install_log_file();
// Whether install_log_file ran.
bool log_file_installed();

// Writes one line as the handler does (tests write without a handler). Rotates when needed.
void append_log_line(const QString& line);

// Secrets: a text given here never reaches the log as it is; every occurrence is replaced by
// "********". Passwords and tokens are noted as soon as the program holds them.
void keep_out_of_log(const QString& secret);
QString without_secrets(QString text);

// "起動" line: version, back-end, database, program folder.
void log_startup_facts(const QString& version, const QString& db_kind, const QString& database_name,
                       const QString& program_folder);
