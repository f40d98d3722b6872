#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QUrlQuery>
#include <QUuid>
#include <QtTest>
#include <thread>

#include "app/log_file.h"
#include "db/dialect.h"
#include "http_client.h"
#include "mail/bsmtp.h"
#include "mail/fetch_mail.h"
#include "mail/mail_auth.h"
#include "mail/mail_settings.h"
#include "mail/oauth2.h"
#include "mail/send_mail.h"
#include "mail/token_store.h"
#include "test_folder.h"
#include "ui/masters/company_screen.h"
#include "mail_servers_env.h"

namespace {

// The prompter of the window tests, whose "browser" is the tests' HTTP client.
class BrowsingPrompter : public QueuedPrompter {
public:
    HttpBrowser browser;
    bool open_document(const QUrl& url) override {
        QueuedPrompter::open_document(url);
        return browser.open(url);
    }
};

}  // namespace

// Mail with an OAuth2 sign-in against the test servers of tests/integration/mail_servers.sh: the
// small authorization server (oauth_server.py), dovecot asking it through an oauth2 passdb, and
// aiosmtpd listeners that take bearer tokens only. The browser is the tests' HTTP client; the flow
// (state, PKCE, the loopback listener, the keeping of the token) is the program's own.
class TestMailOAuth : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sign_in_keeps_the_refresh_token_out_of_the_database_data();
    void sign_in_keeps_the_refresh_token_out_of_the_database();
    void loopback_takes_only_its_own_answer_data();
    void loopback_takes_only_its_own_answer();
    void mail_goes_with_a_token_data();
    void mail_goes_with_a_token();
    void refused_or_expired_token_is_renewed_data();
    void refused_or_expired_token_is_renewed();
    void revoked_sign_in_asks_to_sign_in_again_data();
    void revoked_sign_in_asks_to_sign_in_again();
    void password_refused_by_provider_gets_advice_data();
    void password_refused_by_provider_gets_advice();
    void cli_signs_in_without_a_browser();
    void company_screen_signs_in();
    void no_secret_in_the_log_or_the_database();

private:
    QString env(const char* name) const { return qEnvironmentVariable(name); }
    QUrl oauth(const QString& path) const { return QUrl(env("SALES_TEST_OAUTH") + path); }
    QJsonObject stats() {
        return QJsonDocument::fromJson(http_request("GET", oauth("/admin/stats")).body).object();
    }
    MailSettings oauth_settings(const QString& client = QStringLiteral("client-a")) const;
    // The company row and the mail settings of an OAuth2 account.
    void configure(TestFolder& folder, const MailSettings& settings, const QString& smtp, const QString& pop);
    SignInResult sign_in_now(const MailSettings& settings);
    QString add_customer(TestFolder& folder, const QString& name);
    void drop_into_mailbox();
    QString imap(const QStringList& arguments);
    QByteArray all_bytes_under(const QString& folder);

    QTemporaryDir m_state;  // XDG_STATE_HOME: the log and the token file
    HttpBrowser m_browser;
};

void TestMailOAuth::initTestCase() {
    SALES_REQUIRE_MAIL_SERVERS("SALES_TEST_OAUTH");
    qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
    install_log_file();
    // The tests keep sign-ins in the file: no keyring runs for them.
    QVERIFY(!keyring_available());
}

void TestMailOAuth::init() {
    http_request("POST", oauth("/admin/lifetime?seconds=3600"));
    forget_access_tokens();
    QFile::remove(token_file_path());
}

void TestMailOAuth::cleanup() {
    http_request("POST", oauth("/admin/lifetime?seconds=3600"));
}

MailSettings TestMailOAuth::oauth_settings(const QString& client) const {
    MailSettings s;
    s.method = SignInMethod::OAuth2;
    s.client_id = client;
    s.client_secret = client.endsWith(QLatin1String("-secret")) ? QStringLiteral("s3cret") : QString();
    s.authorize_url = env("SALES_TEST_OAUTH") + QStringLiteral("/authorize");
    s.token_url = env("SALES_TEST_OAUTH") + QStringLiteral("/token");
    s.scope = QStringLiteral("mail offline_access");
    return s;
}

