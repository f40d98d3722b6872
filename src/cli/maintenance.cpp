#include "cli/cli_context.h"

int run_import(const CliContext&, const QStringList&) {
    err() << "読み込みはまだ使えません。" << Qt::endl;
    return 2;
}

int run_backup(const CliContext&, const QStringList&) {
    err() << "バックアップはまだ使えません。" << Qt::endl;
    return 2;
}
