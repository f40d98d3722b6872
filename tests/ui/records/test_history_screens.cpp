#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "records/check.h"
#include "test_folder.h"
#include "ui/customers/main_window.h"
#include "ui/records/chart_widget.h"
#include "ui/records/datalist.h"
#include "ui/records/history_screens.h"
#include "ui/records/today_job.h"

namespace {

const QDate kToday(2026, 12, 8);
enum Entry { kOrders = 0, kEstimates, kVisits, kInquiries, kClaims, kCosts };

struct Fixture {
    TestFolder folder{kToday};
    QueuedPrompter prompter;
    MainWindow main{folder.session(), prompter};
    HistoryScreens* screens = new HistoryScreens(folder.session(), prompter, main);
    QString yamada = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));
    QString kawai = folder.add_customer(QStringLiteral("河合工業"), QStringLiteral("かわいこうぎょう"));

    Fixture() { folder.session().current_employee = QStringLiteral("佐藤"); }
    Session& session() { return folder.session(); }
    QString date(int days_ago) const {
        return kToday.addDays(-days_ago).toString(QStringLiteral("yyyy/MM/dd"));
    }
    QString order(const QString& customer, int days_ago, const QString& employee = QStringLiteral("佐藤")) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,%2,'%3','注文',10000,10,0)")
                        .arg(customer, sql_text(employee), date(days_ago)));
        return folder.value(QStringLiteral("select max(受注ID) from 受注"));
    }
    void visit(const QString& customer, int days_ago, const QString& employee = QStringLiteral("佐藤")) {
        folder.exec(
            QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,%2,'%3','訪問','')")
                .arg(customer, sql_text(employee), date(days_ago)));
    }
    QString inquiry(const QString& status) {
        folder.exec(QStringLiteral("insert into 問い合わせ (顧客ID,社員,名称,受付日,状況,内容) "
                                   "values(%1,'佐藤','在庫','2026/11/01',%2,'')")
                        .arg(yamada, sql_text(status)));
        return folder.value(QStringLiteral("select max(問い合わせID) from 問い合わせ"));
    }

    template <class T>
    T* in_main(const QString& name) {
        return main.findChild<T*>(name);
    }
    RecordListScreen* list() { return screens->record_list(); }
    QTableView* grid() {
        return list() ? list()->findChild<QTableView*>(QStringLiteral("MSFlexGrid1")) : nullptr;
    }
    QLineEdit* box(int i) { return list()->findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i)); }
    QComboBox* combo() { return list()->findChild<QComboBox*>(QStringLiteral("Combo1")); }
    void press(QWidget* screen, const char* name) {
        auto* b = screen->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(b && b->isVisible(), name);
        b->click();
    }
    void click_legend(int k) {
        auto* label = in_main<QLabel>(QStringLiteral("Label2_%1").arg(k));
        QVERIFY(label && label->isVisible());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(list() && list()->isVisible());
    }
    void click_row(int row) {
        QVERIFY(grid() && row < grid()->model()->rowCount());
        const QRect rect = grid()->visualRect(grid()->model()->index(row, 1));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QStringList grid_column(int c) {
        QStringList values;
        for (int r = 0; r < grid()->model()->rowCount(); ++r)
            values << grid()->model()->index(r, c).data().toString();
        return values;
    }
    void show_customer(const QString& id) {
        main.show();
        QVERIFY(main.show_customer(id));
    }
    void show_employee_view() {
        screens->open_today_jobs();
        press(screens->today_jobs(), "Command1");
    }
};

}  // namespace

class TestHistoryScreens : public QObject {
    Q_OBJECT

private slots:
    void closing_today_jobs_shows_employee_chart_data();
    void closing_today_jobs_shows_employee_chart();
    void today_lists_hold_every_row();
    void customer_chart_is_drawn_when_shown();
    void running_line_starts_at_the_left_edge();
    void chart_ends_today();
    void legend_lists_employee_or_customer_data();
    void legend_lists_employee_or_customer();
    void another_table_replaces_the_rows();
    void inquiry_row_keeps_its_own_status_data();
    void inquiry_row_keeps_its_own_status();
    void empty_date_blocks_claim_update();
    void delete_question_data();
    void delete_question();
    void detail_view_edits_one_box();
    void untouched_box_writes_back_what_was_read_data();
    void untouched_box_writes_back_what_was_read();
};

