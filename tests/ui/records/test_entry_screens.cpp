#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include "records/check.h"
#include "records/cost_entry.h"
#include "records/number_text.h"
#include "records/order_entry.h"
#include "test_folder.h"
#include "ui/customers/main_window.h"
#include "ui/records/screens.h"

namespace {

enum Link { kOrder = 0, kEstimate = 1, kVisit = 2, kInquiry = 3, kClaim = 4, kCost = 5 };

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    Screens screens{folder.session(), prompter, nullptr};
    QString customer;

    Fixture() {
        folder.session().current_employee = QStringLiteral("佐藤");
        customer = show_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));
    }
    Session& session() { return folder.session(); }
    QString show_customer(const QString& name, const QString& kana) {
        const QString id = folder.add_customer(name, kana);
        session().current_customer_id = id;
        session().current_customer_name = name;
        return id;
    }

    QWidget* open(int link) {
        screens.open_entry(link);
        QWidget* screen = screens.entry_screen(link);
        if (screen && !QTest::qWaitForWindowExposed(screen))
            QTest::qFail("the screen was not shown", __FILE__, __LINE__);
        return screen;
    }
    QWidget* screen(int link) { return screens.entry_screen(link); }
    template <class T = QLineEdit>
    T* child(int link, const QString& name) {
        return screen(link) ? screen(link)->findChild<T*>(name) : nullptr;
    }
    QLineEdit* text1(int link, int i) { return child(link, QStringLiteral("Text1_%1").arg(i)); }
    QLabel* label(int link, const QString& name) { return child<QLabel>(link, name); }
    QTableWidget* grid(int link) { return child<QTableWidget>(link, QStringLiteral("MSFlexGrid1")); }
    void press(int link, const char* button) {
        QPushButton* b = child<QPushButton>(link, QString::fromLatin1(button));
        QVERIFY2(b, button);
        b->click();
    }
    void leave(QLineEdit* box) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(box, &out);
    }
    // Clicks a goods item of the order screen by its name.
    void choose_goods(const QString& name) {
        auto* list = child<QListWidget>(kOrder, QStringLiteral("List1"));
        QVERIFY(list);
        const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        list->scrollToItem(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    }
    void add_line(const QString& goods, const QString& quantity) {
        choose_goods(goods);
        child(kOrder, QStringLiteral("Text2"))->setText(quantity);
        press(kOrder, "Command3");
    }
    void click_cell(QTableWidget* table, int row, int column) {
        const QRect rect = table->visualRect(table->model()->index(row, column));
        QVERIFY(rect.isValid());
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QString add_order(const QString& date, const QString& title, const QString& amount) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤',%2,%3,%4,10,0)")
                        .arg(session().current_customer_id, sql_text(date), sql_text(title), amount));
        return folder.value(QStringLiteral("select max(受注ID) from 受注"));
    }
    QStringList row(const QString& statement, int columns) {
        const ResultTable t = folder.rows(statement, columns);
        QStringList values;
        for (int c = 0; c < columns; ++c)
            values << t(c, 1);
        return values;
    }
};

}  // namespace

class TestEntryScreens : public QObject {
    Q_OBJECT

private slots:
    void links_open_their_screens_data();
    void links_open_their_screens();
    void no_customer_opens_nothing();
    void screen_is_made_once_and_keeps_its_contents();
    void window_close_discards_the_screen();
    void reopening_follows_the_customer_shown();
    void enter_moves_to_the_next_box_data();
    void enter_moves_to_the_next_box();

    void order_opening_values();
    void order_without_goods_trade_hides_lines();
    void order_goods_choice_fills_price_and_subtotal();
    void order_three_lines_store_order_and_lines();
    void order_remove_takes_the_line_out_of_amount();
    void order_quantity_not_a_number_adds_nothing();
    void order_amounts_reformat_on_leaving_data();
    void order_amounts_reformat_on_leaving();
    void order_refusal_stores_nothing_data();
    void order_refusal_stores_nothing();
    void order_refused_line_keeps_nothing_and_screen_usable();
    void order_close_clears_title_amounts_and_lines();

    void visit_saves_and_hides();
    void claim_empty_answer_date_gives_two_messages();
    void estimate_amount_reformats_and_stores_plain();
    void refused_statement_is_shown_and_screen_stays();

