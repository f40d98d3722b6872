#include "records/order_entry.h"

#include <QTest>

#include "records/check.h"
#include "records/number_text.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    TestFolder folder;
    QString customer = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));

    OrderForm form() {
        OrderForm f;
        f.customer_id = customer;
        f.customer_name = QStringLiteral("山田商事");
        f.employee = QStringLiteral("佐藤");
        f.date = QStringLiteral("2026/12/08");
        f.title = QStringLiteral("事務机一式");
        f.amount = QStringLiteral("3,800");
        f.tax_rate = QStringLiteral("10");
        f.discount = QString();
        return f;
    }
    QStringList order_row() {
        const ResultTable t = folder.rows(
            QStringLiteral("select 顧客ID,社員,受注日,名称,受注金額,消費税率,値引き from 受注"), 7);
        QStringList row;
        for (int c = 0; c < 7; ++c)
            row << t(c, 1);
        return row;
    }
    int orders() { return folder.count(QStringLiteral("受注")); }
    int lines() { return folder.count(QStringLiteral("受注明細")); }
};

OrderLine line(const QString& goods, const QString& quantity, const QString& subtotal) {
    return OrderLine{goods, QStringLiteral("品"), quantity, subtotal};
}

}  // namespace

class TestOrderEntry : public QObject {
    Q_OBJECT

private slots:
    void line_subtotal_data();
    void line_subtotal();
    void order_amount_sums_the_lines_data();
    void order_amount_sums_the_lines();
    void goods_are_loaded_by_key();
    void three_lines_store_one_order_and_three_lines();
    void lines_take_the_new_orders_key();
    void tomorrow_stores_nothing();
    void short_year_is_stored_in_canonical_form();
    void numbers_are_stored_without_commas_data();
    void numbers_are_stored_without_commas();
    void non_number_is_refused_data();
    void non_number_is_refused();
    void refused_line_rolls_back_the_order();
    void quote_and_backslash_are_stored_unchanged();
    void no_customer_is_refused();
};

void TestOrderEntry::line_subtotal_data() {
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("subtotal");

    QTest::newRow("whole") << "1000"
                           << "3" << true << "3000";
    QTest::newRow("empty price counts 0") << "-"
                                          << "5" << true << "0";
    QTest::newRow("decimal price") << "120.5"
                                   << "3" << true << "361.5";
    QTest::newRow("exact tenths") << "0.1"
                                  << "3" << true << "0.3";
    QTest::newRow("decimal quantity") << "250"
                                      << "1.5" << true << "375";
    QTest::newRow("zero quantity") << "980"
                                   << "0" << true << "0";
    QTest::newRow("negative quantity") << "100"
                                       << "-2" << true << "-200";
    QTest::newRow("fullwidth quantity") << "100"
                                        << "２" << true << "200";
    QTest::newRow("quantity not a number") << "100"
                                           << "x" << false << "";
    QTest::newRow("empty quantity") << "100"
                                    << "" << false << "";
    QTest::newRow("price not a number") << "abc"
                                        << "1" << false << "";
    QTest::newRow("too large") << "999999999999999"
                               << "999999999999999" << false << "";
}

void TestOrderEntry::line_subtotal() {
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(bool, ok);
    QFETCH(QString, subtotal);
    const std::optional<QString> result = ::line_subtotal(price, quantity);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(*result, subtotal);
}

void TestOrderEntry::order_amount_sums_the_lines_data() {
    QTest::addColumn<QStringList>("subtotals");
    QTest::addColumn<QString>("amount");
    QTest::newRow("three lines") << QStringList{"1000", "2500", "300"} << "3,800";
    QTest::newRow("no lines") << QStringList{} << "0";
    QTest::newRow("fractions round") << QStringList{"0.3", "0.3"} << "1";
    QTest::newRow("millions") << QStringList{"1000000", "250000"} << "1,250,000";
}

void TestOrderEntry::order_amount_sums_the_lines() {
    QFETCH(QStringList, subtotals);
    QFETCH(QString, amount);
    QVector<OrderLine> lines;
    for (const QString& s : subtotals)
        lines << line(QStringLiteral("1"), QStringLiteral("1"), s);
    QCOMPARE(order_amount_text(lines), amount);
}

