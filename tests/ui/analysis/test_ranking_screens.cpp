#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include "records/number_text.h"
#include "test_folder.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"

namespace {

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow window{folder.session(), prompter};
    QString a, b, c;

    Fixture() {
        install_ranking_screens(ScreenContext{folder.session(), prompter, window});
        a = folder.add_customer(QStringLiteral("A社"), QStringLiteral("えー"));
        b = folder.add_customer(QStringLiteral("B社"), QStringLiteral("びー"));
        c = folder.add_customer(QStringLiteral("C社"), QStringLiteral("しー"));
        order(a, QStringLiteral("2026/12/01"), QStringLiteral("9000"));
        order(b, QStringLiteral("2026/11/01"), QStringLiteral("10000"));
        order(c, QStringLiteral("2026/10/01"), QStringLiteral("9000"));
        visit(b, QStringLiteral("2026/01/01"));
        visit(b, QStringLiteral("2026/02/01"));
    }
    void order(const QString& id, const QString& date, const QString& amount) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤',%2,'注文',%3,10,0)")
                        .arg(id, sql_text(date), amount));
    }
    void visit(const QString& id, const QString& date) {
        folder.exec(
            QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,'佐藤',%2,'訪問','')")
                .arg(id, sql_text(date)));
    }
    QWidget* open(const QString& action, const QString& screen_name) {
        auto* item = window.findChild<QAction*>(action);
        if (!item)
            return nullptr;
        item->trigger();
        return screen(screen_name);
    }
    static QWidget* screen(const QString& name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && !w->testAttribute(Qt::WA_DeleteOnClose))
                return w;
        return nullptr;
    }
    static QTableWidget* grid(QWidget* screen) { return screen->findChild<QTableWidget*>("MSFlexGrid1"); }
    static QStringList column(QTableWidget* grid, int c) {
        QStringList texts;
        for (int r = 0; r < grid->rowCount(); ++r)
            texts << grid->item(r, c)->text();
        return texts;
    }
    static void click_heading(QTableWidget* grid, int c) {
        QHeaderView* header = grid->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

}  // namespace

class TestRankingScreens : public QObject {
    Q_OBJECT
private slots:
    void menu_items_open_their_screens_data();
    void menu_items_open_their_screens();
    void grids_show_every_column_data();
    void grids_show_every_column();
    void close_button_hides_and_reopening_shows_the_same_result();
    void window_close_discards_and_the_next_opening_computes_again();
    void heading_click_sorts_numbers_as_numbers_data();
    void heading_click_sorts_numbers_as_numbers();
    void rfm_panel_saves_edited_settings();
    void rfm_panel_refuses_a_threshold_that_is_not_a_number();
    void after_sales_shows_goods_choice_only_for_goods();
    void after_sales_search_lists_entries_data();
    void after_sales_search_lists_entries();
};

void TestRankingScreens::menu_items_open_their_screens_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("first_column");
    QTest::newRow("rmf") << "rmf"
                         << "rfmfrm"
                         << "RFM分析" << QStringList{"A社", "B社", "C社"};
    QTest::newRow("order_rank") << "order_rank"
                                << "order_rankfrm"
                                << "顧客別売り上げ" << QStringList{"B社", "A社", "C社"};
    QTest::newRow("goods_rank") << "goods_rank"
                                << "goods_rankfrm"
                                << "商品別売り上げ" << QStringList{};
    QTest::newRow("order2visit") << "order2visit"
                                 << "order2visitfrm"
                                 << "受注累計と訪問回数" << QStringList{"A社", "C社", "B社"};
    QTest::newRow("after_order") << "after_order"
                                 << "after_salesfrm"
                                 << "アフターセールス" << QStringList{};
}

void TestRankingScreens::menu_items_open_their_screens() {
    QFETCH(QString, action);
    QFETCH(QString, screen);
    QFETCH(QString, title);
    QFETCH(QStringList, first_column);
    Fixture f;
    QWidget* w = f.open(action, screen);
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), title);
    QVERIFY2(f.prompter.messages.isEmpty(), qPrintable(f.prompter.messages.join('\n')));
    if (QTableWidget* grid = Fixture::grid(w))
        QCOMPARE(Fixture::column(grid, 0), first_column);
    delete w;
}

void TestRankingScreens::grids_show_every_column_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("screen");
    QTest::newRow("rmf") << "rmf"
                         << "rfmfrm";
    QTest::newRow("order_rank") << "order_rank"
                                << "order_rankfrm";
    QTest::newRow("goods_rank") << "goods_rank"
                                << "goods_rankfrm";
    QTest::newRow("order2visit") << "order2visit"
                                 << "order2visitfrm";
}

