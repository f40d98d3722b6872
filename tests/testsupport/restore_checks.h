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

// Columns kept, other (顧客名 of the two customers; "<NULL>" for none), lines (the other customer's
// order lines as "order:name", orders counted from 1), merged and undone (every line's 顧客名 after
// the merge and after its undo, in order). The moved lines carry the kept customer's final name (the
// other's when it filled an empty one); with no name at all they keep their own. The undo gives each
// line back its own name, and the kept customer's own lines are never touched.
void add_merge_line_name_rows();
void check_merge_line_names(Database& db, const QString& kept, const QString& other, const QStringList& lines,
                            const QStringList& merged, const QStringList& undone);

// Column value ("<NULL>" for NULL): a customer's 住所, deleted and restored, and filled into another
// customer by a merge that is then undone, comes back exactly.
void add_exact_value_rows();
void check_restore_gives_back_exact_value(Database& db, const QString& value);

// An employee deleted while another of the same name is added is not restored (two employees of one
// name would make the records ambiguous): the refusal names the name, nothing changes; once the other
// is renamed, the restore goes through.
void check_restore_with_taken_name(Database& db);

// Columns title, other, kept_before_kind, restored: a template titled title is deleted, one titled
// other is added, and the restore goes through (restored) or is refused; a title is compared as the
// text it is (「2024」 is not 「02024」, blanks at an end count), also for rows kept before the key's
// kind was kept with them (kept_before_kind).
void add_text_key_rows();
void check_restore_text_key(Database& db, const QString& title, const QString& other, bool kept_before_kind,
                            bool restored);

// Kept rows are removed by the clock that stamped them (database_time) once past the keeping days.
void check_purge_by_stamping_clock(Database& db);

}  // namespace restore_checks
