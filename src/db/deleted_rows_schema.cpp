#include "db/deleted_rows_schema.h"

#include "db/database.h"

namespace {

struct Types {
    QString key, text, long_text, table_suffix;
};

Types types_for(Dialect d) {
    switch (d) {
        case Dialect::Sqlite:
            return {QStringLiteral("integer primary key autoincrement"), QStringLiteral("text"),
                    QStringLiteral("text"), QString()};
        case Dialect::MySql:
            // A merge keeps the keys of every row it moved: more than a plain text column holds.
            return {QStringLiteral("int auto_increment primary key"), QStringLiteral("varchar(255)"),
                    QStringLiteral("mediumtext"),
                    QStringLiteral(" default charset=utf8mb4 collate=utf8mb4_general_ci")};
        case Dialect::SqlServer:
            return {QStringLiteral("int identity(1,1) primary key"), QStringLiteral("nvarchar(255)"),
                    QStringLiteral("nvarchar(max)"), QString()};
    }
    return {};
}

bool table_exists(Database& db, const QString& table) {
    try {
        db.query_rows(QStringLiteral("select count(*) from [%1] where 1=0").arg(table), 1);
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

}  // namespace

QStringList deleted_rows_schema_statements(Dialect dialect) {
    const Types t = types_for(dialect);
    auto q = [dialect](const QString& name) { return translate_statement("[" + name + "]", dialect); };
    QStringList out;
    out << QStringLiteral("create table %1 (%2 %3, %4 %5, %6 %5, %7 %5, %8 %5, %9 %10, %11 %5, %12 %5)%13")
               .arg(q(kDeletedRowsTable), q(QStringLiteral("削除ID")), t.key, q(QStringLiteral("種類")),
                    t.text, q(QStringLiteral("テーブル名")), q(QStringLiteral("キー列")),
                    q(QStringLiteral("キー")), q(QStringLiteral("内容")))
               .arg(t.long_text, q(QStringLiteral("削除日時")), q(QStringLiteral("社員")), t.table_suffix);
    out << QStringLiteral("create index %1 on %2 (%3)")
               .arg(q(QStringLiteral("ix_deleted_time")), q(kDeletedRowsTable),
                    q(QStringLiteral("削除日時")));
    out << QStringLiteral("create table %1 (%2 %3, %4 %5, %6 %5)%7")
               .arg(q(kProgramSettingsTable), q(QStringLiteral("設定ID")), t.key, q(QStringLiteral("項目")),
                    t.text, q(QStringLiteral("値")), t.table_suffix);
    return out;
}

void ensure_deleted_rows_table(Database& db) {
    const QStringList statements = deleted_rows_schema_statements(db.dialect());
    // MySQL commits each create on its own, so each table is checked by itself and the call can be
    // repeated after an interruption.
    if (!table_exists(db, kDeletedRowsTable)) {
        Transaction tx(db);
        db.execute_sql(statements.at(0));
        db.execute_sql(statements.at(1));
        tx.commit();
    }
    if (!table_exists(db, kProgramSettingsTable))
        db.execute_sql(statements.at(2));
}

QStringList deleted_rows_key_kind_statements(Dialect dialect) {
    const QString column = QLatin1Char('[') + kKeyKindColumn + QLatin1Char(']');
    const QString table = QLatin1Char('[') + kDeletedRowsTable + QLatin1Char(']');
    switch (dialect) {
        case Dialect::Sqlite:
            return {QStringLiteral("alter table %1 add column %2 text").arg(table, column)};
        case Dialect::MySql:
            return {QStringLiteral("alter table %1 add column %2 varchar(255)").arg(table, column)};
        case Dialect::SqlServer:
            return {QStringLiteral("alter table %1 add %2 nvarchar(255)").arg(table, column)};
    }
    return {};
}
