#include "db/deleted_rows.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>

#include "db/database.h"
#include "db/deleted_rows_schema.h"
#include "db/schema.h"

namespace {

const QString kKeepDaysItem = QStringLiteral("削除済みデータ保存日数");

bool is_number(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^-?\\d+$"));
    return re.match(text.trimmed()).hasMatch();
}

QString ident(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString literal(const QJsonValue& v) {
    return v.isNull() || v.isUndefined() ? QStringLiteral("NULL") : sql_text(v.toString());
}

// "[column]=value", or "[column] is null" for NULL (which "=" never matches).
QString equals(const QString& column, const QJsonValue& v) {
    return v.isNull() || v.isUndefined() ? ident(column) + QStringLiteral(" is null")
                                         : ident(column) + QLatin1Char('=') + sql_text(v.toString());
}

// The JSON kept in 内容. Qt's reader drops a U+FEFF that begins a string (as if it were a byte-order
// mark), so the character is written escaped, and escaped before reading in texts kept unescaped.
QString json_text(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))
        .replace(QChar(0xFEFF), QStringLiteral("\\ufeff"));
}
QJsonObject json_object(QString text) {
    return QJsonDocument::fromJson(text.replace(QChar(0xFEFF), QStringLiteral("\\ufeff")).toUtf8()).object();
}

// Whether a table's key column holds texts, from the table's definition; unknown columns by their value.
bool key_is_text(const QString& table, const QString& column, const QString& value) {
    for (const TableDef& t : schema_tables()) {
        if (t.name != table)
            continue;
        for (const ColumnDef& c : t.columns)
            if (c.name.compare(column, Qt::CaseInsensitive) == 0)
                return c.kind != ColumnKind::Key && c.kind != ColumnKind::Whole &&
                       c.kind != ColumnKind::Decimal;
    }
    return !is_number(value);
}

// Values the masters keep unique beside the keys: records carry an employee's name, not the key.
struct UniqueColumn {
    QString table;
    QString column;
};
const QVector<UniqueColumn>& unique_columns() {
    static const QVector<UniqueColumn> columns = {{QStringLiteral("社員"), QStringLiteral("社員")}};
    return columns;
}

// A table whose key the database numbers: restoring it names the key outright.
bool has_numbered_key(const QString& table, const QString& key_column) {
    for (const TableDef& t : schema_tables())
        if (t.name == table)
            return !t.columns.isEmpty() && t.columns.first().kind == ColumnKind::Key &&
                   t.columns.first().name.compare(key_column, Qt::CaseInsensitive) == 0;
    return false;
}

// "a,b,c" of keys that are numbers; texts are quoted.
QString key_list(const QJsonArray& keys) {
    QStringList out;
    for (const QJsonValue& k : keys)
        out << (is_number(k.toString()) ? k.toString().trimmed() : sql_text(k.toString()));
    return out.join(QLatin1Char(','));
}

QString summary_of(const RowValues& row, const QString& kind, const QJsonObject& undo) {
    QStringList parts;
    for (const char* name : {"顧客名", "社員", "商品名", "名称"}) {
        const QString v = row.value(QString::fromUtf8(name));
        if (!v.isEmpty()) {
            parts << v;
            break;
        }
    }
    for (const QString& c : row.columns) {
        if (c.endsWith(QStringLiteral("日")) && !row.value(c).isEmpty()) {
            parts << row.value(c);
            break;
        }
    }
    if (kind == kMergeKind)
        parts << QStringLiteral("→ %1 に統合").arg(undo.value(QStringLiteral("kept_name")).toString());
    return parts.join(QStringLiteral("　"));
}