    void cost_lists_orders_newest_first();
    void cost_order_click_opens_entry();
    void cost_two_saves_store_two_rows_and_stay_open();
    void cost_save_without_order_is_refused();
    void cost_reopen_for_another_customer_drops_the_order();
    void open_cost_screen_follows_the_shown_customer();
    void cost_grid_columns_fit_their_contents();
    void save_is_confirmed_in_the_status_bar_data();
    void save_is_confirmed_in_the_status_bar();
    void gone_customer_is_refused_data();
    void gone_customer_is_refused();
};

void TestEntryScreens::links_open_their_screens_data() {
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("order") << int(kOrder) << "order"
                           << "受注";
    QTest::newRow("estimate") << int(kEstimate) << "estimate"
                              << "見積もり";
    QTest::newRow("visit") << int(kVisit) << "visit"
                           << "訪問";
    QTest::newRow("inquiry") << int(kInquiry) << "inquiry"
                             << "問い合わせ";
    QTest::newRow("claim") << int(kClaim) << "claim"
                           << "クレーム";
    QTest::newRow("cost") << int(kCost) << "genka"
                          << "原価";
}

void TestEntryScreens::links_open_their_screens() {
    QFETCH(int, link);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    Fixture f;
    QWidget* screen = f.open(link);
    QVERIFY(screen);
    QCOMPARE(screen->objectName(), name);
    QCOMPARE(screen->windowTitle(), caption);
    QVERIFY(screen->isVisible());
    const QString label = link == kCost ? QStringLiteral("Label2_0") : QStringLiteral("Label2");
    QCOMPARE(f.label(link, label)->text(), QStringLiteral("山田商事"));
    QCOMPARE(f.child<QPushButton>(link, "Command2")->text(), QStringLiteral("保存"));
    QCOMPARE(f.child<QPushButton>(link, "Command1")->text(), QStringLiteral("閉じる"));
    QVERIFY(f.prompter.messages.isEmpty());
}

void TestEntryScreens::no_customer_opens_nothing() {
    Fixture f;
    f.session().current_customer_id.clear();
    f.screens.open_entry(kVisit);
    QCOMPARE(f.prompter.messages, QStringList{"顧客を選択してください"});
    QVERIFY(!f.screen(kVisit));
}

void TestEntryScreens::screen_is_made_once_and_keeps_its_contents() {
    Fixture f;
    QWidget* first = f.open(kVisit);
    f.text1(kVisit, 2)->setText(QStringLiteral("下書き"));
    f.press(kVisit, "Command1");
    QVERIFY(!first->isVisible());
    QCOMPARE(f.folder.count(QStringLiteral("訪問")), 0);
    QCOMPARE(f.open(kVisit), first);
    QVERIFY(first->isVisible());
    QCOMPARE(f.text1(kVisit, 2)->text(), QStringLiteral("下書き"));
}

void TestEntryScreens::window_close_discards_the_screen() {
    Fixture f;
    QPointer<QWidget> first = f.open(kInquiry);
    f.text1(kInquiry, 2)->setText(QStringLiteral("下書き"));
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(!f.screen(kInquiry));
    QVERIFY(f.open(kInquiry));
    QCOMPARE(f.text1(kInquiry, 2)->text(), QString());
}

void TestEntryScreens::reopening_follows_the_customer_shown() {
    Fixture f;
    f.open(kVisit);
    f.press(kVisit, "Command1");
    const QString other = f.show_customer(QStringLiteral("鈴木工務店"), QStringLiteral("すずきこうむてん"));
    f.open(kVisit);
    QCOMPARE(f.label(kVisit, "Label2")->text(), QStringLiteral("鈴木工務店"));
    f.text1(kVisit, 2)->setText(QStringLiteral("挨拶"));
    f.press(kVisit, "Command2");
    QCOMPARE(f.folder.value(QStringLiteral("select 顧客ID from 訪問")), other);
}

void TestEntryScreens::enter_moves_to_the_next_box_data() {
    QTest::addColumn<int>("link");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("order middle") << int(kOrder) << 2 << 3;
    QTest::newRow("order last to first") << int(kOrder) << 5 << 0;
    QTest::newRow("visit last to first") << int(kVisit) << 3 << 0;
    QTest::newRow("claim middle") << int(kClaim) << 4 << 5;
    QTest::newRow("estimate last to first") << int(kEstimate) << 5 << 0;
}

void TestEntryScreens::enter_moves_to_the_next_box() {
    QFETCH(int, link);
    QFETCH(int, from);
    QFETCH(int, to);
    Fixture f;
    QWidget* screen = f.open(link);
    QApplication::setActiveWindow(screen);
    QVERIFY(QTest::qWaitForWindowActive(screen));
    f.text1(link, from)->setFocus();
    QTest::keyClick(f.text1(link, from), Qt::Key_Return);
    QVERIFY(f.text1(link, to)->hasFocus());
}

