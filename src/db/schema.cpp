#include "db/schema.h"

#include "db/deleted_rows_schema.h"

namespace {

using K = ColumnKind;

QString type_name(ColumnKind kind, Dialect d) {
    switch (kind) {
        case K::Key:
            return d == Dialect::Sqlite  ? QStringLiteral("integer primary key autoincrement")
                   : d == Dialect::MySql ? QStringLiteral("int auto_increment primary key")
                                         : QStringLiteral("int identity(1,1) primary key");
        case K::Whole:
            return d == Dialect::Sqlite ? QStringLiteral("integer") : QStringLiteral("bigint");
        case K::Decimal:
            return d == Dialect::Sqlite  ? QStringLiteral("numeric")
                   : d == Dialect::MySql ? QStringLiteral("double")
                                         : QStringLiteral("float");
        case K::Text:
            return d == Dialect::Sqlite  ? QStringLiteral("text")
                   : d == Dialect::MySql ? QStringLiteral("varchar(255)")
                                         : QStringLiteral("nvarchar(255)");
        case K::Kana:
            // NOCASE lets LIKE 'prefix%' use the index in the embedded file.
            return d == Dialect::Sqlite  ? QStringLiteral("text collate nocase")
                   : d == Dialect::MySql ? QStringLiteral("varchar(255)")
                                         : QStringLiteral("nvarchar(255)");
        case K::LongText:
            return d == Dialect::Sqlite  ? QStringLiteral("text")
                   : d == Dialect::MySql ? QStringLiteral("text")
                                         : QStringLiteral("nvarchar(max)");
        case K::Date:
            return d == Dialect::Sqlite ? QStringLiteral("text") : QStringLiteral("date");
        case K::YesNo:
            return d == Dialect::Sqlite  ? QStringLiteral("integer")
                   : d == Dialect::MySql ? QStringLiteral("tinyint")
                                         : QStringLiteral("bit");
    }
    return QString();
}

QString quoted(const QString& name, Dialect d) {
    return translate_statement("[" + name + "]", d);
}

}  // namespace

