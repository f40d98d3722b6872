#pragma once

// One libcurl handle with the settings every mail and sign-in request shares. Internal to src/mail.

#include <curl/curl.h>

#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

Q_DECLARE_LOGGING_CATEGORY(lcMail)

void init_curl();

// The message shown when a provider refuses a password login (Microsoft 365's 5.7.30/5.7.139,
// Google's "Application-specific password required" and "Username and Password not accepted").
QString password_refused_message(const QString& reply);
// Whether a server's reply is such a refusal.
bool refuses_password_login(const QString& reply);

// Whether a line the program sends may stand in the log: known commands only, so that no login
// line (AUTH, AUTHENTICATE, LOGIN, USER, PASS, and the SASL answers after them) is ever written.
bool loggable_command(const QString& line, const QString& protocol);

class Transfer {
public:
    // protocol names the session in the log: SMTP, POP3, IMAP or HTTP.
    Transfer(int timeout_seconds, const QString& protocol);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    CURL* handle() const { return m_curl; }
    void set_text(CURLoption option, const QString& value);
    void add_recipient(const QString& address);
    // The account's login: user and password, or user and bearer token (XOAUTH2/OAUTHBEARER, as
    // the server offers; TLS is then required). CURLOPT_HTTPAUTH is never set on a mail handle.
    void login(const QString& user, const QString& password, const QString& bearer);
    // Empty on success, otherwise a Japanese failure text with the server's or libcurl's reason.
    QString perform();
    // The last perform failed for a reason that concerns the server or the account, not the request.
    bool server_failure() const { return m_server_failure; }
    // The last perform failed because the server refused the login.
    bool login_refused() const { return m_login_refused; }
    // The server's lines during the last perform, in order.
    const QStringList& replies() const { return m_replies; }

    // Called by libcurl's debug hook.
    void note(curl_infotype type, const char* data, size_t size);

private:
    CURL* m_curl;
    char m_error[CURL_ERROR_SIZE];
    QByteArray m_ca;
    QList<QByteArray> m_texts;
    curl_slist* m_recipients = nullptr;
    QString m_protocol;
    QString m_reply;  // the last line the server said
    QStringList m_replies;
    int m_timeout;
    bool m_server_failure = false;
    bool m_login_refused = false;
    bool m_bearer = false;
    bool m_password = false;
    bool m_in_login = false;  // between a login command and the server's final answer
};

size_t append_download(char* data, size_t size, size_t count, void* user);