// ---- order

void TestEntryScreens::order_opening_values() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("120"));
    f.folder.add_goods(QStringLiteral("事務机"), QStringLiteral("35000"));
    f.open(kOrder);
    const QStringList expected{"佐藤", "2026/12/08", "", "0", "10", ""};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(f.text1(kOrder, i)->text(), expected.at(i));
    QVERIFY(f.child<QGroupBox>(kOrder, "Frame2")->isVisible());
    QCOMPARE(f.child<QGroupBox>(kOrder, "Frame2")->title(), QStringLiteral("明細"));
    QCOMPARE(f.label(kOrder, "Label6")->text(), QStringLiteral("商品を選んでクリック"));
    auto* list = f.child<QListWidget>(kOrder, "List1");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("ボールペン"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("事務机"));
    QCOMPARE(f.child<QPushButton>(kOrder, "Command3")->text(), QStringLiteral("追加"));
    QCOMPARE(f.child<QPushButton>(kOrder, "Command4")->text(), QStringLiteral("削除"));
    QCOMPARE(f.grid(kOrder)->rowCount(), 0);
}

void TestEntryScreens::order_without_goods_trade_hides_lines() {
    Fixture f;
    f.session().company_settings[14] = QStringLiteral("1");
    f.open(kOrder);
    QVERIFY(!f.child<QGroupBox>(kOrder, "Frame2")->isVisible());
    f.text1(kOrder, 3)->setText(QStringLiteral("50000"));
    f.press(kOrder, "Command2");
    QCOMPARE(f.folder.value(QStringLiteral("select 受注金額 from 受注")), QStringLiteral("50000"));
    QCOMPARE(f.folder.count(QStringLiteral("受注明細")), 0);
}

void TestEntryScreens::order_goods_choice_fills_price_and_subtotal() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("120"));
    f.open(kOrder);
    f.choose_goods(QStringLiteral("ボールペン"));
    QCOMPARE(f.label(kOrder, "Label5")->text(), QStringLiteral("ボールペン"));
    QCOMPARE(f.label(kOrder, "Label7")->text(), QStringLiteral("120"));
    QCOMPARE(f.child(kOrder, "Text2")->text(), QStringLiteral("1"));
    QCOMPARE(f.label(kOrder, "Label3")->text(), QStringLiteral("120"));
    f.child(kOrder, "Text2")->setText(QStringLiteral("12"));
    // The subtotal reads as the line grid and the amount show it.
    QCOMPARE(f.label(kOrder, "Label3")->text(), QStringLiteral("1,440"));
    f.press(kOrder, "Command3");
    QCOMPARE(f.text1(kOrder, 3)->text(), QStringLiteral("1,440"));
    // The lines stand under their headings.
    QTableWidget* grid = f.grid(kOrder);
    QVERIFY(grid->horizontalHeader()->isVisible());
    QStringList headings;
    for (int c = 0; c < grid->columnCount(); ++c)
        headings << grid->horizontalHeaderItem(c)->text();
    QCOMPARE(headings, (QStringList{"商品ID", "商品名", "数量", "小計"}));
    f.child(kOrder, "Text2")->setText(QStringLiteral("x"));
    QCOMPARE(f.label(kOrder, "Label3")->text(), QString());
    // Choosing again with the quantity at 1 still recomputes.
    f.child(kOrder, "Text2")->setText(QStringLiteral("1"));
    f.label(kOrder, "Label3")->setText(QStringLiteral("stale"));
    f.choose_goods(QStringLiteral("ボールペン"));
    QCOMPARE(f.label(kOrder, "Label3")->text(), QStringLiteral("120"));
}

