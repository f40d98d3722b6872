#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "mail/send_mail.h"
#include "masters/company_settings.h"
#include "masters/old_data.h"
#include "records/check.h"
#include "test_folder.h"
#include "ui/masters/company_screen.h"
#include "ui/masters/deldata_screen.h"
#include "ui/masters/goods_screen.h"
#include "ui/masters/person_screen.h"

namespace {

const QStringList kButtons{"newB", "saveB", "updateB", "deleteB", "cancelB"};

QStringList visible_buttons(QWidget* screen) {
    QStringList shown;
    for (const QString& name : kButtons) {
        auto* b = screen->findChild<QPushButton*>(name);
        if (b && b->isVisibleTo(screen))
            shown << name;
    }
    return shown;
}

QStringList list_texts(QWidget* screen) {
    QStringList texts;
    auto* list = screen->findChild<QListWidget*>(QStringLiteral("List1"));
    for (int i = 0; list && i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QLineEdit* box(QWidget* screen, int i) {
    return screen->findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i));
}

QStringList box_texts(QWidget* screen) {
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << box(screen, i)->text();
    return texts;
}

// Runs one event of the pattern: "choose:NAME", "fill:a|b|c|d", or a button's name.
void run_event(QWidget* screen, const QString& event) {
    if (event.startsWith(QLatin1String("choose:"))) {
        auto* list = screen->findChild<QListWidget*>(QStringLiteral("List1"));
        const QList<QListWidgetItem*> found = list->findItems(event.mid(7), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    } else if (event.startsWith(QLatin1String("fill:"))) {
        const QStringList values = event.mid(5).split(QLatin1Char('|'));
        for (int i = 0; i < 4; ++i)
            box(screen, i)->setText(values.value(i));
    } else {
        auto* b = screen->findChild<QPushButton*>(event);
        QVERIFY2(b && b->isVisible(), qPrintable(event));
        b->click();
    }
}

}  // namespace

class TestMasters : public QObject {
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void goods_insert_writes_numbers();
    void enter_moves_to_next_box_data();
    void enter_moves_to_next_box();
    void company_screen_data();
    void company_screen();
    void company_row_made_when_missing();
    void company_screen_shows_what_is_stored();
    void proposed_cutoff_data();
    void proposed_cutoff();
    void delete_old_data_keeps_cutoff_day();
    void delete_old_data_all_or_nothing();
    void deldata_screen_data();
    void deldata_screen();
    void cli_adds_an_employee_data();
    void cli_adds_an_employee();
};

// The master pattern's button states, list, boxes and message after a sequence of events.
void TestMasters::pattern_data() {
    QTest::addColumn<bool>("goods");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("label4");

    const QStringList people{"佐藤", "鈴木"};
    const QStringList empty{"", "", "", ""};
    QTest::newRow("opening") << false << QStringList{} << QStringList{"newB", "cancelB"} << people << empty
                             << QString();
    QTest::newRow("choosing a name") << false << QStringList{"choose:鈴木"}
                                     << QStringList{"updateB", "deleteB", "cancelB"} << people
                                     << QStringList{"鈴木", "すずき", "suzuki@example.jp", "営業部"}
                                     << QString();
    QTest::newRow("new") << false << QStringList{"newB"} << QStringList{"saveB", "cancelB"} << people << empty
                         << QString();
    QTest::newRow("save without kana")
        << false << QStringList{"newB", "fill:高橋||||", "saveB"} << QStringList{"saveB", "cancelB"} << people
        << QStringList{"高橋", "", "", ""} << QStringLiteral("必要な情報を入力してください");
    QTest::newRow("save") << false << QStringList{"newB", "fill:高橋|たかはし|t@example.jp|総務部", "saveB"}
                          << QStringList{"newB", "cancelB"} << QStringList{"佐藤", "鈴木", "高橋"} << empty
                          << QString();
    QTest::newRow("update shows the new name at once")
        << false << QStringList{"choose:鈴木", "fill:鈴木一郎|すずきいちろう|s@example.jp|営業部", "updateB"}
        << QStringList{"newB", "cancelB"} << QStringList{"佐藤", "鈴木一郎"}
        << QStringList{"鈴木一郎", "すずきいちろう", "s@example.jp", "営業部"} << QString();
    QTest::newRow("delete after yes")
        << false << QStringList{"yes", "choose:佐藤", "deleteB"} << QStringList{"newB", "cancelB"}
        << QStringList{"鈴木"} << empty << QString();
    QTest::newRow("delete answered no keeps the record")
        << false << QStringList{"choose:佐藤", "deleteB"} << QStringList{"updateB", "deleteB", "cancelB"}
        << people << QStringList{"佐藤", "さとう", "", "営業部"} << QString();
    QTest::newRow("save of a name already there")
        << false << QStringList{"newB", "fill:鈴木|すずき||", "saveB"} << QStringList{"saveB", "cancelB"}
        << people << QStringList{"鈴木", "すずき", "", ""}
        << QStringLiteral("同じ氏名の社員が既に登録されています。別の氏名を入力してください: 鈴木");
    QTest::newRow("update to another employee's name")
        << false << QStringList{"choose:鈴木", "fill:佐藤|さとう||", "updateB"}
        << QStringList{"updateB", "deleteB", "cancelB"} << people << QStringList{"佐藤", "さとう", "", ""}
        << QStringLiteral("同じ氏名の社員が既に登録されています。別の氏名を入力してください: 佐藤");
    QTest::newRow("update keeping the own name")
        << false << QStringList{"choose:鈴木", "fill:鈴木|すずき|s@example.jp|総務部", "updateB"}
        << QStringList{"newB", "cancelB"} << people << QStringList{"鈴木", "すずき", "s@example.jp", "総務部"}
        << QString();
    QTest::newRow("goods of the same name are kept apart")
        << true << QStringList{"newB", "fill:1|事務用品|ボールペン|130", "saveB"}
        << QStringList{"newB", "cancelB"} << QStringList{"ボールペン", "ボールペン"} << empty << QString();
    QTest::newRow("goods save without category")
        << true << QStringList{"newB", "fill:1||鉛筆|80", "saveB"} << QStringList{"saveB", "cancelB"}
        << QStringList{"ボールペン"} << QStringList{"1", "", "鉛筆", "80"}
        << QStringLiteral("必要な情報を入力してください");
    QTest::newRow("goods price with a fraction")
        << true << QStringList{"newB", "fill:1|事務用品|鉛筆|80.5", "saveB"}
        << QStringList{"saveB", "cancelB"} << QStringList{"ボールペン"}
        << QStringList{"1", "事務用品", "鉛筆", "80.5"} << QStringLiteral("単価: 数値を入力してください");
    QTest::newRow("goods with an empty name is listed empty")
        << true << QStringList{"newB", "fill:2|家具||", "saveB"} << QStringList{"newB", "cancelB"}
        << QStringList{"ボールペン", ""} << empty << QString();
    QTest::newRow("goods choosing") << true << QStringList{"choose:ボールペン"}
                                    << QStringList{"updateB", "deleteB", "cancelB"}
                                    << QStringList{"ボールペン"}
                                    << QStringList{"1", "事務用品", "ボールペン", "120"} << QString();
}

void TestMasters::pattern() {
    QFETCH(bool, goods);
    QFETCH(QStringList, events);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, list);
    QFETCH(QStringList, boxes);
    QFETCH(QString, label4);
    TestFolder folder;
    folder.exec(
        QStringLiteral("insert into 社員 (社員,社員かな,email,部署) values('佐藤','さとう','','営業部')"));
    folder.exec(QStringLiteral(
        "insert into 社員 (社員,社員かな,email,部署) values('鈴木','すずき','suzuki@example.jp','営業部')"));
    folder.add_goods(QStringLiteral("ボールペン"), QStringLiteral("120"));
    QueuedPrompter prompter;
    std::unique_ptr<MasterScreen> screen(goods ? make_goods_screen(folder.session(), prompter)
                                               : make_person_screen(folder.session(), prompter));
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
    for (const QString& event : events) {
        if (event == QLatin1String("yes")) {
            prompter.answers << true;  // the answer to the next question
            continue;
        }
        run_event(screen.get(), event);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(visible_buttons(screen.get()), buttons);
    // The list keeps the order the database returns, which an index may decide.
    QStringList shown = list_texts(screen.get());
    shown.sort();
    list.sort();
    QCOMPARE(shown, list);
    QCOMPARE(box_texts(screen.get()), boxes);
    QCOMPARE(screen->findChild<QLabel*>(QStringLiteral("Label4"))->text(), label4);
    QVERIFY(prompter.messages.isEmpty());
    // 削除 asks first, every time.
    QCOMPARE(prompter.questions,
             QStringList(events.count(QStringLiteral("deleteB")), QStringLiteral("本当に削除しますか")));
}

// All four values are written, the numbers as numbers, whatever was typed around them.
void TestMasters::goods_insert_writes_numbers() {
    TestFolder folder;
    QueuedPrompter prompter;
    std::unique_ptr<MasterScreen> screen(make_goods_screen(folder.session(), prompter));
    screen->show();
    run_event(screen.get(), QStringLiteral("newB"));
    run_event(screen.get(), QStringLiteral("fill:３|文具|O'Brien の万年筆|1,500"));
    run_event(screen.get(), QStringLiteral("saveB"));
    const ResultTable rows = folder.rows(
        QStringLiteral("select 分類コード,typeof(分類コード),分類,商品名,単価,typeof(単価) from 商品"), 6);
    QCOMPARE(rows.row_count(), 1);
    const QStringList stored{rows(0, 1), rows(1, 1), rows(2, 1), rows(3, 1), rows(4, 1), rows(5, 1)};
    QCOMPARE(stored, (QStringList{"3", "integer", "文具", "O'Brien の万年筆", "1500", "integer"}));
    QCOMPARE(list_texts(screen.get()), QStringList{QStringLiteral("O'Brien の万年筆")});
}

void TestMasters::enter_moves_to_next_box_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<int>("last");
    QTest::newRow("personfrm") << QStringLiteral("personfrm") << 3;
    QTest::newRow("goods") << QStringLiteral("goods") << 3;
    QTest::newRow("company") << QStringLiteral("company") << 12;
}

