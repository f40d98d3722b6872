// GMime pulls in GLib, whose headers use the word "signals"; they must come before Qt's.
#include <curl/curl.h>
#include <gmime/gmime.h>

#include "mail/bsmtp.h"
#include "mail/curl_transfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace {

const QString kRegistered = QStringLiteral("registered");
const QString kUnreadable = QStringLiteral("unreadable");

void init_libraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        init_curl();
        g_mime_init();
    });
}

QString take_g_string(char* text) {
    if (!text)
        return QString();
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString one_line(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t\\x{2028}\\x{2029}]+"));
    return text.replace(breaks, QStringLiteral(" ")).trimmed();
}

// A plain mail address (local part @ domain): no blanks, brackets, quotes or control characters that could
// end the envelope command or open a header.
bool plain_address(const QString& address) {
    static const QRegularExpression form(
        QStringLiteral("^[^\\s<>()\\[\\],;:\"@\\\\]+@[^\\s<>()\\[\\],;:\"@\\\\]+$"));
    for (const QChar c : address)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return form.match(address).hasMatch();
}

// Wire line ends are CR LF whatever the text used.
QString crlf_lines(const QString& text) {
    QString lf = text;
    lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

struct Upload {
    QByteArray data;
    qsizetype offset = 0;
};

size_t read_upload(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    const qsizetype n = std::min<qsizetype>(qsizetype(size * count), upload->data.size() - upload->offset);
    std::copy_n(upload->data.constData() + upload->offset, n, buffer);
    upload->offset += n;
    return size_t(n);
}

QString mail_path(const QString& folder, const QString& id) {
    return QDir(folder).filePath(id + QStringLiteral(".eml"));
}

// A server's UIDL as a file name: anything but letters, digits, '.', '-' and '_' is percent-encoded.
QString id_from_uidl(const QString& uidl) {
    QString id;
    for (const QChar c : uidl) {
        const ushort u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '-' ||
            u == '_' || (u == '.' && !id.isEmpty()))
            id += c;
        else
            id += QStringLiteral("%%%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
    }
    return id;
}

bool valid_id(const QString& id) {
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_%\\-][A-Za-z0-9_%.\\-]*$"));
    return form.match(id).hasMatch();
}

// --- reading ---------------------------------------------------------------------------------------

QString html_text(QString html) {
    static const QRegularExpression hidden(
        QStringLiteral("<(script|style|head)\\b.*?</\\1\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(QStringLiteral("<(br|/p|/div|/tr|/li|/h[1-6])\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression space(QStringLiteral("[ \\t\\r\\n]+"));
    static const QRegularExpression entity(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z]+);"));
    html.replace(hidden, QString());
    html.replace(space, QStringLiteral(" "));
    html.replace(breaks, QStringLiteral("\n"));
    html.replace(tags, QString());
    QString out;
    qsizetype last = 0;
    auto it = entity.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        out += html.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString value;
        if (name.startsWith(QStringLiteral("#x"), Qt::CaseInsensitive))
            value = QString::fromUcs4(
                std::array<char32_t, 1>{char32_t(name.mid(2).toUInt(nullptr, 16))}.data(), 1);
        else if (name.startsWith(QLatin1Char('#')))
            value = QString::fromUcs4(std::array<char32_t, 1>{char32_t(name.mid(1).toUInt())}.data(), 1);
        else if (name == QLatin1String("lt"))
            value = QStringLiteral("<");
        else if (name == QLatin1String("gt"))
            value = QStringLiteral(">");
        else if (name == QLatin1String("amp"))
            value = QStringLiteral("&");
        else if (name == QLatin1String("quot"))
            value = QStringLiteral("\"");
        else if (name == QLatin1String("apos"))
            value = QStringLiteral("'");
        else if (name == QLatin1String("nbsp"))
            value = QStringLiteral(" ");
        else
            value = m.captured(0);
        out += value;
        last = m.capturedEnd();
    }
    out += html.mid(last);
    QStringList lines = out.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    return lines.join(QLatin1Char('\n')).trimmed();
}

