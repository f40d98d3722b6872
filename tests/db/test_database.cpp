#include "db/database.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <thread>

#include "customers/csv_import.h"
#include "db/schema.h"
#include "db_checks.h"
#include "records/order_entry.h"
#include "test_folder.h"
#include "upgrade_checks.h"

Q_DECLARE_METATYPE(Dialect)

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void value_kinds_data();
    void value_kinds();
    void no_rows_data();
    void no_rows();
    void fewer_columns_than_the_result_data();
    void fewer_columns_than_the_result();
    void more_columns_than_the_result_data();
    void more_columns_than_the_result();
    void refused_statement_data();
    void refused_statement();
    void refused_statement_names_the_table();
    void transaction_rolls_back_on_failure();
    void nested_transaction_joins_the_outer_one();
    void random_texts_round_trip();
    void unreadable_texts_data();
    void unreadable_texts();
    void text_too_long_is_refused();
    void fraction_in_amount_is_refused();

    void build_connection_string_data();
    void build_connection_string();
    void unknown_kind_opens_nothing_data();
    void unknown_kind_opens_nothing();
    void missing_database_file_data();
    void missing_database_file();
    void jet_opens_the_file_in_the_program_folder();

    void select_star_column_order();
    void seed_rows();
    void table_items_data();
    void table_items();
    void column_names_ignore_case();
    void writer_waits_for_a_busy_file_data();
    void writer_waits_for_a_busy_file();

    void two_pcs_upgrade_at_once();
    void version_table_without_row();

private:
    Database& db() { return m_folder->db(); }
    // A file with the tables as made before the schema upgrade's first step.
    void open_before_steps(Database& db) {
        db.open_sqlite_file(QDir(m_folder->path()).filePath(QStringLiteral("old.mdb")), true);
        for (const QString& s : schema_statements(Dialect::Sqlite) + seed_statements())
            db.execute_sql(s);
    }
    std::unique_ptr<TestFolder> m_folder;
};

void TestDatabase::init() {
    m_folder = std::make_unique<TestFolder>();
}
void TestDatabase::cleanup() {
    m_folder.reset();
}

void TestDatabase::value_kinds_data() {
    db_checks::add_value_kind_rows();
}

void TestDatabase::value_kinds() {
    QFETCH(QStringList, setup);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    db_checks::check_value_kind(db(), setup, query, expected);
}

void TestDatabase::no_rows_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("columns");
    QTest::newRow("empty table") << QStringLiteral("select * from 顧客") << 19;
    QTest::newRow("nothing matches") << QStringLiteral("select 社員,社員かな from 社員 where 社員ID=1") << 2;
    QTest::newRow("false condition on seeded table") << QStringLiteral("select * from RFM where 1=0") << 5;
}

void TestDatabase::no_rows() {
    QFETCH(QString, statement);
    QFETCH(int, columns);
    const ResultTable rows = db().query_rows(statement, columns);
    QCOMPARE(rows.row_count(), 0);
    QCOMPARE(rows.column_count(), columns);
    QCOMPARE(rows(0, 1), QString());
}

void TestDatabase::fewer_columns_than_the_result_data() {
    QTest::addColumn<int>("asked");
    QTest::newRow("one of three") << 1;
    QTest::newRow("two of three") << 2;
    QTest::newRow("all three") << 3;
}

void TestDatabase::fewer_columns_than_the_result() {
    QFETCH(int, asked);
    m_folder->exec(
        QStringLiteral("insert into 社員 (社員,社員かな,email) values('山田','やまだ','y@example.jp')"));
    m_folder->exec(
        QStringLiteral("insert into 社員 (社員,社員かな,email) values('川上','かわかみ','k@example.jp')"));
    const ResultTable rows =
        db().query_rows(QStringLiteral("select 社員,社員かな,email from 社員 order by 社員ID"), asked);
    const QStringList first = {QStringLiteral("山田"), QStringLiteral("やまだ"),
                               QStringLiteral("y@example.jp")};
    const QStringList second = {QStringLiteral("川上"), QStringLiteral("かわかみ"),
                                QStringLiteral("k@example.jp")};
    QCOMPARE(rows.row_count(), 2);
    QCOMPARE(rows.column_count(), asked);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(rows(c, 1), c < asked ? first.at(c) : QString());
        QCOMPARE(rows(c, 2), c < asked ? second.at(c) : QString());
    }
}

