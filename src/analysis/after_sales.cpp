#include "analysis/after_sales.h"

#include "db/database.h"
#include "records/number_text.h"

namespace {

// The earliest date that is less than days before today; dates on or before the day before it are
// "days or more" back. Kept inside the four-digit years the date texts can hold.
QString recent_after(const QDate& today, qint64 days) {
    const QDate first(1, 1, 1), last(9999, 12, 31);
    const qint64 room_back = first.daysTo(today), room_forward = today.daysTo(last);
    const QDate cutoff = days > room_back ? first : -days > room_forward ? last : today.addDays(-days);
    return cutoff.toString(QStringLiteral("yyyy/MM/dd"));
}

// Both date criteria: every row of the table for customers none of whose rows is dated after the
// cutoff, i.e. less than days before today.
QStringList without_recent(Database& db, const QString& table, const QString& date_column, const QDate& today,
                           qint64 days) {
    // The sub-query leaves out rows without a customer: a NULL in a "not in" list would empty the result.
    const QString statement =
        QStringLiteral(
            "select 顧客.顧客名,%1.%2 from %1,顧客 where 顧客.顧客ID=%1.顧客ID and %1.顧客ID not in "
            "(select 顧客ID from %1 where 顧客ID is not null and %2 > #%3#) order by 顧客.顧客ID,%1.%2 DESC")
            .arg(table, date_column, recent_after(today, days));
    const ResultTable t = db.query_rows(statement, 2);
    QStringList entries;
    entries.reserve(t.row_count());
    for (int r = 1; r <= t.row_count(); ++r)
        entries << t(0, r) + t(1, r);
    return entries;
}

}  // namespace

QStringList customers_without_recent_orders(Database& db, const QDate& today, qint64 days) {
    return without_recent(db, QStringLiteral("受注"), QStringLiteral("受注日"), today, days);
}

QStringList customers_without_recent_visits(Database& db, const QDate& today, qint64 days) {
    return without_recent(db, QStringLiteral("訪問"), QStringLiteral("訪問日"), today, days);
}

QStringList customers_of_goods(Database& db, const QString& goods_id) {
    if (!is_key(goods_id))
        return {};
    const ResultTable t = db.query_rows(
        QStringLiteral("select 顧客名 from 受注明細 where 商品ID=%1 order by 受注日 DESC,受注ID DESC")
            .arg(goods_id.trimmed()),
        1);
    QStringList names;
    names.reserve(t.row_count());
    for (int r = 1; r <= t.row_count(); ++r)
        names << t(0, r);
    return names;
}

GoodsChoice goods_choice(Database& db) {
    const ResultTable t = db.query_rows(QStringLiteral("select 商品ID,商品名 from 商品"), 2);
    GoodsChoice choice;
    for (int r = 1; r <= t.row_count(); ++r) {
        choice.ids << t(0, r);
        choice.names << t(1, r);
    }
    return choice;
}

std::optional<qint64> follow_up_days(const QString& text) {
    const std::optional<QString> number = whole_number(text);
    if (!number)
        return std::nullopt;
    return number->toLongLong();
}
