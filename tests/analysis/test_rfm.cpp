#include <QtTest>

#include "analysis/rfm.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    TestFolder folder{kToday};

    QString customer(const QString& name) { return folder.add_customer(name, QStringLiteral("かな")); }
    void order(const QString& customer_id, const QString& date,
               const QString& amount = QStringLiteral("1000")) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤',%2,'注文',%3,10,0)")
                        .arg(customer_id, date.isNull() ? QStringLiteral("NULL") : sql_text(date), amount));
    }
    void order_days_back(const QString& customer_id, int days,
                         const QString& amount = QStringLiteral("1000")) {
        order(customer_id, kToday.addDays(-days).toString(QStringLiteral("yyyy/MM/dd")), amount);
    }
    Ranking rfm() { return compute_rfm(folder.db(), load_rfm_classes(folder.db()), kToday); }
    // The grid row of the customer: 顧客名, 総合, R, F, M.
    QStringList row_of(const QString& name) {
        for (const RankedRow& row : rfm().rows)
            if (row.cells.value(0) == name)
                return row.cells;
        return {};
    }
    QStringList stored(int column) {
        const ResultTable t = folder.rows(QStringLiteral("select * from RFM order by ID"), 5);
        QStringList values;
        for (int r = 1; r <= t.row_count(); ++r)
            values << t(column, r);
        return values;
    }
};

}  // namespace

class TestRfm : public QObject {
    Q_OBJECT
private slots:
    void recency_class_of_the_latest_order_data();
    void recency_class_of_the_latest_order();
    void frequency_and_monetary_pass_thresholds_strictly_data();
    void frequency_and_monetary_pass_thresholds_strictly();
    void zero_points_lets_an_older_order_classify_data();
    void zero_points_lets_an_older_order_classify();
    void recency_with_edited_classes_data();
    void recency_with_edited_classes();
    void undated_order_is_skipped_by_recency();
    void threshold_text_with_trailing_spaces_reads_as_its_number();
    void grid_sorts_by_total_keeping_customer_order_for_ties();
    void orders_of_a_deleted_customer_are_not_shown();
    void save_stores_values_as_typed_and_trimmed_data();
    void save_stores_values_as_typed_and_trimmed();
    void save_refuses_a_threshold_that_is_not_a_whole_number_data();
    void save_refuses_a_threshold_that_is_not_a_whole_number();
};

// Seed classes: R below 30/90/180/365 days gives 5/4/3/2 points; F above 20/10/5/1 orders and M
// above 5,000,000/1,000,000/300,000/0 yen give 5/4/3/2.
void TestRfm::recency_class_of_the_latest_order_data() {
    QTest::addColumn<QList<int>>("days_back");
    QTest::addColumn<QString>("recency");
    QTest::newRow("no orders") << QList<int>{} << "";
    QTest::newRow("29 days") << QList<int>{29} << "5";
    QTest::newRow("30 days equal to the threshold") << QList<int>{30} << "4";
    QTest::newRow("89 days") << QList<int>{89} << "4";
    QTest::newRow("364 days") << QList<int>{364} << "2";
    QTest::newRow("365 days passes no threshold") << QList<int>{365} << "";
    QTest::newRow("latest of several") << QList<int>{400, 100, 200} << "3";
    QTest::newRow("order after today") << QList<int>{-20, 200} << "5";
}

void TestRfm::recency_class_of_the_latest_order() {
    QFETCH(QList<int>, days_back);
    QFETCH(QString, recency);
    Fixture f;
    const QString id = f.customer(QStringLiteral("山田商事"));
    for (int d : days_back)
        f.order_days_back(id, d);
    const QStringList row = f.row_of(QStringLiteral("山田商事"));
    QCOMPARE(row.value(2), recency);
    if (days_back.isEmpty())
        QCOMPARE(row, (QStringList{QStringLiteral("山田商事"), "0", "", "", ""}));
}

void TestRfm::frequency_and_monetary_pass_thresholds_strictly_data() {
    QTest::addColumn<int>("orders");
    QTest::addColumn<QString>("amount");  // of each order
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("monetary");
    QTest::addColumn<QString>("total");
    QTest::newRow("one order, one yen") << 1 << "1"
                                        << ""
                                        << "2"
                                        << "7";
    QTest::newRow("two orders") << 2 << "1"
                                << "2"
                                << "2"
                                << "9";
    QTest::newRow("five orders equal to the threshold") << 5 << "1"
                                                        << "2"
                                                        << "2"
                                                        << "9";
    QTest::newRow("six orders") << 6 << "1"
                                << "3"
                                << "2"
                                << "10";
    QTest::newRow("twenty orders equal to the threshold") << 20 << "1"
                                                          << "4"
                                                          << "2"
                                                          << "11";
    QTest::newRow("twenty-one orders") << 21 << "1"
                                       << "5"
                                       << "2"
                                       << "12";
    QTest::newRow("amount 0 passes nothing") << 1 << "0"
                                             << ""
                                             << ""
                                             << "5";
    QTest::newRow("300,000 equal to the threshold") << 1 << "300000"
                                                    << ""
                                                    << "2"
                                                    << "7";
    QTest::newRow("300,001") << 1 << "300001"
                             << ""
                             << "3"
                             << "8";
    QTest::newRow("5,000,001 over two orders") << 2 << "2500001"
                                               << "2"
                                               << "5"
                                               << "12";
    QTest::newRow("sum beyond 32 bits") << 2 << "3000000000"
                                        << "2"
                                        << "5"
                                        << "12";
}

