// Keeping the customer register clean: the duplicate question on save and in the import check, the
// merge of two customers and its undo, and the restore of deleted rows.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "app/startup.h"
#include "customers/customer_copies.h"
#include "customers/duplicates.h"
#include "db/deleted_rows.h"
#include "db/deleted_rows_schema.h"
#include "db/schema_upgrade.h"
#include "masters/master_records.h"
#include "restore_checks.h"
#include "test_folder.h"
#include "ui/customers/deleted_rows_screen.h"
#include "ui/customers/main_window.h"
#include "ui/masters/import_csv.h"

class TestRegisterCleanup : public QObject {
    Q_OBJECT
private slots:
    void fold_for_match_data();
    void fold_for_match();
    void duplicate_question_on_save_data();
    void duplicate_question_on_save();
    void import_check_lists_duplicates_data();
    void import_check_lists_duplicates();
    void merge_moves_every_row_and_undo();
    void restore_with_taken_key_data();
    void restore_with_taken_key();
    void merge_line_names_data() { restore_checks::add_merge_line_name_rows(); }
    void merge_line_names();
    void restore_gives_back_exact_value_data() { restore_checks::add_exact_value_rows(); }
    void restore_gives_back_exact_value();
    void restore_with_taken_name();
    void restore_text_key_data() { restore_checks::add_text_key_rows(); }
    void restore_text_key();
    void restore_screen_lists_newest_first();
    void old_rows_are_purged_on_start_data();
    void old_rows_are_purged_on_start();
    void older_database_gets_the_table_on_open();
    void sql_server_restores_with_identity_insert();
};

void TestRegisterCleanup::fold_for_match_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("match");
    QTest::newRow("half-width katakana") << "ﾔﾏﾀﾞ商事"
                                         << "やまだ商事" << true;
    QTest::newRow("katakana") << "ヤマダ商事"
                              << "やまだ商事" << true;
    QTest::newRow("full-width latin, case") << "ＡＢＣ物産"
                                            << "abc物産" << true;
    QTest::newRow("full-width digits") << "第１工業"
                                       << "第1工業" << true;
    QTest::newRow("voiced mark typed apart") << "か゛ん"
                                             << "がん" << true;
    QTest::newRow("blanks") << "山田　商事 "
                            << "山田商事" << true;
    QTest::newRow("other kanji") << "山田商会"
                                 << "山田商事" << false;
    QTest::newRow("voiced differs") << "かん"
                                    << "がん" << false;
}

void TestRegisterCleanup::fold_for_match() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, match);
    QCOMPARE(::fold_for_match(typed) == ::fold_for_match(stored), match);
}

void TestRegisterCleanup::duplicate_question_on_save_data() {
    QTest::addColumn<QString>("button");  // Command3, Command4 (new) or Command6 (change of 小林商店)
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");  // empty: none asked
    QTest::addColumn<int>("customers");     // afterwards (two at the start)
    QTest::newRow("phone digits, yes")
        << "Command3" << QStringList{"ヤマダ", "やまだ", "", "", "", "", "０３(1234)5678"} << true
        << "同じ電話番号の顧客がすでに登録されています（山田商事）。登録しますか？" << 3;
    QTest::newRow("phone digits, no")
        << "Command4" << QStringList{"山田工業", "やまだこうぎょう", "", "", "", "", "", "", "03 1234 5678"}
        << false << "同じ電話番号の顧客がすでに登録されています（山田商事）。登録しますか？" << 2;
    QTest::newRow("folded name") << "Command4" << QStringList{"山田　商事", "やまだしょうじ"} << false
                                 << "同じ顧客名の顧客がすでに登録されています（山田商事）。登録しますか？"
                                 << 2;
    QTest::newRow("mail, letter case")
        << "Command3" << QStringList{"別会社", "べつ", "", "", "", "", "", "", "", "Info@Yamada.JP"} << false
        << "同じメールアドレスの顧客がすでに登録されています（山田商事）。登録しますか？" << 2;
    QTest::newRow("nothing shared") << "Command4"
                                    << QStringList{"佐藤商店", "さとう", "", "", "", "", "06-1111-2222"}
                                    << false << "" << 3;
    QTest::newRow("change to another's phone")
        << "Command6" << QStringList{"小林商店", "こばやし", "", "", "", "", "03-1234-5678"} << false
        << "同じ電話番号の顧客がすでに登録されています（山田商事）。登録しますか？" << 2;
    QTest::newRow("change keeping its own values")
        << "Command6" << QStringList{"小林商店", "こばやし", "", "", "", "", "045-111-2222"} << false << ""
        << 2;
}