void TestDatabase::more_columns_than_the_result_data() {
    QTest::addColumn<int>("asked");
    QTest::newRow("one more") << 4;
    QTest::newRow("many more") << 15;
}

void TestDatabase::more_columns_than_the_result() {
    QFETCH(int, asked);
    m_folder->add_employee(QStringLiteral("山田"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             db().query_rows(QStringLiteral("select 社員ID,社員,社員かな from 社員"), asked));
    // The connection stays usable.
    QCOMPARE(m_folder->count(QStringLiteral("社員")), 1);
}

void TestDatabase::refused_statement_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("backend_text");
    QTest::newRow("unknown table") << QString()
                                   << QStringLiteral("insert into 存在しない表 (名称) values('x')")
                                   << QStringLiteral("no such table");
    QTest::newRow("unknown column") << QString() << QStringLiteral("select 存在しない列 from 顧客")
                                    << QStringLiteral("no such column");
    QTest::newRow("syntax error") << QString() << QStringLiteral("selec * from 顧客")
                                  << QStringLiteral("syntax error");
    QTest::newRow("cut-off statement") << QString() << QStringLiteral("update 顧客 set 顧客名='a' where")
                                       << QStringLiteral("incomplete input");
    QTest::newRow("duplicate key") << QStringLiteral("insert into 顧客 (顧客ID,顧客名) values(1,'a')")
                                   << QStringLiteral("insert into 顧客 (顧客ID,顧客名) values(1,'b')")
                                   << QStringLiteral("UNIQUE constraint failed");
}

void TestDatabase::refused_statement() {
    QFETCH(QString, setup);
    QFETCH(QString, statement);
    QFETCH(QString, backend_text);
    if (!setup.isEmpty())
        m_folder->exec(setup);
    for (int path = 0; path < 2; ++path) {
        QString message;
        try {
            if (path == 0)
                db().execute_sql(statement);
            else
                db().query_rows(statement, 1);
        } catch (const DatabaseError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(backend_text), qPrintable(message));
    }
    QCOMPARE(m_folder->value(QStringLiteral("select count(*) from 自社情報")), QStringLiteral("1"));
}

void TestDatabase::refused_statement_names_the_table() {
    db_checks::check_refused_statement(db());
}

void TestDatabase::transaction_rolls_back_on_failure() {
    Database observer;
    observer.open_sqlite_file(m_folder->database_path(), false);
    db_checks::check_transaction_rollback(db(), observer);
}

void TestDatabase::build_connection_string_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("database");
    QTest::addColumn<Dialect>("dialect");

    const QString folder = QStringLiteral("/srv/営業手帳");
    QTest::newRow("Jet") << "Jet"
                         << "sales.mdb"
                         << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/営業手帳/sales.mdb;"
                            "Jet OLEDB:Database Password=kuwai;"
                         << "QSQLITE" << folder + "/sales.mdb" << Dialect::Sqlite;
    QTest::newRow("Jet, Japanese file name")
        << "Jet"
        << "売上2003.mdb"
        << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/営業手帳/売上2003.mdb;Jet OLEDB:Database "
           "Password=kuwai;"
        << "QSQLITE" << folder + "/売上2003.mdb" << Dialect::Sqlite;
    // QODBC adds DSN= itself, so the driver gets the bare name.
    QTest::newRow("Mysql") << "Mysql"
                           << "sales"
                           << "dsn=sales"
                           << "QODBC"
                           << "sales" << Dialect::MySql;
    QTest::newRow("Mssql") << "Mssql"
                           << "営業DB"
                           << "dsn=営業DB"
                           << "QODBC"
                           << "営業DB" << Dialect::SqlServer;
    for (const char* kind : {"jet", "JET", "mysql", "MSSQL", "", "Access", " Jet"})
        QTest::newRow(qPrintable(QStringLiteral("unknown '%1'").arg(kind))) << kind << "sales.mdb"
                                                                            << ""
                                                                            << ""
                                                                            << "" << Dialect::Sqlite;
}

