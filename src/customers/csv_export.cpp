#include "customers/csv_export.h"

#include "app/table_csv.h"
#include "db/database.h"

namespace {

// Numbers are read bare (a text conversion would differ between the back-ends); for them "-" is NULL.
QVector<QStringList> rows_of(Database& db, const QStringList& columns, const QString& table,
                             const QString& key, const QVector<int>& numbers = {}) {
    QStringList selected;
    // A NULL text would arrive as "-" and come back as that text: read it as empty instead.
    for (int c = 0; c < columns.size(); ++c)
        selected << (numbers.contains(c) ? columns.at(c)
                                         : QStringLiteral("coalesce(%1,'')").arg(columns.at(c)));
    const ResultTable table_rows = db.query_rows(
        QStringLiteral("select %1 from %2 order by %3").arg(selected.join(QLatin1Char(',')), table, key),
        int(columns.size()));
    QVector<QStringList> rows;
    for (int r = 1; r <= table_rows.row_count(); ++r) {
        QStringList row;
        for (int c = 0; c < columns.size(); ++c) {
            const QString v = table_rows(c, r);
            row << (numbers.contains(c) && v == QLatin1String("-") ? QString() : v);
        }
        rows << row;
    }
    return rows;
}

}  // namespace

const QStringList& customer_export_headings() {
    static const QStringList columns = {
        QStringLiteral("顧客名"),    QStringLiteral("顧客名かな"), QStringLiteral("都道府県"),
        QStringLiteral("郵便番号1"), QStringLiteral("郵便番号2"),  QStringLiteral("住所"),
        QStringLiteral("TEL"),       QStringLiteral("FAX"),        QStringLiteral("携帯"),
        QStringLiteral("Email"),     QStringLiteral("担当者"),     QStringLiteral("担当者かな"),
        QStringLiteral("備考")};
    return columns;
}

const QStringList& goods_export_headings() {
    static const QStringList columns = {QStringLiteral("分類コード"), QStringLiteral("分類"),
                                        QStringLiteral("商品名"), QStringLiteral("単価")};
    return columns;
}

QVector<QStringList> customer_export_rows(Database& db) {
    return rows_of(db, customer_export_headings(), QStringLiteral("顧客"), QStringLiteral("顧客ID"));
}

QVector<QStringList> goods_export_rows(Database& db) {
    return rows_of(db, goods_export_headings(), QStringLiteral("商品"), QStringLiteral("商品ID"), {0, 3});
}

QVector<QStringList> export_file_table(const QStringList& headings, const QVector<QStringList>& rows) {
    QVector<QStringList> table{headings};
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& v : row)
            cells << round_trip_cell(v);
        table << cells;
    }
    return table;
}
