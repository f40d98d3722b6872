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

std::optional<MasterRecord> read_master(Database& db, MasterKind kind, const QString& key) {
    if (!is_key(key))
        return std::nullopt;
    const MasterTable& t = master_table(kind);
    // By key rather than by name, so that two rows of the same name stay apart.
    const ResultTable rows = db.query_rows(
        QStringLiteral("select * from %1 where %2=%3").arg(t.table, t.key_column, key.trimmed()), 5);
    if (rows.row_count() < 1)
        return std::nullopt;
    MasterRecord record{rows(0, 1), {}};
    for (int c = 1; c <= 4; ++c) {
        // A NULL number reads as "-"; the box shows it empty, as it was typed.
        const QString v = rows(c, 1);
        record.fields << ((t.numeric.at(c - 1) && v == QLatin1String("-")) ? QString() : v);
    }
    return record;
}

QString insert_master(Database& db, MasterKind kind, const QStringList& fields) {
    const MasterTable& t = master_table(kind);
    QStringList values;
    const QString problem = checked(t, fields, values);
    if (!problem.isEmpty())
        return problem;
    db.execute_sql(QStringLiteral("insert into %1 (%2) values(%3)")
                       .arg(t.table, t.columns.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
    return QString();
}

QString update_master(Database& db, MasterKind kind, const QString& key, const QStringList& fields) {
    const MasterTable& t = master_table(kind);
    if (!is_key(key))
        return QStringLiteral("一覧から選んでください");
    QStringList values;
    // Only the number boxes are checked here; the required boxes are the insert's test.
    const QString problem = value_list(t, fields, values);
    if (!problem.isEmpty())
        return problem;
    QStringList sets;
    for (int i = 0; i < 4; ++i)
        sets << t.columns.at(i) + QLatin1Char('=') + values.at(i);
    db.execute_sql(QStringLiteral("update %1  set %2 where %3=%4")
                       .arg(t.table, sets.join(QStringLiteral(", ")), t.key_column, key.trimmed()));
    return QString();
}

void delete_master(Database& db, MasterKind kind, const QString& key, const QString& employee) {
    const MasterTable& t = master_table(kind);
    if (!is_key(key))
        return;
    Transaction transaction(db);
    remember_deleted_rows(db, {t.table, t.key_column, key.trimmed()}, employee);
    db.execute_sql(QStringLiteral("delete from %1 where %2=%3").arg(t.table, t.key_column, key.trimmed()));
    transaction.commit();
}