void TestOrderEntry::goods_are_loaded_by_key() {
    TestFolder folder;
    folder.add_goods(QStringLiteral("見本"), QStringLiteral("500"));
    const QString second = folder.add_goods(QStringLiteral("見本"), QString());
    const std::optional<ChosenGoods> goods = load_goods(folder.db(), second);
    QVERIFY(goods);
    QCOMPARE(goods->id, second);
    QCOMPARE(goods->name, QStringLiteral("見本"));
    QCOMPARE(goods->price, QStringLiteral("-"));
    QVERIFY(!load_goods(folder.db(), QStringLiteral("999")));
    QVERIFY(!load_goods(folder.db(), QStringLiteral("1 or 1=1")));
}

void TestOrderEntry::three_lines_store_one_order_and_three_lines() {
    Fixture f;
    OrderForm form = f.form();
    form.lines = {line("3", "10", "1000"), line("5", "1", "2500"), line("8", "2", "300")};
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList());

    QCOMPARE(f.orders(), 1);
    QCOMPARE(f.order_row(), (QStringList{f.customer, "佐藤", "2026/12/08", "事務机一式", "3800", "10", "0"}));
    const ResultTable t =
        f.folder.rows(QStringLiteral("select 商品ID,顧客名,数,金額,受注日 from 受注明細 order by rowid"), 5);
    QCOMPARE(t.row_count(), 3);
    const QStringList goods{"3", "5", "8"}, quantities{"10", "1", "2"}, amounts{"1000", "2500", "300"};
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(t(0, r), goods.at(r - 1));
        QCOMPARE(t(1, r), QStringLiteral("山田商事"));
        QCOMPARE(t(2, r), quantities.at(r - 1));
        QCOMPARE(t(3, r), amounts.at(r - 1));
        QCOMPARE(t(4, r), QStringLiteral("2026/12/08"));
    }
}

void TestOrderEntry::lines_take_the_new_orders_key() {
    Fixture f;
    OrderForm first = f.form();
    QCOMPARE(save_order(f.folder.db(), first, kToday), QStringList());
    OrderForm second = f.form();
    second.lines = {line("3", "1", "100"), line("4", "1", "200")};
    QCOMPARE(save_order(f.folder.db(), second, kToday), QStringList());
    const QString key = f.folder.value(QStringLiteral("select max(受注ID) from 受注"));
    QCOMPARE(f.folder.value(QStringLiteral("select count(*) from 受注明細 where 受注ID=") + key),
             QStringLiteral("2"));
    QCOMPARE(f.lines(), 2);
}

void TestOrderEntry::tomorrow_stores_nothing() {
    Fixture f;
    OrderForm form = f.form();
    form.date = QStringLiteral("2026/12/09");
    form.lines = {line("3", "1", "100")};
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList{kDateMessage});
    QCOMPARE(form.date, QStringLiteral("2026/12/09"));
    QCOMPARE(f.orders(), 0);
    QCOMPARE(f.lines(), 0);
}

void TestOrderEntry::short_year_is_stored_in_canonical_form() {
    Fixture f;
    OrderForm form = f.form();
    form.date = QStringLiteral("03/1/5");
    form.lines = {line("3", "1", "100")};
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(form.date, QStringLiteral("2003/01/05"));
    QCOMPARE(f.folder.value(QStringLiteral("select 受注日 from 受注")), QStringLiteral("2003/01/05"));
    QCOMPARE(f.folder.value(QStringLiteral("select 受注日 from 受注明細")), QStringLiteral("2003/01/05"));
}

void TestOrderEntry::numbers_are_stored_without_commas_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("tax_rate");
    QTest::addColumn<QString>("discount");
    QTest::addColumn<QStringList>("stored");  // 受注金額, 消費税率, 値引き

    QTest::newRow("separators removed") << "12,345"
                                        << "10"
                                        << "1,000" << QStringList{"12345", "10", "1000"};
    QTest::newRow("plain") << "12345"
                           << "8"
                           << "500" << QStringList{"12345", "8", "500"};
    QTest::newRow("empty discount is 0") << "5000"
                                         << "10"
                                         << "" << QStringList{"5000", "10", "0"};
    QTest::newRow("empty amount is 0") << ""
                                       << "10"
                                       << "0" << QStringList{"0", "10", "0"};
    QTest::newRow("decimal rate as typed") << "100"
                                           << "8.5"
                                           << "0" << QStringList{"100", "8.5", "0"};
    QTest::newRow("fullwidth digits") << "１２００"
                                      << "１０"
                                      << "" << QStringList{"1200", "10", "0"};
}