void TestMailOAuth::configure(TestFolder& folder, const MailSettings& settings, const QString& smtp,
                              const QString& pop) {
    folder.exec(QStringLiteral("update 自社情報 set pop=%1, userid=%2, [password]='', [smtp]=%3, "
                               "email='sales@example.co.jp'")
                    .arg(sql_text(pop), sql_text(env("SALES_TEST_MAIL_USER")), sql_text(smtp)));
    folder.reload();
    QCOMPARE(check_mail_settings(settings), QString());
    save_mail_settings(folder.db(), settings);
}

SignInResult TestMailOAuth::sign_in_now(const MailSettings& settings) {
    const SignInResult result = sign_in(
        settings, env("SALES_TEST_MAIL_USER"), [this](const QUrl& url) { return m_browser.open(url); }, 30);
    m_browser.wait();
    return result;
}

QString TestMailOAuth::add_customer(TestFolder& folder, const QString& name) {
    const QString address = QStringLiteral("oauth-") + QUuid::createUuid().toString(QUuid::Id128).left(12) +
                            QStringLiteral("@example.jp");
    const QString id = folder.add_customer(name, QStringLiteral("かな"));
    folder.exec(QStringLiteral("update 顧客 set Email=%1 where 顧客ID=%2").arg(sql_text(address), id));
    return address;
}

void TestMailOAuth::drop_into_mailbox() {
    const QDir maildir(env("SALES_TEST_MAILDIR"));
    const QString name = QStringLiteral("%1.%2.oauth")
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(QUuid::createUuid().toString(QUuid::Id128));
    QVERIFY(QFile::copy(QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("mail/iso2022jp.eml")),
                        maildir.filePath(QStringLiteral("tmp/") + name)));
    QFile::setPermissions(maildir.filePath(QStringLiteral("tmp/") + name),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
    QVERIFY(QFile::rename(maildir.filePath(QStringLiteral("tmp/") + name),
                          maildir.filePath(QStringLiteral("new/") + name)));
}

