#pragma once

#include <QString>
#include <QStringList>

class Database;

// The mail account's settings beyond the design's columns of 自社情報 (pop, userid, password, smtp,
// email). They live in the program's settings table, so 自社情報 stays as older copies expect it and a
// password account goes on working there.

enum class SignInMethod { Password, Microsoft365, Google, OAuth2 };
enum class FetchProtocol { Pop3, Imap };
// What becomes of a message on the IMAP server once it is registered.
enum class AfterFetch { MarkSeen, Move, Delete };

struct MailSettings {
    SignInMethod method = SignInMethod::Password;
    QString client_id;      // each office registers the program with its provider
    QString client_secret;  // Google still wants one for desktop programs (it is not kept secret there)
    QString tenant;         // Microsoft 365: the directory (tenant ID or domain); empty = organizations
    QString authorize_url;  // OAuth2 (other) only
    QString token_url;      // OAuth2 (other) only
    QString scope;          // OAuth2 (other) only
    FetchProtocol protocol = FetchProtocol::Pop3;
    QString imap_server;
    QString imap_folder = QStringLiteral("INBOX");
    AfterFetch after = AfterFetch::MarkSeen;
    QString move_to;  // the folder for AfterFetch::Move

    bool uses_oauth() const { return method != SignInMethod::Password; }
    bool operator==(const MailSettings&) const = default;
};

// The settings as stored; defaults where nothing is stored (a password account fetching by POP3).
MailSettings load_mail_settings(Database& db);
// Stores every setting; joins the caller's transaction.
void save_mail_settings(Database& db, const MailSettings& settings);
// The message for settings that cannot work, else empty.
QString check_mail_settings(const MailSettings& settings);

// The names shown in the 会社情報 choices, in the order of the enums.
QStringList sign_in_method_names();
QStringList after_fetch_names();

// What choosing a provider fills in; the user may change it afterwards.
struct ServerPreset {
    QString smtp;  // as the 会社情報 boxes take it: smtp://host:587 (STARTTLS) or smtps://host:465
    QString pop;   // pop3s://host:995
    QString imap;  // imaps://host:993
};
// Empty for the password and other OAuth2 methods, which name no servers.
ServerPreset provider_servers(SignInMethod method);

// Where and how the sign-in goes for the settings' method.
struct OAuthEndpoints {
    QString authorize_url;
    QString token_url;
    QString scope;
    QString redirect_host;  // the loopback name in the redirect URI (127.0.0.1, or localhost for Microsoft)
    QStringList extra_parameters;  // name=value pairs added to the authorization request
};
OAuthEndpoints oauth_endpoints(const MailSettings& settings);
