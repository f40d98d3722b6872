#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUuid>
#include <QtTest>

#include "db/dialect.h"
#include "mail/bsmtp.h"
#include "mail/fetch_mail.h"
#include "mail/send_mail.h"
#include "test_folder.h"
#include "mail_servers_env.h"

namespace {

// A port on 127.0.0.1 that takes connections (the kernel completes them) and never answers.
struct SilentServer {
    int fd = -1;
    int port = 0;
    SilentServer() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 8) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port = ntohs(address.sin_port);
    }
    ~SilentServer() {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

// The mail code against real servers on 127.0.0.1, started by ./test.sh
// (tests/integration/mail_servers.sh): aiosmtpd for SMTP, a private dovecot for POP3.
class TestMailServers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sent_mail_arrives_intact_data();
    void sent_mail_arrives_intact();
    void failed_send_leaves_no_trace_data();
    void failed_send_leaves_no_trace();
    void silent_server_times_out_data();
    void silent_server_times_out();
    void fetched_mail_is_registered_data();
    void fetched_mail_is_registered();
    void three_waiting_messages_count_three();
    void texts_read_back_exactly_data();
    void texts_read_back_exactly();
    void nothing_is_sent_that_cannot_be_recorded_data();
    void nothing_is_sent_that_cannot_be_recorded();
    void refused_mail_does_not_block_later_mail_data();
    void refused_mail_does_not_block_later_mail();
    void cli_fetch_prints_the_count();

private:
    QString env(const char* name) const { return qEnvironmentVariable(name); }
    void set_account(TestFolder& folder, const QString& smtp, const QString& pop, const QString& password);
    QString add_customer(TestFolder& folder, const QString& name, const QString& address,
                         const QString& contact);
    // The message the SMTP server received for this recipient, as stored by the server; empty if none.
    QByteArray received_for(const QString& address) const;
    void drop_into_mailbox(const QString& fixture_name);
    void drop_message(const QByteArray& message);
    void empty_mailbox();
    QByteArray m_message;  // what drop_message delivers
    QString unique_address(const QString& prefix) const {
        return prefix + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral("@example.jp");
    }
};

void TestMailServers::initTestCase() {
    SALES_REQUIRE_MAIL_SERVERS("SALES_TEST_SMTP_PLAIN");
    QVERIFY(QFile::exists(env("SALES_MAIL_CA_FILE")));
    empty_mailbox();
}

void TestMailServers::set_account(TestFolder& folder, const QString& smtp, const QString& pop,
                                  const QString& password) {
    folder.exec(
        QStringLiteral("update 自社情報 set pop=%1, userid=%2, [password]=%3, [smtp]=%4, "
                       "email='sales@example.co.jp'")
            .arg(sql_text(pop), sql_text(env("SALES_TEST_MAIL_USER")), sql_text(password), sql_text(smtp)));
    folder.reload();
}

QString TestMailServers::add_customer(TestFolder& folder, const QString& name, const QString& address,
                                      const QString& contact) {
    const QString id = folder.add_customer(name, QStringLiteral("かな"));
    folder.exec(
        QStringLiteral("update 顧客 set Email=%1, 担当者=%2 where 顧客ID=%3")
            .arg(sql_text(address), contact.isNull() ? QStringLiteral("NULL") : sql_text(contact), id));
    return id;
}

QByteArray TestMailServers::received_for(const QString& address) const {
    const QDir spool(env("SALES_TEST_SMTP_SPOOL"));
    for (const QFileInfo& rcpt : spool.entryInfoList({QStringLiteral("*.rcpt")}, QDir::Files)) {
        QFile f(rcpt.filePath());
        if (!f.open(QIODevice::ReadOnly) ||
            !QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).contains(address))
            continue;
        QFile message(spool.filePath(rcpt.completeBaseName() + QStringLiteral(".eml")));
        if (message.open(QIODevice::ReadOnly))
            return message.readAll();
    }
    return {};
}

