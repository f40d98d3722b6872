// The postal table: Japan Post's files read with their quirks, look-ups by code and by address, the
// update in one step, and sales-cli postal. The files in tests/data/postal are hand-made records in
// Japan Post's format: KEN_ALL.CSV (Shift_JIS, 協和 of 066-0005 continued over three records),
// utf_ken_all.csv (UTF-8, one record a line) and ken_all.zip (KEN_ALL.CSV dated 2025/11/28).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "address/postal_files.h"
#include "address/postal_source.h"
#include "address/postal_table.h"

namespace {

QString data_file(const QString& name) {
    return QDir(qEnvironmentVariable("SALES_TEST_DATA")).filePath(QStringLiteral("postal/") + name);
}

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write_all(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// "code|都道府県|市区町村|町域" per entry.
QStringList lines_of(const QVector<PostalEntry>& entries) {
    QStringList lines;
    for (const PostalEntry& e : entries)
        lines << QStringList{e.code, e.prefecture, e.city, e.town}.join(u'|');
    return lines;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run run_cli(const QStringList& arguments, const QString& data_home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_home);
    env.remove(QStringLiteral("SALES_POSTAL_TABLE"));
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("SALES_CLI"), arguments);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace

class TestPostal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void find_code_data();
    void find_code();
    void find_address_data();
    void find_address();
    void code_typed_data();
    void code_typed();
    void data_date_data();
    void data_date();
    void failed_update_keeps_table_data();
    void failed_update_keeps_table();
    void broken_table_is_refused_data();
    void broken_table_is_refused();
    void cli_data();
    void cli();
    void cli_update_then_newer_table_is_used();

private:
    QTemporaryDir m_dir;
    QString table_of(const QString& file) const { return m_dir.filePath(file + QStringLiteral(".dat")); }
};

void TestPostal::initTestCase() {
    QVERIFY(m_dir.isValid());
    for (const QString file : {"KEN_ALL.CSV", "utf_ken_all.csv", "ken_all.zip"}) {
        const PostalUpdate update = update_postal_table(data_file(file), table_of(file));
        QVERIFY2(update.ok, qPrintable(update.message));
    }
}

void TestPostal::find_code_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("expected");
    const struct {
        const char* name;
        const char* code;
        QStringList expected;
    } cases[] = {
        {"one town", "1000001", {"1000001|東京都|千代田区|千代田"}},
        {"several towns under one code",
         "4520961",
         {"4520961|愛知県|清須市|春日明河原", "4520961|愛知県|清須市|春日一番割",
          "4520961|愛知県|清須市|春日壱屋敷"}},
        {"unknown code", "9999999", {}},
        {"以下に掲載がない場合: prefecture and city only", "0600000", {"0600000|北海道|札幌市中央区|"}},
        {"town continued over records, note dropped", "0660005", {"0660005|北海道|千歳市|協和"}},
        {"（その他）", "0691182", {"0691182|北海道|千歳市|協和"}},
        {"（１～１９丁目）", "0600042", {"0600042|北海道|札幌市中央区|大通西"}},
        {"same town under another code", "0640820", {"0640820|北海道|札幌市中央区|大通西"}},
        {"（次のビルを除く）", "1500013", {"1500013|東京都|渋谷区|恵比寿"}},
        {"（地階・階層不明）", "1506090", {"1506090|東京都|渋谷区|恵比寿恵比寿ガーデンプレイス"}},
        {"floor of a building stays", "1506001", {"1506001|東京都|渋谷区|恵比寿恵比寿ガーデンプレイス１階"}},
        {"村一円", "1000301", {"1000301|東京都|利島村|"}},
        {"一円 as a town's own name", "5220341", {"5220341|滋賀県|犬上郡多賀町|一円"}},
        {"の次に番地がくる場合", "0981600", {"0981600|北海道|宗谷郡猿払村|"}},
        {"first code of the table", "0000000", {}},
    };
    for (const QString file : {"KEN_ALL.CSV", "utf_ken_all.csv", "ken_all.zip"})
        for (const auto& c : cases)
            QTest::newRow(qPrintable(file + u' ' + QString::fromUtf8(c.name)))
                << file << QString::fromLatin1(c.code) << c.expected;
}