const QVector<TableDef>& schema_tables() {
    static const QVector<TableDef> tables = {
        {"顧客",
         {{"顧客ID", K::Key},
          {"顧客名", K::Text},
          {"顧客名かな", K::Kana},
          {"都道府県", K::Text},
          {"郵便番号1", K::Text},
          {"郵便番号2", K::Text},
          {"住所", K::Text},
          {"TEL", K::Text},
          {"FAX", K::Text},
          {"携帯", K::Text},
          {"Email", K::Text},
          {"担当者", K::Text},
          {"担当者かな", K::Text},
          {"ランク", K::Text},
          {"タイプ", K::Text},
          {"R", K::Text},
          {"M", K::Text},
          {"F", K::Text},
          {"備考", K::LongText}},
         {"顧客名", "顧客名かな", "Email"}},
        {"自社情報",
         {{"id", K::Key},
          {"消費税", K::Decimal},
          {"会社名", K::Text},
          {"郵便番号1", K::Text},
          {"郵便番号2", K::Text},
          {"住所", K::Text},
          {"TEL", K::Text},
          {"FAX", K::Text},
          {"締め日", K::Text},
          {"pop", K::Text},
          {"userid", K::Text},
          {"password", K::Text},
          {"smtp", K::Text},
          {"email", K::Text},
          {"業種タイプ", K::YesNo, "0"}},
         {}},
        {"社員",
         {{"社員ID", K::Key},
          {"社員", K::Text},
          {"社員かな", K::Text},
          {"email", K::Text},
          {"部署", K::Text}},
         {}},
        {"商品",
         {{"商品ID", K::Key},
          {"分類コード", K::Decimal},
          {"分類", K::Text},
          {"商品名", K::Text},
          {"単価", K::Decimal}},
         {"商品名"}},
        {"テンプレート", {{"名称", K::Text}, {"本文", K::LongText}}, {"名称"}},
        {"RFM",
         {{"ID", K::Whole}, {"区分", K::Text}, {"a1", K::Text}, {"a2", K::Text}, {"ポイント", K::Text}},
         {}},
        {"対応状況", {{"状況ID", K::Key}, {"状況", K::Text}}, {}},
        {"テーブル項目",
         {{"table_id", K::Whole},
          {"テーブル名", K::Text},
          {"項目数", K::Whole},
          {"項目1", K::Text},
          {"項目2", K::Text},
          {"項目3", K::Text},
          {"項目4", K::Text},
          {"項目5", K::Text},
          {"項目6", K::Text},
          {"項目7", K::Text},
          {"項目8", K::Text}},
         {}},
        {"受注",
         {{"受注ID", K::Key},
          {"顧客ID", K::Whole},
          {"社員", K::Text},
          {"受注日", K::Date},
          {"名称", K::Text},
          {"受注金額", K::Whole},
          {"消費税率", K::Decimal},
          {"値引き", K::Whole}},
         {"顧客ID", "社員", "受注日"}},
        {"受注明細",
         {{"受注ID", K::Whole},
          {"商品ID", K::Whole},
          {"顧客名", K::Text},
          {"数", K::Decimal},
          {"金額", K::Whole},
          {"受注日", K::Date}},
         {"受注ID", "商品ID", "顧客名", "受注日"}},
        {"訪問",
         {{"訪問ID", K::Key},
          {"顧客ID", K::Whole},
          {"社員", K::Text},
          {"訪問日", K::Date},
          {"名称", K::Text},
          {"内容", K::LongText}},
         {"顧客ID", "社員", "訪問日"}},
        {"見積もり",
         {{"見積もりID", K::Key},
          {"顧客ID", K::Whole},
          {"社員", K::Text},
          {"提出日", K::Date},
          {"名称", K::Text},
          {"見積もり金額", K::Whole},
          {"消費税率", K::Decimal},
          {"内容", K::LongText}},
         {"顧客ID", "社員", "提出日"}},
        {"クレーム",
         {{"クレームID", K::Key},
          {"顧客ID", K::Whole},
          {"社員", K::Text},
          {"名称", K::Text},
          {"受付日", K::Date},
          {"内容", K::LongText},
          {"回答日", K::Date},
          {"回答内容", K::LongText}},
         {"顧客ID", "社員", "受付日"}},
        {"問い合わせ",
         {{"問い合わせID", K::Key},
          {"顧客ID", K::Whole},
          {"社員", K::Text},
          {"名称", K::Text},
          {"受付日", K::Date},
          {"状況", K::Text, "'email'"},
          {"内容", K::LongText}},
         {"顧客ID", "社員", "受付日", "状況"}},
        {"原価",
         {{"原価ID", K::Key},
          {"顧客ID", K::Whole},
          {"受注ID", K::Whole},
          {"名称", K::Text},
          {"登録日", K::Date},
          {"金額", K::Whole}},
         {"顧客ID", "受注ID", "登録日"}},
        {"原価コード", {{"原価ID", K::Key}, {"分類", K::Text}, {"原価名", K::Text}}, {"分類"}},
    };
    return tables;
}

int text_column_limit(const QString& column) {
    for (const TableDef& t : schema_tables())
        for (const ColumnDef& c : t.columns)
            if (c.name.compare(column, Qt::CaseInsensitive) == 0 && (c.kind == K::Text || c.kind == K::Kana))
                return kTextColumnLength;
    return 0;
}

QStringList schema_statements(Dialect dialect) {
    QStringList out;
    int index_number = 0;
    for (const TableDef& t : schema_tables()) {
        QStringList columns;
        for (const ColumnDef& c : t.columns) {
            QString def = quoted(c.name, dialect) + " " + type_name(c.kind, dialect);
            if (!c.default_value.isEmpty())
                def += " default " + c.default_value;
            // The embedded file does not hold a text to its declared length; the checks make it
            // refuse what the servers refuse. Each is named after its column, for the message.
            if (dialect == Dialect::Sqlite && (c.kind == K::Text || c.kind == K::Kana))
                def += QStringLiteral(" constraint %1 check(length(%1) <= %2)")
                           .arg(quoted(c.name, dialect))
                           .arg(kTextColumnLength);
            else if (dialect == Dialect::Sqlite && c.kind == K::LongText)
                def += QStringLiteral(" constraint %1 check(length(cast(%1 as blob)) <= %2)")
                           .arg(quoted(c.name, dialect))
                           .arg(kLongTextBytes);
            columns << def;
        }
        QString create = "create table " + quoted(t.name, dialect) + " (" + columns.join(", ") + ")";
        if (dialect == Dialect::MySql)
            create += " default charset=utf8mb4 collate=utf8mb4_general_ci";
        out << create;
        for (const QString& column : t.indexed) {
            out << QStringLiteral("create index %1 on %2 (%3)")
                       .arg(quoted(QStringLiteral("ix_%1").arg(++index_number), dialect),
                            quoted(t.name, dialect), quoted(column, dialect));
        }
    }
    return out;
}

