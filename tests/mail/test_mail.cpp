#include <QDir>
#include <QFile>
#include <QtTest>

#include "db/dialect.h"
#include "mail/bsmtp.h"
#include "mail/fetch_mail.h"
#include "mail/send_mail.h"
#include "test_folder.h"

namespace {

QString fixture(const QString& name) {
    return QDir(qEnvironmentVariable("SALES_TEST_DATA")).filePath(QStringLiteral("mail/") + name);
}

// Puts a fixture into the mail folder as a stored, not yet registered message.
void store(const QString& folder, const QString& file, const QString& id) {
    QDir().mkpath(folder);
    QFile::remove(QDir(folder).filePath(id + QStringLiteral(".eml")));
    QVERIFY(QFile::copy(fixture(file), QDir(folder).filePath(id + QStringLiteral(".eml"))));
}

// Stores a fixture with some of its text replaced, as another message.
void store_edited(const QString& folder, const QString& file, const QString& id,
                  const QList<QPair<QByteArray, QByteArray>>& replacements) {
    QFile in(fixture(file));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray bytes = in.readAll();
    for (const auto& [from, to] : replacements)
        bytes.replace(from, to);
    QDir().mkpath(folder);
    QFile out(QDir(folder).filePath(id + QStringLiteral(".eml")));
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
}

QString unfold(QByteArray header_block) {
    return QString::fromLatin1(header_block.replace("\r\n ", " "));
}

}  // namespace

class TestMail : public QObject {
    Q_OBJECT
private slots:
    void reads_japanese_encodings_data();
    void reads_japanese_encodings();
    void server_field_data();
    void server_field();
    void sender_address_data();
    void sender_address();
    void encoded_word_runs_data();
    void encoded_word_runs();
    void composed_mail_is_one_utf8_message_data();
    void composed_mail_is_one_utf8_message();
    void placeholders_data();
    void placeholders();
    void registers_by_address_data();
    void registers_by_address();
    void several_mails_of_a_new_sender_make_one_customer();
    void new_customer_stands_or_falls_with_its_inquiry();
    void fetch_registers_every_stored_message_once_data();
    void fetch_registers_every_stored_message_once();
    void bad_recipient_is_refused_before_connecting_data();
    void bad_recipient_is_refused_before_connecting();
    void the_same_mail_is_registered_once_data();
    void the_same_mail_is_registered_once();
    void unreadable_mail_is_named_and_set_aside_data();
    void unreadable_mail_is_named_and_set_aside();
    void journal_stays_until_the_database_has_answered();
};

void TestMail::reads_japanese_encodings_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("body");
    QTest::newRow("ISO-2022-JP 7bit") << "iso2022jp.eml"
                                      << "見積もり依頼（ボールペン）"
                                      << "田中 一郎 <tanaka@example.jp>"
                                      << "お見積もりをお願いします。\n数量は１０個です。\n";
    QTest::newRow("Shift_JIS quoted-printable") << "shift_jis_qp.eml"
                                                << "納期の問い合わせ"
                                                << "鈴木 花子 <Hanako.Suzuki@Example.JP>"
                                                << "納期を教えてください。\n高橋様の件です。\n";
    QTest::newRow("EUC-JP base64") << "euc_jp_base64.eml"
                                   << "カタログ請求"
                                   << "佐々木 <sasaki@example.jp>"
                                   << "カタログを送ってください。\n";
    QTest::newRow("UTF-8 multipart, plain part, attachment skipped") << "utf8_multipart.eml"
                                                                     << "修理依頼 – 至急"
                                                                     << "山本 <yamamoto@example.jp>"
                                                                     << "修理の依頼です。\n型番 AB-100\n";
    QTest::newRow("raw ISO-2022-JP headers") << "iso2022jp_raw_header.eml"
                                             << "見積もりのお願い"
                                             << "加藤 <kato@example.jp>"
                                             << "よろしくお願いします。\n";
    QTest::newRow("raw Shift_JIS headers, 8bit body") << "shift_jis_raw_header.eml"
                                                      << "価格表の送付"
                                                      << "伊藤 <ito@example.jp>"
                                                      << "価格表をください。\n";
    QTest::newRow("UTF-8 html only") << "utf8_html_only.eml"
                                     << "在庫確認"
                                     << "stock@example.jp"
                                     << "在庫はありますか？\nA & B 社";
}