// Delivers a message the way a mail server does: written in tmp/, then moved into new/.
void TestMailServers::drop_into_mailbox(const QString& fixture_name) {
    const QDir maildir(env("SALES_TEST_MAILDIR"));
    const QString name = QStringLiteral("%1.%2.test")
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(QUuid::createUuid().toString(QUuid::Id128));
    const QString tmp = maildir.filePath(QStringLiteral("tmp/") + name);
    if (fixture_name.isNull()) {
        QFile out(tmp);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(m_message) == m_message.size());
    } else {
        QVERIFY(
            QFile::copy(QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("mail/") + fixture_name), tmp));
    }
    QFile::setPermissions(tmp, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                                   QFile::ReadOther | QFile::WriteOther);
    QVERIFY(QFile::rename(tmp, maildir.filePath(QStringLiteral("new/") + name)));
}

void TestMailServers::drop_message(const QByteArray& message) {
    m_message = message;
    drop_into_mailbox(QString());
}

void TestMailServers::empty_mailbox() {
    QTemporaryDir scratch;
    QString failure;
    QVERIFY2(RcvMail(env("SALES_TEST_POP3"), env("SALES_TEST_MAIL_USER"), env("SALES_TEST_MAIL_PASSWORD"),
                     QStringLiteral("SAVEALLD"), scratch.path(), &failure),
             qPrintable(failure));
}

void TestMailServers::sent_mail_arrives_intact_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("pop");
    QTest::newRow("plain SMTP, POP3 with STLS") << env("SALES_TEST_SMTP_PLAIN") << env("SALES_TEST_POP3");
    QTest::newRow("STARTTLS and AUTH") << env("SALES_TEST_SMTP_SECURE") << env("SALES_TEST_POP3");
    QTest::newRow("smtps://, pop3s://") << env("SALES_TEST_SMTPS") << env("SALES_TEST_POP3S");
    QTest::newRow("smtp:// URL, no POP3")
        << QStringLiteral("smtp://") + env("SALES_TEST_SMTP_PLAIN") << QString();
}

void TestMailServers::sent_mail_arrives_intact() {
    QFETCH(QString, server);
    QFETCH(QString, pop);
    TestFolder folder;
    set_account(folder, server, pop, env("SALES_TEST_MAIL_PASSWORD"));
    const QString address = unique_address(QStringLiteral("yamada-"));
    const QString id = add_customer(folder, QStringLiteral("山田商事"), address, QStringLiteral("山田 太郎"));
    const QString subject = QStringLiteral("新商品のご案内 {顧客名}");
    const QString body = QStringLiteral("{顧客名}　{担当者} 様\nいつもお世話になっております。\n㈱テスト ①②");

    const SendResult result = send_mail(folder.session(), QStringLiteral("山田商事"), subject, body);
    QVERIFY2(result.sent, qPrintable(result.failure));
    const QString filled =
        QStringLiteral("山田商事　山田 太郎 様\nいつもお世話になっております。\n㈱テスト ①②");

    const QByteArray wire = received_for(address);
    QVERIFY(!wire.isEmpty());
    const QByteArray head = "\r\n" + wire.left(wire.indexOf("\r\n\r\n"));
    for (const char* header : {"\r\nDate: ", "\r\nMessage-Id: <", "\r\nMIME-Version: 1.0", "charset=utf-8",
                               "\r\nSubject: =?utf-8?b?", "\r\nFrom: sales@example.co.jp"})
        QVERIFY2(head.contains(header) || head.toLower().contains(QByteArray(header).toLower()), header);
    QTemporaryDir dir;
    QFile copy(QDir(dir.path()).filePath(QStringLiteral("got.eml")));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(wire);
    copy.close();
    const std::optional<QStringList> got =
        ReadMail(QStringLiteral("got"), QStringLiteral("subject:to:"), dir.path());
    QVERIFY(got);
    QCOMPARE(got->at(0), subject);  // the subject is never filled in
    QCOMPARE(got->at(1), address);
    QCOMPARE(got->at(2), filled);

    const ResultTable visits =
        folder.rows(QStringLiteral("select 顧客ID,社員,訪問日,名称,内容 from 訪問"), 5);
    QCOMPARE(visits.row_count(), 1);
    QCOMPARE(visits(0, 1), id);
    QCOMPARE(visits(1, 1), QStringLiteral("Email"));
    QCOMPARE(visits(2, 1), QStringLiteral("2026/12/08"));
    QCOMPARE(visits(3, 1), subject);
    QCOMPARE(visits(4, 1), filled);
}

