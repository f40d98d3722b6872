#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

class Database;

// What the program keeps beside a customer's typed fields, derived from them alone: the folded
// reading the kana search looks in, the text the partial search looks in, and the keys the
// duplicate check looks up (the folded name, the digits of each phone number, the mail address).
// The stamp is made from the fields the copies come from; a copy is current while it matches them.
//
// Every write of a customer keeps them: the save and the import write them with the row, and every
// path that changes a customer's fields in place (a merge and its undo, a restore, the mail intake,
// a change by an older copy of the program) ends with customer_copies_follow, in the same
// transaction.
struct CustomerCopies {
    QString reading;         // 検索かな
    QString text;            // 検索文字列
    QString name_key;        // 照合名; empty for none
    QStringList phone_keys;  // 照合電話1-3, from TEL, FAX and 携帯; empty for none
    QString mail_key;        // 照合メール; empty for none
    QString stamp;           // 写し印
};

// fields: the editable fields in the order of customer_field_columns() (only the first eleven are
// read); a missing field counts as empty.
CustomerCopies customer_copies(const QStringList& fields);

// The columns the copies are kept in, and the copies as literals in that order, for an insert or
// an update that writes them with the row.
const QStringList& customer_copy_columns();
QStringList customer_copy_literals(const CustomerCopies& copies);
// The same as values to bind (a missing key is NULL).
QVector<QVariant> customer_copy_values(const CustomerCopies& copies);
// Whether a column of 顧客 is one of the copies (or the time the server keeps of a row's last change):
// never typed, filled or copied from another customer.
bool is_customer_copy_column(const QString& column);

// The keys of the duplicate check, from a field's text.
QString name_key(const QString& name);
QString phone_key(const QString& phone);
QString mail_key(const QString& mail);

// After customers' fields were written by whatever statement: recomputes their copies where they no
// longer match the fields, and brings the partial search's index in step (keys whose row is gone
// leave it). Call it inside the write's transaction. written: the copies were written with the rows
// (an import), so only the index is brought in step.
void customer_copies_follow(Database& db, const QStringList& customer_ids, bool written = false);

// Many customers inserted with their copies in one transaction (an import): the partial search's
// index takes them in once, after the rows, instead of row by row. Construct it inside the
// transaction before the inserts; finish() before the commit.
class CustomerBulkInsert {
public:
    explicit CustomerBulkInsert(Database& db);
    ~CustomerBulkInsert();
    CustomerBulkInsert(const CustomerBulkInsert&) = delete;
    CustomerBulkInsert& operator=(const CustomerBulkInsert&) = delete;
    void finish();

private:
    Database& m_db;
    qint64 m_before = 0;
    QString m_cache_size;
    QStringList m_indexes;  // made again after the rows
};

// At start: customers whose copies another program or an older copy of this one left missing or
// stale get them recomputed (on the embedded file a trigger clears the copies of every such change;
// on MySQL/MariaDB the rows changed since the last start are compared with their stamps), and the
// partial search's index takes in or lets go of rows written without it. Returns the number of
// customers whose copies were recomputed.
int repair_customer_copies(Database& db);

// Restores a kept row (see restore_deleted_rows), and the copies of every customer it puts back or
// changes follow in the same transaction. Empty when restored; otherwise the reason.
QString restore_deleted_entry(Database& db, const QString& entry_id);
