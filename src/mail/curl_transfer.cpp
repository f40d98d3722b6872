#include "mail/curl_transfer.h"

#include <QRegularExpression>
#include <mutex>

#include "app/log_file.h"

// Silent until the log file is installed (see install_log_file).
Q_LOGGING_CATEGORY(lcMail, "sales.mail", QtCriticalMsg)

void init_curl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool refuses_password_login(const QString& reply) {
    static const char* const phrases[] = {
        "5.7.30",
        "Basic authentication is not supported",
        "basic authentication is disabled",
        "SmtpClientAuthentication is disabled",
        "Application-specific password required",
        "Username and Password not accepted",
    };
    for (const char* phrase : phrases)
        if (reply.contains(QLatin1String(phrase), Qt::CaseInsensitive))
            return true;
    return false;
}

QString password_refused_message(const QString& reply) {
    return QStringLiteral(
               "メールサーバーがパスワードでのログインを受け付けませんでした。"
               "Microsoft 365 や Google Workspace のメールは、会社情報の「サインイン方法」で Microsoft 365 "
               "または Google を選んで「サインイン」してください。個人の Gmail でパスワードを使うときは、"
               "Google アカウントで作った「アプリ パスワード」をパスワード欄に入れてください。"
               "（サーバーの応答: %1）")
        .arg(reply);
}

bool loggable_command(const QString& line, const QString& protocol) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    if (protocol == QLatin1String("HTTP"))
        return false;  // the request line is written by itself; headers and form never
    static const QStringList smtp = {
        QStringLiteral("EHLO"), QStringLiteral("HELO"), QStringLiteral("STARTTLS"),
        QStringLiteral("MAIL"), QStringLiteral("RCPT"), QStringLiteral("DATA"),
        QStringLiteral("QUIT"), QStringLiteral("RSET"), QStringLiteral("NOOP")};
    static const QStringList pop3 = {QStringLiteral("CAPA"), QStringLiteral("STLS"), QStringLiteral("STAT"),
                                     QStringLiteral("LIST"), QStringLiteral("UIDL"), QStringLiteral("RETR"),
                                     QStringLiteral("DELE"), QStringLiteral("QUIT"), QStringLiteral("TOP"),
                                     QStringLiteral("NOOP"), QStringLiteral("RSET")};
    static const QStringList imap = {
        QStringLiteral("CAPABILITY"), QStringLiteral("STARTTLS"), QStringLiteral("SELECT"),
        QStringLiteral("EXAMINE"),    QStringLiteral("UID"),      QStringLiteral("FETCH"),
        QStringLiteral("STORE"),      QStringLiteral("SEARCH"),   QStringLiteral("STATUS"),
        QStringLiteral("LIST"),       QStringLiteral("LOGOUT"),   QStringLiteral("NOOP"),
        QStringLiteral("EXPUNGE"),    QStringLiteral("MOVE"),     QStringLiteral("COPY"),
        QStringLiteral("CREATE"),     QStringLiteral("CLOSE"),    QStringLiteral("UNSELECT")};
    if (protocol == QLatin1String("IMAP"))
        return words.size() >= 2 && imap.contains(words.at(1).toUpper());
    const QString verb = words.at(0).toUpper();
    return (protocol == QLatin1String("POP3") ? pop3 : smtp).contains(verb);
}

size_t append_download(char* data, size_t size, size_t count, void* user) {
    static_cast<QByteArray*>(user)->append(data, qsizetype(size * count));
    return size * count;
}

namespace {

int debug_hook(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    static_cast<Transfer*>(user)->note(type, data, size);
    return 0;
}

}  // namespace

Transfer::Transfer(int timeout_seconds, const QString& protocol)
    : m_curl(curl_easy_init()), m_protocol(protocol), m_timeout(timeout_seconds) {
    init_curl();
    m_error[0] = 0;
    if (!m_curl)
        return;
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, long(timeout_seconds));
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, long(timeout_seconds));
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
    curl_easy_setopt(m_curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray ca = qgetenv("SALES_MAIL_CA_FILE");
    if (!ca.isEmpty()) {
        m_ca = ca;
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_ca.constData());
    }
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, debug_hook);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
}

Transfer::~Transfer() {
    if (m_curl)
        curl_easy_cleanup(m_curl);
    if (m_recipients)
        curl_slist_free_all(m_recipients);
}

void Transfer::set_text(CURLoption option, const QString& value) {
    m_texts.append(value.toUtf8());
    curl_easy_setopt(m_curl, option, m_texts.last().constData());
}

