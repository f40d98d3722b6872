#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "app/log_file.h"
#include "mail/mail_settings.h"
#include "test_folder.h"
#include "ui/customers/main_window.h"
#include "ui/masters/company_screen.h"

// 会社情報's mail part: the password box, the provider presets, storing the settings beside the
// company row; and ヘルプ → ログフォルダを開く.
class TestMailAccountPanel : public QObject {
    Q_OBJECT
private slots:
    void password_shows_only_while_held();
    void provider_fills_its_servers_data();
    void provider_fills_its_servers();
    void settings_are_stored_with_the_row_data();
    void settings_are_stored_with_the_row();
    void settings_changed_elsewhere_are_not_overwritten();
    void log_folder_opens_from_the_help_menu();

private:
    template <class T>
    T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
};

void TestMailAccountPanel::password_shows_only_while_held() {
    TestFolder folder;
    folder.exec(QStringLiteral("update 自社情報 set [password]='Pa55'"));
    folder.reload();
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    auto* password = child<QLineEdit>(screen, "Text1_10");
    auto* show = child<QToolButton>(screen, "showPassword");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QTest::mousePress(show, Qt::LeftButton);
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QCOMPARE(password->displayText(), QStringLiteral("Pa55"));
    QTest::mouseRelease(show, Qt::LeftButton);
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(password->displayText() != QStringLiteral("Pa55"));
}

void TestMailAccountPanel::provider_fills_its_servers_data() {
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("smtp");
    QTest::addColumn<QString>("pop");
    QTest::addColumn<QString>("imap");
    QTest::addColumn<QStringList>("shown");  // the settings boxes shown
    QTest::newRow("Microsoft 365") << int(SignInMethod::Microsoft365) << "smtp://smtp.office365.com:587"
                                   << "pop3s://outlook.office365.com:995"
                                   << "imaps://outlook.office365.com:993"
                                   << QStringList{"clientId", "tenant"};
    QTest::newRow("Google") << int(SignInMethod::Google) << "smtp://smtp.gmail.com:587"
                            << "pop3s://pop.gmail.com:995"
                            << "imaps://imap.gmail.com:993" << QStringList{"clientId", "clientSecret"};
    QTest::newRow("other OAuth2 keeps the servers typed")
        << int(SignInMethod::OAuth2) << "smtp.example.jp"
        << "pop.example.jp"
        << "" << QStringList{"clientId", "clientSecret", "authorizeUrl", "tokenUrl", "scope"};
}

// Choosing a provider fills its servers, which stay editable; the boxes of that method are shown and
// the password box, of no use with a sign-in, is disabled.
void TestMailAccountPanel::provider_fills_its_servers() {
    QFETCH(int, method);
    QFETCH(QString, smtp);
    QFETCH(QString, pop);
    QFETCH(QString, imap);
    QFETCH(QStringList, shown);
    TestFolder folder;
    folder.exec(QStringLiteral("update 自社情報 set pop='pop.example.jp', [smtp]='smtp.example.jp'"));
    folder.reload();
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    auto* choice = child<QComboBox>(screen, "signinMethod");
    choice->setCurrentIndex(method);
    emit choice->activated(method);  // as the user's choice
    QCOMPARE(child<QLineEdit>(screen, "Text1_11")->text(), smtp);
    QCOMPARE(child<QLineEdit>(screen, "Text1_8")->text(), pop);
    QCOMPARE(child<QLineEdit>(screen, "imapServer")->text(), imap);
    QVERIFY(!child<QLineEdit>(screen, "Text1_10")->isEnabled());
    for (const char* name : {"clientId", "clientSecret", "tenant", "authorizeUrl", "tokenUrl", "scope"})
        QCOMPARE(child<QLineEdit>(screen, name)->isVisible(), shown.contains(QString::fromLatin1(name)));
    QVERIFY(child<QPushButton>(screen, "signInB")->isVisible());
    child<QLineEdit>(screen, "Text1_11")->setText(QStringLiteral("smtp://relay.example.jp:587"));
    QCOMPARE(child<QLineEdit>(screen, "Text1_11")->text(), QStringLiteral("smtp://relay.example.jp:587"));
}

