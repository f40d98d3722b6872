#include "db/stored_row.h"

#include "db/database.h"

StoredRow row_from_texts(const QStringList& texts) {
    StoredRow row;
    row.found = true;
    row.values = texts;
    return row;
}

QStringList row_texts(const StoredRow& row) {
    QStringList texts;
    for (qsizetype c = 0; c < row.values.size(); ++c)
        texts << (row.nulls.value(c) ? QStringLiteral("-") : row.values.at(c));
    return texts;
}

namespace {

QStringList column_list(Database& db, const QString& table) {
    return db.column_names(QStringLiteral("select * from ") + table + QStringLiteral(" where 1=0"));
}

QString bracketed(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

StoredRow read_row(Database& db, const RowAddress& row, const QStringList& names, bool lock) {
    // Each column and whether it is NULL: "-" is how a NULL reads, and also a text someone typed.
    QStringList selected;
    for (const QString& name : names)
        selected << bracketed(name);
    for (const QString& name : names)
        selected << QStringLiteral("case when %1 is null then 1 else 0 end").arg(bracketed(name));
    QString statement = QStringLiteral("select ") + selected.join(QLatin1Char(',')) +
                        QStringLiteral(" from ") + row.table + QStringLiteral(" where ") + row.key_column +
                        QLatin1Char('=') + row.key;
    // A locking read sees the newest committed row, not the transaction's earlier snapshot.
    if (lock && db.dialect() == Dialect::MySql)
        statement += QStringLiteral(" for update");
    const int n = int(names.size());
    const ResultTable rows = db.query_rows(statement, 2 * n);
    StoredRow result;
    if (rows.row_count() < 1)
        return result;
    result.found = true;
    for (int c = 0; c < n; ++c) {
        const bool null = rows(n + c, 1) == QLatin1String("1");
        result.values << (null ? QString() : rows(c, 1));
        result.nulls << null;
    }
    return result;
}

}  // namespace

StoredRow read_stored_row(Database& db, const RowAddress& row) {
    return read_row(db, row, column_list(db, row.table), false);
}

WriteCheck check_stored_row(Database& db, const RowAddress& row, const StoredRow& shown, StoredRow* stored) {
    const QStringList names = column_list(db, row.table);
    QString held = names.value(0);
    for (const QString& name : names) {
        if (name.compare(row.key_column, Qt::CaseInsensitive) != 0) {
            held = name;
            break;
        }
    }
    // A write that changes nothing takes the lock before the row is read.
    db.execute_sql(QStringLiteral("update ") + row.table + QStringLiteral(" set ") + bracketed(held) +
                   QLatin1Char('=') + bracketed(held) + QStringLiteral(" where ") + row.key_column +
                   QLatin1Char('=') + row.key);
    StoredRow now = read_row(db, row, names, true);
    const bool same = shown.nulls.isEmpty() ? row_texts(now) == shown.values : now == shown;
    const WriteCheck result = !now.found ? WriteCheck::Deleted
                              : same     ? WriteCheck::Clear
                                         : WriteCheck::Changed;
    if (stored)
        *stored = std::move(now);
    return result;
}

WriteCheck write_checked(Database& db, const RowAddress& row, const StoredRow* shown, StoredRow* stored,
                         const std::function<void()>& write) {
    Transaction transaction(db);
    if (shown) {
        const WriteCheck check = check_stored_row(db, row, *shown, stored);
        if (check != WriteCheck::Clear)
            return check;  // nothing written; the transaction is rolled back
    }
    write();
    if (stored)
        *stored = read_stored_row(db, row);
    transaction.commit();
    return WriteCheck::Clear;
}