void TestMailServers::failed_send_leaves_no_trace_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("trust_test_ca");
    QTest::addColumn<QString>("reason");  // part of the failure text
    QTest::addColumn<bool>("stops");      // a broadcast stops at once: the server or account is at fault
    const QString secure = env("SALES_TEST_SMTP_SECURE");
    QTest::newRow("refused recipient") << env("SALES_TEST_SMTP_PLAIN") << "refuse-me@example.jp"
                                       << env("SALES_TEST_MAIL_PASSWORD") << true << "550" << false;
    QTest::newRow("server down") << "127.0.0.1:1"
                                 << "x@example.jp" << env("SALES_TEST_MAIL_PASSWORD") << true
                                 << "サーバーに接続できませんでした" << true;
    QTest::newRow("wrong password") << secure << "x@example.jp"
                                    << "wrong" << true << "パスワードが違います" << true;
    QTest::newRow("certificate not trusted")
        << secure << "x@example.jp" << env("SALES_TEST_MAIL_PASSWORD") << false << "暗号化通信" << true;
    QTest::newRow("no address") << env("SALES_TEST_SMTP_PLAIN") << "" << env("SALES_TEST_MAIL_PASSWORD")
                                << true << "宛先のメールアドレス" << false;
}

void TestMailServers::failed_send_leaves_no_trace() {
    QFETCH(QString, server);
    QFETCH(QString, recipient);
    QFETCH(QString, password);
    QFETCH(bool, trust_test_ca);
    QFETCH(QString, reason);
    QFETCH(bool, stops);
    const QByteArray ca = qgetenv("SALES_MAIL_CA_FILE");
    if (!trust_test_ca)
        qunsetenv("SALES_MAIL_CA_FILE");
    TestFolder folder;
    set_account(folder, server, QString(), password);
    add_customer(folder, QStringLiteral("鈴木工業"), recipient, QStringLiteral("鈴木"));
    const QStringList sent = send_broadcast(folder.session(), {QStringLiteral("鈴木工業")},
                                            QStringLiteral("件名"), QStringLiteral("本文"), {})
                                 .sent;
    const SendResult result = send_mail(folder.session(), QStringLiteral("鈴木工業"), QStringLiteral("件名"),
                                        QStringLiteral("本文"));
    qputenv("SALES_MAIL_CA_FILE", ca);
    QVERIFY(result.found);
    QVERIFY(!result.sent);
    QCOMPARE(result.server_unusable, stops);
    QVERIFY2(send_failure_message(result).startsWith(QStringLiteral("mail error 001:")),
             qPrintable(result.failure));
    QVERIFY2(result.failure.contains(reason), qPrintable(result.failure));
    QCOMPARE(sent, QStringList());
    QCOMPARE(folder.count(QStringLiteral("訪問")), 0);
}

void TestMailServers::silent_server_times_out_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("send") << "send";
    QTest::newRow("fetch") << "fetch";
}