void TestMail::reads_japanese_encodings() {
    QFETCH(QString, file);
    QFETCH(QString, subject);
    QFETCH(QString, from);
    QFETCH(QString, body);
    QTemporaryDir dir;
    store(dir.path(), file, QStringLiteral("m1"));
    const std::optional<QStringList> fields =
        ReadMail(QStringLiteral("m1"), QStringLiteral("subject:from:"), dir.path());
    QVERIFY(fields);
    QCOMPARE(fields->size(), 3);
    QCOMPARE(fields->at(0), subject);
    QCOMPARE(fields->at(1), from);
    QCOMPARE(fields->at(2), body);
}

void TestMail::server_field_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("url");  // empty: refused
    QTest::newRow("host") << "mail.example.jp"
                          << "smtp"
                          << "smtp://mail.example.jp/";
    QTest::newRow("host:port") << "mail.example.jp:587"
                               << "smtp"
                               << "smtp://mail.example.jp:587/";
    QTest::newRow("smtps url") << "smtps://mail.example.jp:465"
                               << "smtp"
                               << "smtps://mail.example.jp:465/";
    QTest::newRow("scheme in capitals") << "SMTP://mail.example.jp/"
                                        << "smtp"
                                        << "smtp://mail.example.jp/";
    QTest::newRow("pop3 host") << " pop.example.jp "
                               << "pop3"
                               << "pop3://pop.example.jp/";
    QTest::newRow("pop3s url") << "pop3s://pop.example.jp"
                               << "pop3"
                               << "pop3s://pop.example.jp/";
    QTest::newRow("pop3 url for smtp") << "pop3://pop.example.jp"
                                       << "smtp"
                                       << "";
    QTest::newRow("other scheme") << "http://mail.example.jp"
                                  << "smtp"
                                  << "";
    QTest::newRow("empty") << ""
                           << "smtp"
                           << "";
    QTest::newRow("blank inside") << "mail example.jp"
                                  << "smtp"
                                  << "";
    QTest::newRow("path") << "smtp://mail.example.jp/x"
                          << "smtp"
                          << "";
    QTest::newRow("user in url") << "smtp://me@mail.example.jp"
                                 << "smtp"
                                 << "";
    QTest::newRow("port not a number") << "mail.example.jp:abc"
                                       << "smtp"
                                       << "";
}

void TestMail::server_field() {
    QFETCH(QString, field);
    QFETCH(QString, scheme);
    QFETCH(QString, url);
    const MailServerUrl result = mail_server_url(field, scheme);
    QCOMPARE(result.url, url);
    QCOMPARE(result.failure.isEmpty(), !url.isEmpty());
}

void TestMail::sender_address_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("address");
    QTest::newRow("name and address") << "山田 太郎 <yamada@example.jp>"
                                      << "yamada@example.jp";
    QTest::newRow("bare address") << "yamada@example.jp"
                                  << "yamada@example.jp";
    QTest::newRow("< without >") << "山田 <yamada@example.jp"
                                 << "山田 <yamada@example.jp";
    QTest::newRow("> before <") << "a> b <c@example.jp>"
                                << "c@example.jp";
}

void TestMail::sender_address() {
    QFETCH(QString, from);
    QFETCH(QString, address);
    QCOMPARE(::sender_address(from), address);
}

void TestMail::encoded_word_runs_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("subject");
    QTest::newRow("padded word, then more") << QByteArray("=?UTF-8?B?VFI=?= =?UTF-8?B?VVNU?=") << "TRUST";
    QTest::newRow("folded, charset case differs")
        << QByteArray("=?utf-8?B?VA==?=\r\n =?UTF-8?b?VVNU?=") << "TUST";
    QTest::newRow("character cut between words") << QByteArray("=?UTF-8?B?44E=?= =?UTF-8?B?gg==?=") << "あ";
    QTest::newRow("text between runs kept")
        << QByteArray("A =?UTF-8?B?VA==?= B =?UTF-8?B?VQ==?= C") << "A T B U C";
    QTest::newRow("other charsets apart")
        << QByteArray("=?ISO-2022-JP?B?GyRCJCIbKEI=?= =?UTF-8?B?VVNU?=") << "あUST";
}