void TestPostal::find_code() {
    QFETCH(QString, file);
    QFETCH(QString, code);
    QFETCH(QStringList, expected);
    QString problem;
    const std::unique_ptr<PostalTable> table = PostalTable::open(table_of(file), &problem);
    QVERIFY2(table, qPrintable(problem));
    QCOMPARE(lines_of(table->find_code(code)), expected);
}

void TestPostal::find_address_data() {
    QTest::addColumn<QString>("prefecture");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("town") << "東京都"
                          << "千代田区千代田１－１" << QStringList{"1000001"};
    QTest::newRow("one town under two codes")
        << "北海道"
        << "札幌市中央区大通西5丁目" << QStringList{"0600042", "0640820"};
    QTest::newRow("prefecture written in the address")
        << ""
        << "北海道札幌市中央区旭ケ丘1-2" << QStringList{"0640941"};
    QTest::newRow("ヶ for ケ") << "北海道"
                               << "札幌市中央区旭ヶ丘" << QStringList{"0640941"};
    QTest::newRow("unknown town: the city's code") << "北海道"
                                                   << "札幌市中央区南一条西1" << QStringList{"0600000"};
    QTest::newRow("longest town wins") << "東京都"
                                       << "渋谷区恵比寿恵比寿ガーデンプレイス" << QStringList{"1506090"};
    QTest::newRow("shorter town") << "東京都"
                                  << "渋谷区恵比寿1-2-3" << QStringList{"1500013"};
    QTest::newRow("county left out") << "岩手県"
                                     << "葛巻町葛巻１" << QStringList{"0285102"};
    QTest::newRow("start of the prefecture") << "岩手"
                                             << "岩手郡葛巻町葛巻" << QStringList{"0285102"};
    QTest::newRow("city of another prefecture") << "大阪府"
                                                << "渋谷区恵比寿" << QStringList{};
    QTest::newRow("unknown city") << "東京都"
                                  << "港区芝公園" << QStringList{};
    QTest::newRow("empty address") << "東京都"
                                   << "" << QStringList{};
    QTest::newRow("town named 一円") << "滋賀県"
                                     << "犬上郡多賀町一円１２" << QStringList{"5220341"};
    QTest::newRow("village of one code") << "東京都"
                                         << "利島村２４８" << QStringList{"1000301"};
}

void TestPostal::find_address() {
    QFETCH(QString, prefecture);
    QFETCH(QString, address);
    QFETCH(QStringList, codes);
    const std::unique_ptr<PostalTable> table = PostalTable::open(table_of(QStringLiteral("utf_ken_all.csv")));
    QVERIFY(table);
    QStringList found;
    for (const PostalEntry& e : table->find_address(prefecture, address))
        found << e.code;
    QCOMPARE(found, codes);
}

void TestPostal::code_typed_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("digits");  // empty: not a code
    QTest::newRow("digits") << "1000001"
                            << "1000001";
    QTest::newRow("hyphen") << "100-0001"
                            << "1000001";
    QTest::newRow("full width") << "１００－０００１"
                                << "1000001";
    QTest::newRow("postal mark and blank") << "〒100 0001"
                                           << "1000001";
    QTest::newRow("long vowel mark as hyphen") << "１００ー０００１"
                                               << "1000001";
    QTest::newRow("six digits") << "100-001"
                                << "";
    QTest::newRow("eight digits") << "100-00011"
                                  << "";
    QTest::newRow("letters") << "100-000A"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPostal::code_typed() {
    QFETCH(QString, typed);
    QFETCH(QString, digits);
    const std::optional<QString> code = postal_code_digits(typed);
    QCOMPARE(code.value_or(QString()), digits);
}

