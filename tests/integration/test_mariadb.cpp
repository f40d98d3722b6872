// The database checks against a real MariaDB server through its ODBC driver. The server and the
// data source come from tests/integration/mariadb_server.sh, which ./test.sh starts.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/startup.h"
#include "customers/customer_store.h"
#include "db/database.h"
#include "db/schema.h"
#include "db_checks.h"
#include "mysql_dsn.h"
#include "mysql_scratch.h"

class TestMariaDb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void connection_text();
    void create_schema_and_seed_rows();
    void select_star_column_order();
    void table_items_data();
    void table_items();
    void value_kinds_data();
    void value_kinds();
    void hostile_text_round_trip_data();
    void hostile_text_round_trip();
    void translated_queries_data();
    void translated_queries();
    void column_names_ignore_case();
    void transaction_rolls_back_on_failure();
    void random_texts_round_trip();
    void unreadable_texts_data();
    void unreadable_texts();
    void text_too_long_is_refused();
    void fraction_in_amount_is_refused();
    void japanese_names_and_messages_come_back_exact();
    void session_rules_are_set_whatever_the_server_default();
    void lost_connection_fails_clearly();
    void refused_statement_message_is_clean();
    void other_character_set_is_refused();
    void invalid_date_is_refused();
    void create_schema_twice_is_refused();
    void sales_cli_init_creates_tables_and_sales_ini();
    void sales_cli_init_reports_a_missing_data_source();
    void fixed_clock_never_purges_deleted_rows();

private:
    // A new, empty database behind the data source, and m_db connected to it.
    void fresh_database();
    Database& db() { return *m_db; }

    QString m_dsn;
    QString m_database;  // the data source's Database=
    QTemporaryDir m_folder;
    std::unique_ptr<Database> m_admin;  // second connection that drops and creates the database
    std::unique_ptr<Database> m_db;
};

void TestMariaDb::initTestCase() {
    SALES_REQUIRE_MYSQL_DSN(m_dsn);
    if (qEnvironmentVariable("ODBCSYSINI").isEmpty())
        QFAIL(
            "ODBCSYSINI is not set: it must name the folder holding the odbc.ini that defines the data "
            "source.");
    QVERIFY(m_folder.isValid());

    m_admin = std::make_unique<Database>();
    try {
        m_admin->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    } catch (const DatabaseError& e) {
        QFAIL(qPrintable(QStringLiteral("cannot open data source %1: %2").arg(m_dsn, e.message())));
    }
    m_database = m_admin->query_rows(QStringLiteral("select database()"), 1)(0, 1);
    QVERIFY2(!m_database.isEmpty() && m_database != QLatin1String("-"),
             "the data source names no database (Database= in odbc.ini)");
    QVERIFY2(m_database != QLatin1String("mysql") && m_database != QLatin1String("information_schema"),
             "refusing to drop a system database");
}

void TestMariaDb::fresh_database() {
    m_db.reset();
    fresh_mysql_database(*m_admin, m_database);
    m_db = std::make_unique<Database>();
    m_db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
}

void TestMariaDb::init() {
    fresh_database();
    // Every test but the one that lets sales-cli create them works on the tables and seed rows.
    const QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (!test.startsWith(QLatin1String("sales_cli_init")))
        create_schema(db());
}

void TestMariaDb::cleanup() {
    m_db.reset();
}

void TestMariaDb::cleanupTestCase() {
    m_db.reset();
    if (m_admin && m_admin->is_open() && !m_database.isEmpty()) {
        // Leave the data source's database as the server script made it: empty.
        const QString name = QLatin1Char('`') + m_database + QLatin1Char('`');
        m_admin->execute_sql(QStringLiteral("drop database if exists ") + name);
        m_admin->execute_sql(QStringLiteral("create database ") + name +
                             QStringLiteral(" default character set utf8mb4 collate utf8mb4_general_ci"));
    }
    m_admin.reset();
}

