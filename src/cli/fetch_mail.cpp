#include "mail/fetch_mail.h"
#include "app/session.h"
#include "app/startup.h"
#include "cli/cli_context.h"
#include "db/database_error.h"

// sales-cli fetch-mail: fetches and registers the inquiry mail, for a timer job. Prints the number of
// messages registered; notes about new customers and a server that could not be used go to the
// error output, the latter with status 1.
int run_fetch_mail(const CliContext& context, const QStringList& arguments) {
    // arguments.at(0) is the program.
    if (arguments.size() > 1) {
        err() << "fetch-mail は引数を取りません: " << arguments.mid(1).join(QLatin1Char(' ')) << Qt::endl;
        return 2;
    }
    return with_program_folder(context, [](Session& session) {
        const FetchResult result = fetch_mail(session);
        for (const QString& note : result.new_customer_notes)
            err() << note << Qt::endl;
        for (const QString& note : result.cut_notes)
            err() << "切り詰めて登録しました: " << note << Qt::endl;
        for (const QString& note : result.refused_notes)
            err() << "登録できませんでした: " << note << Qt::endl;
        out() << result.count << Qt::endl;
        if (!result.failure.isEmpty()) {
            err() << "メールサーバーから受信できませんでした: " << result.failure << Qt::endl;
            return 1;
        }
        return 0;
    });
}
