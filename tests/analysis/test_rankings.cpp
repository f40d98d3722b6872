#include <QProcess>
#include <QtTest>

#include "analysis/after_sales.h"
#include "analysis/order_visits.h"
#include "analysis/ranking.h"
#include "test_folder.h"

namespace {

struct Fixture {
    TestFolder folder;
    explicit Fixture(const QDate& today = QDate(2026, 12, 8)) : folder(today) {}

    QDate today() { return folder.session().clock.today(); }
    QString customer(const QString& name) { return folder.add_customer(name, QStringLiteral("かな")); }
    static QString literal(const QString& value) {
        return value.isNull() ? QStringLiteral("NULL") : sql_text(value);
    }
    void order(const QString& customer_id, const QString& date, const QString& amount) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤',%2,'注文',%3,10,0)")
                        .arg(customer_id, literal(date), amount));
    }
    void visit(const QString& customer_id, const QString& date) {
        folder.exec(
            QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,'佐藤',%2,'訪問','')")
                .arg(customer_id, literal(date)));
    }
    void visits(const QString& customer_id, int count) {
        for (int i = 0; i < count; ++i)
            visit(customer_id, QStringLiteral("2026/01/01"));
    }
    void line(const QString& goods_id, const QString& customer_name, const QString& amount,
              const QString& date) {
        folder.exec(QStringLiteral(
                        "insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(1,%1,%2,1,%3,%4)")
                        .arg(goods_id, sql_text(customer_name), amount, literal(date)));
    }
};

QVector<QStringList> cells(const Ranking& ranking) {
    QVector<QStringList> rows;
    for (const RankedRow& row : ranking.rows)
        rows << row.cells;
    return rows;
}

RankedRow row(const QString& a, const QString& b) {
    return RankedRow{QString(), {a, b}};
}

}  // namespace

class TestRankings : public QObject {
    Q_OBJECT
private slots:
    void number_text_data();
    void number_text();
    void period_start_data();
    void period_start();
    void sort_numbers_as_numbers_and_stable_data();
    void sort_numbers_as_numbers_and_stable();

    void order_ranking_counts_orders_strictly_after_the_start();
    void order_ranking_rows_data();
    void order_ranking_rows();
    void goods_ranking_excludes_both_ends();

    void order_visits_rank_text_data();
    void order_visits_rank_text();
    void order_visits_without_visits_ranks_by_total();
    void orders_without_customer_take_no_visits();

    void after_sales_boundary_data();
    void after_sales_boundary();
    void after_sales_counts_days_from_today_data();
    void after_sales_counts_days_from_today();
    void after_sales_order_without_customer_keeps_the_list();
    void after_sales_goods_lists_buyers();

    void cli_reports_data();
    void cli_reports();
};

void TestRankings::number_text_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("100000 over 3") << 100000.0 / 3 << "33333.3333333333";
    QTest::newRow("whole") << 150000.0 << "150000";
    QTest::newRow("trailing zeros") << 2.5 << "2.5";
    QTest::newRow("binary fraction") << 0.1 + 0.2 << "0.3";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative") << -10.0 / 4 << "-2.5";
    QTest::newRow("15 digits") << 1e15 << "1000000000000000";
    QTest::newRow("beyond 15 digits") << 12345678901234567.0 << "12345678901234600";
    QTest::newRow("small") << 1.5e-7 << "0.00000015";
}

void TestRankings::number_text() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(::number_text(value), text);
}

void TestRankings::period_start_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("start");
    QTest::newRow("ordinary") << QDate(2026, 12, 8) << "2025/12/08";
    QTest::newRow("new year") << QDate(2026, 1, 1) << "2025/01/01";
    QTest::newRow("February 29") << QDate(2024, 2, 29) << "2023/02/28";
    QTest::newRow("February 28 of a leap year") << QDate(2024, 2, 28) << "2023/02/28";
}