void TestMariaDb::connection_text() {
    QCOMPARE(db().connection().text, QStringLiteral("dsn=") + m_dsn);
    QCOMPARE(db().connection().driver, QStringLiteral("QODBC"));
    QCOMPARE(db().dialect(), Dialect::MySql);
    QVERIFY(db().is_open());
}

void TestMariaDb::create_schema_and_seed_rows() {
    for (const TableDef& table : schema_tables()) {
        const QString expected = table.name == QStringLiteral("自社情報")       ? QStringLiteral("1")
                                 : table.name == QStringLiteral("RFM")          ? QStringLiteral("12")
                                 : table.name == QStringLiteral("テーブル項目") ? QStringLiteral("6")
                                 : table.name == QStringLiteral("対応状況")     ? QStringLiteral("4")
                                                                                : QStringLiteral("0");
        QCOMPARE(db().query_rows(QStringLiteral("select count(*) from ") + table.name, 1)(0, 1), expected);
    }
    db_checks::check_seed_rows(db());
}

void TestMariaDb::select_star_column_order() {
    db_checks::check_select_star_order(db());
}

void TestMariaDb::table_items_data() {
    db_checks::add_table_item_rows();
}

void TestMariaDb::table_items() {
    QFETCH(int, row);
    QFETCH(QString, table);
    QFETCH(int, date_position);
    QFETCH(QString, date_column);
    db_checks::check_table_item(db(), row, table, date_position, date_column);
}

void TestMariaDb::value_kinds_data() {
    db_checks::add_value_kind_rows();
}

void TestMariaDb::value_kinds() {
    QFETCH(QStringList, setup);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    db_checks::check_value_kind(db(), setup, query, expected);
}

void TestMariaDb::hostile_text_round_trip_data() {
    db_checks::add_hostile_text_rows();
}

void TestMariaDb::hostile_text_round_trip() {
    QFETCH(QString, value);
    QFETCH(QString, stored);
    db_checks::check_text_round_trip(db(), value, stored);
}

void TestMariaDb::translated_queries_data() {
    db_checks::add_dialect_query_rows();
}

void TestMariaDb::translated_queries() {
    QFETCH(QString, query);
    QFETCH(QString, expected);
    db_checks::insert_dialect_orders(db());
    db_checks::check_dialect_query(db(), query, expected);
}

void TestMariaDb::column_names_ignore_case() {
    db_checks::check_column_names_ignore_case(db());
}

void TestMariaDb::transaction_rolls_back_on_failure() {
    Database observer;
    observer.open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    db_checks::check_transaction_rollback(db(), observer);
}

void TestMariaDb::refused_statement_message_is_clean() {
    QString message;
    db_checks::check_refused_statement(db(), &message);
    qInfo("%s", qUtf8Printable(message));
}

void TestMariaDb::other_character_set_is_refused() {
    const QString dsn = qEnvironmentVariable("SALES_TEST_MYSQL_DSN_CP932");
    QVERIFY2(!dsn.isEmpty(),
             "SALES_TEST_MYSQL_DSN_CP932 is not set (tests/integration/mariadb_server.sh defines it)");
    Database other;
    QString message;
    try {
        other.open(QStringLiteral("Mysql"), dsn, m_folder.path());
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("cp932")) && message.contains(QStringLiteral("utf8mb4")),
             qPrintable(message));
    QVERIFY(!other.is_open());
}

void TestMariaDb::invalid_date_is_refused() {
    // Strict mode refuses the date; the embedded file would store the text as it is.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             db_checks::insert_order(db(), QStringLiteral("x"), QStringLiteral("2003/11/31"),
                                                     QStringLiteral("1")));
    QCOMPARE(db().query_rows(QStringLiteral("select count(*) from 受注"), 1)(0, 1), QStringLiteral("0"));
}

