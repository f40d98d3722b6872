#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <optional>
#include <thread>

#include "app/sequential_values.h"
#include "app/startup.h"
#include "customers/backup.h"
#include "customers/csv_import.h"
#include "customers/customer_store.h"
#include "db/bulk_journal.h"
#include "db/schema.h"
#include "test_folder.h"
#include "ui/masters/backup_commands.h"
#include "ui/masters/import_csv.h"

namespace {

QString fixture(const QString& name) {
    return QDir(qEnvironmentVariable("SALES_TEST_DATA")).filePath(QStringLiteral("csv/") + name);
}

QString write_file(const QString& folder, const QString& name, const QByteArray& bytes) {
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray customer_line(const QString& name, const QString& kana, const QString& email) {
    return (QStringLiteral("%1,%2,東京都,100,0001,千代田区,03-0000-0000,,,%3,担当,たんとう,備考\r\n")
                .arg(name, kana, email))
        .toUtf8();
}

}  // namespace

class TestCustomers : public QObject {
    Q_OBJECT
private slots:
    void customer_file_data();
    void customer_file();
    void goods_file_data();
    void goods_file();
    void encodings_data();
    void encodings();
    void refused_record_leaves_nothing_data();
    void refused_record_leaves_nothing();
    void import_beside_another_connection_data();
    void import_beside_another_connection();
    void malformed_file_refusals_data();
    void malformed_file_refusals();
    void full_disk_leaves_nothing();
    void trailing_comma_keeps_empty_value();
    void import_menu_reports_count();
    void backup_copies_committed_rows();
    void backup_refusals_data();
    void backup_refusals();
    void replace_file_keeps_target_whole_data();
    void replace_file_keeps_target_whole();
    void backup_menu_proposes_dated_name();
    void change_db_data();
    void change_db();
    void cli_import_and_backup();
};

// Whole customer files: what the check says, and what the import leaves in the table.
void TestCustomers::customer_file_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");  // the start of the message
    QTest::addColumn<int>("stored");

    const QByteArray two = customer_line("山田商事", "やまだ", "a@example.jp") +
                           customer_line("鈴木工業", "すずき", "b@example.jp");
    QTest::newRow("two records one per line")
        << two << true << QStringLiteral(" 顧客を 2 読み込みました") << 2;
    QTest::newRow("empty email in the second record")
        << customer_line("山田商事", "やまだ", "a@example.jp") + customer_line("鈴木工業", "すずき", "")
        << false << QStringLiteral("インポート顧客　エラー　EMAIL エラー　：\n（2 件目のデータ）") << 0;
    QTest::newRow("katakana reading") << customer_line("山田商事", "ヤマダ", "a@example.jp") << false
                                      << QStringLiteral("インポート顧客　エラー　かなエラー　：ヤマダ") << 0;
    QTest::newRow("reading starting with ん") << customer_line("ん商会", "んしょうかい", "a@example.jp")
                                              << true << QStringLiteral(" 顧客を 1 読み込みました") << 1;
    QTest::newRow("empty name") << customer_line("", "やまだ", "a@example.jp") << false
                                << QStringLiteral("インポート顧客　エラー　顧客名エラー　：") << 0;
    QTest::newRow("empty file") << QByteArray() << true << QStringLiteral(" 顧客を 0 読み込みました") << 0;
    QTest::newRow("incomplete last record")
        << customer_line("山田商事", "やまだ", "a@example.jp") + QByteArray("佐藤商店,さとう,東京都\r\n")
        << false
        << QStringLiteral(
               "インポート顧客　エラー　最後のデータが不完全です（2 件目：値が 13 個のうち 3 "
               "個しかありません）："
               "佐藤商店")
        << 0;
}