void TestRankings::period_start() {
    QFETCH(QDate, today);
    QFETCH(QString, start);
    QCOMPARE(period_start_text(today), start);
    QCOMPARE(period_end_text(today), today.toString(QStringLiteral("yyyy/MM/dd")));
}

void TestRankings::sort_numbers_as_numbers_and_stable_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QList<int>>("order");
    // Rows: ("b", "9"), ("a", "10"), ("c", ""), ("d", "10"), ("a", "2.5")
    QTest::newRow("numbers largest first") << 1 << true << QList<int>{1, 3, 0, 4, 2};
    QTest::newRow("numbers smallest first") << 1 << false << QList<int>{2, 4, 0, 1, 3};
    QTest::newRow("text ascending") << 0 << false << QList<int>{1, 4, 0, 2, 3};
    QTest::newRow("text descending") << 0 << true << QList<int>{3, 2, 0, 1, 4};
}

void TestRankings::sort_numbers_as_numbers_and_stable() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QList<int>, order);
    const QVector<RankedRow> rows{row("b", "9"), row("a", "10"), row("c", ""), row("d", "10"),
                                  row("a", "2.5")};
    QCOMPARE(sorted_order(rows, column, descending), QVector<int>(order.begin(), order.end()));
}

void TestRankings::order_ranking_counts_orders_strictly_after_the_start() {
    Fixture f;
    const QString a = f.customer(QStringLiteral("山田商事"));
    f.order(a, QStringLiteral("2025/12/08"), QStringLiteral("1"));   // the start date: not counted
    f.order(a, QStringLiteral("2025/12/09"), QStringLiteral("10"));  // the day after
    f.order(a, QStringLiteral("2026/12/08"), QStringLiteral("100"));
    f.order(a, QStringLiteral("2027/01/05"), QStringLiteral("1000"));  // after today: counted too
    f.order(a, QString(), QStringLiteral("10000"));                    // no date
    const Ranking ranking = order_ranking(f.folder.db(), f.today());
    QCOMPARE(ranking.headings, (QStringList{"顧客名", "訪問数", "受注累計"}));
    QCOMPARE(cells(ranking), (QVector<QStringList>{{"山田商事", "", "1110"}}));
}

void TestRankings::order_ranking_rows_data() {
    QTest::addColumn<bool>("with_visits");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<bool>("null_amount");
    QTest::addColumn<QStringList>("second_row");
    QTest::newRow("visits counted over all time") << true << false << false << QStringList{"B社", "3", "500"};
    QTest::newRow("no visits: empty cell") << false << false << false << QStringList{"B社", "", "500"};
    QTest::newRow("deleted customer: empty name") << true << true << false << QStringList{"", "3", "500"};
    QTest::newRow("NULL amounts sum to 0") << false << false << true << QStringList{"B社", "", "0"};
}

void TestRankings::order_ranking_rows() {
    QFETCH(bool, with_visits);
    QFETCH(bool, deleted);
    QFETCH(bool, null_amount);
    QFETCH(QStringList, second_row);
    Fixture f;
    const QString a = f.customer(QStringLiteral("A社"));
    const QString b = f.customer(QStringLiteral("B社"));
    f.order(a, QStringLiteral("2026/06/01"), QStringLiteral("900"));
    f.order(b, QStringLiteral("2026/06/01"), null_amount ? QStringLiteral("NULL") : QStringLiteral("500"));
    if (with_visits) {
        f.visit(b, QStringLiteral("2020/01/01"));  // long before the period
        f.visits(b, 2);
    }
    if (deleted)
        f.folder.exec(QStringLiteral("delete from 顧客 where 顧客ID=") + b);
    const Ranking ranking = order_ranking(f.folder.db(), f.today());
    QCOMPARE(cells(ranking), (QVector<QStringList>{{"A社", "", "900"}, second_row}));
    QCOMPARE(ranking.rows.at(1).id, b);
}

