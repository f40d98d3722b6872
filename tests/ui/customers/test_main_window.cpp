#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

#include "test_folder.h"
#include "ui/common/help_window.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "ui/records/chart_widget.h"

namespace {

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow window{folder.session(), prompter};

    QLineEdit* findc() { return window.findChild<QLineEdit*>("findc"); }
    QListView* list() { return window.findChild<QListView*>("List1"); }
    QLineEdit* field(int i) { return window.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i)); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }
    QStringList listed() {
        QStringList names;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            names << list()->model()->index(r, 0).data().toString();
        return names;
    }
    void key(int index) {
        auto* label = window.findChild<QLabel*>(QStringLiteral("Label1_%1").arg(index));
        QVERIFY2(label, qPrintable(QStringLiteral("key %1").arg(index)));
        QTest::mouseClick(label, Qt::LeftButton);
    }
    void click_row(int row) {
        const QModelIndex index = list()->model()->index(row, 0);
        emit list()->clicked(index);
    }
    void fill(const QStringList& values) {
        for (int i = 0; i < 18; ++i)
            field(i)->setText(values.value(i));
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void starts_with_only_new_customer_button();
    void keyboard_keys_data();
    void keyboard_keys();
    void dakuten_searches_voiced_reading();
    void single_match_shows_customer_at_once();
    void erasing_search_keeps_list();
    void every_match_is_listed();
    void same_name_customers_show_the_clicked_one();
    void null_column_shows_dash();
    void update_of_a_customer_changed_elsewhere_data();
    void update_of_a_customer_changed_elsewhere();
    void enter_moves_to_next_field();
    void save_and_next_checks_data();
    void save_and_next_checks();
    void save_and_next_twice_inserts_once();
    void save_and_close_writes_without_checks();
    void quote_in_name_saves_and_shows_unchanged();
    void update_changes_the_shown_customer();
    void update_after_cancel_is_refused();
    void delete_question_no_keeps_customer_but_hides_button();
    void delete_question_yes_deletes_and_clears();
    void delete_without_shown_customer_is_refused_data();
    void delete_without_shown_customer_is_refused();
    void name_with_line_break_takes_one_line();
    void menu_is_complete_data();
    void menu_is_complete();
    void help_opens_the_program_folder_page();
    void version_dialog_texts();
    void new_entry_refuses_customer_actions_data();
    void new_entry_refuses_customer_actions();
    void small_faults_data();
    void small_faults();
    void window_follows_merge_and_restore_data();
    void window_follows_merge_and_restore();
};

void TestMainWindow::starts_with_only_new_customer_button() {
    Fixture f;
    f.window.show();
    QCOMPARE(f.window.windowTitle(), QStringLiteral("営業手帳 V9.21"));
    QVERIFY(f.button("Command1")->isVisible());
    for (const char* hidden : {"Command2", "Command3", "Command4", "Command6", "delete_cust", "mail_one"})
        QVERIFY2(!f.button(hidden)->isVisible(), hidden);
    for (int k = 0; k < 6; ++k) {
        QVERIFY(!f.window.findChild<QLabel*>(QStringLiteral("Label4_%1").arg(k))->isVisible());
        QVERIFY(!f.window.findChild<QLabel*>(QStringLiteral("Label2_%1").arg(k))->isVisible());
    }
    QVERIFY(!f.window.chart_area()->isVisible());
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame1")->title(), QStringLiteral("顧客検索"));
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame2")->title(), QStringLiteral("顧客基本情報"));
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame3")->title(), QStringLiteral("履歴"));
    QCOMPARE(f.window.findChild<QLabel*>("Label8")->text(), QStringLiteral("1年間の履歴図"));
}

