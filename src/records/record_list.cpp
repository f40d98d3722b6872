#include "records/record_list.h"

#include "db/deleted_rows.h"
#include "db/schema.h"
#include "records/check.h"
#include "records/number_text.h"

namespace {

const TableItem* entry_item(const Session& session, int entry) {
    return entry >= 0 && entry < session.table_items.size() ? &session.table_items.at(entry) : nullptr;
}

// The schema kind of a column, so that amounts accept whole numbers only whatever the description says.
std::optional<ColumnKind> column_kind(const QString& table, const QString& column) {
    for (const TableDef& t : schema_tables()) {
        if (t.name.compare(table, Qt::CaseInsensitive) != 0)
            continue;
        for (const ColumnDef& c : t.columns) {
            if (c.name.compare(column, Qt::CaseInsensitive) == 0)
                return c.kind;
        }
    }
    return std::nullopt;
}

bool holds_whole_numbers(const QString& table, const QString& column) {
    const std::optional<ColumnKind> kind = column_kind(table, column);
    return kind && (*kind == ColumnKind::Whole || *kind == ColumnKind::Key);
}

}  // namespace

int record_list_date_field(int entry) {
    return entry >= 3 && entry <= 5 ? 4 : 3;
}

QString record_list_statement(const Session& session, int entry) {
    const TableItem* item = entry_item(session, entry);
    if (!item)
        throw DatabaseError(QStringLiteral("表示する履歴データがありません"));
    const QString head = QStringLiteral("select * from ") + item->table_name;
    const QString order = QStringLiteral(" order by ") +
                          item->field_names.value(record_list_date_field(entry)) + QStringLiteral(" desc");
    if (session.history_scope == 1)
        return head + QStringLiteral(" where 社員=") + sql_text(session.current_employee) + order;
    if (session.history_scope == 2 && is_key(session.current_customer_id))
        return head + QStringLiteral(" where 顧客ID=") + session.current_customer_id.trimmed() + order;
    throw DatabaseError(QStringLiteral("顧客を選択してください"));
}

ResultTable load_record_list(Database& db, const Session& session, int entry) {
    const TableItem* item = entry_item(session, entry);
    const QString statement = record_list_statement(session, entry);
    return db.query_rows(statement, std::clamp(item->field_count, 1, 8));
}

QStringList load_statuses(Database& db) {
    const ResultTable rows = db.query_rows(QStringLiteral("select * from 対応状況 "), 2);
    QStringList statuses;
    for (int row = 1; row <= rows.row_count(); ++row)
        statuses << rows(1, row);
    return statuses;
}

FieldKind field_kind(const QString& field_name) {
    if (field_name == QStringLiteral("状況"))
        return FieldKind::Status;
    if (field_name.contains(QStringLiteral("率")) || field_name.contains(QStringLiteral("ID")))
        return FieldKind::Bare;
    return FieldKind::Quoted;
}

QString record_update_statement(const TableItem& item, const QString& key, const QStringList& boxes,
                                const QString& status, QString* message) {
    auto refuse = [&] {
        if (message)
            *message = kNumberMessage;
        return QString();
    };
    if (!is_key(key))
        return refuse();
    QStringList assignments;
    for (int i = 1; i < item.field_count; ++i) {
        const QString name = item.field_names.value(i);
        const QString box = boxes.value(i - 1);
        const bool whole = holds_whole_numbers(item.table_name, name);
        switch (field_kind(name)) {
            case FieldKind::Status:
                assignments << name + QLatin1Char('=') + sql_text(status);
                break;
            case FieldKind::Bare: {
                // Written without quotes, so anything but a number would change the statement.
                const std::optional<QString> number = whole ? whole_number(box) : plain_number(box);
                if (!number)
                    return refuse();
                assignments << name + QLatin1Char('=') + *number;
                break;
            }
            case FieldKind::Quoted:
                if (whole) {
                    const std::optional<QString> number = whole_number(box, QStringLiteral("0"));
                    if (!number)
                        return refuse();
                    assignments << name + QLatin1Char('=') + sql_text(*number);
                } else {
                    assignments << name + QLatin1Char('=') + sql_text(box);
                }
                break;
        }
    }
    return QStringLiteral("update ") + item.table_name + QStringLiteral(" set ") +
           assignments.join(QLatin1Char(',')) + QStringLiteral(" where ") + item.field_names.value(0) +
           QLatin1Char('=') + key.trimmed();
}

QStringList update_record(Database& db, const TableItem& item, const QString& key, QStringList& boxes,
                          const QString& status, const QDate& today) {
    while (boxes.size() < item.field_count - 1)
        boxes << QString();
    QStringList messages;
    for (int i = 1; i < item.field_count; ++i) {
        if (!item.field_names.value(i).contains(QStringLiteral("日")))
            continue;
        QString value = boxes.at(i - 1);
        if (check_date(value, QString(), true, true, today))
            boxes[i - 1] = value;
        else
            messages << kDateMessageClaim;
    }
    if (!messages.isEmpty())
        return messages;
    QString message;
    const QString statement = record_update_statement(item, key, boxes, status, &message);
    if (statement.isEmpty())
        return {message};
    db.execute_sql(statement);
    return {};
}

bool delete_record(Database& db, const TableItem& item, const QString& key, const QString& employee) {
    if (!is_key(key))
        return false;
    Transaction transaction(db);
    remember_deleted_rows(db, {item.table_name, item.key_field, key.trimmed()}, employee);
    db.execute_sql(QStringLiteral("delete from ") + item.table_name + QStringLiteral(" where ") +
                   item.key_field + QLatin1Char('=') + key.trimmed());
    transaction.commit();
    return true;
}