void TestDatabase::build_connection_string() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, driver);
    QFETCH(QString, database);
    QFETCH(Dialect, dialect);
    const ConnectionText c = ::build_connection_string(kind, name, QStringLiteral("/srv/営業手帳"));
    QCOMPARE(c.text, text);
    QCOMPARE(c.driver, driver);
    QCOMPARE(c.database, database);
    QCOMPARE(c.dialect, dialect);
    if (kind == QLatin1String("Jet")) {
        QVERIFY(c.text.startsWith(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=")));
        QVERIFY(c.text.endsWith(QStringLiteral(";Jet OLEDB:Database Password=kuwai;")));
    }
}

void TestDatabase::unknown_kind_opens_nothing_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"jet", "JET", "mysql", "mssql", "", "Sqlite"})
        QTest::newRow(kind) << QString::fromUtf8(kind);
}

void TestDatabase::unknown_kind_opens_nothing() {
    QFETCH(QString, kind);
    Database other;
    other.open(kind, QStringLiteral("sales.mdb"), m_folder->path());  // the file exists, the kind is wrong
    QVERIFY(!other.is_open());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, other.query_rows(QStringLiteral("select * from 社員"), 1));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, other.execute_sql(QStringLiteral("delete from 社員")));
}

void TestDatabase::missing_database_file_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("make_folder");
    QTest::newRow("no such file") << QStringLiteral("nothere.mdb") << false;
    QTest::newRow("Japanese name") << QStringLiteral("売上.mdb") << false;
    QTest::newRow("a folder of that name") << QStringLiteral("folder.mdb") << true;
}

void TestDatabase::missing_database_file() {
    QFETCH(QString, name);
    QFETCH(bool, make_folder);
    const QString path = QDir(m_folder->path()).filePath(name);
    if (make_folder)
        QVERIFY(QDir(m_folder->path()).mkdir(name));
    Database other;
    QString message;
    try {
        other.open(QStringLiteral("Jet"), name, m_folder->path());
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("見つかりません")) && message.contains(name),
             qPrintable(message));
    QVERIFY(!other.is_open());
    QCOMPARE(QFileInfo(path).isFile(), false);  // opening never creates the file

    QVERIFY_THROWS_EXCEPTION(DatabaseError, other.open_sqlite_file(path, false));
    QCOMPARE(QFileInfo(path).isFile(), false);
}

void TestDatabase::jet_opens_the_file_in_the_program_folder() {
    m_folder->add_employee(QStringLiteral("山田"));
    Database other;
    other.open(QStringLiteral("Jet"), QStringLiteral("sales.mdb"), m_folder->path());
    QVERIFY(other.is_open());
    QCOMPARE(other.dialect(), Dialect::Sqlite);
    QCOMPARE(other.query_rows(QStringLiteral("select 社員 from 社員"), 1)(0, 1), QStringLiteral("山田"));
}

void TestDatabase::select_star_column_order() {
    db_checks::check_select_star_order(db());
}

void TestDatabase::seed_rows() {
    db_checks::check_seed_rows(db());
}

void TestDatabase::table_items_data() {
    db_checks::add_table_item_rows();
}

void TestDatabase::table_items() {
    QFETCH(int, row);
    QFETCH(QString, table);
    QFETCH(int, date_position);
    QFETCH(QString, date_column);
    db_checks::check_table_item(db(), row, table, date_position, date_column);
}

void TestDatabase::column_names_ignore_case() {
    db_checks::check_column_names_ignore_case(db());
}

void TestDatabase::unreadable_texts_data() {
    db_checks::add_unreadable_text_rows();
}

void TestDatabase::unreadable_texts() {
    QFETCH(QString, value);
    QFETCH(bool, refused);
    db_checks::check_unreadable_text(db(), value, refused);
}

// The upgrade of an embedded file by two PCs at once; the same checks run against MariaDB.
void TestDatabase::two_pcs_upgrade_at_once() {
    Database first, second;
    open_before_steps(first);
    second.open_sqlite_file(first.connection().database, false);
    upgrade_checks::check_two_pcs_upgrade_at_once(first, second);
}

