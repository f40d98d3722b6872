#include <QProcess>
#include <QUrl>

#include "app/session.h"
#include "cli/cli_context.h"
#include "mail/mail_auth.h"
#include "mail/mail_settings.h"
#include "mail/send_mail.h"

namespace {

constexpr int kSignInWaitSeconds = 300;

// The desktop's own browser, as the window program opens help pages.
bool open_in_browser(const QUrl& url) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

int run_signin(Session& session, bool no_browser) {
    const MailSettings settings = load_mail_settings(*session.db);
    const QString user = mail_account(session).user;
    if (!settings.uses_oauth()) {
        err() << "会社情報のサインイン方法が「パスワード」のため、サインインは要りません。" << Qt::endl;
        return 1;
    }
    const SignInResult result = sign_in(
        settings, user, no_browser ? OpenBrowser() : OpenBrowser(open_in_browser), kSignInWaitSeconds,
        [&](const QUrl& url) {
            out() << (no_browser
                          ? "次のアドレスをブラウザで開いて、サインインしてください:"
                          : "ブラウザでサインインしてください。開かないときは次のアドレスを開いてください:")
                  << Qt::endl
                  << url.toString(QUrl::FullyEncoded) << Qt::endl
                  << "サインインが終わるまで待っています（" << kSignInWaitSeconds << " 秒まで）…" << Qt::endl;
        });
    if (!result.warning.isEmpty())
        err() << result.warning << Qt::endl;
    if (!result.ok) {
        err() << result.failure << Qt::endl;
        return 1;
    }
    out() << "サインインしました: " << result.user << Qt::endl;
    return 0;
}

}  // namespace

// sales-cli mail signin [--no-browser]: the sign-in of 会社情報 from the command line.
int run_mail(const CliContext& context, const QStringList& arguments) {
    // arguments.at(0) is the program.
    const QStringList words = arguments.mid(1);
    if (words.isEmpty() || words.at(0) != QLatin1String("signin") || words.size() > 2 ||
        (words.size() == 2 && words.at(1) != QLatin1String("--no-browser"))) {
        err() << "使い方: sales-cli mail signin [--no-browser]" << Qt::endl;
        return 2;
    }
    const bool no_browser = words.size() == 2;
    return with_program_folder(context,
                               [no_browser](Session& session) { return run_signin(session, no_browser); });
}