QStringList seed_statements() {
    QStringList out;
    out << "insert into 自社情報 "
           "(消費税,会社名,郵便番号1,郵便番号2,住所,TEL,FAX,締め日,pop,userid,[password],"
           "[smtp],email,業種タイプ) values(10,'','','','','','','','','','','','',0)";

    // The RFM classes: four recency (days since the latest order, below the threshold), four
    // frequency (orders, above the threshold) and four monetary (order total, above the threshold).
    struct Rfm {
        const char* group;
        const char* description;
        const char* threshold;
        const char* points;
    };
    const Rfm rfm[12] = {
        {"R", "30日以内に購入", "30", "5"},           {"R", "90日以内に購入", "90", "4"},
        {"R", "180日以内に購入", "180", "3"},         {"R", "1年以内に購入", "365", "2"},
        {"F", "20回を超える購入", "20", "5"},         {"F", "10回を超える購入", "10", "4"},
        {"F", "5回を超える購入", "5", "3"},           {"F", "1回を超える購入", "1", "2"},
        {"M", "500万円を超える購入", "5000000", "5"}, {"M", "100万円を超える購入", "1000000", "4"},
        {"M", "30万円を超える購入", "300000", "3"},   {"M", "0円を超える購入", "0", "2"},
    };
    for (int i = 0; i < 12; ++i) {
        out << QStringLiteral("insert into RFM (ID,区分,a1,a2,ポイント) values(%1,%2,%3,%4,%5)")
                   .arg(i + 1)
                   .arg(sql_text(QString::fromUtf8(rfm[i].group)),
                        sql_text(QString::fromUtf8(rfm[i].description)),
                        sql_text(QString::fromUtf8(rfm[i].threshold)),
                        sql_text(QString::fromUtf8(rfm[i].points)));
    }

    for (const char* status : {"email", "未対応", "対応中", "対応済"})
        out << "insert into 対応状況 (状況) values(" + sql_text(QString::fromUtf8(status)) + ")";

    // The six activity tables the record list shows, each described in its real column order.
    int table_id = 0;
    for (const char* name : {"受注", "見積もり", "訪問", "問い合わせ", "クレーム", "原価"}) {
        const QString table = QString::fromUtf8(name);
        QStringList fields;
        for (const TableDef& t : schema_tables()) {
            if (t.name != table)
                continue;
            for (const ColumnDef& c : t.columns)
                fields << c.name;
        }
        const int shown = std::min<int>(8, fields.size());
        QStringList values;
        for (int i = 0; i < 8; ++i)
            values << (i < fields.size() ? sql_text(fields.at(i)) : QStringLiteral("''"));
        out << QStringLiteral(
                   "insert into テーブル項目 (table_id,テーブル名,項目数,項目1,項目2,項目3,項目4,項目5,"
                   "項目6,項目7,項目8) values(%1,%2,%3,%4)")
                   .arg(++table_id)
                   .arg(sql_text(table))
                   .arg(shown)
                   .arg(values.join(QLatin1Char(',')));
    }
    return out;
}

void create_schema(Database& db) {
    // MySQL commits each create on its own; the embedded file and SQL Server keep it all together.
    Transaction tx(db);
    for (const QString& statement : schema_statements(db.dialect()))
        db.execute_sql(statement);
    for (const QString& statement : seed_statements())
        db.execute_sql(statement);
    // Deleted rows kept for restore (schema upgrade step 2 for older databases).
    for (const QString& statement : deleted_rows_schema_statements(db.dialect()))
        db.execute_sql(statement);
    tx.commit();
}