// Some mailers put raw ISO-2022-JP (escape sequences, 7-bit) into headers instead of encoded words.
QString raw_jis_header(const QString& text) {
    if (!text.contains(QChar(0x1b)))
        return text;
    const QByteArray bytes = text.toLatin1();
    gsize written = 0;
    char* converted =
        g_convert(bytes.constData(), bytes.size(), "UTF-8", "ISO-2022-JP", nullptr, &written, nullptr);
    return converted ? take_g_string(converted) : text;
}

struct BodyParts {
    GMimeTextPart* plain = nullptr;
    GMimeTextPart* html = nullptr;
};

void find_text(GMimeObject*, GMimeObject* part, gpointer user) {
    auto* parts = static_cast<BodyParts*>(user);
    if (!GMIME_IS_TEXT_PART(part))
        return;
    if (const char* disposition = g_mime_object_get_disposition(part);
        disposition && g_ascii_strcasecmp(disposition, "attachment") == 0)
        return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (!parts->plain && g_mime_content_type_is_type(type, "text", "plain"))
        parts->plain = GMIME_TEXT_PART(part);
    else if (!parts->html && g_mime_content_type_is_type(type, "text", "html"))
        parts->html = GMIME_TEXT_PART(part);
}

QString part_text(GMimeTextPart* part) {
    QString text = take_g_string(g_mime_text_part_get_text(part));
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// GMime 3.2.13 decodes adjacent base64 words of one charset as one stream and stops at a word that
// ends in padding: "=?UTF-8?B?VFI=?= =?UTF-8?B?VVNU?=" reads "TR", and the rest of the subject is
// lost. Each such run is joined into one word first; other text is left as it is.
QByteArray join_base64_words(const QByteArray& raw) {
    static const QRegularExpression word(QStringLiteral("=\\?([^?\\s]+)\\?[Bb]\\?([A-Za-z0-9+/=]*)\\?="));
    const QString text = QString::fromLatin1(raw);
    QString out;
    qsizetype copied = 0;
    QString run_charset;
    QByteArray run_bytes;
    qsizetype run_start = -1;
    qsizetype run_end = -1;
    int run_words = 0;
    auto flush = [&] {
        if (run_words > 1) {
            out += text.mid(copied, run_start - copied);
            out += QStringLiteral("=?%1?B?%2?=").arg(run_charset, QString::fromLatin1(run_bytes.toBase64()));
            copied = run_end;
        }
        run_words = 0;
        run_bytes.clear();
    };
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool continues = run_words > 0 &&
                               m.captured(1).compare(run_charset, Qt::CaseInsensitive) == 0 &&
                               text.mid(run_end, m.capturedStart() - run_end).trimmed().isEmpty();
        if (!continues) {
            flush();
            run_charset = m.captured(1);
            run_start = m.capturedStart();
        }
        run_bytes += QByteArray::fromBase64(m.captured(2).toLatin1());
        run_end = m.capturedEnd();
        ++run_words;
    }
    flush();
    if (copied == 0)
        return raw;
    out += text.mid(copied);
    return out.toLatin1();
}

// The decoded subject, with the runs of base64 words joined (above).
QString subject_text(GMimeMessage* message) {
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), "Subject");
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    if (raw) {
        char* unfolded = g_mime_utils_header_unfold(raw);
        const QByteArray original(unfolded);
        g_free(unfolded);
        const QByteArray joined = join_base64_words(original);
        if (joined != original) {
            GMimeParserOptions* options = g_mime_parser_options_new();
            const char* fallback[] = {"UTF-8", "EUC-JP", "Shift_JIS", nullptr};
            g_mime_parser_options_set_fallback_charsets(options, fallback);
            char* decoded = g_mime_utils_header_decode_text(options, joined.trimmed().constData());
            g_mime_parser_options_free(options);
            return take_g_string(decoded);
        }
    }
    return QString::fromUtf8(g_mime_message_get_subject(message));
}

QString header_text(GMimeMessage* message, const QString& name) {
    const QByteArray key = name.trimmed().toLatin1();
    const char* raw = g_mime_object_get_header(GMIME_OBJECT(message), key.constData());
    if (!raw)
        return QString();
    // Raw ISO-2022-JP defeats the address parser; such a header is taken as its converted text.
    if (std::strchr(raw, 0x1b))
        return raw_jis_header(QString::fromLatin1(raw)).simplified();
    if (key.compare("subject", Qt::CaseInsensitive) == 0)
        return subject_text(message);
    if (key.compare("from", Qt::CaseInsensitive) == 0 || key.compare("to", Qt::CaseInsensitive) == 0) {
        InternetAddressList* list = key.compare("from", Qt::CaseInsensitive) == 0
                                        ? g_mime_message_get_from(message)
                                        : g_mime_message_get_to(message);
        return take_g_string(internet_address_list_to_string(list, nullptr, FALSE));
    }
    return take_g_string(g_mime_utils_header_decode_text(nullptr, raw));
}

}  // namespace