void TestEntryScreens::order_three_lines_store_order_and_lines() {
    Fixture f;
    const QString a = f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    const QString b = f.folder.add_goods(QStringLiteral("机"), QStringLiteral("2500"));
    const QString c = f.folder.add_goods(QStringLiteral("鉛筆"), QStringLiteral("100"));
    QWidget* screen = f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("2"));
    f.add_line(QStringLiteral("机"), QStringLiteral("1"));
    f.add_line(QStringLiteral("鉛筆"), QStringLiteral("3"));
    QCOMPARE(f.text1(kOrder, 3)->text(), QStringLiteral("3,800"));
    QTableWidget* grid = f.grid(kOrder);
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(0, 0)->text(), a);
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("椅子"));
    QCOMPARE(grid->item(0, 2)->text(), QStringLiteral("2"));
    QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("1000"));

    f.text1(kOrder, 1)->setText(QStringLiteral("03/1/5"));
    f.text1(kOrder, 2)->setText(QStringLiteral("事務所一式"));
    f.press(kOrder, "Command2");
    QVERIFY(f.prompter.messages.isEmpty());
    QVERIFY(!screen->isVisible());
    QCOMPARE(f.text1(kOrder, 1)->text(), QStringLiteral("2003/01/05"));
    QCOMPARE(f.row(QStringLiteral("select 顧客ID,社員,受注日,名称,受注金額,消費税率,値引き from 受注"), 7),
             (QStringList{f.customer, "佐藤", "2003/01/05", "事務所一式", "3800", "10", "0"}));
    const ResultTable lines = f.folder.rows(
        QStringLiteral("select 受注ID,商品ID,顧客名,数,金額,受注日 from 受注明細 order by rowid"), 6);
    QCOMPARE(lines.row_count(), 3);
    const QString order = f.folder.value(QStringLiteral("select 受注ID from 受注"));
    const QStringList goods{a, b, c}, amounts{"1000", "2500", "300"};
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(lines(0, r), order);
        QCOMPARE(lines(1, r), goods.at(r - 1));
        QCOMPARE(lines(2, r), QStringLiteral("山田商事"));
        QCOMPARE(lines(4, r), amounts.at(r - 1));
        QCOMPARE(lines(5, r), QStringLiteral("2003/01/05"));
    }
    // Hidden with its contents.
    QCOMPARE(f.text1(kOrder, 2)->text(), QStringLiteral("事務所一式"));
    QCOMPARE(grid->rowCount(), 3);
}

void TestEntryScreens::order_remove_takes_the_line_out_of_amount() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    const QString desk = f.folder.add_goods(QStringLiteral("机"), QStringLiteral("2500"));
    f.folder.add_goods(QStringLiteral("鉛筆"), QStringLiteral("100"));
    f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("2"));
    f.add_line(QStringLiteral("机"), QStringLiteral("1"));
    f.add_line(QStringLiteral("鉛筆"), QStringLiteral("3"));

    // Nothing selected: nothing removed.
    f.grid(kOrder)->clearSelection();
    f.grid(kOrder)->setCurrentCell(-1, -1);
    f.press(kOrder, "Command4");
    QCOMPARE(f.grid(kOrder)->rowCount(), 3);

    f.click_cell(f.grid(kOrder), 1, 1);
    f.press(kOrder, "Command4");
    QCOMPARE(f.grid(kOrder)->rowCount(), 2);
    QCOMPARE(f.text1(kOrder, 3)->text(), QStringLiteral("1,300"));
    f.press(kOrder, "Command2");
    QCOMPARE(f.folder.count(QStringLiteral("受注明細")), 2);
    QCOMPARE(f.folder.value(QStringLiteral("select count(*) from 受注明細 where 商品ID=") + desk),
             QStringLiteral("0"));
    QCOMPARE(f.folder.value(QStringLiteral("select 受注金額 from 受注")), QStringLiteral("1300"));
}

void TestEntryScreens::order_quantity_not_a_number_adds_nothing() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("二"));
    QCOMPARE(f.prompter.messages, QStringList{kNumberMessage});
    QCOMPARE(f.grid(kOrder)->rowCount(), 0);
    QCOMPARE(f.text1(kOrder, 3)->text(), QStringLiteral("0"));
}

void TestEntryScreens::order_amounts_reformat_on_leaving_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("amount") << 3 << "12345"
                            << "12,345";
    QTest::newRow("discount") << 5 << "12345"
                              << "12,345";
    QTest::newRow("regrouped") << 3 << "1,2345"
                               << "12,345";
    QTest::newRow("not a number kept") << 5 << "五百"
                                       << "五百";
    QTest::newRow("title untouched") << 2 << "12345"
                                     << "12345";
}

void TestEntryScreens::order_amounts_reformat_on_leaving() {
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Fixture f;
    f.open(kOrder);
    f.text1(kOrder, box)->setText(typed);
    f.leave(f.text1(kOrder, box));
    QCOMPARE(f.text1(kOrder, box)->text(), shown);
}

