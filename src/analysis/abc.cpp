#include "analysis/abc.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "analysis/quick_sort.h"
#include "db/database.h"
#include "records/number_text.h"

namespace {

// Strictly after the start date.
QString period_condition(const QString& start) {
    return QStringLiteral(" where 受注日 > #") + start + QStringLiteral("#");
}

// An empty group reads 0, not a blank.
QString count_text(int count) {
    return QString::number(count);
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

namespace {

// The sums in column 1, as 64-bit whole numbers, make the period total; each row gets its class.
std::vector<int> rank_period_sums(const ResultTable& sums, qint64& total) {
    std::vector<qint64> keys(static_cast<size_t>(sums.row_count()));
    for (int r = 1; r <= sums.row_count(); ++r) {
        keys[size_t(r - 1)] = whole_sum(sums(1, r));
        total += keys[size_t(r - 1)];
    }
    return abc_rank(keys, total);
}

}  // namespace

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
    const std::vector<int> rank = rank_period_sums(sums, result.period_total);
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

    // A year holds a good part of all order lines: the embedded database, left to itself, walks
    // the goods index and fetches every line row by row, several times slower than one plain scan.
    const QString table =
        db.dialect() == Dialect::Sqlite ? QStringLiteral("受注明細 not indexed") : QStringLiteral("受注明細");
    const ResultTable sums =
        db.query_rows(QStringLiteral("select 商品ID,sum(金額),count(*) from ") + table +
                          period_condition(result.start_date) + QStringLiteral(" group by 商品ID "),
                      3);
    const int m = sums.row_count();
    const std::vector<int> rank = rank_period_sums(sums, result.period_total);
    for (int r = 1; r <= m; ++r) {
        // Lines of goods no longer in 商品 count in the total but class nothing.
        const auto it = position.constFind(sums(0, r).trimmed());
        if (it == position.constEnd())
            continue;
        const int k = rank[size_t(r - 1)];
        result.classes[size_t(*it)] = k < 2 ? k : whole_sum(sums(2, r)) > 1 ? kGoodsSeveral : kGoodsOnce;
    }
    for (int c : result.classes)
        ++result.counts[size_t(c)];
    return result;
}

QStringList abc_goods_buyers(Database& db, const QString& start_date, const QString& goods_id) {
    if (!is_key(goods_id.trimmed()) || !QDate::fromString(start_date, QStringLiteral("yyyy/MM/dd")).isValid())
        return {};
    const ResultTable rows = db.query_rows(QStringLiteral("select 顧客名,sum(金額) from 受注明細 ") +
                                               period_condition(start_date) + QStringLiteral(" and 商品ID=") +
                                               goods_id.trimmed() + QStringLiteral(" group by 顧客名 "),
                                           2);
    struct Buyer {
        QString name;
        qint64 sum;
    };
    std::vector<Buyer> buyers;
    for (int r = 1, n = rows.row_count(); r <= n; ++r)
        if (rows(0, r) != QLatin1String("-") && !rows(0, r).isEmpty())
            buyers.push_back({rows(0, r), whole_sum(rows(1, r))});
    std::sort(buyers.begin(), buyers.end(), [](const Buyer& a, const Buyer& b) {
        return a.sum != b.sum ? a.sum > b.sum : a.name < b.name;
    });
    QStringList names;
    for (const Buyer& b : buyers)
        names << b.name;
    return names;
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
