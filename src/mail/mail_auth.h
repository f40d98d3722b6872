#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "mail/bsmtp.h"
#include "mail/mail_settings.h"
#include "mail/token_store.h"

class LoopbackReceiver;
class Session;

// The login the mail calls use: the company row's password, or for an OAuth2 account an access token
// obtained with the kept refresh token. A token is renewed 30 seconds before it expires, and once
// more when a server refuses it; a refused refresh token means the user must sign in again.

inline constexpr int kTokenEarlySeconds = 30;

extern const QString kSignInNeededMessage;  // no sign-in kept for this account
extern const QString kSignInAgainMessage;   // the provider refused the kept sign-in

// The key under which the account's sign-in is kept.
QString sign_in_account_key(const MailSettings& settings, const QString& user);

struct MailAccess {
    MailLogin login;
    QString failure;  // why there is no login (empty when there is one)
    bool sign_in_needed = false;
};
// The account's login now; renew forces a new access token.
MailAccess mail_access(Session& session, bool renew = false);

struct MailAttempt {
    QString failure;
    bool login_refused = false;
};
// Runs op with the account's login; when the server refused a token, renews the token and runs op
// once more. Returns the failure (empty on success); sign_in_needed tells that the user must sign in.
QString with_mail_login(Session& session, const std::function<MailAttempt(const MailLogin&)>& op,
                        bool* sign_in_needed = nullptr);

// The sign-in kept for these settings and user, if any.
std::optional<StoredSignIn> kept_sign_in(const MailSettings& settings, const QString& user);
// Forgets the kept sign-in (and the run's access token) of these settings and user.
void sign_out(const MailSettings& settings, const QString& user);
// Forgets every access token held for this run (the refresh tokens stay).
void forget_access_tokens();

// ---- signing in

// Opens the authorization page in the user's browser; false when it could not be opened.
using OpenBrowser = std::function<bool(const QUrl&)>;

struct SignInResult {
    bool ok = false;
    QString user;
    QString failure;  // Japanese
    QString warning;  // the one-time notice that the sign-in went into a file
};

// One sign-in, driven by the event loop: start() listens on the loopback address and opens the
// browser; finished() comes once with the result (the refresh token already kept).
class SignInFlow : public QObject {
    Q_OBJECT
public:
    SignInFlow(const MailSettings& settings, const QString& user, QObject* parent = nullptr);
    ~SignInFlow() override;
    // False (with failure) when the settings cannot sign in or no listener could be opened.
    bool start(const OpenBrowser& open_browser, QString* failure);
    QUrl url() const { return m_url; }
    void cancel();

signals:
    void finished(const SignInResult& result);

private:
    void received(const QString& code, const QString& error, const QString& description);
    void finish(const SignInResult& result);

    MailSettings m_settings;
    QString m_user;
    OAuthEndpoints m_endpoints;
    QString m_verifier;
    QUrl m_url;
    LoopbackReceiver* m_receiver = nullptr;
    bool m_finished = false;
};

// Runs a sign-in to its end: the redirect, cancel (cancelled() polled every 200 ms), or the time.
// shown_url receives the address to open before the wait begins.
SignInResult sign_in(const MailSettings& settings, const QString& user, const OpenBrowser& open_browser,
                     int timeout_seconds, const std::function<void(const QUrl&)>& shown_url = {},
                     const std::function<bool()>& cancelled = {});
