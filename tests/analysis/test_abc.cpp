#include <QProcess>
#include <QtTest>
#include <random>

#include "analysis/abc.h"
#include "analysis/cluster.h"
#include "analysis/quick_sort.h"
#include "test_folder.h"

namespace {

// Today in these tests is 2026/12/08, so the period starts 2025/12/08 (strictly after it counts).
struct Order {
    QString customer;  // a name from the customer list, or "#999" for a deleted customer's id
    QString date;
    QString amount;  // spliced bare; "NULL" for an empty amount
};

// One letter per name, in the order of names: the database may list the customers in any order.
QString ranks_text(const AbcCustomers& result, const QStringList& names) {
    QString text;
    for (const QString& name : names) {
        const int p = result.names.indexOf(name);
        text += p < 0 ? QStringLiteral("?") : abc_rank_letter(result.ranks[size_t(p)]);
    }
    return text;
}

}  // namespace

Q_DECLARE_METATYPE(Order)

class TestAbc : public QObject {
    Q_OBJECT

private slots:
    void period_start_data();
    void period_start();
    void quick_sort_order_data();
    void quick_sort_order();
    void quick_sort_keeps_ids_with_keys();
    void customer_classes_data();
    void customer_classes();
    void goods_classes_and_buyers();
    void group_texts_data();
    void group_texts();
    void reports_from_the_command_line_data();
    void reports_from_the_command_line();
};

void TestAbc::period_start_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("start");
    QTest::newRow("ordinary day") << QDate(2026, 12, 7) << QStringLiteral("2025/12/07");
    QTest::newRow("new year's day") << QDate(2026, 1, 1) << QStringLiteral("2025/01/01");
    QTest::newRow("29 February") << QDate(2028, 2, 29) << QStringLiteral("2027/02/28");
    QTest::newRow("1 March after a leap day") << QDate(2029, 3, 1) << QStringLiteral("2028/03/01");
}

void TestAbc::period_start() {
    QFETCH(QDate, today);
    QFETCH(QString, start);
    QCOMPARE(abc_period_start_text(today), start);
}

void TestAbc::quick_sort_order_data() {
    QTest::addColumn<QVector<qint64>>("keys");
    QTest::addColumn<QVector<int>>("ids");  // ids after sorting; before, entry i has id i + 1
    // Worked through by hand with the middle pivot and equal keys going to its right.
    QTest::newRow("distinct") << QVector<qint64>{3, 1, 2} << QVector<int>{2, 3, 1};
    QTest::newRow("all equal: not stable") << QVector<qint64>{5, 5, 5} << QVector<int>{2, 1, 3};
    QTest::newRow("two pairs of equals") << QVector<qint64>{7, 5, 7, 5} << QVector<int>{2, 4, 3, 1};
    QTest::newRow("one entry") << QVector<qint64>{9} << QVector<int>{1};
    QTest::newRow("above 32 bits") << QVector<qint64>{5000000000LL, -1, 4294967296LL}
                                   << QVector<int>{2, 3, 1};
}

void TestAbc::quick_sort_order() {
    QFETCH(QVector<qint64>, keys);
    QFETCH(QVector<int>, ids);
    std::vector<qint64> k(keys.begin(), keys.end());
    std::vector<int> p;
    for (int i = 0; i < keys.size(); ++i)
        p.push_back(i + 1);
    quick_sort(k, p, 0, int(k.size()) - 1);
    QCOMPARE(QVector<int>(p.begin(), p.end()), ids);
    for (int i = 0; i < ids.size(); ++i)
        QCOMPARE(k[size_t(i)], keys.at(ids.at(i) - 1));
}

void TestAbc::quick_sort_keeps_ids_with_keys() {
    std::mt19937 rng(7);
    for (int n : {2, 17, 1000}) {
        std::vector<qint64> keys;
        std::vector<int> ids;
        for (int i = 0; i < n; ++i) {
            keys.push_back(std::uniform_int_distribution<int>(0, 20)(rng));  // many equal keys
            ids.push_back(i);
        }
        const std::vector<qint64> original = keys;
        // A range inside the tables: the entries outside stay where they are.
        quick_sort(keys, ids, 1, n - 1);
        QCOMPARE(ids[0], 0);
        QVERIFY(std::is_sorted(keys.begin() + 1, keys.end()));
        std::vector<int> seen = ids;
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < n; ++i) {
            QCOMPARE(seen[size_t(i)], i);
            QCOMPARE(keys[size_t(i)], original[size_t(ids[size_t(i)])]);
        }
    }
}