QString TestMailOAuth::imap(const QStringList& arguments) {
    QProcess tool;
    tool.start(
        QStringLiteral("/usr/bin/python3"),
        QStringList{QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("../integration/imap_tool.py"))} +
            arguments);
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QByteArray TestMailOAuth::all_bytes_under(const QString& folder) {
    QByteArray all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

void TestMailOAuth::sign_in_keeps_the_refresh_token_out_of_the_database_data() {
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("failure");  // part of it; empty: signed in
    QTest::newRow("public client") << "client-a"
                                   << ""
                                   << "";
    QTest::newRow("client that sends its secret") << "google-like-secret"
                                                  << "s3cret"
                                                  << "";
    QTest::newRow("wrong client secret") << "google-like-secret"
                                         << "wrong"
                                         << "invalid_client";
    QTest::newRow("access not allowed") << "deny"
                                        << ""
                                        << "サインインが拒否されました";
}

// A sign-in keeps only the refresh token, in a file only the user may read (no keyring here), with
// the one-time notice; the database holds neither it nor the access token.
void TestMailOAuth::sign_in_keeps_the_refresh_token_out_of_the_database() {
    QFETCH(QString, client);
    QFETCH(QString, secret);
    QFETCH(QString, failure);
    TestFolder folder;
    MailSettings settings = oauth_settings(client);
    settings.client_secret = secret;
    configure(folder, settings, QString(), QString());
    const SignInResult result = sign_in_now(settings);
    if (!failure.isEmpty()) {
        QVERIFY2(!result.ok && result.failure.contains(failure), qPrintable(result.failure));
        QVERIFY(!kept_sign_in(settings, env("SALES_TEST_MAIL_USER")));
        return;
    }
    QVERIFY2(result.ok, qPrintable(result.failure));
    QVERIFY(result.warning.contains(token_file_path()));
    QVERIFY(m_browser.last_page().contains("サインインしました"));
    const std::optional<StoredSignIn> kept = kept_sign_in(settings, env("SALES_TEST_MAIL_USER"));
    QVERIFY(kept && kept->refresh_token.startsWith(QLatin1String("rt-")));
    QCOMPARE(kept->user, env("SALES_TEST_MAIL_USER"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(token_file_path()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    const QByteArray database = all_bytes_under(folder.path());
    for (const QString& token :
         QString::fromUtf8(http_request("GET", oauth("/admin/issued")).body).split('\n'))
        if (!token.isEmpty())
            QVERIFY2(!database.contains(token.toUtf8()), qPrintable(token));
    // The notice comes once.
    QCOMPARE(sign_in_now(settings).warning, QString());
}

void TestMailOAuth::loopback_takes_only_its_own_answer_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("target");  // %1: the real state
    QTest::addColumn<long>("status");
    QTest::newRow("another state") << "GET"
                                   << "/?code=stolen&state=not-ours" << 400L;
    QTest::newRow("no state") << "GET"
                              << "/?code=stolen" << 400L;
    QTest::newRow("another path") << "GET"
                                  << "/favicon.ico" << 404L;
    QTest::newRow("not a GET") << "POST"
                               << "/?code=stolen&state=%1" << 400L;
    QTest::newRow("no code") << "GET"
                             << "/?state=%1" << 400L;
}

// Requests that are not the provider's redirect for this sign-in are refused and the listener keeps
// waiting; the real redirect then completes the sign-in with the real code (PKCE checked by the server).
void TestMailOAuth::loopback_takes_only_its_own_answer() {
    QFETCH(QString, method);
    QFETCH(QString, target);
    QFETCH(long, status);
    const MailSettings settings = oauth_settings();
    SignInFlow flow(settings, env("SALES_TEST_MAIL_USER"));
    std::optional<SignInResult> result;
    connect(&flow, &SignInFlow::finished, this, [&](const SignInResult& r) { result = r; });
    QString failure;
    QVERIFY2(flow.start({}, &failure), qPrintable(failure));
    const QUrlQuery query(flow.url());
    const QUrl redirect(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
    QCOMPARE(redirect.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(query.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    QVERIFY(state.size() >= 43);
    // The stranger's request, from a thread as a browser would send it.
    HttpAnswer answer;
    std::thread stranger([&] {
        answer =
            http_request(method, QUrl(QStringLiteral("http://127.0.0.1:%1").arg(redirect.port()) +
                                      (target.contains(QLatin1String("%1")) ? target.arg(state) : target)));
    });
    QTRY_VERIFY_WITH_TIMEOUT(answer.status != 0, 10000);
    stranger.join();
    QCOMPARE(answer.status, status);
    QVERIFY(!result);
    m_browser.open(flow.url());
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000);
    m_browser.wait();
    QVERIFY2(result->ok, qPrintable(result->failure));
}

void TestMailOAuth::mail_goes_with_a_token_data() {
    QTest::addColumn<QString>("smtp");
    QTest::addColumn<QString>("mechanism");  // the one the server saw
    QTest::addColumn<QString>("fetch");      // pop3 or imap
    // Debian's libcurl takes OAUTHBEARER when both are offered.
    QTest::newRow("server offering both mechanisms, POP3") << env("SALES_TEST_SMTP_OAUTH") << "OAUTHBEARER"
                                                           << "pop3";
    QTest::newRow("server offering XOAUTH2 alone, IMAP") << env("SALES_TEST_SMTP_XOAUTH2") << "XOAUTH2"
                                                         << "imap";
}

// One sign-in serves sending (recorded as a visit) and fetching by POP3 or IMAP.
void TestMailOAuth::mail_goes_with_a_token() {
    QFETCH(QString, smtp);
    QFETCH(QString, mechanism);
    QFETCH(QString, fetch);
    TestFolder folder;
    MailSettings settings = oauth_settings();
    const QString box = QStringLiteral("OAuth") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    if (fetch == QLatin1String("imap")) {
        settings.protocol = FetchProtocol::Imap;
        settings.imap_server = env("SALES_TEST_IMAPS");
        settings.imap_folder = box;
        imap({QStringLiteral("create"), box});
        imap({QStringLiteral("append"), box,
              QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("mail/shift_jis_qp.eml"))});
    } else {
        drop_into_mailbox();
    }
    configure(folder, settings, smtp, env("SALES_TEST_POP3S"));
    QVERIFY(sign_in_now(settings).ok);
    const int refreshes = stats().value(QStringLiteral("refresh_token")).toInt();
    const QString address = add_customer(folder, QStringLiteral("東京商事"));
    const SendResult sent = send_mail(folder.session(), QStringLiteral("東京商事"), QStringLiteral("件名"),
                                      QStringLiteral("本文"));
    QVERIFY2(sent.sent, qPrintable(sent.failure));
    QCOMPARE(folder.count(QStringLiteral("訪問")), 1);
    const QDir spool(env("SALES_TEST_SMTP_SPOOL"));
    QString seen;
    for (const QFileInfo& rcpt : spool.entryInfoList({QStringLiteral("*.rcpt")}, QDir::Files)) {
        QFile r(rcpt.filePath());
        r.open(QIODevice::ReadOnly);
        if (!r.readAll().contains(address.toUtf8()))
            continue;
        QFile auth(spool.filePath(rcpt.completeBaseName() + QStringLiteral(".auth")));
        if (auth.open(QIODevice::ReadOnly))
            seen = QString::fromUtf8(auth.readAll()).trimmed();
    }
    QCOMPARE(seen, mechanism + QLatin1Char(' ') + env("SALES_TEST_MAIL_USER"));
    const FetchResult fetched = fetch_mail(folder.session());
    QVERIFY2(fetched.failure.isEmpty(), qPrintable(fetched.failure));
    QCOMPARE(fetched.count, 1);
    // No second refresh: the token of the sign-in served all three.
    QCOMPARE(stats().value(QStringLiteral("refresh_token")).toInt(), refreshes);
    if (fetch == QLatin1String("imap"))
        imap({QStringLiteral("delete"), box});
}

void TestMailOAuth::refused_or_expired_token_is_renewed_data() {
    QTest::addColumn<QString>("how");        // expired: lives 2 s; refused: the server forgot it
    QTest::addColumn<QString>("operation");  // send, pop3, imap
    QTest::newRow("expired, send") << "expired"
                                   << "send";
    QTest::newRow("refused by SMTP") << "refused"
                                     << "send";
    QTest::newRow("refused by POP3") << "refused"
                                     << "pop3";
    QTest::newRow("refused by IMAP") << "refused"
                                     << "imap";
}

// A token that is about to expire (within 30 s) is renewed before use; one the server refuses is
// renewed once and the operation runs again; either way it succeeds with one refresh.
void TestMailOAuth::refused_or_expired_token_is_renewed() {
    QFETCH(QString, how);
    QFETCH(QString, operation);
    TestFolder folder;
    MailSettings settings = oauth_settings();
    const QString box = QStringLiteral("Renew") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    if (operation == QLatin1String("imap")) {
        settings.protocol = FetchProtocol::Imap;
        settings.imap_server = env("SALES_TEST_IMAP");
        settings.imap_folder = box;
        imap({QStringLiteral("create"), box});
        imap({QStringLiteral("append"), box,
              QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("mail/euc_jp_base64.eml"))});
    } else if (operation == QLatin1String("pop3")) {
        drop_into_mailbox();
    }
    configure(folder, settings, env("SALES_TEST_SMTP_OAUTH"), env("SALES_TEST_POP3"));
    if (how == QLatin1String("expired"))
        http_request("POST", oauth("/admin/lifetime?seconds=2"));
    QVERIFY(sign_in_now(settings).ok);
    if (how == QLatin1String("refused"))
        http_request("POST", oauth("/admin/expire_access"));
    const int refreshes = stats().value(QStringLiteral("refresh_token")).toInt();
    if (operation == QLatin1String("send")) {
        add_customer(folder, QStringLiteral("大阪商店"));
        const SendResult sent = send_mail(folder.session(), QStringLiteral("大阪商店"),
                                          QStringLiteral("件名"), QStringLiteral("本文"));
        QVERIFY2(sent.sent, qPrintable(sent.failure));
    } else {
        const FetchResult fetched = fetch_mail(folder.session());
        QVERIFY2(fetched.failure.isEmpty(), qPrintable(fetched.failure));
        QCOMPARE(fetched.count, 1);
    }
    QCOMPARE(stats().value(QStringLiteral("refresh_token")).toInt(), refreshes + 1);
    if (operation == QLatin1String("imap"))
        imap({QStringLiteral("delete"), box});
}

void TestMailOAuth::revoked_sign_in_asks_to_sign_in_again_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("broadcast") << "send";
    QTest::newRow("fetch") << "fetch";
}

// Once the provider refuses the kept sign-in, the user is asked in Japanese to sign in again; no mail
// goes out and nothing is recorded; a mail waiting on the server stays there.
void TestMailOAuth::revoked_sign_in_asks_to_sign_in_again() {
    QFETCH(QString, operation);
    TestFolder folder;
    const MailSettings settings = oauth_settings();
    configure(folder, settings, env("SALES_TEST_SMTP_OAUTH"), env("SALES_TEST_POP3"));
    QVERIFY(sign_in_now(settings).ok);
    http_request("POST", oauth("/admin/revoke_all"));
    if (operation == QLatin1String("send")) {
        add_customer(folder, QStringLiteral("一番商事"));
        add_customer(folder, QStringLiteral("二番商事"));
        const BroadcastResult result =
            send_broadcast(folder.session(), {QStringLiteral("一番商事"), QStringLiteral("二番商事")},
                           QStringLiteral("件名"), QStringLiteral("本文"), {});
        QCOMPARE(result.sent, QStringList());
        QVERIFY2(result.stopped.contains(kSignInAgainMessage), qPrintable(result.stopped));
        QCOMPARE(result.not_sent.size(), 2);  // the first with the reason, the second not reached
        QCOMPARE(folder.count(QStringLiteral("訪問")), 0);
    } else {
        drop_into_mailbox();
        const FetchResult result = fetch_mail(folder.session());
        QCOMPARE(result.count, 0);
        QCOMPARE(result.failure, kSignInAgainMessage);
        QCOMPARE(fetch_messages(result).first(),
                 QStringLiteral("メールサーバーから受信できませんでした: ") + kSignInAgainMessage);
        QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 0);
        // The mail is still on the server for the fetch after the next sign-in.
        QVERIFY(sign_in_now(settings).ok);
        QCOMPARE(fetch_mail(folder.session()).count, 1);
    }
    if (operation == QLatin1String("send"))
        QVERIFY(!kept_sign_in(settings, env("SALES_TEST_MAIL_USER")));
}

void TestMailOAuth::password_refused_by_provider_gets_advice_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("reply");  // the server's words, quoted in the message
    QTest::newRow("Google's wording") << "mailuser"
                                      << "535 5.7.8 Username and Password not accepted";
    QTest::newRow("Microsoft 365's wording")
        << "m365user@example.jp"
        << "550 5.7.30 Basic authentication is not supported for Client Submission";
}

