// The schema upgrade on a real MariaDB server: a database made with the tables as they were before
// the folded search columns is brought up to date, searched folded, and the upgrade can run again
// after being cut short (MariaDB commits each DDL statement on its own).
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "customers/customer_copies.h"
#include "customers/customer_store.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/schema_upgrade.h"
#include "mysql_dsn.h"
#include "upgrade_checks.h"
#include "mysql_scratch.h"

class TestSchemaUpgradeMariaDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void old_database_is_upgraded_and_searched_folded();
    void upgrade_cut_short_runs_again();
    void newer_database_is_refused();
    void two_pcs_upgrade_at_once();
    void version_table_without_row() { upgrade_checks::check_version_table_without_row(*m_db); }

private:
    void recreate_database();
    QString m_dsn;
    QString m_database;
    QTemporaryDir m_folder;
    std::unique_ptr<Database> m_db;
};

void TestSchemaUpgradeMariaDb::initTestCase() {
    SALES_REQUIRE_MYSQL_DSN(m_dsn);
    m_db = std::make_unique<Database>();
    m_db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    m_database = m_db->query_rows(QStringLiteral("select database()"), 1)(0, 1);
    QVERIFY(m_database != QLatin1String("-") && m_database != QLatin1String("mysql"));
}

void TestSchemaUpgradeMariaDb::recreate_database() {
    fresh_mysql_database(*m_db, m_database);
}

void TestSchemaUpgradeMariaDb::init() {
    recreate_database();
    // The tables as made before the first step, filled by the plain insert of that time.
    for (const QString& s : schema_statements(Dialect::MySql) + seed_statements())
        m_db->execute_sql(s);
    m_db->execute_sql(
        QStringLiteral("insert into 顧客 (顧客名,顧客名かな,TEL,Email) values"
                       "('片山商店','かたやましょうてん','03-5555-1234','Katayama@Example.jp'),"
                       "('高田工業','たかだこうぎょう','06-1111-2222','')"));
}

void TestSchemaUpgradeMariaDb::cleanupTestCase() {
    if (m_db && m_db->is_open() && !m_database.isEmpty())
        recreate_database();
    m_db.reset();
}

void TestSchemaUpgradeMariaDb::old_database_is_upgraded_and_searched_folded() {
    QCOMPARE(stored_schema_version(*m_db), 0);
    int asked = 0;
    QVERIFY(upgrade_schema(*m_db, [&](int from, int to) {
        QCOMPARE(from, 0);
        QCOMPARE(to, current_schema_version());
        ++asked;
    }));
    QCOMPARE(asked, 1);
    QCOMPARE(stored_schema_version(*m_db), current_schema_version());
    // The copies of the older rows, as every start makes them after the upgrade.
    QCOMPARE(repair_customer_copies(*m_db), 2);
    QCOMPARE(search_customer_ids(*m_db, QStringLiteral("ｶﾀ")), QVector<QString>{"1"});
    QCOMPARE(search_customer_ids(*m_db, QStringLiteral("タカダ")), QVector<QString>{"2"});
    QCOMPARE(partial_search_customer_ids(*m_db, QStringLiteral("0355551")), QVector<QString>{"1"});
    QCOMPARE(partial_search_customer_ids(*m_db, QStringLiteral("katayama@ex")), QVector<QString>{"1"});
    // A customer saved after the upgrade is found folded too.
    QStringList fields(kCustomerFieldCount);
    fields[0] = QStringLiteral("カタオカ電機");
    fields[1] = QStringLiteral("かたおかでんき");
    insert_customer(*m_db, fields);
    QCOMPARE(search_customer_ids(*m_db, QStringLiteral("カタ")).size(), 2);
    QVERIFY(!upgrade_schema(*m_db));
}

void TestSchemaUpgradeMariaDb::upgrade_cut_short_runs_again() {
    // As if the first run stopped after its first statement was committed.
    m_db->execute_sql(QStringLiteral("alter table 顧客 add column 検索かな varchar(255)"));
    QVERIFY(upgrade_schema(*m_db));
    QCOMPARE(stored_schema_version(*m_db), current_schema_version());
    repair_customer_copies(*m_db);
    QCOMPARE(search_customer_ids(*m_db, QStringLiteral("ｶﾀ")), QVector<QString>{"1"});
}

void TestSchemaUpgradeMariaDb::newer_database_is_refused() {
    QVERIFY(upgrade_schema(*m_db));
    m_db->execute_sql(QStringLiteral("update sales_schema set version=%1").arg(current_schema_version() + 1));
    try {
        upgrade_schema(*m_db);
        QFAIL("a newer database was upgraded");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("新しい版")), qPrintable(e.message()));
    }
}

void TestSchemaUpgradeMariaDb::two_pcs_upgrade_at_once() {
    Database second;
    second.open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    upgrade_checks::check_two_pcs_upgrade_at_once(*m_db, second);
}

QTEST_GUILESS_MAIN(TestSchemaUpgradeMariaDb)
#include "test_schema_upgrade_mariadb.moc"