void TestRfm::frequency_and_monetary_pass_thresholds_strictly() {
    QFETCH(int, orders);
    QFETCH(QString, amount);
    QFETCH(QString, frequency);
    QFETCH(QString, monetary);
    QFETCH(QString, total);
    Fixture f;
    const QString id = f.customer(QStringLiteral("山田商事"));
    for (int i = 0; i < orders; ++i)
        f.order_days_back(id, 10, amount);
    const QStringList row = f.row_of(QStringLiteral("山田商事"));
    QCOMPARE(row.value(3), frequency);
    QCOMPARE(row.value(4), monetary);
    QCOMPARE(row.value(1), total);  // R is 5: the orders are 10 days old
}

void TestRfm::zero_points_lets_an_older_order_classify_data() {
    QTest::addColumn<QList<int>>("days_back");
    QTest::addColumn<QString>("recency");
    QTest::newRow("older order in the next class") << QList<int>{10, 60} << "4";
    QTest::newRow("older order too old") << QList<int>{10, 400} << "0";
    QTest::newRow("only the recent order") << QList<int>{10} << "0";
}

void TestRfm::zero_points_lets_an_older_order_classify() {
    QFETCH(QList<int>, days_back);
    QFETCH(QString, recency);
    Fixture f;
    f.folder.exec(QStringLiteral("update RFM set ポイント='0' where ID=1"));
    const QString id = f.customer(QStringLiteral("山田商事"));
    for (int d : days_back)
        f.order_days_back(id, d);
    QCOMPARE(f.row_of(QStringLiteral("山田商事")).value(2), recency);
}

void TestRfm::recency_with_edited_classes_data() {
    QTest::addColumn<QStringList>("thresholds");  // of the four recency classes (points 5, 4, 3, 2)
    QTest::addColumn<int>("zero_class");          // the class given the points 0, -1 for none
    QTest::addColumn<QList<int>>("days_back");
    QTest::addColumn<QString>("recency");
    const QStringList unordered{"90", "30", "180", "365"};
    QTest::newRow("smaller threshold after a larger one: 20 days")
        << unordered << -1 << QList<int>{20} << "5";
    QTest::newRow("smaller threshold after a larger one: 60 days")
        << unordered << -1 << QList<int>{60} << "5";
    QTest::newRow("smaller threshold after a larger one: 100 days")
        << unordered << -1 << QList<int>{100} << "3";
    QTest::newRow("fractional threshold, 30 days")
        << QStringList{"30.5", "90", "180", "365"} << -1 << QList<int>{30} << "5";
    QTest::newRow("fractional threshold, 31 days")
        << QStringList{"30.5", "90", "180", "365"} << -1 << QList<int>{31} << "4";
    QTest::newRow("negative threshold takes only later orders")
        << QStringList{"-5", "90", "180", "365"} << -1 << QList<int>{-6, 10} << "5";
    QTest::newRow("negative threshold, order 3 days ahead")
        << QStringList{"-5", "90", "180", "365"} << -1 << QList<int>{-3} << "4";
    QTest::newRow("zero points in the middle class")
        << QStringList{"30", "90", "180", "365"} << 1 << QList<int>{60, 120} << "3";
    QTest::newRow("zero points, a newer order decides")
        << QStringList{"30", "90", "180", "365"} << 1 << QList<int>{10, 60} << "5";
    QTest::newRow("zero points, nothing older")
        << QStringList{"30", "90", "180", "365"} << 2 << QList<int>{100, 400} << "0";
}

void TestRfm::recency_with_edited_classes() {
    QFETCH(QStringList, thresholds);
    QFETCH(int, zero_class);
    QFETCH(QList<int>, days_back);
    QFETCH(QString, recency);
    Fixture f;
    for (int i = 0; i < 4; ++i)
        f.folder.exec(
            QStringLiteral("update RFM set a2=%1 where ID=%2").arg(sql_text(thresholds.at(i))).arg(i + 1));
    if (zero_class >= 0)
        f.folder.exec(QStringLiteral("update RFM set ポイント='0' where ID=%1").arg(zero_class + 1));
    const QString id = f.customer(QStringLiteral("山田商事"));
    for (int d : days_back)
        f.order_days_back(id, d);
    QCOMPARE(f.row_of(QStringLiteral("山田商事")).value(2), recency);
}

