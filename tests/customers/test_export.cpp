#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "app/table_csv.h"
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
    void customers_round_trip_data();
    void customers_round_trip();
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
    QCOMPARE(after.row_count(), 2);
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c < 13; ++c)
            QCOMPARE(after(c, r), before(c, r));
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
    // Qt's PDF text map gives kanji that are also radicals (一, 金) as the radical: NFKC reads them back.
    const QString page = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    QVERIFY2(page.contains(QRegularExpression(QStringLiteral("顧客ID\\s+顧客名\\s+総合\\s+R\\s+F\\s+M"))),
             qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("株式会社みどり")), qPrintable(page));
    QVERIFY2(page.contains(QRegularExpression(QStringLiteral("1\\s*/\\s*1"))), qPrintable(page));
}

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
