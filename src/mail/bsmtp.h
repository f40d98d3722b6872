#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The mail library: SMTP and POP3 over libcurl, message content over GMime.
//
// A server field may be "host", "host:port" or a URL with the scheme smtp://, smtps:// (sending) or
// pop3://, pop3s:// (fetching). The s-schemes use implicit TLS; the plain ones switch to TLS with
// STARTTLS/STLS whenever the server offers it. Certificates are always verified, against the system's
// authorities, plus the file named by the environment variable SALES_MAIL_CA_FILE when it is set
// (for a company server with its own authority). Every call gives up after the time-out.
//
// Fetched messages are stored one per file, <id>.eml, in the mail folder; a message the program has
// registered moves to its sub-folder "registered" (mark_mail_registered), one that cannot be read to
// "unreadable" (move_mail_aside).

inline constexpr int kMailTimeoutSeconds = 30;

// The account's login: a password, or a bearer token from an OAuth2 sign-in (sent as XOAUTH2 or
// OAUTHBEARER, whichever the server offers, and only over TLS).
struct MailLogin {
    QString user;
    QString password;
    QString bearer;
};

// A server field turned into the URL the transport opens.
struct MailServerUrl {
    QString url;      // scheme://host[:port]/ ; empty when the field is unusable
    QString failure;  // why, when url is empty
};
// plain_scheme is "smtp" or "pop3".
MailServerUrl mail_server_url(const QString& server, const QString& plain_scheme);

// The message as it goes on the wire: UTF-8 body (base64), subject as an encoded word, Date,
// Message-ID, MIME-Version. Line breaks in the subject become blanks, so it stays one header.
QByteArray compose_mail(const QString& to, const QString& from, const QString& subject, const QString& body);

// Sends one mail. Returns the empty text when the server accepted it, otherwise the failure.
// attachments must be empty (the program sends none). When server_unusable is given, it tells whether
// the failure lies with the server or the account (no connection, no login, no server or sender set),
// so that every further mail would fail the same way, rather than with this one mail. login_refused
// tells that the server refused the login (a token may then be renewed and the mail sent again).
QString SendMail(const QString& server, const QString& to, const QString& from, const QString& subject,
                 const QString& body, const QString& attachments, const MailLogin& login = {},
                 int timeout_seconds = kMailTimeoutSeconds, bool* server_unusable = nullptr,
                 bool* login_refused = nullptr);

// command "LIST": logs in and returns the message list ("number size" lines).
// command "SAVEALLD": stores every message of the account in folder (created when missing), deletes
// each from the server once its file is safely written, and returns the identifiers of every stored
// message not yet registered, oldest first. Messages already stored or registered are not stored
// again. No value (and *failure set) when the server could not be used.
std::optional<QStringList> RcvMail(const QString& server, const QString& user, const QString& password,
                                   const QString& command, const QString& folder, QString* failure = nullptr,
                                   int timeout_seconds = kMailTimeoutSeconds);
// The same with a login that may be a token; login_refused as for SendMail.
std::optional<QStringList> receive_pop3(const QString& server, const MailLogin& login, const QString& command,
                                        const QString& folder, QString* failure = nullptr,
                                        bool* login_refused = nullptr,
                                        int timeout_seconds = kMailTimeoutSeconds);

// Reads a stored message. headers names the wanted headers, each followed by a colon
// ("subject:from:"); the result holds their decoded texts in that order and then the body as text
// (the text/plain part, else the text of the text/html part; line ends "\n"). No value when the
// message cannot be read.
std::optional<QStringList> ReadMail(const QString& id, const QString& headers, const QString& folder);

// Moves a registered message out of the waiting set.
bool mark_mail_registered(const QString& id, const QString& folder);
// Whether the message was moved among the registered ones.
bool mail_registered(const QString& id, const QString& folder);
// Moves a message that cannot be read into the sub-folder "unreadable", out of the waiting set.
bool move_mail_aside(const QString& id, const QString& folder);
// Whether a message of this identifier was stored before (waiting, registered or set aside).
bool mail_file_known(const QString& folder, const QString& id);
// Stores a fetched message as <id>.eml in folder, whole or not at all.
bool store_mail_file(const QString& folder, const QString& id, const QByteArray& message);

// The stored, not yet registered messages, oldest first.
QStringList waiting_mail(const QString& folder);