// A server that takes the connection and never says a word: the call gives up with a clear text.
void TestMailServers::silent_server_times_out() {
    QFETCH(QString, operation);
    SilentServer silent;
    QVERIFY(silent.port > 0);
    const QString server = QStringLiteral("127.0.0.1:%1").arg(silent.port);
    QElapsedTimer timer;
    timer.start();
    QString failure;
    if (operation == QLatin1String("send")) {
        failure = SendMail(server, QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp"),
                           QStringLiteral("s"), QStringLiteral("b"), QString(), {}, 2);
    } else {
        QTemporaryDir dir;
        QVERIFY(!RcvMail(server, QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("SAVEALLD"),
                         dir.path(), &failure, 2));
    }
    QVERIFY2(failure.startsWith(QStringLiteral("サーバーから 2 秒以内に応答がありませんでした (")),
             qPrintable(failure));
    QVERIFY(timer.elapsed() < 10000);
}

void TestMailServers::fetched_mail_is_registered_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("customer_address");  // empty: the sender is not a customer
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::newRow("ISO-2022-JP, known sender") << "iso2022jp.eml"
                                               << "tanaka@example.jp"
                                               << "見積もり依頼（ボールペン）"
                                               << "お見積もりをお願いします。\n数量は１０個です。\n";
    QTest::newRow("Shift_JIS quoted-printable, known in other case")
        << "shift_jis_qp.eml"
        << "hanako.suzuki@example.jp"
        << "納期の問い合わせ"
        << "納期を教えてください。\n高橋様の件です。\n";
    QTest::newRow("UTF-8 multipart base64, unknown sender") << "utf8_multipart.eml"
                                                            << ""
                                                            << "修理依頼 – 至急"
                                                            << "修理の依頼です。\n型番 AB-100\n";
    QTest::newRow("EUC-JP base64, unknown sender") << "euc_jp_base64.eml"
                                                   << ""
                                                   << "カタログ請求"
                                                   << "カタログを送ってください。\n";
}

void TestMailServers::fetched_mail_is_registered() {
    QFETCH(QString, file);
    QFETCH(QString, customer_address);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    TestFolder folder;
    set_account(folder, QString(), env("SALES_TEST_POP3"), env("SALES_TEST_MAIL_PASSWORD"));
    const QString other =
        add_customer(folder, QStringLiteral("別の客"), QStringLiteral("other@example.jp"), {});
    const QString known = customer_address.isEmpty()
                              ? QString()
                              : add_customer(folder, QStringLiteral("既存客"), customer_address, {});
    drop_into_mailbox(file);

    const FetchResult result = fetch_mail(folder.session());
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    QCOMPARE(result.count, 1);
    const ResultTable rows =
        folder.rows(QStringLiteral("select 顧客ID,社員,名称,内容,状況 from 問い合わせ"), 5);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(2, 1), subject);
    QCOMPARE(rows(3, 1), body);
    if (!known.isEmpty()) {
        QCOMPARE(rows(0, 1), known);
        QCOMPARE(rows(1, 1), QStringLiteral("email"));
        QCOMPARE(result.new_customer_notes, QStringList());
        QCOMPARE(folder.count(QStringLiteral("顧客")), 2);
    } else {
        QCOMPARE(result.new_customer_notes.size(), 1);
        QVERIFY(result.new_customer_notes.at(0).startsWith(QStringLiteral("新しい顧客を　email: ")));
        QCOMPARE(folder.count(QStringLiteral("顧客")), 2);
        QVERIFY(rows(0, 1) != other);
        QCOMPARE(rows(1, 1), QStringLiteral("-"));
        QCOMPARE(rows(4, 1), QStringLiteral("email受付"));
    }
    // The message left the server and stays in the mail folder, registered.
    QString failure;
    const std::optional<QStringList> listing =
        RcvMail(env("SALES_TEST_POP3"), env("SALES_TEST_MAIL_USER"), env("SALES_TEST_MAIL_PASSWORD"),
                QStringLiteral("LIST"), mail_folder(folder.session()), &failure);
    QVERIFY2(listing, qPrintable(failure));
    QCOMPARE(*listing, QStringList());
    QCOMPARE(
        QDir(mail_folder(folder.session()) + QStringLiteral("/registered")).entryList(QDir::Files).size(), 1);
}