void TestRegisterCleanup::duplicate_question_on_save() {
    QFETCH(QString, button);
    QFETCH(QStringList, fields);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(int, customers);
    TestFolder folder;
    folder.exec(
        "insert into 顧客 (顧客名,顧客名かな,TEL,Email) "
        "values('山田商事','やまだしょうじ','03-1234-5678','info@yamada.jp')");
    folder.exec("insert into 顧客 (顧客名,顧客名かな,TEL) values('小林商店','こばやし','045-111-2222')");
    repair_customer_copies(folder.db());  // the copies, as the next start makes them
    QueuedPrompter prompter;
    prompter.answers << answer;
    MainWindow window(folder.session(), prompter);
    window.show();
    if (button == "Command6")
        window.findChild<QLineEdit*>("findc")->setText("こば");
    else
        window.findChild<QPushButton*>("Command1")->click();
    for (int i = 0; i < 18; ++i)
        window.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i))->setText(fields.value(i));
    window.findChild<QPushButton*>(button)->click();
    QCOMPARE(prompter.questions, question.isEmpty() ? QStringList{} : QStringList{question});
    QCOMPARE(folder.count("顧客"), customers);
    // A change answered no leaves the stored phone as it was.
    if (button == "Command6")
        QCOMPARE(folder.value("select TEL from 顧客 where 顧客名='小林商店'"),
                 answer || question.isEmpty() ? fields.at(6) : QStringLiteral("045-111-2222"));
}

void TestRegisterCleanup::import_check_lists_duplicates_data() {
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QStringList>("stored");  // 顧客名 afterwards, by key
    QTest::newRow("skip them") << true << QStringList{"山田商事", "佐藤商店"};
    QTest::newRow("import all") << false
                                << QStringList{"山田商事", "ﾔﾏﾀﾞｼｮｳｼﾞ", "佐藤商店", "佐藤商店（支店）"};
}

void TestRegisterCleanup::import_check_lists_duplicates() {
    QFETCH(bool, skip);
    QFETCH(QStringList, stored);
    TestFolder folder;
    folder.exec(
        "insert into 顧客 (顧客名,顧客名かな,TEL) values('山田商事','やまだしょうじ','03-1234-5678')");
    const QString path = QDir(folder.path()).filePath("in.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Record 1 shares the phone of a stored customer, record 3 the mail of record 2.
    file.write(
        "ﾔﾏﾀﾞｼｮｳｼﾞ,やまだ,東京都,100,0001,千代田,0312345678,,,y@example.jp,,,\r\n"
        "佐藤商店,さとう,大阪府,530,0001,北区,06-1111-2222,,,sato@example.jp,,,\r\n"
        "佐藤商店（支店）,さとう,大阪府,530,0002,中央区,06-9999-0000,,,SATO@example.jp,,,\r\n");
    file.close();
    QueuedPrompter prompter;
    prompter.files << path;
    prompter.answers << skip;
    import_customers_from_menu(folder.session(), prompter, nullptr);
    QCOMPARE(prompter.questions.size(), 1);
    QVERIFY2(
        prompter.questions.first().contains("1 件目 ﾔﾏﾀﾞｼｮｳｼﾞ：登録済みの顧客（山田商事）と電話番号が同じ"),
        qPrintable(prompter.questions.first()));
    QVERIFY(prompter.questions.first().contains(
        "3 件目 佐藤商店（支店）：ファイルの 2 件目（佐藤商店）とメールアドレスが同じ"));
    QStringList names;
    const ResultTable rows = folder.rows("select 顧客名 from 顧客 order by 顧客ID", 1);
    for (int r = 1; r <= rows.row_count(); ++r)
        names << rows(0, r);
    QCOMPARE(names, stored);
    QCOMPARE(prompter.last().startsWith(QStringLiteral(" 顧客を %1 読み込みました").arg(stored.size() - 1)),
             true);
}

void TestRegisterCleanup::merge_moves_every_row_and_undo() {
    TestFolder folder;
    restore_checks::check_merge_and_undo(folder.db());
}

void TestRegisterCleanup::restore_with_taken_key_data() {
    restore_checks::add_taken_key_rows();
}

void TestRegisterCleanup::restore_with_taken_key() {
    QFETCH(QString, kind);
    TestFolder folder;
    restore_checks::check_restore_with_taken_key(folder.db(), kind);
}

void TestRegisterCleanup::merge_line_names() {
    QFETCH(QString, kept);
    QFETCH(QString, other);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, merged);
    QFETCH(QStringList, undone);
    TestFolder folder;
    restore_checks::check_merge_line_names(folder.db(), kept, other, lines, merged, undone);
}

