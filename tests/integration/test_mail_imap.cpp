#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUuid>
#include <QtTest>

#include "db/dialect.h"
#include "db/program_settings.h"
#include "mail/bsmtp.h"
#include "mail/fetch_mail.h"
#include "mail/mail_settings.h"
#include "mail/send_mail.h"
#include "test_folder.h"
#include "mail_servers_env.h"

// Fetching inquiries from an IMAP folder of the test dovecot (tests/integration/mail_servers.sh), the
// folders arranged and read back with Python's imaplib (imap_tool.py), not with the program's code.
class TestMailImap : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void new_mail_is_registered_once_data();
    void new_mail_is_registered_once();
    void registered_mail_is_marked_moved_or_deleted_data();
    void registered_mail_is_marked_moved_or_deleted();
    void killed_fetch_registers_each_mail_once_data();
    void killed_fetch_registers_each_mail_once();
    void folder_made_anew_registers_nothing_twice();

private:
    QString env(const char* name) const { return qEnvironmentVariable(name); }
    // Runs imap_tool.py; its output lines.
    QStringList imap(const QStringList& arguments);
    // A new folder of a name of its own (prefix first), empty.
    QString new_folder(const QString& prefix);
    // Writes message n (its own Message-ID, sender and subject) and returns the file.
    QString message_file(int n, const QString& tag);
    void append(const QString& folder, int first, int last, const QString& tag);
    void configure(TestFolder& folder, const QString& server, const QString& box, AfterFetch after,
                   const QString& move_to = {});
    // "uid flags" per message; the first line is the folder's UIDVALIDITY ("missing" if none).
    QStringList listing(const QString& box) { return imap({QStringLiteral("list"), box}); }
    QString watermark(TestFolder& folder);

    QTemporaryDir m_files;
};

void TestMailImap::initTestCase() {
    SALES_REQUIRE_MAIL_SERVERS("SALES_TEST_IMAP");
}