void TestAbc::customer_classes_data() {
    QTest::addColumn<QStringList>("customers");
    QTest::addColumn<QVector<Order>>("orders");
    QTest::addColumn<QString>("ranks");  // one letter per customer, in customer order
    QTest::addColumn<qint64>("total");
    QTest::newRow("on the start date is D, the day after counts")
        << QStringList{"甲", "乙"} << QVector<Order>{{"甲", "2025/12/08", "500"}, {"乙", "2025/12/09", "10"}}
        << QStringLiteral("DA") << qint64(10);
    QTest::newRow("zero sum in the period is C, not D")
        << QStringList{"甲", "乙", "丙"}
        << QVector<Order>{{"甲", "2026/03/01", "1000"}, {"乙", "2026/03/01", "0"}} << QStringLiteral("ACD")
        << qint64(1000);
    QTest::newRow("top customer above 80 %")
        << QStringList{"甲", "乙", "丙"}
        << QVector<Order>{{"甲", "2026/03/01", "900"}, {"乙", "2026/03/01", "50"}, {"丙", "2026/03/02", "50"}}
        << QStringLiteral("ACC") << qint64(1000);
    QTest::newRow("the one crossing a line keeps the class before it")
        << QStringList{"甲", "乙", "丙", "丁", "戊"}
        << QVector<Order>{{"甲", "2026/03/01", "10"},
                          {"乙", "2026/03/01", "15"},
                          {"丙", "2026/03/01", "30"},
                          {"丁", "2026/03/01", "45"},
                          {"戊", "2026/03/01", "0"}}
        << QStringLiteral("CBBAC") << qint64(100);
    QTest::newRow("sums above 2,147,483,647 yen") << QStringList{"甲", "乙", "丙", "丁"}
                                                  << QVector<Order>{{"甲", "2026/03/01", "2500000000"},
                                                                    {"乙", "2026/03/01", "1000000000"},
                                                                    {"丙", "2026/03/01", "3000000000"},
                                                                    {"丁", "2026/03/01", "500000000"}}
                                                  << QStringLiteral("BBAC") << qint64(7000000000LL);
    QTest::newRow("empty amounts count as 0")
        << QStringList{"甲", "乙"} << QVector<Order>{{"甲", "2026/03/01", "NULL"}, {"乙", "2026/03/01", "40"}}
        << QStringLiteral("CA") << qint64(40);
    QTest::newRow("no orders in the period: everyone D")
        << QStringList{"甲", "乙"} << QVector<Order>{{"甲", "2024/03/01", "40"}} << QStringLiteral("DD")
        << qint64(0);
    // The deleted customer's sum is counted first and takes the running total past both lines.
    QTest::newRow("a deleted customer's sum counts but classes nobody")
        << QStringList{"甲", "乙"}
        << QVector<Order>{{"#999", "2026/03/01", "10000"},
                          {"甲", "2026/03/01", "100"},
                          {"乙", "2026/03/01", "50"}}
        << QStringLiteral("CC") << qint64(10150);
    // Equal sums: the later one in the sorted range (the second customer) is classed first.
    QTest::newRow("equal sums around a line")
        << QStringList{"甲", "乙"} << QVector<Order>{{"甲", "2026/03/01", "100"}, {"乙", "2026/03/01", "100"}}
        << QStringLiteral("BA") << qint64(200);
    QTest::newRow("several orders of one customer add up")
        << QStringList{"甲", "乙"}
        << QVector<Order>{{"甲", "2026/03/01", "30"}, {"甲", "2026/04/01", "40"}, {"乙", "2026/03/01", "60"}}
        << QStringLiteral("AB") << qint64(130);
}