// Runs the statements that set back what a merge moved and filled. Each sets a column back only
// where it still holds what the merge wrote; a later change stays.
void undo_changes(Database& db, const QJsonObject& undo, const RowsWritten& written) {
    const QJsonArray moves = undo.value(QStringLiteral("moves")).toArray();
    for (const QJsonValue& mv : moves) {
        const QJsonObject m = mv.toObject();
        const QString column = m.value(QStringLiteral("column")).toString();
        const QJsonArray keys = m.value(QStringLiteral("keys")).toArray();
        // In pieces, so no statement grows past what a back-end takes.
        for (qsizetype i = 0; i < keys.size(); i += 500) {
            QJsonArray part;
            for (qsizetype j = i; j < qMin(keys.size(), i + 500); ++j)
                part.append(keys.at(j));
            db.execute_sql(QStringLiteral("update [%1] set [%2]=%3 where [%4] in (%5) and %6")
                               .arg(m.value(QStringLiteral("table")).toString(), column,
                                    literal(m.value(QStringLiteral("from"))),
                                    m.value(QStringLiteral("key_column")).toString(), key_list(part),
                                    equals(column, m.value(QStringLiteral("to")))));
        }
        if (written) {
            QStringList moved;
            for (const QJsonValue& k : keys)
                moved << k.toString();
            written(m.value(QStringLiteral("table")).toString(), moved);
        }
    }
    // Rows without a key of their own (order lines), found by all their other values.
    const QJsonArray rows = undo.value(QStringLiteral("rows")).toArray();
    for (const QJsonValue& rv : rows) {
        const QJsonObject r = rv.toObject();
        const QString column = r.value(QStringLiteral("column")).toString();
        QStringList where{equals(column, r.value(QStringLiteral("to")))};
        const QJsonObject match = r.value(QStringLiteral("match")).toObject();
        for (auto it = match.begin(); it != match.end(); ++it)
            where << equals(it.key(), it.value());
        db.execute_sql(QStringLiteral("update [%1] set [%2]=%3 where %4")
                           .arg(r.value(QStringLiteral("table")).toString(), column,
                                literal(r.value(QStringLiteral("from"))),
                                where.join(QStringLiteral(" and "))));
    }
    const QJsonArray fills = undo.value(QStringLiteral("fills")).toArray();
    for (const QJsonValue& fv : fills) {
        const QJsonObject f = fv.toObject();
        const QString column = f.value(QStringLiteral("column")).toString();
        db.execute_sql(QStringLiteral("update [%1] set [%2]=%3 where [%4]=%5 and %6")
                           .arg(f.value(QStringLiteral("table")).toString(), column,
                                literal(f.value(QStringLiteral("was"))),
                                f.value(QStringLiteral("key_column")).toString(),
                                key_list(QJsonArray{f.value(QStringLiteral("key"))}),
                                equals(column, f.value(QStringLiteral("value")))));
        if (written)
            written(f.value(QStringLiteral("table")).toString(), {f.value(QStringLiteral("key")).toString()});
    }
}

// The message refusing a restore when a value the masters keep unique is taken; empty when free.
QString unique_value_taken(Database& db, const QString& table, const QString& key_column,
                           const QJsonArray& columns, const QJsonArray& values) {
    for (const UniqueColumn& u : unique_columns()) {
        if (u.table != table)
            continue;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (columns.at(i).toString().compare(u.column, Qt::CaseInsensitive) != 0 || values.at(i).isNull())
                continue;
            const ResultTable other =
                db.query_rows(QStringLiteral("select [%1] from [%2] where %3")
                                  .arg(key_column, table, equals(u.column, values.at(i))),
                              1);
            if (other.row_count() > 0)
                return QStringLiteral(
                           "元に戻せません。%1 の %2「%3」はすでに別のデータ（%4 %5）が使っています。"
                           "同じ値は 1 つしか登録できないため、先にそちらを変更してください。")
                    .arg(table, u.column, values.at(i).toString(), key_column, other(0, 1));
        }
    }
    return QString();
}

}  // namespace

QString RowKey::condition() const {
    if (text)
        return ident(column) + QLatin1Char('=') + sql_text(value);
    if (!is_number(value))
        return QString();
    return ident(column) + QLatin1Char('=') + value.trimmed();
}

QString RowValues::value(const QString& name) const {
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return values.at(i).toString();
    return QString();
}