void TestMainWindow::keyboard_keys_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("result");
    QTest::newRow("append あ") << "" << 0 << "あ";
    QTest::newRow("append か") << "た" << 9 << "たか";
    QTest::newRow("append わ") << "" << 54 << "わ";
    QTest::newRow("append ん") << "さ" << 35 << "さん";
    QTest::newRow("dakuten か→が") << "か" << 36 << "が";
    QTest::newRow("dakuten は→ば") << "は" << 36 << "ば";
    QTest::newRow("dakuten う→ゔ") << "う" << 36 << "ゔ";
    QTest::newRow("dakuten on the last of two") << "やか" << 36 << "やが";
    QTest::newRow("dakuten katakana ウ→ヴ") << "ウ" << 36 << "ヴ";
    // A character without a voiced form stays as it is (a code plus one would give ぃ, み).
    QTest::newRow("dakuten あ stays") << "あ" << 36 << "あ";
    QTest::newRow("dakuten ま stays") << "やま" << 36 << "やま";
    QTest::newRow("dakuten が stays") << "が" << 36 << "が";
    QTest::newRow("handakuten は→ぱ") << "は" << 40 << "ぱ";
    QTest::newRow("handakuten た stays") << "た" << 40 << "た";
    QTest::newRow("handakuten か stays") << "か" << 40 << "か";
    QTest::newRow("dakuten on empty") << "" << 36 << "";
    QTest::newRow("handakuten on empty") << "" << 40 << "";
    QTest::newRow("small っ") << "か" << 41 << "かっ";
}

void TestMainWindow::keyboard_keys() {
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(QString, result);
    Fixture f;
    f.window.show();
    f.findc()->setText(start);
    f.key(key);
    QCOMPARE(f.findc()->text(), result);
}

void TestMainWindow::dakuten_searches_voiced_reading() {
    Fixture f;
    f.folder.add_customer("学研商事", "がっけんしょうじ");
    f.folder.add_customer("外山工業", "がいやまこうぎょう");
    f.folder.add_customer("加藤商店", "かとうしょうてん");
    f.window.show();
    f.key(9);  // か
    QCOMPARE(f.listed().size(), 1);
    QCOMPARE(f.listed(), QStringList{"加藤商店"});
    f.key(36);  // ゛
    QCOMPARE(f.findc()->text(), QStringLiteral("が"));
    QStringList names = f.listed();
    names.sort();
    QCOMPARE(names, (QStringList{"外山工業", "学研商事"}));
}

void TestMainWindow::single_match_shows_customer_at_once() {
    Fixture f;
    const QString id = f.folder.add_customer("山田商店", "やまだしょうてん");
    f.folder.add_customer("山本工業", "やまもとこうぎょう");
    f.window.show();
    f.findc()->setText("やま");
    QCOMPARE(f.listed().size(), 2);
    QVERIFY(f.field(0)->text().isEmpty());
    f.findc()->setText("やまだ");
    QCOMPARE(f.field(0)->text(), QStringLiteral("山田商店"));
    QCOMPARE(f.field(1)->text(), QStringLiteral("やまだしょうてん"));
    QCOMPARE(f.folder.session().current_customer_id, id);
    QCOMPARE(f.folder.session().current_customer_name, QStringLiteral("山田商店"));
    QCOMPARE(f.folder.session().history_scope, 2);
    QCOMPARE(f.window.findChild<QLabel*>("Label8")->text(), QStringLiteral("商品1年間履歴"));
    for (const char* shown : {"Command1", "Command6", "delete_cust", "mail_one"})
        QVERIFY2(f.button(shown)->isVisible(), shown);
    QVERIFY(f.window.findChild<QLabel*>("Label4_0")->isVisible());
    QVERIFY(f.window.chart_area()->isVisible());
}

void TestMainWindow::erasing_search_keeps_list() {
    Fixture f;
    f.folder.add_customer("青木商店", "あおきしょうてん");
    f.folder.add_customer("阿部工業", "あべこうぎょう");
    f.window.show();
    f.findc()->setText("あ");
    QCOMPARE(f.listed().size(), 2);
    f.findc()->clear();
    QCOMPARE(f.listed().size(), 2);
    f.window.findChild<QLabel*>("Label5")->setFocus();
    QTest::mouseClick(f.window.findChild<QLabel*>("Label5"), Qt::LeftButton);
    QCOMPARE(f.findc()->text(), QString());
    QCOMPARE(f.listed().size(), 2);
}