void TestRfm::undated_order_is_skipped_by_recency() {
    Fixture f;
    const QString id = f.customer(QStringLiteral("山田商事"));
    f.order(id, QString());
    f.order_days_back(id, 100);
    const QStringList row = f.row_of(QStringLiteral("山田商事"));
    QCOMPARE(row.value(2), QStringLiteral("3"));
    QCOMPARE(row.value(3), QStringLiteral("2"));  // both orders count for frequency
}

void TestRfm::threshold_text_with_trailing_spaces_reads_as_its_number() {
    Fixture f;
    f.folder.exec(QStringLiteral("update RFM set a2='45  ' where ID=1"));
    const QString id = f.customer(QStringLiteral("山田商事"));
    f.order_days_back(id, 44);
    QCOMPARE(f.row_of(QStringLiteral("山田商事")).value(2), QStringLiteral("5"));
}

void TestRfm::grid_sorts_by_total_keeping_customer_order_for_ties() {
    Fixture f;
    const QString a = f.customer(QStringLiteral("A社"));
    const QString b = f.customer(QStringLiteral("B社"));
    const QString c = f.customer(QStringLiteral("C社"));
    f.customer(QStringLiteral("D社"));
    const QString e = f.customer(QStringLiteral("E社"));
    f.order_days_back(a, 200);                            // 2 + 0 + 2
    f.order_days_back(b, 10);                             // 5 + 0 + 2
    f.order_days_back(c, 200);                            // 2 + 0 + 2
    f.order_days_back(e, 10, QStringLiteral("2000000"));  // 5 + 0 + 4
    const Ranking ranking = f.rfm();
    QCOMPARE(ranking.headings, (QStringList{"顧客名", "総合", "R", "F", "M"}));
    QStringList order, totals;
    for (const RankedRow& row : ranking.rows) {
        order << row.cells.value(0);
        totals << row.cells.value(1);
    }
    QCOMPARE(order, (QStringList{"E社", "B社", "A社", "C社", "D社"}));
    QCOMPARE(totals, (QStringList{"9", "7", "4", "4", "0"}));
    QCOMPARE(ranking.rows.first().id, e);
}

void TestRfm::orders_of_a_deleted_customer_are_not_shown() {
    Fixture f;
    const QString kept = f.customer(QStringLiteral("山田商事"));
    const QString gone = f.customer(QStringLiteral("閉店商店"));
    f.order_days_back(kept, 10);
    f.order_days_back(gone, 10);
    f.folder.exec(QStringLiteral("delete from 顧客 where 顧客ID=") + gone);
    const Ranking ranking = f.rfm();
    QCOMPARE(ranking.rows.size(), 1);
    QCOMPARE(ranking.rows.first().cells.value(0), QStringLiteral("山田商事"));
}

void TestRfm::save_stores_values_as_typed_and_trimmed_data() {
    QTest::addColumn<QString>("threshold");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("stored_threshold");
    QTest::addColumn<QString>("stored_description");
    QTest::newRow("plain") << "45"
                           << "45日以内"
                           << "45"
                           << "45日以内";
    QTest::newRow("spaces around") << "  45 "
                                   << " 45日以内  "
                                   << "45"
                                   << "45日以内";
    QTest::newRow("quote in the description") << "60"
                                              << "O'Neil様の基準"
                                              << "60"
                                              << "O'Neil様の基準";
    QTest::newRow("separators kept as typed") << "1,000,000"
                                              << "百万"
                                              << "1,000,000"
                                              << "百万";
}

void TestRfm::save_stores_values_as_typed_and_trimmed() {
    QFETCH(QString, threshold);
    QFETCH(QString, description);
    QFETCH(QString, stored_threshold);
    QFETCH(QString, stored_description);
    Fixture f;
    QVector<RfmClass> classes = load_rfm_classes(f.folder.db());
    classes[1].threshold = threshold;
    classes[1].description = description;
    QCOMPARE(first_bad_threshold(classes), -1);
    // Saving twice in a row must store the same texts, not add spaces each time.
    save_rfm_classes(f.folder.db(), classes);
    save_rfm_classes(f.folder.db(), load_rfm_classes(f.folder.db()));
    QCOMPARE(f.stored(3).value(1), stored_threshold);
    QCOMPARE(f.stored(2).value(1), stored_description);
    QCOMPARE(f.stored(3).value(0), QStringLiteral("30"));
    QCOMPARE(f.stored(2).value(11), QStringLiteral("0円を超える購入"));
    QCOMPARE(f.stored(4).value(1), QStringLiteral("4"));  // points are never written
}

void TestRfm::save_refuses_a_threshold_that_is_not_a_whole_number_data() {
    QTest::addColumn<QString>("threshold");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("fraction") << "30.5";
    QTest::newRow("sql") << "1' or '1'='1";
}

void TestRfm::save_refuses_a_threshold_that_is_not_a_whole_number() {
    QFETCH(QString, threshold);
    Fixture f;
    QVector<RfmClass> classes = load_rfm_classes(f.folder.db());
    classes[6].threshold = threshold;
    QCOMPARE(first_bad_threshold(classes), 6);
}

QTEST_GUILESS_MAIN(TestRfm)
#include "test_rfm.moc"