MailServerUrl mail_server_url(const QString& server, const QString& plain_scheme) {
    const QString field = server.trimmed();
    if (field.isEmpty())
        return {QString(), QStringLiteral("サーバーが設定されていません")};
    const QString wrong = QStringLiteral("サーバーの指定が正しくありません: ") + field;
    for (const QChar c : field)
        if (c.isSpace() || c.unicode() < 0x20)
            return {QString(), wrong};
    QString scheme = plain_scheme;
    QString rest = field;
    const qsizetype sep = field.indexOf(QStringLiteral("://"));
    if (sep >= 0) {
        scheme = field.left(sep).toLower();
        if (scheme != plain_scheme && scheme != plain_scheme + QLatin1Char('s'))
            return {QString(), wrong};
        rest = field.mid(sep + 3);
    }
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    const QUrl url(scheme + QStringLiteral("://") + rest + QLatin1Char('/'), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        url.path() != QLatin1String("/") || url.hasQuery() || url.hasFragment() || (url.port() == 0))
        return {QString(), wrong};
    return {url.toString(QUrl::FullyEncoded), QString()};
}

// GMime leaves ASCII words of a subject as they stand, so a typed "=?utf-8?q?x?=" would be decoded
// by every reader. Such a subject goes out as encoded words in whole, each short enough for a
// folded header line and cut between characters.
static QByteArray subject_words(const QString& subject) {
    if (!subject.contains(QLatin1String("=?")))
        return subject.toUtf8();
    QByteArrayList words;
    QByteArray word;
    for (qsizetype i = 0; i < subject.size(); ++i) {
        const qsizetype length = subject.at(i).isHighSurrogate() && i + 1 < subject.size() ? 2 : 1;
        const QByteArray character = subject.mid(i, length).toUtf8();
        i += length - 1;
        if (word.size() + character.size() > 45) {
            words << "=?utf-8?b?" + word.toBase64() + "?=";
            word.clear();
        }
        word += character;
    }
    if (!word.isEmpty())
        words << "=?utf-8?b?" + word.toBase64() + "?=";
    return words.join(' ');
}

QByteArray compose_mail(const QString& to, const QString& from, const QString& subject, const QString& body) {
    init_libraries();
    GMimeMessage* message = g_mime_message_new(TRUE);
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, nullptr, from.toUtf8().constData());
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_TO, nullptr, to.toUtf8().constData());
    g_mime_message_set_subject(message, subject_words(one_line(subject)).constData(), "utf-8");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message, now);
    g_date_time_unref(now);
    const QString domain = from.section(QLatin1Char('@'), 1);
    char* id = g_mime_utils_generate_message_id(domain.isEmpty() ? "localhost" : domain.toUtf8().constData());
    g_mime_message_set_message_id(message, id);
    g_free(id);

    // The body goes in as UTF-8 bytes under charset=utf-8: g_mime_text_part_set_text would pick the
    // "best" charset itself and store Latin-1-only text as ISO-8859-1 bytes.
    GMimeTextPart* part = g_mime_text_part_new_with_subtype("plain");
    const QByteArray utf8 = crlf_lines(body).toUtf8();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(utf8.constData(), size_t(utf8.size()));
    GMimeDataWrapper* content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_object_unref(stream);
    g_mime_part_set_content(GMIME_PART(part), content);
    g_object_unref(content);
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_message_set_mime_part(message, GMIME_OBJECT(part));
    g_object_unref(part);

    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    char* text = g_mime_object_to_string(GMIME_OBJECT(message), options);
    QByteArray wire(text);
    g_free(text);
    g_mime_format_options_free(options);
    g_object_unref(message);
    return wire;
}