void TestMainWindow::every_match_is_listed() {
    Fixture f;
    {
        Transaction tx(f.folder.db());
        for (int i = 0; i < 1500; ++i)
            f.folder.add_customer(QStringLiteral("田中商店%1").arg(i), "たなかしょうてん");
        tx.commit();
    }
    f.folder.add_customer("高橋工業", "たかはしこうぎょう");
    f.window.show();
    f.findc()->setText("た");
    QCOMPARE(f.listed().size(), 1501);
    f.findc()->setText("たな");
    QCOMPARE(f.listed().size(), 1500);
}

void TestMainWindow::same_name_customers_show_the_clicked_one() {
    Fixture f;
    const QString first = f.folder.add_customer("鈴木商店", "すずきしょうてん");
    const QString second = f.folder.add_customer("鈴木商店", "すずきしょうてん");
    f.folder.exec("update 顧客 set 住所='大阪市' where 顧客ID=" + second);
    f.folder.exec("update 顧客 set 住所='東京都' where 顧客ID=" + first);
    f.window.show();
    f.findc()->setText("すず");
    QCOMPARE(f.listed().size(), 2);
    for (int row = 0; row < 2; ++row) {
        f.click_row(row);
        const QString shown = f.folder.session().current_customer_id;
        QVERIFY(shown == first || shown == second);
        QCOMPARE(f.field(5)->text(), shown == first ? QStringLiteral("東京都") : QStringLiteral("大阪市"));
    }
    f.click_row(0);
    const QString a = f.folder.session().current_customer_id;
    f.click_row(1);
    QVERIFY(f.folder.session().current_customer_id != a);
}

void TestMainWindow::null_column_shows_dash() {
    Fixture f;
    f.folder.add_customer("石井商店", "いしいしょうてん");
    f.folder.exec("update 顧客 set TEL='' where 顧客名='石井商店'");
    f.window.show();
    f.findc()->setText("いしい");
    QCOMPARE(f.field(0)->text(), QStringLiteral("石井商店"));
    QCOMPARE(f.field(2)->text(), QStringLiteral("-"));  // NULL
    QCOMPARE(f.field(6)->text(), QString());            // empty text stays empty
}

void TestMainWindow::enter_moves_to_next_field() {
    Fixture f;
    f.window.show();
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.field(17)->setFocus();
    QTest::keyClick(f.field(17), Qt::Key_Return);
    QVERIFY(f.field(0)->hasFocus());
    QTest::keyClick(f.field(0), Qt::Key_Return);
    QVERIFY(f.field(1)->hasFocus());
    f.field(9)->setFocus();
    QTest::keyClick(f.field(9), Qt::Key_Enter);
    QVERIFY(f.field(10)->hasFocus());
}

void TestMainWindow::save_and_next_checks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kana");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("inserted");
    // 岡田商店 exists before each row.
    QTest::newRow("empty reading") << "新井商店"
                                   << ""
                                   << "ユニークな顧客名またはかな名を入れてください" << 0;
    QTest::newRow("empty name") << ""
                                << "あらい"
                                << "ユニークな顧客名またはかな名を入れてください" << 0;
    QTest::newRow("empty reading, name exists") << "岡田商店"
                                                << ""
                                                << "すでに顧客が登録されています" << 0;
    QTest::newRow("katakana reading") << "新井商店"
                                      << "アライ"
                                      << "かな名を入力してください" << 0;
    QTest::newRow("latin reading") << "新井商店"
                                   << "arai"
                                   << "かな名を入力してください" << 0;
    QTest::newRow("katakana, name exists") << "岡田商店"
                                           << "オカダ"
                                           << "すでに顧客が登録されています" << 0;
    QTest::newRow("duplicate name") << "岡田商店"
                                    << "おかだ"
                                    << "すでに顧客が登録されています" << 0;
    QTest::newRow("hiragana saves") << "新井商店"
                                    << "あらいしょうてん"
                                    << "" << 1;
}

