#include "db/program_settings.h"

#include "db/database.h"
#include "db/deleted_rows_schema.h"

QString program_setting(Database& db, const QString& item, const QString& fallback) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select [値] from [%1] where [項目]=%2 order by [設定ID] desc")
                          .arg(kProgramSettingsTable, sql_text(item)),
                      1);
    if (rows.row_count() == 0)
        return fallback;
    // NULL reads "-": a value written by this program is never NULL.
    return rows(0, 1) == QLatin1String("-") ? fallback : rows(0, 1);
}

QMap<QString, QString> program_settings(Database& db, const QString& prefix) {
    // Oldest first, so that the newest of a doubled item wins.
    const ResultTable rows = db.query_rows(
        QStringLiteral("select [項目],[値] from [%1] order by [設定ID]").arg(kProgramSettingsTable), 2);
    QMap<QString, QString> values;
    for (int r = 1; r <= rows.row_count(); ++r)
        if (rows(0, r).startsWith(prefix) && rows(1, r) != QLatin1String("-"))
            values.insert(rows(0, r), rows(1, r));
    return values;
}

void set_program_setting(Database& db, const QString& item, const QString& value) {
    Transaction tx(db);
    db.execute_sql(
        QStringLiteral("delete from [%1] where [項目]=%2").arg(kProgramSettingsTable, sql_text(item)));
    db.execute_sql(QStringLiteral("insert into [%1] ([項目],[値]) values(%2,%3)")
                       .arg(kProgramSettingsTable, sql_text(item), sql_text(value)));
    tx.commit();
}