void TestMasters::enter_moves_to_next_box() {
    QFETCH(QString, screen);
    QFETCH(int, last);
    TestFolder folder;
    QueuedPrompter prompter;
    std::unique_ptr<QWidget> w;
    if (screen == QLatin1String("company"))
        w.reset(new CompanyScreen(folder.session(), prompter));
    else if (screen == QLatin1String("goods"))
        w.reset(make_goods_screen(folder.session(), prompter));
    else
        w.reset(make_person_screen(folder.session(), prompter));
    QCOMPARE(w->objectName(), screen);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QVERIFY(!box(w.get(), last + 1));
    for (int i = 0; i <= last; ++i) {
        box(w.get(), i)->setFocus();
        QTest::keyClick(box(w.get(), i), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), box(w.get(), i == last ? 0 : i + 1));
    }
}

// The company screen shows the start-up values and saves the row, refusing what the database would.
void TestMasters::company_screen_data() {
    QTest::addColumn<QString>("stored_type");
    QTest::addColumn<int>("checked");  // the option selected on opening, -1 none
    QTest::addColumn<QString>("tax");
    QTest::addColumn<int>("choose");  // the option clicked before saving, -1 none
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("saved_type");
    QTest::newRow("project work opens selected, saves 1") << "1" << 1 << "8" << -1 << QString() << "1";
    QTest::newRow("goods trade switched to project work") << "0" << 0 << "10" << 1 << QString() << "1";
    QTest::newRow("project work switched to goods trade") << "1" << 1 << "10" << 0 << QString() << "0";
    QTest::newRow("empty tax refused")
        << "0" << 0 << "" << -1 << QStringLiteral("消費税: 数値を入力してください") << "0";
    QTest::newRow("no type selected refused")
        << "2" << -1 << "10" << -1 << QStringLiteral("業種タイプを選択してください") << "2";
}

