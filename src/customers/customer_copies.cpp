#include "customers/customer_copies.h"

#include <QCryptographicHash>
#include <QDateTime>

#include "db/database.h"
#include "db/deleted_rows.h"
#include "db/deleted_rows_schema.h"
#include "db/schema_upgrade.h"
#include "db/text_fold.h"
#include "db/text_index.h"

namespace {

// The fields the copies are made from, as the stamp reads them (field numbers of customer_field_columns).
constexpr int kSourceFields[] = {0, 1, 5, 6, 7, 8, 9, 10};
const QStringList kSourceColumns = {"顧客名", "顧客名かな", "住所", "TEL", "FAX", "携帯", "Email", "担当者"};
// Written first into the stamp: a later change of what the copies hold changes it, so every row is
// recomputed once.
const QString kStampVersion = QStringLiteral("1");
const QChar kStampSeparator(0x1F);

// NULL reads as "-": it is no value to compare.
QString present(const QString& text) {
    return text == QLatin1String("-") ? QString() : text;
}

QString stamp_of(const QStringList& fields) {
    QString joined = kStampVersion;
    for (int i : kSourceFields) {
        joined += kStampSeparator;
        joined += fields.value(i);
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Md5).toHex().left(16));
}

// The same stamp computed by MySQL/MariaDB from the stored row.
QString stamp_expression() {
    QStringList parts{sql_text(kStampVersion)};
    for (const QString& column : kSourceColumns)
        parts << QStringLiteral("char(31)") << QStringLiteral("coalesce(%1,'')").arg(column);
    return QStringLiteral("left(md5(concat(%1)),16)").arg(parts.join(QLatin1Char(',')));
}

QString literal_or_null(const QString& text) {
    return text.isEmpty() ? QStringLiteral("NULL") : sql_text(text);
}

// Reads the stored fields of the rows the condition selects and rewrites the copies of those whose
// stamp differs. Returns the keys rewritten.
QStringList recompute(Database& db, const QString& condition) {
    QStringList select{QStringLiteral("顧客ID"), QStringLiteral("coalesce(写し印,'')")};
    for (const QString& column : kSourceColumns)
        select << QStringLiteral("coalesce(%1,'')").arg(column);
    const ResultTable rows = db.query_rows(
        QStringLiteral("select %1 from 顧客 where %2").arg(select.join(QLatin1Char(',')), condition),
        int(select.size()));
    const QStringList& columns = customer_copy_columns();
    QStringList changed;
    // A shared server is a round trip away: there rows are rewritten many to a statement.
    const bool batched = db.dialect() == Dialect::MySql;
    QStringList batch;
    QVector<QStringList> cases(columns.size());
    auto flush = [&] {
        if (batch.isEmpty())
            return;
        QStringList sets;
        for (int c = 0; c < columns.size(); ++c)
            sets << QStringLiteral("%1=case 顧客ID %2 end")
                        .arg(columns.at(c), cases[c].join(QLatin1Char(' ')));
        db.execute_sql(QStringLiteral("update 顧客 set %1 where 顧客ID in (%2)")
                           .arg(sets.join(QLatin1Char(',')), batch.join(QLatin1Char(','))));
        batch.clear();
        for (QStringList& c : cases)
            c.clear();
    };
    for (int r = 1; r <= rows.row_count(); ++r) {
        QStringList fields(11);
        for (int i = 0; i < int(std::size(kSourceFields)); ++i)
            fields[kSourceFields[i]] = rows(2 + i, r);
        const CustomerCopies copies = customer_copies(fields);
        if (copies.stamp == rows(1, r))
            continue;
        const QString id = rows(0, r);
        changed << id;
        const QStringList values = customer_copy_literals(copies);
        if (!batched) {
            QStringList sets;
            for (int c = 0; c < columns.size(); ++c)
                sets << columns.at(c) + QLatin1Char('=') + values.at(c);
            db.execute_sql(
                QStringLiteral("update 顧客 set %1 where 顧客ID=%2").arg(sets.join(QLatin1Char(',')), id));
            continue;
        }
        batch << id;
        for (int c = 0; c < columns.size(); ++c)
            cases[c] << QStringLiteral("when %1 then %2").arg(id, values.at(c));
        if (batch.size() >= 200)
            flush();
    }
    flush();
    return changed;
}