void TestMainWindow::save_and_next_checks() {
    QFETCH(QString, name);
    QFETCH(QString, kana);
    QFETCH(QString, message);
    QFETCH(int, inserted);
    Fixture f;
    f.folder.add_customer("岡田商店", "おかだしょうてん");
    f.window.show();
    f.button("Command1")->click();
    QVERIFY(f.button("Command4")->isVisible());
    f.fill({name, kana});
    f.button("Command4")->click();
    QCOMPARE(f.prompter.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(f.prompter.last(), message);
    QCOMPARE(f.folder.count("顧客"), 1 + inserted);
    // Still in new-entry mode, the fields kept.
    QVERIFY(f.button("Command4")->isVisible());
    QCOMPARE(f.field(0)->text(), name);
}

void TestMainWindow::save_and_next_twice_inserts_once() {
    Fixture f;
    f.window.show();
    f.button("Command1")->click();
    f.fill({"新井商店", "あらいしょうてん", "東京都"});
    f.button("Command4")->click();
    QVERIFY(f.prompter.messages.isEmpty());
    f.button("Command4")->click();
    QCOMPARE(f.prompter.messages, QStringList{"すでに顧客が登録されています"});
    QCOMPARE(f.folder.count("顧客"), 1);
    QCOMPARE(f.folder.value("select 都道府県 from 顧客"), QStringLiteral("東京都"));
}

void TestMainWindow::save_and_close_writes_without_checks() {
    Fixture f;
    f.window.show();
    f.button("Command1")->click();
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame2")->palette().color(QPalette::Window),
             QColor(200, 250, 200));
    f.fill({"", "カタカナ"});
    f.button("Command3")->click();
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.folder.count("顧客"), 1);
    QCOMPARE(f.field(1)->text(), QString());
    QVERIFY(f.button("Command1")->isVisible());
    QVERIFY(f.button("Command6")->isVisible());
    QVERIFY(!f.button("Command3")->isVisible());
    // The new entry is over: the frame loses its new-entry colour.
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame2")->palette().color(QPalette::Window),
             QColor(255, 255, 255));
}

void TestMainWindow::quote_in_name_saves_and_shows_unchanged() {
    Fixture f;
    const QString name = QStringLiteral("O'Brien's \\ 商会'); drop table 顧客; --");
    f.window.show();
    f.button("Command1")->click();
    f.fill({name, "おぶらいえん", "", "", "", "it's 1 \\ 2"});
    f.button("Command4")->click();
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.folder.value("select 顧客名 from 顧客"), name);
    f.button("Command2")->click();
    f.findc()->setText("おぶ");
    QCOMPARE(f.field(0)->text(), name);
    QCOMPARE(f.field(5)->text(), QStringLiteral("it's 1 \\ 2"));
    // The duplicate check with the same hostile name finds it.
    f.button("Command1")->click();
    f.fill({name, "おぶらいえん"});
    f.button("Command4")->click();
    QCOMPARE(f.prompter.last(), QStringLiteral("すでに顧客が登録されています"));
}

void TestMainWindow::update_changes_the_shown_customer() {
    Fixture f;
    const QString id = f.folder.add_customer("森商店", "もりしょうてん");
    f.folder.add_customer("森田工業", "もりたこうぎょう");
    f.window.show();
    f.findc()->setText("もりし");
    f.field(6)->setText("03-1111-2222");
    f.field(9)->setText("mori@example.jp");
    f.button("Command6")->click();
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.folder.value("select TEL from 顧客 where 顧客ID=" + id), QStringLiteral("03-1111-2222"));
    QCOMPARE(f.folder.value("select Email from 顧客 where 顧客ID=" + id), QStringLiteral("mori@example.jp"));
    // A NULL column shown as "-" is stored as "-" by the change.
    QCOMPARE(f.folder.value("select 都道府県 from 顧客 where 顧客ID=" + id), QStringLiteral("-"));
    QCOMPARE(f.folder.value("select TEL from 顧客 where 顧客名='森田工業'"), QStringLiteral("-"));
}

void TestMainWindow::update_of_a_customer_changed_elsewhere_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("はい overwrites") << true;
    QTest::newRow("いいえ shows the stored row") << false;
}