// Every column of a result grid has a heading and is in view when the screen opens: no sideways
// scrolling to reach the last one (RFM's M).
void TestRankingScreens::grids_show_every_column() {
    QFETCH(QString, action);
    QFETCH(QString, screen);
    Fixture f;
    // Rows enough to scroll down, and a long name.
    for (int i = 0; i < 60; ++i) {
        const QString id = f.folder.add_customer(QStringLiteral("株式会社　長い名前の見本顧客%1").arg(i),
                                                 QStringLiteral("みほん"));
        f.order(id, QStringLiteral("2026/%1/01").arg(1 + i % 12), QString::number(1000000 * (i + 1)));
        f.visit(id, QStringLiteral("2026/03/01"));
    }
    QWidget* w = f.open(action, screen);
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTableWidget* grid = Fixture::grid(w);
    for (int c = 0; c < grid->columnCount(); ++c)
        QVERIFY2(!grid->horizontalHeaderItem(c)->text().isEmpty(), qPrintable(QString::number(c)));
    QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
    const int last = grid->columnCount() - 1;
    QVERIFY(grid->columnViewportPosition(last) + grid->columnWidth(last) <= grid->viewport()->width());
    delete w;
}

void TestRankingScreens::close_button_hides_and_reopening_shows_the_same_result() {
    Fixture f;
    QWidget* w = f.open(QStringLiteral("order_rank"), QStringLiteral("order_rankfrm"));
    QVERIFY(w);
    QCOMPARE(w->findChild<QLineEdit*>("Text1_0")->text(), QStringLiteral("2025/12/08"));
    QCOMPARE(w->findChild<QLineEdit*>("Text1_1")->text(), QStringLiteral("2026/12/08"));
    w->findChild<QPushButton*>("Command1")->click();
    QVERIFY(!w->isVisible());
    f.order(f.c, QStringLiteral("2026/12/02"), QStringLiteral("50000"));
    QCOMPARE(f.open(QStringLiteral("order_rank"), QStringLiteral("order_rankfrm")), w);
    QVERIFY(w->isVisible());
    QCOMPARE(Fixture::column(Fixture::grid(w), 2), (QStringList{"10000", "9000", "9000"}));
    delete w;
}

void TestRankingScreens::window_close_discards_and_the_next_opening_computes_again() {
    Fixture f;
    QPointer<QWidget> w = f.open(QStringLiteral("order2visit"), QStringLiteral("order2visitfrm"));
    QVERIFY(w);
    w->close();
    QTRY_VERIFY(w.isNull());
    f.order(f.b, QStringLiteral("2026/12/02"), QStringLiteral("50000"));
    QWidget* again = f.open(QStringLiteral("order2visit"), QStringLiteral("order2visitfrm"));
    QVERIFY(again);
    QCOMPARE(Fixture::column(Fixture::grid(again), 0), (QStringList{"B社", "A社", "C社"}));
    QCOMPARE(Fixture::column(Fixture::grid(again), 1), (QStringList{"30000", "9000", "9000"}));
    delete again;
}

void TestRankingScreens::heading_click_sorts_numbers_as_numbers_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("as computed") << QList<int>{} << QStringList{"B社", "A社", "C社", "D社"};
    QTest::newRow("visits, largest first") << QList<int>{1} << QStringList{"D社", "B社", "A社", "C社"};
    QTest::newRow("visits, then reversed") << QList<int>{1, 1} << QStringList{"A社", "C社", "B社", "D社"};
    QTest::newRow("total, smallest after two clicks")
        << QList<int>{2, 2} << QStringList{"D社", "A社", "C社", "B社"};
    QTest::newRow("name") << QList<int>{0} << QStringList{"A社", "B社", "C社", "D社"};
}

void TestRankingScreens::heading_click_sorts_numbers_as_numbers() {
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, names);
    Fixture f;
    const QString d = f.folder.add_customer(QStringLiteral("D社"), QStringLiteral("でー"));
    f.order(d, QStringLiteral("2026/12/01"), QStringLiteral("800"));
    for (int i = 0; i < 10; ++i)  // 10 visits: above 2 only when compared as numbers
        f.visit(d, QStringLiteral("2026/03/01"));
    QWidget* w = f.open(QStringLiteral("order_rank"), QStringLiteral("order_rankfrm"));
    QVERIFY(w);
    QTableWidget* grid = Fixture::grid(w);
    for (int c : clicks)
        Fixture::click_heading(grid, c);
    QCOMPARE(Fixture::column(grid, 0), names);
    delete w;
}

