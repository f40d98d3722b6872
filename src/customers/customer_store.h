#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

#include "db/database.h"
#include "db/stored_row.h"

// One entry of the search list: each entry keeps its own key, so customers sharing a name stay apart.
struct CustomerHit {
    QString id;
    QString name;
};

struct CustomerHits {
    QVector<QString> ids;
    QVector<QString> names;
    int size() const { return ids.size(); }
};

// The 18 editable columns of 顧客, in field order (column i + 1 of the row is field i).
const QStringList& customer_field_columns();
constexpr int kCustomerFieldCount = 18;

// The hiragana keyboard: "゛" and "。" turn the last character into its voiced or semi-voiced form
// (か→が, は→ば, は→ぱ, う→ゔ); a character without that form, or an empty text, stays as it is.
// Any other key is appended.
QString apply_kana_key(const QString& text, const QString& key);

// Customers whose reading starts with the text, every match, in the order the database returns.
CustomerHits search_customers(Database& db, const QString& kana_prefix);

// The keys of the customers whose folded reading starts with the folded text (katakana, half-width
// kana, case and separate voiced marks make no difference), in the order of that reading. Uses the
// index of the folded reading.
QVector<QString> search_customer_ids(Database& db, const QString& typed);

// The keys of the customers holding the typed text anywhere in 顧客名, 住所, 担当者, Email or (as
// digits) TEL, FAX and 携帯, folded as above; nothing for fewer than kPartialSearchMinimum characters.
QVector<QString> partial_search_customer_ids(Database& db, const QString& typed);
inline constexpr int kPartialSearchMinimum = 2;

// The names of the given customers, in the order of the keys ("" for a key no longer there).
QVector<QString> customer_names(Database& db, const QVector<QString>& ids);

// The whole 顧客 row (19 columns) of one customer, or nothing when there is no such key.
std::optional<QStringList> load_customer(Database& db, const QString& customer_id);

QString customer_insert_statement(const QStringList& fields);
QString customer_update_statement(const QStringList& fields, const QString& customer_id);
QString customer_delete_statement(const QString& customer_id);

// The checks of "save and next": 0 when the customer may be stored, otherwise the error number
// whose message customer_check_message gives. Later checks win: duplicate over bad reading over
// empty field.
int check_new_customer(Database& db, const QStringList& fields);
QString customer_check_message(int error);

// A new customer with its copies (see customer_copies), in one transaction; returns its key. With
// empty_as_null, empty fields are left NULL (as the mail intake leaves them), otherwise stored empty.
QString insert_customer(Database& db, const QStringList& fields, bool empty_as_null = false);
// With shown (the row as the screen read it) the save first checks that no other PC changed or
// deleted the customer since; see write_checked.
RowAddress customer_address(const QString& customer_id);
WriteCheck update_customer(Database& db, const QStringList& fields, const QString& customer_id,
                           const StoredRow* shown = nullptr, StoredRow* stored = nullptr);
// The row is kept in 削除済みデータ (with the employee) in the same transaction, so it can be restored.
WriteCheck delete_customer(Database& db, const QString& customer_id, const QString& employee = QString(),
                           const StoredRow* shown = nullptr, StoredRow* stored = nullptr);