void TestHistoryScreens::closing_today_jobs_shows_employee_chart_data() {
    QTest::addColumn<bool>("close_button");
    QTest::newRow("閉じる") << true;
    QTest::newRow("window close control") << false;
}

void TestHistoryScreens::closing_today_jobs_shows_employee_chart() {
    QFETCH(bool, close_button);
    Fixture f;
    f.order(f.yamada, 10);
    f.visit(f.yamada, 5);
    f.visit(f.kawai, 3, QStringLiteral("鈴木"));
    f.screens->open_today_jobs();
    TodayJobScreen* today = f.screens->today_jobs();
    QVERIFY(QTest::qWaitForWindowExposed(today));
    QVERIFY(!f.main.isVisible());

    if (close_button)
        f.press(today, "Command1");
    else
        today->close();
    QVERIFY(!today->isVisible());
    QVERIFY(f.main.isVisible());
    QCOMPARE(f.in_main<QLabel>(QStringLiteral("Label8"))->text(), QStringLiteral("佐藤"));
    for (int k = 0; k < 6; ++k)
        QCOMPARE(f.in_main<QLabel>(QStringLiteral("Label2_%1").arg(k))->isVisible(), k >= 1 && k <= 4);
    QCOMPARE(f.session().history_scope, 1);
    ChartWidget* chart = f.main.chart();
    QVERIFY(chart->isVisible() && chart->has_chart());
    QCOMPARE(chart->chart().ticks.at(1).days, QVector<int>{5});
    QCOMPARE(chart->chart().daily.at(10), 0);  // no amounts in the employee view
}

void TestHistoryScreens::today_lists_hold_every_row() {
    Fixture f;
    {
        Transaction tx(f.folder.db());
        for (int i = 0; i < 10000; ++i)
            f.order(i % 2 ? f.yamada : f.kawai, i % 700);
        tx.commit();
    }
    f.inquiry(QStringLiteral("email"));
    f.screens->open_today_jobs();
    auto* orders = f.screens->today_jobs()->findChild<QListView*>(QStringLiteral("List3_0"));
    QVERIFY(orders);
    QCOMPARE(orders->model()->rowCount(), 10000);
    QVERIFY(orders->model()->index(0, 0).data().toString().startsWith(f.date(0) + " "));
    QVERIFY(orders->model()->index(9999, 0).data().toString().startsWith(f.date(699) + " "));
    auto* inquiries = f.screens->today_jobs()->findChild<QListView*>(QStringLiteral("List1"));
    QCOMPARE(inquiries->model()->rowCount(), 1);
}

void TestHistoryScreens::customer_chart_is_drawn_when_shown() {
    Fixture f;
    f.order(f.yamada, 10);
    f.order(f.kawai, 20);
    f.show_customer(f.yamada);
    QCOMPARE(f.in_main<QLabel>(QStringLiteral("Label8"))->text(), QStringLiteral("商品1年間履歴"));
    QCOMPARE(f.session().history_scope, 2);
    const HistoryChart& chart = f.main.chart()->chart();
    QCOMPARE(chart.daily.at(10), 10000);
    QCOMPARE(chart.daily.at(20), 0);
    QCOMPARE(chart.factor, 0.0008);
}

void TestHistoryScreens::running_line_starts_at_the_left_edge() {
    // An order on the first day of the chart: the running total stands at 8 all year.
    HistoryChart chart;
    chart.daily[kHistoryDays] = 1000;
    finish_amounts(chart);
    ChartWidget widget;
    widget.resize(733, 201);
    widget.set_chart(chart);
    const QImage image = widget.grab().toImage();
    auto colour_at = [&](double x, double y) { return image.pixelColor(widget.to_widget(x, y).toPoint()); };
    QCOMPARE(colour_at(-180, 8), QColor(Qt::white));
    // A line from today's (0, 0) to the left edge would cross the middle of the chart.
    QCOMPARE(colour_at(-183, 4), QColor(224, 224, 224));
}

void TestHistoryScreens::legend_lists_employee_or_customer_data() {
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("employee");
    QTest::addColumn<QStringList>("customers");
    QTest::newRow("employee") << 1 << "佐藤" << QStringList{"yamada", "kawai"};
    QTest::newRow("employee with quote and backslash")
        << 1 << "O'Brien \\' or ''='" << QStringList{"yamada", "kawai"};
    QTest::newRow("customer") << 2 << "佐藤" << QStringList{"yamada", "yamada"};
}