void TestMasters::company_screen() {
    QFETCH(QString, stored_type);
    QFETCH(int, checked);
    QFETCH(QString, tax);
    QFETCH(int, choose);
    QFETCH(QString, message);
    QFETCH(QString, saved_type);
    TestFolder folder;
    folder.exec(
        QStringLiteral("update 自社情報 set 会社名='桑井商会', [smtp]='smtp.example.jp', 業種タイプ=") +
        stored_type);
    folder.reload();
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    QCOMPARE(box(&screen, 1)->text(), QStringLiteral("桑井商会"));
    QCOMPARE(box(&screen, 11)->text(), QStringLiteral("smtp.example.jp"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(screen.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(i))->isChecked(),
                 i == checked);
    box(&screen, 0)->setText(tax);
    box(&screen, 10)->setText(QStringLiteral("pa'ss"));
    if (choose >= 0)
        screen.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(choose))->click();
    screen.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    const ResultTable row =
        folder.rows(QStringLiteral("select 消費税,[password],業種タイプ from 自社情報"), 3);
    QCOMPARE(row.row_count(), 1);
    QCOMPARE(row(2, 1), saved_type);
    if (!message.isEmpty()) {
        QCOMPARE(prompter.messages, QStringList{message});
        QVERIFY(screen.isVisible());
        QCOMPARE(row(1, 1), QString());
        return;
    }
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("保存しました")});
    QVERIFY(!screen.isVisible());
    QCOMPARE(row(0, 1), tax);
    QCOMPARE(row(1, 1), QStringLiteral("pa'ss"));
}