void TestOrderEntry::numbers_are_stored_without_commas() {
    QFETCH(QString, amount);
    QFETCH(QString, tax_rate);
    QFETCH(QString, discount);
    QFETCH(QStringList, stored);
    Fixture f;
    OrderForm form = f.form();
    form.amount = amount;
    form.tax_rate = tax_rate;
    form.discount = discount;
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.order_row().mid(4), stored);
}

void TestOrderEntry::non_number_is_refused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");

    QTest::newRow("amount word") << "amount"
                                 << "三千円";
    QTest::newRow("amount injection") << "amount"
                                      << "1);delete from 受注;--";
    QTest::newRow("discount with unit") << "discount"
                                        << "500円";
    QTest::newRow("tax rate empty") << "tax_rate"
                                    << "";
    QTest::newRow("tax rate percent") << "tax_rate"
                                      << "10%";
    QTest::newRow("line quantity") << "quantity"
                                   << "x";
    QTest::newRow("line subtotal") << "subtotal"
                                   << "";
    QTest::newRow("line goods key") << "goods"
                                    << "abc";
}

void TestOrderEntry::non_number_is_refused() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    Fixture f;
    OrderForm form = f.form();
    form.date = QStringLiteral("2026/1/5");
    form.lines = {line("3", "1", "100"), line("4", "2", "200")};
    OrderLine& second = form.lines[1];
    if (field == u"amount")
        form.amount = text;
    else if (field == u"discount")
        form.discount = text;
    else if (field == u"tax_rate")
        form.tax_rate = text;
    else if (field == u"quantity")
        second.quantity = text;
    else if (field == u"subtotal")
        second.subtotal = text;
    else
        second.goods_id = text;
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList{kNumberMessage});
    QCOMPARE(f.orders(), 0);
    QCOMPARE(f.lines(), 0);
    // The date had passed, so the box shows it in canonical form.
    QCOMPARE(form.date, QStringLiteral("2026/01/05"));
}

void TestOrderEntry::refused_line_rolls_back_the_order() {
    Fixture f;
    f.folder.exec(QStringLiteral("alter table 受注明細 rename to 受注明細_old"));
    OrderForm form = f.form();
    form.lines = {line("3", "1", "100"), line("4", "1", "200")};
    QVERIFY_THROWS_EXCEPTION(DatabaseError, save_order(f.folder.db(), form, kToday));
    QCOMPARE(f.orders(), 0);
    QCOMPARE(f.folder.count(QStringLiteral("受注明細_old")), 0);

    // The connection is usable afterwards: with the table back, the same order is stored whole.
    f.folder.exec(QStringLiteral("alter table 受注明細_old rename to 受注明細"));
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.orders(), 1);
    QCOMPARE(f.lines(), 2);
}

void TestOrderEntry::quote_and_backslash_are_stored_unchanged() {
    Fixture f;
    OrderForm form = f.form();
    form.title = QStringLiteral("O'Brien様 C:\\temp\\new ''x'");
    form.employee = QStringLiteral("佐藤'");
    form.customer_name = QStringLiteral("山田's \\商事");
    form.lines = {line("3", "1", "100")};
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from 受注")), form.title);
    QCOMPARE(f.folder.value(QStringLiteral("select 社員 from 受注")), form.employee);
    QCOMPARE(f.folder.value(QStringLiteral("select 顧客名 from 受注明細")), form.customer_name);
}

void TestOrderEntry::no_customer_is_refused() {
    Fixture f;
    OrderForm form = f.form();
    form.customer_id.clear();
    QCOMPARE(save_order(f.folder.db(), form, kToday), QStringList{kChooseCustomerMessage});
    QCOMPARE(f.orders(), 0);
}

QTEST_GUILESS_MAIN(TestOrderEntry)
#include "test_order_entry.moc"
