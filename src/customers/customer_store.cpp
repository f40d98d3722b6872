#include "customers/customer_store.h"

#include "db/deleted_rows.h"

const QStringList& customer_field_columns() {
    static const QStringList columns = {
        "顧客名", "顧客名かな", "都道府県",   "郵便番号1", "郵便番号2", "住所", "TEL", "FAX", "携帯",
        "Email",  "担当者",     "担当者かな", "ランク",    "タイプ",    "R",    "M",   "F",   "備考"};
    return columns;
}

QString apply_kana_key(const QString& text, const QString& key) {
    const int shift = key == QStringLiteral("゛") ? 1 : key == QStringLiteral("。") ? 2 : 0;
    if (shift == 0)
        return text + key;
    if (text.isEmpty())
        return text;
    QString out = text;
    out[out.size() - 1] = QChar(out.at(out.size() - 1).unicode() + shift);
    return out;
}

CustomerHits search_customers(Database& db, const QString& kana_prefix) {
    const ResultTable rows = db.query_rows(
        QStringLiteral("select 顧客ID,顧客名 from 顧客 where 顧客名かな like ") + sql_text(kana_prefix + "%"),
        2);
    CustomerHits hits;
    hits.ids.reserve(rows.row_count());
    hits.names.reserve(rows.row_count());
    for (int r = 1; r <= rows.row_count(); ++r) {
        hits.ids.push_back(rows(0, r));
        hits.names.push_back(rows(1, r));
    }
    return hits;
}

std::optional<QStringList> load_customer(Database& db, const QString& customer_id) {
    bool numeric = false;
    customer_id.toLongLong(&numeric);
    if (!numeric)
        return std::nullopt;
    const ResultTable rows =
        db.query_rows(QStringLiteral("select * from 顧客 where 顧客ID=") + customer_id, 19);
    if (rows.row_count() != 1)
        return std::nullopt;
    QStringList row;
    for (int c = 0; c < 19; ++c)
        row << rows(c, 1);
    return row;
}

QString customer_insert_statement(const QStringList& fields) {
    QStringList values;
    for (int i = 0; i < kCustomerFieldCount; ++i)
        values << sql_text(fields.value(i));
    return QStringLiteral(
               "insert into 顧客 (顧客名,顧客名かな,都道府県,郵便番号1,郵便番号2,住所,TEL,FAX,携帯,Email"
               ",担当者,担当者かな,ランク,タイプ,R,M,F,備考) values(") +
           values.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString customer_update_statement(const QStringList& fields, const QString& customer_id) {
    // Written as the columns are named elsewhere: EMAIL and 顧客id reach Email and 顧客ID.
    static const QStringList names = {
        "顧客名", "顧客名かな", "都道府県",   "郵便番号1", "郵便番号2", "住所", "TEL", "FAX", "携帯",
        "EMAIL",  "担当者",     "担当者かな", "ランク",    "タイプ",    "R",    "M",   "F",   "備考"};
    QStringList sets;
    for (int i = 0; i < kCustomerFieldCount; ++i)
        sets << names.at(i) + QLatin1Char('=') + sql_text(fields.value(i));
    return QStringLiteral("update 顧客  set ") + sets.join(QStringLiteral(", ")) +
           QStringLiteral(" where 顧客id=") + customer_id;
}

QString customer_delete_statement(const QString& customer_id) {
    return QStringLiteral("delete from 顧客 where 顧客ID=") + customer_id;
}

int check_new_customer(Database& db, const QStringList& fields) {
    int error = 0;
    const QString name = fields.value(0);
    const QString kana = fields.value(1);
    if (name.isEmpty() || kana.isEmpty())
        error = 1;
    // An empty reading is reported as empty, not as a reading in the wrong script.
    if (!kana.isEmpty() && (kana < QStringLiteral("あ") || kana > QStringLiteral("ん")))
        error = 3;
    const ResultTable count =
        db.query_rows(QStringLiteral("select count(*) from 顧客 where 顧客名=") + sql_text(name), 1);
    if (count(0, 1).toLongLong() >= 1)
        error = 2;
    return error;
}

QString customer_check_message(int error) {
    switch (error) {
        case 1:
            return QStringLiteral("ユニークな顧客名またはかな名を入れてください");
        case 2:
            return QStringLiteral("すでに顧客が登録されています");
        case 3:
            return QStringLiteral("かな名を入力してください");
        default:
            return QString();
    }
}

void insert_customer(Database& db, const QStringList& fields) {
    db.execute_sql(customer_insert_statement(fields));
}

namespace {
void require_key(const QString& customer_id) {
    bool numeric = false;
    customer_id.toLongLong(&numeric);
    if (!numeric)
        throw DatabaseError(QStringLiteral("顧客を選択してください"));
}
}  // namespace

void update_customer(Database& db, const QStringList& fields, const QString& customer_id) {
    require_key(customer_id);
    db.execute_sql(customer_update_statement(fields, customer_id));
}

void delete_customer(Database& db, const QString& customer_id, const QString& employee) {
    require_key(customer_id);
    Transaction transaction(db);
    remember_deleted_rows(db, {QStringLiteral("顧客"), QStringLiteral("顧客ID"), customer_id}, employee);
    db.execute_sql(customer_delete_statement(customer_id));
    transaction.commit();
}
