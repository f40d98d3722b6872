#pragma once

#include <QString>
#include <QStringList>

class Database;
class Session;

// Searches and duplicate checks over one set of customers, and the customers' copies kept in step
// through every write path, shared by the embedded-file tests and the MariaDB integration test so
// that both back-ends answer the same table the same way. Each expects a database with the schema
// and seed rows and nothing else.
namespace search_checks {

// The customers the searches run over, saved through the program's own save.
void add_customers(Database& db);

// Columns kind (reading, partial, check), typed, expected (names, sorted). A check's typed text is
// "field:value" with field name, tel, fax, mobile or mail; it expects the stored customer found.
void add_search_rows();
// The sorted names a row finds.
QStringList found(Database& db, const QString& kind, const QString& typed);

// Column path: save, change, delete, restore, merge, undo, import, mail.
void add_write_path_rows();
// Changes customers through the path, then finds them by their new values and not by the old ones.
void check_write_path(Session& session, const QString& path);

// Column change: what a copy of the program that does not know the copies did (change, insert,
// delete). write_as_older_copy does it; check_after_start checks what the next start makes of it.
void add_older_copy_rows();
void write_as_older_copy(Database& db, const QString& change);
void check_after_start(Database& db, const QString& change);

}  // namespace search_checks
