#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "mail/mail_settings.h"

class QTcpServer;
class QTcpSocket;

// OAuth2 the way native programs sign in (RFC 8252): the authorization code flow with PKCE (S256)
// and state, in the user's own browser, the answer coming back to a listener on this computer's
// loopback address. Qt Network Authorization (6.4) is not used: it sends no PKCE and its reply
// handler listens on every address of the computer, so a code could be taken by another host on
// the network. The flow here is small: QTcpServer on the loopback address for the one redirect,
// and libcurl for the token requests, with the same certificate checks as the mail.

// A PKCE pair: a verifier of 64 random bytes (base64url, 86 characters) and its S256 challenge.
struct Pkce {
    QString verifier;
    QString challenge;
};
Pkce make_pkce();
QString pkce_challenge(const QString& verifier);
// A random state value for one sign-in (base64url of 32 bytes).
QString random_state();

// The authorization request to open in the browser.
QUrl authorization_url(const OAuthEndpoints& endpoints, const QString& client_id, const QString& redirect_uri,
                       const QString& state, const QString& challenge, const QString& login_hint);

// The token endpoint's answer.
struct TokenReply {
    bool ok = false;
    QString access_token;
    QString refresh_token;  // empty when the provider kept the old one
    qint64 expires_in = 0;  // seconds
    QString error;          // the provider's error code (invalid_grant: sign in again)
    QString failure;        // Japanese, for the user, when !ok
};
TokenReply parse_token_reply(int http_status, const QByteArray& body);

TokenReply redeem_code(const OAuthEndpoints& endpoints, const QString& client_id,
                       const QString& client_secret, const QString& code, const QString& redirect_uri,
                       const QString& verifier);
TokenReply refresh_access_token(const OAuthEndpoints& endpoints, const QString& client_id,
                                const QString& client_secret, const QString& refresh_token);

// The one redirect of a sign-in, on 127.0.0.1 (and ::1 when the redirect names localhost) at a
// port the system chooses. Only a GET of the redirect path with the expected state is taken;
// anything else gets 400 and the listener keeps waiting.
class LoopbackReceiver : public QObject {
    Q_OBJECT
public:
    LoopbackReceiver(const QString& redirect_host, const QString& state, QObject* parent = nullptr);
    ~LoopbackReceiver() override;
    bool listen();
    QString redirect_uri() const;
    void close();

signals:
    // code on success; error (the provider's error code, or "state") otherwise.
    void received(const QString& code, const QString& error, const QString& error_description);

private:
    void take(QTcpServer* server);
    void read(QTcpSocket* socket);

    QString m_host;
    QString m_state;
    quint16 m_port = 0;
    QList<QTcpServer*> m_servers;
    bool m_done = false;
};