QString SendMail(const QString& server, const QString& to, const QString& from, const QString& subject,
                 const QString& body, const QString& attachments, const MailLogin& login, int timeout_seconds,
                 bool* server_unusable, bool* login_refused) {
    init_libraries();
    if (login_refused)
        *login_refused = false;
    bool unusable_dummy = false;
    bool& unusable = server_unusable ? *server_unusable : unusable_dummy;
    unusable = false;
    if (!attachments.isEmpty())
        return QStringLiteral("添付ファイルは送信できません");
    const MailServerUrl url = mail_server_url(server, QStringLiteral("smtp"));
    unusable = true;  // the account's own settings: every mail would fail alike
    if (url.url.isEmpty())
        return url.failure;
    if (!plain_address(from.trimmed()))
        return QStringLiteral("送信元のメールアドレスが正しくありません: ") + from;
    unusable = false;
    if (!plain_address(to.trimmed()))
        return QStringLiteral("宛先のメールアドレスが正しくありません: ") + to;

    Transfer transfer(timeout_seconds, QStringLiteral("SMTP"));
    if (!transfer.handle())
        return QStringLiteral("通信の準備ができませんでした");
    Upload upload{compose_mail(to.trimmed(), from.trimmed(), subject, body)};
    transfer.set_text(CURLOPT_URL, url.url);
    transfer.set_text(CURLOPT_MAIL_FROM, QLatin1Char('<') + from.trimmed() + QLatin1Char('>'));
    transfer.add_recipient(QLatin1Char('<') + to.trimmed() + QLatin1Char('>'));
    transfer.login(login.user, login.password, login.bearer);
    curl_easy_setopt(transfer.handle(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(transfer.handle(), CURLOPT_READFUNCTION, read_upload);
    curl_easy_setopt(transfer.handle(), CURLOPT_READDATA, &upload);
    curl_easy_setopt(transfer.handle(), CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));
    const QString failure = transfer.perform();
    unusable = !failure.isEmpty() && transfer.server_failure();
    if (login_refused)
        *login_refused = transfer.login_refused();
    return failure;
}

std::optional<QStringList> RcvMail(const QString& server, const QString& user, const QString& password,
                                   const QString& command, const QString& folder, QString* failure,
                                   int timeout_seconds) {
    return receive_pop3(server, MailLogin{user, password, {}}, command, folder, failure, nullptr,
                        timeout_seconds);
}

std::optional<QStringList> receive_pop3(const QString& server, const MailLogin& login, const QString& command,
                                        const QString& folder, QString* failure, bool* login_refused,
                                        int timeout_seconds) {
    init_libraries();
    if (login_refused)
        *login_refused = false;
    auto fail = [failure](const QString& text) -> std::optional<QStringList> {
        if (failure)
            *failure = text;
        return std::nullopt;
    };
    const MailServerUrl url = mail_server_url(server, QStringLiteral("pop3"));
    if (url.url.isEmpty())
        return fail(url.failure);
    const bool save = command.compare(QLatin1String("SAVEALLD"), Qt::CaseInsensitive) == 0;
    if (!save && command.compare(QLatin1String("LIST"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("未対応のコマンドです: ") + command);

    Transfer transfer(timeout_seconds, QStringLiteral("POP3"));
    if (!transfer.handle())
        return fail(QStringLiteral("通信の準備ができませんでした"));
    transfer.login(login.user, login.password, login.bearer);
    QByteArray listing;
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, append_download);
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &listing);
    transfer.set_text(CURLOPT_URL, url.url);
    if (save)
        transfer.set_text(CURLOPT_CUSTOMREQUEST, QStringLiteral("UIDL"));
    if (QString e = transfer.perform(); !e.isEmpty()) {
        if (login_refused)
            *login_refused = transfer.login_refused();
        return fail(e);
    }
    const QStringList lines = QString::fromUtf8(listing).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (!save)
        return lines;

    if (!QDir().mkpath(QDir(folder).filePath(kRegistered)))
        return fail(QStringLiteral("メールを保存するフォルダーを作れません: ") + folder);
    // Store everything first; a message leaves the server only once its file is on disk, and the
    // deletions take effect at the end of the session (QUIT), so a broken session loses nothing.
    QStringList to_delete;
    for (const QString& line : lines) {
        const QString number = line.section(QLatin1Char(' '), 0, 0);
        const QString uidl = line.section(QLatin1Char(' '), 1).trimmed();
        if (number.isEmpty() || uidl.isEmpty())
            continue;
        const QString id = id_from_uidl(uidl);
        if (!mail_file_known(folder, id)) {
            QByteArray message;
            curl_easy_setopt(transfer.handle(), CURLOPT_CUSTOMREQUEST, nullptr);
            curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &message);
            transfer.set_text(CURLOPT_URL, url.url + number);
            if (QString e = transfer.perform(); !e.isEmpty())
                return fail(e);
            if (!store_mail_file(folder, id, message))
                return fail(QStringLiteral("受信したメールを保存できません: ") + mail_path(folder, id));
        }
        to_delete << number;
    }
    // The messages' buffers are gone; DELE sends no body, but nothing may point at them.
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &listing);
    for (const QString& number : to_delete) {
        transfer.set_text(CURLOPT_URL, url.url + number);
        transfer.set_text(CURLOPT_CUSTOMREQUEST, QStringLiteral("DELE"));
        curl_easy_setopt(transfer.handle(), CURLOPT_NOBODY, 1L);
        if (QString e = transfer.perform(); !e.isEmpty())
            return fail(e);
    }
    return waiting_mail(folder);
}

