// sales-cli report rfm | order-rank | goods-rank | order-visits | after-sales: the grids and the
// follow-up list of the ranking screens, rows in the order the screens show them.
#include "analysis/after_sales.h"
#include "analysis/order_visits.h"
#include "analysis/ranking.h"
#include "analysis/rfm.h"
#include "app/session.h"
#include "cli/cli_context.h"
#include "records/number_text.h"

namespace {

// The key first, then the grid's columns; columns with an empty heading hold nothing and are left out.
Report grid_report(const QString& key_heading, const Ranking& ranking) {
    QVector<int> columns;
    QStringList headings{key_heading};
    for (int c = 0; c < ranking.headings.size(); ++c) {
        if (ranking.headings.at(c).isEmpty())
            continue;
        columns << c;
        headings << ranking.headings.at(c);
    }
    Report report{headings};
    for (const RankedRow& row : ranking.rows) {
        QStringList line{row.id};
        for (int c : columns)
            line << row.cells.value(c);
        report << line;
    }
    return report;
}

void expect_arguments(const QStringList& arguments, int count, const QString& usage) {
    if (arguments.size() != count)
        throw CliUsageError(QStringLiteral("使い方: sales-cli [--as-of yyyy/mm/dd] report ") + usage);
}

const QString kAfterSalesUsage = QStringLiteral("orders 日数 | visits 日数 | goods 商品ID");

Report after_sales_report(Session& session, const QStringList& arguments) {
    const QString usage = QStringLiteral("after-sales ") + kAfterSalesUsage;
    expect_arguments(arguments, 2, usage);
    const QString kind = arguments.at(0);
    const QString value = arguments.at(1);
    Database& db = *session.db;
    if (kind == QLatin1String("goods")) {
        if (!is_key(value))
            throw CliUsageError(QStringLiteral("商品IDが正しくありません: ") + value);
        Report report{{QStringLiteral("顧客名")}};
        for (const QString& name : customers_of_goods(db, value))
            report << QStringList{name};
        return report;
    }
    if (kind != QLatin1String("orders") && kind != QLatin1String("visits"))
        throw CliUsageError(QStringLiteral("使い方: sales-cli [--as-of yyyy/mm/dd] report ") + usage);
    const std::optional<qint64> days = follow_up_days(value);
    if (!days)
        throw CliUsageError(QStringLiteral("日数は数値で指定してください: ") + value);
    const QDate today = session.clock.today();
    const bool orders = kind == QLatin1String("orders");
    Report report{{orders ? QStringLiteral("顧客名・受注日") : QStringLiteral("顧客名・訪問日")}};
    const QStringList entries = orders ? customers_without_recent_orders(db, today, *days)
                                       : customers_without_recent_visits(db, today, *days);
    for (const QString& entry : entries)
        report << QStringList{entry};
    return report;
}

}  // namespace

QVector<ReportEntry> ranking_reports() {
    return {
        {QStringLiteral("rfm"), QString(),
         [](Session& session, const QStringList& arguments) {
             expect_arguments(arguments, 0, QStringLiteral("rfm"));
             Database& db = *session.db;
             return grid_report(QStringLiteral("顧客ID"),
                                compute_rfm(db, load_rfm_classes(db), session.clock.today()));
         }},
        {QStringLiteral("order-rank"), QString(),
         [](Session& session, const QStringList& arguments) {
             expect_arguments(arguments, 0, QStringLiteral("order-rank"));
             return grid_report(QStringLiteral("顧客ID"), order_ranking(*session.db, session.clock.today()));
         }},
        {QStringLiteral("goods-rank"), QString(),
         [](Session& session, const QStringList& arguments) {
             expect_arguments(arguments, 0, QStringLiteral("goods-rank"));
             return grid_report(QStringLiteral("商品ID"), goods_ranking(*session.db, session.clock.today()));
         }},
        {QStringLiteral("order-visits"), QString(),
         [](Session& session, const QStringList& arguments) {
             expect_arguments(arguments, 0, QStringLiteral("order-visits"));
             return grid_report(QStringLiteral("顧客ID"), order_visits(*session.db));
         }},
        {QStringLiteral("after-sales"), kAfterSalesUsage, after_sales_report},
    };
}
