#include "analysis/ranking.h"

#include "db/database.h"

QString period_start_text(const QDate& today) {
    return period_start(today).toString(QStringLiteral("yyyy/MM/dd"));
}

QString period_end_text(const QDate& today) {
    return today.toString(QStringLiteral("yyyy/MM/dd"));
}

Ranking order_ranking(Database& db, const QDate& today) {
    const ResultTable sums =
        db.query_rows(QStringLiteral("select sum(受注金額),顧客ID from 受注 "
                                     " where 受注日 > #%1# group by 顧客ID order by 顧客ID")
                          .arg(period_start_text(today)),
                      2);
    const QHash<QString, qint64> visits = counts_by_key(db, QStringLiteral("訪問"), QStringLiteral("顧客ID"));
    const QHash<QString, QString> names =
        names_by_key(db, QStringLiteral("顧客"), QStringLiteral("顧客ID"), QStringLiteral("顧客名"));

    Ranking ranking;
    ranking.headings = {QStringLiteral("顧客名"), QStringLiteral("訪問数"), QStringLiteral("受注累計")};
    ranking.rows.reserve(sums.row_count());
    for (int r = 1; r <= sums.row_count(); ++r) {
        const QString id = sums(1, r);
        const qint64 count = visits.value(id);
        ranking.rows.push_back(RankedRow{id,
                                         {names.value(id), count > 0 ? QString::number(count) : QString(),
                                          QString::number(sum_value(sums(0, r)))}});
    }
    sort_largest_first(ranking.rows, 2);
    return ranking;
}

Ranking goods_ranking(Database& db, const QDate& today) {
    const ResultTable sums =
        db.query_rows(QStringLiteral("select 商品ID,sum(金額) from 受注明細 "
                                     " where 受注日 > #%1# and 受注日 < #%2# group by 商品ID order by 商品ID")
                          .arg(period_start_text(today), period_end_text(today)),
                      2);
    const QHash<QString, QString> names =
        names_by_key(db, QStringLiteral("商品"), QStringLiteral("商品ID"), QStringLiteral("商品名"));

    Ranking ranking;
    ranking.headings = {QStringLiteral("商品名"), QStringLiteral("累計金額")};
    ranking.rows.reserve(sums.row_count());
    for (int r = 1; r <= sums.row_count(); ++r) {
        const QString id = sums(0, r);
        ranking.rows.push_back(RankedRow{id, {names.value(id), QString::number(sum_value(sums(1, r)))}});
    }
    sort_largest_first(ranking.rows, 1);
    return ranking;
}