// A provider that no longer takes passwords: the message says what to do, quoting the server.
void TestMailOAuth::password_refused_by_provider_gets_advice() {
    QFETCH(QString, user);
    QFETCH(QString, reply);
    TestFolder folder;
    folder.exec(
        QStringLiteral("update 自社情報 set pop='', userid=%1, [password]='Pa55-Secret-Word', [smtp]=%2, "
                       "email='sales@example.co.jp'")
            .arg(sql_text(user), sql_text(env("SALES_TEST_SMTP_OAUTH"))));
    folder.reload();
    add_customer(folder, QStringLiteral("名古屋物産"));
    const SendResult result = send_mail(folder.session(), QStringLiteral("名古屋物産"),
                                        QStringLiteral("件名"), QStringLiteral("本文"));
    QVERIFY(!result.sent);
    QVERIFY(result.server_unusable);
    QVERIFY2(
        result.failure.startsWith(
            QStringLiteral("メールサーバーがパスワードでのログインを受け付けませんでした。")) &&
            result.failure.contains(QStringLiteral("「サインイン方法」で Microsoft 365 または Google")) &&
            result.failure.contains(QStringLiteral("アプリ パスワード")) && result.failure.contains(reply),
        qPrintable(result.failure));
    QCOMPARE(folder.count(QStringLiteral("訪問")), 0);
}