void TestRankings::goods_ranking_excludes_both_ends() {
    Fixture f;
    const QString pen = f.folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("100"));
    const QString desk = f.folder.add_goods(QStringLiteral("事務机"), QStringLiteral("50000"));
    const QString chair = f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("20000"));
    f.line(pen, QStringLiteral("A社"), QStringLiteral("1"), QStringLiteral("2025/12/08"));     // start: out
    f.line(pen, QStringLiteral("A社"), QStringLiteral("20"), QStringLiteral("2025/12/09"));    // in
    f.line(pen, QStringLiteral("B社"), QStringLiteral("300"), QStringLiteral("2026/12/07"));   // in
    f.line(pen, QStringLiteral("B社"), QStringLiteral("4000"), QStringLiteral("2026/12/08"));  // today: out
    f.line(desk, QStringLiteral("B社"), QStringLiteral("320"), QStringLiteral("2026/03/01"));
    f.line(chair, QStringLiteral("B社"), QStringLiteral("320"), QStringLiteral("2026/03/01"));
    f.line(QStringLiteral("999"), QStringLiteral("B社"), QStringLiteral("5"), QStringLiteral("2026/03/01"));
    const Ranking ranking = goods_ranking(f.folder.db(), f.today());
    QCOMPARE(ranking.headings, (QStringList{"商品名", "累計金額"}));
    // Equal totals keep the order of the goods keys; a goods item no longer kept has an empty name.
    QCOMPARE(cells(ranking),
             (QVector<QStringList>{{"ボールペン", "320"}, {"事務机", "320"}, {"椅子", "320"}, {"", "5"}}));
}

void TestRankings::order_visits_rank_text_data() {
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("visit_count");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("100000 over 3 visits")
        << "100000" << 3 << QStringList{"A社", "33333.3333333333", "3", "100000"};
    QTest::newRow("exact quotient") << "90000" << 4 << QStringList{"A社", "22500", "4", "90000"};
    QTest::newRow("no visits: the total") << "70000" << 0 << QStringList{"A社", "70000", "", "70000"};
    QTest::newRow("NULL total") << "NULL" << 2 << QStringList{"A社", "0", "2", "0"};
    QTest::newRow("beyond 32 bits") << "6000000000" << 7
                                    << QStringList{"A社", "857142857.142857", "7", "6000000000"};
}

void TestRankings::order_visits_rank_text() {
    QFETCH(QString, total);
    QFETCH(int, visit_count);
    QFETCH(QStringList, cells);
    Fixture f;
    const QString a = f.customer(QStringLiteral("A社"));
    f.order(a, QStringLiteral("2020/01/01"), total);
    f.visits(a, visit_count);
    const Ranking ranking = order_visits(f.folder.db());
    QCOMPARE(ranking.headings, (QStringList{"顧客名", "ランク", "訪問数", "受注累計"}));
    QCOMPARE(::cells(ranking), (QVector<QStringList>{cells}));
}

void TestRankings::order_visits_without_visits_ranks_by_total() {
    Fixture f;
    const QString two = f.customer(QStringLiteral("二回訪問"));
    const QString one = f.customer(QStringLiteral("一回訪問"));
    const QString none = f.customer(QStringLiteral("訪問なし"));
    const QString visits_only = f.customer(QStringLiteral("訪問だけ"));
    f.order(two, QStringLiteral("2026/01/01"), QStringLiteral("60000"));
    f.order(one, QStringLiteral("2026/01/01"), QStringLiteral("40000"));
    f.order(one, QStringLiteral("2026/02/01"), QStringLiteral("20000"));
    f.order(none, QStringLiteral("2026/01/01"), QStringLiteral("60000"));
    f.visits(two, 2);
    f.visits(one, 1);
    f.visits(visits_only, 5);
    QStringList names;
    for (const RankedRow& r : order_visits(f.folder.db()).rows)
        names << r.cells.value(0);
    QCOMPARE(names, (QStringList{"一回訪問", "訪問なし", "二回訪問"}));
}