void TestEntryScreens::order_refusal_stores_nothing_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("date tomorrow") << 1 << "2026/12/09" << kDateMessage;
    QTest::newRow("date empty") << 1 << "" << kDateMessage;
    QTest::newRow("discount not a number") << 5 << "五百" << kNumberMessage;
    QTest::newRow("amount not a number") << 3 << "3,800円" << kNumberMessage;
    QTest::newRow("tax rate not a number") << 4 << "10%" << kNumberMessage;
}

void TestEntryScreens::order_refusal_stores_nothing() {
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Fixture f;
    f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    QWidget* screen = f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("2"));
    f.text1(kOrder, box)->setText(typed);
    f.press(kOrder, "Command2");
    QCOMPARE(f.prompter.messages, QStringList{message});
    QVERIFY(screen->isVisible());
    QCOMPARE(f.text1(kOrder, box)->text(), typed);
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 0);
    QCOMPARE(f.folder.count(QStringLiteral("受注明細")), 0);
}

void TestEntryScreens::order_refused_line_keeps_nothing_and_screen_usable() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    QWidget* screen = f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("2"));
    f.folder.exec(QStringLiteral("alter table 受注明細 rename to 明細退避"));
    f.press(kOrder, "Command2");
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY2(f.prompter.last().contains(QStringLiteral("受注明細")), qPrintable(f.prompter.last()));
    QVERIFY(screen->isVisible());
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 0);

    f.folder.exec(QStringLiteral("alter table 明細退避 rename to 受注明細"));
    f.press(kOrder, "Command2");
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY(!screen->isVisible());
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 1);
    QCOMPARE(f.folder.count(QStringLiteral("受注明細")), 1);
}

void TestEntryScreens::order_close_clears_title_amounts_and_lines() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("椅子"), QStringLiteral("500"));
    QWidget* screen = f.open(kOrder);
    f.add_line(QStringLiteral("椅子"), QStringLiteral("2"));
    f.text1(kOrder, 1)->setText(QStringLiteral("2026/12/01"));
    f.text1(kOrder, 2)->setText(QStringLiteral("件名"));
    f.text1(kOrder, 5)->setText(QStringLiteral("100"));
    f.press(kOrder, "Command1");
    QVERIFY(!screen->isVisible());
    QCOMPARE(f.text1(kOrder, 2)->text(), QString());
    QCOMPARE(f.text1(kOrder, 3)->text(), QString());
    QCOMPARE(f.text1(kOrder, 5)->text(), QString());
    QCOMPARE(f.text1(kOrder, 1)->text(), QStringLiteral("2026/12/01"));
    QCOMPARE(f.grid(kOrder)->rowCount(), 0);
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 0);
}

// ---- visit, estimate, claim, inquiry

void TestEntryScreens::visit_saves_and_hides() {
    Fixture f;
    QWidget* screen = f.open(kVisit);
    QCOMPARE(f.text1(kVisit, 0)->text(), QStringLiteral("佐藤"));
    QCOMPARE(f.text1(kVisit, 1)->text(), QStringLiteral("2026/12/08"));
    f.text1(kVisit, 1)->setText(QStringLiteral("２００３／１１／３０"));
    f.text1(kVisit, 2)->setText(QStringLiteral("定期訪問"));
    f.text1(kVisit, 3)->setText(QStringLiteral("新製品の説明"));
    f.press(kVisit, "Command2");
    QVERIFY(f.prompter.messages.isEmpty());
    QVERIFY(!screen->isVisible());
    QCOMPARE(f.text1(kVisit, 1)->text(), QStringLiteral("2003/11/30"));
    QCOMPARE(f.row(QStringLiteral("select 顧客ID,社員,訪問日,名称,内容 from 訪問"), 5),
             (QStringList{f.customer, "佐藤", "2003/11/30", "定期訪問", "新製品の説明"}));
}

void TestEntryScreens::claim_empty_answer_date_gives_two_messages() {
    Fixture f;
    QWidget* screen = f.open(kClaim);
    QCOMPARE(f.text1(kClaim, 4)->text(), QStringLiteral("2026/12/08"));
    f.text1(kClaim, 1)->setText(QStringLiteral("26/12/1"));
    f.text1(kClaim, 4)->clear();
    f.press(kClaim, "Command2");
    QCOMPARE(f.prompter.messages,
             (QStringList{"日付でない、未入力、未来の日付、、、", "日付でない、未入力、未来の日付、、"}));
    QCOMPARE(f.text1(kClaim, 1)->text(), QStringLiteral("2026/12/01"));
    QVERIFY(screen->isVisible());
    QCOMPARE(f.folder.count(QStringLiteral("クレーム")), 0);
}

