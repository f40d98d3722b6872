#include "mail/fetch_mail.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

#include "app/session.h"
#include "customers/customer_store.h"
#include "db/dialect.h"
#include "db/program_settings.h"
#include "db/received_mail_schema.h"
#include "db/schema.h"
#include "db/server_lock.h"
#include "mail/bsmtp.h"
#include "mail/imap_fetch.h"
#include "mail/mail_auth.h"
#include "mail/mail_settings.h"
#include "mail/send_mail.h"

QString sender_address(const QString& from) {
    const qsizetype open = from.indexOf(QLatin1Char('<'));
    const qsizetype close = open >= 0 ? from.indexOf(QLatin1Char('>'), open) : -1;
    if (open >= 0 && close > open)
        return from.mid(open + 1, close - open - 1).trimmed();
    return from.trimmed();
}

namespace {

QString checked_key(const QString& key) {
    bool numeric = false;
    key.toLongLong(&numeric);
    if (!numeric)
        throw DatabaseError(QStringLiteral("顧客IDが数値ではありません: ") + key);
    return key;
}

// Customers are matched on the address regardless of letter case on every back-end.
QString find_customer(Database& db, const QString& address) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID from 顧客 where lower(email)=lower(") +
                          sql_text(address) + QStringLiteral(") order by 顧客ID"),
                      1);
    return rows.row_count() > 0 ? rows(0, 1) : QString();
}

QString journal_path(const QString& folder, const QString& id) {
    return QDir(folder).filePath(id + QStringLiteral(".registering"));
}

// After a stop between registering and noting it, the journal holds the key the registration's
// inquiry got (written before it committed, as "=key"); that row with this subject and body is the
// registration. (A journal of an older version holds the largest key before it, hence ">=" there.)
bool registered_before(Database& db, const QString& folder, const QString& id, const QString& subject,
                       const QString& body) {
    QFile journal(journal_path(folder, id));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    bool numeric = false;
    QString key = QString::fromUtf8(journal.readAll()).trimmed();
    const bool exact = key.startsWith(QLatin1Char('='));
    if (exact)
        key.remove(0, 1);
    key.toLongLong(&numeric);
    if (!numeric)
        return false;
    const ResultTable rows = db.query_rows(
        QStringLiteral("select count(*) from 問い合わせ where 問い合わせID") +
            (exact ? QStringLiteral("=") : QStringLiteral(">=")) + key + QStringLiteral(" and 名称=") +
            sql_text(subject) + QStringLiteral(" and 内容=") + sql_text(body),
        1);
    return rows(0, 1).toInt() > 0;
}

// A text cut to at most limit characters (code points, as the back-ends count them), marked.
QString fit_characters(const QString& text, qsizetype limit, bool& cut) {
    const QList<uint> points = text.toUcs4();
    if (points.size() <= limit)
        return text;
    cut = true;
    const QString mark = QString::fromUtf16(kCutMark);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), limit - mark.size()) +
           mark;
}

