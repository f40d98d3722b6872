#include "mail/mail_auth.h"

#include <QDateTime>
#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include "app/log_file.h"
#include "app/session.h"
#include "mail/curl_transfer.h"
#include "mail/oauth2.h"
#include "mail/send_mail.h"

const QString kSignInNeededMessage = QStringLiteral(
    "このメールアカウントはサインインが必要です。編集 → 会社情報 "
    "の「サインイン」を押して、ブラウザでサインインして"
    "ください（コマンドでは sales-cli mail signin）。");
const QString kSignInAgainMessage = QStringLiteral(
    "メールのサインインの有効期限が切れたか、取り消されました。編集 → 会社情報 "
    "の「サインイン」でもう一度サインインして"
    "ください（コマンドでは sales-cli mail signin）。メールは送受信していません。");

namespace {

struct HeldToken {
    QString token;
    qint64 expires_ms = 0;
};

QHash<QString, HeldToken>& held_tokens() {
    static QHash<QString, HeldToken> tokens;
    return tokens;
}

// A refused grant: the kept sign-in is of no further use.
bool grant_refused(const TokenReply& reply) {
    return reply.error == QLatin1String("invalid_grant") ||
           reply.error == QLatin1String("unauthorized_client") ||
           reply.error == QLatin1String("invalid_client");
}

}  // namespace

QString sign_in_account_key(const MailSettings& settings, const QString& user) {
    return token_account_key(oauth_endpoints(settings).token_url, settings.client_id, user);
}

MailAccess mail_access(Session& session, bool renew) {
    const MailAccount account = mail_account(session);
    const MailSettings settings = load_mail_settings(*session.db);
    MailAccess access;
    access.login.user = account.user;
    if (!settings.uses_oauth()) {
        access.login.password = account.password;
        return access;
    }
    const QString key = sign_in_account_key(settings, account.user);
    HeldToken& held = held_tokens()[key];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!renew && !held.token.isEmpty() && held.expires_ms - kTokenEarlySeconds * 1000 > now) {
        access.login.bearer = held.token;
        return access;
    }
    held = {};
    const std::optional<StoredSignIn> kept = load_sign_in(key);
    if (!kept) {
        access.failure = kSignInNeededMessage;
        access.sign_in_needed = true;
        return access;
    }
    const TokenReply reply = refresh_access_token(oauth_endpoints(settings), settings.client_id,
                                                  settings.client_secret, kept->refresh_token);
    if (!reply.ok) {
        if (grant_refused(reply)) {
            qCInfo(lcMail).noquote() << "sign-in refused by the provider:" << reply.error;
            remove_sign_in(key);
            access.failure = kSignInAgainMessage;
            access.sign_in_needed = true;
        } else {
            access.failure = reply.failure;
        }
        return access;
    }
    qCInfo(lcMail).noquote() << "access token renewed, valid for" << reply.expires_in << "s";
    held = {reply.access_token, now + reply.expires_in * 1000};
    // A provider that hands out a new refresh token with each renewal: the new one is kept.
    if (!reply.refresh_token.isEmpty() && reply.refresh_token != kept->refresh_token) {
        StoredSignIn renewed = *kept;
        renewed.refresh_token = reply.refresh_token;
        save_sign_in(key, renewed);
    }
    access.login.bearer = held.token;
    return access;
}

QString with_mail_login(Session& session, const std::function<MailAttempt(const MailLogin&)>& op,
                        bool* sign_in_needed) {
    if (sign_in_needed)
        *sign_in_needed = false;
    MailAccess access = mail_access(session);
    if (!access.failure.isEmpty()) {
        if (sign_in_needed)
            *sign_in_needed = access.sign_in_needed;
        return access.failure;
    }
    MailAttempt attempt = op(access.login);
    if (!attempt.login_refused || access.login.bearer.isEmpty())
        return attempt.failure;
    // The server refused a token we held for valid (revoked, or expired early): once more with a new one.
    qCInfo(lcMail) << "token refused by the server; renewing once";
    access = mail_access(session, true);
    if (!access.failure.isEmpty()) {
        if (sign_in_needed)
            *sign_in_needed = access.sign_in_needed;
        return access.failure;
    }
    attempt = op(access.login);
    if (attempt.login_refused)
        return attempt.failure + QStringLiteral(
                                     "\n会社情報のユーザー名（メールアドレス）がサインインしたアカウントと同"
                                     "じか確かめ、もう一度"
                                     "サインインしてください。");
    return attempt.failure;
}

std::optional<StoredSignIn> kept_sign_in(const MailSettings& settings, const QString& user) {
    if (!settings.uses_oauth() || settings.client_id.trimmed().isEmpty())
        return std::nullopt;
    return load_sign_in(sign_in_account_key(settings, user));
}

void sign_out(const MailSettings& settings, const QString& user) {
    const QString key = sign_in_account_key(settings, user);
    held_tokens().remove(key);
    remove_sign_in(key);
}

