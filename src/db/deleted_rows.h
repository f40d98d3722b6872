#pragma once

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class Database;

// Deleting a customer, an activity record, an employee, goods or a template first keeps the row's
// values in 削除済みデータ (table, key, time, employee), so that 元に戻す can put it back under the
// same key. A merge of customers is kept the same way, with what it moved, and undone by restoring.

// The rows a delete removes: table, key column and key value (a number, or a text such as a
// template's name).
struct RowKey {
    QString table;
    QString column;
    QString value;
    bool text = false;
    // "[column]=value", the value spliced safely; empty when a number key is not a number.
    QString condition() const;
};

// A row's values with NULL told apart from text: columns, and values as JSON strings or null.
struct RowValues {
    QStringList columns;
    QJsonArray values;
    QString value(const QString& column) const;  // "" for NULL or an unknown column
};
QVector<RowValues> read_rows(Database& db, const QString& table, const QString& condition);

inline const QString kDeleteKind = QStringLiteral("削除");
inline const QString kMergeKind = QStringLiteral("統合");

// The time by the clock that stamps kept rows: on a shared server the server's (one clock for every
// PC), for the embedded file this computer's. Never the session's clock, which --as-of fixes.
QDateTime database_time(Database& db);

// Keeps every row that the key selects, with the key's kind; call it in the delete's transaction,
// before the delete. undo holds what a restore must also set back (see the merge): "moves" (a column
// set back over a list of keys), "rows" (a column set back in rows found by their other values) and
// "fills". Returns the number of rows kept.
int remember_deleted_rows(Database& db, const RowKey& key, const QString& employee,
                          const QString& kind = kDeleteKind, const QJsonObject& undo = {});

struct DeletedEntry {
    QString id;
    QString kind;  // 削除 or 統合
    QString table;
    QString key_column;
    QString key;
    QString deleted_at;  // yyyy/MM/dd hh:mm:ss
    QString employee;
    QString summary;  // the row's name or title, for the list
};
// Newest first.
QVector<DeletedEntry> list_deleted_rows(Database& db);

// Puts the row back under its original key, and sets back what a merge moved, in one transaction.
// Returns the message for the user when it is refused (nothing changes then): the key, or a value
// the masters keep unique (an employee's name), is taken. Empty when restored.
// written, when given, is told inside the transaction of every row the restore wrote (the one put
// back, and those a merge's undo set back), so that what is kept beside them can follow.
using RowsWritten = std::function<void(const QString& table, const QStringList& keys)>;
QString restore_deleted_rows(Database& db, const QString& entry_id, const RowsWritten& written = {});

// Removes kept rows deleted more than days days before today.
int purge_deleted_rows(Database& db, const QDate& today, int days);
// The same by database_time(): what the start-up runs.
int purge_deleted_rows(Database& db, int days);

// How many days deleted rows are kept (a setting of the database; 90 unless set).
inline constexpr int kDefaultKeepDays = 90;
int deleted_rows_keep_days(Database& db);
void set_deleted_rows_keep_days(Database& db, int days);