QStringList TestMailImap::imap(const QStringList& arguments) {
    QProcess tool;
    tool.start(
        QStringLiteral("/usr/bin/python3"),
        QStringList{QDir(env("SALES_TEST_DATA")).filePath(QStringLiteral("../integration/imap_tool.py"))} +
            arguments);
    [&] {
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    }();
    return QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString TestMailImap::new_folder(const QString& prefix) {
    const QString name = prefix + QUuid::createUuid().toString(QUuid::Id128).left(8);
    imap({QStringLiteral("create"), name});
    return name;
}

QString TestMailImap::message_file(int n, const QString& tag) {
    const QString path = m_files.filePath(QStringLiteral("%1-%2.eml").arg(tag).arg(n));
    const QByteArray subject = QStringLiteral("在庫の問い合わせ %1").arg(n).toUtf8().toBase64();
    const QByteArray text = "From: =?UTF-8?B?" + QStringLiteral("顧客%1").arg(n).toUtf8().toBase64() +
                            "?= <kunde" + QByteArray::number(n) +
                            "@example.jp>\r\n"
                            "To: info@example.co.jp\r\n"
                            "Subject: =?UTF-8?B?" +
                            subject +
                            "?=\r\n"
                            "Date: Tue, 08 Dec 2026 09:00:00 +0900\r\n"
                            "Message-ID: <" +
                            tag.toUtf8() + "-" + QByteArray::number(n) +
                            "@example.jp>\r\n"
                            "MIME-Version: 1.0\r\n"
                            "Content-Type: text/plain; charset=UTF-8\r\n"
                            "Content-Transfer-Encoding: 8bit\r\n\r\n" +
                            QStringLiteral("在庫はありますか。%1\r\n").arg(n).toUtf8();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

void TestMailImap::append(const QString& folder, int first, int last, const QString& tag) {
    QStringList arguments{QStringLiteral("append"), folder};
    for (int n = first; n <= last; ++n)
        arguments << message_file(n, tag);
    imap(arguments);
}

void TestMailImap::configure(TestFolder& folder, const QString& server, const QString& box, AfterFetch after,
                             const QString& move_to) {
    folder.exec(QStringLiteral("update 自社情報 set pop='', userid=%1, [password]=%2, [smtp]=''")
                    .arg(sql_text(env("SALES_TEST_MAIL_USER")), sql_text(env("SALES_TEST_MAIL_PASSWORD"))));
    folder.reload();
    MailSettings s;
    s.protocol = FetchProtocol::Imap;
    s.imap_server = server;
    s.imap_folder = box;
    s.after = after;
    s.move_to = move_to;
    QCOMPARE(check_mail_settings(s), QString());
    save_mail_settings(folder.db(), s);
}

QString TestMailImap::watermark(TestFolder& folder) {
    const QMap<QString, QString> kept = program_settings(folder.db(), QStringLiteral("mail.imap.state."));
    return kept.size() == 1 ? kept.first() : QStringLiteral("%1 entries").arg(kept.size());
}

void TestMailImap::new_mail_is_registered_once_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("prefix");  // of the folder's name
    QTest::newRow("imap:// with STARTTLS") << env("SALES_TEST_IMAP") << "Inquiries";
    QTest::newRow("imaps://, a Japanese folder name") << env("SALES_TEST_IMAPS") << "問い合わせ";
}

// Three mails are registered and marked seen; the next fetch finds nothing new; a fourth mail is
// the only one the fetch after it registers. The watermark follows the folder's UIDs.
void TestMailImap::new_mail_is_registered_once() {
    QFETCH(QString, server);
    QFETCH(QString, prefix);
    const QString box = new_folder(prefix);
    append(box, 1, 3, QStringLiteral("once"));
    TestFolder folder;
    configure(folder, server, box, AfterFetch::MarkSeen);
    FetchResult result = fetch_mail(folder.session());
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    QCOMPARE(result.count, 3);
    QStringList server_state = listing(box);
    const QString uidvalidity = server_state.takeFirst();
    QCOMPARE(server_state, (QStringList{"1 \\Seen", "2 \\Seen", "3 \\Seen"}));
    QCOMPARE(watermark(folder), uidvalidity + QStringLiteral(" 4"));
    QCOMPARE(fetch_mail(folder.session()).count, 0);
    append(box, 4, 4, QStringLiteral("once"));
    result = fetch_mail(folder.session());
    QCOMPARE(result.count, 1);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 4);
    QCOMPARE(folder.value(QStringLiteral(
                 "select 名称 from 問い合わせ where 問い合わせID=(select max(問い合わせID) from "
                 "問い合わせ)")),
             QStringLiteral("在庫の問い合わせ 4"));
    QCOMPARE(watermark(folder), uidvalidity + QStringLiteral(" 5"));
    imap({QStringLiteral("delete"), box});
}

void TestMailImap::registered_mail_is_marked_moved_or_deleted_data() {
    QTest::addColumn<int>("after");
    QTest::addColumn<QStringList>("left");   // the folder's messages afterwards
    QTest::addColumn<QStringList>("moved");  // the target folder's
    QTest::newRow("marked seen") << int(AfterFetch::MarkSeen) << QStringList{"1 \\Seen", "2 \\Seen"}
                                 << QStringList();
    QTest::newRow("moved") << int(AfterFetch::Move) << QStringList() << QStringList{"1 \\Seen", "2 \\Seen"};
    QTest::newRow("deleted") << int(AfterFetch::Delete) << QStringList() << QStringList();
}

void TestMailImap::registered_mail_is_marked_moved_or_deleted() {
    QFETCH(int, after);
    QFETCH(QStringList, left);
    QFETCH(QStringList, moved);
    const QString box = new_folder(QStringLiteral("After"));
    const QString target = new_folder(QStringLiteral("処理済み"));
    append(box, 1, 2, QStringLiteral("after"));
    TestFolder folder;
    configure(folder, env("SALES_TEST_IMAP"), box, AfterFetch(after), target);
    const FetchResult result = fetch_mail(folder.session());
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    QCOMPARE(result.count, 2);
    QCOMPARE(listing(box).mid(1), left);
    QCOMPARE(listing(target).mid(1), moved);
    QCOMPARE(fetch_mail(folder.session()).count, 0);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 2);
    imap({QStringLiteral("delete"), box});
    imap({QStringLiteral("delete"), target});
}

