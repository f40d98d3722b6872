// sales-cli report cluster | abc-customers | abc-goods: the analyses of the cluster and ABC screens.
#include "analysis/abc.h"
#include "analysis/cluster.h"
#include "app/session.h"
#include "cli/cli_context.h"

namespace {

void no_arguments(const QString& name, const QStringList& arguments) {
    if (!arguments.isEmpty())
        throw CliUsageError(
            QStringLiteral("report %1 は引数を取りません: %2").arg(name, arguments.join(' ')));
}

// Customers in case order with their group, numbered 1 to 4 as in the tree.
Report cluster_report(Session& session, const QStringList& arguments) {
    no_arguments(QStringLiteral("cluster"), arguments);
    const ClusterResult result = run_clustering(*session.db);
    if (!result.ok())
        throw CliUsageError(result.refusal);
    Report report{{QStringLiteral("顧客ID"), QStringLiteral("グループ"), QStringLiteral("顧客名")}};
    for (int c = 0; c < result.cases.size(); ++c)
        report.push_back({result.cases.ids.at(c), QString::number(result.groups.group[size_t(c)] + 1),
                          result.cases.names.at(c)});
    return report;
}

Report abc_customers_report(Session& session, const QStringList& arguments) {
    no_arguments(QStringLiteral("abc-customers"), arguments);
    const AbcCustomers result = abc_customers(*session.db, session.clock.today());
    Report report{{QStringLiteral("顧客ID"), QStringLiteral("ランク"), QStringLiteral("顧客名")}};
    for (int p = 0; p < result.ids.size(); ++p)
        report.push_back({result.ids.at(p), abc_rank_letter(result.ranks[size_t(p)]), result.names.at(p)});
    return report;
}

Report abc_goods_report(Session& session, const QStringList& arguments) {
    no_arguments(QStringLiteral("abc-goods"), arguments);
    const AbcGoods result = abc_goods(*session.db, session.clock.today());
    Report report{{QStringLiteral("商品ID"), QStringLiteral("区分"), QStringLiteral("商品名")}};
    for (int p = 0; p < result.ids.size(); ++p)
        report.push_back(
            {result.ids.at(p), abc_goods_class_name(result.classes[size_t(p)]), result.names.at(p)});
    return report;
}

}  // namespace

QVector<ReportEntry> cluster_abc_reports() {
    return {
        {QStringLiteral("cluster"), QString(), cluster_report},
        {QStringLiteral("abc-customers"), QString(), abc_customers_report},
        {QStringLiteral("abc-goods"), QString(), abc_goods_report},
    };
}
