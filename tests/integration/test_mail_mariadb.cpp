// Mail intake on a MariaDB back-end (tests/integration/mariadb_server.sh, started by ./test.sh):
// sender addresses match customers regardless of letter case, the lowest key wins, and the new
// customer and its inquiry stand together. Works in a database of its own, so it can run beside the
// MariaDB test, which recreates the data source's database.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "app/session.h"
#include "db/dialect.h"
#include "db/schema.h"
#include "mail/fetch_mail.h"
#include "mysql_dsn.h"

class TestMailMariaDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void registers_by_address_data();
    void registers_by_address();

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
    const QString name = QLatin1Char('`') + m_database + QLatin1Char('`');
    m_admin->execute_sql(QStringLiteral("drop database if exists ") + name);
    m_admin->execute_sql(QStringLiteral("create database ") + name +
                         QStringLiteral(" default character set utf8mb4 collate utf8mb4_general_ci"));
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

QTEST_GUILESS_MAIN(TestMailMariaDb)
#include "test_mail_mariadb.moc"
