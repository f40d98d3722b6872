#include "mail/fetch_mail.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/session.h"
#include "customers/customer_store.h"
#include "db/dialect.h"
#include "db/schema.h"
#include "mail/bsmtp.h"
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
// inquiry got (written before it committed); that row with this subject and body is the
// registration. (A journal of an older version holds the largest key before it, hence ">=".)
bool registered_before(Database& db, const QString& folder, const QString& id, const QString& subject,
                       const QString& body) {
    QFile journal(journal_path(folder, id));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    bool numeric = false;
    const QString key = QString::fromUtf8(journal.readAll()).trimmed();
    key.toLongLong(&numeric);
    if (!numeric)
        return false;
    const ResultTable rows = db.query_rows(
        QStringLiteral("select count(*) from 問い合わせ where 問い合わせID>=") + key +
            QStringLiteral(" and 名称=") + sql_text(subject) + QStringLiteral(" and 内容=") + sql_text(body),
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
    return journal.open(QIODevice::WriteOnly) && journal.write(key.toUtf8()) >= 0 && journal.commit();
}

}  // namespace

Registration register_mail(Session& session, const QString& subject, const QString& from, const QString& body,
                           const std::function<void(const QString&)>& note_key) {
    Database& db = *session.db;
    Registration result;
    result.address = sender_address(from);
    const QString today = sql_text(session.clock.today_text());
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

FetchResult fetch_mail(Session& session) {
    const MailAccount account = mail_account(session);
    const QString folder = mail_folder(session);
    FetchResult result;
    // Messages stored by an earlier run that stopped before registering them come first.
    const std::optional<QStringList> fetched = RcvMail(account.pop, account.user, account.password,
                                                       QStringLiteral("SAVEALLD"), folder, &result.failure);
    const QStringList ids = fetched ? *fetched : waiting_mail(folder);
    for (const QString& id : ids) {
        const std::optional<QStringList> fields = ReadMail(id, QStringLiteral("subject:from:"), folder);
        if (!fields || fields->size() < 3)
            continue;
        const QString& from = fields->at(1);
        // Texts longer than their columns are stored cut and marked; the whole mail stays as its file.
        bool cut = false;
        const QString subject = fit_characters(fields->at(0), kTextColumnLength, cut);
        const QString body = fit_bytes(fields->at(2), kLongTextBytes, cut);
        // One mail the database refuses must not keep every later mail out: it stays as its file and
        // is named to the user.
        try {
            if (registered_before(*session.db, folder, id, subject, body)) {
                if (mark_mail_registered(id, folder))
                    QFile::remove(journal_path(folder, id));
                continue;
            }
            const Registration registration =
                register_mail(session, subject, from, body, [&](const QString& key) {
                    if (!write_journal(folder, id, key))
                        throw DatabaseError(QStringLiteral("受信メールの記録を書けません: ") +
                                            journal_path(folder, id));
                });
            // The journal stays when the file cannot be moved, so the next run still knows.
            if (mark_mail_registered(id, folder))
                QFile::remove(journal_path(folder, id));
            ++result.count;
            if (registration.new_customer)
                result.new_customer_notes << QStringLiteral("新しい顧客を　email: ") + registration.address +
                                                 QStringLiteral(" で登録しました");
            if (cut)
                result.cut_notes << mail_label(from, fields->at(0)) + QStringLiteral("（mail/registered/") +
                                        id + QStringLiteral(".eml）");
        } catch (const DatabaseError& e) {
            // Nothing of it was stored (one transaction): the journal would only mislead the next run.
            QFile::remove(journal_path(folder, id));
            result.refused_notes << mail_label(from, fields->at(0)) + QStringLiteral(": ") + e.message();
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
    if (!problems.isEmpty())
        messages << problems;
    return messages;
}