// sales-cli mail signin --no-browser prints the address and waits; the user's browser (here the HTTP
// client) completes it; sales-cli fetch-mail then fetches with the kept sign-in.
void TestMailOAuth::cli_signs_in_without_a_browser() {
    TestFolder folder;
    const MailSettings settings = oauth_settings();
    configure(folder, settings, QString(), env("SALES_TEST_POP3S"));
    drop_into_mailbox();
    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(env("SALES_CLI"),
              {QStringLiteral("mail"), QStringLiteral("signin"), QStringLiteral("--no-browser")});
    QString printed;
    QUrl url;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            cli.waitForReadyRead(100);
            printed += QString::fromUtf8(cli.readAllStandardOutput());
            for (const QString& line : printed.split(QLatin1Char('\n')))
                if (line.startsWith(QLatin1String("http")))
                    url = QUrl(line.trimmed());
            return url.isValid();
        }(),
        20000);
    QVERIFY(printed.startsWith(QStringLiteral("次のアドレスをブラウザで開いて、サインインしてください:")));
    m_browser.open(url);
    QVERIFY(cli.waitForFinished(30000));
    m_browser.wait();
    printed += QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QVERIFY(printed.contains(QStringLiteral("サインインしました: ") + env("SALES_TEST_MAIL_USER")));
    QProcess fetch;
    fetch.setWorkingDirectory(folder.path());
    fetch.start(env("SALES_CLI"), {QStringLiteral("fetch-mail")});
    QVERIFY(fetch.waitForFinished(60000));
    QVERIFY2(fetch.exitCode() == 0, fetch.readAllStandardError().constData());
    QCOMPARE(QString::fromUtf8(fetch.readAllStandardOutput()).trimmed(), QStringLiteral("1"));
}

