#pragma once

#include <QDate>
#include <QString>

class Session;

// "backup_" + today as yyyymmdd + ".mdb".
QString default_backup_name(const QDate& today);

struct MaintenanceResult {
    bool ok = false;
    QString message;  // for the user, in either case
};

// Copies the open embedded database to target through SQLite itself (VACUUM INTO), so that rows
// still in the write-ahead log are included, then opens the copy and compares the row counts of
// every table. Only a verified copy replaces an existing target. The session stays connected.
MaintenanceResult backup_database(Session& session, const QString& target);

// Makes the chosen file the configured database: it must be a database of this program (every table
// present). Only its name is written to sales.ini, with first_entry and db_kind as they were; a file
// outside the program folder is first copied into it (as the program opens the database from there).
// On success the connection is closed and the user is asked to restart; on failure nothing changes.
MaintenanceResult switch_database(Session& session, const QString& chosen_path);

// Puts the file `from` in the place of `to` in one step, replacing an existing `to`; on failure `to`
// is left as it was and reason (when given) says why.
bool replace_file(const QString& from, const QString& to, QString* reason = nullptr);