void TestCustomers::customer_file() {
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(int, stored);
    TestFolder folder;
    const QString path = write_file(folder.path(), QStringLiteral("in.csv"), content);
    const CsvResult checked = validate_customer_csv(path);
    QCOMPARE(checked.ok, ok);
    const CsvResult imported = import_customer_csv(folder.db(), path);
    QCOMPARE(imported.ok, ok);
    QVERIFY2(imported.message.startsWith(message), qPrintable(imported.message));
    QCOMPARE(folder.count(QStringLiteral("顧客")), stored);
}

void TestCustomers::goods_file_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("prices");  // 単価 of the stored rows

    QTest::newRow("quoted price with a thousands comma")
        << QByteArray("1,\"事務用品\",\"ボールペン\",\"1,500\"\r\n") << true
        << QStringLiteral(" 商品を 1 読み込みました") << QStringList{QStringLiteral("1500")};
    QTest::newRow("category code 0") << QByteArray("0,事務用品,消しゴム,100\r\n") << false
                                     << QStringLiteral("分類コードまたが単価が不正です : 0") << QStringList{};
    QTest::newRow("price that is not a number")
        << QByteArray("1,事務用品,消しゴム,百円\r\n") << false
        << QStringLiteral("分類コードまたが単価が不正です : 百円") << QStringList{};
    QTest::newRow("unquoted thousands comma shifts the values")
        << QByteArray("1,事務用品,ボールペン,1,500\r\n") << false
        << QStringLiteral("最後のデータが不完全です（2 件目：値が 4 個のうち 1 個しかありません）：500")
        << QStringList{};
    QTest::newRow("two records on one line") << QByteArray("1,事務用品,鉛筆,80,2,家具,椅子,12000\r\n") << true
                                             << QStringLiteral(" 商品を 2 読み込みました")
                                             << QStringList{QStringLiteral("80"), QStringLiteral("12000")};
}

void TestCustomers::goods_file() {
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, prices);
    TestFolder folder;
    const QString path = write_file(folder.path(), QStringLiteral("goods.csv"), content);
    QCOMPARE(validate_goods_csv(path).ok, ok);
    const CsvResult imported = import_goods_csv(folder.db(), path);
    QCOMPARE(imported.ok, ok);
    QVERIFY2(imported.message.startsWith(message), qPrintable(imported.message));
    const ResultTable rows =
        folder.rows(QStringLiteral("select 単価, typeof(単価) from 商品 order by 商品ID"), 2);
    QStringList stored;
    for (int i = 1; i <= rows.row_count(); ++i) {
        QCOMPARE(rows(1, i), QStringLiteral("integer"));  // a number, not the quoted text
        stored << rows(0, i);
    }
    QCOMPARE(stored, prices);
}

// The same names whatever the encoding of the file; a file in neither encoding is refused.
void TestCustomers::encodings_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("ok");
    QTest::newRow("UTF-8") << QStringLiteral("customers_utf8.csv") << true;
    QTest::newRow("UTF-8 with BOM") << QStringLiteral("customers_utf8_bom.csv") << true;
    QTest::newRow("Shift_JIS") << QStringLiteral("customers_sjis.csv") << true;
    QTest::newRow("neither") << QStringLiteral("customers_unknown_encoding.csv") << false;
}

void TestCustomers::encodings() {
    QFETCH(QString, file);
    QFETCH(bool, ok);
    TestFolder folder;
    const CsvResult result = import_customer_csv(folder.db(), fixture(file));
    QCOMPARE(result.ok, ok);
    if (!ok) {
        QVERIFY2(result.message.contains(QStringLiteral("UTF-8 でも Shift_JIS でもありません")),
                 qPrintable(result.message));
        QCOMPARE(folder.count(QStringLiteral("顧客")), 0);
        return;
    }
    const ResultTable rows =
        folder.rows(QStringLiteral("select 顧客名,顧客名かな,備考,Email from 顧客 order by 顧客ID"), 4);
    QCOMPARE(rows.row_count(), 2);
    QCOMPARE(rows(0, 1), QStringLiteral("山田商事"));
    QCOMPARE(rows(2, 1), QStringLiteral("創業 1950 年、①重要"));
    QCOMPARE(rows(0, 2), QStringLiteral("鈴木工業"));
    QCOMPARE(rows(1, 2), QStringLiteral("すずきこうぎょう"));
    QCOMPARE(rows(2, 2), QString());
    QCOMPARE(rows(3, 2), QStringLiteral("suzuki@example.jp"));
}

