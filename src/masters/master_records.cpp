#include "masters/master_records.h"

#include "db/database.h"
#include "db/deleted_rows.h"
#include "records/number_text.h"

const MasterTable& master_table(MasterKind kind) {
    static const MasterTable employees{
        QStringLiteral("社員"),
        QStringLiteral("社員ID"),
        QStringLiteral("社員"),
        {QStringLiteral("社員"), QStringLiteral("社員かな"), QStringLiteral("email"), QStringLiteral("部署")},
        {QStringLiteral("氏名"), QStringLiteral("氏名かな"), QStringLiteral("email"), QStringLiteral("部署")},
        QStringLiteral("社員ID"),
        2,
        {false, false, false, false},
        QStringLiteral("社員")};
    static const MasterTable goods{QStringLiteral("商品"),
                                   QStringLiteral("商品ID"),
                                   QStringLiteral("商品名"),
                                   {QStringLiteral("分類コード"), QStringLiteral("分類"),
                                    QStringLiteral("商品名"), QStringLiteral("単価")},
                                   {QStringLiteral("分類コード"), QStringLiteral("分類"),
                                    QStringLiteral("商品名"), QStringLiteral("単価")},
                                   QStringLiteral("商品ID"),
                                   2,
                                   {true, false, false, true},
                                   QStringLiteral("商品")};
    return kind == MasterKind::Employees ? employees : goods;
}

namespace {

// The four values as SQL: texts quoted; numbers checked and quoted too, as the goods statements
// write them; an empty number box is NULL. Returns a message when a number box holds something else.
QString value_list(const MasterTable& t, const QStringList& fields, QStringList& values) {
    values.clear();
    for (int i = 0; i < 4; ++i) {
        const QString text = fields.value(i);
        if (!t.numeric.at(i)) {
            values << sql_text(text);
            continue;
        }
        if (text.trimmed().isEmpty()) {
            values << QStringLiteral("NULL");
            continue;
        }
        const std::optional<QString> number = whole_number(text);
        if (!number)
            return t.captions.at(i) + QStringLiteral(": ") + kNumberMessage;
        values << sql_text(*number);
    }
    return QString();
}

QString checked(const MasterTable& t, const QStringList& fields, QStringList& values) {
    for (int i = 0; i < t.required; ++i)
        if (fields.value(i).trimmed().isEmpty())
            return kRequiredMessage;
    return value_list(t, fields, values);
}

// Records carry an employee's name, not the key: a second employee of the same name would make
// them ambiguous. Empty when the name is free (or used only by the row of `key` itself).
QString name_taken(Database& db, MasterKind kind, const QString& name, const QString& key) {
    if (kind != MasterKind::Employees)
        return QString();
    const MasterTable& t = master_table(kind);
    QString statement =
        QStringLiteral("select count(*) from %1 where %2=%3").arg(t.table, t.name_column, sql_text(name));
    if (!key.isEmpty())
        statement += QStringLiteral(" and %1<>%2").arg(t.key_column, key.trimmed());
    if (db.query_rows(statement, 1)(0, 1).toLongLong() == 0)
        return QString();
    return QStringLiteral("同じ氏名の社員が既に登録されています。別の氏名を入力してください: ") + name;
}

}  // namespace

QVector<MasterEntry> list_masters(Database& db, MasterKind kind) {
    const MasterTable& t = master_table(kind);
    const ResultTable rows =
        db.query_rows(QStringLiteral("select %1,%2 from %3").arg(t.key_column, t.name_column, t.table), 2);
    QVector<MasterEntry> entries;
    entries.reserve(rows.row_count());
    for (int i = 1; i <= rows.row_count(); ++i)
        entries.push_back({rows(0, i), rows(1, i)});
    return entries;
}

RowAddress master_address(MasterKind kind, const QString& key) {
    const MasterTable& t = master_table(kind);
    return {t.table, t.key_column, key.trimmed()};
}

std::optional<MasterRecord> read_master(Database& db, MasterKind kind, const QString& key) {
    if (!is_key(key))
        return std::nullopt;
    const MasterTable& t = master_table(kind);
    // By key rather than by name, so that two rows of the same name stay apart. The record keeps the
    // row as read, for the write-conflict check of its update and delete.
    const StoredRow stored = read_stored_row(db, master_address(kind, key));
    if (!stored.found || stored.values.size() < 5)
        return std::nullopt;
    const QStringList texts = row_texts(stored);
    MasterRecord record{texts.at(0), {}, stored};
    for (int c = 1; c <= 4; ++c) {
        // A NULL number reads as "-"; the box shows it empty, as it was typed.
        const QString v = texts.at(c);
        record.fields << ((t.numeric.at(c - 1) && v == QLatin1String("-")) ? QString() : v);
    }
    return record;
}

QString insert_master(Database& db, MasterKind kind, const QStringList& fields) {
    const MasterTable& t = master_table(kind);
    QStringList values;
    QString problem = checked(t, fields, values);
    if (problem.isEmpty())
        problem = name_taken(db, kind, fields.value(0), QString());
    if (!problem.isEmpty())
        return problem;
    db.execute_sql(QStringLiteral("insert into %1 (%2) values(%3)")
                       .arg(t.table, t.columns.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
    return QString();
}

QString update_master(Database& db, MasterKind kind, const QString& key, const QStringList& fields,
                      const StoredRow* shown, StoredRow* stored, WriteCheck* check) {
    if (check)
        *check = WriteCheck::Clear;
    const MasterTable& t = master_table(kind);
    if (!is_key(key))
        return QStringLiteral("一覧から選んでください");
    QStringList values;
    // Only the number boxes are checked here; the required boxes are the insert's test.
    QString problem = value_list(t, fields, values);
    if (problem.isEmpty())
        problem = name_taken(db, kind, fields.value(0), key);
    if (!problem.isEmpty())
        return problem;
    QStringList sets;
    for (int i = 0; i < 4; ++i)
        sets << t.columns.at(i) + QLatin1Char('=') + values.at(i);
    const WriteCheck result = write_checked(db, master_address(kind, key), shown, stored, [&] {
        db.execute_sql(QStringLiteral("update %1  set %2 where %3=%4")
                           .arg(t.table, sets.join(QStringLiteral(", ")), t.key_column, key.trimmed()));
    });
    if (check)
        *check = result;
    return QString();
}

WriteCheck delete_master(Database& db, MasterKind kind, const QString& key, const QString& employee,
                         const StoredRow* shown, StoredRow* stored) {
    const MasterTable& t = master_table(kind);
    if (!is_key(key))
        return WriteCheck::Clear;
    return write_checked(db, master_address(kind, key), shown, stored, [&] {
        remember_deleted_rows(db, {t.table, t.key_column, key.trimmed()}, employee);
        db.execute_sql(
            QStringLiteral("delete from %1 where %2=%3").arg(t.table, t.key_column, key.trimmed()));
    });
}
