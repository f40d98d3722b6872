#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include "app/session.h"
#include "db/database.h"

// The generic list and editor of one activity table, described by an entry of テーブル項目.
// The edit boxes hold fields 1 to n-1 of a record (box i-1 holds field i); field 0 is the key.

// The field that orders the list: field 4 for inquiries, claims and costs (entries 3 to 5), field 3
// for orders, estimates and visits.
int record_list_date_field(int entry);

// "select * from T where …" for the employee (scope 1) or the shown customer (scope 2), newest first.
// Throws DatabaseError when there is nothing to list for (no customer shown, no such entry).
QString record_list_statement(const Session& session, int entry);

// The records of the entry, their first n columns.
ResultTable load_record_list(Database& db, const Session& session, int entry);

// The handling statuses offered for 状況, in table order.
QStringList load_statuses(Database& db);

// What the update writes for a field, by its name alone.
enum class FieldKind { Status, Bare, Quoted };
FieldKind field_kind(const QString& field_name);

// The update statement of the record with this key. status is what 状況 receives. Returns an empty
// text and sets message when a bare field, an amount or the key is not a number.
QString record_update_statement(const TableItem& item, const QString& key, const QStringList& boxes,
                                const QString& status, QString* message);

// Tests every date field (name containing "日"), rewriting each that passes in canonical form,
// then the numbers, then stores. Returns the messages to show; empty when the record was stored.
QStringList update_record(Database& db, const TableItem& item, const QString& key, QStringList& boxes,
                          const QString& status, const QDate& today);

// Deletes the record; false (nothing run) when the key is not a number.
// The row is kept in 削除済みデータ in the same transaction.
bool delete_record(Database& db, const TableItem& item, const QString& key,
                   const QString& employee = QString());