void TestAbc::customer_classes() {
    QFETCH(QStringList, customers);
    QFETCH(QVector<Order>, orders);
    QFETCH(QString, ranks);
    QFETCH(qint64, total);
    TestFolder folder(QDate(2026, 12, 8));
    QHash<QString, QString> ids;
    for (const QString& name : customers)
        ids.insert(name, folder.add_customer(name, QStringLiteral("かな")));
    for (const Order& o : orders) {
        const QString id = o.customer.startsWith('#') ? o.customer.mid(1) : ids.value(o.customer);
        folder.exec(QStringLiteral(
                        "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(%1,'佐藤',%2,'注文',%3)")
                        .arg(id, sql_text(o.date), o.amount));
    }
    const AbcCustomers result = abc_customers(folder.db(), folder.session().clock.today());
    QCOMPARE(result.start_date, QStringLiteral("2025/12/08"));
    QCOMPARE(result.names.size(), customers.size());
    QCOMPARE(ranks_text(result, customers), ranks);
    QCOMPARE(result.period_total, total);
    for (int rank = 0; rank < 4; ++rank)
        QCOMPARE(result.counts[size_t(rank)], int(ranks.count(abc_rank_letter(rank))));
}

void TestAbc::goods_classes_and_buyers() {
    TestFolder folder(QDate(2026, 12, 8));
    const QStringList goods = {"大口", "中口", "複数回", "一回", "期間前のみ", "売れず"};
    QStringList goods_ids;
    for (const QString& g : goods)
        goods_ids << folder.add_goods(g, QStringLiteral("100"));
    // goods index, buyer, date, amount
    const struct {
        int goods;
        const char* buyer;
        const char* date;
        qint64 amount;
    } lines[] = {
        {0, "山田商事", "2026/05/01", 3000000000LL},  // above 32 bits on its own
        {0, "佐藤建設", "2026/05/02", 400000000},
        {0, "山田商事", "2026/06/01", 100000000},
        {1, "佐藤建設", "2026/05/03", 2000000000},
        {1, "鈴木工業", "2026/05/03", 1500000000},
        {2, "鈴木工業", "2026/07/01", 300},
        {2, "鈴木工業", "2026/07/02", 300},
        {3, "山田商事", "2026/08/01", 50},
        {4, "山田商事", "2025/12/08", 999999},  // on the start date: not in the period
        {-1, "山田商事", "2026/08/01", 70},     // goods no longer in 商品
    };
    for (const auto& l : lines)
        folder.exec(QStringLiteral(
                        "insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(1,%1,%2,1,%3,%4)")
                        .arg(l.goods < 0 ? QStringLiteral("999") : goods_ids.at(l.goods),
                             sql_text(QString::fromUtf8(l.buyer)))
                        .arg(l.amount)
                        .arg(sql_text(QString::fromUtf8(l.date))));
    const AbcGoods result = abc_goods(folder.db(), folder.session().clock.today());
    // Total 7,000,000,720: 大口 (3.5e9) is A, and with 中口 (3.5e9) the total passes 80 %.
    QCOMPARE(result.period_total, qint64(7000000720LL));
    QCOMPARE(result.names.size(), goods.size());
    const int classes[] = {kGoodsA, kGoodsB, kGoodsSeveral, kGoodsOnce, kGoodsNone, kGoodsNone};
    const QStringList buyers[] = {{"山田商事", "佐藤建設"},  // largest buyer first
                                  {"佐藤建設", "鈴木工業"}, {"鈴木工業"}, {"山田商事"}, {}, {}};
    for (int g = 0; g < goods.size(); ++g) {
        const int p = result.names.indexOf(goods.at(g));
        QVERIFY(p >= 0);
        QCOMPARE(result.ids.at(p), goods_ids.at(g));
        QCOMPARE(result.classes[size_t(p)], classes[g]);
        QCOMPARE(abc_goods_buyers(folder.db(), result.start_date, result.ids.at(p)), buyers[g]);
    }
    QCOMPARE(result.counts, (std::array<int, 5>{1, 1, 1, 1, 2}));
    // The id is spliced bare, so anything but a key reads nothing.
    QCOMPARE(abc_goods_buyers(folder.db(), result.start_date, QStringLiteral("1 or 1=1")), QStringList());
}