// A record the database refuses rolls back the whole file and is named in the message, wherever it
// stands among the rows stored several to a statement; the file's write-ahead log is back after.
void TestCustomers::refused_record_leaves_nothing_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("refused");  // from 1
    QTest::addColumn<bool>("unreadable");  // a text no back-end stores, else refused by the database
    QTest::newRow("2 of 3") << 3 << 2 << false;
    QTest::newRow("41 of 45, in the third statement") << 45 << 41 << false;
    QTest::newRow("the last of 40") << 40 << 40 << false;
    QTest::newRow("U+FFFF in 25 of 30") << 30 << 25 << true;
}

void TestCustomers::refused_record_leaves_nothing() {
    QFETCH(int, records);
    QFETCH(int, refused);
    QFETCH(bool, unreadable);
    TestFolder folder;
    folder.exec(
        QStringLiteral("create trigger refuse before insert on 顧客 when new.顧客名='拒否商事' "
                       "begin select raise(abort, '登録できない顧客です'); end"));
    QByteArray file;
    for (int i = 1; i <= records; ++i) {
        const QString name = i != refused ? QStringLiteral("顧客%1").arg(i)
                             : unreadable ? QStringLiteral("読めない") + QChar(0xFFFF)
                                          : QStringLiteral("拒否商事");
        file += customer_line(name, "こきゃく", QStringLiteral("c%1@example.jp").arg(i));
    }
    const QString path = write_file(folder.path(), QStringLiteral("in.csv"), file);
    QVERIFY(validate_customer_csv(path).ok);
    const CsvResult result = import_customer_csv(folder.db(), path);
    QVERIFY(!result.ok);
    const QString named = QStringLiteral("%1 件目のデータ（%2").arg(refused).arg(unreadable ? "読めない" : "拒否商事）");
    QVERIFY2(result.message.contains(named), qPrintable(result.message));
    QVERIFY2(result.message.contains(unreadable ? "U+FFFF" : "登録できない顧客です"), qPrintable(result.message));
    QCOMPARE(folder.count(QStringLiteral("顧客")), 0);
    QCOMPARE(folder.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
}

// An import stores every record with its search index whether or not another program has the file
// open; the file keeps its write-ahead log, and the other program reads what was stored. One that
// starts during the import waits for it rather than being refused.
void TestCustomers::import_beside_another_connection_data() {
    QTest::addColumn<QString>("other");
    QTest::newRow("alone") << QStringLiteral("none");
    QTest::newRow("another connection open") << QStringLiteral("open before");
    QTest::newRow("another program starts during it") << QStringLiteral("opens during");
}

void TestCustomers::import_beside_another_connection() {
    QFETCH(QString, other);
    TestFolder folder;
    std::optional<Database> before;
    if (other == QLatin1String("open before")) {
        before.emplace();
        before->open_sqlite_file(folder.database_path(), false);
        QCOMPARE(before->query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("0"));
    }
    {
        // Alone, the import keeps a rollback journal while it writes.
        const BulkJournal journal(folder.db());
        QCOMPARE(journal.active(), !before);
        QCOMPARE(folder.value(QStringLiteral("PRAGMA journal_mode")),
                 before ? QStringLiteral("wal") : QStringLiteral("delete"));
    }
    QCOMPARE(folder.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    QByteArray file;
    for (int i = 1; i <= 300; ++i)
        file += QStringLiteral("顧客%1,こきゃく,東京都,100,0001,千代田区,03-7%2,,,c%1@example.jp,担当,たんとう,備考\r\n")
                    .arg(i)
                    .arg(i, 7, 10, QLatin1Char('0'))
                    .toUtf8();
    std::thread during;
    QString seen_during;
    auto progress = [&](int, int) {
        if (other == QLatin1String("opens during") && !during.joinable())
            during = std::thread([&] {
                try {
                    Database late;
                    late.open_sqlite_file(folder.database_path(), false);
                    seen_during = late.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1);
                } catch (const DatabaseError& e) {
                    seen_during = e.message();
                }
            });
        return true;
    };
    const CsvResult result =
        import_customer_csv(folder.db(), write_file(folder.path(), "in.csv", file), progress);
    if (during.joinable())
        during.join();
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(folder.count(QStringLiteral("顧客")), 300);
    QCOMPARE(folder.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    // The index holds exactly the stored texts, and finds a record by part of its number.
    folder.exec(QStringLiteral("insert into 顧客検索(顧客検索, rank) values('integrity-check', 1)"));
    QCOMPARE(partial_search_customer_ids(folder.db(), QStringLiteral("0000150")),
             QVector<QString>{QStringLiteral("150")});
    if (before)
        QCOMPARE(before->query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("300"));
    if (other == QLatin1String("opens during"))
        QCOMPARE(seen_during, QStringLiteral("300"));
}

void TestCustomers::malformed_file_refusals_data() {
    QTest::addColumn<bool>("goods");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");  // part of the message
    // The quote opens in record 1's last field (備考) and is never closed.
    QByteArray swallowing = customer_line("山田商事", "やまだ", "a@example.jp");
    swallowing.replace("備考\r\n", "\"備考の続き\r\n");
    for (int i = 2; i <= 5; ++i)
        swallowing += customer_line(QStringLiteral("顧客%1").arg(i), "こきゃく", "b@example.jp");
    QTest::newRow("quote open in record 1 swallows 2 to 5")
        << false << swallowing << QStringLiteral("1 件目のデータで開いたまま");
    QTest::newRow("goods quote open in record 2")
        << true << QByteArray("1,文具,ペン,100\r\n2,文具,\"ノート,200\r\n3,文具,消しゴム,50\r\n")
        << QStringLiteral("2 件目のデータで開いたまま");
    const QString long_kana(100000, QChar(0x30A2));  // ア, refused as a reading
    QTest::newRow("long reading quoted by 40 characters")
        << false << customer_line("山田商事", long_kana, "a@example.jp")
        << QStringLiteral("かなエラー　：") + QString(40, QChar(0x30A2)) + QChar(0x2026) +
               QStringLiteral("\n");
    QTest::newRow("long price quoted by 40 characters")
        << true << (QStringLiteral("1,文具,ペン,") + QString(5000, u'x') + QStringLiteral("\r\n")).toUtf8()
        << QStringLiteral(" : ") + QString(40, u'x') + QChar(0x2026) + QStringLiteral("\n");
    QTest::newRow("long unfinished record quoted by 40 characters")
        << false
        << customer_line("山田商事", "やまだ", "a@example.jp") +
               (QString(5000, u'y') + QStringLiteral(",やまだ")).toUtf8()
        << QStringLiteral("：") + QString(40, u'y') + QChar(0x2026);
}

// Files the check refuses: nothing is imported, the message names the record and quotes a value
// by its first 40 characters at most.
void TestCustomers::malformed_file_refusals() {
    QFETCH(bool, goods);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    TestFolder folder;
    const QString path = write_file(folder.path(), QStringLiteral("in.csv"), content);
    const CsvResult checked = goods ? validate_goods_csv(path) : validate_customer_csv(path);
    QVERIFY(!checked.ok);
    QVERIFY2(checked.message.contains(expected), qPrintable(checked.message.left(300)));
    QVERIFY2(checked.message.size() < 200, qPrintable(checked.message.left(300)));
    const CsvResult imported =
        goods ? import_goods_csv(folder.db(), path) : import_customer_csv(folder.db(), path);
    QVERIFY(!imported.ok);
    QCOMPARE(imported.message, checked.message);
    QCOMPARE(folder.count(goods ? QStringLiteral("商品") : QStringLiteral("顧客")), 0);
}

// A disk that fills up during the import (SQLite's page limit stands in for it): nothing of the file
// stays, and the message says so in Japanese.
void TestCustomers::full_disk_leaves_nothing() {
    TestFolder folder;
    QByteArray content;
    for (int i = 1; i <= 20000; ++i)
        content += customer_line(QStringLiteral("顧客%1").arg(i), "こきゃく", "a@example.jp");
    const QString path = write_file(folder.path(), QStringLiteral("in.csv"), content);
    const int pages = folder.value(QStringLiteral("PRAGMA page_count")).toInt();
    folder.rows(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 40), 1);
    const CsvResult result = import_customer_csv(folder.db(), path);
    QVERIFY(!result.ok);
    QVERIFY2(result.message.startsWith(QStringLiteral("ディスクの空きが足りません")), qPrintable(result.message));
    QVERIFY2(result.message.contains(QStringLiteral("1 件も登録していません")), qPrintable(result.message));
    QCOMPARE(folder.count(QStringLiteral("顧客")), 0);
}

// An empty last column written as a trailing comma is a value: records do not shift.
void TestCustomers::trailing_comma_keeps_empty_value() {
    const QStringList values = read_sequential_values(QStringLiteral("a,b,\r\nc, \r\n\"d\",\"\"\r\n"));
    QCOMPARE(values, (QStringList{"a", "b", "", "c", "", "d", ""}));
}

void TestCustomers::import_menu_reports_count() {
    TestFolder folder;
    QueuedPrompter prompter;
    prompter.files << fixture(QStringLiteral("goods_sjis.csv"));
    import_goods_from_menu(folder.session(), prompter, nullptr);
    QCOMPARE(prompter.messages, QStringList{QStringLiteral(" 商品を 2 読み込みました")});
    QCOMPARE(folder.value(QStringLiteral("select 商品名 from 商品 where 単価=1500")),
             QStringLiteral("ボールペン　黒"));
    // Cancelling the dialog imports nothing and says nothing.
    prompter.clear();
    import_customers_from_menu(folder.session(), prompter, nullptr);
    QVERIFY(prompter.messages.isEmpty());
    QCOMPARE(folder.count(QStringLiteral("顧客")), 0);
}

// Rows committed while the program holds the file open (still in the write-ahead log) are in the copy.
void TestCustomers::backup_copies_committed_rows() {
    TestFolder folder;
    for (int i = 0; i < 50; ++i)
        folder.add_customer(QStringLiteral("顧客%1").arg(i), QStringLiteral("こきゃく"));
    QVERIFY(QFileInfo(folder.database_path() + QStringLiteral("-wal")).size() > 0);
    const QString target = QDir(folder.path()).filePath(QStringLiteral("copy/backup.mdb"));
    QDir(folder.path()).mkpath(QStringLiteral("copy"));
    write_file(folder.path(), QStringLiteral("copy/backup.mdb"), "an older file that is replaced");
    const MaintenanceResult result = backup_database(folder.session(), target);
    QVERIFY2(result.ok, qPrintable(result.message));
    QVERIFY(result.message.startsWith(QStringLiteral("データベースをバックアップしました")));
    QVERIFY(!QFileInfo::exists(target + QStringLiteral("-wal")));
    Database copy;
    copy.open_sqlite_file(target, false);
    QCOMPARE(copy.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("50"));
    QCOMPARE(copy.query_rows(QStringLiteral("select count(*) from RFM"), 1)(0, 1), QStringLiteral("12"));
    // The program goes on with its own connection.
    QCOMPARE(folder.count(QStringLiteral("顧客")), 50);
}

void TestCustomers::backup_refusals_data() {
    QTest::addColumn<QString>("db_kind");
    QTest::addColumn<QString>("target");  // relative to the program folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("data source back-end")
        << QStringLiteral("Mysql") << QStringLiteral("b.mdb") << QStringLiteral("ファイルではない");
    QTest::newRow("missing folder") << QStringLiteral("Jet") << QStringLiteral("none/b.mdb")
                                    << QStringLiteral("フォルダに書き込めません");
    QTest::newRow("the database itself") << QStringLiteral("Jet") << QStringLiteral("sales.mdb")
                                         << QStringLiteral("使用中のデータベースファイル");
}

void TestCustomers::backup_refusals() {
    QFETCH(QString, db_kind);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    TestFolder folder;
    folder.session().db_kind = db_kind;
    const MaintenanceResult result = backup_database(folder.session(), QDir(folder.path()).filePath(target));
    QVERIFY(!result.ok);
    QVERIFY2(result.message.startsWith(QStringLiteral("バックアップできませんでした。")),
             qPrintable(result.message));
    QVERIFY2(result.message.contains(reason), qPrintable(result.message));
    QVERIFY(folder.db().is_open());
}

void TestCustomers::replace_file_keeps_target_whole_data() {
    QTest::addColumn<bool>("source_exists");
    QTest::addColumn<QByteArray>("target_after");
    QTest::newRow("replaced in one step") << true << QByteArray("new copy");
    QTest::newRow("failed replacement keeps the old file") << false << QByteArray("old backup");
}

// The backup's last step: the new copy takes the old one's place by one rename, so the old backup is
// never gone before the new one is in place.
void TestCustomers::replace_file_keeps_target_whole() {
    QFETCH(bool, source_exists);
    QFETCH(QByteArray, target_after);
    TestFolder folder;
    const QString target = write_file(folder.path(), QStringLiteral("backup.mdb"), "old backup");
    const QString source = QDir(folder.path()).filePath(QStringLiteral("backup.mdb.part"));
    if (source_exists)
        write_file(folder.path(), QStringLiteral("backup.mdb.part"), "new copy");
    QString reason;
    QCOMPARE(replace_file(source, target, &reason), source_exists);
    QCOMPARE(reason.isEmpty(), source_exists);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), target_after);
    QVERIFY(!QFileInfo::exists(source));
}

