#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUuid>
#include <QtTest>

#include "db/dialect.h"
#include "mail/bsmtp.h"
#include "mail/send_mail.h"
#include "test_folder.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "mail_servers_env.h"

// The mail screens as the user drives them, sending to the SMTP server that ./test.sh starts.
namespace {

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow main{folder.session(), prompter};

    Fixture() {
        folder.exec(
            QStringLiteral(
                "update 自社情報 set pop='', [smtp]=%1, email='sales@example.co.jp', 会社名='山田文具', "
                "郵便番号1='100', 郵便番号2='0001', 住所='東京都千代田区1-1', TEL='03-1111-2222', "
                "FAX='', userid='', [password]=''")
                .arg(sql_text(qEnvironmentVariable("SALES_TEST_SMTP_PLAIN"))));
        folder.reload();
        install_mail_screens(ScreenContext{folder.session(), prompter, main});
    }
    Session& session() { return folder.session(); }
    QString customer(const QString& name, const QString& address) {
        const QString id = folder.add_customer(name, QStringLiteral("かな"));
        folder.exec(QStringLiteral("update 顧客 set Email=%1, 担当者='担当' where 顧客ID=%2")
                        .arg(sql_text(address), id));
        return id;
    }
    void menu(const char* name) {
        QAction* action = main.findChild<QAction*>(QString::fromLatin1(name));
        QVERIFY2(action, name);
        action->trigger();
    }
    QWidget* screen(const char* name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name) && w->isVisible())
                return w;
        return nullptr;
    }
    template <class T>
    T* child(const char* screen_name, const char* name) {
        QWidget* s = screen(screen_name);
        return s ? s->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    void click(const char* screen_name, const char* button) {
        auto* b = child<QPushButton>(screen_name, button);
        QVERIFY2(b, button);
        b->click();
    }
    QStringList items(QListWidget* list) {
        QStringList result;
        for (int i = 0; list && i < list->count(); ++i)
            result << list->item(i)->text();
        return result;
    }
};

QString address(const QString& prefix) {
    return prefix + QUuid::createUuid().toString(QUuid::Id128).left(10) + QStringLiteral("@example.jp");
}

// The mail the SMTP server received for this recipient, read back.
std::optional<QStringList> received(const QString& to) {
    const QDir spool(qEnvironmentVariable("SALES_TEST_SMTP_SPOOL"));
    for (const QFileInfo& rcpt : spool.entryInfoList({QStringLiteral("*.rcpt")}, QDir::Files)) {
        QFile f(rcpt.filePath());
        if (f.open(QIODevice::ReadOnly) &&
            QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).contains(to))
            return ReadMail(rcpt.completeBaseName(), QStringLiteral("subject:to:"), spool.path());
    }
    return std::nullopt;
}

// Whether text is expected, where "…" in expected stands for any text (the server's own words).
bool matches(const QString& text, const QString& expected) {
    QStringList parts = expected.split(QStringLiteral("…"));
    for (QString& part : parts)
        part = QRegularExpression::escape(part);
    return QRegularExpression(QRegularExpression::anchoredPattern(parts.join(QStringLiteral(".*"))),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

}  // namespace

class TestMailScreens : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void template_screen_keeps_templates();
    void saving_an_edited_title_data();
    void saving_an_edited_title();
    void broadcast_list_is_shown_as_it_is();
    void default_body_carries_the_company_signature();
    void broadcast_sends_to_every_name_data();
    void broadcast_sends_to_every_name();
    void single_mail_goes_to_the_shown_customer_by_key();
    void unread_lists_only_mail_of_known_customers();
    void new_goods_mailing_reaches_every_buyer();
    void receive_mail_reports_the_count();
    void fetch_failure_is_shown_alone_data();
    void fetch_failure_is_shown_alone();
};

void TestMailScreens::initTestCase() {
    SALES_REQUIRE_MAIL_SERVERS("SALES_TEST_SMTP_PLAIN");
}

