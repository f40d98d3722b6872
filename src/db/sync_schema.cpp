#include "db/sync_schema.h"

#include "db/database.h"

namespace {

struct Types {
    QString id, text, number, table_suffix;
};

Types types_for(Dialect d) {
    switch (d) {
        case Dialect::Sqlite:
            return {QStringLiteral("text primary key"), QStringLiteral("text"), QStringLiteral("integer"),
                    QString()};
        case Dialect::MySql:
            return {QStringLiteral("varchar(80) primary key"), QStringLiteral("varchar(255)"),
                    QStringLiteral("bigint"),
                    QStringLiteral(" default charset=utf8mb4 collate=utf8mb4_general_ci")};
        case Dialect::SqlServer:
            return {QStringLiteral("nvarchar(80) primary key"), QStringLiteral("nvarchar(255)"),
                    QStringLiteral("bigint"), QString()};
    }
    return {};
}

}  // namespace

QStringList sync_schema_statements(Dialect dialect) {
    const Types t = types_for(dialect);
    auto q = [dialect](const QString& name) { return translate_statement("[" + name + "]", dialect); };
    return {QStringLiteral("create table %1 (%2 %3, %4 %5, %6 %7, %8 %5, %9 %5, %10 %5)%11")
                .arg(q(kAppliedChangesTable), q(QStringLiteral("変更ID")), t.id,
                     q(QStringLiteral("持ち出しID")), t.text, q(QStringLiteral("連番")), t.number,
                     q(QStringLiteral("テーブル名")), q(QStringLiteral("事務所キー")))
                .arg(q(QStringLiteral("適用日時")), t.table_suffix),
            QStringLiteral("create index %1 on %2 (%3)")
                .arg(q(QStringLiteral("ix_applied_copy")), q(kAppliedChangesTable),
                     q(QStringLiteral("持ち出しID")))};
}

void ensure_sync_tables(Database& db) {
    try {
        db.query_rows(QStringLiteral("select count(*) from [%1] where 1=0").arg(kAppliedChangesTable), 1);
        return;  // made before (MySQL commits each create, so a cut step runs again)
    } catch (const DatabaseError&) {
    }
    const QStringList statements = sync_schema_statements(db.dialect());
    Transaction tx(db);
    for (const QString& s : statements)
        db.execute_sql(s);
    tx.commit();
}