void TestCustomers::backup_menu_proposes_dated_name() {
    TestFolder folder(QDate(2003, 11, 30));
    QueuedPrompter prompter;
    backup_from_menu(folder.session(), prompter, nullptr);  // cancelled
    QCOMPARE(prompter.proposed_file_name(), QStringLiteral("backup_20031130.mdb"));
    QVERIFY(prompter.messages.isEmpty());
    prompter.files << QDir(folder.path()).filePath(QStringLiteral("backup_20031130.mdb"));
    backup_from_menu(folder.session(), prompter, nullptr);
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.last().startsWith(QStringLiteral("データベースをバックアップしました")));
    QVERIFY(QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("backup_20031130.mdb"))));
}

// change_DB writes only the file name, keeps the other two values, and refuses what is not ours.
void TestCustomers::change_db_data() {
    QTest::addColumn<QString>("db_kind");
    QTest::addColumn<QString>("file");  // made by the test; "shop" is a database of this program
    QTest::addColumn<bool>("elsewhere");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    const QString restart = QStringLiteral("設定を有効にするため、プログラムを再起動してください");
    const QString foreign = QStringLiteral("このプログラムのデータベースではありません");
    QTest::newRow("file in another folder") << "Jet"
                                            << "shop" << true << true << restart;
    QTest::newRow("file in the program folder") << "Jet"
                                                << "shop" << false << true << restart;
    QTest::newRow("database without the tables") << "Jet"
                                                 << "foreign" << true << false << foreign;
    QTest::newRow("not a database") << "Jet"
                                    << "text" << true << false << foreign;
    // A data source name is not a file: writing the file's name as one would break the next start.
    QTest::newRow("data source back-end")
        << "Mysql"
        << "shop" << true << false << QStringLiteral("データベースファイルには切り替えられません");
}