void TestMariaDb::create_schema_twice_is_refused() {
    QVERIFY_THROWS_EXCEPTION(DatabaseError, create_schema(db()));
    // The first schema and its seed rows are intact.
    db_checks::check_seed_rows(db());
}

void TestMariaDb::sales_cli_init_creates_tables_and_sales_ini() {
    const QString cli = qEnvironmentVariable("SALES_CLI");
    QVERIFY2(!cli.isEmpty(), "SALES_CLI is not set");
    QTemporaryDir folder;
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(cli, {QStringLiteral("init"), QStringLiteral("--kind"), QStringLiteral("Mysql"),
                        QStringLiteral("--database"), m_dsn});
    QVERIFY(process.waitForFinished(120000));
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, qPrintable(output));

    QFile ini(QDir(folder.path()).filePath(QStringLiteral("sales.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QStringLiteral("\"営業手帳\",\"Mysql\",\"%1\"\r\n").arg(m_dsn).toUtf8());
    QVERIFY(QFileInfo(QDir(folder.path()).filePath(QStringLiteral("mail"))).isDir());
    // No embedded file is made for an ODBC back-end.
    QVERIFY(QDir(folder.path()).entryList({QStringLiteral("*.mdb")}, QDir::Files).isEmpty());

    db_checks::check_select_star_order(db());
    if (QTest::currentTestFailed())
        return;
    db_checks::check_seed_rows(db());
    if (QTest::currentTestFailed())
        return;

    // The folder starts like any program folder.
    Session session;
    session.program_folder = folder.path();
    start_session(session);
    QCOMPARE(session.db_kind, QStringLiteral("Mysql"));
    QCOMPARE(session.database_name, m_dsn);
    QCOMPARE(session.tax_rate, QStringLiteral("10"));
    QCOMPARE(session.company_setting(14), QStringLiteral("0"));
    QCOMPARE(session.table_items.size(), 6);
    QCOMPARE(session.table_items.at(3).table_name, QStringLiteral("問い合わせ"));
    QCOMPARE(session.table_items.at(3).field_names.at(4), QStringLiteral("受付日"));
    QVERIFY(session.employee_names.isEmpty());
}

void TestMariaDb::sales_cli_init_reports_a_missing_data_source() {
    const QString cli = qEnvironmentVariable("SALES_CLI");
    QVERIFY2(!cli.isEmpty(), "SALES_CLI is not set");
    QTemporaryDir folder;
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(cli, {QStringLiteral("init"), QStringLiteral("--kind"), QStringLiteral("Mysql"),
                        QStringLiteral("--database"), QStringLiteral("sales_no_such_dsn")});
    QVERIFY(process.waitForFinished(60000));
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(
        error.contains(QStringLiteral("データベースを開けません")) && error.contains("sales_no_such_dsn"),
        qPrintable(error));
    QVERIFY(!QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("sales.ini"))));
    // The data source's own database got nothing.
    QCOMPARE(db().query_rows(QStringLiteral("select count(*) from information_schema.tables where "
                                            "table_schema=database()"),
                             1)(0, 1),
             QStringLiteral("0"));
}

// sales-cli --as-of 2099/12/31 report rfm reads only; a start with that clock purges by the server's.
void TestMariaDb::fixed_clock_never_purges_deleted_rows() {
    db().execute_sql(QStringLiteral("insert into 顧客 (顧客名) values('今日消した顧客')"));
    const QString id = db().query_rows(QStringLiteral("select max(顧客ID) from 顧客"), 1)(0, 1);
    delete_customer(db(), id, QStringLiteral("佐藤"));
    db().execute_sql(
        QStringLiteral("insert into 削除済みデータ (種類,テーブル名,キー列,キー,内容,削除日時,社員) "
                       "values('削除','顧客','顧客ID','999','{}','2000/01/01 00:00:00','')"));
    const QString kept = QStringLiteral("select キー from 削除済みデータ order by 削除日時");
    QTemporaryDir folder;
    write_sales_ini(folder.path(), QStringLiteral("営業手帳"), QStringLiteral("Mysql"), m_dsn);
    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(qEnvironmentVariable("SALES_CLI"), {QStringLiteral("--as-of"), QStringLiteral("2099/12/31"),
                                                  QStringLiteral("report"), QStringLiteral("rfm")});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QCOMPARE(db().query_rows(kept, 1)(0, 2), id);  // both rows kept

    Session session;
    session.program_folder = folder.path();
    session.clock.fix(QDate(2099, 12, 31));
    start_session(session);
    QCOMPARE(db().query_rows(kept, 1).row_count(), 1);  // the row of 2000 purged by the server's clock
    QCOMPARE(db().query_rows(kept, 1)(0, 1), id);
}