void Transfer::add_recipient(const QString& address) {
    m_texts.append(address.toUtf8());
    m_recipients = curl_slist_append(m_recipients, m_texts.last().constData());
    curl_easy_setopt(m_curl, CURLOPT_MAIL_RCPT, m_recipients);
}

void Transfer::login(const QString& user, const QString& password, const QString& bearer) {
    if (user.isEmpty())
        return;
    set_text(CURLOPT_USERNAME, user);
    if (!bearer.isEmpty()) {
        keep_out_of_log(bearer);
        set_text(CURLOPT_XOAUTH2_BEARER, bearer);
        // A token never travels in the clear.
        curl_easy_setopt(m_curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        m_bearer = true;
    } else {
        keep_out_of_log(password);
        set_text(CURLOPT_PASSWORD, password);
        m_password = true;
    }
}

void Transfer::note(curl_infotype type, const char* data, size_t size) {
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return;
    const QStringList lines = QString::fromUtf8(data, qsizetype(size)).split(QStringLiteral("\r\n"));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (type == CURLINFO_HEADER_IN) {
            m_replies << line;
            m_reply = line;
            if (m_protocol == QLatin1String("HTTP")) {
                if (line.startsWith(QLatin1String("HTTP/")))
                    qCInfo(lcMail).noquote() << m_protocol << "<" << line;
                continue;
            }
            // SASL challenges and continuations belong to the login: never written.
            const bool continuation = line.startsWith(QLatin1String("334 ")) ||
                                      line == QLatin1String("334") || line.startsWith(QLatin1String("+ ")) ||
                                      line == QLatin1String("+");
            if (!continuation)
                m_in_login = false;
            qCInfo(lcMail).noquote() << m_protocol << "<"
                                     << (continuation ? QStringLiteral("（認証のやりとりは記録しません）")
                                                      : line);
        } else {
            if (m_protocol == QLatin1String("HTTP")) {
                if (line.startsWith(QLatin1String("POST ")) || line.startsWith(QLatin1String("GET ")))
                    qCInfo(lcMail).noquote() << m_protocol << ">" << line.section(QLatin1Char('?'), 0, 0);
                continue;
            }
            const bool safe = !m_in_login && loggable_command(line, m_protocol);
            if (!safe)
                m_in_login = true;
            qCInfo(lcMail).noquote() << m_protocol << ">"
                                     << (safe ? line : QStringLiteral("（ログインの行は記録しません）"));
        }
    }
}

QString Transfer::perform() {
    m_error[0] = 0;
    m_reply.clear();
    m_replies.clear();
    m_login_refused = false;
    m_in_login = false;
    const CURLcode code = curl_easy_perform(m_curl);
    if (code == CURLE_OK)
        return QString();
    QString reason = QString::fromUtf8(m_error).trimmed();
    if (reason.isEmpty())
        reason = QString::fromUtf8(curl_easy_strerror(code));
    qCInfo(lcMail).noquote() << m_protocol << "failed:" << reason << m_reply;
    // Every failure but the server's refusal of this one request concerns the server itself.
    m_server_failure = true;
    if (m_password && refuses_password_login(m_reply)) {
        m_login_refused = true;
        return password_refused_message(m_reply);
    }
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            return QStringLiteral("サーバーから %1 秒以内に応答がありませんでした (%2)")
                .arg(m_timeout)
                .arg(reason);
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
            return QStringLiteral("サーバーに接続できませんでした (%1)").arg(reason);
        case CURLE_LOGIN_DENIED:
            m_login_refused = true;
            if (!m_reply.isEmpty() && !reason.contains(m_reply))
                reason += QStringLiteral(": ") + m_reply;
            if (m_bearer)
                return QStringLiteral("メールサーバーがサインインを受け付けませんでした (%1)").arg(reason);
            return QStringLiteral("ユーザー名またはパスワードが違います (%1)").arg(reason);
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
            return QStringLiteral("サーバーとの暗号化通信を確立できませんでした (%1)").arg(reason);
        case CURLE_USE_SSL_FAILED:
            return QStringLiteral(
                       "サーバーが暗号化通信 (STARTTLS) に対応していないため、サインインの情報を送りません "
                       "(%1)")
                .arg(reason);
        default:
            break;
    }
    if (!m_reply.isEmpty() && !reason.contains(m_reply))
        reason += QStringLiteral(": ") + m_reply;
    // A refusal of this mail (recipient, size, content) leaves the server usable for the next.
    m_server_failure = false;
    return QStringLiteral("サーバーが処理を拒否しました (%1)").arg(reason);
}
