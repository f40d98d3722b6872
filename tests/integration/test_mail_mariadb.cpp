// Mail intake on a MariaDB back-end (tests/integration/mariadb_server.sh, started by ./test.sh):
// sender addresses match customers regardless of letter case, the lowest key wins, and the new
// customer and its inquiry stand together; two PCs fetching one IMAP folder at once register each
// mail once, and mail of one new sender taken in by two PCs at once makes one customer. Works in a database of its own, so it can run beside the MariaDB test, which recreates
// the data source's database.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/session.h"
#include "db/dialect.h"
#include "db/schema.h"
#include "mail/fetch_mail.h"
#include "mail/mail_settings.h"
#include "masters/company_settings.h"
#include "mysql_dsn.h"
#include "mysql_scratch.h"
#include "mail_servers_env.h"

class TestMailMariaDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void registers_by_address_data();
    void registers_by_address();
    void two_pcs_fetch_one_imap_folder_at_once();
    void two_pcs_register_one_new_sender_at_once();

private:
    QString m_dsn;
    QString m_database;
    QTemporaryDir m_folder;
    std::unique_ptr<Database> m_admin;
    Session m_session;
};

void TestMailMariaDb::initTestCase() {
    SALES_REQUIRE_MYSQL_DSN(m_dsn);
    m_database = QStringLiteral("sales_mail_%1").arg(QCoreApplication::applicationPid());
    m_admin = std::make_unique<Database>();
    m_admin->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    m_session.clock.fix(QDate(2026, 12, 8));
}

void TestMailMariaDb::init() {
    const QString name = QLatin1Char('`') + fresh_mysql_database(*m_admin, m_database) + QLatin1Char('`');
    m_session.db = std::make_unique<Database>();
    m_session.db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    m_session.db->execute_sql(QStringLiteral("use ") + name);
    create_schema(*m_session.db);
}

void TestMailMariaDb::cleanupTestCase() {
    m_session.db.reset();
    if (m_admin)
        m_admin->execute_sql(QStringLiteral("drop database if exists `") + m_database + QLatin1Char('`'));
}

void TestMailMariaDb::registers_by_address_data() {
    QTest::addColumn<QStringList>("addresses");  // customers' Email, keys in this order
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("customer");  // index into addresses; -1: a new customer
    QTest::newRow("other letter case") << QStringList{"Sato@Example.JP"} << "佐藤 <sato@example.jp>" << 0;
    QTest::newRow("two customers share it: lowest key")
        << QStringList{"x@example.jp", "shared@example.jp", "SHARED@example.jp"} << "Shared@Example.jp" << 1;
    QTest::newRow("unknown") << QStringList{"a@example.jp"} << "new@example.jp" << -1;
}

void TestMailMariaDb::registers_by_address() {
    QFETCH(QStringList, addresses);
    QFETCH(QString, from);
    QFETCH(int, customer);
    Database& db = *m_session.db;
    QStringList keys;
    for (const QString& a : addresses) {
        db.execute_sql(QStringLiteral("insert into 顧客 (顧客名,Email) values (%1,%1)").arg(sql_text(a)));
        keys << db.query_rows(QStringLiteral("select max(顧客ID) from 顧客"), 1)(0, 1);
    }
    const Registration r = register_mail(m_session, QStringLiteral("件名"), from, QStringLiteral("本文"));
    const ResultTable rows = db.query_rows(QStringLiteral("select 顧客ID,社員 from 問い合わせ"), 2);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toInt(),
             int(addresses.size()) + (customer < 0 ? 1 : 0));
    QCOMPARE(rows(0, 1), customer < 0 ? r.customer_id : keys.at(customer));
    QCOMPARE(rows(1, 1), customer < 0 ? QStringLiteral("-") : QStringLiteral("email"));
}

namespace {

void imap_tool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("/usr/bin/python3"),
               QStringList{QDir(qEnvironmentVariable("SALES_TEST_DATA"))
                               .filePath(QStringLiteral("../integration/imap_tool.py"))} +
                   arguments);
    QVERIFY(tool.waitForFinished(30000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
}

}  // namespace

