#include "cli/cli_context.h"

int run_fetch_mail(const CliContext&, const QStringList&) {
    err() << "メール受信はまだ使えません。" << Qt::endl;
    return 2;
}