void TestMailScreens::template_screen_keeps_templates() {
    Fixture f;
    f.menu("mail_template_edit");
    QVERIFY(f.screen("mail_template"));
    auto* name = f.child<QLineEdit>("mail_template", "Text1_0");
    auto* body = f.child<QPlainTextEdit>("mail_template", "Text1_1");
    auto* list = f.child<QListWidget>("mail_template", "List1");
    QVERIFY(name && body && list);
    QVERIFY(f.child<QPushButton>("mail_template", "saveB")->isHidden());
    QVERIFY(f.child<QPushButton>("mail_template", "delB")->isHidden());

    name->setText(QStringLiteral("年末のご挨拶"));
    body->setPlainText(QStringLiteral("{顧客名} 様\n本年もお世話になりました。"));
    f.click("mail_template", "newB");
    name->setText(QStringLiteral("年末のご挨拶"));
    f.click("mail_template", "newB");
    QCOMPARE(f.prompter.last(), QStringLiteral("同じタイトルのテンプレートがあります"));
    QCOMPARE(f.items(list), QStringList{"年末のご挨拶"});

    // Choosing offers save and delete; a saved body is what choosing shows afterwards.
    name->clear();
    emit list->itemClicked(list->item(0));
    QCOMPARE(name->text(), QStringLiteral("年末のご挨拶"));
    QVERIFY(!f.child<QPushButton>("mail_template", "saveB")->isHidden());
    QVERIFY(f.child<QPushButton>("mail_template", "newB")->isHidden());
    body->setPlainText(QStringLiteral("変更後の本文"));
    f.click("mail_template", "saveB");
    QCOMPARE(f.folder.value(QStringLiteral("select 本文 from テンプレート")), QStringLiteral("変更後の本文"));
    body->clear();
    emit list->itemClicked(list->item(0));
    QCOMPARE(body->toPlainText(), QStringLiteral("変更後の本文"));

    f.click("mail_template", "delB");
    QCOMPARE(f.folder.count(QStringLiteral("テンプレート")), 0);
    QCOMPARE(f.items(list), QStringList());
    QVERIFY(!f.child<QPushButton>("mail_template", "newB")->isHidden());

    f.click("mail_template", "cancelB");
    QVERIFY(!f.screen("mail_template"));
}

void TestMailScreens::default_body_carries_the_company_signature() {
    Fixture f;
    f.menu("mail_template_edit");
    auto* body = f.child<QPlainTextEdit>("mail_template", "Text1_1");
    QVERIFY(body);
    QCOMPARE(body->toPlainText(),
             QStringLiteral("こんにちは\n{顧客名} 　{担当者} 様\n\n---------------------------------\n"
                            "山田文具\n100-0001\n東京都千代田区1-1\n03-1111-2222\n\n"
                            "sales@example.co.jp\n---------------------------------"));
}

void TestMailScreens::saving_an_edited_title_data() {
    QTest::addColumn<QString>("title");       // typed over the chosen "夏のご案内"
    QTest::addColumn<bool>("deleted");        // the chosen template was deleted meanwhile
    QTest::addColumn<QString>("message");     // what the user is told
    QTest::addColumn<QString>("stored");      // title:body of every template afterwards
    QTest::newRow("new title") << "秋のご案内" << false << "保存しました"
                               << "冬のご案内:冬,秋のご案内:新しい本文";
    QTest::newRow("title of another template")
        << "冬のご案内" << false << "同じタイトルのテンプレートがあります"
        << "冬のご案内:冬,夏のご案内:夏";
    QTest::newRow("deleted meanwhile")
        << "夏のご案内" << true << "表示した後に他の担当者が削除しています。"
        << "冬のご案内:冬";
}

