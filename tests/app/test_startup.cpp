#include "app/startup.h"

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#include "db/schema.h"
#include "test_folder.h"

namespace {

void write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray read_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

// Points unixODBC at empty configuration files for the life of the object, so that no data source
// defined on this machine can answer.
class NoDataSources {
public:
    NoDataSources() : m_sysini(qgetenv("ODBCSYSINI")), m_ini(qgetenv("ODBCINI")) {
        QFile(m_dir.filePath("odbc.ini")).open(QIODevice::WriteOnly);
        QFile(m_dir.filePath("odbcinst.ini")).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));
        qputenv("ODBCINI", QFile::encodeName(m_dir.filePath("odbc.ini")));
    }
    ~NoDataSources() {
        restore("ODBCSYSINI", m_sysini);
        restore("ODBCINI", m_ini);
    }

private:
    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QTemporaryDir m_dir;
    QByteArray m_sysini;
    QByteArray m_ini;
};

const QStringList kActivityTables = {"受注", "見積もり", "訪問", "問い合わせ", "クレーム", "原価"};

QStringList column_names(const QString& table) {
    for (const TableDef& t : schema_tables()) {
        if (t.name == table) {
            QStringList names;
            for (const ColumnDef& c : t.columns)
                names << c.name;
            return names;
        }
    }
    return {};
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void read_sales_ini_data();
    void read_sales_ini();
    void write_sales_ini_data();
    void write_sales_ini();
    void refused_write_keeps_old_sales_ini_data();
    void refused_write_keeps_old_sales_ini();
    void start_session_failures_data();
    void start_session_failures();
    void unknown_kind_fails_at_the_first_statement_data();
    void unknown_kind_fails_at_the_first_statement();

    void employees_in_database_order_data();
    void employees_in_database_order();
    void company_settings_data();
    void company_settings();
    void table_items_follow_table_id_data();
    void table_items_follow_table_id();
};

void TestStartup::read_sales_ini_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");

    const QString app = QStringLiteral("営業手帳");
    QTest::newRow("one line") << QByteArray("\"営業手帳\",\"Jet\",\"sales.mdb\"\r\n") << app << "Jet"
                              << "sales.mdb";
    QTest::newRow("three lines") << QByteArray("\"営業手帳\"\r\n\"Jet\"\r\n\"sales.mdb\"\r\n") << app << "Jet"
                                 << "sales.mdb";
    QTest::newRow("unquoted, blanks trimmed")
        << QByteArray("  営業手帳 ,  Mysql ,\tsales  \r\n") << app << "Mysql"
        << "sales";
    QTest::newRow("quoted values keep commas and blanks")
        << QByteArray("\"a, b ,c\",\"Mssql\",\" 営業 DB \"\r\n") << "a, b ,c"
        << "Mssql"
        << " 営業 DB ";
    QTest::newRow("LF line ends") << QByteArray("first\nJet\nsales.mdb\n") << "first"
                                  << "Jet"
                                  << "sales.mdb";
    QTest::newRow("no final line end") << QByteArray("first,Jet,sales.mdb") << "first"
                                       << "Jet"
                                       << "sales.mdb";
    QTest::newRow("blank lines between") << QByteArray("first\r\n\r\nJet\r\n\r\nsales.mdb\r\n\r\n") << "first"
                                         << "Jet"
                                         << "sales.mdb";
    QTest::newRow("two on one line, one on the next")
        << QByteArray("\"first\",\"Jet\"\r\n\"sales.mdb\"\r\n") << "first"
        << "Jet"
        << "sales.mdb";
    QTest::newRow("empty first value") << QByteArray("\"\",\"Jet\",\"sales.mdb\"\r\n") << ""
                                       << "Jet"
                                       << "sales.mdb";
    QTest::newRow("more than three values") << QByteArray("first,Jet,sales.mdb,extra\r\n") << "first"
                                            << "Jet"
                                            << "sales.mdb";
    QTest::newRow("UTF-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF\"営業手帳\",\"Jet\",\"sales.mdb\"\r\n") << app << "Jet"
        << "sales.mdb";
    QStringEncoder sjis("Shift_JIS");
    QTest::newRow("Shift_JIS") << QByteArray(
                                      sjis.encode(QStringLiteral("\"営業手帳\",\"Jet\",\"売上.mdb\"\r\n")))
                               << app << "Jet"
                               << "売上.mdb";
}

