#include "mail/imap_fetch.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

#include "mail/curl_transfer.h"

namespace {

// The folder's URL: the server's address with the mailbox name, percent-encoded, as its path.
QString folder_url(const QString& server_url, const QString& folder) {
    return server_url + QString::fromLatin1(QUrl::toPercentEncoding(imap_mailbox_name(folder), "/&,"));
}

// A mailbox name as an IMAP quoted string.
QString quoted(const QString& name) {
    QString out = name;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// Sequence sets of at most a few hundred UIDs each, so a command line stays short.
QStringList uid_sets(QList<qint64> uids) {
    std::sort(uids.begin(), uids.end());
    QStringList sets;
    QStringList current;
    for (qint64 uid : uids) {
        current << QString::number(uid);
        if (current.size() == 200) {
            sets << current.join(QLatin1Char(','));
            current.clear();
        }
    }
    if (!current.isEmpty())
        sets << current.join(QLatin1Char(','));
    return sets;
}

qint64 reply_number(const QStringList& replies, const QString& code) {
    const QRegularExpression pattern(QStringLiteral("\\[%1 (\\d+)\\]").arg(code),
                                     QRegularExpression::CaseInsensitiveOption);
    qint64 value = 0;
    for (const QString& line : replies) {
        const QRegularExpressionMatch m = pattern.match(line);
        if (m.hasMatch())
            value = m.captured(1).toLongLong();
    }
    return value;
}

QStringList capabilities(const QStringList& replies, const QByteArray& body) {
    QStringList words;
    QStringList lines = replies;
    lines << QString::fromUtf8(body).split(QStringLiteral("\r\n"));
    static const QRegularExpression listed(QStringLiteral("(?:^\\* CAPABILITY |\\[CAPABILITY )([^\\]]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = listed.match(line);
        if (m.hasMatch())
            words = m.captured(1).toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return words;
}

}  // namespace

QString imap_mailbox_name(const QString& folder) {
    QString out;
    QString pending;  // characters outside printable ASCII, waiting for their base64 run
    auto flush = [&] {
        if (pending.isEmpty())
            return;
        QByteArray utf16;
        for (const QChar c : pending) {
            utf16 += char(c.unicode() >> 8);
            utf16 += char(c.unicode() & 0xff);
        }
        QByteArray b64 = utf16.toBase64(QByteArray::OmitTrailingEquals);
        b64.replace('/', ',');
        out += QLatin1Char('&') + QString::fromLatin1(b64) + QLatin1Char('-');
        pending.clear();
    };
    for (const QChar c : folder) {
        const ushort u = c.unicode();
        if (u >= 0x20 && u <= 0x7e) {
            flush();
            out += u == '&' ? QStringLiteral("&-") : QString(c);
        } else {
            pending += c;
        }
    }
    flush();
    return out;
}

QString imap_mail_id(qint64 uidvalidity, qint64 uid) {
    return QStringLiteral("imap-%1-%2").arg(uidvalidity).arg(uid);
}

ImapStoreResult imap_store_new(const QString& server, const MailLogin& login, const QString& folder,
                               const ImapWatermark& kept, const QString& mail_folder,
                               const std::function<void(int)>& stored, int timeout_seconds) {
    ImapStoreResult result;
    result.next_uid = kept.next_uid;
    const MailServerUrl url = mail_server_url(server, QStringLiteral("imap"));
    if (url.url.isEmpty()) {
        result.failure = url.failure;
        return result;
    }
    Transfer transfer(timeout_seconds, QStringLiteral("IMAP"));
    if (!transfer.handle()) {
        result.failure = QStringLiteral("通信の準備ができませんでした");
        return result;
    }
    transfer.login(login.user, login.password, login.bearer);
    QByteArray listing;
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, append_download);
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &listing);
    const QString box = folder_url(url.url, folder);

    // The SELECT that comes first tells the folder's UIDVALIDITY; the search lists the UIDs.
    auto search = [&](qint64 from) -> std::optional<QList<qint64>> {
        listing.clear();
        transfer.set_text(CURLOPT_URL, box);
        transfer.set_text(CURLOPT_CUSTOMREQUEST, QStringLiteral("UID SEARCH UID %1:*").arg(from));
        if (QString e = transfer.perform(); !e.isEmpty()) {
            result.failure = e;
            result.login_refused = transfer.login_refused();
            return std::nullopt;
        }
        if (result.uidvalidity == 0)
            result.uidvalidity = reply_number(transfer.replies(), QStringLiteral("UIDVALIDITY"));
        QList<qint64> uids;
        for (const QString& line : QString::fromUtf8(listing).split(QStringLiteral("\r\n"))) {
            if (!line.startsWith(QLatin1String("* SEARCH"), Qt::CaseInsensitive))
                continue;
            for (const QString& word : line.mid(8).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const qint64 uid = word.toLongLong();
                // "n:*" names the last message even when its UID is below n.
                if (uid >= from)
                    uids << uid;
            }
        }
        std::sort(uids.begin(), uids.end());
        return uids;
    };
    std::optional<QList<qint64>> uids = search(std::max<qint64>(kept.next_uid, 1));
    if (!uids)
        return result;
    if (result.uidvalidity == 0) {
        result.failure =
            QStringLiteral("IMAP サーバーがフォルダー %1 の UIDVALIDITY を返しませんでした").arg(folder);
        return result;
    }
    if (result.uidvalidity != kept.uidvalidity) {
        // Another folder now stands under this name: every UID kept before means nothing.
        result.next_uid = 1;
        if (kept.uidvalidity != 0 && kept.next_uid > 1) {
            uids = search(1);
            if (!uids)
                return result;
        }
    }
    curl_easy_setopt(transfer.handle(), CURLOPT_CUSTOMREQUEST, nullptr);
    int count = 0;
    for (const qint64 uid : *uids) {
        const QString id = imap_mail_id(result.uidvalidity, uid);
        if (!mail_file_known(mail_folder, id)) {
            QByteArray message;
            curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &message);
            // The UIDVALIDITY in the address makes the server's folder prove it is still the same one.
            transfer.set_text(
                CURLOPT_URL,
                box + QStringLiteral(";UIDVALIDITY=%1/;UID=%2").arg(result.uidvalidity).arg(uid));
            const QString e = transfer.perform();
            curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &listing);
            if (!e.isEmpty()) {
                result.failure = e;
                result.login_refused = transfer.login_refused();
                return result;
            }
            if (message.isEmpty())  // expunged by another client meanwhile
                continue;
            if (!store_mail_file(mail_folder, id, message)) {
                result.failure = QStringLiteral("受信したメールを保存できません: ") + mail_folder;
                return result;
            }
            if (stored)
                stored(++count);
        }
        result.messages.insert(uid, id);
        result.next_uid = uid + 1;
    }
    if (!uids->isEmpty())
        result.next_uid = std::max(result.next_uid, uids->last() + 1);
    return result;
}

