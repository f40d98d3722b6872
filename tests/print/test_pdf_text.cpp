// The text of a PDF reads back (pdftotext, copy, search) as the very characters that were printed:
// the printing font gives each glyph one character, where the stock font names the Kangxi radical
// ⽊ for 木, EM SPACE for 　, HYPHENATION POINT for ・.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "app/demo_data.h"
#include "print/print_job.h"
#include "test_folder.h"

namespace {

// Every character the PDF's text can give: the targets of its fonts' ToUnicode maps (as Qt writes
// them: uncompressed, "<first> <last> [<utf16> ...]" ranges and "<code> <utf16>" pairs).
QSet<char32_t> mapped_characters(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = file.readAll();
    static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>"));
    QSet<char32_t> out;
    for (qsizetype at = pdf.indexOf("stream"); at >= 0; at = pdf.indexOf("stream", at + 1)) {
        const qsizetype start = pdf.indexOf('\n', at) + 1;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (start <= 0 || end < 0 || pdf.mid(at - 3, 3) == "end")
            continue;
        // Qt writes the maps uncompressed.
        const QByteArray map = pdf.mid(start, end - start);
        if (!map.contains("beginbfrange") && !map.contains("beginbfchar"))
            continue;
        bool ranges = false, pairs = false;
        for (const QByteArray& line : map.split('\n')) {
            ranges = (ranges || line.contains("beginbfrange")) && !line.contains("endbfrange");
            pairs = (pairs || line.contains("beginbfchar")) && !line.contains("endbfchar");
            if (!ranges && !pairs)
                continue;
            QStringList codes;
            for (const QRegularExpressionMatch& m : hex.globalMatch(QString::fromLatin1(line)))
                codes << m.captured(1);
            auto decoded = [](const QString& utf16) {
                QString text;
                for (qsizetype k = 0; k + 4 <= utf16.size(); k += 4)
                    text += QChar(char16_t(utf16.mid(k, 4).toUShort(nullptr, 16)));
                return text;
            };
            QString targets;
            if (pairs && codes.size() == 2) {
                targets = decoded(codes.at(1));
            } else if (ranges && line.contains('[')) {
                for (qsizetype i = 2; i < codes.size(); ++i)
                    targets += decoded(codes.at(i));
            } else if (ranges && codes.size() == 3) {
                const uint first = codes.at(0).toUInt(nullptr, 16), last = codes.at(1).toUInt(nullptr, 16);
                const uint target = codes.at(2).toUInt(nullptr, 16);
                for (uint c = 0; c <= last - first && last >= first; ++c)
                    targets += QChar(char16_t(target + c));
            }
            for (char32_t c : targets.toUcs4())
                if (c != 0)
                    out.insert(c);
        }
    }
    return out;
}

QSet<char32_t> characters_of(const QStringList& texts) {
    QSet<char32_t> out;
    for (const QString& t : texts)
        for (char32_t c : t.toUcs4())
            out.insert(c);
    return out;
}

QString pdf_text(const QString& path) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), path, QStringLiteral("-")});
    if (!text.waitForFinished(60000) || text.exitCode() != 0)
        return QStringLiteral("<pdftotext failed>");
    return QString::fromUtf8(text.readAllStandardOutput());
}

QString printed(const QTemporaryDir& dir, const PrintTable& table) {
    const QString path = dir.filePath(QStringLiteral("p.pdf"));
    QString message;
    if (!write_pdf(
            PrintJob(PrintHeading{QStringLiteral("営業手帳"), QStringLiteral("一覧"), QDate(2026, 12, 8)},
                     table),
            path, message))
        return message;
    return pdf_text(path);
}

}  // namespace

class TestPdfText : public QObject {
    Q_OBJECT
private slots:
    void printed_text_reads_back_data();
    void printed_text_reads_back();
    void demo_customer_list_reads_back();
    void demo_rfm_report_reads_back();
};

