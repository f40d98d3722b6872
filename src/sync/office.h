#pragma once

#include <QString>

#include "db/database_error.h"
#include "sync/sync_tables.h"

class Database;

// Where a copy comes from: the office database as sales.ini names it, and the office's program
// folder (where an embedded file lives).
struct OfficeIdentity {
    QString kind;      // Jet, Mysql or Mssql
    QString database;  // the file name (Jet) or the data source
    QString folder;    // the program folder; the embedded file is taken from it
};

// The office database cannot be opened from here (no network, server down, file share missing).
class OfficeUnreachable : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// Opens the office database the copy was taken from. Throws OfficeUnreachable with a message that
// says the laptop can go on working.
void open_office(Database& office, const CopyInfo& info);

// The message for an office that cannot be reached, with the back-end's reason.
QString office_unreachable_message(const QString& reason);
