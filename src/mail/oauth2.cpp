#include "mail/oauth2.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include "app/log_file.h"
#include "mail/bsmtp.h"
#include "mail/curl_transfer.h"

namespace {

QString base64url(const QByteArray& bytes) {
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QByteArray random_bytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator = QRandomGenerator::securelySeeded();
    for (char& b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

QByteArray form(const QList<QPair<QString, QString>>& fields) {
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (value.isEmpty())
            continue;
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

TokenReply post_token_request(const QString& token_url, const QByteArray& body) {
    Transfer transfer(kMailTimeoutSeconds, QStringLiteral("HTTP"));
    TokenReply reply;
    if (!transfer.handle()) {
        reply.failure = QStringLiteral("通信の準備ができませんでした");
        return reply;
    }
    QByteArray answer;
    transfer.set_text(CURLOPT_URL, token_url);
    // Only the endpoint's own scheme: a redirect could carry the code elsewhere.
    curl_easy_setopt(transfer.handle(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(transfer.handle(), CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(transfer.handle(), CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(transfer.handle(), CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_slist* headers = curl_slist_append(nullptr, "Accept: application/json");
    curl_easy_setopt(transfer.handle(), CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, append_download);
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &answer);
    const QString failure = transfer.perform();
    curl_slist_free_all(headers);
    if (!failure.isEmpty()) {
        reply.failure =
            QStringLiteral("サインインのサーバー (%1) に接続できませんでした: %2").arg(token_url, failure);
        return reply;
    }
    long status = 0;
    curl_easy_getinfo(transfer.handle(), CURLINFO_RESPONSE_CODE, &status);
    return parse_token_reply(int(status), answer);
}

const char* const kPage =
    "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>営業手帳</title></head>"
    "<body><p>%1</p></body></html>";

}  // namespace

Pkce make_pkce() {
    Pkce p;
    p.verifier = base64url(random_bytes(64));
    p.challenge = pkce_challenge(p.verifier);
    return p;
}

QString pkce_challenge(const QString& verifier) {
    return base64url(QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256));
}

QString random_state() {
    return base64url(random_bytes(32));
}

QUrl authorization_url(const OAuthEndpoints& endpoints, const QString& client_id, const QString& redirect_uri,
                       const QString& state, const QString& challenge, const QString& login_hint) {
    QUrl url(endpoints.authorize_url);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), client_id.trimmed());
    query.addQueryItem(QStringLiteral("redirect_uri"), redirect_uri);
    query.addQueryItem(QStringLiteral("scope"), endpoints.scope);
    query.addQueryItem(QStringLiteral("state"), state);
    query.addQueryItem(QStringLiteral("code_challenge"), challenge);
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    if (!login_hint.trimmed().isEmpty())
        query.addQueryItem(QStringLiteral("login_hint"), login_hint.trimmed());
    for (const QString& pair : endpoints.extra_parameters)
        query.addQueryItem(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    // Every reserved character of the values encoded, so a '+' or '&' in a scope stays itself.
    QString encoded;
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!encoded.isEmpty())
            encoded += QLatin1Char('&');
        encoded += QString::fromLatin1(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value));
    }
    url.setQuery(encoded, QUrl::StrictMode);
    return url;
}

TokenReply parse_token_reply(int http_status, const QByteArray& body) {
    TokenReply reply;
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    reply.access_token = o.value(QStringLiteral("access_token")).toString();
    reply.refresh_token = o.value(QStringLiteral("refresh_token")).toString();
    const QJsonValue expires = o.value(QStringLiteral("expires_in"));
    reply.expires_in = expires.isString() ? expires.toString().toLongLong() : qint64(expires.toDouble());
    reply.error = o.value(QStringLiteral("error")).toString();
    keep_out_of_log(reply.access_token);
    keep_out_of_log(reply.refresh_token);
    if (http_status == 200 && !reply.access_token.isEmpty() && reply.error.isEmpty()) {
        reply.ok = true;
        if (reply.expires_in <= 0)
            reply.expires_in = 3600;  // unsaid: the usual hour
        return reply;
    }
    const QString description = o.value(QStringLiteral("error_description")).toString().left(300);
    if (reply.error.isEmpty())
        reply.error =
            http_status == 200 ? QStringLiteral("no_token") : QStringLiteral("http_%1").arg(http_status);
    reply.failure =
        QStringLiteral("サインインのサーバーが要求を受け付けませんでした (%1%2)")
            .arg(reply.error, description.isEmpty() ? QString() : QStringLiteral(": ") + description);
    reply.access_token.clear();
    reply.refresh_token.clear();
    return reply;
}

TokenReply redeem_code(const OAuthEndpoints& endpoints, const QString& client_id,
                       const QString& client_secret, const QString& code, const QString& redirect_uri,
                       const QString& verifier) {
    keep_out_of_log(code);
    return post_token_request(endpoints.token_url,
                              form({{QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
                                    {QStringLiteral("code"), code},
                                    {QStringLiteral("redirect_uri"), redirect_uri},
                                    {QStringLiteral("client_id"), client_id.trimmed()},
                                    {QStringLiteral("client_secret"), client_secret.trimmed()},
                                    {QStringLiteral("code_verifier"), verifier}}));
}

TokenReply refresh_access_token(const OAuthEndpoints& endpoints, const QString& client_id,
                                const QString& client_secret, const QString& refresh_token) {
    return post_token_request(endpoints.token_url,
                              form({{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                    {QStringLiteral("refresh_token"), refresh_token},
                                    {QStringLiteral("client_id"), client_id.trimmed()},
                                    {QStringLiteral("client_secret"), client_secret.trimmed()},
                                    {QStringLiteral("scope"), endpoints.scope}}));
}

// ---- the loopback listener

LoopbackReceiver::LoopbackReceiver(const QString& redirect_host, const QString& state, QObject* parent)
    : QObject(parent), m_host(redirect_host), m_state(state) {}

LoopbackReceiver::~LoopbackReceiver() {
    close();
}

bool LoopbackReceiver::listen() {
    close();
    // The port is chosen on 127.0.0.1; with "localhost" in the redirect, the browser may ask ::1
    // first, so the same port is opened there too when the computer has it.
    auto* v4 = new QTcpServer(this);
    if (!v4->listen(QHostAddress::LocalHost, 0)) {
        delete v4;
        return false;
    }
    m_port = v4->serverPort();
    m_servers << v4;
    if (m_host == QLatin1String("localhost")) {
        auto* v6 = new QTcpServer(this);
        if (v6->listen(QHostAddress::LocalHostIPv6, m_port))
            m_servers << v6;
        else
            delete v6;
    }
    for (QTcpServer* server : std::as_const(m_servers))
        connect(server, &QTcpServer::newConnection, this, [this, server] { take(server); });
    m_done = false;
    return true;
}

QString LoopbackReceiver::redirect_uri() const {
    return QStringLiteral("http://%1:%2/").arg(m_host).arg(m_port);
}

void LoopbackReceiver::close() {
    for (QTcpServer* server : std::as_const(m_servers)) {
        server->close();
        server->deleteLater();
    }
    m_servers.clear();
}

void LoopbackReceiver::take(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        // Only this computer's loopback reaches the listener; refuse anything else outright.
        if (!socket->peerAddress().isLoopback()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The socket outlives the listener: the answer page must reach the browser after close().
        socket->setParent(nullptr);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackReceiver::read(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0 && request.size() < 16384) {
        socket->setProperty("request", request);
        return;
    }
    auto answer = [socket](const char* status, const QString& text) {
        const QByteArray page = QString::fromUtf8(kPage).arg(text.toHtmlEscaped()).toUtf8();
        socket->write(QByteArray("HTTP/1.1 ") + status +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                      "Connection: close\r\nContent-Length: " +
                      QByteArray::number(page.size()) + "\r\n\r\n" + page);
        socket->flush();
        socket->disconnectFromHost();
    };
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    if (m_done || words.size() != 3 || words.at(0) != "GET" || !words.at(1).startsWith('/')) {
        answer("400 Bad Request", QStringLiteral("この要求は受け付けません。"));
        return;
    }
    const QUrl target(QStringLiteral("http://%1%2").arg(m_host, QString::fromLatin1(words.at(1))));
    if (target.path() != QLatin1String("/")) {
        answer("404 Not Found", QStringLiteral("ページがありません。"));
        return;
    }
    const QUrlQuery query(target);
    // Another sign-in's answer, or a page that was not the provider's: ignored, the wait goes on.
    if (query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != m_state) {
        answer("400 Bad Request",
               QStringLiteral("この応答は、営業手帳が始めたサインインのものではありません。"));
        return;
    }
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    if (code.isEmpty() && error.isEmpty()) {
        answer("400 Bad Request", QStringLiteral("サインインの応答にコードがありません。"));
        return;
    }
    m_done = true;
    keep_out_of_log(code);
    if (code.isEmpty())
        answer("200 OK", QStringLiteral("サインインできませんでした。営業手帳の画面に戻ってください。"));
    else
        answer("200 OK",
               QStringLiteral("サインインしました。このページを閉じて、営業手帳に戻ってください。"));
    emit received(code, error, query.queryItemValue(QStringLiteral("error_description"), QUrl::FullyDecoded));
}