// Another PC saved the shown customer: 変更 asks, and the answer decides what is stored and shown.
void TestMainWindow::update_of_a_customer_changed_elsewhere() {
    QFETCH(bool, answer);
    Fixture f;
    const QString id = f.folder.add_customer("森商店", "もりしょうてん");
    f.window.show();
    f.findc()->setText("もりし");
    Database other;
    other.open_sqlite_file(f.folder.database_path(), false);
    other.execute_sql("update 顧客 set TEL='06-9999-0000' where 顧客ID=" + id);
    f.field(6)->setText("03-1111-2222");
    f.prompter.answers = {answer};
    f.button("Command6")->click();
    QCOMPARE(f.prompter.questions, QStringList{"表示した後に他の担当者が変更しています。上書きしますか？"});
    const QString stored = answer ? "03-1111-2222" : "06-9999-0000";
    QCOMPARE(f.folder.value("select TEL from 顧客 where 顧客ID=" + id), stored);
    QCOMPARE(f.field(6)->text(), stored);
}

void TestMainWindow::update_after_cancel_is_refused() {
    Fixture f;
    const QString id = f.folder.add_customer("森商店", "もりしょうてん");
    f.window.show();
    f.findc()->setText("もり");
    f.button("Command1")->click();
    f.button("Command2")->click();
    QCOMPARE(f.window.findChild<QGroupBox*>("Frame2")->palette().color(QPalette::Window),
             QColor(255, 255, 255));
    QVERIFY(f.button("Command6")->isVisible());
    QVERIFY(!f.button("delete_cust")->isVisible());
    f.button("Command6")->click();
    QCOMPARE(f.prompter.messages, QStringList{"顧客を選択してください"});
    QCOMPARE(f.folder.value("select 顧客名 from 顧客 where 顧客ID=" + id), QStringLiteral("森商店"));
}

void TestMainWindow::delete_question_no_keeps_customer_but_hides_button() {
    Fixture f;
    f.folder.add_customer("森商店", "もりしょうてん");
    f.window.show();
    f.findc()->setText("もり");
    f.prompter.answers = {false};
    f.button("delete_cust")->click();
    QCOMPARE(f.prompter.questions, QStringList{"本当に削除しますか"});
    QCOMPARE(f.folder.count("顧客"), 1);
    QVERIFY(!f.button("delete_cust")->isVisible());
    QCOMPARE(f.listed().size(), 1);
}

// After its delete the window forgets the customer, as before any search: nothing may act for it.
void TestMainWindow::delete_question_yes_deletes_and_clears() {
    Fixture f;
    const QString id = f.folder.add_customer("森商店", "もりしょうてん");
    f.folder.add_customer("守屋工業", "もりやこうぎょう");
    f.folder.exec("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(" + id +
                  ",'a','2026/01/05','x','y')");
    f.window.show();
    f.findc()->setText("もりし");
    f.prompter.answers = {true};
    f.button("delete_cust")->click();
    QCOMPARE(f.folder.count("顧客"), 1);
    QCOMPARE(f.folder.count("訪問"), 1);  // activity rows outlive their customer
    QVERIFY(!f.button("delete_cust")->isVisible());
    QCOMPARE(f.listed().size(), 0);
    QCOMPARE(f.findc()->text(), QString());
    QCOMPARE(f.field(0)->text(), QString());
    QVERIFY(f.folder.session().current_customer_id.isEmpty());
    QVERIFY(!f.button("Command6")->isVisible() && !f.window.findChild<QLabel*>("Label4_0")->isVisible());
}

void TestMainWindow::delete_without_shown_customer_is_refused_data() {
    QTest::addColumn<QString>("mode_button");
    QTest::newRow("new entry") << "Command1";
    QTest::newRow("after cancel") << "Command2";
}