QVector<qint64> keys_of(const QStringList& ids) {
    QVector<qint64> keys;
    for (const QString& id : ids) {
        bool ok = false;
        const qint64 key = id.trimmed().toLongLong(&ok);
        if (ok)
            keys << key;
    }
    return keys;
}

}  // namespace

namespace {

QString name_key_of_folded(QString folded) {
    folded.removeIf([](QChar c) { return c.isSpace(); });
    return cut_for_index(folded);
}

QString phone_key_of_digits(const QString& digits) {
    // A few digits are no phone number (an extension, a typing slip).
    return digits.size() >= 6 ? cut_for_index(digits) : QString();
}

}  // namespace

QString name_key(const QString& name) {
    return name_key_of_folded(fold_text(present(name)));
}

QString phone_key(const QString& phone) {
    return phone_key_of_digits(folded_phone_digits(present(phone)));
}

QString mail_key(const QString& mail) {
    const QString t = present(mail).trimmed();
    return t.contains(QLatin1Char('@')) ? cut_for_index(t.toCaseFolded()) : QString();
}

CustomerCopies customer_copies(const QStringList& fields) {
    auto f = [&](int i) { return fields.value(i); };
    CustomerCopies copies;
    copies.reading = folded_reading(f(1));
    // Each field is folded once: the search text and the keys share it.
    const QString name = fold_text(f(0));
    const QString phones[] = {folded_phone_digits(f(6)), folded_phone_digits(f(7)), folded_phone_digits(f(8))};
    copies.text =
        search_text({name, fold_text(f(5)), fold_text(f(10)), fold_text(f(9)), phones[0], phones[1], phones[2]});
    copies.name_key = present(f(0)).isEmpty() ? QString() : name_key_of_folded(name);
    // "-" holds no digit: the digits are the key's whether it reads as NULL or not.
    copies.phone_keys = QStringList{phone_key_of_digits(phones[0]), phone_key_of_digits(phones[1]),
                                    phone_key_of_digits(phones[2])};
    copies.mail_key = mail_key(f(9));
    copies.stamp = stamp_of(fields);
    return copies;
}

const QStringList& customer_copy_columns() {
    static const QStringList columns = {"検索かな",  "検索文字列", "照合名",     "照合電話1",
                                        "照合電話2", "照合電話3",  "照合メール", "写し印"};
    return columns;
}

QStringList customer_copy_literals(const CustomerCopies& copies) {
    return {sql_text(copies.reading),
            sql_text(copies.text),
            literal_or_null(copies.name_key),
            literal_or_null(copies.phone_keys.value(0)),
            literal_or_null(copies.phone_keys.value(1)),
            literal_or_null(copies.phone_keys.value(2)),
            literal_or_null(copies.mail_key),
            sql_text(copies.stamp)};
}

QVector<QVariant> customer_copy_values(const CustomerCopies& copies) {
    auto key = [](const QString& k) { return k.isEmpty() ? QVariant() : QVariant(k); };
    return {copies.reading,
            copies.text,
            key(copies.name_key),
            key(copies.phone_keys.value(0)),
            key(copies.phone_keys.value(1)),
            key(copies.phone_keys.value(2)),
            key(copies.mail_key),
            copies.stamp};
}

bool is_customer_copy_column(const QString& column) {
    for (const QString& c : customer_copy_columns())
        if (column.compare(c, Qt::CaseInsensitive) == 0)
            return true;
    return column.compare(kCustomerChangedColumn, Qt::CaseInsensitive) == 0;
}

void customer_copies_follow(Database& db, const QStringList& customer_ids, bool written) {
    const QVector<qint64> keys = keys_of(customer_ids);
    if (keys.isEmpty())
        return;
    QStringList ids;
    for (const qint64 key : keys)
        ids << QString::number(key);
    for (qsizetype i = 0; i < ids.size() && !written; i += 500)
        recompute(db, QStringLiteral("顧客ID in (%1)").arg(ids.mid(i, 500).join(QLatin1Char(','))));
    update_text_index(db, customer_text_index(), keys);
}