void TestRankings::orders_without_customer_take_no_visits() {
    Fixture f;
    f.order(QStringLiteral("NULL"), QStringLiteral("2026/06/01"), QStringLiteral("8000"));
    f.visits(QStringLiteral("NULL"), 4);
    QCOMPARE(cells(order_visits(f.folder.db())), (QVector<QStringList>{{"", "8000", "", "8000"}}));
    QCOMPARE(cells(order_ranking(f.folder.db(), f.today())), (QVector<QStringList>{{"", "", "8000"}}));
}

void TestRankings::after_sales_boundary_data() {
    QTest::addColumn<QString>("latest");
    QTest::addColumn<bool>("listed");
    QTest::newRow("exactly 120 days back") << "2003/07/28" << true;
    QTest::newRow("119 days back") << "2003/07/29" << false;
    QTest::newRow("after today") << "2003/12/01" << false;
    QTest::newRow("today") << "2003/11/25" << false;
}

void TestRankings::after_sales_boundary() {
    QFETCH(QString, latest);
    QFETCH(bool, listed);
    Fixture f(QDate(2003, 11, 25));
    const QString a = f.customer(QStringLiteral("山田商事"));
    f.customer(QStringLiteral("注文なし"));
    f.order(a, QStringLiteral("2003/01/10"), QStringLiteral("100"));
    f.order(a, latest, QStringLiteral("100"));
    f.visit(a, QStringLiteral("2003/01/10"));
    f.visit(a, latest);
    const QStringList expected =
        listed ? QStringList{QStringLiteral("山田商事") + latest, QStringLiteral("山田商事2003/01/10")}
               : QStringList{};
    QCOMPARE(customers_without_recent_orders(f.folder.db(), f.today(), 120), expected);
    QCOMPARE(customers_without_recent_visits(f.folder.db(), f.today(), 120), expected);
}

void TestRankings::after_sales_counts_days_from_today_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<qint64>("days");
    QTest::addColumn<bool>("listed");
    QTest::newRow("120 days before 2026/12/08") << QDate(2026, 12, 8) << "2026/08/10" << qint64(120) << true;
    QTest::newRow("119 days before 2026/12/08") << QDate(2026, 12, 8) << "2026/08/11" << qint64(120) << false;
    QTest::newRow("30 days across a leap day") << QDate(2024, 3, 15) << "2024/02/14" << qint64(30) << true;
    QTest::newRow("0 days lists every customer") << QDate(2026, 12, 8) << "2026/12/08" << qint64(0) << true;
    QTest::newRow("very many days") << QDate(2026, 12, 8) << "1990/01/01" << qint64(99999999) << false;
}

void TestRankings::after_sales_counts_days_from_today() {
    QFETCH(QDate, today);
    QFETCH(QString, latest);
    QFETCH(qint64, days);
    QFETCH(bool, listed);
    Fixture f(today);
    const QString a = f.customer(QStringLiteral("山田商事"));
    f.order(a, latest, QStringLiteral("100"));
    f.visit(a, latest);
    const QStringList expected = listed ? QStringList{QStringLiteral("山田商事") + latest} : QStringList{};
    QCOMPARE(customers_without_recent_orders(f.folder.db(), f.today(), days), expected);
    QCOMPARE(customers_without_recent_visits(f.folder.db(), f.today(), days), expected);
}

void TestRankings::after_sales_order_without_customer_keeps_the_list() {
    Fixture f(QDate(2003, 11, 25));
    const QString a = f.customer(QStringLiteral("山田商事"));
    f.order(a, QStringLiteral("2003/01/10"), QStringLiteral("100"));
    f.order(QStringLiteral("NULL"), QStringLiteral("2003/11/20"), QStringLiteral("100"));
    f.visit(a, QStringLiteral("2003/01/10"));
    f.visit(QStringLiteral("NULL"), QStringLiteral("2003/11/20"));
    const QStringList expected{QStringLiteral("山田商事2003/01/10")};
    QCOMPARE(customers_without_recent_orders(f.folder.db(), f.today(), 120), expected);
    QCOMPARE(customers_without_recent_visits(f.folder.db(), f.today(), 120), expected);
}