QVector<RowValues> read_rows(Database& db, const QString& table, const QString& condition) {
    const QStringList columns = db.column_names(QStringLiteral("select * from [%1] where 1=0").arg(table));
    QStringList select;
    for (const QString& c : columns)
        select << ident(c) << QStringLiteral("case when %1 is null then 1 else 0 end").arg(ident(c));
    const ResultTable rows = db.query_rows(
        QStringLiteral("select %1 from [%2] where %3").arg(select.join(QLatin1Char(',')), table, condition),
        int(columns.size()) * 2);
    QVector<RowValues> out;
    for (int r = 1; r <= rows.row_count(); ++r) {
        RowValues row{columns, {}};
        for (int c = 0; c < columns.size(); ++c)
            row.values.append(rows(c * 2 + 1, r) == QLatin1String("1") ? QJsonValue()
                                                                       : QJsonValue(rows(c * 2, r)));
        out << row;
    }
    return out;
}

QDateTime database_time(Database& db) {
    QString statement;
    switch (db.dialect()) {
        case Dialect::Sqlite:
            return QDateTime::currentDateTime();
        case Dialect::MySql:
            statement = QStringLiteral("select cast(now() as char)");
            break;
        case Dialect::SqlServer:
            statement = QStringLiteral("select convert(varchar(19), getdate(), 120)");
            break;
    }
    const QString text = db.query_rows(statement, 1)(0, 1);
    const QDateTime time = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!time.isValid())
        throw DatabaseError(QStringLiteral("データベースサーバーの時刻を読めませんでした: ") + text);
    return time;
}

int remember_deleted_rows(Database& db, const RowKey& key, const QString& employee, const QString& kind,
                          const QJsonObject& undo) {
    const QString condition = key.condition();
    if (condition.isEmpty())
        return 0;
    const QString now = database_time(db).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    const QVector<RowValues> rows = read_rows(db, key.table, condition);
    for (const RowValues& row : rows) {
        QJsonObject content{{QStringLiteral("columns"), QJsonArray::fromStringList(row.columns)},
                            {QStringLiteral("values"), row.values}};
        if (!undo.isEmpty())
            content.insert(QStringLiteral("undo"), undo);
        // A text key is kept exactly (a title may begin or end with blanks), and so is its kind. The
        // values are joined, not put in by a second arg(): a %1 in a kept text would take one.
        const QStringList values{sql_text(kind),
                                 sql_text(key.table),
                                 sql_text(key.column),
                                 sql_text(key.text ? key.value : key.value.trimmed()),
                                 sql_text(json_text(content)),
                                 sql_text(now),
                                 sql_text(employee),
                                 sql_text(key.text ? kTextKeyKind : kNumberKeyKind)};
        db.execute_sql(QStringLiteral("insert into [%1] ([種類],[テーブル名],[キー列],[キー],[内容],[削除日時],"
                                      "[社員],[%2]) values(")
                           .arg(kDeletedRowsTable, kKeyKindColumn) +
                       values.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    return int(rows.size());
}

QVector<DeletedEntry> list_deleted_rows(Database& db) {
    const ResultTable rows = db.query_rows(
        QStringLiteral(
            "select [削除ID],[種類],[テーブル名],[キー列],[キー],[削除日時],[社員],[内容] from [%1] "
            "order by [削除日時] desc, [削除ID] desc")
            .arg(kDeletedRowsTable),
        8);
    QVector<DeletedEntry> out;
    for (int r = 1; r <= rows.row_count(); ++r) {
        DeletedEntry e{rows(0, r), rows(1, r), rows(2, r), rows(3, r),
                       rows(4, r), rows(5, r), rows(6, r), {}};
        const QJsonObject content = json_object(rows(7, r));
        RowValues row{{}, content.value(QStringLiteral("values")).toArray()};
        for (const QJsonValue& c : content.value(QStringLiteral("columns")).toArray())
            row.columns << c.toString();
        e.summary = summary_of(row, e.kind, content.value(QStringLiteral("undo")).toObject());
        out << e;
    }
    return out;
}

QString restore_deleted_rows(Database& db, const QString& entry_id, const RowsWritten& written) {
    if (!is_number(entry_id))
        return QStringLiteral("元に戻すデータを一覧から選んでください");
    const ResultTable rows = db.query_rows(
        QStringLiteral("select [テーブル名],[キー列],[キー],[内容],[%3] from [%1] where [削除ID]=%2")
            .arg(kDeletedRowsTable, entry_id.trimmed(), kKeyKindColumn),
        5);
    if (rows.row_count() != 1)
        return QStringLiteral("このデータはすでに元に戻されたか、消去されています");
    const QJsonObject content = json_object(rows(3, 1));
    const QJsonArray columns = content.value(QStringLiteral("columns")).toArray();
    const QJsonArray values = content.value(QStringLiteral("values")).toArray();
    // The key as the row held it (the kept key text of rows deleted by older versions was trimmed),
    // and its kind as the delete knew it; rows kept before the kind was, by the table's definition.
    RowKey key{rows(0, 1), rows(1, 1), rows(2, 1), false};
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i)
        if (columns.at(i).toString().compare(key.column, Qt::CaseInsensitive) == 0 && values.at(i).isString())
            key.value = values.at(i).toString();
    const QString kind = rows(4, 1);
    key.text = kind == kTextKeyKind     ? true
               : kind == kNumberKeyKind ? false
                                        : key_is_text(key.table, key.column, key.value);
    if (columns.isEmpty() || columns.size() != values.size() || key.condition().isEmpty())
        return QStringLiteral("削除済みデータの内容が読めないため、元に戻せません");

    Transaction tx(db);
    // Checked inside the transaction, just before the insert, so the key is free when it goes back.
    const ResultTable taken = db.query_rows(
        QStringLiteral("select count(*) from [%1] where %2").arg(key.table, key.condition()), 1);
    if (taken(0, 1).toLongLong() > 0)
        return QStringLiteral("元に戻せません。%1 の %2「%3」はすでに別のデータが使っています。")
            .arg(key.table, key.column, key.value);
    const QString unique = unique_value_taken(db, key.table, key.column, columns, values);
    if (!unique.isEmpty())
        return unique;
    QStringList names, literals;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        names << ident(columns.at(i).toString());
        literals << literal(values.at(i));
    }
    const QString insert = QStringLiteral("insert into [%1] (%2) values(%3)")
                               .arg(key.table, names.join(QLatin1Char(',')), literals.join(QLatin1Char(',')));
    const QStringList statements = has_numbered_key(key.table, key.column)
                                       ? explicit_key_insert(key.table, insert, db.dialect())
                                       : QStringList{insert};
    try {
        for (const QString& s : statements)
            db.execute_sql(s);
    } catch (const DatabaseError&) {
        // A session keeps at most one table open for explicit keys: close it again on failure.
        if (statements.size() > 1) {
            try {
                db.execute_sql(statements.last());
            } catch (const DatabaseError&) {
            }
        }
        throw;
    }
    if (written)
        written(key.table, {key.value});
    undo_changes(db, content.value(QStringLiteral("undo")).toObject(), written);
    db.execute_sql(
        QStringLiteral("delete from [%1] where [削除ID]=%2").arg(kDeletedRowsTable, entry_id.trimmed()));
    tx.commit();
    return QString();
}