// Two PCs on the one database fetch the same IMAP folder at the same moment (each into its own mail
// folder): every mail becomes one inquiry, whichever PC registered it.
void TestMailMariaDb::two_pcs_fetch_one_imap_folder_at_once() {
    SALES_REQUIRE_MAIL_SERVERS("SALES_TEST_IMAP");
    constexpr int kMails = 6;
    const QString box = QStringLiteral("Shared") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    imap_tool({QStringLiteral("create"), box});
    QStringList append{QStringLiteral("append"), box};
    QTemporaryDir files;
    for (int n = 1; n <= kMails; ++n) {
        QFile f(files.filePath(QStringLiteral("%1.eml").arg(n)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("From: shared" + QByteArray::number(n) + "@example.jp\r\nSubject: shared " +
                QByteArray::number(n) + "\r\nMessage-ID: <" + box.toLatin1() + "-" + QByteArray::number(n) +
                "@example.jp>\r\nDate: Tue, 08 Dec 2026 10:00:00 +0900\r\n\r\nbody " + QByteArray::number(n) +
                "\r\n");
        append << f.fileName();
    }
    imap_tool(append);
    Database& db = *m_session.db;
    db.execute_sql(QStringLiteral("update 自社情報 set pop='', userid=%1, `password`=%2")
                       .arg(sql_text(qEnvironmentVariable("SALES_TEST_MAIL_USER")),
                            sql_text(qEnvironmentVariable("SALES_TEST_MAIL_PASSWORD"))));
    MailSettings settings;
    settings.protocol = FetchProtocol::Imap;
    settings.imap_server = qEnvironmentVariable("SALES_TEST_IMAP");
    settings.imap_folder = box;
    save_mail_settings(db, settings);

    QTemporaryDir folders[2];
    Session pcs[2];
    for (int i = 0; i < 2; ++i) {
        pcs[i].program_folder = folders[i].path();
        pcs[i].clock.fix(QDate(2026, 12, 8));
        pcs[i].db->open(QStringLiteral("Mysql"), m_dsn, folders[i].path());
        pcs[i].db->execute_sql(QStringLiteral("use `") + m_database + QLatin1Char('`'));
        load_company(pcs[i]);
    }
    int counts[2] = {0, 0};
    QString failures[2];
    auto fetch = [&](int i) {
        try {
            const FetchResult r = fetch_mail(pcs[i]);
            counts[i] += r.count;
            failures[i] += r.failure;
        } catch (const DatabaseError& e) {
            failures[i] += e.message();
        }
    };
    std::thread first(fetch, 0);
    std::thread second(fetch, 1);
    first.join();
    second.join();
    // A mail one PC could not settle because the other held it is settled by its next fetch.
    fetch(0);
    fetch(1);
    QVERIFY2(failures[0].isEmpty() && failures[1].isEmpty(), qPrintable(failures[0] + failures[1]));
    QCOMPARE(counts[0] + counts[1], kMails);
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 問い合わせ"), 1)(0, 1).toInt(), kMails);
    QCOMPARE(db.query_rows(QStringLiteral("select count(distinct 名称) from 問い合わせ"), 1)(0, 1).toInt(),
             kMails);
    // A sender of its own per mail: each one customer.
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toInt(), kMails);
    imap_tool({QStringLiteral("delete"), box});
}

// Two PCs take in a mail each from the same new sender at the same moment, round after round: each
// sender becomes one customer, with both inquiries.
void TestMailMariaDb::two_pcs_register_one_new_sender_at_once() {
    constexpr int kRounds = 12;
    Session pcs[2];
    for (Session& pc : pcs) {
        pc.clock.fix(QDate(2026, 12, 8));
        pc.db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
        pc.db->execute_sql(QStringLiteral("use `") + m_database + QLatin1Char('`'));
    }
    QString failures;
    std::mutex failures_mutex;
    for (int round = 0; round < kRounds; ++round) {
        const QString from = QStringLiteral("新規 <sender%1@example.jp>").arg(round);
        std::atomic<int> ready{0};
        auto take_in = [&](int pc) {
            ++ready;
            while (ready.load() < 2) {
            }
            try {
                register_mail(pcs[pc], QStringLiteral("件名 %1-%2").arg(round).arg(pc), from, QStringLiteral("本文"));
            } catch (const DatabaseError& e) {
                const std::lock_guard<std::mutex> lock(failures_mutex);
                failures += e.message();
            }
        };
        std::thread first(take_in, 0);
        std::thread second(take_in, 1);
        first.join();
        second.join();
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures));
    Database& db = *m_session.db;
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toInt(), kRounds);
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 問い合わせ"), 1)(0, 1).toInt(), 2 * kRounds);
    QCOMPARE(db.query_rows(QStringLiteral("select count(distinct 顧客ID) from 問い合わせ"), 1)(0, 1).toInt(),
             kRounds);
}

QTEST_GUILESS_MAIN(TestMailMariaDb)
#include "test_mail_mariadb.moc"