void TestPostal::data_date_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("date");
    QTest::newRow("zip entry's date") << "ken_all.zip"
                                      << ""
                                      << "2025/11/28";
    QTest::newRow("file's date") << "utf_ken_all.csv"
                                 << ""
                                 << "2024/03/29";
    QTest::newRow("date given") << "ken_all.zip"
                                << "2026/01/31"
                                << "2026/01/31";
}

void TestPostal::data_date() {
    QFETCH(QString, file);
    QFETCH(QString, given);
    QFETCH(QString, date);
    QTemporaryDir dir;
    const QString copy = dir.filePath(file);
    QVERIFY(QFile::copy(data_file(file), copy));
    QFile f(copy);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2024, 3, 29), QTime(12, 0)), QFileDevice::FileModificationTime));
    f.close();
    const PostalUpdate update = update_postal_table(copy, dir.filePath("t.dat"), given);
    QVERIFY2(update.ok, qPrintable(update.message));
    const std::unique_ptr<PostalTable> table = PostalTable::open(dir.filePath("t.dat"));
    QVERIFY(table);
    QCOMPARE(table->date(), date);
}

void TestPostal::failed_update_keeps_table_data() {
    QTest::addColumn<QByteArray>("bytes");  // the file given to the update; empty: no such file
    QTest::addColumn<QString>("problem");   // in the message
    const QByteArray good = read_all(data_file("utf_ken_all.csv"));
    QTest::newRow("record of 14 values")
        << good +
               "13101,\"100  "
               "\",\"1000002\",\"a\",\"b\",\"c\",\"東京都\",\"千代田区\",\"皇居外苑\",0,0,0,0,0\r\n"
        << "値が 15 個ではありません";
    QTest::newRow("code of six digits")
        << good +
               "13101,\"100  "
               "\",\"100002\",\"a\",\"b\",\"c\",\"東京都\",\"千代田区\",\"皇居外苑\",0,0,0,0,0,0\r\n"
        << "郵便番号または都道府県・市区町村が正しくありません";
    QTest::newRow("quote left open") << good + "13101,\"100  \",\"1000002\r\n"
                                     << "値が 15 個ではありません";
    QTest::newRow("binary file") << QByteArray("\x00\x01\x02\xff", 4) << "文字コード";
    QTest::newRow("neither UTF-8 nor Shift_JIS") << QByteArray("\x81\x20\xff\xfe", 4) << "文字コード";
    QTest::newRow("broken zip") << QByteArray("PK\x03\x04 not really a zip", 24) << "ZIP";
    QTest::newRow("empty file") << QByteArray() << "郵便番号がありません";
    QTest::newRow("missing file") << QByteArray("missing") << "ファイルを開けません";
}

void TestPostal::failed_update_keeps_table() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString target = dir.filePath("postal.dat");
    QVERIFY(QFile::copy(table_of("utf_ken_all.csv"), target));
    const QByteArray before = read_all(target);
    const QString source = dir.filePath("KEN_ALL.CSV");
    if (bytes != "missing")
        write_all(source, bytes);
    const PostalUpdate update = update_postal_table(source, target);
    QVERIFY(!update.ok);
    QVERIFY2(update.message.contains(problem), qPrintable(update.message));
    QVERIFY(update.message.contains(QStringLiteral("変更していません")));
    QCOMPARE(read_all(target), before);
    // Nothing is left beside it either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), bytes == "missing" ? 1 : 2);
}

void TestPostal::broken_table_is_refused_data() {
    QTest::addColumn<int>("offset");  // byte changed; -1: cut in half
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a table") << 0 << QByteArray("XXXX");
    QTest::newRow("other version") << 8 << QByteArray("\x02", 1);
    QTest::newRow("entry count too large") << 12 << QByteArray("\xff\xff", 2);
    QTest::newRow("cut in half") << -1 << QByteArray();
    QTest::newRow("date not a date") << 52 << QByteArray("20xx");
}

