#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

#include "db/database.h"

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

// The hiragana keyboard: "゛" and "。" turn the last character into the one one or two codes higher
// (か→が, は→ぱ); with an empty text they do nothing. Any other key is appended.
QString apply_kana_key(const QString& text, const QString& key);

// Customers whose reading starts with the text, every match, in the order the database returns.
CustomerHits search_customers(Database& db, const QString& kana_prefix);

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

void insert_customer(Database& db, const QStringList& fields);
void update_customer(Database& db, const QStringList& fields, const QString& customer_id);
// The row is kept in 削除済みデータ (with the employee) in the same transaction, so it can be restored.
void delete_customer(Database& db, const QString& customer_id, const QString& employee = QString());