void TestMailScreens::saving_an_edited_title() {
    QFETCH(QString, title);
    QFETCH(bool, deleted);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    Fixture f;
    f.folder.exec(QStringLiteral("insert into テンプレート (名称,本文) values ('冬のご案内','冬')"));
    f.folder.exec(QStringLiteral("insert into テンプレート (名称,本文) values ('夏のご案内','夏')"));
    f.menu("mail_template_edit");
    auto* list = f.child<QListWidget>("mail_template", "List1");
    emit list->itemClicked(list->item(1));
    if (deleted)
        f.folder.exec(QStringLiteral("delete from テンプレート where 名称='夏のご案内'"));
    f.child<QLineEdit>("mail_template", "Text1_0")->setText(title);
    f.child<QPlainTextEdit>("mail_template", "Text1_1")->setPlainText(QStringLiteral("新しい本文"));
    f.click("mail_template", "saveB");
    QCOMPARE(f.prompter.messages, QStringList{message});
    QCOMPARE(f.folder.value(QStringLiteral("select group_concat(名称 || ':' || 本文) from (select * from "
                                           "テンプレート order by 名称)")),
             stored);
    // Not saved: the screen stays ready to save.
    QCOMPARE(f.child<QPushButton>("mail_template", "saveB")->isHidden(),
             message == QStringLiteral("保存しました"));
}

void TestMailScreens::broadcast_list_is_shown_as_it_is() {
    Fixture f;
    f.menu("mail_template_edit");
    auto* list2 = f.child<QListWidget>("mail_template", "List2");
    // The analyses add names while the screen is open.
    f.session().mailing_list << QStringLiteral("一郎") << QStringLiteral("二郎");
    QCOMPARE(f.items(list2), (QStringList{"一郎", "二郎"}));
    f.session().mailing_list = QStringList{QStringLiteral("三郎")};
    QCOMPARE(f.items(list2), QStringList{"三郎"});
    f.click("mail_template", "Command1");
    QCOMPARE(f.items(list2), QStringList());
}

void TestMailScreens::broadcast_sends_to_every_name_data() {
    // "ok": a reachable customer, "refused": the server refuses its address, "nobody": no such customer
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("smtp");  // "ok", "none" (not set)
    QTest::addColumn<bool>("answer");   // to "N 件のメールを送信します。よろしいですか？"
    QTest::addColumn<int>("cancel_at");    // 中止 at this step, -1 never
    QTest::addColumn<int>("steps");        // progress steps shown
    QTest::addColumn<QString>("summary");  // the one message; "…" stands for the server's words
    QTest::addColumn<int>("visits");
    const QString none = QStringLiteral("送信できなかったお客様　\r\n");
    QTest::newRow("one customer twice")
        << QStringList{"ok", "ok"} << "ok" << true << -1 << 2 << "送信したお客様　\r\nok\r\nok\r\n"
        << 2;
    QTest::newRow("unknown and refused names listed with reasons")
        << QStringList{"nobody", "refused", "ok"} << "ok" << true << -1 << 3
        << "送信したお客様　\r\nok\r\n\r\n" + none +
               "nobody（顧客が見つかりません）\r\nrefused（サーバーが処理を拒否しました (…)）\r\n"
        << 1;
    QTest::newRow("no server: stops at once")
        << QStringList{"ok", "ok", "refused"} << "none" << true << -1 << 1
        << "メールサーバーを使えないため、送信を中止しました（サーバーが設定されていません）\r\n\r\n"
           "送信したお客様　\r\n\r\n" +
               none + "ok（サーバーが設定されていません）\r\n中止したため未送信: ok、refused\r\n"
        << 0;
    QTest::newRow("中止 after the first") << QStringList{"ok", "nobody", "ok"} << "ok" << true << 1 << 2
                                          << "送信を中止しました\r\n\r\n送信したお客様　\r\nok\r\n\r\n" +
                                                 none + "中止したため未送信: nobody、ok\r\n"
                                          << 1;
    QTest::newRow("answered No") << QStringList{"ok"} << "ok" << false << -1 << 0 << "" << 0;
    QTest::newRow("empty list") << QStringList{} << "ok" << true << -1 << 0 << "送信したお客様　\r\n" << 0;
}

