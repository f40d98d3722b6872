#pragma once

#include <QString>

class Database;

// Checks of the restorable delete and the customer merge, shared by the embedded-file tests and the
// MariaDB integration test. Each expects a database with the schema and seed rows and nothing else.
namespace restore_checks {

// A merge moves one row of every activity kind (order lines with their order) to the kept customer
// and fills its empty fields; restoring the merged customer puts everything back as it was.
void check_merge_and_undo(Database& db);

// Column kind: 顧客, 社員, 商品, テンプレート, 受注 (a record of the record list).
void add_taken_key_rows();
// The row is deleted, another row takes its key, and 元に戻す is refused with a message and changes
// nothing; once the key is free again the row comes back with its values.
void check_restore_with_taken_key(Database& db, const QString& kind);

}  // namespace restore_checks
