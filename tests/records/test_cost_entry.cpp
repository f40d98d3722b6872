#include "records/cost_entry.h"

#include <QTest>

#include "records/check.h"
#include "records/number_text.h"
#include "records/order_entry.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    TestFolder folder;
    QString customer = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));

    QString add_order(const QString& customer_id, const QString& date, const QString& title,
                      const QString& amount) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤',%2,%3,%4,10,0)")
                        .arg(customer_id, sql_text(date), sql_text(title), amount));
        return folder.value(QStringLiteral("select max(受注ID) from 受注"));
    }
    CostForm form(const QString& order_id) {
        return CostForm{customer, order_id, QStringLiteral("2026/12/08"), QStringLiteral("外注費"),
                        QStringLiteral("15,000")};
    }
    int costs() { return folder.count(QStringLiteral("原価")); }
};

}  // namespace

class TestCostEntry : public QObject {
    Q_OBJECT

private slots:
    void cost_names_by_group();
    void orders_newest_first_of_this_customer_only();
    void customer_without_orders_lists_nothing();
    void save_stores_one_row();
    void two_saves_store_two_rows();
    void amount_is_stored_without_commas_data();
    void amount_is_stored_without_commas();
    void amount_not_a_number_is_refused_data();
    void amount_not_a_number_is_refused();
    void save_without_order_is_refused_data();
    void save_without_order_is_refused();
    void tomorrow_stores_nothing();
    void short_year_is_stored_in_canonical_form();
    void quote_and_backslash_are_stored_unchanged();
};

void TestCostEntry::cost_names_by_group() {
    Fixture f;
    f.folder.exec(QStringLiteral("insert into 原価コード (分類,原価名) values('b','運搬費')"));
    f.folder.exec(QStringLiteral("insert into 原価コード (分類,原価名) values('a','材料費')"));
    f.folder.exec(QStringLiteral("insert into 原価コード (分類,原価名) values('c','外注費')"));
    QCOMPARE(load_cost_names(f.folder.db()), (QStringList{"材料費", "運搬費", "外注費"}));
}

void TestCostEntry::orders_newest_first_of_this_customer_only() {
    Fixture f;
    const QString other = f.folder.add_customer(QStringLiteral("鈴木工務店"), QStringLiteral("すずき"));
    const QString old_order = f.add_order(f.customer, "2025/04/01", "旧案件", "1000");
    f.add_order(other, "2026/11/30", "他社", "9999");
    const QString new_order = f.add_order(f.customer, "2026/10/15", "新案件", "250000");
    const QVector<CostOrder> orders = load_customer_orders(f.folder.db(), f.customer);
    QCOMPARE(orders.size(), 2);
    QCOMPARE(orders.at(0).id, new_order);
    QCOMPARE(orders.at(0).date, QStringLiteral("2026/10/15"));
    QCOMPARE(orders.at(0).title, QStringLiteral("新案件"));
    QCOMPARE(orders.at(0).amount, QStringLiteral("250000"));
    QCOMPARE(orders.at(1).id, old_order);
}

void TestCostEntry::customer_without_orders_lists_nothing() {
    Fixture f;
    QVERIFY(load_customer_orders(f.folder.db(), f.customer).isEmpty());
    QVERIFY(load_customer_orders(f.folder.db(), QString()).isEmpty());
}

void TestCostEntry::save_stores_one_row() {
    Fixture f;
    const QString order = f.add_order(f.customer, "2026/11/01", "改装", "500000");
    CostForm form = f.form(order);
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    const ResultTable t = f.folder.rows(QStringLiteral("select 顧客ID,受注ID,登録日,名称,金額 from 原価"), 5);
    QCOMPARE(t.row_count(), 1);
    QCOMPARE(t(0, 1), f.customer);
    QCOMPARE(t(1, 1), order);
    QCOMPARE(t(2, 1), QStringLiteral("2026/12/08"));
    QCOMPARE(t(3, 1), QStringLiteral("外注費"));
    QCOMPARE(t(4, 1), QStringLiteral("15000"));
}

void TestCostEntry::two_saves_store_two_rows() {
    Fixture f;
    const QString order = f.add_order(f.customer, "2026/11/01", "改装", "500000");
    CostForm form = f.form(order);
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    form.name = QStringLiteral("材料費");
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select count(*) from 原価 where 受注ID=") + order),
             QStringLiteral("2"));
}

void TestCostEntry::amount_is_stored_without_commas_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("stored");
    QTest::newRow("separators") << "1,234,567"
                                << "1234567";
    QTest::newRow("plain") << "15000"
                           << "15000";
    QTest::newRow("empty is 0") << ""
                                << "0";
    QTest::newRow("negative") << "-5,000"
                              << "-5000";
}

void TestCostEntry::amount_is_stored_without_commas() {
    QFETCH(QString, amount);
    QFETCH(QString, stored);
    Fixture f;
    CostForm form = f.form(f.add_order(f.customer, "2026/11/01", "改装", "1"));
    form.amount = amount;
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select 金額 from 原価")), stored);
}

void TestCostEntry::amount_not_a_number_is_refused_data() {
    QTest::addColumn<QString>("amount");
    QTest::newRow("word") << "一万";
    QTest::newRow("unit") << "1000円";
    QTest::newRow("injection") << "1);delete from 原価;--";
}

void TestCostEntry::amount_not_a_number_is_refused() {
    QFETCH(QString, amount);
    Fixture f;
    CostForm form = f.form(f.add_order(f.customer, "2026/11/01", "改装", "1"));
    form.amount = amount;
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList{kNumberMessage});
    QCOMPARE(f.costs(), 0);
}

void TestCostEntry::save_without_order_is_refused_data() {
    QTest::addColumn<QString>("order");
    QTest::newRow("none chosen") << "";
    QTest::newRow("placeholder text") << "-";
    QTest::newRow("not a key") << "1 or 1=1";
}

void TestCostEntry::save_without_order_is_refused() {
    QFETCH(QString, order);
    Fixture f;
    CostForm form = f.form(order);
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList{kChooseOrderMessage});
    QCOMPARE(f.costs(), 0);
}

void TestCostEntry::tomorrow_stores_nothing() {
    Fixture f;
    CostForm form = f.form(f.add_order(f.customer, "2026/11/01", "改装", "1"));
    form.date = QStringLiteral("2026/12/09");
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList{kDateMessage});
    QCOMPARE(f.costs(), 0);
}

void TestCostEntry::short_year_is_stored_in_canonical_form() {
    Fixture f;
    CostForm form = f.form(f.add_order(f.customer, "2003/01/01", "改装", "1"));
    form.date = QStringLiteral("03/1/5");
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(form.date, QStringLiteral("2003/01/05"));
    QCOMPARE(f.folder.value(QStringLiteral("select 登録日 from 原価")), QStringLiteral("2003/01/05"));
}

void TestCostEntry::quote_and_backslash_are_stored_unchanged() {
    Fixture f;
    CostForm form = f.form(f.add_order(f.customer, "2026/11/01", "改装", "1"));
    form.name = QStringLiteral("O'Reilly's \\\\server\\share'");
    QCOMPARE(save_cost(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from 原価")), form.name);
}

QTEST_GUILESS_MAIN(TestCostEntry)
#include "test_cost_entry.moc"