void TestMariaDb::unreadable_texts_data() {
    db_checks::add_unreadable_text_rows();
}

void TestMariaDb::unreadable_texts() {
    QFETCH(QString, value);
    QFETCH(bool, refused);
    db_checks::check_unreadable_text(db(), value, refused);
}

QTEST_GUILESS_MAIN(TestMariaDb)
#include "test_mariadb.moc"

void TestMariaDb::random_texts_round_trip() {
    db_checks::check_random_texts_round_trip(db(), 2000, 8);
}

void TestMariaDb::text_too_long_is_refused() {
    db_checks::check_text_too_long_is_refused(db());
}

void TestMariaDb::fraction_in_amount_is_refused() {
    db_checks::check_fraction_in_amount_is_refused(db());
}

void TestMariaDb::japanese_names_and_messages_come_back_exact() {
    QCOMPARE(db().column_names(QStringLiteral("select 名称 as ホ付ヘベマミ, 受付日 from 問い合わせ")),
             (QStringList{QStringLiteral("ホ付ヘベマミ"), QStringLiteral("受付日")}));
    QString message;
    try {
        db().query_rows(QStringLiteral("select * from 存在しないホ付表"), 1);
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral(".存在しないホ付表' doesn't exist")), qPrintable(message));
}

void TestMariaDb::session_rules_are_set_whatever_the_server_default() {
    // A server whose default mode is lax: the program's session is still strict and takes a
    // backslash as plain text.
    const QString before = m_admin->query_rows(QStringLiteral("select @@global.sql_mode"), 1)(0, 1);
    m_admin->execute_sql(QStringLiteral("set global sql_mode=''"));
    Database lax;
    try {
        lax.open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    } catch (...) {
        m_admin->execute_sql(QStringLiteral("set global sql_mode=") +
                             sql_text(before == "-" ? QString() : before));
        throw;
    }
    m_admin->execute_sql(QStringLiteral("set global sql_mode=") +
                         sql_text(before == "-" ? QString() : before));
    const QStringList mode =
        lax.query_rows(QStringLiteral("select @@session.sql_mode"), 1)(0, 1).split(QLatin1Char(','));
    QVERIFY(mode.contains(QStringLiteral("STRICT_TRANS_TABLES")));
    QVERIFY(mode.contains(QStringLiteral("NO_BACKSLASH_ESCAPES")));
    db_checks::check_text_too_long_is_refused(lax);
}

void TestMariaDb::lost_connection_fails_clearly() {
    const QString id = db().query_rows(QStringLiteral("select connection_id()"), 1)(0, 1);
    m_admin->execute_sql(QStringLiteral("kill connection ") + id);
    // The driver must not quietly open a new session without the program's settings.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString message;
        try {
            db().execute_sql(QStringLiteral("insert into 社員 (社員) values('x')"));
        } catch (const DatabaseError& e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("データベースサーバーとの接続が切れました。")),
                 qPrintable(message));
    }
    const QString employees = QStringLiteral("select count(*) from `%1`.社員").arg(m_database);
    QCOMPARE(m_admin->query_rows(employees, 1)(0, 1), QStringLiteral("0"));
}
