// sales-cli report NAME ...: an analysis as tab-separated UTF-8 text, headings first; or as a CSV
// file for Excel, or a PDF, with --format and --output.
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

#include "app/session.h"
#include "app/startup.h"
#include "app/table_csv.h"
#include "cli/cli_context.h"
#include "print/print_job.h"

namespace {

QVector<ReportEntry> all_reports() {
    return cluster_abc_reports() + ranking_reports();
}

// A tab or line break inside a value would break the line structure of the output.
QString cell(QString value) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]+"));
    return value.replace(breaks, QStringLiteral(" "));
}

struct Output {
    QString format = QStringLiteral("tsv");
    QString file;  // empty: standard output
    bool shift_jis = false;
};

// Takes --format, --output and --shift-jis (anywhere after the name) out of the arguments.
Output take_output_options(QStringList& arguments) {
    Output o;
    for (int i = 0; i < arguments.size();) {
        const QString a = arguments.at(i);
        auto value = [&](const QString& option) {
            if (a.startsWith(option + QLatin1Char('='))) {
                arguments.removeAt(i);
                return a.mid(option.size() + 1);
            }
            if (i + 1 >= arguments.size())
                throw CliUsageError(QStringLiteral("%1 の値がありません。").arg(option));
            const QString v = arguments.at(i + 1);
            arguments.remove(i, 2);
            return v;
        };
        if (a == QLatin1String("--format") || a.startsWith(QLatin1String("--format=")))
            o.format = value(QStringLiteral("--format"));
        else if (a == QLatin1String("--output") || a.startsWith(QLatin1String("--output=")))
            o.file = value(QStringLiteral("--output"));
        else if (a == QLatin1String("--shift-jis")) {
            arguments.removeAt(i);
            o.shift_jis = true;
        } else
            ++i;
    }
    if (o.format != QLatin1String("tsv") && o.format != QLatin1String("csv") &&
        o.format != QLatin1String("pdf"))
        throw CliUsageError(QStringLiteral("--format は tsv, csv, pdf のどれかです: ") + o.format);
    if (o.format == QLatin1String("pdf") && o.file.isEmpty())
        throw CliUsageError(QStringLiteral("PDF は --output FILE で書き出し先を指定してください。"));
    return o;
}

// Right-aligned print columns: those whose values are all numbers (or empty).
QVector<bool> number_columns(const Report& report) {
    QVector<bool> numbers(report.value(0).size(), report.size() > 1);
    for (int r = 1; r < report.size(); ++r)
        for (int c = 0; c < numbers.size(); ++c) {
            bool ok = false;
            const QString v = report.at(r).value(c);
            v.toDouble(&ok);
            numbers[c] = numbers[c] && (ok || v.isEmpty());  // an empty cell leaves a column of numbers one
        }
    return numbers;
}

int write_report(Session& session, const QString& title, const Report& report, const Output& o) {
    const QString path = o.file.isEmpty() ? QString() : QDir::current().absoluteFilePath(o.file);
    QString message;
    if (o.format == QLatin1String("csv")) {
        const CsvEncoding encoding = o.shift_jis ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom;
        if (path.isEmpty()) {
            const QByteArray bytes = table_csv(report, encoding, &message);
            if (!message.isEmpty()) {
                err() << message << Qt::endl;
                return 1;
            }
            QFile stdout_file;
            stdout_file.open(stdout, QIODevice::WriteOnly);
            stdout_file.write(bytes);
            return 0;
        }
        if (!save_table_csv(path, report, encoding, message)) {
            err() << message << Qt::endl;
            return 1;
        }
        return 0;
    }
    if (o.format == QLatin1String("pdf")) {
        const PrintTable table{report.value(0), report.mid(1), number_columns(report)};
        if (!write_pdf(
                PrintJob(PrintHeading{session.company_setting(2), title, session.clock.today()}, table), path,
                message)) {
            err() << message << Qt::endl;
            return 1;
        }
        return 0;
    }
    QString text;
    for (const QStringList& row : report) {
        QStringList cells;
        for (const QString& v : row)
            cells << cell(v);
        text += cells.join('\t') + QLatin1Char('\n');
    }
    if (path.isEmpty()) {
        out() << text;
        out().flush();
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
        err() << QStringLiteral("ファイルに書き出せませんでした: %1").arg(QDir::toNativeSeparators(path))
              << Qt::endl;
        return 1;
    }
    return 0;
}

}  // namespace

QString report_usage() {
    QStringList lines;
    for (const ReportEntry& r : all_reports())
        lines << QStringLiteral("  sales-cli [--as-of yyyy/mm/dd] report %1%2")
                     .arg(r.name, r.usage.isEmpty() ? QString() : QStringLiteral(" ") + r.usage);
    return lines.join('\n');
}

int run_report(const CliContext& context, const QStringList& arguments) {
    const QVector<ReportEntry> reports = all_reports();
    if (arguments.size() < 2) {
        err() << "レポート名を指定してください:\n" << report_usage() << Qt::endl;
        return 2;
    }
    const QString name = arguments.at(1);
    const auto it =
        std::find_if(reports.begin(), reports.end(), [&](const ReportEntry& r) { return r.name == name; });
    if (it == reports.end()) {
        err() << "不明なレポートです: " << name << "\n" << report_usage() << Qt::endl;
        return 2;
    }
    return with_program_folder(context, StartPurpose::ReadOnly, [&](Session& session) {
        QStringList rest = arguments.mid(2);
        const Output output = take_output_options(rest);
        const Report report = it->make(session, rest);
        // The printed title is the menu caption of the screen that shows the same grid.
        static const QHash<QString, QString> captions = {
            {QStringLiteral("cluster"), QStringLiteral("クラスター")},
            {QStringLiteral("abc-customers"), QStringLiteral("ABC分析　顧客")},
            {QStringLiteral("abc-goods"), QStringLiteral("ABC分析　商品")},
            {QStringLiteral("rfm"), QStringLiteral("RFM")},
            {QStringLiteral("order-rank"), QStringLiteral("顧客別売り上げランク")},
            {QStringLiteral("goods-rank"), QStringLiteral("商品別売り上げランク")},
            {QStringLiteral("order-visits"), QStringLiteral("受注金額と訪問回数")},
            {QStringLiteral("after-sales"), QStringLiteral("受注後対応")}};
        const QString title = (QStringList{captions.value(name, name)} + rest).join(QLatin1Char(' '));
        return write_report(session, title, report, output);
    });
}