void TestStartup::read_sales_ini() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, first);
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QTemporaryDir dir;
    write_file(QDir(dir.path()).filePath("sales.ini"), bytes);
    Session session;
    session.program_folder = dir.path();
    ::read_sales_ini(session);
    QCOMPARE(session.first_entry, first);
    QCOMPARE(session.db_kind, kind);
    QCOMPARE(session.database_name, name);
}

void TestStartup::write_sales_ini_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << "a"
                           << "Jet"
                           << "b.mdb" << QByteArray("\"a\",\"Jet\",\"b.mdb\"\r\n");
    QTest::newRow("Japanese") << "営業手帳"
                              << "Mysql"
                              << "sales" << QByteArray("\"営業手帳\",\"Mysql\",\"sales\"\r\n");
    QTest::newRow("empty first value") << ""
                                       << "Mssql"
                                       << "営業DB" << QByteArray("\"\",\"Mssql\",\"営業DB\"\r\n");
}

void TestStartup::write_sales_ini() {
    QFETCH(QString, first);
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("sales.ini");
    write_file(path, "\"old\",\"Jet\",\"a much longer name than any of the rows.mdb\"\r\n");
    ::write_sales_ini(dir.path(), first, kind, name);
    QCOMPARE(read_file(path), bytes);  // replaced, not appended

    Session session;
    session.program_folder = dir.path();
    ::read_sales_ini(session);
    QCOMPARE(session.first_entry, first);
    QCOMPARE(session.db_kind, kind);
    QCOMPARE(session.database_name, name);
}

void TestStartup::refused_write_keeps_old_sales_ini_data() {
    QTest::addColumn<int>("room");  // bytes the disk still takes
    QTest::newRow("no room at all") << 0;
    QTest::newRow("room for part of the line") << 12;
}