void TestMailScreens::broadcast_sends_to_every_name() {
    QFETCH(QStringList, list);
    QFETCH(QString, smtp);
    QFETCH(bool, answer);
    QFETCH(int, cancel_at);
    QFETCH(int, steps);
    QFETCH(QString, summary);
    QFETCH(int, visits);
    Fixture f;
    if (smtp == QLatin1String("none")) {
        f.folder.exec(QStringLiteral("update 自社情報 set [smtp]=''"));
        f.folder.reload();
    }
    const QString ok_address = address(QStringLiteral("ok-"));
    f.customer(QStringLiteral("ok"), ok_address);
    f.customer(QStringLiteral("refused"), address(QStringLiteral("refuse-")));
    f.session().mailing_list = list;
    f.prompter.answers = {answer};
    f.prompter.cancel_at = cancel_at;
    f.menu("mail_template_edit");
    QCOMPARE(f.items(f.child<QListWidget>("mail_template", "List2")), list);
    f.child<QLineEdit>("mail_template", "Text1_0")->setText(QStringLiteral("冬のご案内"));
    f.click("mail_template", "mailbuttun");

    QCOMPARE(f.prompter.questions,
             list.isEmpty() ? QStringList()
                            : QStringList{QString::number(list.size()) +
                                          QStringLiteral(" 件のメールを送信します。よろしいですか？")});
    QCOMPARE(f.prompter.progress_labels.size(), steps);
    // One message at most, whatever failed.
    QCOMPARE(f.prompter.messages.size(), summary.isEmpty() ? 0 : 1);
    if (!summary.isEmpty())
        QVERIFY2(matches(f.prompter.last(), summary), qPrintable(f.prompter.last()));
    QCOMPARE(f.folder.count(QStringLiteral("訪問")), visits);
    QCOMPARE(f.session().mailing_list.names(), list);  // the list stays
    if (visits > 0) {
        const std::optional<QStringList> mail = received(ok_address);
        QVERIFY(mail);
        QCOMPARE(mail->at(0), QStringLiteral("冬のご案内"));
        QVERIFY2(mail->at(2).startsWith(QStringLiteral("こんにちは\nok 　担当 様\n")),
                 qPrintable(mail->at(2)));
    } else {
        QVERIFY(!received(ok_address));
    }
}

void TestMailScreens::single_mail_goes_to_the_shown_customer_by_key() {
    Fixture f;
    const QString first = address(QStringLiteral("first-"));
    const QString second = address(QStringLiteral("second-"));
    f.customer(QStringLiteral("同名商事"), first);
    const QString shown = f.customer(QStringLiteral("同名商事"), second);
    f.session().current_customer_id = shown;
    f.session().current_customer_name = QStringLiteral("同名商事");
    auto* button = f.main.findChild<QPushButton*>(QStringLiteral("mail_one"));
    QVERIFY(button);
    button->click();
    QVERIFY(f.screen("mail_onefrm"));
    QCOMPARE(f.child<QLabel>("mail_onefrm", "Label2")->text(), QStringLiteral("同名商事"));
    QCOMPARE(f.child<QPlainTextEdit>("mail_onefrm", "Text2")->toPlainText(),
             QStringLiteral("同名商事　様　いつもお世話になっております"));
    f.child<QLineEdit>("mail_onefrm", "Text1")
        ->setText(QStringLiteral("お見積もりの件\r\nBcc: x@example.jp"));
    f.click("mail_onefrm", "Command1");
    QCOMPARE(f.child<QLabel>("mail_onefrm", "rlog")->text(), QStringLiteral("送信しました 同名商事"));
    const std::optional<QStringList> mail = received(second);
    QVERIFY(mail);
    QCOMPARE(mail->at(0), QStringLiteral("お見積もりの件 Bcc: x@example.jp"));
    QCOMPARE(mail->at(1), second);
    QVERIFY(!received(QStringLiteral("x@example.jp")));
    QCOMPARE(f.folder.value(QStringLiteral("select 顧客ID from 訪問 where 社員='Email'")), shown);

    // A customer without an address: nothing sent, and the result line says so.
    const QString no_mail = f.folder.add_customer(QStringLiteral("住所なし"), QStringLiteral("かな"));
    f.session().current_customer_id = no_mail;
    f.session().current_customer_name = QStringLiteral("住所なし");
    button->click();
    f.click("mail_onefrm", "Command1");
    QVERIFY(f.prompter.last().startsWith(QStringLiteral("mail error 001:")));
    QCOMPARE(f.child<QLabel>("mail_onefrm", "rlog")->text(), QStringLiteral("送信できませんでした"));
    QCOMPARE(f.folder.count(QStringLiteral("訪問")), 1);
}