void TestPdfText::printed_text_reads_back_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("kanji that are radicals too") << "株式会社佐々木建設　山田";
    QTest::newRow("more of them") << "一二三 山川 木村 金子 田中 小林 大石";
    QTest::newRow("ideographic space") << "山田　太郎";
    QTest::newRow("katakana middle dot") << "ＡＢＣ・ジャパン";
    QTest::newRow("fullwidth tilde") << "１～３丁目";
    QTest::newRow("wave dash") << "１〜３丁目";
    QTest::newRow("angle brackets") << "〈特選〉品";
    QTest::newRow("fullwidth solidus") << "営業／企画";
    QTest::newRow("Windows-31J characters") << "㈱髙橋①﨑";
    QTest::newRow("a radical printed as such") << "⽊と木";
    QTest::newRow("quotes and dashes") << "‘引用’ 2020–2021";
}

void TestPdfText::printed_text_reads_back() {
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString page = printed(dir, PrintTable{{QStringLiteral("名前")}, {{text}}, {false}});
    // pdftotext gives every kind of blank as a plain space.
    QString blanks_plain = text;
    for (QChar& c : blanks_plain)
        if (c.isSpace())
            c = u' ';
    QVERIFY2(page.contains(blanks_plain), qPrintable(page));
    // The PDF names exactly the characters printed: the page's heading and foot, and the text.
    const QSet<char32_t> printed_characters =
        characters_of({QStringLiteral("営業手帳"), QStringLiteral("一覧"), QStringLiteral("2026/12/08"),
                       QStringLiteral("名前"), QStringLiteral("1 / 1"), text});
    const QSet<char32_t> mapped = mapped_characters(dir.filePath(QStringLiteral("p.pdf")));
    QVERIFY(!mapped.isEmpty());
    QStringList foreign, lost;
    for (char32_t c : mapped - printed_characters)
        foreign << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    for (char32_t c : printed_characters - mapped)
        lost << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    QVERIFY2(foreign.isEmpty() && lost.isEmpty(),
             qPrintable(QStringLiteral("read back but not printed: %1; printed but not read back: %2")
                            .arg(foreign.join(' '), lost.join(' '))));
}

// Every customer of the demo register, printed as the customer list is.
void TestPdfText::demo_customer_list_reads_back() {
    TestFolder folder;
    DemoOptions options;
    options.as_of = QDate(2026, 12, 8);
    generate_demo_data(folder.db(), options);
    const ResultTable customers = folder.rows("select 顧客ID,顧客名,顧客名かな from 顧客 order by 顧客ID", 3);
    PrintTable table{{QStringLiteral("顧客ID"), QStringLiteral("顧客名"), QStringLiteral("顧客名かな")},
                     {},
                     {true, false, false}};
    for (int r = 1; r <= customers.row_count(); ++r)
        table.rows << QStringList{customers(0, r), customers(1, r), customers(2, r)};
    QTemporaryDir dir;
    const QString text = printed(dir, table);
    QStringList missing;
    for (const QStringList& row : table.rows)
        for (const QString& value : row.mid(1))
            if (!text.contains(value))
                missing << value;
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
}

// sales-cli report rfm as PDF holds every customer name of the same report as text.
void TestPdfText::demo_rfm_report_reads_back() {
    TestFolder folder;
    DemoOptions options;
    options.as_of = QDate(2026, 12, 8);
    generate_demo_data(folder.db(), options);
    folder.db().close();
    auto run = [&](const QStringList& arguments) {
        QProcess cli;
        cli.setWorkingDirectory(folder.path());
        cli.start(qEnvironmentVariable("SALES_CLI"),
                  QStringList{"--as-of", "2026/12/08", "report", "rfm"} + arguments);
        cli.waitForFinished(120000);
        return QString::fromUtf8(cli.readAllStandardOutput());
    };
    const QStringList lines = run({}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 100);
    run({QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("--output"),
         QStringLiteral("r.pdf")});
    const QString text = pdf_text(QDir(folder.path()).filePath(QStringLiteral("r.pdf")));
    QStringList missing;
    for (const QString& line : lines.mid(1)) {
        const QString name = line.section(QLatin1Char('\t'), 1, 1);
        if (!text.contains(name))
            missing << name;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
}

QTEST_MAIN(TestPdfText)
#include "test_pdf_text.moc"
