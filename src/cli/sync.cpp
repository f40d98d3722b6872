// sales-cli checkout and sync: taking a copy out to a laptop and bringing its changes back.
#include <QDir>
#include <QFileInfo>

#include "app/session.h"
#include "app/user_folder.h"
#include "cli/cli_context.h"
#include "sync/checkout.h"
#include "sync/office.h"
#include "sync/sync_run.h"

int run_checkout(const CliContext& context, const QStringList& arguments) {
    if (arguments.size() != 2 || arguments.at(1).startsWith(QLatin1Char('-'))) {
        err() << "使い方: sales-cli checkout DIR" << Qt::endl;
        return 2;
    }
    const QString target = QDir::current().absoluteFilePath(arguments.at(1));
    return with_program_folder(context, [&](Session& session) {
        CheckoutOptions options;
        options.folder = target;
        options.first_entry = session.first_entry.isEmpty() ? options.first_entry : session.first_entry;
        options.help_source = QDir(session.program_folder).filePath(QStringLiteral("help/index.html"));
        if (!QFileInfo::exists(options.help_source))
            options.help_source = installed_help_file();
        const CheckoutResult result =
            take_out(*session.db, {session.db_kind, session.database_name, session.program_folder}, options);
        out() << QStringLiteral("持ち出しました: %1（顧客 %2 件、受注 %3 件、%4）")
                     .arg(QDir::toNativeSeparators(result.folder))
                     .arg(result.customers)
                     .arg(result.orders)
                     .arg(copy_time_text(result.taken_at))
              << Qt::endl;
        return 0;
    });
}

int run_sync(const CliContext& context, const QStringList& arguments) {
    SyncDecision::Choice choice = SyncDecision::Stop;
    for (int i = 1; i < arguments.size(); ++i) {
        QString value;
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--on-conflict") && i + 1 < arguments.size())
            value = arguments.at(++i);
        else if (a.startsWith(QLatin1String("--on-conflict=")))
            value = a.mid(14);
        else {
            err() << "使い方: sales-cli sync [--on-conflict stop|office|laptop]" << Qt::endl;
            return 2;
        }
        if (value == QLatin1String("stop"))
            choice = SyncDecision::Stop;
        else if (value == QLatin1String("office"))
            choice = SyncDecision::Office;
        else if (value == QLatin1String("laptop"))
            choice = SyncDecision::Laptop;
        else {
            err() << "--on-conflict は stop、office、laptop のいずれかです: " << value << Qt::endl;
            return 2;
        }
    }
    return with_program_folder(context, [&](Session& session) {
        const CopyInfo info = read_copy_info(*session.db);
        Database office;
        try {
            open_office(office, info);
        } catch (const OfficeUnreachable& e) {
            err() << e.message() << Qt::endl;
            return 1;
        }
        SyncOptions options;
        if (choice != SyncDecision::Stop)
            options.resolve = fixed_resolver(choice);
        const SyncSummary summary = synchronize(*session.db, office, options);
        out() << summary.report() << Qt::endl;
        return summary.exit_status();
    });
}