void TestMainWindow::delete_without_shown_customer_is_refused() {
    QFETCH(QString, mode_button);
    Fixture f;
    f.folder.add_customer("森商店", "もりしょうてん");
    f.folder.add_customer("守屋工業", "もりやこうぎょう");
    f.window.show();
    f.findc()->setText("もり");
    f.click_row(0);
    f.button("Command1")->click();
    if (mode_button == QLatin1String("Command2"))
        f.button("Command2")->click();
    f.prompter.answers = {true};
    f.button("delete_cust")->click();
    QCOMPARE(f.prompter.messages, QStringList{"顧客を選択してください"});
    QVERIFY(f.prompter.questions.isEmpty());
    QCOMPARE(f.folder.count("顧客"), 2);
    QCOMPARE(f.listed().size(), 2);
    QCOMPARE(f.findc()->text(), QStringLiteral("もり"));
}

void TestMainWindow::name_with_line_break_takes_one_line() {
    Fixture f;
    f.folder.add_customer("森\n商店", "もりしょうてん");
    f.folder.add_customer("森山", "もりやま");
    f.window.show();
    f.findc()->setText("もり");
    QCOMPARE(f.listed(), (QStringList{"森 商店", "森山"}));
    QCOMPARE(f.list()->visualRect(f.list()->model()->index(0, 0)).height(),
             f.list()->visualRect(f.list()->model()->index(1, 0)).height());
    // The stored name is untouched: the fields show it as it is.
    f.click_row(0);
    QCOMPARE(f.field(0)->text(), QStringLiteral("森\n商店"));
}

void TestMainWindow::menu_is_complete_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    const struct {
        const char* name;
        const char* caption;
        bool enabled;
    } items[] = {
        {"import", "読み込み(顧客)", true},
        {"import_goods", "読み込み（商品）", true},
        {"export", "書き出し", true},
        {"change_DB", "データベースファイルの切り替え", true},
        {"backup", "バックアップ", true},
        {"print", "印刷…", true},
        {"checkout", "持ち出し…", true},
        {"sync", "同期", true},
        {"del_data", "データ消去", true},
        {"deleted_rows", "削除済みデータ", true},
        {"fend", "終了", true},
        {"edit_person", "社員", true},
        {"edit_goods", "商品", true},
        {"edit_company", "会社情報", true},
        {"merge_customers", "顧客の統合", true},
        {"after_order", "受注後対応", true},
        {"repeat_time", "商品切れ時期勧誘", false},
        {"P_visit", "定期訪問", false},
        {"p_sale", "定期セール", false},
        {"new_goods_sale", "新製品キャンペーン", true},
        {"good_sale", "優良顧客向け優待セール", false},
        {"abc_cust", "ABC分析　顧客", true},
        {"abc_goods", "ABC分析　商品", true},
        {"rmf", "RFM", true},
        {"clustering", "クラスター", true},
        {"order2visit", "受注金額と訪問回数", true},
        {"p_sale_a", "定期セール効果", false},
        {"new_goods_a", "新製品キャンペーン効果", false},
        {"repeat_a", "リピート客勧誘", false},
        {"order_rank", "顧客別売り上げランク", true},
        {"goods_rank", "商品別売り上げランク", true},
        {"goods_sales", "商品売り上げ推移", false},
        {"person_sales", "個人売り上げ推移", false},
        {"receive_mail", "問い合わせメール受信", true},
        {"unread_mail_list", "未処理問い合わせ一覧", true},
        {"mail_template_edit", "メール本文テンプレート編集と同報メール送信", true},
        {"helphtml", "ヘルプ", true},
        {"version", "バージョン", true},
    };
    for (const auto& i : items)
        QTest::newRow(i.name) << QString::fromLatin1(i.name) << QString::fromUtf8(i.caption) << i.enabled;
}

void TestMainWindow::menu_is_complete() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    Fixture f;
    install_export_print(ScreenContext{f.folder.session(), f.prompter, f.window});
    auto* action = f.window.findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    // The caption, followed by its access key as Japanese menus write it: 終了(&X); every item has one.
    static const QRegularExpression access_key(QStringLiteral("^(.*?)(\\(&[A-Z]\\))$"));
    QCOMPARE(access_key.match(action->text()).captured(1), caption);
    // Its menu opens with Alt and a letter: ファイル(&F).
    auto* menu = qobject_cast<QMenu*>(action->parent());
    QVERIFY(menu);
    QVERIFY2(!access_key.match(menu->menuAction()->text()).captured(2).isEmpty(), qPrintable(menu->title()));
    QCOMPARE(action->isEnabled(), enabled);
}

