#include "mail/fetch_mail.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/session.h"
#include "customers/customer_store.h"
#include "db/dialect.h"
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

QString last_inquiry_key(Database& db) {
    const QString key = db.query_rows(QStringLiteral("select max(問い合わせID) from 問い合わせ"), 1)(0, 1);
    bool numeric = false;
    key.toLongLong(&numeric);
    return numeric ? key : QStringLiteral("0");
}

// After a stop between registering and noting it, the journal holds the largest inquiry key from
// before the registration; an inquiry after it with this subject and body is that registration.
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
        QStringLiteral("select count(*) from 問い合わせ where 問い合わせID>") + key +
            QStringLiteral(" and 名称=") + sql_text(subject) + QStringLiteral(" and 内容=") + sql_text(body),
        1);
    return rows(0, 1).toInt() > 0;
}

bool write_journal(const QString& folder, const QString& id, const QString& key) {
    QSaveFile journal(journal_path(folder, id));
    return journal.open(QIODevice::WriteOnly) && journal.write(key.toUtf8()) >= 0 && journal.commit();
}

}  // namespace

Registration register_mail(Session& session, const QString& subject, const QString& from,
                           const QString& body) {
    Database& db = *session.db;
    Registration result;
    result.address = sender_address(from);
    const QString today = sql_text(session.clock.today_text());
    Transaction transaction(db);
    result.customer_id = find_customer(db, result.address);
    if (!result.customer_id.isEmpty()) {
        db.execute_sql(QStringLiteral("insert into 問い合わせ (顧客ID,社員,受付日,名称,内容) values (") +
                       checked_key(result.customer_id) + QStringLiteral(",'email',") + today +
                       QLatin1Char(',') + sql_text(subject) + QLatin1Char(',') + sql_text(body) +
                       QLatin1Char(')'));
    } else {
        const SearchColumns search =
            customer_search_columns({{}, {}, {}, {}, {}, {}, {}, {}, {}, result.address});
        db.execute_sql(QStringLiteral("insert into 顧客 (email,検索かな,検索文字列) values(") +
                       sql_text(result.address) + QLatin1Char(',') + sql_text(search.reading) +
                       QLatin1Char(',') + sql_text(search.text) + QLatin1Char(')'));
        result.customer_id = find_customer(db, result.address);
        result.new_customer = true;
        db.execute_sql(QStringLiteral("insert into 問い合わせ (顧客ID,社員,受付日,名称,内容,状況) values (") +
                       checked_key(result.customer_id) + QStringLiteral(",'-',") + today + QLatin1Char(',') +
                       sql_text(subject) + QLatin1Char(',') + sql_text(body) +
                       QStringLiteral(",'email受付')"));
    }
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
        const QString& subject = fields->at(0);
        const QString& from = fields->at(1);
        const QString& body = fields->at(2);
        if (registered_before(*session.db, folder, id, subject, body)) {
            if (mark_mail_registered(id, folder))
                QFile::remove(journal_path(folder, id));
            continue;
        }
        if (!write_journal(folder, id, last_inquiry_key(*session.db)))
            throw DatabaseError(QStringLiteral("受信メールの記録を書けません: ") + journal_path(folder, id));
        const Registration registration = register_mail(session, subject, from, body);
        // The journal stays when the file cannot be moved, so the next run still knows.
        if (mark_mail_registered(id, folder))
            QFile::remove(journal_path(folder, id));
        ++result.count;
        if (registration.new_customer)
            result.new_customer_notes << QStringLiteral("新しい顧客を　email: ") + registration.address +
                                             QStringLiteral(" で登録しました");
    }
    return result;
}

QString fetch_count_message(int count) {
    return QStringLiteral("メールを　") + QString::number(count) + QStringLiteral("　件受信しました");
}
