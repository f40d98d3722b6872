#include <QTest>

#include "customers/history_chart.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    TestFolder folder{kToday};
    QString customer = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));

    QString date(int days_ago) const {
        return kToday.addDays(-days_ago).toString(QStringLiteral("yyyy/MM/dd"));
    }
    void order(int days_ago, qint64 amount, const QString& employee = QStringLiteral("佐藤")) {
        folder.exec(
            QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(%1,%2,'%3','注文',%4)")
                .arg(customer, sql_text(employee), date(days_ago))
                .arg(amount));
    }
    void cost(int days_ago, qint64 amount) {
        folder.exec(
            QStringLiteral("insert into 原価 (顧客ID,受注ID,名称,登録日,金額) values(%1,0,'原価','%2',%3)")
                .arg(customer, date(days_ago))
                .arg(amount));
    }
    void visit(int days_ago, const QString& employee = QStringLiteral("佐藤")) {
        folder.exec(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称) values(%1,%2,'%3','訪問')")
                        .arg(customer, sql_text(employee), date(days_ago)));
    }
    HistoryChart customer_chart() {
        return load_history(folder.db(), HistoryFilter::customer(customer), kToday);
    }
};

const TickSeries& visits(const HistoryChart& chart) {
    return chart.ticks.at(1);
}

}  // namespace

class TestHistoryChart : public QObject {
    Q_OBJECT

private slots:
    void one_order_of_ten_thousand();
    void costs_against_orders_data();
    void costs_against_orders();
    void employee_view_reads_no_amounts();
    void month_lines_data();
    void month_lines();
    void records_outside_the_year_are_skipped_data();
    void records_outside_the_year_are_skipped();
    void long_series_are_read_whole();
    void filter_texts_cannot_change_the_statement_data();
    void filter_texts_cannot_change_the_statement();
};

void TestHistoryChart::one_order_of_ten_thousand() {
    Fixture f;
    f.order(10, 10000);
    const HistoryChart chart = f.customer_chart();
    for (int d = 0; d <= kHistoryDays; ++d)
        QCOMPARE(chart.daily.at(d), d == 10 ? 10000 : 0);
    for (int d = 1; d <= kHistoryDays; ++d)
        QCOMPARE(chart.running.at(d), d <= 10 ? 10000 : 0);
    QCOMPARE(chart.max, 10000);
    QCOMPARE(chart.factor, 0.0008);
    QCOMPARE(double(chart.daily.at(10)) * chart.factor, 8.0);  // the bar reaches 8
}

void TestHistoryChart::costs_against_orders_data() {
    QTest::addColumn<QList<int>>("orders");  // days ago, amount, days ago, amount …
    QTest::addColumn<QList<int>>("costs");
    QTest::addColumn<int>("day");
    QTest::addColumn<qint64>("daily");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<double>("factor");

    QTest::newRow("cost after order")
        << QList<int>{20, 10000} << QList<int>{10, 15000} << 10 << qint64(-15000) << qint64(10000) << 0.0008;
    QTest::newRow("cost on the order's day")
        << QList<int>{5, 3000} << QList<int>{5, 4000} << 5 << qint64(-1000) << qint64(0) << 0.0;
    // Losses all year: the deepest total reaches -8 instead of the chart turning upside down.
    QTest::newRow("costs only, all year")
        << QList<int>{} << QList<int>{366, 4000, 100, 4000} << 100 << qint64(-4000) << qint64(-4000) << 0.001;
}

void TestHistoryChart::costs_against_orders() {
    QFETCH(QList<int>, orders);
    QFETCH(QList<int>, costs);
    QFETCH(int, day);
    Fixture f;
    for (int i = 0; i + 1 < orders.size(); i += 2)
        f.order(orders.at(i), orders.at(i + 1));
    for (int i = 0; i + 1 < costs.size(); i += 2)
        f.cost(costs.at(i), costs.at(i + 1));
    const HistoryChart chart = f.customer_chart();
    QTEST(chart.daily.at(day), "daily");
    QTEST(chart.max, "max");
    QTEST(chart.factor, "factor");
    QVERIFY(chart.factor >= 0);
}

