#include <QUrlQuery>
#include <QtTest>

#include "mail/curl_transfer.h"
#include "mail/imap_fetch.h"
#include "mail/mail_settings.h"
#include "mail/oauth2.h"
#include "test_folder.h"

// The pieces of the mail sign-in that need no server: PKCE, the authorization request, the token
// answers, the settings' checks, IMAP folder names and what the session log may show.
class TestMailSignIn : public QObject {
    Q_OBJECT
private slots:
    void pkce_challenge_is_s256();
    void pkce_and_state_are_fresh_and_url_safe();
    void authorization_request_data();
    void authorization_request();
    void token_answer_data();
    void token_answer();
    void settings_are_checked_data();
    void settings_are_checked();
    void settings_round_trip();
    void imap_folder_names_data();
    void imap_folder_names();
    void log_shows_no_login_line_data();
    void log_shows_no_login_line();
    void provider_refusal_of_passwords_data();
    void provider_refusal_of_passwords();
};

// RFC 7636, appendix B.
void TestMailSignIn::pkce_challenge_is_s256() {
    QCOMPARE(pkce_challenge(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
             QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
}

void TestMailSignIn::pkce_and_state_are_fresh_and_url_safe() {
    const Pkce a = make_pkce();
    const Pkce b = make_pkce();
    QVERIFY(a.verifier != b.verifier);
    QCOMPARE(a.verifier.size(), 86);  // within 43..128 characters
    QCOMPARE(a.challenge, pkce_challenge(a.verifier));
    static const QRegularExpression unreserved(QStringLiteral("^[A-Za-z0-9_-]+$"));
    for (const QString& text : {a.verifier, a.challenge, random_state()})
        QVERIFY2(unreserved.match(text).hasMatch(), qPrintable(text));
    QVERIFY(random_state() != random_state());
}

void TestMailSignIn::authorization_request_data() {
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("tenant");
    QTest::addColumn<QString>("endpoint");  // the address before the query
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("redirect_host");
    QTest::addColumn<QStringList>("extra");  // further name=value pairs expected
    QTest::newRow("Microsoft 365, no tenant")
        << int(SignInMethod::Microsoft365) << ""
        << "https://login.microsoftonline.com/organizations/oauth2/v2.0/authorize"
        << "https://outlook.office.com/SMTP.Send https://outlook.office.com/POP.AccessAsUser.All "
           "https://outlook.office.com/IMAP.AccessAsUser.All offline_access"
        << "localhost" << QStringList();
    QTest::newRow("Microsoft 365, a tenant")
        << int(SignInMethod::Microsoft365) << "example.onmicrosoft.com"
        << "https://login.microsoftonline.com/example.onmicrosoft.com/oauth2/"
           "v2.0/authorize"
        << "https://outlook.office.com/SMTP.Send "
           "https://outlook.office.com/POP.AccessAsUser.All "
           "https://outlook.office.com/IMAP.AccessAsUser.All offline_access"
        << "localhost" << QStringList();
    QTest::newRow("Google") << int(SignInMethod::Google) << ""
                            << "https://accounts.google.com/o/oauth2/auth"
                            << "https://mail.google.com/"
                            << "127.0.0.1" << QStringList{"access_type=offline", "prompt=consent"};
}

void TestMailSignIn::authorization_request() {
    QFETCH(int, method);
    QFETCH(QString, tenant);
    QFETCH(QString, endpoint);
    QFETCH(QString, scope);
    QFETCH(QString, redirect_host);
    QFETCH(QStringList, extra);
    MailSettings s;
    s.method = SignInMethod(method);
    s.tenant = tenant;
    const OAuthEndpoints e = oauth_endpoints(s);
    QCOMPARE(e.redirect_host, redirect_host);
    const QUrl url = authorization_url(
        e, QStringLiteral(" app-id "), QStringLiteral("http://%1:5000/").arg(redirect_host),
        QStringLiteral("st+ate&1"), QStringLiteral("chal"), QStringLiteral("a+b@example.jp"));
    QCOMPARE(url.toString(QUrl::RemoveQuery), endpoint);
    // Values with reserved characters come back exactly: nothing leaks into another parameter.
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    QStringList items;
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded))
        items << name + QLatin1Char('=') + value;
    QCOMPARE(items, (QStringList{"response_type=code", "client_id=app-id",
                                 QStringLiteral("redirect_uri=http://%1:5000/").arg(redirect_host),
                                 "scope=" + scope, "state=st+ate&1", "code_challenge=chal",
                                 "code_challenge_method=S256", "login_hint=a+b@example.jp"} +
                     extra));
}