CustomerBulkInsert::CustomerBulkInsert(Database& db) : m_db(db) {
    m_before =
        db.query_rows(QStringLiteral("select coalesce(max(顧客ID),0) from 顧客"), 1)(0, 1).toLongLong();
    if (db.dialect() == Dialect::Sqlite) {
        // A transaction of many rows writes its pages to the journal over and over when they do not
        // fit in the page cache: a larger cache while it runs.
        m_cache_size = db.query_rows(QStringLiteral("PRAGMA cache_size"), 1)(0, 1);
        db.execute_sql(QStringLiteral("PRAGMA cache_size = -131072"));
        // Into an empty register the indexes are made once after the rows, sorted, rather than
        // growing row by row.
        if (m_before == 0) {
            // The index of rows waiting for the start-up repair stays: the new rows come with their
            // copies and never enter it.
            const ResultTable indexes = db.query_rows(
                QStringLiteral("select name,sql from sqlite_master where type='index' and tbl_name='顧客' "
                               "and sql is not null and name<>'ix_顧客_写し待ち'"),
                2);
            for (int r = 1; r <= indexes.row_count(); ++r) {
                db.execute_sql(QStringLiteral("drop index [%1]").arg(indexes(0, r)));
                m_indexes << indexes(1, r);
            }
        }
    }
    pause_customer_search_index(db);
}

CustomerBulkInsert::~CustomerBulkInsert() {
    if (m_cache_size.isEmpty())
        return;
    try {
        m_db.execute_sql(QStringLiteral("PRAGMA cache_size = ") + QString::number(m_cache_size.toLongLong()));
    } catch (const DatabaseError&) {
        // the connection keeps the larger cache; nothing is lost
    }
}

void CustomerBulkInsert::finish() {
    for (const QString& index : m_indexes)
        m_db.execute_sql(index);
    resume_customer_search_index(m_db, m_before);
    if (has_text_index(m_db.dialect())) {
        QVector<qint64> added;
        const ResultTable keys =
            m_db.query_rows(QStringLiteral("select 顧客ID from 顧客 where 顧客ID>%1").arg(m_before), 1);
        for (int k = 1; k <= keys.row_count(); ++k)
            added << keys(0, k).toLongLong();
        update_text_index(m_db, customer_text_index(), added);
    }
}

int repair_customer_copies(Database& db) {
    if (stored_schema_version(db) < kCustomerCopiesVersion)
        return 0;
    Transaction tx(db);
    const bool shared = db.dialect() == Dialect::MySql;
    const QString item_condition = QStringLiteral("[項目]=%1").arg(sql_text(kCustomerCopiesCheckedItem));
    QString checked;
    if (shared) {
        // PCs starting together repair one after the other: the first statement locks the row of the
        // last check (and the settings table with it, which has no index on its items).
        db.execute_sql(
            QStringLiteral("update [%1] set [値]=[値] where %2").arg(kProgramSettingsTable, item_condition));
        const ResultTable row = db.query_rows(
            QStringLiteral("select [値] from [%1] where %2").arg(kProgramSettingsTable, item_condition), 1);
        if (row.row_count() == 0)
            db.execute_sql(QStringLiteral("insert into [%1] ([項目],[値]) values(%2,'')")
                               .arg(kProgramSettingsTable, sql_text(kCustomerCopiesCheckedItem)));
        else
            checked = row(0, 1);
    }
    // New rows of other programs, and on the embedded file every change of a copy's source.
    QStringList changed = recompute(db, QStringLiteral("写し印 is null"));
    if (shared) {
        // The server stamps every row with the time of its last change; rows changed since the last
        // check (with a margin for a change still being committed then) are compared with their stamp.
        const QString now = db.query_rows(
            QStringLiteral("select date_format(now() - interval 10 minute,'%Y-%m-%d %H:%i:%s')"), 1)(0, 1);
        QString since;
        if (!checked.isEmpty() && checked != QLatin1String("-"))
            since = QStringLiteral(" and %1>=%2").arg(kCustomerChangedColumn, sql_text(checked));
        changed += recompute(db, QStringLiteral("写し印<>%1%2").arg(stamp_expression(), since));
        update_text_index(db, customer_text_index(), keys_of(changed));
        repair_text_index(db, customer_text_index());
        db.execute_sql(QStringLiteral("update [%1] set [値]=%2 where %3")
                           .arg(kProgramSettingsTable, sql_text(now), item_condition));
    }
    tx.commit();
    return int(changed.size());
}

QString restore_deleted_entry(Database& db, const QString& entry_id) {
    QStringList customers;
    Transaction tx(db);
    const QString refused =
        restore_deleted_rows(db, entry_id, [&](const QString& table, const QStringList& keys) {
            if (table.compare(QStringLiteral("顧客"), Qt::CaseInsensitive) == 0)
                customers += keys;
        });
    if (!refused.isEmpty())
        return refused;
    customer_copies_follow(db, customers);
    tx.commit();
    return QString();
}
