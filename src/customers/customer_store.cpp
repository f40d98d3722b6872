#include "customers/customer_store.h"

#include <QHash>
#include <optional>

#include "customers/customer_copies.h"
#include "db/deleted_rows.h"
#include "db/schema_upgrade.h"
#include "db/text_fold.h"
#include "db/text_index.h"

const QStringList& customer_field_columns() {
    static const QStringList columns = {
        "顧客名", "顧客名かな", "都道府県",   "郵便番号1", "郵便番号2", "住所", "TEL", "FAX", "携帯",
        "Email",  "担当者",     "担当者かな", "ランク",    "タイプ",    "R",    "M",   "F",   "備考"};
    return columns;
}

QString apply_kana_key(const QString& text, const QString& key) {
    // ゛ and 。 put the combining voiced / semi-voiced mark on the last character; normalisation
    // composes it where Unicode has the marked kana (か→が, は→ぱ, う→ゔ) and nothing changes where
    // it has none.
    const char16_t mark = key == QStringLiteral("゛")   ? u'\u3099'
                          : key == QStringLiteral("。") ? u'\u309A'
                                                        : 0;
    if (mark == 0)
        return text + key;
    if (text.isEmpty())
        return text;
    const QString composed = (text.right(1) + QChar(mark)).normalized(QString::NormalizationForm_C);
    if (composed.size() != 1)
        return text;
    return text.left(text.size() - 1) + composed;
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

namespace {

// A LIKE pattern that takes the text literally: '!' escapes the wildcards and itself.
QString like_literal(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('!'), QStringLiteral("!!"))
        .replace(QLatin1Char('%'), QStringLiteral("!%"))
        .replace(QLatin1Char('_'), QStringLiteral("!_"));
    return out;
}

QVector<QString> first_column(const ResultTable& rows) {
    QVector<QString> out;
    out.reserve(rows.row_count());
    for (int r = 1; r <= rows.row_count(); ++r)
        out.push_back(rows(0, r));
    return out;
}

// An FTS5 phrase: the text between double quotes, each quote doubled.
QString fts_phrase(const QString& text) {
    QString inner = text;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

// The keys a select of one key column named k gives, in its order. The embedded file hands them over as one
// text: tens of thousands of matches then cost one row instead of one row each.
QVector<QString> key_list(Database& db, const QString& select) {
    if (db.dialect() != Dialect::Sqlite)
        return first_column(db.query_rows(select, 1));
    const QString joined =
        db.query_rows(QStringLiteral("select group_concat(k) from (") + select + QLatin1Char(')'), 1)(0, 1);
    QVector<QString> keys;
    if (joined == QLatin1String("-"))
        return keys;  // no match: NULL
    const QList<QStringView> parts = QStringView(joined).split(QLatin1Char(','));
    keys.reserve(parts.size());
    for (QStringView p : parts)
        keys.push_back(p.toString());
    return keys;
}

// The trigram index's pieces that begin with two characters; nothing when there are too many to ask for.
std::optional<QStringList> pieces_starting_with(Database& db, const QString& two) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select term from 顧客検索_語 where term >= %1 and term < %2")
                          .arg(sql_text(two), sql_text(two + QString::fromUcs4(U"\U0010FFFF", 1))),
                      1);
    QStringList pieces;
    if (rows.row_count() > 2000)
        return std::nullopt;
    for (int r = 1; r <= rows.row_count(); ++r)
        pieces << rows(0, r);
    return pieces;
}

}  // namespace

QVector<QString> search_customer_ids(Database& db, const QString& typed) {
    const QString folded = folded_reading(typed);
    if (folded.isEmpty())
        return {};
    return key_list(db, QStringLiteral("select 顧客ID as k from 顧客 where 検索かな like ") +
                            sql_text(like_literal(folded) + QLatin1Char('%')) +
                            QStringLiteral(" escape '!'"));
}

QVector<QString> partial_search_customer_ids(Database& db, const QString& typed) {
    const QStringList terms = partial_search_terms(typed);
    if (terms.isEmpty() || terms.first().size() < kPartialSearchMinimum)
        return {};
    if (has_text_index(db.dialect())) {
        QVector<QString> keys;
        for (const qint64 key : search_text_index(db, customer_text_index(), terms))
            keys.push_back(QString::number(key));
        return keys;
    }
    if (db.dialect() == Dialect::Sqlite) {
        // Three characters or more are a phrase of the trigram index; two are the start of its pieces.
        QStringList phrases;
        bool indexed = true;
        for (const QString& term : terms) {
            if (QStringView(term).toUcs4().size() >= 3) {
                phrases << fts_phrase(term);
            } else if (const std::optional<QStringList> pieces = pieces_starting_with(db, term)) {
                for (const QString& piece : *pieces)
                    phrases << fts_phrase(piece);
            } else {
                indexed = false;
            }
        }
        if (indexed) {
            if (phrases.isEmpty())
                return {};
            return key_list(db, QStringLiteral("select rowid as k from 顧客検索 where 顧客検索 match ") +
                                    sql_text(phrases.join(QStringLiteral(" OR "))));
        }
    }
    QStringList conditions;
    for (const QString& term : terms)
        conditions << (db.dialect() == Dialect::SqlServer
                           ? QStringLiteral("charindex(%1, 検索文字列) > 0").arg(sql_text(term))
                           : QStringLiteral("instr(検索文字列, %1) > 0").arg(sql_text(term)));
    return key_list(
        db, QStringLiteral("select 顧客ID as k from 顧客 where ") + conditions.join(QStringLiteral(" or ")));
}