void TestRankingScreens::rfm_panel_saves_edited_settings() {
    Fixture f;
    QWidget* w = f.open(QStringLiteral("rmf"), QStringLiteral("rfmfrm"));
    QVERIFY(w);
    QCOMPARE(w->findChild<QLineEdit*>("Text2_0")->text(), QStringLiteral("30"));
    QCOMPARE(w->findChild<QLineEdit*>("Text1_11")->text(), QStringLiteral("0円を超える購入"));
    QCOMPARE(w->findChild<QLabel*>("Label4_4")->text(), QStringLiteral("5"));
    QCOMPARE(Fixture::column(Fixture::grid(w), 1), (QStringList{"7", "6", "6"}));
    w->findChild<QLineEdit*>("Text2_0")->setText(QStringLiteral(" 10 "));
    w->findChild<QLineEdit*>("Text1_0")->setText(QStringLiteral("10日以内 "));
    w->findChild<QPushButton*>("saveB")->click();
    w->findChild<QPushButton*>("saveB")->click();
    QCOMPARE(f.folder.value("select a2 from RFM where ID=1"), QStringLiteral("10"));
    QCOMPARE(f.folder.value("select a1 from RFM where ID=1"), QStringLiteral("10日以内"));
    QCOMPARE(f.folder.value("select a2 from RFM where ID=2"), QStringLiteral("90"));
    // The scores on the grid stay until the screen is loaded again.
    QCOMPARE(Fixture::column(Fixture::grid(w), 1), (QStringList{"7", "6", "6"}));
    QVERIFY(!f.prompter.messages.contains(kNumberMessage));
    delete w;
}

void TestRankingScreens::rfm_panel_refuses_a_threshold_that_is_not_a_number() {
    Fixture f;
    QWidget* w = f.open(QStringLiteral("rmf"), QStringLiteral("rfmfrm"));
    QVERIFY(w);
    w->findChild<QLineEdit*>("Text1_0")->setText(QStringLiteral("変更"));
    w->findChild<QLineEdit*>("Text2_5")->setText(QStringLiteral("十"));
    w->findChild<QPushButton*>("saveB")->click();
    QCOMPARE(f.prompter.last(), kNumberMessage);
    QCOMPARE(f.folder.value("select a1 from RFM where ID=1"), QStringLiteral("30日以内に購入"));
    QCOMPARE(f.folder.value("select a2 from RFM where ID=6"), QStringLiteral("10"));
    delete w;
}

void TestRankingScreens::after_sales_shows_goods_choice_only_for_goods() {
    Fixture f;
    f.folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("100"));
    QWidget* w = f.open(QStringLiteral("after_order"), QStringLiteral("after_salesfrm"));
    QVERIFY(w);
    auto* criterion = w->findChild<QComboBox*>("Combo1");
    auto* goods = w->findChild<QComboBox*>("Combo2");
    QCOMPARE(criterion->currentIndex(), -1);
    QCOMPARE(criterion->placeholderText(), QStringLiteral("選択してください"));
    QCOMPARE(criterion->count(), 3);
    QCOMPARE(w->findChild<QLineEdit*>("Text1")->text(), QStringLiteral("120"));
    QVERIFY(!goods->isVisible());
    criterion->setCurrentIndex(2);
    QVERIFY(goods->isVisible());
    QVERIFY(w->findChild<QLabel*>("Label3")->isVisible());
    QCOMPARE(goods->itemText(0), QStringLiteral("ボールペン"));
    criterion->setCurrentIndex(0);
    QVERIFY(!goods->isVisible());
    delete w;
}

void TestRankingScreens::after_sales_search_lists_entries_data() {
    QTest::addColumn<int>("criterion");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::newRow("last order 60 days") << 0 << "60" << QStringList{"C社2026/10/01"} << "";
    QTest::newRow("last order 30 days") << 0 << "30" << QStringList{"B社2026/11/01", "C社2026/10/01"} << "";
    QTest::newRow("last visit") << 1 << "120" << QStringList{"B社2026/02/01", "B社2026/01/01"} << "";
    QTest::newRow("days not a number") << 0 << "百" << QStringList{"前の結果"} << kNumberMessage;
    QTest::newRow("goods not chosen") << 2 << "120" << QStringList{"前の結果"} << "商品を選択してください";
    QTest::newRow("no criterion") << -1 << "120" << QStringList{"前の結果"} << "";
}

void TestRankingScreens::after_sales_search_lists_entries() {
    QFETCH(int, criterion);
    QFETCH(QString, days);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    Fixture f;
    QWidget* w = f.open(QStringLiteral("after_order"), QStringLiteral("after_salesfrm"));
    QVERIFY(w);
    auto* list = w->findChild<QListWidget*>("List2");
    list->addItem(QStringLiteral("前の結果"));
    w->findChild<QComboBox*>("Combo1")->setCurrentIndex(criterion);
    w->findChild<QLineEdit*>("Text1")->setText(days);
    w->findChild<QPushButton*>("Command1")->click();
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, entries);
    QCOMPARE(f.prompter.last(), message);
    delete w;
}

QTEST_MAIN(TestRankingScreens)
#include "test_ranking_screens.moc"