void TestEntryScreens::estimate_amount_reformats_and_stores_plain() {
    Fixture f;
    QWidget* screen = f.open(kEstimate);
    QCOMPARE(f.text1(kEstimate, 3)->text(), QStringLiteral("0"));
    QCOMPARE(f.text1(kEstimate, 4)->text(), QStringLiteral("10"));
    f.text1(kEstimate, 3)->setText(QStringLiteral("1200000"));
    f.leave(f.text1(kEstimate, 3));
    QCOMPARE(f.text1(kEstimate, 3)->text(), QStringLiteral("1,200,000"));
    f.text1(kEstimate, 4)->setText(QStringLiteral("8"));
    f.leave(f.text1(kEstimate, 4));
    QCOMPARE(f.text1(kEstimate, 4)->text(), QStringLiteral("8"));
    f.press(kEstimate, "Command2");
    QVERIFY(f.prompter.messages.isEmpty());
    QVERIFY(!screen->isVisible());
    QCOMPARE(f.row(QStringLiteral("select 見積もり金額,消費税率 from 見積もり"), 2),
             (QStringList{"1200000", "8"}));
}

void TestEntryScreens::refused_statement_is_shown_and_screen_stays() {
    Fixture f;
    QWidget* screen = f.open(kInquiry);
    f.folder.exec(QStringLiteral("alter table 問い合わせ rename to 退避"));
    f.press(kInquiry, "Command2");
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY2(f.prompter.last().contains(QStringLiteral("問い合わせ")), qPrintable(f.prompter.last()));
    QVERIFY(screen->isVisible());
    f.folder.exec(QStringLiteral("alter table 退避 rename to 問い合わせ"));
    f.press(kInquiry, "Command2");
    QCOMPARE(f.prompter.messages.size(), 1);
    QCOMPARE(f.folder.count(QStringLiteral("問い合わせ")), 1);
}

// ---- cost

void TestEntryScreens::cost_lists_orders_newest_first() {
    Fixture f;
    f.add_order("2025/04/01", "旧案件", "1000");
    f.add_order("2026/10/15", "新案件", "250000");
    f.add_order("2026/01/20", "中案件", "5000");
    f.open(kCost);
    QTableWidget* grid = f.grid(kCost);
    QStringList headings;
    for (int c = 0; c < grid->columnCount(); ++c)
        headings << grid->horizontalHeaderItem(c)->text();
    QCOMPARE(headings, (QStringList{"受注番号", "受注部", "名称", "受注金額"}));
    QCOMPARE(f.label(kCost, "Label3")->text(), QStringLiteral("受注物件を選択してください"));
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(0, 2)->text(), QStringLiteral("新案件"));
    QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("中案件"));
    QCOMPARE(grid->item(2, 2)->text(), QStringLiteral("旧案件"));
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("2026/10/15"));
    QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("250000"));
    QVERIFY(!f.child<QGroupBox>(kCost, "Frame1")->isVisible());
}

void TestEntryScreens::cost_order_click_opens_entry() {
    Fixture f;
    f.folder.exec(QStringLiteral("insert into 原価コード (分類,原価名) values('b','運搬費')"));
    f.folder.exec(QStringLiteral("insert into 原価コード (分類,原価名) values('a','材料費')"));
    const QString order = f.add_order("2026/11/01", "改装工事", "500000");
    f.open(kCost);
    auto* combo = f.child<QComboBox>(kCost, "Combo2");
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(combo->placeholderText(), QStringLiteral("選択してください"));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(f.text1(kCost, 2)->text(), QString());
    QCOMPARE(f.text1(kCost, 1)->text(), QStringLiteral("2026/12/08"));

    f.click_cell(f.grid(kCost), 0, 3);
    QCOMPARE(f.label(kCost, "Label2_1")->text(), order);
    QCOMPARE(f.label(kCost, "Label2_2")->text(), QStringLiteral("改装工事"));
    QVERIFY(f.child<QGroupBox>(kCost, "Frame1")->isVisible());
    combo->setCurrentIndex(1);
    QCOMPARE(f.text1(kCost, 2)->text(), QStringLiteral("運搬費"));
}