void TestMailSignIn::token_answer_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("access");
    QTest::addColumn<QString>("renewal");
    QTest::addColumn<qint64>("expires");
    QTest::addColumn<QString>("error");
    QTest::newRow("full answer") << 200
                                 << QByteArray(
                                        R"({"access_token":"at1","expires_in":3599,"refresh_token":"rt1"})")
                                 << true << "at1"
                                 << "rt1" << qint64(3599) << "";
    QTest::newRow("expires_in as text, no new refresh token")
        << 200 << QByteArray(R"({"access_token":"at2","expires_in":"60"})") << true << "at2"
        << "" << qint64(60) << "";
    QTest::newRow("no lifetime given: an hour")
        << 200 << QByteArray(R"({"access_token":"at3"})") << true << "at3"
        << "" << qint64(3600) << "";
    QTest::newRow("refused refresh token")
        << 400 << QByteArray(R"({"error":"invalid_grant","error_description":"AADSTS70008: expired"})")
        << false << ""
        << "" << qint64(0) << "invalid_grant";
    QTest::newRow("server error page") << 502 << QByteArray("<html>Bad gateway</html>") << false << ""
                                       << "" << qint64(0) << "http_502";
    QTest::newRow("200 without a token") << 200 << QByteArray("{}") << false << ""
                                         << "" << qint64(0) << "no_token";
}

void TestMailSignIn::token_answer() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(QString, access);
    QFETCH(QString, renewal);
    QFETCH(qint64, expires);
    QFETCH(QString, error);
    const TokenReply r = parse_token_reply(status, body);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.access_token, access);
    QCOMPARE(r.refresh_token, renewal);
    if (ok)
        QCOMPARE(r.expires_in, expires);
    QCOMPARE(r.error, error);
    QCOMPARE(r.failure.isEmpty(), ok);
    if (!ok)
        QVERIFY2(r.failure.contains(error), qPrintable(r.failure));
}

void TestMailSignIn::settings_are_checked_data() {
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("client_id");
    QTest::addColumn<QString>("token_url");
    QTest::addColumn<bool>("imap");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("move_to");
    QTest::addColumn<QString>("problem");  // part of the message; empty: accepted
    const int pw = int(SignInMethod::Password), other = int(SignInMethod::OAuth2),
              ms = int(SignInMethod::Microsoft365);
    const int seen = int(AfterFetch::MarkSeen), move = int(AfterFetch::Move);
    QTest::newRow("password, POP3") << pw << ""
                                    << "" << false << seen << ""
                                    << "";
    QTest::newRow("Microsoft 365 without client ID") << ms << ""
                                                     << "" << false << seen << ""
                                                     << "クライアントID";
    QTest::newRow("other OAuth2 over https") << other << "c"
                                             << "https://id.example/token" << false << seen << ""
                                             << "";
    QTest::newRow("other OAuth2, token over plain http") << other << "c"
                                                         << "http://id.example/token" << false << seen << ""
                                                         << "https://";
    QTest::newRow("other OAuth2, loopback http") << other << "c"
                                                 << "http://127.0.0.1:8080/token" << false << seen << ""
                                                 << "";
    QTest::newRow("IMAP, move without a folder") << pw << ""
                                                 << "" << true << move << ""
                                                 << "移動先";
    QTest::newRow("IMAP, move into the same folder") << pw << ""
                                                     << "" << true << move << "INBOX"
                                                     << "移動先";
    QTest::newRow("IMAP, move elsewhere") << pw << ""
                                          << "" << true << move << "処理済み"
                                          << "";
    QTest::newRow("client ID with a line break") << ms << "c\r\nx"
                                                 << "" << false << seen << ""
                                                 << "改行";
}