// 会社情報: choosing the method and pressing サインイン with settings not yet stored asks to store them,
// opens the browser through the prompter, and shows who is signed in.
void TestMailOAuth::company_screen_signs_in() {
    TestFolder folder;
    folder.exec(QStringLiteral("update 自社情報 set userid=%1").arg(sql_text(env("SALES_TEST_MAIL_USER"))));
    folder.reload();
    BrowsingPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    screen.show();
    auto* method = screen.findChild<QComboBox*>(QStringLiteral("signinMethod"));
    method->setCurrentIndex(int(SignInMethod::OAuth2));
    screen.findChild<QLineEdit*>(QStringLiteral("clientId"))->setText(QStringLiteral("client-a"));
    screen.findChild<QLineEdit*>(QStringLiteral("authorizeUrl"))
        ->setText(env("SALES_TEST_OAUTH") + "/authorize");
    screen.findChild<QLineEdit*>(QStringLiteral("tokenUrl"))->setText(env("SALES_TEST_OAUTH") + "/token");
    screen.findChild<QLineEdit*>(QStringLiteral("scope"))->setText(QStringLiteral("mail offline_access"));
    auto* state = screen.findChild<QLabel*>(QStringLiteral("signInState"));
    QCOMPARE(state->text(), QStringLiteral("サインインしていません"));
    prompter.answers << true;  // store first
    screen.findChild<QPushButton*>(QStringLiteral("signInB"))->click();
    prompter.browser.wait();
    QCOMPARE(prompter.questions,
             QStringList{"メールの設定が保存されていません。保存してからサインインしますか？"});
    QCOMPARE(prompter.opened.size(), 1);
    QVERIFY2(prompter.messages.contains(QStringLiteral("サインインしました: ") + env("SALES_TEST_MAIL_USER")),
             qPrintable(prompter.messages.join(u'|')));
    QVERIFY(state->text().startsWith(QStringLiteral("サインイン済み: ") + env("SALES_TEST_MAIL_USER")));
    QCOMPARE(load_mail_settings(folder.db()).client_id, QStringLiteral("client-a"));
}