std::optional<QStringList> ReadMail(const QString& id, const QString& headers, const QString& folder) {
    init_libraries();
    if (!valid_id(id))
        return std::nullopt;
    QFile file(mail_path(folder, id));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeParserOptions* options = g_mime_parser_options_new();
    // Raw 8-bit headers: UTF-8 first; EUC-JP before Shift_JIS, as Shift_JIS lead bytes are invalid in EUC-JP.
    const char* fallback[] = {"UTF-8", "EUC-JP", "Shift_JIS", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    GMimeMessage* message = g_mime_parser_construct_message(parser, options);
    g_mime_parser_options_free(options);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return std::nullopt;

    QStringList result;
    for (const QString& name : headers.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        result << header_text(message, name);
    BodyParts parts;
    GMimeObject* body = g_mime_message_get_mime_part(message);
    if (body && GMIME_IS_MULTIPART(body))
        g_mime_multipart_foreach(GMIME_MULTIPART(body), find_text, &parts);
    else if (body)
        find_text(nullptr, body, &parts);
    QString text;
    if (parts.plain)
        text = part_text(parts.plain);
    else if (parts.html)
        text = html_text(part_text(parts.html));
    result << text;
    g_object_unref(message);
    return result;
}

bool mail_file_known(const QString& folder, const QString& id) {
    const QDir dir(folder);
    return QFileInfo::exists(mail_path(folder, id)) ||
           QFileInfo::exists(mail_path(dir.filePath(kRegistered), id)) ||
           QFileInfo::exists(mail_path(dir.filePath(kUnreadable), id));
}

bool store_mail_file(const QString& folder, const QString& id, const QByteArray& message) {
    if (!valid_id(id) || !QDir().mkpath(folder))
        return false;
    QSaveFile file(mail_path(folder, id));
    return file.open(QIODevice::WriteOnly) && file.write(message) == message.size() && file.commit();
}

bool move_mail_aside(const QString& id, const QString& folder) {
    if (!valid_id(id))
        return false;
    const QDir dir(folder);
    if (!dir.mkpath(kUnreadable))
        return false;
    const QString target = mail_path(dir.filePath(kUnreadable), id);
    QFile::remove(target);
    return QFile::rename(mail_path(folder, id), target);
}

bool mail_registered(const QString& id, const QString& folder) {
    return valid_id(id) && QFileInfo::exists(mail_path(QDir(folder).filePath(kRegistered), id));
}

bool mark_mail_registered(const QString& id, const QString& folder) {
    if (!valid_id(id))
        return false;
    const QDir dir(folder);
    if (!dir.mkpath(kRegistered))
        return false;
    const QString target = mail_path(dir.filePath(kRegistered), id);
    QFile::remove(target);
    return QFile::rename(mail_path(folder, id), target);
}

QStringList waiting_mail(const QString& folder) {
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.eml")}, QDir::Files, QDir::Time | QDir::Reversed);
    QStringList ids;
    for (const QFileInfo& f : files)
        ids << f.completeBaseName();
    return ids;
}