void TestCustomers::change_db() {
    QFETCH(QString, db_kind);
    QFETCH(QString, file);
    QFETCH(bool, elsewhere);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    TestFolder folder;
    QTemporaryDir other;
    const QString dir = elsewhere ? other.path() : folder.path();
    const QString path = QDir(dir).filePath(QStringLiteral("Shop.mdb"));
    if (file == QLatin1String("text")) {
        write_file(dir, QStringLiteral("Shop.mdb"), "not a database at all\n");
    } else {
        Database db;
        db.open_sqlite_file(path, true);
        if (file == QLatin1String("shop")) {
            create_schema(db);
            db.execute_sql(QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values('別店舗','べつ')"));
        } else {
            db.execute_sql(QStringLiteral("create table other (a int)"));
        }
    }
    folder.session().db_kind = db_kind;
    QueuedPrompter prompter;
    prompter.files << path;
    change_db_from_menu(folder.session(), prompter, nullptr);
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY2(prompter.last().contains(message), qPrintable(prompter.last()));
    QCOMPARE(folder.db().is_open(), !ok);

    Session next;
    next.program_folder = folder.path();
    read_sales_ini(next);
    QCOMPARE(next.first_entry, QStringLiteral("test"));
    QCOMPARE(next.db_kind, QStringLiteral("Jet"));
    if (!ok) {
        QCOMPARE(next.database_name, QStringLiteral("sales.mdb"));
        QVERIFY(!QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("Shop.mdb"))));
        return;
    }
    QCOMPARE(next.database_name, QStringLiteral("Shop.mdb"));
    // The next start opens the chosen database from the program folder.
    start_session(next);
    QCOMPARE(next.db->query_rows(QStringLiteral("select 顧客名 from 顧客"), 1)(0, 1),
             QStringLiteral("別店舗"));
}

