#pragma once

#include <QString>
#include <QStringList>

#include "db/database.h"

// Database checks shared by the embedded-file tests and the MariaDB integration test, so that both
// back-ends are held to the same behaviour. Each check expects a database holding the schema and
// seed rows and nothing else; the check_* routines assert with Qt Test macros (the calling test
// fails on the first mismatch) and the add_*_rows routines fill a data table for a _data() slot.
namespace db_checks {

// Orders used by the value and dialect checks: insert_order(db, "a", "2003/11/20", "10").
void insert_order(Database& db, const QString& title, const QString& date, const QString& amount,
                  const QString& tax = QStringLiteral("10"), const QString& discount = QStringLiteral("0"));

// Columns setup (QStringList), query (QString), expected (QString): each setup statement is run,
// then the query, whose first column of the first row must read as expected.
void add_value_kind_rows();
void check_value_kind(Database& db, const QStringList& setup, const QString& query, const QString& expected);

// Columns value, stored: value spliced through sql_text, stored, read back and looked up again.
void add_hostile_text_rows();
void check_text_round_trip(Database& db, const QString& value, const QString& stored);

// Columns value, refused: texts holding U+FFFE or U+FFFF (which SQLite would read back as U+FFFD)
// are refused with one Japanese message before anything is stored; neighbouring special characters
// (a byte-order mark, U+FFFD, other noncharacters) are stored and read back exactly.
void add_unreadable_text_rows();
void check_unreadable_text(Database& db, const QString& value, bool refused);

// Random texts drawn from characters that drivers have miscounted (ホ 付 ヘ ベ マ ミ), ASCII, quotes,
// backslashes, emoji and line breaks, 1 to 3,000 characters long, stored and read back exactly.
void check_random_texts_round_trip(Database& db, int count, quint32 seed);

// Column texts hold 255 characters: 255 are stored, 256 are refused with the Japanese message that
// names the field, and nothing of the refused statement is stored.
void check_text_too_long_is_refused(Database& db);

// A fraction in a whole-number box (an amount) is refused with the number message before anything
// is stored, so every back-end keeps the same values.
void check_fraction_in_amount_is_refused(Database& db);

// Columns query, expected: statements in the embedded dialect over insert_dialect_orders' rows.
void add_dialect_query_rows();
void insert_dialect_orders(Database& db);
void check_dialect_query(Database& db, const QString& query, const QString& expected);

// Rolled-back work leaves nothing behind, committed work stays; observer is a second connection
// to the same database, which must see exactly the committed rows.
void check_transaction_rollback(Database& db, Database& observer);

// A statement naming a table that does not exist is refused with the back-end's own message, which
// names the table and holds no NUL or undecodable characters; message receives it.
void check_refused_statement(Database& db, QString* message = nullptr);

// Column names of `select * from table` as the back-end reports them.
QStringList select_star_columns(Database& db, const QString& table);
// `select *` of every table gives the columns in the order of schema_tables().
void check_select_star_order(Database& db);

// The seed rows: the company row, the twelve RFM classes, the handling statuses.
void check_seed_rows(Database& db);
// Columns row, table, date_position, date_column: the six テーブル項目 rows describe each activity
// table in its real column order, with the date the record list sorts by where it expects it.
void add_table_item_rows();
void check_table_item(Database& db, int row, const QString& table, int date_position,
                      const QString& date_column);

// Column names are matched regardless of letter case (顧客id, EMAIL).
void check_column_names_ignore_case(Database& db);

}  // namespace db_checks