QString imap_after_fetch(const QString& server, const MailLogin& login, const QString& folder,
                         qint64 uidvalidity, const QList<qint64>& uids, AfterFetch after,
                         const QString& move_to, bool* login_refused, int timeout_seconds) {
    if (login_refused)
        *login_refused = false;
    if (uids.isEmpty())
        return QString();
    const MailServerUrl url = mail_server_url(server, QStringLiteral("imap"));
    if (url.url.isEmpty())
        return url.failure;
    Transfer transfer(timeout_seconds, QStringLiteral("IMAP"));
    if (!transfer.handle())
        return QStringLiteral("通信の準備ができませんでした");
    transfer.login(login.user, login.password, login.bearer);
    QByteArray answer;
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEFUNCTION, append_download);
    curl_easy_setopt(transfer.handle(), CURLOPT_WRITEDATA, &answer);
    // The folder is selected with its UIDVALIDITY: the UIDs must mean the messages that were fetched.
    transfer.set_text(CURLOPT_URL,
                      folder_url(url.url, folder) + QStringLiteral(";UIDVALIDITY=%1").arg(uidvalidity));
    auto command = [&](const QString& text) {
        transfer.set_text(CURLOPT_CUSTOMREQUEST, text);
        const QString e = transfer.perform();
        if (!e.isEmpty() && login_refused)
            *login_refused = transfer.login_refused();
        return e;
    };
    if (QString e = command(QStringLiteral("CAPABILITY")); !e.isEmpty())
        return e;
    if (reply_number(transfer.replies(), QStringLiteral("UIDVALIDITY")) != uidvalidity &&
        reply_number(transfer.replies(), QStringLiteral("UIDVALIDITY")) != 0)
        return QStringLiteral(
                   "IMAP のフォルダー %1 が作り直されたため、受信したメールの既読・移動をしませんでした")
            .arg(folder);
    const QStringList caps = capabilities(transfer.replies(), answer);
    const bool uidplus = caps.contains(QStringLiteral("UIDPLUS"));
    const QString target = quoted(imap_mailbox_name(move_to.trimmed()));
    for (const QString& set : uid_sets(uids)) {
        QStringList steps;
        switch (after) {
            case AfterFetch::MarkSeen:
                steps << QStringLiteral("UID STORE %1 +FLAGS.SILENT (\\Seen)").arg(set);
                break;
            case AfterFetch::Move:
                if (caps.contains(QStringLiteral("MOVE"))) {
                    steps << QStringLiteral("UID MOVE %1 %2").arg(set, target);
                    break;
                }
                steps << QStringLiteral("UID COPY %1 %2").arg(set, target);
                [[fallthrough]];
            case AfterFetch::Delete:
                steps << QStringLiteral("UID STORE %1 +FLAGS.SILENT (\\Deleted)").arg(set);
                // Without UIDPLUS the flag stays: a plain EXPUNGE would also remove what others marked.
                if (uidplus)
                    steps << QStringLiteral("UID EXPUNGE %1").arg(set);
                break;
        }
        for (const QString& step : steps)
            if (QString e = command(step); !e.isEmpty())
                return e;
    }
    return QString();
}
