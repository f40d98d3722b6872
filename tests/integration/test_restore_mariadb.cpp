// The restorable delete and the customer merge on a MariaDB back-end (tests/integration/
// mariadb_server.sh, started by ./test.sh): explicit keys go back in, text keys too, and the merge's
// moves are undone. Works in a database of its own, beside the other MariaDB tests.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "db/database.h"
#include "db/schema.h"
#include "restore_checks.h"
#include "mysql_dsn.h"
#include "mysql_scratch.h"

class TestRestoreMariaDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void merge_and_undo();
    void restore_with_taken_key_data();
    void restore_with_taken_key();
    void restore_gives_back_exact_value_data() { restore_checks::add_exact_value_rows(); }
    void restore_gives_back_exact_value();
    void restore_text_key_data() { restore_checks::add_text_key_rows(); }
    void restore_text_key();

private:
    QString m_dsn;
    QString m_database;
    QTemporaryDir m_folder;
    std::unique_ptr<Database> m_admin;
    std::unique_ptr<Database> m_db;
};

void TestRestoreMariaDb::initTestCase() {
    SALES_REQUIRE_MYSQL_DSN(m_dsn);
    m_database = QStringLiteral("sales_restore_%1").arg(QCoreApplication::applicationPid());
    m_admin = std::make_unique<Database>();
    m_admin->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
}

void TestRestoreMariaDb::init() {
    m_db.reset();
    const QString name = QLatin1Char('`') + fresh_mysql_database(*m_admin, m_database) + QLatin1Char('`');
    m_db = std::make_unique<Database>();
    m_db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    m_db->execute_sql(QStringLiteral("use ") + name);
    create_schema(*m_db);
}

void TestRestoreMariaDb::cleanupTestCase() {
    m_db.reset();
    if (m_admin)
        m_admin->execute_sql(QStringLiteral("drop database if exists `") + m_database + QLatin1Char('`'));
}

void TestRestoreMariaDb::merge_and_undo() {
    restore_checks::check_merge_and_undo(*m_db);
}

void TestRestoreMariaDb::restore_with_taken_key_data() {
    restore_checks::add_taken_key_rows();
}

void TestRestoreMariaDb::restore_with_taken_key() {
    QFETCH(QString, kind);
    restore_checks::check_restore_with_taken_key(*m_db, kind);
}

void TestRestoreMariaDb::restore_gives_back_exact_value() {
    QFETCH(QString, value);
    restore_checks::check_restore_gives_back_exact_value(*m_db, value);
}

void TestRestoreMariaDb::restore_text_key() {
    QFETCH(QString, title);
    QFETCH(QString, other);
    QFETCH(bool, kept_before_kind);
    QFETCH(bool, restored);
    restore_checks::check_restore_text_key(*m_db, title, other, kept_before_kind, restored);
}

QTEST_GUILESS_MAIN(TestRestoreMariaDb)
#include "test_restore_mariadb.moc"