void TestMailImap::killed_fetch_registers_each_mail_once_data() {
    QTest::addColumn<QString>("point");
    QTest::addColumn<int>("n");
    QTest::newRow("killed after storing two of five") << "stored" << 2;
    QTest::newRow("killed after registering two, before noting the second") << "registered" << 2;
    QTest::newRow("killed after registering all, before the server and the watermark") << "registered" << 5;
}

// kill -9 at a point of the fetch in a process of its own, then sales-cli fetch-mail: every mail is
// an inquiry exactly once, and the server and the watermark end as after an uninterrupted fetch.
void TestMailImap::killed_fetch_registers_each_mail_once() {
    QFETCH(QString, point);
    QFETCH(int, n);
    const QString box = new_folder(QStringLiteral("Killed"));
    append(box, 1, 5, QStringLiteral("killed"));
    TestFolder folder;
    configure(folder, env("SALES_TEST_IMAP"), box, AfterFetch::Delete);
    QProcess stopped;
    stopped.start(env("SALES_FETCH_UNTIL_KILLED"), {folder.path(), point, QString::number(n)});
    QVERIFY(stopped.waitForFinished(60000));
    QCOMPARE(stopped.exitStatus(), QProcess::CrashExit);  // killed, not finished
    QCOMPARE(listing(box).size() - 1, 5);                 // nothing deleted on the server yet

    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(env("SALES_CLI"), {QStringLiteral("fetch-mail")});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed().toInt(),
             point == QLatin1String("stored") ? 5 : 5 - n);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(folder.value(QStringLiteral("select count(*) from 問い合わせ where 名称=%1")
                                  .arg(sql_text(QStringLiteral("在庫の問い合わせ %1").arg(i)))),
                 QStringLiteral("1"));
    QCOMPARE(listing(box).mid(1), QStringList());
    const QString path = mail_folder(folder.session());
    QCOMPARE(waiting_mail(path), QStringList());
    QCOMPARE(QDir(path).entryList({QStringLiteral("*.registering")}, QDir::Files), QStringList());
    QVERIFY(watermark(folder).endsWith(QStringLiteral(" 6")));
    imap({QStringLiteral("delete"), box});
}

// The folder deleted and made again (a new UIDVALIDITY) with the old mails in it and one new: only
// the new one becomes an inquiry; the watermark moves to the new UIDVALIDITY.
void TestMailImap::folder_made_anew_registers_nothing_twice() {
    const QString box = new_folder(QStringLiteral("Anew"));
    append(box, 1, 2, QStringLiteral("anew"));
    TestFolder folder;
    configure(folder, env("SALES_TEST_IMAP"), box, AfterFetch::MarkSeen);
    QCOMPARE(fetch_mail(folder.session()).count, 2);
    const QString before = watermark(folder);
    imap({QStringLiteral("create"), box});  // removes and makes it again
    append(box, 1, 3, QStringLiteral("anew"));
    const QString uidvalidity = listing(box).first();
    QVERIFY(!before.startsWith(uidvalidity + QLatin1Char(' ')));
    const FetchResult result = fetch_mail(folder.session());
    QVERIFY2(result.failure.isEmpty(), qPrintable(result.failure));
    QCOMPARE(result.count, 1);
    QCOMPARE(result.new_customer_notes.size(), 1);
    QCOMPARE(folder.count(QStringLiteral("問い合わせ")), 3);
    QCOMPARE(watermark(folder), uidvalidity + QStringLiteral(" 4"));
    QCOMPARE(listing(box).mid(1), (QStringList{"1 \\Seen", "2 \\Seen", "3 \\Seen"}));
    imap({QStringLiteral("delete"), box});
}

QTEST_GUILESS_MAIN(TestMailImap)
#include "test_mail_imap.moc"