void TestMailSignIn::settings_are_checked() {
    QFETCH(int, method);
    QFETCH(QString, client_id);
    QFETCH(QString, token_url);
    QFETCH(bool, imap);
    QFETCH(int, after);
    QFETCH(QString, move_to);
    QFETCH(QString, problem);
    MailSettings s;
    s.method = SignInMethod(method);
    s.client_id = client_id;
    s.authorize_url = QStringLiteral("https://id.example/authorize");
    s.token_url = token_url;
    s.scope = QStringLiteral("mail");
    s.protocol = imap ? FetchProtocol::Imap : FetchProtocol::Pop3;
    s.imap_server = QStringLiteral("imaps://imap.example.jp");
    s.after = AfterFetch(after);
    s.move_to = move_to;
    const QString found = check_mail_settings(s);
    if (problem.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

// What is stored reads back the same; a folder that has stored nothing reads the defaults.
void TestMailSignIn::settings_round_trip() {
    TestFolder folder;
    QCOMPARE(load_mail_settings(folder.db()), MailSettings());
    MailSettings s;
    s.method = SignInMethod::Google;
    s.client_id = QStringLiteral("123-abc.apps.googleusercontent.com");
    s.client_secret = QStringLiteral("GOCSPX-x'y");
    s.protocol = FetchProtocol::Imap;
    s.imap_server = QStringLiteral("imaps://imap.gmail.com:993");
    s.imap_folder = QStringLiteral("問い合わせ");
    s.after = AfterFetch::Move;
    s.move_to = QStringLiteral("処理済み");
    save_mail_settings(folder.db(), s);
    save_mail_settings(folder.db(), s);  // stored twice: still one row per item
    QCOMPARE(load_mail_settings(folder.db()), s);
    QCOMPARE(folder.value(QStringLiteral("select count(*) from プログラム設定 where 項目='mail.signin'")),
             QStringLiteral("1"));
    // The design's company row is left as it was.
    QCOMPARE(folder.value(QStringLiteral("select count(*) from 自社情報")), QStringLiteral("1"));
}

void TestMailSignIn::imap_folder_names_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("wire");
    QTest::newRow("ASCII") << "INBOX"
                           << "INBOX";
    QTest::newRow("ampersand") << "A&B"
                               << "A&-B";
    // RFC 3501, 5.1.3.
    QTest::newRow("RFC example") << "~peter/mail/台北/日本語"
                                 << "~peter/mail/&U,BTFw-/&ZeVnLIqe-";
    QTest::newRow("Japanese") << "問い合わせ"
                              << "&VU8wRFQIMI8wWw-";
}

void TestMailSignIn::imap_folder_names() {
    QFETCH(QString, folder);
    QFETCH(QString, wire);
    QCOMPARE(imap_mailbox_name(folder), wire);
}

void TestMailSignIn::log_shows_no_login_line_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("shown");
    QTest::newRow("SMTP MAIL") << "SMTP"
                               << "MAIL FROM:<a@example.jp>" << true;
    QTest::newRow("SMTP AUTH PLAIN") << "SMTP"
                                     << "AUTH PLAIN AGEAYg==" << false;
    QTest::newRow("SMTP AUTH XOAUTH2") << "SMTP"
                                       << "AUTH XOAUTH2 dXNlcj1h" << false;
    QTest::newRow("SMTP SASL answer") << "SMTP"
                                      << "dXNlcm5hbWU=" << false;
    QTest::newRow("POP3 UIDL") << "POP3"
                               << "UIDL" << true;
    QTest::newRow("POP3 USER") << "POP3"
                               << "USER mailuser" << false;
    QTest::newRow("POP3 PASS") << "POP3"
                               << "PASS secret" << false;
    QTest::newRow("IMAP SELECT") << "IMAP"
                                 << "A005 SELECT INBOX" << true;
    QTest::newRow("IMAP LOGIN") << "IMAP"
                                << "A003 LOGIN mailuser secret" << false;
    QTest::newRow("IMAP AUTHENTICATE") << "IMAP"
                                       << "A004 AUTHENTICATE OAUTHBEARER bixhPW1h" << false;
    QTest::newRow("HTTP header") << "HTTP"
                                 << "Authorization: Bearer x" << false;
}

void TestMailSignIn::log_shows_no_login_line() {
    QFETCH(QString, protocol);
    QFETCH(QString, line);
    QFETCH(bool, shown);
    QCOMPARE(loggable_command(line, protocol), shown);
}

void TestMailSignIn::provider_refusal_of_passwords_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("refusal");
    QTest::newRow("Microsoft 365, submission")
        << "550 5.7.30 Basic authentication is not supported for Client Submission" << true;
    QTest::newRow("Microsoft 365, tenant")
        << "535 5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the Tenant."
        << true;
    QTest::newRow("Google, app password") << "534-5.7.9 Application-specific password required." << true;
    QTest::newRow("Google IMAP")
        << "A001 NO [ALERT] Application-specific password required: https://support.google.com" << true;
    QTest::newRow("Google, not accepted") << "535-5.7.8 Username and Password not accepted." << true;
    QTest::newRow("wrong password elsewhere") << "535 5.7.8 Authentication credentials invalid" << false;
    QTest::newRow("POP3 wrong password") << "-ERR [AUTH] Authentication failed." << false;
}

void TestMailSignIn::provider_refusal_of_passwords() {
    QFETCH(QString, reply);
    QFETCH(bool, refusal);
    QCOMPARE(refuses_password_login(reply), refusal);
}

QTEST_GUILESS_MAIN(TestMailSignIn)
#include "test_mail_signin.moc"