// A disk that refuses the write (here the process's file size limit, as a full disk would) leaves
// the old sales.ini whole, says so, and leaves no temporary file behind.
void TestStartup::refused_write_keeps_old_sales_ini() {
    QFETCH(int, room);
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("sales.ini");
    const QByteArray old("\"営業手帳\",\"Jet\",\"sales.mdb\"\r\n");
    write_file(path, old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(room);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString message;
    try {
        ::write_sales_ini(dir.path(), "営業手帳", "Jet", "another database with a long name.mdb");
    } catch (const StartupError& e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY2(message.startsWith(QStringLiteral("sales.ini を書き込めません")), qPrintable(message));
    QCOMPARE(read_file(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"sales.ini"});
}

void TestStartup::start_session_failures_data() {
    QTest::addColumn<bool>("has_ini");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("fragments");

    QTest::newRow("no sales.ini") << false << QByteArray() << QStringList{"sales.ini", "ありません"};
    QTest::newRow("empty sales.ini") << true << QByteArray() << QStringList{"sales.ini", "値が足りません"};
    QTest::newRow("two values") << true << QByteArray("\"a\",\"Jet\"\r\n")
                                << QStringList{"sales.ini", "値が足りません", "2"};
    QTest::newRow("kind in lower case")
        << true << QByteArray("\"a\",\"jet\",\"sales.mdb\"\r\n") << QStringList{"「jet」", "使えません"};
    QTest::newRow("unknown kind") << true << QByteArray("\"a\",\"Access\",\"sales.mdb\"\r\n")
                                  << QStringList{"「Access」", "使えません"};
    QTest::newRow("missing database file")
        << true << QByteArray("\"a\",\"Jet\",\"nothere.mdb\"\r\n")
        << QStringList{"データベースファイルが見つかりません", "nothere.mdb"};
    QTest::newRow("Mysql data source that does not exist")
        << true << QByteArray("\"a\",\"Mysql\",\"sales_no_such_dsn\"\r\n")
        << QStringList{"データベースを開けません", "sales_no_such_dsn"};
    QTest::newRow("Mssql data source that does not exist")
        << true << QByteArray("\"a\",\"Mssql\",\"sales_no_such_dsn\"\r\n")
        << QStringList{"データベースを開けません", "sales_no_such_dsn"};
}

void TestStartup::start_session_failures() {
    QFETCH(bool, has_ini);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, fragments);
    NoDataSources no_data_sources;
    QTemporaryDir dir;
    {
        // A good database beside the configuration: only what sales.ini says can be wrong.
        Database db;
        db.open_sqlite_file(QDir(dir.path()).filePath("sales.mdb"), true);
        create_schema(db);
    }
    if (has_ini)
        write_file(QDir(dir.path()).filePath("sales.ini"), ini);

    Session session;
    session.program_folder = dir.path();
    QString message;
    try {
        start_session(session);
    } catch (const StartupError& e) {
        message = e.message();
    }
    QVERIFY2(!message.isEmpty(), "start_session did not fail");
    for (const QString& fragment : fragments)
        QVERIFY2(message.contains(fragment),
                 qPrintable(QStringLiteral("「%1」がありません: %2").arg(fragment, message)));
    QVERIFY(!session.db->is_open());
    QVERIFY(session.employee_names.isEmpty());
}

void TestStartup::unknown_kind_fails_at_the_first_statement_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"jet", "JET", "mysql", ""})
        QTest::newRow(kind) << QString::fromUtf8(kind);
}

void TestStartup::unknown_kind_fails_at_the_first_statement() {
    QFETCH(QString, kind);
    TestFolder folder;
    Session session;
    session.program_folder = folder.path();
    session.db_kind = kind;
    session.database_name = QStringLiteral("sales.mdb");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, load_startup_data(session));
    QVERIFY(!session.db->is_open());
}

void TestStartup::employees_in_database_order_data() {
    QTest::addColumn<QStringList>("names");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("one") << QStringList{"営業一郎"};
    QTest::newRow("three") << QStringList{"佐藤", "鈴木", "高橋"};
    QTest::newRow("not in kana order") << QStringList{"渡辺", "伊藤", "阿部", "山田"};
}

void TestStartup::employees_in_database_order() {
    QFETCH(QStringList, names);
    TestFolder folder;
    for (const QString& name : names)
        folder.add_employee(name);
    folder.reload();
    QCOMPARE(folder.session().employee_names, names);
    QCOMPARE(folder.session().employee_count(), names.size());
}