int purge_deleted_rows(Database& db, const QDate& today, int days) {
    if (days < 0)
        return 0;
    const QString cutoff = today.addDays(-days).toString(QStringLiteral("yyyy/MM/dd"));
    // Times are yyyy/MM/dd hh:mm:ss text, so a text comparison orders them.
    return qMax(0, db.execute_sql(QStringLiteral("delete from [%1] where [削除日時] < %2")
                                      .arg(kDeletedRowsTable, sql_text(cutoff))));
}

int purge_deleted_rows(Database& db, int days) {
    return purge_deleted_rows(db, database_time(db).date(), days);
}

int deleted_rows_keep_days(Database& db) {
    const ResultTable rows = db.query_rows(QStringLiteral("select [値] from [%1] where [項目]=%2")
                                               .arg(kProgramSettingsTable, sql_text(kKeepDaysItem)),
                                           1);
    bool ok = false;
    const int days = rows(0, 1).toInt(&ok);
    return ok && days >= 0 ? days : kDefaultKeepDays;
}

void set_deleted_rows_keep_days(Database& db, int days) {
    Transaction tx(db);
    db.execute_sql(QStringLiteral("delete from [%1] where [項目]=%2")
                       .arg(kProgramSettingsTable, sql_text(kKeepDaysItem)));
    db.execute_sql(QStringLiteral("insert into [%1] ([項目],[値]) values(%2,%3)")
                       .arg(kProgramSettingsTable, sql_text(kKeepDaysItem), sql_text(QString::number(days))));
    tx.commit();
}
