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

// Columns kept, other ("<NULL>": no 顧客名), lines ("order:name"), merged, undone: the other's order
// lines take the kept customer's final name (none: keep theirs); the undo gives each its own back.
void add_merge_line_name_rows();
void check_merge_line_names(Database& db, const QString& kept, const QString& other, const QStringList& lines,
                            const QStringList& merged, const QStringList& undone);
// Column value: a 住所 deleted and restored, or filled by a merge then undone, comes back exact.
void add_exact_value_rows();
void check_restore_gives_back_exact_value(Database& db, const QString& value);
// Columns title, other, kept_before_kind, restored: titles compare as texts, also in rows kept
// before the key's kind was.
void add_text_key_rows();
void check_restore_text_key(Database& db, const QString& title, const QString& other, bool kept_before_kind,
                            bool restored);

}  // namespace restore_checks