void TestStartup::company_settings_data() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("settings");  // positions 1 to 14
    QTest::addColumn<QString>("tax_rate");

    QStringList seed(14, QString());
    seed[0] = "10";
    seed[13] = "0";
    QTest::newRow("seed row") << QStringList{} << "1" << seed << "10";

    QStringList null_name = seed;
    null_name[1] = "-";
    QTest::newRow("NULL company name")
        << QStringList{"update 自社情報 set 会社名=NULL"} << "1" << null_name << "10";

    const QStringList filled = {
        "8",    "山田商事株式会社", "100",    "0001",    "札幌市中央区",    "011-000-0000",    "011-000-0001",
        "20日", "pop.example.jp",   "yamada", "p'ss\\w", "smtp.example.jp", "info@example.jp", "1"};
    QTest::newRow("every column") << QStringList{"update 自社情報 set 消費税=8,会社名='山田商事株式会社',"
                                                 "郵便番号1='100',郵便番号2='0001',住所='札幌市中央区',"
                                                 "TEL='011-000-0000',FAX='011-000-0001',締め日='20日',"
                                                 "pop='pop.example.jp',userid='yamada',[password]='p''ss\\w',"
                                                 "[smtp]='smtp.example.jp',email='info@example.jp',業種タイプ=1"}
                                  << "1" << filled << "8";

    QStringList decimal_tax = seed;
    decimal_tax[0] = "8.5";
    QTest::newRow("decimal tax rate")
        << QStringList{"update 自社情報 set 消費税=8.5"} << "1" << decimal_tax << "8.5";

    QTest::newRow("another key") << QStringList{"delete from 自社情報",
                                                "insert into 自社情報 (id,消費税,業種タイプ) values(7,5,0)"}
                                 << "7" << QStringList{"5", "-", "-", "-", "-", "-", "-",
                                                       "-", "-", "-", "-", "-", "-", "0"}
                                 << "5";
    QTest::newRow("no company row") << QStringList{"delete from 自社情報"} << "" << QStringList(14, QString())
                                    << "";
}

void TestStartup::company_settings() {
    QFETCH(QStringList, setup);
    QFETCH(QString, key);
    QFETCH(QStringList, settings);
    QFETCH(QString, tax_rate);
    TestFolder folder;
    for (const QString& statement : setup)
        folder.exec(statement);
    folder.reload();
    const Session& session = folder.session();
    QCOMPARE(session.company_key, key);
    QCOMPARE(session.company_settings.size(), 16);
    QCOMPARE(session.company_settings.at(0), QString());
    QCOMPARE(session.company_settings.at(15), QString());
    QCOMPARE(session.company_settings.mid(1, 14), settings);
    QCOMPARE(session.tax_rate, tax_rate);
}

void TestStartup::table_items_follow_table_id_data() {
    QTest::addColumn<QList<int>>("physical_order");  // table_id of each row as inserted
    QTest::newRow("as seeded") << QList<int>{};
    QTest::newRow("reversed") << QList<int>{6, 5, 4, 3, 2, 1};
    QTest::newRow("shuffled") << QList<int>{3, 6, 1, 5, 2, 4};
}

void TestStartup::table_items_follow_table_id() {
    QFETCH(QList<int>, physical_order);
    TestFolder folder;
    if (!physical_order.isEmpty()) {
        const ResultTable seeded = folder.rows("select * from テーブル項目 order by table_id", 11);
        QCOMPARE(seeded.row_count(), 6);
        folder.exec("delete from テーブル項目");
        for (const int id : physical_order) {
            QStringList values{QString::number(id)};
            for (int c = 1; c < 11; ++c)
                values << (c == 2 ? seeded(c, id) : sql_text(seeded(c, id)));
            folder.exec(
                "insert into テーブル項目 "
                "(table_id,テーブル名,項目数,項目1,項目2,項目3,項目4,項目5,項目6,項目7,"
                "項目8) values(" +
                values.join(',') + ")");
        }
        // The rows really are stored out of order.
        QCOMPARE(folder.value("select table_id from テーブル項目"), QString::number(physical_order.first()));
    }
    folder.reload();
    const QVector<TableItem>& items = folder.session().table_items;
    QCOMPARE(items.size(), kActivityTables.size());
    for (int k = 0; k < items.size(); ++k) {
        const QStringList columns = column_names(kActivityTables.at(k));
        QCOMPARE(items.at(k).table_name, kActivityTables.at(k));
        QCOMPARE(items.at(k).field_count, std::min<int>(8, columns.size()));
        QCOMPARE(items.at(k).key_field, columns.first());
        QCOMPARE(items.at(k).field_names.size(), 8);
        for (int j = 0; j < 8; ++j)
            QCOMPARE(items.at(k).field_names.at(j), j < columns.size() ? columns.at(j) : QString());
    }
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