void TestCustomers::cli_import_and_backup() {
    TestFolder folder;
    folder.db().close();
    const QString cli = qEnvironmentVariable("SALES_CLI");
    QVERIFY(QFileInfo::exists(cli));
    auto run = [&](const QStringList& arguments, QString* output) {
        QProcess p;
        p.setWorkingDirectory(folder.path());
        p.start(cli, arguments);
        p.waitForFinished(60000);
        if (output)
            *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    QString output;
    QCOMPARE(run({QStringLiteral("import"), QStringLiteral("customers"),
                  fixture(QStringLiteral("customers_sjis.csv"))},
                 &output),
             0);
    QCOMPARE(output.trimmed(), QStringLiteral("顧客を 2 読み込みました"));
    QCOMPARE(run({QStringLiteral("import"), QStringLiteral("goods"),
                  fixture(QStringLiteral("customers_utf8.csv"))},
                 &output),
             1);
    QVERIFY2(output.startsWith(QStringLiteral("分類コードまたが単価が不正です : 山田商事")),
             qPrintable(output));
    QCOMPARE(run({QStringLiteral("--as-of"), QStringLiteral("2003/11/30"), QStringLiteral("backup"),
                  QStringLiteral("b.mdb")},
                 &output),
             0);
    Database copy;
    copy.open_sqlite_file(QDir(folder.path()).filePath(QStringLiteral("b.mdb")), false);
    QCOMPARE(copy.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("2"));
    QCOMPARE(run({QStringLiteral("import"), QStringLiteral("orders"), QStringLiteral("x.csv")}, nullptr), 2);
}

QTEST_MAIN(TestCustomers)
#include "test_customers.moc"