void TestMailScreens::unread_lists_only_mail_of_known_customers() {
    Fixture f;
    for (const auto& [employee, title] :
         {std::pair{"email", "見積もり依頼"}, std::pair{"-", "新規の問い合わせ"},
          std::pair{"佐藤", "電話の問い合わせ"}, std::pair{"email", "納期"}})
        f.folder.exec(
            QStringLiteral(
                "insert into 問い合わせ (顧客ID,社員,受付日,名称,内容) values (1,%1,'2026/12/01',%2,'')")
                .arg(sql_text(QString::fromUtf8(employee)), sql_text(QString::fromUtf8(title))));
    f.menu("unread_mail_list");
    QCOMPARE(f.items(f.child<QListWidget>("unread", "List1")), (QStringList{"見積もり依頼", "納期"}));
    f.click("unread", "Command1");
    QVERIFY(!f.screen("unread"));
}

void TestMailScreens::new_goods_mailing_reaches_every_buyer() {
    Fixture f;
    const QString buyer = address(QStringLiteral("buyer-"));
    f.customer(QStringLiteral("買った客"), buyer);
    const QString pen = f.folder.add_goods(QStringLiteral("旧ボールペン"), QStringLiteral("100"));
    const QString other = f.folder.add_goods(QStringLiteral("ノート"), QStringLiteral("200"));
    for (const auto& [goods, name] : {std::pair{pen, "買った客"}, std::pair{other, "別の客"},
                                      std::pair{pen, "消えた客"}, std::pair{pen, "買った客"}})
        f.folder.exec(
            QStringLiteral("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values (1,%1,%2,1,100,"
                           "'2026/11/01')")
                .arg(goods, sql_text(QString::fromUtf8(name))));
    f.folder.exec(QStringLiteral(
        "insert into テンプレート (名称,本文) values ('新型ペンのご案内','{顧客名} {担当者}様 新型です')"));
    f.menu("new_goods_sale");
    QVERIFY(f.screen("new_goods_sales"));

    f.click("new_goods_sales", "Command1");
    QCOMPARE(f.prompter.last(), QStringLiteral("旧商品を選択してください"));
    auto* goods = f.child<QComboBox>("new_goods_sales", "Combo1");
    QCOMPARE(goods->count(), 2);
    const int pen_index = goods->findText(QStringLiteral("旧ボールペン"));
    QVERIFY(pen_index >= 0);
    goods->setCurrentIndex(pen_index);
    emit goods->activated(pen_index);
    QCOMPARE(f.child<QLabel>("new_goods_sales", "Label1")->text(), QStringLiteral("旧ボールペン"));
    f.click("new_goods_sales", "Command1");
    // Two order lines of one customer: listed and mailed once.
    QCOMPARE(f.items(f.child<QListWidget>("new_goods_sales", "List1")),
             (QStringList{"買った客", "消えた客"}));
    f.click("new_goods_sales", "Command3");
    QCOMPARE(f.prompter.last(), QStringLiteral("テンプレートを選択してください"));
    auto* templates = f.child<QComboBox>("new_goods_sales", "Combo2");
    templates->setCurrentIndex(0);
    emit templates->activated(0);
    QCOMPARE(f.child<QLabel>("new_goods_sales", "Label5")->text(), QStringLiteral("新型ペンのご案内"));
    f.prompter.answers = {true};
    f.click("new_goods_sales", "Command3");
    QCOMPARE(f.prompter.questions, QStringList{"2 件のメールを送信します。よろしいですか？"});
    QCOMPARE(f.prompter.last(),
             QStringLiteral("送信したお客様　\r\n買った客\r\n\r\n送信できなかったお客様　\r\n"
                            "消えた客（顧客が見つかりません）\r\n"));
    QCOMPARE(f.folder.count(QStringLiteral("訪問")), 1);
    const std::optional<QStringList> mail = received(buyer);
    QVERIFY(mail);
    QCOMPARE(mail->at(0), QStringLiteral("新型ペンのご案内"));
    QCOMPARE(mail->at(2), QStringLiteral("買った客 担当様 新型です"));

    // "既存テンプレート編集" opens the template screen; the choice here is filled only once.
    f.click("new_goods_sales", "Command2");
    QVERIFY(f.screen("mail_template"));
    f.folder.exec(QStringLiteral("insert into テンプレート (名称,本文) values ('追加','x')"));
    f.click("new_goods_sales", "Command4");
    f.menu("new_goods_sale");
    QCOMPARE(f.child<QComboBox>("new_goods_sales", "Combo2")->count(), 1);
}