void TestMasters::company_row_made_when_missing() {
    TestFolder folder;
    folder.exec(QStringLiteral("delete from 自社情報"));
    folder.reload();
    QVERIFY(folder.session().company_key.isEmpty());
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    box(&screen, 1)->setText(QStringLiteral("新会社"));
    screen.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("保存しました")});
    QCOMPARE(folder.count(QStringLiteral("自社情報")), 1);
    QCOMPARE(folder.value(QStringLiteral("select 会社名 from 自社情報")), QStringLiteral("新会社"));
    QCOMPARE(folder.value(QStringLiteral("select 消費税 from 自社情報")), QStringLiteral("10"));
}

// Reopening shows the row as stored (not a start-up copy), and a save is what mail runs with at once.
void TestMasters::company_screen_shows_what_is_stored() {
    TestFolder folder;
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    box(&screen, 11)->setText(QStringLiteral("smtp.new.example.jp"));
    screen.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("保存しました")});
    QCOMPARE(mail_account(folder.session()).smtp, QStringLiteral("smtp.new.example.jp"));
    folder.exec(QStringLiteral("update 自社情報 set 会社名='別の担当者が保存'"));
    screen.show();
    QCOMPARE(box(&screen, 11)->text(), QStringLiteral("smtp.new.example.jp"));
    QCOMPARE(box(&screen, 1)->text(), QStringLiteral("別の担当者が保存"));
    screen.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(folder.value(QStringLiteral("select 会社名 from 自社情報")), QStringLiteral("別の担当者が保存"));
    QCOMPARE(prompter.questions, QStringList());
}

void TestMasters::proposed_cutoff_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("confirmed");  // after check_date
    QTest::newRow("30 November") << QDate(2003, 11, 30) << "2002/11/30"
                                 << "2002/11/30";
    QTest::newRow("29 February") << QDate(2024, 2, 29) << "2023/02/29"
                                 << "2023/02/28";
    QTest::newRow("1 January") << QDate(2026, 1, 1) << "2025/01/01"
                               << "2025/01/01";
}

void TestMasters::proposed_cutoff() {
    QFETCH(QDate, today);
    QFETCH(QString, proposed);
    QFETCH(QString, confirmed);
    QString text = ::proposed_cutoff(today);
    QCOMPARE(text, proposed);
    QVERIFY(check_date(text, QString(), true, true, today));
    QCOMPARE(text, confirmed);
}