void TestDatabase::version_table_without_row() {
    Database old;
    open_before_steps(old);
    upgrade_checks::check_version_table_without_row(old);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"

void TestDatabase::nested_transaction_joins_the_outer_one() {
    // An inner group that gives up takes the outer work with it; the outer commit then says so.
    {
        Transaction outer(db());
        db().execute_sql(QStringLiteral("insert into 社員 (社員) values('外')"));
        {
            Transaction inner(db());
            db().execute_sql(QStringLiteral("insert into 社員 (社員) values('内')"));
        }
        QVERIFY_THROWS_EXCEPTION(DatabaseError, outer.commit());
    }
    QCOMPARE(m_folder->count(QStringLiteral("社員")), 0);
    {
        Transaction outer(db());
        db().execute_sql(QStringLiteral("insert into 社員 (社員) values('外')"));
        {
            Transaction inner(db());
            db().execute_sql(QStringLiteral("insert into 社員 (社員) values('内')"));
            inner.commit();
        }
        outer.commit();
    }
    QCOMPARE(m_folder->count(QStringLiteral("社員")), 2);
}

void TestDatabase::random_texts_round_trip() {
    db_checks::check_random_texts_round_trip(db(), 2000, 8);
}

void TestDatabase::text_too_long_is_refused() {
    db_checks::check_text_too_long_is_refused(db());
}

void TestDatabase::fraction_in_amount_is_refused() {
    db_checks::check_fraction_in_amount_is_refused(db());
}

void TestDatabase::writer_waits_for_a_busy_file_data() {
    QTest::addColumn<int>("held_ms");  // how long another process keeps the file's write lock
    QTest::addColumn<QString>("save");
    QTest::newRow("released within the wait: order saved") << 1500 << "order";
    QTest::newRow("held past the wait: order") << 12000 << "order";
    QTest::newRow("held past the wait: import") << 12000 << "import";
}

// Another writer (sales-cli fetch-mail, a second PC) holds the embedded file: a save waits for it,
// and past the wait fails with the cause named and nothing stored.
void TestDatabase::writer_waits_for_a_busy_file() {
    QFETCH(int, held_ms);
    QFETCH(QString, save);
    // An order is saved only for a customer in the register.
    const QString customer = m_folder->add_customer(QStringLiteral("顧客"), QStringLiteral("こきゃく"));
    std::atomic<bool> locked{false};
    std::thread other([&] {
        Database db;
        db.open_sqlite_file(m_folder->database_path(), false);
        Transaction transaction(db);
        db.execute_sql(QStringLiteral("insert into 原価 (顧客ID,名称,金額) values(1,'他の処理',1)"));
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(held_ms));
    });
    while (!locked)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QString failure;
    try {
        if (save == QLatin1String("order")) {
            OrderForm form{
                customer,
                QStringLiteral("顧客"),
                QStringLiteral("山田"),
                QStringLiteral("2026/12/08"),
                QStringLiteral("注文"),
                QStringLiteral("100"),
                QStringLiteral("10"),
                QStringLiteral("0"),
                {{QStringLiteral("1"), QStringLiteral("品"), QStringLiteral("1"), QStringLiteral("100")}}};
            QCOMPARE(save_order(db(), form, QDate(2026, 12, 8)), QStringList());
        } else {
            const QString csv = QDir(qEnvironmentVariable("SALES_TEST_DATA"))
                                    .filePath(QStringLiteral("csv/customers_utf8.csv"));
            const CsvResult result = import_customer_csv(db(), csv);
            QVERIFY(!result.ok);
            failure = result.message;
        }
    } catch (const DatabaseError& e) {
        failure = e.message();
    }
    other.join();
    const bool waited_long_enough = held_ms < kSqliteBusyTimeoutMs;
    QCOMPARE(failure.isEmpty(), waited_long_enough);
    if (!waited_long_enough) {
        QVERIFY2(failure.startsWith(kDatabaseBusyMessage), qPrintable(failure));
        QVERIFY2(!failure.contains(QStringLiteral("件目")), qPrintable(failure));
    }
    QCOMPARE(m_folder->count(QStringLiteral("受注")), waited_long_enough ? 1 : 0);
    QCOMPARE(m_folder->count(QStringLiteral("受注明細")), waited_long_enough ? 1 : 0);
    QCOMPARE(m_folder->count(QStringLiteral("顧客")), 1);
}