void forget_access_tokens() {
    held_tokens().clear();
}

// ---- signing in

SignInFlow::SignInFlow(const MailSettings& settings, const QString& user, QObject* parent)
    : QObject(parent), m_settings(settings), m_user(user.trimmed()), m_endpoints(oauth_endpoints(settings)) {}

SignInFlow::~SignInFlow() = default;

bool SignInFlow::start(const OpenBrowser& open_browser, QString* failure) {
    auto fail = [failure](const QString& text) {
        if (failure)
            *failure = text;
        return false;
    };
    if (!m_settings.uses_oauth())
        return fail(QStringLiteral("サインイン方法が「パスワード」のときはサインインしません。"));
    if (const QString problem = check_mail_settings(m_settings); !problem.isEmpty())
        return fail(problem);
    if (m_user.isEmpty())
        return fail(QStringLiteral("会社情報の「ユーザ」にメールアドレスを入力してください。"));
    const Pkce pkce = make_pkce();
    m_verifier = pkce.verifier;
    const QString state = random_state();
    m_receiver = new LoopbackReceiver(m_endpoints.redirect_host, state, this);
    if (!m_receiver->listen())
        return fail(QStringLiteral(
            "サインインの応答を受け取る準備ができませんでした（127.0.0.1 で待ち受けできません）。"));
    connect(m_receiver, &LoopbackReceiver::received, this, &SignInFlow::received);
    m_url = authorization_url(m_endpoints, m_settings.client_id, m_receiver->redirect_uri(), state,
                              pkce.challenge, m_user);
    qCInfo(lcMail).noquote() << "sign-in started for" << m_user << "at" << m_url.host() << "redirect"
                             << m_receiver->redirect_uri();
    if (open_browser && !open_browser(m_url))
        qCInfo(lcMail) << "the browser could not be opened; the address is shown instead";
    return true;
}

void SignInFlow::cancel() {
    finish({false, m_user, QStringLiteral("サインインを中止しました。"), {}});
}

void SignInFlow::received(const QString& code, const QString& error, const QString& description) {
    if (m_finished)
        return;
    if (code.isEmpty()) {
        const QString why =
            error == QLatin1String("access_denied")
                ? QStringLiteral(
                      "サインインが拒否されました（アクセスを許可しなかったか、管理者の承認が必要です）。")
                : QStringLiteral("サインインできませんでした (%1%2)")
                      .arg(error,
                           description.isEmpty() ? QString() : QStringLiteral(": ") + description.left(300));
        finish({false, m_user, why, {}});
        return;
    }
    const TokenReply reply = redeem_code(m_endpoints, m_settings.client_id, m_settings.client_secret, code,
                                         m_receiver->redirect_uri(), m_verifier);
    if (!reply.ok) {
        finish({false, m_user, reply.failure, {}});
        return;
    }
    if (reply.refresh_token.isEmpty()) {
        finish({false,
                m_user,
                QStringLiteral(
                    "サインインのサーバーがリフレッシュトークンを返しませんでした。スコープに offline_access "
                    "（Google では access_type=offline）が含まれているか、管理者に確かめてください。"),
                {}});
        return;
    }
    const QString key = sign_in_account_key(m_settings, m_user);
    SignInResult result{true, m_user, {}, {}};
    const StoredSignIn kept{reply.refresh_token, m_user,
                            QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm"))};
    if (!save_sign_in(key, kept, nullptr, &result.warning)) {
        finish({false, m_user, result.warning, {}});
        return;
    }
    held_tokens()[key] = {reply.access_token, QDateTime::currentMSecsSinceEpoch() + reply.expires_in * 1000};
    qCInfo(lcMail).noquote() << "signed in:" << m_user;
    finish(result);
}

void SignInFlow::finish(const SignInResult& result) {
    if (m_finished)
        return;
    m_finished = true;
    if (m_receiver)
        m_receiver->close();
    emit finished(result);
}

SignInResult sign_in(const MailSettings& settings, const QString& user, const OpenBrowser& open_browser,
                     int timeout_seconds, const std::function<void(const QUrl&)>& shown_url,
                     const std::function<bool()>& cancelled) {
    SignInFlow flow(settings, user);
    SignInResult result;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&flow, &SignInFlow::finished, &loop, [&](const SignInResult& r) {
        result = r;
        done = true;
        loop.quit();
    });
    QString failure;
    if (!flow.start(
            [&](const QUrl& url) {
                if (shown_url)
                    shown_url(url);
                return open_browser ? open_browser(url) : true;
            },
            &failure))
        return {false, user, failure, {}};
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        flow.cancel();
        result.failure =
            QStringLiteral("%1 秒待ちましたが、サインインが終わりませんでした。").arg(timeout_seconds);
    });
    limit.start(timeout_seconds * 1000);
    QTimer poll;
    if (cancelled) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (cancelled())
                flow.cancel();
        });
        poll.start(200);
    }
    if (!done)
        loop.exec();
    return result;
}