namespace {
// One row per activity table on each of the three days, plus an order with two lines.
void add_dated_rows(TestFolder& folder, const QStringList& days) {
    for (const QString& d : days) {
        const QString q = QLatin1Char('\'') + d + QLatin1Char('\'');
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(1,'佐藤',%1,'注文',1000,10,0)")
                        .arg(q));
        const QString order = folder.value(QStringLiteral("select max(受注ID) from 受注"));
        for (int line = 0; line < 2; ++line)
            folder.exec(QStringLiteral("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) "
                                       "values(%1,1,'山田',1,500,%2)")
                            .arg(order, q));
        folder.exec(
            QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(1,'佐藤',%1,'','')")
                .arg(q));
        folder.exec(
            QStringLiteral(
                "insert into 問い合わせ (顧客ID,社員,受付日,名称,内容,状況) values(1,'佐藤',%1,'','','')")
                .arg(q));
        folder.exec(QStringLiteral("insert into クレーム (顧客ID,社員,受付日,名称,内容,回答日,回答内容) "
                                   "values(1,'佐藤',%1,'','',%1,'')")
                        .arg(q));
        folder.exec(
            QStringLiteral("insert into 見積もり (顧客ID,社員,提出日,名称,見積もり金額,消費税率,内容) "
                           "values(1,'佐藤',%1,'',1,10,'')")
                .arg(q));
        folder.exec(QStringLiteral("insert into 原価 (顧客ID,受注ID,登録日,名称,金額) values(1,%1,%2,'',1)")
                        .arg(order, q));
    }
}

const QStringList kActivityTables{"受注", "訪問", "問い合わせ", "受注明細", "クレーム", "見積もり", "原価"};

QStringList counts(TestFolder& folder) {
    QStringList c;
    for (const QString& t : kActivityTables)
        c << QString::number(folder.count(t));
    return c;
}
}  // namespace

void TestMasters::delete_old_data_keeps_cutoff_day() {
    TestFolder folder;
    add_dated_rows(folder, {"2025/06/29", "2025/06/30", "2025/07/01"});
    folder.add_customer(QStringLiteral("山田"), QStringLiteral("やまだ"));
    const QVector<DeletedRows> deleted = delete_old_data(folder.db(), QStringLiteral("2025/06/30"));
    QStringList removed;
    for (const DeletedRows& d : deleted)
        removed << d.table + QLatin1Char('=') + QString::number(d.count);
    QCOMPARE(removed, (QStringList{"受注=1", "訪問=1", "問い合わせ=1", "受注明細=2", "クレーム=1",
                                   "見積もり=1", "原価=1"}));
    QCOMPARE(counts(folder), (QStringList{"2", "2", "2", "4", "2", "2", "2"}));
    QCOMPARE(folder.value(QStringLiteral("select min(受注日) from 受注明細")), QStringLiteral("2025/06/30"));
    // Orders go with their lines; customers and masters stay.
    QCOMPARE(folder.value(QStringLiteral(
                 "select count(*) from 受注明細 where 受注ID not in (select 受注ID from 受注)")),
             QStringLiteral("0"));
    QCOMPARE(folder.count(QStringLiteral("顧客")), 1);
    QCOMPARE(folder.count(QStringLiteral("RFM")), 12);
}

