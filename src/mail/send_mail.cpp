#include "mail/send_mail.h"

#include <QDir>

#include "app/session.h"
#include "db/dialect.h"
#include "mail/bsmtp.h"

MailAccount mail_account(const Session& session) {
    // A NULL column reads "-": no server.
    auto server = [&session](int position) {
        const QString value = session.company_setting(position).trimmed();
        return value == QLatin1String("-") ? QString() : value;
    };
    return {server(9), session.company_setting(10), session.company_setting(11), server(12),
            session.company_setting(13)};
}

QString mail_folder(const Session& session) {
    return QDir(session.program_folder).filePath(QStringLiteral("mail"));
}

QString fill_placeholders(const QString& body, const QString& name, const QString& contact) {
    QString text = body;
    text.replace(QStringLiteral("{顧客名}"), name);
    return text.replace(QStringLiteral("{担当者}"), contact);
}

namespace {

SendResult send_to_row(Session& session, const QString& where, const QString& subject, const QString& body) {
    const MailAccount account = mail_account(session);
    // Logging in to the POP3 account first lets servers that want it accept the mail; its result
    // does not matter.
    if (!account.pop.trimmed().isEmpty())
        RcvMail(account.pop, account.user, account.password, QStringLiteral("LIST"), mail_folder(session));

    const ResultTable rows = session.db->query_rows(
        QStringLiteral("select 顧客名,担当者,EMAIL,顧客ID from 顧客 where ") + where, 4);
    SendResult result;
    if (rows.row_count() != 1)
        return result;
    result.found = true;
    const QString name = rows(0, 1);
    const QString contact = rows(1, 1);
    const QString address = rows(2, 1);
    const QString id = rows(3, 1);
    const QString text = fill_placeholders(body, name, contact);
    result.failure = SendMail(account.smtp, address, account.from, subject, text, QString(),
                              MailLogin{account.user, account.password});
    if (!result.failure.isEmpty())
        return result;
    bool numeric = false;
    id.toLongLong(&numeric);
    if (!numeric)
        throw DatabaseError(QStringLiteral("顧客IDが数値ではありません: ") + id);
    session.db->execute_sql(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(") + id +
                            QStringLiteral(",'Email',") + sql_text(session.clock.today_text()) +
                            QLatin1Char(',') + sql_text(subject) + QLatin1Char(',') + sql_text(text) +
                            QLatin1Char(')'));
    result.sent = true;
    return result;
}

}  // namespace

SendResult send_mail(Session& session, const QString& customer_name, const QString& subject,
                     const QString& body) {
    return send_to_row(session, QStringLiteral("顧客名=") + sql_text(customer_name), subject, body);
}

SendResult send_mail_to_customer(Session& session, const QString& customer_id, const QString& subject,
                                 const QString& body) {
    bool numeric = false;
    customer_id.toLongLong(&numeric);
    if (!numeric)
        return {};
    return send_to_row(session, QStringLiteral("顧客ID=") + customer_id.trimmed(), subject, body);
}

QStringList send_broadcast(Session& session, const QStringList& names, const QString& subject,
                           const QString& body, const BroadcastProgress& progress) {
    QStringList sent;
    for (int i = 0; i < names.size(); ++i) {
        const SendResult result = send_mail(session, names.at(i), subject, body);
        if (result.sent)
            sent << names.at(i);
        if (progress && !progress(i + 1, names.at(i), result))
            break;
    }
    return sent;
}

QString send_failure_message(const SendResult& result) {
    return QStringLiteral("mail error 001:") + result.failure;
}

QString sent_summary(const QStringList& sent_names) {
    QString text = QStringLiteral("送信したお客様　\r\n");
    for (const QString& name : sent_names)
        text += name + QStringLiteral("\r\n");
    return text;
}
