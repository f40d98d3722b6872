// sales-cli report NAME ...: an analysis as tab-separated UTF-8 text, headings first.
#include <QRegularExpression>
#include <algorithm>

#include "app/session.h"
#include "app/startup.h"
#include "cli/cli_context.h"

namespace {

QVector<ReportEntry> all_reports() {
    return cluster_abc_reports() + ranking_reports();
}

// A tab or line break inside a value would break the line structure of the output.
QString cell(QString value) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]+"));
    return value.replace(breaks, QStringLiteral(" "));
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
    return with_program_folder(context, [&](Session& session) {
        const Report report = it->make(session, arguments.mid(2));
        for (const QStringList& row : report) {
            QStringList cells;
            for (const QString& v : row)
                cells << cell(v);
            out() << cells.join('\t') << '\n';
        }
        out().flush();
        return 0;
    });
}