void TestAbc::group_texts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("customer class") << abc_customer_group_text(0, 12)
                                    << QStringLiteral("グループ A (12　件)");
    QTest::newRow("empty customer class")
        << abc_customer_group_text(3, 0) << QStringLiteral("グループ D (0　件)");
    QTest::newRow("goods B") << abc_goods_group_text(kGoodsB, 3) << QStringLiteral("グループ B (3　件)");
    QTest::newRow("goods sold once") << abc_goods_group_text(kGoodsOnce, 7)
                                     << QStringLiteral("一回のみ (7　件)");
    QTest::newRow("goods not sold, none")
        << abc_goods_group_text(kGoodsNone, 0) << QStringLiteral("売り上げなし (0　件)");
}

void TestAbc::group_texts() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestAbc::reports_from_the_command_line_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");  // stdout, or the message on stderr when status is not 0
    QTest::addColumn<int>("customers");      // the first of 甲, 乙, 丙
    // Customers 1 甲 (order of 900 on 2026/03/01), 2 乙 (100 on 2025/12/20), 3 丙 (none); goods 1 机
    // (two lines), 2 椅子 (none). The embedded database returns them by name, in code point order.
    QTest::newRow("abc-customers") << QStringList{"--as-of", "2026/12/08", "report", "abc-customers"} << 0
                                   << QStringList{"顧客ID\tランク\t顧客名", "3\tD\t丙", "2\tC\t乙",
                                                  "1\tA\t甲"}
                                   << 3;
    // A year later only the order of 2026/03/01 is in the period.
    QTest::newRow("abc-customers, --as-of moves the period")
        << QStringList{"--as-of=2026/12/21", "report", "abc-customers"} << 0
        << QStringList{"顧客ID\tランク\t顧客名", "3\tD\t丙", "2\tD\t乙", "1\tA\t甲"} << 3;
    QTest::newRow("abc-goods") << QStringList{"--as-of", "2026/12/08", "report", "abc-goods"} << 0
                               << QStringList{"商品ID\t区分\t商品名", "1\tA\t机", "2\t売り上げなし\t椅子"}
                               << 3;
    QTest::newRow("cluster") << QStringList{"report", "cluster"} << 0
                             << QStringList{"顧客ID\tグループ\t顧客名", "3\t1\t丙", "2\t2\t乙", "1\t3\t甲"}
                             << 3;
    QTest::newRow("arguments are refused") << QStringList{"report", "abc-goods", "x"} << 2
                                           << QStringList{"report abc-goods は引数を取りません: x"} << 3;
    QTest::newRow("cluster refused with two customers")
        << QStringList{"report", "cluster"} << 2 << QStringList{kTooFewCasesMessage} << 2;
}

void TestAbc::reports_from_the_command_line() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(int, customers);
    const QString cli = qEnvironmentVariable("SALES_CLI");
    QVERIFY2(!cli.isEmpty(), "SALES_CLI is not set");
    TestFolder folder;
    for (const QString& name : QStringList{"甲", "乙", "丙"}.mid(0, customers))
        folder.add_customer(name, QStringLiteral("かな"));
    folder.exec(QStringLiteral(
        "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(1,'佐藤','2026/03/01','x',900)"));
    folder.exec(QStringLiteral(
        "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(2,'佐藤','2025/12/20','x',100)"));
    folder.add_goods(QStringLiteral("机"), QStringLiteral("100"));
    folder.add_goods(QStringLiteral("椅子"), QStringLiteral("100"));
    for (const char* date : {"2026/03/01", "2026/04/01"})
        folder.exec(
            QStringLiteral(
                "insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(1,1,'甲',1,450,'%1')")
                .arg(QString::fromLatin1(date)));
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(cli, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), status);
    const QByteArray text = status == 0 ? process.readAllStandardOutput() : process.readAllStandardError();
    QCOMPARE(QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts), lines);
}

QTEST_GUILESS_MAIN(TestAbc)
#include "test_abc.moc"