// A statement refused half-way leaves every table as it was.
void TestMasters::delete_old_data_all_or_nothing() {
    TestFolder folder;
    add_dated_rows(folder, {"2020/01/01"});
    folder.exec(QStringLiteral(
        "create trigger keep before delete on 原価 begin select raise(abort, '削除できません'); end"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, delete_old_data(folder.db(), QStringLiteral("2021/01/01")));
    QCOMPARE(counts(folder), (QStringList{"1", "1", "1", "2", "1", "1", "1"}));
}

void TestMasters::deldata_screen_data() {
    QTest::addColumn<QString>("typed");  // empty: keep the proposal
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("field");  // Text1 afterwards
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("left");  // rows left in the seven tables
    const QStringList all{"2", "2", "2", "4", "2", "2", "2"};
    QTest::newRow("proposal confirmed") << QString() << true << "2025/12/08"
                                        << QStringList{"削除しました\n受注: 1 件\n訪問: 1 件\n問い合わせ: 1 件\n受注明細: 2 件\n"
                                                       "クレーム: 1 件\n見積もり: 1 件\n原価: 1 件"}
                                        << QStringList{"1", "1", "1", "2", "1", "1", "1"};
    QTest::newRow("answered no") << QString() << false << "2025/12/08" << QStringList{} << all;
    QTest::newRow("future date") << "2026/12/09" << true << "2026/12/09"
                                 << QStringList{"日付でない、未入力、未来の日付"} << all;
    QTest::newRow("empty") << " " << true << " " << QStringList{"日付でない、未入力、未来の日付"} << all;
    QTest::newRow("today accepted, short form") << "26/12/8" << true << "2026/12/08"
                                                << QStringList{"削除しました\n受注: 2 件\n訪問: 2 件\n問い合わせ: 2 件\n"
                                                               "受注明細: 4 件\nクレーム: 2 件\n見積もり: 2 件\n原価: 2 件"}
                                                << QStringList{"0", "0", "0", "0", "0", "0", "0"};
}

void TestMasters::deldata_screen() {
    QFETCH(QString, typed);
    QFETCH(bool, yes);
    QFETCH(QString, field);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, left);
    TestFolder folder(QDate(2026, 12, 8));
    add_dated_rows(folder, {"2025/12/07", "2025/12/08"});
    QueuedPrompter prompter;
    prompter.answers << false << yes;  // no backup first, then the answer to the delete
    DeldataScreen screen(folder.session(), prompter);
    auto* text1 = screen.findChild<QLineEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text1->text(), QStringLiteral("2025/12/08"));
    if (!typed.isEmpty())
        text1->setText(typed);
    screen.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(text1->text(), field);
    QCOMPARE(prompter.messages, messages);
    QCOMPARE(counts(folder), left);
    // Asked only for an accepted date: the backup first, then the rows that will go.
    if (field.startsWith(QLatin1String("20")) && field != QLatin1String("2026/12/09")) {
        QCOMPARE(prompter.questions.size(), 2);
        QCOMPARE(prompter.questions.at(0),
                 QStringLiteral("消去したデータは元に戻せません。消去する前にバックアップを取りますか？"));
        const int each = field == QLatin1String("2026/12/08") ? 2 : 1;
        QCOMPARE(prompter.questions.at(1),
                 QStringLiteral("次のデータ（合計 %1 件）を消去します。\n受注: %2 件\n訪問: %2 件\n問い合わせ: %2 件\n"
                                "受注明細: %3 件\nクレーム: %2 件\n見積もり: %2 件\n原価: %2 件\n本当に削除しますか")
                     .arg(each * 8)
                     .arg(each)
                     .arg(each * 2));
    } else {
        QVERIFY(prompter.questions.isEmpty());
    }
}

void TestMasters::cli_adds_an_employee_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("added") << QStringList{"田中 花子",    "たなか",       "--email",
                                          "t@example.jp", "--department", "営業"}
                           << 0 << "社員を登録しました: 田中 花子";
    QTest::newRow("name taken")
        << QStringList{"山田 太郎", "やまだ"} << 1
        << "同じ氏名の社員が既に登録されています。別の氏名を入力してください: 山田 太郎";
}

// sales-cli add-employee registers an employee (the first one of an empty database, for one).
void TestMasters::cli_adds_an_employee() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    TestFolder folder;
    folder.exec(QStringLiteral("insert into 社員 (社員,社員かな) values('山田 太郎','やまだ たろう')"));
    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(qEnvironmentVariable("SALES_CLI"), QStringList{"add-employee"} + arguments);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), status);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError()).trimmed(), output);
    const ResultTable rows =
        folder.rows(QStringLiteral("select 社員,社員かな,email,部署 from 社員 order by 社員ID"), 4);
    QCOMPARE(rows.row_count(), status == 0 ? 2 : 1);
    if (status == 0)
        QCOMPARE((QStringList{rows(0, 2), rows(1, 2), rows(2, 2), rows(3, 2)}),
                 (QStringList{"田中 花子", "たなか", "t@example.jp", "営業"}));
}

QTEST_MAIN(TestMasters)
#include "test_masters.moc"
