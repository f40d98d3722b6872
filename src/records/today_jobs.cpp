#include "records/today_jobs.h"

namespace {

// Every row is read: the lists show all of them.
QStringList name_and_title(Database& db, const QString& statement) {
    const ResultTable rows = db.query_rows(statement, 3);
    QStringList items;
    items.reserve(rows.row_count());
    for (int row = 1; row <= rows.row_count(); ++row)
        items << rows(0, row) + QStringLiteral(" : ") + rows(1, row);
    return items;
}

QStringList dated_business(Database& db, const QString& statement) {
    const ResultTable rows = db.query_rows(statement, 4);
    QStringList items;
    items.reserve(rows.row_count());
    const QChar tab(u'\t');
    for (int row = 1; row <= rows.row_count(); ++row)
        items << rows(0, row) + QLatin1Char(' ') + rows(1, row) + tab + rows(2, row) + tab + rows(3, row);
    return items;
}

}  // namespace

QStringList unhandled_inquiries(Database& db) {
    return name_and_title(db, QStringLiteral("select 顧客名,名称,内容 from (問い合わせ inner join 顧客 on "
                                             "問い合わせ.顧客ID=顧客.顧客ID) where 状況='email'"));
}

QStringList unanswered_claims(Database& db) {
    // A claim stored without any answer (NULL) is as unanswered as one with an empty answer.
    return name_and_title(
        db, QStringLiteral("select 顧客名,名称,内容 from (クレーム inner join 顧客 on "
                           "クレーム.顧客ID=顧客.顧客ID) where 回答内容='' or 回答内容 is null"));
}

QStringList recent_orders(Database& db) {
    return dated_business(db,
                          QStringLiteral("select 受注日,顧客名,名称,受注金額 from (受注 inner join 顧客 on "
                                         "受注.顧客ID=顧客.顧客ID) order by 受注日 DESC "));
}

QStringList recent_estimates(Database& db) {
    return dated_business(db,
                          QStringLiteral("select 提出日,顧客名,名称,見積もり金額 from (見積もり inner join "
                                         "顧客 on 見積もり.顧客ID=顧客.顧客ID) order by 提出日 DESC "));
}

TodayJobs load_today_jobs(Database& db) {
    return {unhandled_inquiries(db), unanswered_claims(db), recent_orders(db), recent_estimates(db)};
}