void TestHistoryChart::employee_view_reads_no_amounts() {
    Fixture f;
    f.order(10, 10000);
    f.order(3, 500, QStringLiteral("鈴木"));
    f.cost(4, 2000);
    f.visit(7);
    f.visit(2, QStringLiteral("鈴木"));
    const HistoryChart chart =
        load_history(f.folder.db(), HistoryFilter::employee(QStringLiteral("佐藤")), kToday);
    QVERIFY(!chart.has_amounts);
    for (int d = 0; d <= kHistoryDays; ++d) {
        QCOMPARE(chart.daily.at(d), 0);
        QCOMPARE(chart.running.at(d), 0);
    }
    QCOMPARE(chart.factor, 0.0);
    QCOMPARE(visits(chart).days, QVector<int>{7});
}

void TestHistoryChart::month_lines_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QVector<int>>("days");
    QTest::addColumn<QVector<int>>("months");
    const QVector<int> months{3, 2, 1, 12, 11, 10, 9, 8, 7, 6, 5, 4};
    QTest::newRow("15 March") << QDate(2026, 3, 15)
                              << QVector<int>{14, 42, 73, 104, 134, 165, 195, 226, 257, 287, 318, 348}
                              << months;
    QTest::newRow("15 March, leap year")
        << QDate(2024, 3, 15) << QVector<int>{14, 43, 74, 105, 135, 166, 196, 227, 258, 288, 319, 349}
        << months;
    QTest::newRow("1 January") << QDate(2027, 1, 1)
                               << QVector<int>{0, 31, 61, 92, 122, 153, 184, 214, 245, 275, 306, 334}
                               << QVector<int>{1, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
}

void TestHistoryChart::month_lines() {
    QFETCH(QDate, today);
    QFETCH(QVector<int>, days);
    QFETCH(QVector<int>, months);
    const QVector<MonthLine> lines = ::month_lines(today);
    QCOMPARE(lines.size(), 12);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(lines.at(i).days, days.at(i));
        QCOMPARE(lines.at(i).month, months.at(i));
    }
}

void TestHistoryChart::records_outside_the_year_are_skipped_data() {
    QTest::addColumn<int>("days_ago");
    QTest::addColumn<bool>("counted");
    QTest::newRow("400 days old") << 400 << false;
    QTest::newRow("tomorrow") << -1 << false;
    QTest::newRow("367 days old") << 367 << false;
    QTest::newRow("366 days old, the left edge") << 366 << true;
    QTest::newRow("today") << 0 << true;
}

void TestHistoryChart::records_outside_the_year_are_skipped() {
    QFETCH(int, days_ago);
    QFETCH(bool, counted);
    Fixture f;
    f.order(days_ago, 1000);
    f.visit(days_ago);
    f.order(10, 50);  // inside: must stay exactly as it is
    const HistoryChart chart = f.customer_chart();
    QCOMPARE(chart.daily.size(), kHistoryDays + 1);
    qint64 total = 0;
    for (qint64 v : chart.daily)
        total += v;
    QCOMPARE(total, counted ? 1050 : 50);
    QCOMPARE(chart.daily.at(10), days_ago == 10 ? 1050 : 50);
    QCOMPARE(visits(chart).days, counted ? QVector<int>{days_ago} : QVector<int>{});
}

void TestHistoryChart::long_series_are_read_whole() {
    Fixture f;
    {
        Transaction tx(f.folder.db());
        for (int i = 0; i < 1200; ++i) {
            f.order(3, 1);
            f.visit(1 + i % 300);
        }
        tx.commit();
    }
    const HistoryChart chart = f.customer_chart();
    QCOMPARE(chart.daily.at(3), 1200);
    QCOMPARE(visits(chart).days.size(), 1200);
}

void TestHistoryChart::filter_texts_cannot_change_the_statement_data() {
    QTest::addColumn<QString>("employee");
    QTest::newRow("quote") << QStringLiteral("O'Brien");
    QTest::newRow("backslash before quote") << QStringLiteral("田中\\' or 1=1 --");
    QTest::newRow("always true") << QStringLiteral("x' or '1'='1");
}

void TestHistoryChart::filter_texts_cannot_change_the_statement() {
    QFETCH(QString, employee);
    Fixture f;
    f.visit(5, employee);
    f.visit(6, QStringLiteral("佐藤"));
    const HistoryChart chart = load_history(f.folder.db(), HistoryFilter::employee(employee), kToday);
    QCOMPARE(visits(chart).days, QVector<int>{5});
    // A customer key is spliced bare, so anything but a number is refused before a statement runs.
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError, load_history(f.folder.db(), HistoryFilter::customer(f.customer + " or 1=1"), kToday));
}

QTEST_GUILESS_MAIN(TestHistoryChart)
#include "test_history_chart.moc"