void TestEntryScreens::cost_two_saves_store_two_rows_and_stay_open() {
    Fixture f;
    const QString order = f.add_order("2026/11/01", "改装工事", "500000");
    QWidget* screen = f.open(kCost);
    f.click_cell(f.grid(kCost), 0, 0);
    f.text1(kCost, 2)->setText(QStringLiteral("外注費"));
    f.text1(kCost, 3)->setText(QStringLiteral("15000"));
    f.leave(f.text1(kCost, 3));
    QCOMPARE(f.text1(kCost, 3)->text(), QStringLiteral("15,000"));
    f.press(kCost, "Command2");
    QVERIFY(screen->isVisible());
    f.text1(kCost, 2)->setText(QStringLiteral("材料費"));
    f.press(kCost, "Command2");
    QVERIFY(f.prompter.messages.isEmpty());
    QVERIFY(screen->isVisible());
    const ResultTable rows =
        f.folder.rows(QStringLiteral("select 顧客ID,受注ID,登録日,名称,金額 from 原価 order by 原価ID"), 5);
    QCOMPARE(rows.row_count(), 2);
    QCOMPARE(rows(0, 1), f.customer);
    QCOMPARE(rows(1, 1), order);
    QCOMPARE(rows(2, 1), QStringLiteral("2026/12/08"));
    QCOMPARE(rows(3, 1), QStringLiteral("外注費"));
    QCOMPARE(rows(4, 1), QStringLiteral("15000"));
    QCOMPARE(rows(3, 2), QStringLiteral("材料費"));
}

void TestEntryScreens::cost_save_without_order_is_refused() {
    Fixture f;
    f.add_order("2026/11/01", "改装工事", "500000");
    f.open(kCost);
    f.text1(kCost, 3)->setText(QStringLiteral("15000"));
    f.press(kCost, "Command2");
    QCOMPARE(f.prompter.messages, QStringList{"受注物件を選択してください"});
    QCOMPARE(f.folder.count(QStringLiteral("原価")), 0);
}

void TestEntryScreens::cost_reopen_for_another_customer_drops_the_order() {
    Fixture f;
    f.add_order("2026/11/01", "山田の工事", "500000");
    f.open(kCost);
    f.click_cell(f.grid(kCost), 0, 0);
    QVERIFY(!f.label(kCost, "Label2_1")->text().isEmpty());
    f.press(kCost, "Command1");

    f.show_customer(QStringLiteral("鈴木工務店"), QStringLiteral("すずき"));
    f.add_order("2026/11/02", "鈴木の工事", "100");
    f.open(kCost);
    QCOMPARE(f.label(kCost, "Label2_0")->text(), QStringLiteral("鈴木工務店"));
    QCOMPARE(f.label(kCost, "Label2_1")->text(), QString());
    QVERIFY(!f.child<QGroupBox>(kCost, "Frame1")->isVisible());
    QCOMPARE(f.grid(kCost)->rowCount(), 1);
    QCOMPARE(f.grid(kCost)->item(0, 2)->text(), QStringLiteral("鈴木の工事"));
    f.press(kCost, "Command2");
    QCOMPARE(f.prompter.messages, QStringList{"受注物件を選択してください"});
    QCOMPARE(f.folder.count(QStringLiteral("原価")), 0);
}

void TestEntryScreens::open_cost_screen_follows_the_shown_customer() {
    // The screen stays open while the main window shows another customer: what it lists, names
    // and books must be that customer's.
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow main(folder.session(), prompter);
    Screens screens(folder.session(), prompter, &main);
    const QString yamada = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"));
    const QString suzuki = folder.add_customer(QStringLiteral("鈴木工務店"), QStringLiteral("すずき"));
    for (const QString& id : {yamada, suzuki})
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤','2026/11/01','工事%1',1000,10,0)")
                        .arg(id));
    main.show();
    QVERIFY(main.show_customer(yamada));
    screens.open_entry(kCost);
    QWidget* cost = screens.entry_screen(kCost);
    auto* grid = cost->findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"));
    emit grid->cellClicked(0, 0);  // 山田商事's order chosen

    QVERIFY(main.show_customer(suzuki));
    QVERIFY(cost->isVisible());
    QCOMPARE(cost->findChild<QLabel*>(QStringLiteral("Label2_0"))->text(), QStringLiteral("鈴木工務店"));
    QCOMPARE(grid->item(0, 2)->text(), QStringLiteral("工事%1").arg(suzuki));
    cost->findChild<QLineEdit*>(QStringLiteral("Text1_3"))->setText(QStringLiteral("500"));
    cost->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(prompter.messages, QStringList{"受注物件を選択してください"});
    QCOMPARE(folder.count(QStringLiteral("原価")), 0);

    emit grid->cellClicked(0, 0);
    cost->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    const ResultTable rows = folder.rows(QStringLiteral("select 顧客ID,受注ID from 原価"), 2);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(0, 1), suzuki);
    QCOMPARE(rows(1, 1), folder.value(QStringLiteral("select 受注ID from 受注 where 顧客ID=") + suzuki));
}