void TestPostal::broken_table_is_refused() {
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QByteArray table = read_all(table_of("utf_ken_all.csv"));
    if (offset < 0)
        table.truncate(table.size() / 2);
    else
        table.replace(offset, bytes.size(), bytes);
    QTemporaryDir dir;
    write_all(dir.filePath("broken.dat"), table);
    QString problem;
    QVERIFY(!PostalTable::open(dir.filePath("broken.dat"), &problem));
    QVERIFY2(problem.startsWith(QStringLiteral("郵便番号データを読めません")), qPrintable(problem));
}

void TestPostal::cli_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::newRow("one town") << QStringList{"postal", "100-0001"} << 0
                              << "100-0001\t東京都\t千代田区\t千代田\n";
    QTest::newRow("several towns")
        << QStringList{"postal", "４５２０９６１"} << 0
        << "452-0961\t愛知県\t清須市\t春日明河原\n452-0961\t愛知県\t清須市\t春日一番割\n"
           "452-0961\t愛知県\t清須市\t春日壱屋敷\n";
    QTest::newRow("prefecture and city only")
        << QStringList{"postal", "0600000"} << 0 << "060-0000\t北海道\t札幌市中央区\t\n";
    QTest::newRow("none") << QStringList{"postal", "9999999"} << 1 << "";
    QTest::newRow("not a code") << QStringList{"postal", "12-34"} << 2 << "";
    QTest::newRow("address")
        << QStringList{"postal", "--address", "北海道札幌市中央区大通西１０丁目"} << 0
        << "060-0042\t北海道\t札幌市中央区\t大通西\n064-0820\t北海道\t札幌市中央区\t大通西\n";
    QTest::newRow("address unknown") << QStringList{"postal", "--address", "東京都港区芝公園"} << 1 << "";
    QTest::newRow("update without file") << QStringList{"postal", "update"} << 2 << "";
}

void TestPostal::cli() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QTemporaryDir home;
    // The hand-made table as the user's own, dated after any shipped one.
    const PostalUpdate update = update_postal_table(data_file("utf_ken_all.csv"),
                                                    home.filePath("eigyo-techo/postal.dat"), "2099/12/31");
    QVERIFY2(update.ok, qPrintable(update.message));
    const Run r = run_cli(arguments, home.path());
    QCOMPARE(r.status, status);
    QCOMPARE(r.out, out);
    if (status != 0)
        QVERIFY(!r.err.isEmpty());
}

// The update writes the user's table; of the user's and the shipped one the newer data is used.
void TestPostal::cli_update_then_newer_table_is_used() {
    QTemporaryDir home;
    const QString own = home.filePath("eigyo-techo/postal.dat");
    Run r = run_cli({"postal", "update", data_file("ken_all.zip"), "--date", "2099/12/31"}, home.path());
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("郵便番号データを更新しました")), qPrintable(r.out));
    QVERIFY(QFileInfo::exists(own));
    r = run_cli({"postal", "info"}, home.path());
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(QDir::toNativeSeparators(own)), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("日付: 2099/12/31")));
    QVERIFY(r.out.contains(QStringLiteral("郵便番号: 16 件（町域 18 件）")));
    // A failed update says so and keeps that table.
    r = run_cli({"postal", "update", data_file("missing.csv")}, home.path());
    QCOMPARE(r.status, 1);
    QVERIFY(r.err.contains(QStringLiteral("変更していません")));
    QVERIFY(run_cli({"postal", "info"}, home.path()).out.contains(QStringLiteral("日付: 2099/12/31")));
    // An older table of the user's gives way to the shipped one.
    r = run_cli({"postal", "update", data_file("ken_all.zip"), "--date", "2000/01/31"}, home.path());
    QCOMPARE(r.status, 0);
    r = run_cli({"postal", "info"}, home.path());
    QCOMPARE(r.status, 0);
    QVERIFY2(!r.out.contains(QDir::toNativeSeparators(own)), qPrintable(r.out));
}

QTEST_GUILESS_MAIN(TestPostal)
#include "test_postal.moc"