void TestHistoryScreens::legend_lists_employee_or_customer() {
    QFETCH(int, scope);
    QFETCH(QString, employee);
    QFETCH(QStringList, customers);
    Fixture f;
    f.session().current_employee = employee;
    f.order(f.yamada, 10, employee);
    f.order(f.yamada, 30, QStringLiteral("鈴木"));
    f.order(f.kawai, 20, employee);
    f.show_customer(f.yamada);
    if (scope == 1)
        f.show_employee_view();
    f.click_legend(kOrders);
    QStringList expected;
    for (const QString& c : customers)
        expected << (c == "yamada" ? f.yamada : f.kawai);
    QCOMPARE(f.grid_column(1), expected);
    QVERIFY(f.prompter.messages.isEmpty());
}

void TestHistoryScreens::another_table_replaces_the_rows() {
    Fixture f;
    f.order(f.yamada, 10);
    f.order(f.yamada, 12);
    f.visit(f.yamada, 4);
    f.show_customer(f.yamada);
    f.click_legend(kOrders);
    QCOMPARE(f.grid()->model()->rowCount(), 2);
    f.click_legend(kVisits);
    QCOMPARE(f.grid()->model()->rowCount(), 1);
    QCOMPARE(f.grid()->model()->columnCount(), 6);
    QCOMPARE(f.grid()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("訪問日"));
    QCOMPARE(f.grid_column(3), QStringList{f.date(4)});
}

void TestHistoryScreens::inquiry_row_keeps_its_own_status_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("choose");  // index of Combo1 to choose, -1 for none
    QTest::addColumn<QString>("stored");
    QTest::newRow("in hand, untouched") << "対応中" << -1 << "対応中";
    QTest::newRow("email, untouched") << "email" << -1 << "email";
    QTest::newRow("mail intake, not in the list") << "email受付" << -1 << "email受付";
    QTest::newRow("done chosen") << "email" << 3 << "対応済";
}

void TestHistoryScreens::inquiry_row_keeps_its_own_status() {
    QFETCH(QString, status);
    QFETCH(int, choose);
    Fixture f;
    f.inquiry(QStringLiteral("対応済"));  // the first row clicked leaves this status selected
    const QString key = f.inquiry(status);
    f.show_customer(f.yamada);
    f.click_legend(kInquiries);
    const int row = f.grid_column(0).indexOf(key);
    QVERIFY(row >= 0);
    f.click_row(1 - row);
    f.click_row(row);
    QVERIFY(f.combo()->isVisible());
    QCOMPARE(f.box(4)->text(), status);
    if (choose >= 0) {
        f.combo()->setCurrentIndex(choose);
        emit f.combo()->activated(choose);
    }
    f.press(f.list(), "updateB");
    QVERIFY(f.prompter.messages.isEmpty());
    QTEST(f.folder.value("select 状況 from 問い合わせ where 問い合わせID=" + key), "stored");
    QVERIFY(!f.combo()->isVisible());
}

void TestHistoryScreens::empty_date_blocks_claim_update() {
    Fixture f;
    f.folder.exec(QStringLiteral("insert into クレーム (顧客ID,社員,名称,受付日,内容,回答日,回答内容) "
                                 "values(%1,'佐藤','納品遅れ','2026/11/01','本文',NULL,NULL)")
                      .arg(f.yamada));
    f.show_customer(f.yamada);
    f.click_legend(kClaims);
    f.click_row(0);
    f.box(2)->setText(QStringLiteral("変更"));
    f.press(f.list(), "updateB");
    QCOMPARE(f.prompter.messages, QStringList{kDateMessageClaim});
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from クレーム")), QStringLiteral("納品遅れ"));
    QCOMPARE(f.box(2)->text(), QStringLiteral("変更"));
}

void TestHistoryScreens::delete_question_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("left");
    QTest::newRow("no") << false << 2;
    QTest::newRow("yes") << true << 1;
}

