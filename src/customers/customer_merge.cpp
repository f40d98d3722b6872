#include "customers/customer_merge.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <algorithm>

#include "customers/customer_copies.h"
#include "db/database.h"
#include "db/deleted_rows.h"
#include "db/schema.h"

namespace {

const QString kCustomers = QStringLiteral("顧客");
const QString kCustomerKey = QStringLiteral("顧客ID");
const QString kCustomerName = QStringLiteral("顧客名");
const QString kOrders = QStringLiteral("受注");
const QString kOrderLines = QStringLiteral("受注明細");
const QString kOrderKey = QStringLiteral("受注ID");

struct ActivityTable {
    QString table;
    QString key;
};

// Every table whose rows point to a customer, with its own key (the first column).
QVector<ActivityTable> activity_tables() {
    QVector<ActivityTable> out;
    for (const TableDef& t : schema_tables()) {
        if (t.name == kCustomers)
            continue;
        for (const ColumnDef& c : t.columns)
            if (c.name == kCustomerKey && t.columns.first().kind == ColumnKind::Key)
                out.push_back({t.name, t.columns.first().name});
    }
    return out;
}

QString checked_key(const QString& key) {
    const QString k = key.trimmed();
    bool ok = false;
    k.toLongLong(&ok);
    if (!ok)
        throw DatabaseError(QStringLiteral("統合する顧客を 2 件選んでください"));
    return k;
}

RowValues customer_row(Database& db, const QString& key) {
    const QVector<RowValues> rows = read_rows(db, kCustomers, QStringLiteral("[顧客ID]=") + key);
    if (rows.size() != 1)
        throw DatabaseError(QStringLiteral("顧客（顧客ID %1）が見つかりません").arg(key));
    return rows.first();
}

bool empty_value(const QJsonValue& v) {
    return v.isNull() || v.toString().trimmed().isEmpty();
}

// The plan from both rows, the counts read now.
MergePlan make_plan(Database& db, const QString& kept, const QString& other, RowValues* kept_row,
                    RowValues* other_row) {
    if (kept == other)
        throw DatabaseError(QStringLiteral("同じ顧客どうしは統合できません"));
    *kept_row = customer_row(db, kept);
    *other_row = customer_row(db, other);
    MergePlan plan{
        kept, other, kept_row->value(QStringLiteral("顧客名")), other_row->value(QStringLiteral("顧客名")),
        {},   {}};
    for (const ActivityTable& t : activity_tables()) {
        const int n =
            db.query_rows(QStringLiteral("select count(*) from [%1] where [顧客ID]=%2").arg(t.table, other),
                          1)(0, 1)
                .toInt();
        if (n > 0)
            plan.moves.push_back({t.table, n});
    }
    for (int i = 0; i < kept_row->columns.size(); ++i) {
        if (kept_row->columns.at(i) == kCustomerKey || is_customer_copy_column(kept_row->columns.at(i)))
            continue;
        if (empty_value(kept_row->values.at(i)) && !empty_value(other_row->values.at(i)))
            plan.filled << kept_row->columns.at(i);
    }
    return plan;
}

// Sets the name on the lines of the moved orders and records, for the undo, each line's own name
// before: where all lines of an order held one name, a move over the order keys; where they differed,
// each line by its other values (lines have no key of their own).
void rename_order_lines(Database& db, const QJsonArray& orders, const QJsonValue& name, QJsonArray& moves,
                        QJsonArray& rows) {
    for (qsizetype i = 0; i < orders.size(); i += 500) {
        QStringList part;
        for (qsizetype j = i; j < qMin(orders.size(), i + 500); ++j)
            part << orders.at(j).toString();
        const QString in_orders = QStringLiteral("[%1] in (%2)").arg(kOrderKey, part.join(QLatin1Char(',')));
        const QVector<RowValues> lines = read_rows(db, kOrderLines, in_orders);
        // Order key -> the names its lines held, line by line.
        QMap<QString, QVector<const RowValues*>> by_order;
        for (const RowValues& line : lines)
            by_order[line.values.at(line.columns.indexOf(kOrderKey)).toString()] << &line;
        QMap<QString, QJsonArray> uniform;  // a name held by all lines of an order -> those orders
        QMap<QString, QJsonValue> uniform_name;
        for (auto it = by_order.cbegin(); it != by_order.cend(); ++it) {
            auto held = [](const RowValues* line) {
                return line->values.at(line->columns.indexOf(kCustomerName));
            };
            const QJsonValue first = held(it.value().first());
            const bool same = std::all_of(it.value().cbegin(), it.value().cend(),
                                          [&](const RowValues* line) { return held(line) == first; });
            if (same) {
                if (first == name)
                    continue;
                const QString group =
                    first.isNull() ? QStringLiteral("n") : QStringLiteral("t") + first.toString();
                uniform[group].append(it.key());
                uniform_name[group] = first;
                continue;
            }
            for (const RowValues* line : it.value()) {
                if (held(line) == name)
                    continue;
                QJsonObject match;
                for (qsizetype c = 0; c < line->columns.size(); ++c)
                    if (line->columns.at(c) != kCustomerName)
                        match.insert(line->columns.at(c), line->values.at(c));
                rows.append(QJsonObject{{QStringLiteral("table"), kOrderLines},
                                        {QStringLiteral("column"), kCustomerName},
                                        {QStringLiteral("match"), match},
                                        {QStringLiteral("to"), name},
                                        {QStringLiteral("from"), held(line)}});
            }
        }
        for (auto it = uniform.cbegin(); it != uniform.cend(); ++it)
            moves.append(QJsonObject{{QStringLiteral("table"), kOrderLines},
                                     {QStringLiteral("key_column"), kOrderKey},
                                     {QStringLiteral("column"), kCustomerName},
                                     {QStringLiteral("keys"), it.value()},
                                     {QStringLiteral("to"), name},
                                     {QStringLiteral("from"), uniform_name.value(it.key())}});
        db.execute_sql(QStringLiteral("update [%1] set [%2]=%3 where %4")
                           .arg(kOrderLines, kCustomerName, sql_text(name.toString()), in_orders));
    }
}

}  // namespace