void TestRegisterCleanup::restore_gives_back_exact_value() {
    QFETCH(QString, value);
    TestFolder folder;
    restore_checks::check_restore_gives_back_exact_value(folder.db(), value);
}

// An employee whose name another took meanwhile is not restored, with the reason; once free, it is.
void TestRegisterCleanup::restore_with_taken_name() {
    TestFolder folder;
    const QStringList fields{"山田", "やまだ", "y@example.jp", "営業"};
    QCOMPARE(insert_master(folder.db(), MasterKind::Employees, fields), QString());
    const QString first = folder.value("select max(社員ID) from 社員");
    delete_master(folder.db(), MasterKind::Employees, first, "佐藤");
    QCOMPARE(insert_master(folder.db(), MasterKind::Employees, fields), QString());
    const QString second = folder.value("select max(社員ID) from 社員");
    const QString refused = restore_deleted_rows(folder.db(), list_deleted_rows(folder.db()).value(0).id);
    QVERIFY2(refused.startsWith("元に戻せません。") && refused.contains("「山田」") &&
                 refused.contains("すでに別のデータ") && refused.contains(second),
             qPrintable(refused));
    QCOMPARE(folder.value("select count(*) from 社員 where 社員='山田'"), QStringLiteral("1"));
    folder.exec("update 社員 set 社員='山田二郎' where 社員ID=" + second);
    QCOMPARE(restore_deleted_rows(folder.db(), list_deleted_rows(folder.db()).value(0).id), QString());
    QCOMPARE(folder.value("select 社員ID from 社員 where 社員='山田'"), first);
}

void TestRegisterCleanup::restore_text_key() {
    QFETCH(QString, title);
    QFETCH(QString, other);
    QFETCH(bool, kept_before_kind);
    QFETCH(bool, restored);
    TestFolder folder;
    restore_checks::check_restore_text_key(folder.db(), title, other, kept_before_kind, restored);
}

void TestRegisterCleanup::restore_screen_lists_newest_first() {
    TestFolder folder;
    const QString a = folder.add_customer("青木商店", "あおき");
    const QString b = folder.add_customer("馬場工業", "ばば");
    QueuedPrompter prompter;
    prompter.answers << true;
    MainWindow window(folder.session(), prompter);
    folder.session().current_employee = "佐藤";
    window.findChild<QLineEdit*>("findc")->setText("あお");
    window.findChild<QPushButton*>("delete_cust")->click();
    folder.exec("update 削除済みデータ set 削除日時='2026/12/01 09:00:00'");
    delete_customer(folder.db(), b, "鈴木");
    DeletedRowsScreen screen(folder.session(), prompter);
    screen.show();
    auto* list = screen.findChild<QTableWidget*>("List1");
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->item(0, 4)->text(), QStringLiteral("馬場工業"));
    QCOMPARE(list->item(1, 4)->text(), QStringLiteral("青木商店"));
    QCOMPARE(list->item(1, 5)->text(), QStringLiteral("佐藤"));
    list->setCurrentCell(1, 0);
    screen.findChild<QPushButton*>("restoreB")->click();
    QCOMPARE(prompter.last(), QStringLiteral("元に戻しました：青木商店（顧客 %1）").arg(a));
    QCOMPARE(folder.value("select 顧客名 from 顧客 where 顧客ID=" + a), QStringLiteral("青木商店"));
    QCOMPARE(list->rowCount(), 1);
}