// Sign in, send, fetch, and fail a password login: neither the log nor the database holds a token
// or the authorization code, and the log holds no password.
void TestMailOAuth::no_secret_in_the_log_or_the_database() {
    TestFolder folder;
    const MailSettings settings = oauth_settings();
    configure(folder, settings, env("SALES_TEST_SMTP_OAUTH"), env("SALES_TEST_POP3"));
    QVERIFY(sign_in_now(settings).ok);
    add_customer(folder, QStringLiteral("福岡商会"));
    QVERIFY(send_mail(folder.session(), QStringLiteral("福岡商会"), QStringLiteral("件名"),
                      QStringLiteral("本文"))
                .sent);
    drop_into_mailbox();
    QCOMPARE(fetch_mail(folder.session()).count, 1);
    // A refused token, renewed: the refresh request and the retry are in the log too.
    http_request("POST", oauth("/admin/expire_access"));
    QVERIFY(send_mail(folder.session(), QStringLiteral("福岡商会"), QStringLiteral("件名"),
                      QStringLiteral("本文"))
                .sent);
    // A password account refused by the provider.
    TestFolder second;
    second.exec(
        QStringLiteral("update 自社情報 set userid='mailuser', [password]='Pa55-Secret-Word', [smtp]=%1, "
                       "email='sales@example.co.jp'")
            .arg(sql_text(env("SALES_TEST_SMTP_OAUTH"))));
    second.reload();
    add_customer(second, QStringLiteral("福岡商会"));
    QVERIFY(!send_mail(second.session(), QStringLiteral("福岡商会"), QStringLiteral("件名"),
                       QStringLiteral("本文"))
                 .sent);
    // A POP3 login with that password that the server accepts.
    QString failure;
    QVERIFY2(receive_pop3(env("SALES_TEST_POP3"),
                          {env("SALES_TEST_MAIL_USER"), env("SALES_TEST_MAIL_PASSWORD"), {}},
                          QStringLiteral("LIST"), mail_folder(second.session()), &failure),
             qPrintable(failure));

    QByteArray log;
    for (const QString& name : {QStringLiteral("sales.log"), QStringLiteral("sales.log.1")}) {
        QFile f(QDir(log_folder()).filePath(name));
        if (f.open(QIODevice::ReadOnly))
            log += f.readAll();
    }
    QVERIFY(log.contains("SMTP > MAIL FROM:<sales@example.co.jp>"));
    QVERIFY(log.contains("（ログインの行は記録しません）"));
    QVERIFY(log.contains("access token renewed"));
    const QByteArray database = all_bytes_under(folder.path()) + all_bytes_under(second.path());
    QStringList secrets = QString::fromUtf8(http_request("GET", oauth("/admin/issued")).body)
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(secrets.size() >= 4);
    for (const QString& secret : std::as_const(secrets)) {
        QVERIFY2(!log.contains(secret.toUtf8()), qPrintable(secret));
        QVERIFY2(!database.contains(secret.toUtf8()), qPrintable(secret));
        // Nor in the form a SASL line carries it.
        QVERIFY(!log.contains(("auth=Bearer " + secret).toUtf8().toBase64().left(24)));
    }
    for (const QString& password : {QStringLiteral("Pa55-Secret-Word"), env("SALES_TEST_MAIL_PASSWORD")}) {
        QVERIFY2(!log.contains(password.toUtf8()), qPrintable(password));
        QVERIFY(!log.contains((QByteArray("\0mailuser\0", 10) + password.toUtf8()).toBase64()));
    }
}

QTEST_MAIN(TestMailOAuth)
#include "test_mail_oauth.moc"