void TestMailServers::three_waiting_messages_count_three() {
    TestFolder folder;
    set_account(folder, QString(), env("SALES_TEST_POP3S"), env("SALES_TEST_MAIL_PASSWORD"));
    for (const char* file : {"iso2022jp.eml", "shift_jis_qp.eml", "utf8_html_only.eml"})
        drop_into_mailbox(QString::fromLatin1(file));
    const FetchResult result = fetch_mail(folder.session());
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    QCOMPARE(result.count, 3);
    QCOMPARE(fetch_count_message(result.count), QStringLiteral("メールを　3　件受信しました"));
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 3);
    QCOMPARE(fetch_mail(folder.session()).count, 0);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 3);
}

void TestMailServers::texts_read_back_exactly_data() {
    QTest::addColumn<QString>("text");  // the subject, and twice over the body
    QTest::newRow("Latin-1 only") << "100 × 2 = 200 ± 5°C";
    QTest::newRow("Japanese, Latin-1 signs, beyond the BMP") << "価格 × 2、温度 5°C 🎉 𠮷";
}

void TestMailServers::texts_read_back_exactly() {
    QFETCH(QString, text);
    TestFolder folder;
    set_account(folder, env("SALES_TEST_SMTP_PLAIN"), QString(), QString());
    const QString address = unique_address(QStringLiteral("latin-"));
    add_customer(folder, QStringLiteral("欧州商会"), address, {});
    const QString body = text + QLatin1Char('\n') + text;
    QVERIFY(send_mail(folder.session(), QStringLiteral("欧州商会"), text, body).sent);
    QTemporaryDir dir;
    QFile copy(QDir(dir.path()).filePath(QStringLiteral("got.eml")));
    QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(received_for(address)) > 0);
    copy.close();
    const std::optional<QStringList> got =
        ReadMail(QStringLiteral("got"), QStringLiteral("subject:"), dir.path());
    QVERIFY(got);
    QCOMPARE(*got, (QStringList{text, body}));
}

void TestMailServers::nothing_is_sent_that_cannot_be_recorded_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("visits_refused");  // the database refuses every visit row
    QTest::addColumn<bool>("arrives");
    QTest::addColumn<QString>("reason");  // given in the summary
    QTest::newRow("subject of 256 characters")
        << QString(256, u'件') << "本文" << false << false << "件名は 255 文字以内で入力してください。";
    // 65,534 bytes as typed; 65,547 once the name (24 bytes) replaces the placeholder (11 bytes).
    QTest::newRow("body too long once filled")
        << "件名" << QString(21841, u'あ') + "{顧客名}" << false << false
        << "本文が長すぎます（65535 バイトまで記録できます）。";
    QTest::newRow("visit row refused after the send") << "件名"
                                                      << "本文" << true << true << "記録できません";
}

void TestMailServers::nothing_is_sent_that_cannot_be_recorded() {
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(bool, visits_refused);
    QFETCH(bool, arrives);
    QFETCH(QString, reason);
    TestFolder folder;
    set_account(folder, env("SALES_TEST_SMTP_PLAIN"), QString(), QString());
    const QString address = unique_address(QStringLiteral("long-"));
    const QString name = QStringLiteral("山田商事株式会社");
    add_customer(folder, name, address, QStringLiteral("山田"));
    if (visits_refused)
        folder.exec(
            QStringLiteral("create trigger no_visits before insert on 訪問 begin select raise(abort, "
                           "'記録できません'); end"));
    const BroadcastResult result = send_broadcast(folder.session(), {name}, subject, body, {});
    QCOMPARE(!received_for(address).isEmpty(), arrives);
    QCOMPARE(folder.count(QStringLiteral("訪問")), 0);
    const QString summary = broadcast_summary(result);
    QVERIFY2(summary.startsWith(QStringLiteral("送信したお客様　\r\n") + (arrives ? name : QString())) &&
                 summary.contains((arrives ? QStringLiteral("記録ができなかったお客様　\r\n")
                                           : QStringLiteral("送信できなかったお客様　\r\n")) +
                                  name + QStringLiteral("（")) &&
                 summary.contains(reason),
             qPrintable(summary));
}

