#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <vector>

class Database;

// ABC analyses over the year before today: customers by their order amounts, goods by their order
// line amounts.

// Today one year back; on 29 February, 28 February of the year before (that year has no 29th).
// Orders count when their date is strictly after it.
QDate abc_period_start(const QDate& today);
QString abc_period_start_text(const QDate& today);

// A sum cell as a 64-bit whole number: NULL ("-") and unreadable text count as 0, a decimal form
// ("12345.0", as some back-ends return sums) is rounded.
qint64 whole_sum(const QString& cell);

// Classes by running total, largest sum first (equal sums in the order quick_sort leaves them):
// 0 (A) while the total of those before is at most 20 % of total, 1 (B) while at most 80 %, then 2.
// One class per entry of sums.
std::vector<int> abc_rank(const std::vector<qint64>& sums, qint64 total);

// Customers: A, B, C (the rest who ordered), D (no orders in the period).
constexpr int kCustomerRankD = 3;
struct AbcCustomers {
    QString start_date;
    qint64 period_total = 0;
    QVector<QString> ids;  // in the database's row order
    QVector<QString> names;
    std::vector<int> ranks;  // 0 to 3 per customer
    std::array<int, 4> counts{};
};
AbcCustomers abc_customers(Database& db, const QDate& today);
QString abc_rank_letter(int rank);  // "A" to "D"
// グループ A (12　件); an empty class reads グループ D (0　件).
QString abc_customer_group_text(int rank, int count);

// Goods: A, B, then the rest split by how often they sold, and those not sold in the period.
enum GoodsClass { kGoodsA = 0, kGoodsB = 1, kGoodsSeveral = 2, kGoodsOnce = 3, kGoodsNone = 4 };
struct AbcGoods {
    QString start_date;
    qint64 period_total = 0;
    QVector<QString> ids;  // in the database's row order
    QVector<QString> names;
    std::vector<int> classes;  // GoodsClass per goods item
    std::array<int, 5> counts{};
};
AbcGoods abc_goods(Database& db, const QDate& today);
// The customers who bought the goods item in the period that starts after start_date, largest
// buyer first (equal amounts by name). Read when a goods node is opened, not for every item at
// once: a year of order lines holds a great many buyers. Empty for an id that is not a key.
QStringList abc_goods_buyers(Database& db, const QString& start_date, const QString& goods_id);
QString abc_goods_class_name(int goods_class);  // "A", "B", "数回の売り上げ", "一回のみ", "売り上げなし"
QString abc_goods_group_text(int goods_class, int count);