// A text cut to at most limit bytes of UTF-8, on a character boundary, marked.
QString fit_bytes(const QString& text, qsizetype limit, bool& cut) {
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= limit)
        return text;
    cut = true;
    const QString mark = QString::fromUtf16(kCutMark);
    qsizetype end = limit - mark.toUtf8().size();
    while (end > 0 && (uchar(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return QString::fromUtf8(utf8.left(end)) + mark;
}

// "差出人 …　件名「…」" with the subject shortened for a message box.
QString mail_label(const QString& from, const QString& subject) {
    QString shown = subject.left(40);
    if (shown.size() < subject.size())
        shown += QStringLiteral("…");
    return QStringLiteral("差出人 ") + from + QStringLiteral("　件名「") + shown + QStringLiteral("」");
}

bool write_journal(const QString& folder, const QString& id, const QString& key) {
    QSaveFile journal(journal_path(folder, id));
    return journal.open(QIODevice::WriteOnly) && journal.write(QByteArray("=") + key.toUtf8()) >= 0 &&
           journal.commit();
}

}  // namespace

Registration register_mail(Session& session, const QString& subject, const QString& from, const QString& body,
                           const std::function<void(const QString&)>& note_key) {
    Database& db = *session.db;
    Registration result;
    result.address = sender_address(from);
    const QString today = sql_text(session.clock.today_text());
    // Two PCs taking in mail of one new sender at the same moment would each find no customer and
    // each add one: on a shared server the look-up and the insert are one PC's at a time, until the
    // commit.
    const ServerLock lock(db, QStringLiteral("sales_mail_intake"), 60,
                          QStringLiteral("ほかのPCが問い合わせメールを登録しています。"
                                         "しばらく待ってからもう一度受信してください。"));
    Transaction transaction(db);
    QString inquiry_key;
    result.customer_id = find_customer(db, result.address);
    if (!result.customer_id.isEmpty()) {
        inquiry_key = db.insert_row(
            QStringLiteral("insert into 問い合わせ (顧客ID,社員,受付日,名称,内容) values (") +
                checked_key(result.customer_id) + QStringLiteral(",'email',") + today + QLatin1Char(',') +
                sql_text(subject) + QLatin1Char(',') + sql_text(body) + QLatin1Char(')'),
            QStringLiteral("問い合わせID"));
    } else {
        result.customer_id = insert_customer(db, {{}, {}, {}, {}, {}, {}, {}, {}, {}, result.address}, true);
        result.new_customer = true;
        inquiry_key = db.insert_row(
            QStringLiteral("insert into 問い合わせ (顧客ID,社員,受付日,名称,内容,状況) values (") +
                checked_key(result.customer_id) + QStringLiteral(",'-',") + today + QLatin1Char(',') +
                sql_text(subject) + QLatin1Char(',') + sql_text(body) + QStringLiteral(",'email受付')"),
            QStringLiteral("問い合わせID"));
    }
    if (note_key)
        note_key(inquiry_key);
    transaction.commit();
    return result;
}

namespace {

// The key of a message, from the headers that travel with it wherever it is fetched from: the same
// mail fetched again (a second PC, an IMAP folder made anew) has the same key. Without a Message-ID
// the body is part of it too.
QString message_key(const QString& message_id, const QString& date, const QString& from,
                    const QString& subject, const QString& body) {
    QString text = message_id.trimmed() + u'\n' + date.trimmed() + u'\n' + from.trimmed() + u'\n' + subject;
    if (message_id.trimmed().isEmpty())
        text += u'\n' + body;
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool key_registered(Database& db, const QString& key) {
    return db.query_rows(QStringLiteral("select count(*) from [%1] where [メールキー]=%2")
                             .arg(kReceivedMailTable, sql_text(key)),
                         1)(0, 1)
               .toInt() > 0;
}

// Whether the database holds this mail's registration: by its journal (this folder's own), or by
// its key (whoever registered it).
bool stands_registered(Database& db, const QString& folder, const QString& id, const QString& subject,
                       const QString& body, const QString& key) {
    return registered_before(db, folder, id, subject, body) || key_registered(db, key);
}

QString imap_state_item(const QString& server, const QString& user, const QString& folder) {
    const QByteArray text =
        (server.trimmed().toLower() + u'\n' + user.trimmed().toLower() + u'\n' + folder).toUtf8();
    return QStringLiteral("mail.imap.state.") +
           QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(24));
}

ImapWatermark load_watermark(Database& db, const QString& item) {
    const QStringList parts = program_setting(db, item).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ImapWatermark kept;
    if (parts.size() == 2) {
        kept.uidvalidity = parts.at(0).toLongLong();
        kept.next_uid = std::max<qint64>(1, parts.at(1).toLongLong());
    }
    return kept;
}

}  // namespace

FetchResult fetch_mail(Session& session, const FetchObserver& observe) {
    const MailAccount account = mail_account(session);
    const MailSettings settings = load_mail_settings(*session.db);
    const QString folder = mail_folder(session);
    FetchResult result;
    const bool imap = settings.protocol == FetchProtocol::Imap;
    const QString state_item = imap_state_item(settings.imap_server, account.user, settings.imap_folder);
    ImapStoreResult imap_fetched;
    int stored = 0;
    auto note_stored = [&](int) {
        if (observe)
            observe(FetchPoint::Stored, ++stored);
    };
    // Messages stored by an earlier run that stopped before registering them come first.
    if (imap) {
        const ImapWatermark kept = load_watermark(*session.db, state_item);
        result.failure = with_mail_login(session, [&](const MailLogin& login) {
            imap_fetched =
                imap_store_new(settings.imap_server, login, settings.imap_folder, kept, folder, note_stored);
            return MailAttempt{imap_fetched.failure, imap_fetched.login_refused};
        });
    } else {
        result.failure = with_mail_login(session, [&](const MailLogin& login) {
            bool refused = false;
            QString failure;
            const std::optional<QStringList> fetched =
                receive_pop3(account.pop, login, QStringLiteral("SAVEALLD"), folder, &failure, &refused);
            if (fetched && observe)
                for (int i = 0; i < fetched->size(); ++i)
                    observe(FetchPoint::Stored, i + 1);
            return MailAttempt{fetched ? QString() : failure, refused};
        });
    }
    const QStringList ids = waiting_mail(folder);
    for (const QString& id : ids) {
        const std::optional<QStringList> fields =
            ReadMail(id, QStringLiteral("subject:from:message-id:date:"), folder);
        if (!fields || fields->size() < 5) {
            // Set aside, so it is neither tried at every fetch nor lost: the user is told where it is.
            const bool moved = move_mail_aside(id, folder);
            result.unreadable_notes << (moved ? QStringLiteral("mail/unreadable/")
                                              : QStringLiteral("mail/")) +
                                           id + QStringLiteral(".eml");
            continue;
        }
        const QString& from = fields->at(1);
        // Texts longer than their columns are stored cut and marked; the whole mail stays as its file.
        bool cut = false;
        const QString subject = fit_characters(fields->at(0), kTextColumnLength, cut);
        const QString body = fit_bytes(fields->at(4), kLongTextBytes, cut);
        const QString key = message_key(fields->at(2), fields->at(3), from, fields->at(0), fields->at(4));
        // One mail the database refuses must not keep every later mail out: it stays as its file and
        // is named to the user.
        try {
            if (stands_registered(*session.db, folder, id, subject, body, key)) {
                if (mark_mail_registered(id, folder))
                    QFile::remove(journal_path(folder, id));
                continue;
            }
            const Registration registration =
                register_mail(session, subject, from, body, [&](const QString& inquiry_key) {
                    if (!write_journal(folder, id, inquiry_key))
                        throw DatabaseError(QStringLiteral("受信メールの記録を書けません: ") +
                                            journal_path(folder, id));
                    session.db->execute_sql(
                        QStringLiteral(
                            "insert into [%1] ([メールキー],[問い合わせID],[登録日時]) values(%2,%3,%4)")
                            .arg(kReceivedMailTable, sql_text(key), inquiry_key,
                                 sql_text(QDateTime::currentDateTime().toString(
                                     QStringLiteral("yyyy/MM/dd hh:mm:ss")))));
                });
            ++result.count;
            if (observe)
                observe(FetchPoint::Registered, result.count);
            // The journal stays when the file cannot be moved, so the next run still knows.
            if (mark_mail_registered(id, folder))
                QFile::remove(journal_path(folder, id));
            if (registration.new_customer)
                result.new_customer_notes << QStringLiteral("新しい顧客を　email: ") + registration.address +
                                                 QStringLiteral(" で登録しました");
            if (cut)
                result.cut_notes << mail_label(from, fields->at(0)) + QStringLiteral("（mail/registered/") +
                                        id + QStringLiteral(".eml）");
        } catch (const DatabaseError& e) {
            // The commit's answer may be lost while the database did commit, or the check above may
            // have failed: only the database can tell, so the journal goes only after it has told.
            // Another PC may also have registered the same mail meanwhile (its key came first).
            std::optional<bool> stands;
            bool ours = false;
            try {
                ours = registered_before(*session.db, folder, id, subject, body);
                stands = ours || key_registered(*session.db, key);
            } catch (const DatabaseError&) {
            }
            if (stands && *stands) {
                if (ours)
                    ++result.count;
                if (mark_mail_registered(id, folder))
                    QFile::remove(journal_path(folder, id));
                continue;
            }
            if (stands)
                QFile::remove(journal_path(folder, id));
            result.refused_notes << mail_label(from, fields->at(0)) + QStringLiteral(": ") + e.message() +
                                        (stands ? QString()
                                                : QStringLiteral(
                                                      "（登録されたかをデータベースで確かめられなかったため、"
                                                      "次の受信で確かめます）"));
        }
    }
    if (imap && imap_fetched.uidvalidity != 0) {
        // What the database now holds is marked, moved or deleted on the server; what it refused
        // stays there and in mail/. The watermark moves on only after that.
        QList<qint64> registered;
        for (auto it = imap_fetched.messages.cbegin(); it != imap_fetched.messages.cend(); ++it)
            if (mail_registered(it.value(), folder))
                registered << it.key();
        const QString after = with_mail_login(session, [&](const MailLogin& login) {
            bool refused = false;
            const QString failure =
                imap_after_fetch(settings.imap_server, login, settings.imap_folder, imap_fetched.uidvalidity,
                                 registered, settings.after, settings.move_to, &refused);
            return MailAttempt{failure, refused};
        });
        if (after.isEmpty()) {
            set_program_setting(
                *session.db, state_item,
                QStringLiteral("%1 %2").arg(imap_fetched.uidvalidity).arg(imap_fetched.next_uid));
        } else if (result.failure.isEmpty()) {
            result.failure = after;
        }
    }
    return result;
}

QString fetch_count_message(int count) {
    return QStringLiteral("メールを　") + QString::number(count) + QStringLiteral("　件受信しました");
}

QStringList fetch_messages(const FetchResult& result) {
    QStringList messages;
    if (!result.failure.isEmpty())
        messages << QStringLiteral("メールサーバーから受信できませんでした: ") + result.failure;
    // After a failure a count of 0 says nothing the failure did not.
    if (result.failure.isEmpty() || result.count > 0)
        messages << fetch_count_message(result.count);
    QString problems;
    if (!result.cut_notes.isEmpty())
        problems += QStringLiteral(
                        "次のメールは長すぎるため、切り詰めて「（以下省略）」を付けて登録しました。"
                        "元のメールは mail フォルダーに残してあります。\n") +
                    result.cut_notes.join(QLatin1Char('\n'));
    if (!result.refused_notes.isEmpty()) {
        if (!problems.isEmpty())
            problems += QStringLiteral("\n\n");
        problems += QStringLiteral(
                        "次のメールは登録できませんでした。メールは mail フォルダーに残し、"
                        "次の受信で改めて登録します。\n") +
                    result.refused_notes.join(QLatin1Char('\n'));
    }
    if (!result.unreadable_notes.isEmpty()) {
        if (!problems.isEmpty())
            problems += QStringLiteral("\n\n");
        problems +=
            QStringLiteral(
                "次のメールは読み取れないため登録できませんでした。mail フォルダーの unreadable に移して"
                "あります（メールソフトで開けるか確かめてください）。\n") +
            result.unreadable_notes.join(QLatin1Char('\n'));
    }
    if (!problems.isEmpty())
        messages << problems;
    return messages;
}
