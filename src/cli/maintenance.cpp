#include <QDir>

#include "app/session.h"
#include "app/startup.h"
#include "cli/cli_context.h"
#include "customers/backup.h"
#include "customers/csv_import.h"

int run_import(const CliContext& context, const QStringList& arguments) {
    if (arguments.size() != 3 ||
        (arguments.at(1) != QLatin1String("customers") && arguments.at(1) != QLatin1String("goods"))) {
        err() << "使い方: sales-cli import customers|goods FILE" << Qt::endl;
        return 2;
    }
    const bool customers = arguments.at(1) == QLatin1String("customers");
    const QString path = QDir::current().absoluteFilePath(arguments.at(2));
    return with_program_folder(context, [&](Session& session) {
        const CsvResult result =
            customers ? import_customer_csv(*session.db, path) : import_goods_csv(*session.db, path);
        (result.ok ? out() : err()) << result.message.trimmed() << Qt::endl;
        return result.ok ? 0 : 1;
    });
}

int run_backup(const CliContext& context, const QStringList& arguments) {
    if (arguments.size() != 2) {
        err() << "使い方: sales-cli backup TARGET" << Qt::endl;
        return 2;
    }
    const QString target = QDir::current().absoluteFilePath(arguments.at(1));
    return with_program_folder(context, StartPurpose::ReadOnly, [&](Session& session) {
        const MaintenanceResult result = backup_database(session, target);
        (result.ok ? out() : err()) << result.message << Qt::endl;
        return result.ok ? 0 : 1;
    });
}
