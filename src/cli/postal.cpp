// sales-cli postal: postal code to address, address to postal code, and the update of the table.
#include <QDir>

#include "address/postal_files.h"
#include "address/postal_source.h"
#include "cli/cli_context.h"

namespace {

const char* const kPostalUsage =
    "使い方: sales-cli postal CODE | --address TEXT | info\n"
    "        sales-cli postal update FILE [--date yyyy/mm/dd] [--source TEXT] [--output TABLE]";

void print_entries(const QVector<PostalEntry>& entries) {
    for (const PostalEntry& e : entries)
        out() << e.code_text() << '\t' << e.prefecture << '\t' << e.city << '\t' << e.town << '\n';
    out().flush();
}

const PostalTable* table_or_say() {
    QString problem;
    const PostalTable* table = current_postal_table(&problem);
    if (!table)
        err() << problem << Qt::endl;
    return table;
}

int run_update(const QStringList& arguments) {
    QString file;
    QString date;
    QString source;
    QString output = updated_postal_table_path();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        QString* option = a == QLatin1String("--date")     ? &date
                          : a == QLatin1String("--source") ? &source
                          : a == QLatin1String("--output") ? &output
                                                           : nullptr;
        if (option) {
            if (i + 1 >= arguments.size()) {
                err() << a << " の値がありません。\n" << kPostalUsage << Qt::endl;
                return 2;
            }
            *option = arguments.at(++i);
        } else if (file.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            file = a;
        } else {
            err() << "不明な引数です: " << a << '\n' << kPostalUsage << Qt::endl;
            return 2;
        }
    }
    if (file.isEmpty()) {
        err() << kPostalUsage << Qt::endl;
        return 2;
    }
    const PostalUpdate result = update_postal_table(QDir::current().absoluteFilePath(file),
                                                    QDir::current().absoluteFilePath(output), date, source);
    (result.ok ? out() : err()) << result.message << Qt::endl;
    return result.ok ? 0 : 1;
}

}  // namespace

int run_postal(const CliContext&, const QStringList& arguments) {
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty()) {
        err() << kPostalUsage << Qt::endl;
        return 2;
    }
    if (rest.first() == QLatin1String("update"))
        return run_update(rest.mid(1));
    if (rest.first() == QLatin1String("info") && rest.size() == 1) {
        const PostalTable* table = table_or_say();
        if (!table)
            return 1;
        out() << "郵便番号データ: " << QDir::toNativeSeparators(table->path()) << '\n'
              << "日付: " << table->date() << '\n'
              << "出典: " << table->source() << '\n'
              << "郵便番号: " << table->code_count() << " 件（町域 " << table->entry_count() << " 件）"
              << Qt::endl;
        return 0;
    }
    if (rest.first() == QLatin1String("--address")) {
        if (rest.size() != 2 || rest.at(1).trimmed().isEmpty()) {
            err() << kPostalUsage << Qt::endl;
            return 2;
        }
        const PostalTable* table = table_or_say();
        if (!table)
            return 1;
        const QVector<PostalEntry> found = table->find_address(QString(), rest.at(1));
        if (found.isEmpty()) {
            err() << "住所に合う郵便番号がありません: " << rest.at(1) << Qt::endl;
            return 1;
        }
        print_entries(found);
        return 0;
    }
    if (rest.size() != 1 || rest.first().startsWith(QLatin1Char('-'))) {
        err() << kPostalUsage << Qt::endl;
        return 2;
    }
    const std::optional<QString> code = postal_code_digits(rest.first());
    if (!code) {
        err() << "郵便番号は 7 桁の数字です（例: 100-0001）: " << rest.first() << Qt::endl;
        return 2;
    }
    const PostalTable* table = table_or_say();
    if (!table)
        return 1;
    const QVector<PostalEntry> found = table->find_code(*code);
    if (found.isEmpty()) {
        err() << "郵便番号 " << code->left(3) << '-' << code->mid(3) << " は郵便番号データにありません"
              << Qt::endl;
        return 1;
    }
    print_entries(found);
    return 0;
}