void TestHistoryScreens::delete_question() {
    QFETCH(bool, yes);
    Fixture f;
    f.order(f.yamada, 10);
    f.order(f.yamada, 20);
    f.show_customer(f.yamada);
    f.click_legend(kOrders);
    f.click_row(0);
    f.prompter.answers = {yes};
    f.press(f.list(), "deleteB");
    QCOMPARE(f.prompter.questions, QStringList{QStringLiteral("本当に削除しますか")});
    QTEST(f.folder.count(QStringLiteral("受注")), "left");
    QVERIFY(!f.list()->isVisible());
    QCOMPARE(f.grid()->model()->rowCount(), 0);
    QVERIFY(f.box(3)->text().isEmpty());
}

void TestHistoryScreens::detail_view_edits_one_box() {
    Fixture f;
    f.order(f.yamada, 10);
    f.show_customer(f.yamada);
    f.click_legend(kOrders);
    f.click_row(0);
    QTest::mouseDClick(f.box(3), Qt::LeftButton);
    DetailView* detail = f.list()->detail_view();
    QVERIFY(detail->isVisible());
    QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("名称"));
    QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("3"));
    auto* text = detail->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text->toPlainText(), QStringLiteral("注文"));
    text->setPlainText(QStringLiteral("修理部品の交換と再納品"));
    f.press(detail, "Command1");
    QVERIFY(!detail->isVisible());
    QCOMPARE(f.box(3)->text(), QStringLiteral("修理部品の交換と再納品"));
    // Nothing is stored until "更新".
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from 受注")), QStringLiteral("注文"));
}

void TestHistoryScreens::untouched_box_writes_back_what_was_read_data() {
    QTest::addColumn<QString>("content");  // 内容 as stored
    QTest::addColumn<QString>("edit");  // "", "name" (another box), or "detail" (内容 in the detail view)
    QTest::addColumn<QString>("expected");  // 内容 after 更新
    const QString long_text(40000, u'x');
    QTest::newRow("40,000 characters, nothing changed") << long_text << "" << long_text;
    QTest::newRow("40,000 characters, another box changed") << long_text << "name" << long_text;
    QTest::newRow("40,000 characters, edited in the detail view")
        << long_text << "detail" << long_text + QStringLiteral("追記");
    QTest::newRow("line breaks, nothing changed")
        << QStringLiteral("一行目\r\n二行目\n\t三行目") << "" << QStringLiteral("一行目\r\n二行目\n\t三行目");
}

// 更新 writes back every field: one the user did not touch goes back exactly as it was read, however
// long, and a long text can be edited in full.
void TestHistoryScreens::untouched_box_writes_back_what_was_read() {
    QFETCH(QString, content);
    QFETCH(QString, edit);
    QFETCH(QString, expected);
    Fixture f;
    f.folder.exec(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,'佐藤','%2','訪問',%3)")
                      .arg(f.yamada, f.date(3), sql_text(content)));
    f.show_customer(f.yamada);
    f.click_legend(kVisits);
    f.click_row(0);
    const int name_box = 3, content_box = 4;  // fields 名称 and 内容
    if (edit == QLatin1String("name"))
        f.box(name_box)->setText(QStringLiteral("再訪問"));
    if (edit == QLatin1String("detail")) {
        QTest::mouseDClick(f.box(content_box), Qt::LeftButton);
        auto* text = f.list()->detail_view()->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        text->moveCursor(QTextCursor::End);
        text->insertPlainText(QStringLiteral("追記"));
        f.press(f.list()->detail_view(), "Command1");
    }
    f.press(f.list(), "updateB");
    QCOMPARE(f.prompter.messages, QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select 内容 from 訪問")), expected);
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from 訪問")),
             edit == QLatin1String("name") ? QStringLiteral("再訪問") : QStringLiteral("訪問"));
}

// The chart's right edge is today: an order entered today rises there and counts in the total.
void TestHistoryScreens::chart_ends_today() {
    Fixture f;
    f.order(f.yamada, 0);
    f.main.show();
    QVERIFY(f.main.show_customer(f.yamada));
    ChartWidget* chart = f.main.chart();
    QCOMPARE(chart->chart().running.at(0), 10000);
    const QImage image = chart->grab().toImage();
    const QPoint bar = chart->to_widget(0, 4).toPoint();
    QVERIFY(image.pixelColor(bar) == QColor(0, 255, 0) ||
            image.pixelColor(bar.x() - 1, bar.y()) == QColor(0, 255, 0));
}

QTEST_MAIN(TestHistoryScreens)
#include "test_history_screens.moc"
