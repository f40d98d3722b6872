#include "analysis/abc.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "analysis/quick_sort.h"
#include "db/database.h"

namespace {

QString period_condition(const QString& start) {
    return QStringLiteral(" where 受注日 > #") + start + QStringLiteral("#");
}

QString count_text(int count) {
    return count > 0 ? QString::number(count) : QString();
}

}  // namespace

QDate abc_period_start(const QDate& today) {
    const QDate start(today.year() - 1, today.month(), today.day());
    return start.isValid() ? start : QDate(today.year() - 1, today.month(), today.day() - 1);
}

QString abc_period_start_text(const QDate& today) {
    return abc_period_start(today).toString(QStringLiteral("yyyy/MM/dd"));
}

qint64 whole_sum(const QString& cell) {
    const QString text = cell.trimmed();
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) >= 9.2e18)
        return 0;
    return qint64(std::llround(v));
}

std::vector<int> abc_rank(const std::vector<qint64>& sums, qint64 total) {
    const int m = int(sums.size());
    std::vector<qint64> keys = sums;
    std::vector<int> ids(sums.size());
    for (int i = 0; i < m; ++i)
        ids[size_t(i)] = i;
    quick_sort(keys, ids, 0, m - 1);
    const double low = 0.2 * double(total);
    const double high = 0.8 * double(total);
    std::vector<int> rank(sums.size(), 0);
    qint64 running = 0;
    int current = 0;
    // The entry that crosses a line keeps the class of those before it.
    for (int r = m - 1; r >= 0; --r) {
        rank[size_t(ids[size_t(r)])] = current;
        running += keys[size_t(r)];
        if (double(running) > low)
            current = 1;
        if (double(running) > high)
            current = 2;
    }
    return rank;
}

AbcCustomers abc_customers(Database& db, const QDate& today) {
    AbcCustomers result;
    result.start_date = abc_period_start_text(today);
    const ResultTable customers = db.query_rows(QStringLiteral("select 顧客ID,顧客名 from 顧客 "), 2);
    const int q = customers.row_count();
    QHash<QString, int> position;
    position.reserve(q);
    for (int r = 1; r <= q; ++r) {
        result.ids << customers(0, r);
        result.names << customers(1, r);
        position.insert(customers(0, r).trimmed(), r - 1);  // the last equal position is taken
    }
    result.ranks.assign(size_t(q), kCustomerRankD);

    const ResultTable sums =
        db.query_rows(QStringLiteral("select 顧客ID,sum(受注金額) from 受注 ") +
                          period_condition(result.start_date) + QStringLiteral(" group by 顧客ID "),
                      2);
    const int m = sums.row_count();
    std::vector<qint64> keys(static_cast<size_t>(m));
    for (int r = 1; r <= m; ++r) {
        keys[size_t(r - 1)] = whole_sum(sums(1, r));
        result.period_total += keys[size_t(r - 1)];
    }
    const std::vector<int> rank = abc_rank(keys, result.period_total);
    for (int r = 1; r <= m; ++r) {
        // Sums of a deleted customer count in the total but class nobody.
        const auto it = position.constFind(sums(0, r).trimmed());
        if (it != position.constEnd())
            result.ranks[size_t(*it)] = rank[size_t(r - 1)];
    }
    for (int k : result.ranks)
        ++result.counts[size_t(k)];
    return result;
}

QString abc_rank_letter(int rank) {
    return QString(QChar(u'A' + rank));
}

QString abc_customer_group_text(int rank, int count) {
    return QStringLiteral("グループ %1 (%2　件)").arg(abc_rank_letter(rank), count_text(count));
}

AbcGoods abc_goods(Database& db, const QDate& today) {
    AbcGoods result;
    result.start_date = abc_period_start_text(today);
    const ResultTable goods = db.query_rows(QStringLiteral("select 商品ID,商品名 from 商品 "), 2);
    const int g = goods.row_count();
    QHash<QString, int> position;
    position.reserve(g);
    for (int r = 1; r <= g; ++r) {
        result.ids << goods(0, r);
        result.names << goods(1, r);
        position.insert(goods(0, r).trimmed(), r - 1);
    }
    result.classes.assign(size_t(g), kGoodsNone);
    result.buyers.resize(g);

    // One row per goods item and buyer: the item's sum and line count are added up from them.
    const ResultTable lines =
        db.query_rows(QStringLiteral("select 商品ID,顧客名,sum(金額),count(*) from 受注明細 ") +
                          period_condition(result.start_date) + QStringLiteral(" group by 商品ID,顧客名 "),
                      4);
    QHash<QString, int> item_of;  // 商品ID as returned -> index into the sums
    QVector<QString> item_ids;
    std::vector<qint64> item_sums;
    std::vector<qint64> item_lines;
    struct Buyer {
        QString name;
        qint64 sum;
    };
    QVector<QVector<Buyer>> item_buyers;
    for (int r = 1, rows = lines.row_count(); r <= rows; ++r) {
        const QString id = lines(0, r).trimmed();
        auto it = item_of.constFind(id);
        if (it == item_of.constEnd()) {
            it = item_of.insert(id, item_ids.size());
            item_ids << id;
            item_sums.push_back(0);
            item_lines.push_back(0);
            item_buyers.push_back({});
        }
        const qint64 sum = whole_sum(lines(2, r));
        item_sums[size_t(*it)] += sum;
        item_lines[size_t(*it)] += whole_sum(lines(3, r));
        const QString name = lines(1, r);
        if (name != QLatin1String("-") && !name.isEmpty())
            item_buyers[*it].push_back({name, sum});
    }
    for (qint64 s : item_sums)
        result.period_total += s;

    const std::vector<int> rank = abc_rank(item_sums, result.period_total);
    for (int i = 0; i < item_ids.size(); ++i) {
        // Lines of goods no longer in 商品 count in the total but class nothing.
        const auto it = position.constFind(item_ids.at(i));
        if (it == position.constEnd())
            continue;
        const int r = rank[size_t(i)];
        result.classes[size_t(*it)] = r < 2 ? r : item_lines[size_t(i)] > 1 ? kGoodsSeveral : kGoodsOnce;
        QVector<Buyer>& buyers = item_buyers[i];
        std::stable_sort(buyers.begin(), buyers.end(),
                         [](const Buyer& a, const Buyer& b) { return a.sum > b.sum; });
        QStringList names;
        for (const Buyer& b : buyers)
            names << b.name;
        result.buyers[*it] = names;
    }
    for (int c : result.classes)
        ++result.counts[size_t(c)];
    return result;
}

QString abc_goods_class_name(int goods_class) {
    switch (goods_class) {
        case kGoodsA:
            return QStringLiteral("A");
        case kGoodsB:
            return QStringLiteral("B");
        case kGoodsSeveral:
            return QStringLiteral("数回の売り上げ");
        case kGoodsOnce:
            return QStringLiteral("一回のみ");
        default:
            return QStringLiteral("売り上げなし");
    }
}

QString abc_goods_group_text(int goods_class, int count) {
    const QString name = goods_class <= kGoodsB
                             ? QStringLiteral("グループ ") + abc_goods_class_name(goods_class)
                             : abc_goods_class_name(goods_class);
    return name + QStringLiteral(" (") + count_text(count) + QStringLiteral("　件)");
}
