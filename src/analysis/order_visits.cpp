#include "analysis/order_visits.h"

#include "db/database.h"

Ranking order_visits(Database& db) {
    const ResultTable sums = db.query_rows(
        QStringLiteral("select sum(受注金額),顧客ID from 受注 group by 顧客ID order by 顧客ID"), 2);
    const QHash<QString, qint64> visits = counts_by_key(db, QStringLiteral("訪問"), QStringLiteral("顧客ID"));
    const QHash<QString, QString> names =
        names_by_key(db, QStringLiteral("顧客"), QStringLiteral("顧客ID"), QStringLiteral("顧客名"));

    Ranking ranking;
    ranking.headings = {QStringLiteral("顧客名"), QStringLiteral("ランク"), QStringLiteral("訪問数"),
                        QStringLiteral("受注累計")};
    ranking.rows.reserve(sums.row_count());
    for (int r = 1; r <= sums.row_count(); ++r) {
        const QString id = sums(1, r);
        const qint64 total = sum_value(sums(0, r));
        const qint64 count = visits.value(id);
        const QString rank = count > 0 ? number_text(double(total) / double(count)) : QString::number(total);
        ranking.rows.push_back(RankedRow{
            id,
            {names.value(id), rank, count > 0 ? QString::number(count) : QString(), QString::number(total)}});
    }
    sort_largest_first(ranking.rows, 1);
    return ranking;
}
