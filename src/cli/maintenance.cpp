#include <QCommandLineParser>
#include <QDir>

#include "app/session.h"
#include "app/startup.h"
#include "cli/cli_context.h"
#include "customers/backup.h"
#include "customers/csv_import.h"
#include "db/database.h"
#include "masters/master_records.h"

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

int run_add_employee(const CliContext& context, const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("社員を登録します (ログインの一覧に出る担当者)。"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("氏名"), QStringLiteral("社員の氏名"));
    parser.addPositionalArgument(QStringLiteral("かな"), QStringLiteral("氏名のよみ"));
    parser.addOption({"email", "メールアドレス", "address"});
    parser.addOption({"department", "部署", "name"});
    if (!parser.parse(arguments) || parser.positionalArguments().size() != 2) {
        err() << (parser.errorText().isEmpty() ? QString() : parser.errorText() + u'\n')
              << "使い方: sales-cli add-employee 氏名 かな [--email アドレス] [--department 部署]"
              << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText() << Qt::endl;
        return 0;
    }
    const QStringList fields{parser.positionalArguments().at(0), parser.positionalArguments().at(1),
                             parser.value(QStringLiteral("email")),
                             parser.value(QStringLiteral("department"))};
    return with_program_folder(context, [&](Session& session) {
        QString problem;
        {
            Transaction transaction(*session.db);
            problem = insert_master(*session.db, MasterKind::Employees, fields);
            if (problem.isEmpty())
                transaction.commit();
        }
        if (!problem.isEmpty()) {
            err() << problem << Qt::endl;
            return 1;
        }
        out() << "社員を登録しました: " << fields.at(0) << Qt::endl;
        return 0;
    });
}
