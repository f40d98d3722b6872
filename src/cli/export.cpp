// sales-cli export customers|goods FILE: the CSV that sales-cli import (and 読み込み) reads back whole:
// a heading row that marks it, then the records.
#include <QDir>

#include "app/session.h"
#include "app/table_csv.h"
#include "cli/cli_context.h"
#include "customers/csv_export.h"
#include "customers/csv_import.h"

int run_export(const CliContext& context, const QStringList& arguments) {
    QStringList rest = arguments.mid(1);
    const bool shift_jis = rest.removeAll(QStringLiteral("--shift-jis")) > 0;
    if (rest.size() != 2 ||
        (rest.at(0) != QLatin1String("customers") && rest.at(0) != QLatin1String("goods"))) {
        err() << "使い方: sales-cli export customers|goods FILE [--shift-jis]" << Qt::endl;
        return 2;
    }
    const bool customers = rest.at(0) == QLatin1String("customers");
    const QString path = QDir::current().absoluteFilePath(rest.at(1));
    return with_program_folder(context, StartPurpose::ReadOnly, [&](Session& session) {
        const QVector<QStringList> rows =
            customers ? customer_export_rows(*session.db) : goods_export_rows(*session.db);
        const QVector<QStringList> table =
            export_file_table(customers ? customer_export_headings() : goods_export_headings(), rows);
        QString message;
        // Every value between quotes: the import keeps blanks and commas only inside quotes.
        if (!save_table_csv(path, table, shift_jis ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom, message,
                            CsvQuoting::Every)) {
            err() << message << Qt::endl;
            return 1;
        }
        out() << QStringLiteral("%1 件を書き出しました: %2")
                     .arg(rows.size())
                     .arg(QDir::toNativeSeparators(path))
              << Qt::endl;
        // The import takes the file back whole; should it not, the user hears of it now, not later.
        const CsvResult check = customers ? validate_customer_csv(path) : validate_goods_csv(path);
        if (!check.ok)
            err() << "注意: このファイルは読み込みで拒否されます: " << check.message << Qt::endl;
        return 0;
    });
}