void TestMailServers::refused_mail_does_not_block_later_mail_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("stored");  // subject|body as registered; empty: refused
    const QString mark = QStringLiteral("（以下省略）");
    QTest::newRow("subject of 300 characters")
        << "long@example.jp" << QString(300, u'件') << "本文" << QString(249, u'件') + mark + "|本文";
    // 66,000 bytes; 65,517 bytes of it and the mark's 18 fill the column's 65,535.
    QTest::newRow("body over 65,535 bytes")
        << "long@example.jp"
        << "長い本文" << QString(22000, u'あ') << "長い本文|" + QString(21839, u'あ') + mark;
    QTest::newRow("sender address over 255 characters") << QString(260, u'a') + "@example.jp"
                                                        << "長い差出人"
                                                        << "本文" << QString();
}

void TestMailServers::refused_mail_does_not_block_later_mail() {
    QFETCH(QString, from);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, stored);
    TestFolder folder;
    set_account(folder, QString(), env("SALES_TEST_POP3"), env("SALES_TEST_MAIL_PASSWORD"));
    // The mail the database cannot take as it is comes first, an ordinary one after it.
    drop_message(compose_mail(QStringLiteral("sales@example.co.jp"), from, subject, body));
    drop_into_mailbox(QStringLiteral("iso2022jp.eml"));
    const bool refused = stored.isEmpty();
    const FetchResult result = fetch_mail(folder.session());
    QCOMPARE(result.count, refused ? 1 : 2);
    const QStringList notes = refused ? result.refused_notes : result.cut_notes;
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes.at(0).startsWith(QStringLiteral("差出人 ") + from + QStringLiteral("　件名「") +
                                    subject.left(40)),
             qPrintable(notes.at(0)));
    // The whole message stays as its file: waiting when refused, among the registered when cut.
    const QDir kept(mail_folder(folder.session()) + (refused ? QString() : QStringLiteral("/registered")));
    QStringList subjects;
    for (const QString& file : kept.entryList({QStringLiteral("*.eml")}, QDir::Files))
        subjects
            << ReadMail(QFileInfo(file).completeBaseName(), QStringLiteral("subject:"), kept.path())->at(0);
    QVERIFY(subjects.contains(subject));
    QCOMPARE(folder.value(
                 QStringLiteral("select count(*) from 問い合わせ where 名称='見積もり依頼（ボールペン）'")),
             QStringLiteral("1"));
    if (refused)  // tried again at the next fetch, still blocking nothing
        QCOMPARE(fetch_mail(folder.session()).refused_notes.size(), 1);
    else
        QCOMPARE(folder.value(QStringLiteral(
                     "select 名称 || '|' || 内容 from 問い合わせ where 名称<>'見積もり依頼（ボールペン）'")),
                 stored);
}

void TestMailServers::cli_fetch_prints_the_count() {
    TestFolder folder;
    set_account(folder, QString(), env("SALES_TEST_POP3"), env("SALES_TEST_MAIL_PASSWORD"));
    drop_into_mailbox(QStringLiteral("iso2022jp.eml"));
    drop_into_mailbox(QStringLiteral("euc_jp_base64.eml"));
    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(env("SALES_CLI"),
              {QStringLiteral("--as-of"), QStringLiteral("2026/12/08"), QStringLiteral("fetch-mail")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), QStringLiteral("2"));
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 2);
    QCOMPARE(folder.value(QStringLiteral("select min(受付日) from 問い合わせ")),
             QStringLiteral("2026/12/08"));
}

QTEST_GUILESS_MAIN(TestMailServers)
#include "test_mail.moc"