void TestMailScreens::receive_mail_reports_the_count() {
    Fixture f;
    // Two messages stored by an earlier run that could not register them; no POP3 server is set.
    const QString folder = mail_folder(f.session());
    QDir().mkpath(folder);
    const QDir data(qEnvironmentVariable("SALES_TEST_DATA"));
    QVERIFY(
        QFile::copy(data.filePath(QStringLiteral("mail/iso2022jp.eml")), folder + QStringLiteral("/a.eml")));
    QVERIFY(QFile::copy(data.filePath(QStringLiteral("mail/utf8_html_only.eml")),
                        folder + QStringLiteral("/b.eml")));
    f.customer(QStringLiteral("田中"), QStringLiteral("Tanaka@Example.jp"));
    f.menu("receive_mail");
    QCOMPARE(f.prompter.messages,
             (QStringList{"新しい顧客を　email: stock@example.jp で登録しました",
                          "メールサーバーから受信できませんでした: サーバーが設定されていません",
                          "メールを　2　件受信しました"}));
    f.prompter.clear();
    f.menu("receive_mail");
    QCOMPARE(f.prompter.messages,
             QStringList{"メールサーバーから受信できませんでした: サーバーが設定されていません"});
    QCOMPARE(f.folder.count(QStringLiteral("問い合わせ")), 2);
}

void TestMailScreens::fetch_failure_is_shown_alone_data() {
    QTest::addColumn<QString>("pop");      // "" not set, "down", "wrong password"
    QTest::addColumn<QString>("message");  // the only message; "…" stands for the server's own words
    QTest::newRow("down") << "127.0.0.1:1"
                          << "メールサーバーから受信できませんでした: サーバーに接続できませんでした (…)";
    QTest::newRow("wrong password")
        << qEnvironmentVariable("SALES_TEST_POP3")
        << "メールサーバーから受信できませんでした: ユーザー名またはパスワードが違います (…)";
}

void TestMailScreens::fetch_failure_is_shown_alone() {
    QFETCH(QString, pop);
    QFETCH(QString, message);
    Fixture f;
    f.folder.exec(QStringLiteral("update 自社情報 set pop=%1, userid=%2, [password]='wrong'")
                      .arg(sql_text(pop), sql_text(qEnvironmentVariable("SALES_TEST_MAIL_USER"))));
    f.folder.reload();
    f.menu("receive_mail");
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY2(matches(f.prompter.last(), message), qPrintable(f.prompter.last()));
}

QTEST_MAIN(TestMailScreens)
#include "test_mail_screens.moc"