void TestMainWindow::help_opens_the_program_folder_page() {
    Fixture f;
    f.window.findChild<QAction*>("helphtml")->trigger();
    QCOMPARE(f.prompter.messages.size(), 1);  // no help page in this folder yet
    QVERIFY(f.prompter.opened.isEmpty());
    QDir(f.folder.path()).mkpath("help");
    QFile page(QDir(f.folder.path()).filePath("help/index.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html></html>");
    page.close();
    f.window.findChild<QAction*>("helphtml")->trigger();
    // Shown in the program's own help window, not handed to a browser.
    QVERIFY(f.prompter.opened.isEmpty());
    HelpWindow* help = f.window.help()->window();
    QVERIFY(help && help->isVisible());
    QTextBrowser* browser = help->browser();
    QCOMPARE(browser->source().toLocalFile(), QFileInfo(page).absoluteFilePath());
}

void TestMainWindow::version_dialog_texts() {
    Fixture f;
    f.window.findChild<QAction*>("version")->trigger();
    auto* dialog = f.window.findChild<QWidget*>("versionfrm");
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("バージョン情報"));
    QStringList texts;
    for (auto* l : dialog->findChildren<QLabel*>())
        texts << l->text();
    const QString all = texts.join('\n');
    for (const char* expected : {"営業手帳 for Wodows", "V0.92", "スタンドアローン版", "example.com"})
        QVERIFY2(all.contains(QString::fromUtf8(expected)), expected);
    QVERIFY2(all.contains(QSysInfo::prettyProductName()), qPrintable(all));
    auto* home = dialog->findChild<QLabel*>("Label4");
    emit home->linkActivated(QStringLiteral("https://eigyo-techo.example.com/"));
    QCOMPARE(f.prompter.opened.size(), 1);
    dialog->findChild<QPushButton*>("Command1")->click();
    QVERIFY(!dialog->isVisible());
}

void TestMainWindow::new_entry_refuses_customer_actions_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("mode_button");
    QTest::newRow("受注登録 in new entry") << "Label4_0"
                                           << "Command1";
    QTest::newRow("メール送信 in new entry") << "mail_one"
                                             << "Command1";
    QTest::newRow("受注登録 after cancel") << "Label4_0"
                                           << "Command2";
}

// While a new customer is entered (or after cancelling it) no action may act for the customer shown
// before: the entry links and メール送信 refuse, and that customer's chart is gone.
void TestMainWindow::new_entry_refuses_customer_actions() {
    QFETCH(QString, control);
    QFETCH(QString, mode_button);
    Fixture f;
    f.folder.add_customer("森商店", "もりしょうてん");
    QStringList opened;
    f.window.set_entry_opener([&](int link) { opened << QStringLiteral("link%1").arg(link); });
    f.window.set_action(QStringLiteral("mail_one"), [&] { opened << QStringLiteral("mail"); });
    f.window.show();
    auto press = [&] {
        if (auto* b = f.button(qPrintable(control)))
            b->click();
        else
            QTest::mouseClick(f.window.findChild<QLabel*>(control), Qt::LeftButton);
    };
    f.findc()->setText("もり");
    QVERIFY(f.window.chart()->has_chart());
    press();
    QCOMPARE(opened.size(), 1);  // with a customer shown, the control acts
    f.button("Command1")->click();
    if (mode_button == QLatin1String("Command2"))
        f.button("Command2")->click();
    press();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(f.prompter.messages, QStringList{"顧客を選択してください"});
    QVERIFY(!f.window.chart()->has_chart());
    QVERIFY(f.folder.session().current_customer_id.isEmpty());
}

void TestMainWindow::small_faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("new-entry colour stays when a customer is chosen") << "colour";
    QTest::newRow("arrow keys and Enter do not show the customer") << "keys";
    QTest::newRow("検索 keeps its text beside a kana search's list") << "kana";
}