// Rows kept 200, 95, 20 and 0 days ago: a start purges by the real clock, whatever day the session's
// clock is fixed to (sales-cli --as-of); a read-only start or command purges nothing.
void TestRegisterCleanup::old_rows_are_purged_on_start_data() {
    QTest::addColumn<QDate>("session_today");
    QTest::addColumn<QString>("start");  // work, read-only, or a sales-cli report
    QTest::addColumn<int>("days");       // -1: not set
    QTest::addColumn<QVector<int>>("left");
    const QDate today = QDate::currentDate();
    QTest::newRow("90 days unless set") << today << "work" << -1 << QVector<int>{20, 0};
    QTest::newRow("session clock years ahead") << QDate(2099, 12, 31) << "work" << -1 << QVector<int>{20, 0};
    QTest::newRow("session clock years back") << QDate(2001, 1, 1) << "work" << 10 << QVector<int>{0};
    QTest::newRow("read-only start") << today << "read-only" << 0 << QVector<int>{200, 95, 20, 0};
    QTest::newRow("sales-cli --as-of 2099/12/31 report rfm")
        << QDate(2099, 12, 31) << "report" << 10 << QVector<int>{200, 95, 20, 0};
}

void TestRegisterCleanup::old_rows_are_purged_on_start() {
    QFETCH(QDate, session_today);
    QFETCH(QString, start);
    QFETCH(int, days);
    QFETCH(QVector<int>, left);
    TestFolder folder(session_today);
    const QDateTime now = QDateTime::currentDateTime();
    for (int ago : {200, 95, 20, 0})
        folder.exec(
            QStringLiteral("insert into 削除済みデータ (種類,テーブル名,キー列,キー,内容,削除日時,社員) "
                           "values('削除','顧客','顧客ID','%1','{}','%2','')")
                .arg(ago)
                .arg(now.addDays(-ago).toString("yyyy/MM/dd hh:mm:ss")));
    if (days >= 0)
        set_deleted_rows_keep_days(folder.db(), days);
    if (start == "report") {
        folder.db().close();
        QProcess cli;
        cli.setWorkingDirectory(folder.path());
        cli.start(qEnvironmentVariable("SALES_CLI"),
                  {"--as-of", session_today.toString("yyyy/MM/dd"), "report", "rfm"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        folder.db().open_sqlite_file(folder.database_path(), false);
    } else {
        load_startup_data(folder.session(), start == "work" ? StartPurpose::Work : StartPurpose::ReadOnly);
    }
    QVector<int> kept;
    const ResultTable rows = folder.rows("select キー from 削除済みデータ order by 削除日時", 1);
    for (int r = 1; r <= rows.row_count(); ++r)
        kept << rows(0, r).toInt();
    QCOMPARE(kept, left);
}

void TestRegisterCleanup::older_database_gets_the_table_on_open() {
    TestFolder folder;
    folder.exec("drop table 削除済みデータ");
    folder.exec("drop table プログラム設定");
    folder.exec("update sales_schema set version=1");  // as made before the deleted-rows step
    const QString id = folder.add_customer("古川商店", "ふるかわ");
    folder.reload();
    folder.reload();  // a second opening finds the tables and leaves them
    delete_customer(folder.db(), id, "佐藤");
    QCOMPARE(list_deleted_rows(folder.db()).size(), 1);
    QCOMPARE(deleted_rows_keep_days(folder.db()), 90);
}

void TestRegisterCleanup::sql_server_restores_with_identity_insert() {
    const QString insert = "insert into [顧客] ([顧客ID],[顧客名]) values(5,'山田')";
    QCOMPARE(explicit_key_insert("顧客", insert, Dialect::Sqlite), QStringList{insert});
    QCOMPARE(explicit_key_insert("顧客", insert, Dialect::MySql), QStringList{insert});
    QStringList sent;
    for (const QString& s : explicit_key_insert("顧客", insert, Dialect::SqlServer))
        sent << translate_statement(s, Dialect::SqlServer);
    QCOMPARE(sent, (QStringList{"set identity_insert [顧客] on",
                                "insert into [顧客] ([顧客ID],[顧客名]) values(5,N'山田')",
                                "set identity_insert [顧客] off"}));
}

QTEST_MAIN(TestRegisterCleanup)
#include "test_register_cleanup.moc"