QVector<QString> customer_names(Database& db, const QVector<QString>& ids) {
    QStringList keys;
    for (const QString& id : ids) {
        bool numeric = false;
        id.toLongLong(&numeric);
        if (numeric)
            keys << id;
    }
    QVector<QString> names(ids.size());
    if (keys.isEmpty())
        return names;
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,顧客名 from 顧客 where 顧客ID in (") +
                          keys.join(QLatin1Char(',')) + ')',
                      2);
    QHash<QString, QString> by_id;
    for (int r = 1; r <= rows.row_count(); ++r)
        by_id.insert(rows(0, r), rows(1, r));
    for (int i = 0; i < ids.size(); ++i)
        names[i] = by_id.value(ids.at(i));
    return names;
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
    values << customer_copy_literals(customer_copies(fields));
    return QStringLiteral("insert into 顧客 (") +
           (customer_field_columns() + customer_copy_columns()).join(QLatin1Char(',')) +
           QStringLiteral(") values(") + values.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString customer_update_statement(const QStringList& fields, const QString& customer_id) {
    // Written as the columns are named elsewhere: EMAIL and 顧客id reach Email and 顧客ID.
    static const QStringList names = {
        "顧客名", "顧客名かな", "都道府県",   "郵便番号1", "郵便番号2", "住所", "TEL", "FAX", "携帯",
        "EMAIL",  "担当者",     "担当者かな", "ランク",    "タイプ",    "R",    "M",   "F",   "備考"};
    QStringList sets;
    for (int i = 0; i < kCustomerFieldCount; ++i)
        sets << names.at(i) + QLatin1Char('=') + sql_text(fields.value(i));
    const QStringList copies = customer_copy_literals(customer_copies(fields));
    for (int i = 0; i < copies.size(); ++i)
        sets << customer_copy_columns().at(i) + QLatin1Char('=') + copies.at(i);
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

QString insert_customer(Database& db, const QStringList& fields, bool empty_as_null) {
    QString statement = customer_insert_statement(fields);
    if (empty_as_null) {
        QStringList columns, values;
        for (int i = 0; i < kCustomerFieldCount; ++i) {
            if (!fields.value(i).isEmpty()) {
                columns << customer_field_columns().at(i);
                values << sql_text(fields.value(i));
            }
        }
        columns << customer_copy_columns();
        values << customer_copy_literals(customer_copies(fields));
        statement = QStringLiteral("insert into 顧客 (%1) values(%2)")
                        .arg(columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')));
    }
    Transaction tx(db);
    const QString id = db.insert_row(statement, QStringLiteral("顧客ID"));
    customer_copies_follow(db, {id});
    tx.commit();
    return id;
}

namespace {
void require_key(const QString& customer_id) {
    bool numeric = false;
    customer_id.toLongLong(&numeric);
    if (!numeric)
        throw DatabaseError(QStringLiteral("顧客を選択してください"));
}
}  // namespace

RowAddress customer_address(const QString& customer_id) {
    return {QStringLiteral("顧客"), QStringLiteral("顧客ID"), customer_id.trimmed()};
}

WriteCheck update_customer(Database& db, const QStringList& fields, const QString& customer_id,
                           const StoredRow* shown, StoredRow* stored) {
    require_key(customer_id);
    return write_checked(db, customer_address(customer_id), shown, stored, [&] {
        db.execute_sql(customer_update_statement(fields, customer_id));
        customer_copies_follow(db, {customer_id});
    });
}

WriteCheck delete_customer(Database& db, const QString& customer_id, const QString& employee,
                           const StoredRow* shown, StoredRow* stored) {
    require_key(customer_id);
    return write_checked(db, customer_address(customer_id), shown, stored, [&] {
        remember_deleted_rows(db, {QStringLiteral("顧客"), QStringLiteral("顧客ID"), customer_id}, employee);
        db.execute_sql(customer_delete_statement(customer_id));
        customer_copies_follow(db, {customer_id});
    });
}