MergePlan plan_merge(Database& db, const QString& kept_id, const QString& other_id) {
    RowValues kept, other;
    return make_plan(db, checked_key(kept_id), checked_key(other_id), &kept, &other);
}

QString merge_question(const MergePlan& plan) {
    QStringList moves;
    for (const auto& m : plan.moves)
        moves << QStringLiteral("%1 %2 件").arg(m.first).arg(m.second);
    QString text = QStringLiteral("「%1」（顧客ID %2）を「%3」（顧客ID %4）に統合します。\n")
                       .arg(plan.other_name, plan.other_id, plan.kept_name, plan.kept_id);
    text += moves.isEmpty() ? QStringLiteral("移す履歴データはありません。\n")
                            : QStringLiteral("移す履歴データ：%1（受注明細は受注とともに移ります）\n")
                                  .arg(moves.join(QStringLiteral("、")));
    if (!plan.filled.isEmpty())
        text += QStringLiteral("「%1」の空欄（%2）を「%3」の内容で埋めます。\n")
                    .arg(plan.kept_name, plan.filled.join(QStringLiteral("、")), plan.other_name);
    text += QStringLiteral("「%1」は削除済みデータに移り、そこから元に戻せます。\n統合しますか？")
                .arg(plan.other_name);
    return text;
}

MergePlan merge_customers(Database& db, const QString& kept_id, const QString& other_id,
                          const QString& employee) {
    const QString kept = checked_key(kept_id);
    const QString other = checked_key(other_id);
    Transaction transaction(db);
    RowValues kept_row, other_row;
    const MergePlan plan = make_plan(db, kept, other, &kept_row, &other_row);

    QJsonArray moves;
    QJsonArray moved_orders;
    for (const ActivityTable& t : activity_tables()) {
        const ResultTable keys = db.query_rows(
            QStringLiteral("select [%1] from [%2] where [顧客ID]=%3").arg(t.key, t.table, other), 1);
        if (keys.row_count() == 0)
            continue;
        QJsonArray moved;
        for (int r = 1; r <= keys.row_count(); ++r)
            moved.append(keys(0, r));
        db.execute_sql(
            QStringLiteral("update [%1] set [顧客ID]=%2 where [顧客ID]=%3").arg(t.table, kept, other));
        if (t.table == kOrders)
            moved_orders = moved;
        moves.append(QJsonObject{{QStringLiteral("table"), t.table},
                                 {QStringLiteral("key_column"), t.key},
                                 {QStringLiteral("column"), kCustomerKey},
                                 {QStringLiteral("keys"), moved},
                                 {QStringLiteral("to"), kept},
                                 {QStringLiteral("from"), other}});
    }
    QJsonArray fills;
    for (const QString& column : plan.filled) {
        const int at = int(kept_row.columns.indexOf(column));
        const QString value = other_row.values.at(other_row.columns.indexOf(column)).toString();
        db.execute_sql(
            QStringLiteral("update [顧客] set [%1]=%2 where [顧客ID]=%3").arg(column, sql_text(value), kept));
        fills.append(QJsonObject{{QStringLiteral("table"), kCustomers},
                                 {QStringLiteral("key_column"), kCustomerKey},
                                 {QStringLiteral("key"), kept},
                                 {QStringLiteral("column"), column},
                                 {QStringLiteral("value"), value},
                                 {QStringLiteral("was"), kept_row.values.at(at)}});
    }

    // Order lines carry the customer's name, by which the goods ABC, the after-sales list and mail to
    // buyers find the customer: the moved ones take the kept customer's name as it now stands.
    QJsonArray line_rows;
    const QJsonValue final_name = customer_row(db, kept).values.at(kept_row.columns.indexOf(kCustomerName));
    if (!empty_value(final_name))
        rename_order_lines(db, moved_orders, final_name, moves, line_rows);

    const QJsonObject undo{{QStringLiteral("moves"), moves},
                           {QStringLiteral("rows"), line_rows},
                           {QStringLiteral("fills"), fills},
                           {QStringLiteral("kept_id"), kept},
                           {QStringLiteral("kept_name"), plan.kept_name}};
    remember_deleted_rows(db, {kCustomers, kCustomerKey, other}, employee, kMergeKind, undo);
    db.execute_sql(QStringLiteral("delete from 顧客 where 顧客ID=") + other);
    customer_copies_follow(db, {kept, other});  // the filled fields are searched too
    transaction.commit();
    return plan;
}
