#include "mail/mail_settings.h"

#include <QUrl>

#include "db/database.h"
#include "db/program_settings.h"

namespace {

const QString kPrefix = QStringLiteral("mail.");

struct Item {
    const char* name;
    QString MailSettings::*field;
};
const Item kTextItems[] = {
    {"mail.oauth.client_id", &MailSettings::client_id},
    {"mail.oauth.client_secret", &MailSettings::client_secret},
    {"mail.oauth.tenant", &MailSettings::tenant},
    {"mail.oauth.authorize_url", &MailSettings::authorize_url},
    {"mail.oauth.token_url", &MailSettings::token_url},
    {"mail.oauth.scope", &MailSettings::scope},
    {"mail.imap.server", &MailSettings::imap_server},
    {"mail.imap.folder", &MailSettings::imap_folder},
    {"mail.imap.move_to", &MailSettings::move_to},
};

const char* const kMethodWords[] = {"password", "microsoft365", "google", "oauth2"};
const char* const kAfterWords[] = {"seen", "move", "delete"};

template <class Enum, size_t N>
Enum from_word(const QString& word, const char* const (&words)[N], Enum fallback) {
    for (size_t i = 0; i < N; ++i)
        if (word == QLatin1String(words[i]))
            return Enum(i);
    return fallback;
}

// An endpoint the program sends a code or token to: https, or http on this computer (tests, a
// company's own local gateway).
bool safe_endpoint(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    const QString host = url.host();
    return url.scheme() == QLatin1String("http") &&
           (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost") ||
            host == QLatin1String("::1"));
}

}  // namespace

MailSettings load_mail_settings(Database& db) {
    const QMap<QString, QString> stored = program_settings(db, kPrefix);
    MailSettings s;
    s.method = from_word(stored.value(QStringLiteral("mail.signin")), kMethodWords, SignInMethod::Password);
    s.protocol = stored.value(QStringLiteral("mail.fetch")) == QLatin1String("imap") ? FetchProtocol::Imap
                                                                                     : FetchProtocol::Pop3;
    s.after = from_word(stored.value(QStringLiteral("mail.imap.after")), kAfterWords, AfterFetch::MarkSeen);
    for (const Item& item : kTextItems) {
        const auto it = stored.find(QString::fromLatin1(item.name));
        if (it != stored.end())
            s.*item.field = it.value();
    }
    if (s.imap_folder.trimmed().isEmpty())
        s.imap_folder = QStringLiteral("INBOX");
    return s;
}

void save_mail_settings(Database& db, const MailSettings& s) {
    Transaction tx(db);
    set_program_setting(db, QStringLiteral("mail.signin"), QString::fromLatin1(kMethodWords[int(s.method)]));
    set_program_setting(db, QStringLiteral("mail.fetch"),
                        s.protocol == FetchProtocol::Imap ? QStringLiteral("imap") : QStringLiteral("pop3"));
    set_program_setting(db, QStringLiteral("mail.imap.after"),
                        QString::fromLatin1(kAfterWords[int(s.after)]));
    for (const Item& item : kTextItems)
        set_program_setting(db, QString::fromLatin1(item.name), (s.*item.field).trimmed());
    tx.commit();
}

QString check_mail_settings(const MailSettings& s) {
    if (s.uses_oauth() && s.client_id.trimmed().isEmpty())
        return QStringLiteral(
            "サインインに使うクライアントIDを入力してください（管理者がプロバイダーに登録したときの ID "
            "です）。");
    if (s.method == SignInMethod::OAuth2) {
        if (!safe_endpoint(s.authorize_url) || !safe_endpoint(s.token_url))
            return QStringLiteral("認可URLとトークンURLは https:// で始まるアドレスを入力してください。");
        if (s.scope.trimmed().isEmpty())
            return QStringLiteral("OAuth2 のスコープを入力してください。");
    }
    if (s.protocol == FetchProtocol::Imap && s.imap_server.trimmed().isEmpty())
        return QStringLiteral("IMAP サーバーを入力してください。");
    if (s.protocol == FetchProtocol::Imap && s.after == AfterFetch::Move &&
        (s.move_to.trimmed().isEmpty() || s.move_to.trimmed() == s.imap_folder.trimmed()))
        return QStringLiteral(
            "受信したメールの移動先には、受信するフォルダーとは別のフォルダーを入力してください。");
    for (const QString& text : {s.client_id, s.tenant, s.imap_folder, s.move_to})
        for (const QChar c : text)
            if (c.unicode() < 0x20)
                return QStringLiteral("メールの設定に改行や制御文字は使えません。");
    return QString();
}

QStringList sign_in_method_names() {
    return {QStringLiteral("パスワード"), QStringLiteral("Microsoft 365"), QStringLiteral("Google"),
            QStringLiteral("OAuth2（その他）")};
}

QStringList after_fetch_names() {
    return {QStringLiteral("既読にする"), QStringLiteral("フォルダーへ移動する"),
            QStringLiteral("サーバーから削除する")};
}

ServerPreset provider_servers(SignInMethod method) {
    switch (method) {
        case SignInMethod::Microsoft365:
            return {QStringLiteral("smtp://smtp.office365.com:587"),
                    QStringLiteral("pop3s://outlook.office365.com:995"),
                    QStringLiteral("imaps://outlook.office365.com:993")};
        case SignInMethod::Google:
            return {QStringLiteral("smtp://smtp.gmail.com:587"), QStringLiteral("pop3s://pop.gmail.com:995"),
                    QStringLiteral("imaps://imap.gmail.com:993")};
        default:
            return {};
    }
}

OAuthEndpoints oauth_endpoints(const MailSettings& s) {
    switch (s.method) {
        case SignInMethod::Microsoft365: {
            const QString tenant =
                s.tenant.trimmed().isEmpty() ? QStringLiteral("organizations") : s.tenant.trimmed();
            const QString base = QStringLiteral("https://login.microsoftonline.com/") +
                                 QString::fromLatin1(QUrl::toPercentEncoding(tenant)) +
                                 QStringLiteral("/oauth2/v2.0/");
            // "http://localhost" is what the Entra admin center registers for a desktop program; the
            // port is not compared.
            return {
                base + QStringLiteral("authorize"),
                base + QStringLiteral("token"),
                QStringLiteral(
                    "https://outlook.office.com/SMTP.Send https://outlook.office.com/POP.AccessAsUser.All "
                    "https://outlook.office.com/IMAP.AccessAsUser.All offline_access"),
                QStringLiteral("localhost"),
                {}};
        }
        case SignInMethod::Google:
            return {QStringLiteral("https://accounts.google.com/o/oauth2/auth"),
                    QStringLiteral("https://www.googleapis.com/oauth2/v3/token"),
                    QStringLiteral("https://mail.google.com/"),
                    QStringLiteral("127.0.0.1"),
                    {QStringLiteral("access_type=offline"), QStringLiteral("prompt=consent")}};
        case SignInMethod::OAuth2:
            return {s.authorize_url.trimmed(),
                    s.token_url.trimmed(),
                    s.scope.trimmed(),
                    QStringLiteral("127.0.0.1"),
                    {}};
        case SignInMethod::Password:
            break;
    }
    return {};
}