void TestMailAccountPanel::settings_are_stored_with_the_row_data() {
    QTest::addColumn<QString>("move_to");
    QTest::addColumn<QString>("message");
    QTest::newRow("stored") << "処理済み"
                            << "保存しました";
    QTest::newRow("refused: nothing stored") << ""
                                             << "受信したメールの移動先には";
}

// 保存 stores the company row and the mail settings together, or, when the settings cannot work,
// neither.
void TestMailAccountPanel::settings_are_stored_with_the_row() {
    QFETCH(QString, move_to);
    QFETCH(QString, message);
    TestFolder folder;
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    child<QLineEdit>(screen, "Text1_1")->setText(QStringLiteral("株式会社テスト"));
    auto* method = child<QComboBox>(screen, "signinMethod");
    method->setCurrentIndex(int(SignInMethod::Google));
    emit method->activated(int(SignInMethod::Google));
    child<QLineEdit>(screen, "clientId")->setText(QStringLiteral("123.apps.googleusercontent.com"));
    child<QComboBox>(screen, "fetchProtocol")->setCurrentIndex(1);
    child<QComboBox>(screen, "afterFetch")->setCurrentIndex(int(AfterFetch::Move));
    child<QLineEdit>(screen, "moveTo")->setText(move_to);
    child<QPushButton>(screen, "Command2")->click();
    QVERIFY2(prompter.last().startsWith(message), qPrintable(prompter.last()));
    const bool stored = !move_to.isEmpty();
    QCOMPARE(folder.value(QStringLiteral("select 会社名 from 自社情報")),
             stored ? QStringLiteral("株式会社テスト") : QString());
    const MailSettings s = load_mail_settings(folder.db());
    QCOMPARE(s.method, stored ? SignInMethod::Google : SignInMethod::Password);
    QCOMPARE(s.protocol, stored ? FetchProtocol::Imap : FetchProtocol::Pop3);
    QCOMPARE(s.imap_server, stored ? QStringLiteral("imaps://imap.gmail.com:993") : QString());
    QCOMPARE(s.move_to, move_to);
    QCOMPARE(folder.value(QStringLiteral("select [smtp] from 自社情報")),
             stored ? QStringLiteral("smtp://smtp.gmail.com:587") : QString());
    QCOMPARE(screen.isVisible(), !stored);
}

// Another PC stores other mail settings while the screen is open: saving this screen's changes asks
// the user to look again instead of overwriting them, and stores nothing.
void TestMailAccountPanel::settings_changed_elsewhere_are_not_overwritten() {
    TestFolder folder;
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    Database other;
    other.open_sqlite_file(folder.database_path(), false);
    MailSettings theirs;
    theirs.protocol = FetchProtocol::Imap;
    theirs.imap_server = QStringLiteral("imaps://imap.example.jp");
    save_mail_settings(other, theirs);
    child<QLineEdit>(screen, "Text1_1")->setText(QStringLiteral("株式会社テスト"));
    child<QLineEdit>(screen, "imapServer")->setText(QStringLiteral("imaps://mine.example.jp"));
    child<QComboBox>(screen, "fetchProtocol")->setCurrentIndex(1);
    child<QPushButton>(screen, "Command2")->click();
    QVERIFY2(
        prompter.last().startsWith(QStringLiteral("表示した後に他の担当者がメールの設定を変更しています。")),
        qPrintable(prompter.last()));
    QCOMPARE(load_mail_settings(folder.db()), theirs);
    QCOMPARE(folder.value(QStringLiteral("select 会社名 from 自社情報")), QString());
    QCOMPARE(child<QLineEdit>(screen, "imapServer")->text(), QStringLiteral("imaps://imap.example.jp"));
    QVERIFY(screen.isVisible());
}

void TestMailAccountPanel::log_folder_opens_from_the_help_menu() {
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow window{folder.session(), prompter};
    auto* item = window.findChild<QAction*>(QStringLiteral("log_folder"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("ログフォルダを開く(&L)"));
    item->trigger();
    QCOMPARE(prompter.opened, QVector<QUrl>{QUrl::fromLocalFile(log_folder())});
    QVERIFY(QFileInfo(log_folder()).isDir());
}

QTEST_MAIN(TestMailAccountPanel)
#include "test_mail_account_panel.moc"