// A subject that other mailers split into base64 words with padding reads back whole.
void TestMail::encoded_word_runs() {
    QFETCH(QByteArray, header);
    QFETCH(QString, subject);
    QTemporaryDir dir;
    QFile file(QDir(dir.path()).filePath(QStringLiteral("m1.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("From: a@example.jp\r\nSubject: " + header + "\r\nMIME-Version: 1.0\r\n\r\nbody\r\n");
    file.close();
    const std::optional<QStringList> back =
        ReadMail(QStringLiteral("m1"), QStringLiteral("subject:"), dir.path());
    QVERIFY(back);
    QCOMPARE(back->at(0), subject);
}

void TestMail::composed_mail_is_one_utf8_message_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::newRow("japanese") << "新商品のご案内"
                              << "山田様\r\nいつもお世話になっております。";
    QTest::newRow("line breaks in subject") << "ご案内\r\nBcc: victim@example.jp"
                                            << "本文\n二行目";
    QTest::newRow("long subject, gmime pads a middle word")
        << QString(QStringLiteral("件名")).repeated(59) + "件TRUST_NEVER名"
        << "本文";
    QTest::newRow("latin-1 characters only in the body") << "温度 100 × 2"
                                                         << "100 × 2 = 200 ± 5°C";
    QTest::newRow("ascii that looks encoded") << "Re: =?utf-8?q?x?= " + QString(60, u'z') + " ?="
                                              << "=?utf-8?q?x?=";
}

// The message must parse back to the same subject and body, and a line break in the subject must not
// open a header of its own.
void TestMail::composed_mail_is_one_utf8_message() {
    QFETCH(QString, subject);
    QFETCH(QString, body);
    const QByteArray wire =
        compose_mail(QStringLiteral("to@example.jp"), QStringLiteral("from@example.jp"), subject, body);
    const qsizetype end = wire.indexOf("\r\n\r\n");
    QVERIFY(end > 0);
    const QString headers = unfold(wire.left(end));
    for (const char* name :
         {"Date: ", "Message-Id: ", "MIME-Version: 1.0", "Content-Type: text/plain; charset=utf-8",
          "Subject: =?utf-8?", "From: from@example.jp", "To: to@example.jp"})
        QVERIFY2(headers.contains(QLatin1String(name), Qt::CaseInsensitive), name);
    QVERIFY(!headers.contains(QStringLiteral("\r\nBcc:"), Qt::CaseInsensitive));
    for (const char c : wire.left(end))
        QVERIFY(uchar(c) < 0x80);  // headers are 7-bit

    QTemporaryDir dir;
    QFile file(QDir(dir.path()).filePath(QStringLiteral("x.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wire);
    file.close();
    const std::optional<QStringList> back =
        ReadMail(QStringLiteral("x"), QStringLiteral("subject:"), dir.path());
    QVERIFY(back);
    QString one_line = subject;
    one_line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    QCOMPARE(back->at(0), one_line);
    QString lf = body;
    QCOMPARE(back->at(1), lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TestMail::placeholders_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("filled");
    QTest::newRow("both, name twice") << "{顧客名}様 {担当者}様 {顧客名}"
                                      << "山田商事様 鈴木様 山田商事";
    QTest::newRow("none") << "こんにちは"
                          << "こんにちは";
    QTest::newRow("not case-folded") << "{顧客名 }"
                                     << "{顧客名 }";
}

void TestMail::placeholders() {
    QFETCH(QString, body);
    QFETCH(QString, filled);
    QCOMPARE(fill_placeholders(body, QStringLiteral("山田商事"), QStringLiteral("鈴木")), filled);
}

void TestMail::registers_by_address_data() {
    QTest::addColumn<QStringList>("addresses");  // customers' Email, keys in this order
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("customer");  // index into addresses; -1: a new customer
    QTest::newRow("known, display name")
        << QStringList{"a@example.jp", "b@example.jp"} << "B <b@example.jp>" << 1;
    QTest::newRow("known, other letter case") << QStringList{"Sato@Example.JP"} << "sato@example.jp" << 0;
    QTest::newRow("two customers share it: lowest key")
        << QStringList{"x@example.jp", "shared@example.jp", "SHARED@example.jp"} << "shared@example.jp" << 1;
    QTest::newRow("unknown") << QStringList{"a@example.jp"} << "新規 <new@example.jp>" << -1;
    QTest::newRow("quote in address") << QStringList{"o'brien@example.jp"} << "o'brien@example.jp" << 0;
}

void TestMail::registers_by_address() {
    QFETCH(QStringList, addresses);
    QFETCH(QString, from);
    QFETCH(int, customer);
    TestFolder folder;
    QStringList keys;
    for (const QString& a : addresses) {
        keys << folder.add_customer(QStringLiteral("客") + a, QStringLiteral("きゃく"));
        folder.exec(QStringLiteral("update 顧客 set Email=%1 where 顧客ID=%2").arg(sql_text(a), keys.last()));
    }
    const int before = folder.count(QStringLiteral("顧客"));
    const Registration r =
        register_mail(folder.session(), QStringLiteral("件名's"), from, QStringLiteral("本文"));
    QCOMPARE(r.new_customer, customer < 0);
    const ResultTable rows =
        folder.rows(QStringLiteral("select 顧客ID,社員,受付日,名称,内容,状況 from 問い合わせ"), 6);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(2, 1), QStringLiteral("2026/12/08"));
    QCOMPARE(rows(3, 1), QStringLiteral("件名's"));
    QCOMPARE(rows(4, 1), QStringLiteral("本文"));
    if (customer >= 0) {
        QCOMPARE(folder.count(QStringLiteral("顧客")), before);
        QCOMPARE(rows(0, 1), keys.at(customer));
        QCOMPARE(rows(1, 1), QStringLiteral("email"));
    } else {
        QCOMPARE(folder.count(QStringLiteral("顧客")), before + 1);
        QCOMPARE(rows(0, 1), r.customer_id);
        QCOMPARE(rows(1, 1), QStringLiteral("-"));
        QCOMPARE(rows(5, 1), QStringLiteral("email受付"));
        QCOMPARE(folder.value(QStringLiteral("select Email from 顧客 where 顧客ID=") + r.customer_id),
                 QStringLiteral("new@example.jp"));
        QCOMPARE(folder.value(QStringLiteral("select 顧客名 from 顧客 where 顧客ID=") + r.customer_id),
                 QStringLiteral("-"));
    }
}

void TestMail::several_mails_of_a_new_sender_make_one_customer() {
    TestFolder folder;
    const QString folder_path = mail_folder(folder.session());
    store(folder_path, QStringLiteral("iso2022jp.eml"), QStringLiteral("a1"));
    // A second mail of the same sender (its own Message-ID).
    store_edited(folder_path, QStringLiteral("iso2022jp.eml"), QStringLiteral("a2"),
                 {{"<iso2022jp.eml@example.jp>", "<second@example.jp>"}});
    // No POP3 server configured: the messages already stored are registered all the same.
    const FetchResult result = fetch_mail(folder.session());
    QVERIFY(!result.failure.isEmpty());
    QCOMPARE(result.count, 2);
    QCOMPARE(result.new_customer_notes, QStringList{"新しい顧客を　email: tanaka@example.jp で登録しました"});
    QCOMPARE(folder.count(QStringLiteral("顧客")), 1);
    QCOMPARE(folder.value(QStringLiteral("select count(*) from 問い合わせ where 社員='-'")),
             QStringLiteral("1"));
    QCOMPARE(folder.value(QStringLiteral("select count(*) from 問い合わせ where 社員='email'")),
             QStringLiteral("1"));
}

// When the inquiry cannot be stored, no customer without an inquiry is left behind.
void TestMail::new_customer_stands_or_falls_with_its_inquiry() {
    TestFolder folder;
    folder.exec(QStringLiteral("drop table 問い合わせ"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             register_mail(folder.session(), QStringLiteral("件名"),
                                           QStringLiteral("new@example.jp"), QStringLiteral("本文")));
    QCOMPARE(folder.count(QStringLiteral("顧客")), 0);
}

void TestMail::fetch_registers_every_stored_message_once_data() {
    QTest::addColumn<QString>("stop");  // where an earlier run stopped
    QTest::addColumn<int>("count");     // registered by this run
    QTest::newRow("after storing, before registering") << "stored" << 2;
    QTest::newRow("after registering, before noting it") << "registered" << 1;
    QTest::newRow("while registering, before the commit") << "journal" << 2;
}

void TestMail::fetch_registers_every_stored_message_once() {
    QFETCH(QString, stop);
    QFETCH(int, count);
    TestFolder folder;
    const QString path = mail_folder(folder.session());
    store(path, QStringLiteral("shift_jis_qp.eml"), QStringLiteral("s1"));
    store(path, QStringLiteral("euc_jp_base64.eml"), QStringLiteral("e1"));
    if (stop != QLatin1String("stored")) {
        // The journal an interrupted registration of s1 left behind, with the largest key before it.
        QFile journal(QDir(path).filePath(QStringLiteral("s1.registering")));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write("0");
        journal.close();
    }
    if (stop == QLatin1String("registered"))
        register_mail(folder.session(), QStringLiteral("納期の問い合わせ"), QStringLiteral("h@example.jp"),
                      QStringLiteral("納期を教えてください。\n高橋様の件です。\n"));
    const FetchResult result = fetch_mail(folder.session());
    QCOMPARE(result.count, count);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 2);
    QCOMPARE(waiting_mail(path), QStringList());
    QVERIFY(!QFile::exists(QDir(path).filePath(QStringLiteral("s1.registering"))));
    // Nothing is left to register the second time.
    QCOMPARE(fetch_mail(folder.session()).count, 0);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 2);
}

void TestMail::bad_recipient_is_refused_before_connecting_data() {
    QTest::addColumn<QString>("to");
    QTest::newRow("empty") << "";
    QTest::newRow("NULL column") << "-";
    QTest::newRow("line break") << "a@example.jp\r\nRCPT TO:<b@example.jp>";
    QTest::newRow("two addresses") << "a@example.jp, b@example.jp";
}

// Port 9 of 127.0.0.1 has no listener: a send that got as far as connecting would fail differently.
void TestMail::bad_recipient_is_refused_before_connecting() {
    QFETCH(QString, to);
    const QString failure = SendMail(QStringLiteral("127.0.0.1:9"), to, QStringLiteral("me@example.jp"),
                                     QStringLiteral("件名"), QStringLiteral("本文"), QString());
    QVERIFY2(failure.startsWith(QStringLiteral("宛先のメールアドレスが正しくありません")),
             qPrintable(failure));
}

void TestMail::the_same_mail_is_registered_once_data() {
    QTest::addColumn<QByteArray>("second_from");  // replacements that make the second copy
    QTest::addColumn<QByteArray>("second_to");
    QTest::addColumn<bool>("drop_message_id");  // both copies lack a Message-ID
    QTest::addColumn<int>("count");
    QTest::newRow("same message twice (a folder fetched anew)") << QByteArray() << QByteArray() << false << 1;
    QTest::newRow("another Message-ID")
        << QByteArray("<iso2022jp.eml@example.jp>") << QByteArray("<other@example.jp>") << false << 2;
    QTest::newRow("no Message-ID, same text") << QByteArray() << QByteArray() << true << 1;
    // Without a Message-ID the body tells two mails of one minute apart.
    QTest::newRow("no Message-ID, another body") << QByteArray("\x1b$B?tNL$O#1#08D$G$9!#\x1b(B")
                                                 << QByteArray("\x1b$B?tNL$O#2#08D$G$9!#\x1b(B") << true << 2;
}

// The same mail stored twice (under two names, as after an IMAP folder was made anew or another PC
// fetched it) makes one inquiry; the second copy is moved among the registered without a word.
void TestMail::the_same_mail_is_registered_once() {
    QFETCH(QByteArray, second_from);
    QFETCH(QByteArray, second_to);
    QFETCH(bool, drop_message_id);
    QFETCH(int, count);
    TestFolder folder;
    const QString path = mail_folder(folder.session());
    QList<QPair<QByteArray, QByteArray>> base;
    if (drop_message_id)
        base << qMakePair(QByteArray("Message-ID: <iso2022jp.eml@example.jp>\r\n"), QByteArray());
    store_edited(path, QStringLiteral("iso2022jp.eml"), QStringLiteral("first"), base);
    QCOMPARE(fetch_mail(folder.session()).count, 1);
    QList<QPair<QByteArray, QByteArray>> second = base;
    if (!second_from.isEmpty())
        second << qMakePair(second_from, second_to);
    store_edited(path, QStringLiteral("iso2022jp.eml"), QStringLiteral("imap-2-1"), second);
    const FetchResult result = fetch_mail(folder.session());
    QCOMPARE(result.count, count - 1);
    QCOMPARE(result.refused_notes, QStringList());
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), count);
    QCOMPARE(waiting_mail(path), QStringList());
}

void TestMail::unreadable_mail_is_named_and_set_aside_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("NUL bytes only") << QByteArray(64, '\0');
}

// A stored message that does not parse is named with its file and moved to mail/unreadable/, so the
// next fetch neither tries it again nor stays silent; the mail after it is registered.
void TestMail::unreadable_mail_is_named_and_set_aside() {
    QFETCH(QByteArray, content);
    TestFolder folder;
    const QString path = mail_folder(folder.session());
    QDir().mkpath(path);
    QFile broken(QDir(path).filePath(QStringLiteral("broken1.eml")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(content);
    broken.close();
    store(path, QStringLiteral("shift_jis_qp.eml"), QStringLiteral("good1"));
    const FetchResult result = fetch_mail(folder.session());
    QCOMPARE(result.count, 1);
    QCOMPARE(result.unreadable_notes, QStringList{"mail/unreadable/broken1.eml"});
    const QStringList shown = fetch_messages(result);
    QVERIFY2(shown.last().contains(QStringLiteral("読み取れないため")) &&
                 shown.last().endsWith(QStringLiteral("mail/unreadable/broken1.eml")),
             qPrintable(shown.join(u'|')));
    QVERIFY(QFile::exists(QDir(path).filePath(QStringLiteral("unreadable/broken1.eml"))));
    QCOMPARE(waiting_mail(path), QStringList());
    const FetchResult again = fetch_mail(folder.session());
    QCOMPARE(again.unreadable_notes, QStringList());
    QCOMPARE(again.count, 0);
}

// A journal is the only evidence that an earlier run's registration committed. A database error
// while it is being checked must leave it for the next fetch, which then registers nothing twice.
void TestMail::journal_stays_until_the_database_has_answered() {
    TestFolder folder;
    const QString path = mail_folder(folder.session());
    store(path, QStringLiteral("shift_jis_qp.eml"), QStringLiteral("s1"));
    // The earlier run: registered and committed, stopped before noting it (key 1 in the journal).
    register_mail(folder.session(), QStringLiteral("納期の問い合わせ"), QStringLiteral("h@example.jp"),
                  QStringLiteral("納期を教えてください。\n高橋様の件です。\n"));
    QFile journal(QDir(path).filePath(QStringLiteral("s1.registering")));
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write(folder.value(QStringLiteral("select max(問い合わせID) from 問い合わせ")).toUtf8());
    journal.close();
    // The connection fails while the journal is checked.
    folder.exec(QStringLiteral("alter table 問い合わせ rename to 問い合わせ_away"));
    const FetchResult failed = fetch_mail(folder.session());
    QCOMPARE(failed.count, 0);
    QCOMPARE(failed.refused_notes.size(), 1);
    QVERIFY(QFile::exists(journal.fileName()));
    QCOMPARE(waiting_mail(path), QStringList{"s1"});
    folder.exec(QStringLiteral("alter table 問い合わせ_away rename to 問い合わせ"));
    QCOMPARE(fetch_mail(folder.session()).count, 0);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 1);
    QVERIFY(!QFile::exists(journal.fileName()));
    QCOMPARE(waiting_mail(path), QStringList());
}

QTEST_GUILESS_MAIN(TestMail)
#include "test_mail.moc"
