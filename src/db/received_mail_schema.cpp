#include "db/received_mail_schema.h"

#include "db/database.h"

namespace {
bool table_exists(Database& db) {
    const QString statement =
        db.dialect() == Dialect::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where type='table' and name=%1")
        : db.dialect() == Dialect::MySql
            ? QStringLiteral(
                  "select count(*) from information_schema.tables where table_schema=database() "
                  "and table_name=%1")
            : QStringLiteral("select count(*) from information_schema.tables where table_name=%1");
    return db.query_rows(statement.arg(sql_text(kReceivedMailTable)), 1)(0, 1).toInt() > 0;
}
}  // namespace

void ensure_received_mail_table(Database& db) {
    // Made by an earlier, interrupted run (MySQL commits each create on its own).
    if (table_exists(db))
        return;
    QString statement;
    switch (db.dialect()) {
        case Dialect::Sqlite:
            statement = QStringLiteral(
                "create table [%1] ([メールキー] text primary key, [問い合わせID] integer, "
                "[登録日時] text)");
            break;
        case Dialect::MySql:
            statement = QStringLiteral(
                "create table [%1] ([メールキー] varchar(64) primary key, [問い合わせID] int, "
                "[登録日時] varchar(19)) default charset=utf8mb4 collate=utf8mb4_general_ci");
            break;
        case Dialect::SqlServer:
            statement = QStringLiteral(
                "create table [%1] ([メールキー] nvarchar(64) primary key, [問い合わせID] int, "
                "[登録日時] nvarchar(19))");
            break;
    }
    db.execute_sql(statement.arg(kReceivedMailTable));
}
