#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// The laptop's own tables beside the design's, made when a copy is taken out: what the copy was
// taken from, and the journal of every change made on it since. Triggers on the embedded file fill
// the journal, so a change is kept whatever part of the program (or another tool) wrote it, in the
// same transaction as the change.
inline const QString kCopyInfoTable = QStringLiteral("持ち出し情報");
inline const QString kJournalTable = QStringLiteral("持ち出し変更");

// Rows the laptop numbers itself get keys above this, so they never meet a key of the office's
// (which numbers its own rows from 1) and are told apart from rows the office already has.
inline constexpr qint64 kLaptopKeyBase = 1000000000;

// How sync finds a table's row in the office database.
enum class RowIdentity {
    Numbered,  // a key the database numbers: a new row gets the office's own key
    Given,     // a key typed by the user (a template's name): the same on both sides
    Unkeyed,   // no key (order lines): the row is found by all of its values
};

// One table that travels with the copy, as the laptop's file describes it.
struct TableShape {
    QString name;
    QStringList columns;
    QVector<bool> numeric;       // holds numbers: compared as numbers, written bare
    QVector<bool> derived;       // folded copies recomputed on the office side, never sent
    QVector<QString> refers_to;  // the numbered table a column points to ("" for none)
    RowIdentity identity = RowIdentity::Unkeyed;
    int key = -1;  // the key column (Numbered, Given)

    int column(const QString& name) const;  // -1 when absent
    bool is_deleted_rows() const;
};

// The tables that travel, parents before the tables whose rows point to them. The program's own
// bookkeeping (schema version, the copy's tables, the office's applied changes, search indexes) and
// the tables of local_only_tables() stay behind.
QVector<TableShape> synced_tables(Database& laptop);
const TableShape* find_shape(const QVector<TableShape>& shapes, const QString& table);

// Tables that hold one PC's own state rather than the company's data; they are copied out but never
// sent back. Empty today: the place to name such a table.
const QStringList& local_only_tables();

// A customer's copies (folded reading, search text, match keys, their stamp) are derived: the laptop
// never sends them, the office computes them again after a sync writes the customer.
bool is_derived_column(const QString& table, const QString& column);
void recompute_derived_columns(Database& office, const QString& table, const QString& key);

// What the copy was taken from, and when.
struct CopyInfo {
    QString copy_id;          // identifies the copy's changes in the office database
    QString office_kind;      // Jet, Mysql or Mssql
    QString office_database;  // the file name (Jet) or the data source
    QString office_folder;    // the office's program folder (Jet)
    QString employee;         // who took it out
    QDateTime taken_at;
    QDateTime synced_at;  // the last sync; invalid before the first
};

bool is_taken_out_copy(Database& db);
// Throws DatabaseError when the database is not a taken-out copy.
CopyInfo read_copy_info(Database& laptop);

// Makes the copy's tables in a new laptop file (recording off until set_recording(true)).
void create_copy_tables(Database& laptop, const CopyInfo& info);
void write_copy_info(Database& laptop, const QString& item, const QString& value);
void set_recording(Database& laptop, bool on);

// (Re)makes the journal's triggers on every synced table for its present columns.
void install_journal_triggers(Database& laptop, const QVector<TableShape>& shapes);
// On a taken-out copy, at the start of the program: the journal's triggers for the tables and columns
// the file has now (a newer program may have added some). Nothing on any other database.
void keep_journal_complete(Database& db);

// Rows changed on the laptop and not yet brought back (the restorable copies of deletes go with the
// deletes and are not counted apart).
int pending_change_count(Database& laptop);

// Text of a time as the copy's tables keep it.
QString copy_time_text(const QDateTime& time);
QDateTime copy_time(const QString& text);