void TestEntryScreens::cost_grid_columns_fit_their_contents() {
    Fixture f;
    f.add_order("2026/11/01", "店舗改装工事（第二期）追加分", "123456789");
    f.open(kCost);
    QTableWidget* grid = f.grid(kCost);
    for (int c = 0; c < 4; ++c) {
        const QString text = grid->item(0, c)->text();
        QVERIFY2(grid->columnWidth(c) >= grid->fontMetrics().horizontalAdvance(text),
                 qPrintable(QStringLiteral("column %1 cuts %2").arg(c).arg(text)));
    }
}

void TestEntryScreens::save_is_confirmed_in_the_status_bar_data() {
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("message");
    QTest::newRow("order") << int(kOrder) << "受注を保存しました（山田商事）";
    QTest::newRow("visit") << int(kVisit) << "訪問を保存しました（山田商事）";
    QTest::newRow("claim") << int(kClaim) << "クレームを保存しました（山田商事）";
}

void TestEntryScreens::save_is_confirmed_in_the_status_bar() {
    QFETCH(int, link);
    QFETCH(QString, message);
    TestFolder folder;
    QueuedPrompter prompter;
    folder.session().current_employee = QStringLiteral("佐藤");
    MainWindow main(folder.session(), prompter);
    Screens screens(folder.session(), prompter, &main);
    main.show();
    QVERIFY(main.show_customer(folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"))));
    screens.open_entry(link);
    QWidget* screen = screens.entry_screen(link);
    if (link == kOrder)
        screen->findChild<QLineEdit*>(QStringLiteral("Text1_2"))->setText(QStringLiteral("改装"));
    if (link == kClaim)  // the answer date is required as well
        screen->findChild<QLineEdit*>(QStringLiteral("Text1_4"))->setText(QStringLiteral("2026/12/08"));
    screen->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(prompter.messages, QStringList());
    QVERIFY(!screen->isVisible());
    QCOMPARE(main.statusBar()->currentMessage(), message);
}

void TestEntryScreens::gone_customer_is_refused_data() {
    QTest::addColumn<int>("link");
    QTest::addColumn<bool>("other_pc");  // deleted by another PC, else in this main window
    for (int link = kOrder; link <= kCost; ++link)
        for (bool other_pc : {true, false})
            QTest::addRow("link %d, deleted %s", link, other_pc ? "on another PC" : "here")
                << link << other_pc;
}

// A screen left open for a customer deleted since stores nothing for it, with a message: a delete
// elsewhere is found when saving, a delete here empties the screen's customer at once.
void TestEntryScreens::gone_customer_is_refused() {
    QFETCH(int, link);
    QFETCH(bool, other_pc);
    Fixture f;
    MainWindow main(f.session(), f.prompter);
    Screens screens(f.session(), f.prompter, &main);
    f.add_order("2026/12/01", "工事", "1000");
    QVERIFY(main.show_customer(f.customer));
    screens.open_entry(link);
    QWidget* screen = screens.entry_screen(link);
    if (link == kCost)
        emit screen->findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"))->cellClicked(0, 0);
    screen->findChild<QLineEdit*>(QStringLiteral("Text1_2"))->setText(QStringLiteral("件名"));
    if (other_pc) {
        Database other;
        other.open_sqlite_file(f.folder.database_path(), false);
        other.execute_sql(QStringLiteral("delete from 顧客 where 顧客ID=") + f.customer);
    } else {
        f.prompter.answers = {true};
        main.findChild<QPushButton*>(QStringLiteral("delete_cust"))->click();
    }
    f.prompter.clear();
    screen->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(f.prompter.messages, QStringList{other_pc ? kCustomerGoneMessage : kChooseCustomerMessage});
    for (const char* table : {"受注", "見積もり", "訪問", "問い合わせ", "クレーム", "原価"})
        QCOMPARE(f.folder.count(QString::fromUtf8(table)), table == QByteArray("受注") ? 1 : 0);
}

QTEST_MAIN(TestEntryScreens)
#include "test_entry_screens.moc"