void TestRankings::after_sales_goods_lists_buyers() {
    Fixture f;
    const QString pen = f.folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("100"));
    const QString desk = f.folder.add_goods(QStringLiteral("事務机"), QStringLiteral("50000"));
    f.line(pen, QStringLiteral("A社"), QStringLiteral("100"), QStringLiteral("2025/01/01"));
    f.line(desk, QStringLiteral("B社"), QStringLiteral("100"), QStringLiteral("2026/01/01"));
    f.line(pen, QStringLiteral("C社"), QStringLiteral("100"), QStringLiteral("2026/05/01"));
    f.line(pen, QStringLiteral("A社"), QStringLiteral("100"), QStringLiteral("2026/03/01"));
    QCOMPARE(customers_of_goods(f.folder.db(), pen), (QStringList{"C社", "A社", "A社"}));
    QCOMPARE(customers_of_goods(f.folder.db(), QStringLiteral("1 or 1=1")), QStringList{});
    const GoodsChoice choice = goods_choice(f.folder.db());
    QCOMPARE(choice.names, (QStringList{"ボールペン", "事務机"}));
    QCOMPARE(choice.ids, (QStringList{pen, desk}));
}

void TestRankings::cli_reports_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("rfm") << QStringList{"rfm"} << 0
                         << "顧客ID\t顧客名\t総合\tR\tF\tM\n2\tB社\t9\t5\t2\t2\n1\tA社\t7\t5\t\t2\n";
    QTest::newRow("order-rank") << QStringList{"order-rank"} << 0
                                << "顧客ID\t顧客名\t訪問数\t受注累計\n1\tA社\t3\t100000\n2\tB社\t\t60000\n";
    QTest::newRow("goods-rank") << QStringList{"goods-rank"} << 0
                                << "商品ID\t商品名\t累計金額\n1\tペン\t500\n";
    QTest::newRow("order-visits") << QStringList{"order-visits"} << 0
                                  << "顧客ID\t顧客名\tランク\t訪問数\t受注累計\n"
                                     "2\tB社\t60000\t\t60000\n1\tA社\t33333.3333333333\t3\t100000\n";
    QTest::newRow("after-sales orders")
        << QStringList{"after-sales", "orders", "5"} << 0 << "顧客名・受注日\nA社2026/12/01\n";
    QTest::newRow("after-sales visits") << QStringList{"after-sales", "visits", "120"} << 0
                                        << "顧客名・訪問日\nA社2026/01/01\nA社2026/01/01\nA社2026/01/01\n";
    QTest::newRow("after-sales goods") << QStringList{"after-sales", "goods", "1"} << 0 << "顧客名\nB社\n";
    QTest::newRow("days not a number") << QStringList{"after-sales", "orders", "abc"} << 2 << "";
    QTest::newRow("unknown list") << QStringList{"after-sales", "claims", "5"} << 2 << "";
}

void TestRankings::cli_reports() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    const QString cli = qEnvironmentVariable("SALES_CLI");
    if (cli.isEmpty())
        QSKIP("SALES_CLI is not set");
    Fixture f;
    const QString a = f.customer(QStringLiteral("A社"));
    const QString b = f.customer(QStringLiteral("B社"));
    f.order(a, QStringLiteral("2026/12/01"), QStringLiteral("100000"));
    f.order(b, QStringLiteral("2026/12/04"), QStringLiteral("30000"));
    f.order(b, QStringLiteral("2026/12/05"), QStringLiteral("30000"));
    f.visits(a, 3);
    const QString pen = f.folder.add_goods(QStringLiteral("ペン"), QStringLiteral("100"));
    f.line(pen, QStringLiteral("B社"), QStringLiteral("500"), QStringLiteral("2026/12/04"));
    QProcess process;
    process.setWorkingDirectory(f.folder.path());
    process.start(cli, QStringList{"--as-of", "2026/12/08", "report"} + arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), status);
    if (status == 0)
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), output);
    else
        QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestRankings)
#include "test_rankings.moc"