void TestMainWindow::small_faults() {
    QFETCH(QString, fault);
    Fixture f;
    f.folder.add_customer("森商店", "もりしょうてん");
    f.folder.add_customer("森田工業", "もりたこうぎょう");
    f.window.show();
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    if (fault == QLatin1String("colour")) {
        f.button("Command1")->click();
        f.findc()->setText("もりし");
        QCOMPARE(f.window.findChild<QGroupBox*>("Frame2")->palette().color(QPalette::Window),
                 QColor(Qt::white));
    } else if (fault == QLatin1String("keys")) {
        f.findc()->setText("もり");
        f.list()->setFocus();  // entering the list makes its first row current
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.field(0)->text(), QStringLiteral("森田工業"));
        f.button("Command1")->click();
        QTest::keyClick(f.list(), Qt::Key_Return);
        QCOMPARE(f.field(0)->text(), QStringLiteral("森田工業"));
    } else {
        auto* findp = f.window.findChild<QLineEdit*>("findp");
        findp->setText("森田");
        f.findc()->setText("もり");
        QCOMPARE(findp->text(), QString());
    }
}

void TestMainWindow::window_follows_merge_and_restore_data() {
    QTest::addColumn<QString>("step");
    QTest::newRow("merge with the kept customer shown") << "merge kept";
    QTest::newRow("merge with the other customer shown") << "merge other";
    QTest::newRow("undo of the merge") << "undo";
}

// After a merge or its undo the window shows what is stored: the kept customer with the fields the
// merge filled, no merged-away customer, the restored one back in the list; 変更 then asks nothing
// about the user's own merge.
void TestMainWindow::window_follows_merge_and_restore() {
    QFETCH(QString, step);
    Fixture f;
    install_master_screens(ScreenContext{f.folder.session(), f.prompter, f.window});
    const QString kept = f.folder.add_customer("森商店", "もりしょうてん");
    const QString other = f.folder.add_customer("森商店（旧）", "もりしょうてんきゅう");
    f.folder.exec("update 顧客 set TEL='03-1111-2222' where 顧客ID=" + other);
    f.window.show();
    const bool from_kept = step == QLatin1String("merge kept") || step == QLatin1String("undo");
    f.findc()->setText(from_kept ? "もりしょうてん" : "もりしょうてんき");
    f.click_row(0);
    auto menu = [&](const char* name) {
        f.window.findChild<QAction*>(name)->trigger();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name) && w->isVisible())
                return w;
        return static_cast<QWidget*>(nullptr);
    };
    // 削除済みデータ left open (and empty) lists the merge when chosen again.
    QWidget* restore = menu("deleted_rows");
    QWidget* merge = menu("merge_customers");
    merge->findChild<QLineEdit*>("findA")->setText("もりしょうてん");
    merge->findChild<QListWidget*>("ListA")->setCurrentRow(0);  // the kept customer, added first
    merge->findChild<QLineEdit*>("findB")->setText("もりしょうてんき");
    f.prompter.answers = {true};
    merge->findChild<QPushButton*>("mergeB")->click();
    QCOMPARE(f.listed(), from_kept ? QStringList{"森商店"} : QStringList());
    QCOMPARE(f.folder.session().current_customer_id, from_kept ? kept : QString());
    if (step == QLatin1String("undo")) {
        menu("deleted_rows")->findChild<QTableWidget*>("List1")->setCurrentCell(0, 0);
        restore->findChild<QPushButton*>("restoreB")->click();
        QCOMPARE(f.listed(), (QStringList{"森商店", "森商店（旧）"}));
        QCOMPARE(f.field(6)->text(), QStringLiteral("-"));
        QTest::keyClick(restore->findChild<QTableWidget*>("List1"), Qt::Key_Escape);
        QVERIFY(!restore->isVisible());
    }
    if (step != QLatin1String("merge kept"))
        return;
    f.prompter.clear();
    f.button("Command6")->click();
    QVERIFY2(f.prompter.questions.isEmpty(), qPrintable(f.prompter.questions.join(u'/')));
    QCOMPARE(f.folder.value("select TEL from 顧客 where 顧客ID=" + kept), QStringLiteral("03-1111-2222"));
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
