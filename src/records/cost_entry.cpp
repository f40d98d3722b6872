#include "records/cost_entry.h"

#include <optional>

#include "records/check.h"
#include "records/number_text.h"
#include "records/order_entry.h"

QStringList load_cost_names(Database& db) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 原価ID,分類,原価名 from 原価コード  order by 分類"), 3);
    QStringList names;
    for (int r = 1; r <= rows.row_count(); ++r)
        names << rows(2, r);
    return names;
}

QVector<CostOrder> load_customer_orders(Database& db, const QString& customer_id) {
    if (!is_key(customer_id))
        return {};
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 受注ID,受注日,名称,受注金額 from 受注 where 顧客ID=") +
                          customer_id.trimmed() + QStringLiteral(" order by 受注日 desc"),
                      4);
    QVector<CostOrder> orders;
    orders.reserve(rows.row_count());
    for (int r = 1; r <= rows.row_count(); ++r)
        orders.push_back({rows(0, r), rows(1, r), rows(2, r), rows(3, r)});
    return orders;
}

QStringList save_cost(Database& db, CostForm& form, const QDate& today) {
    if (!is_key(form.customer_id))
        return {kChooseCustomerMessage};
    if (!is_key(form.order_id))
        return {kChooseOrderMessage};
    QString date = form.date;
    if (!check_date(date, QString(), true, true, today))
        return {kDateMessage};
    form.date = date;
    const std::optional<QString> amount = whole_number(form.amount, QStringLiteral("0"));
    if (!amount)
        return {kNumberMessage};
    Transaction transaction(db);
    if (!lock_customer(db, form.customer_id))
        return {kCustomerGoneMessage};
    db.execute_sql(QStringLiteral("insert into 原価 (顧客ID,受注ID,登録日,名称,金額) values(") +
                   form.customer_id.trimmed() + u',' + form.order_id.trimmed() + u',' + sql_text(date) +
                   u',' + sql_text(form.name) + u',' + *amount + u')');
    transaction.commit();
    return {};
}
