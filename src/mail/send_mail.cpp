#include "mail/send_mail.h"

#include <QDir>

#include "app/log_file.h"
#include "app/session.h"
#include "db/dialect.h"
#include "db/schema.h"
#include "mail/bsmtp.h"
#include "mail/mail_auth.h"
#include "mail/mail_settings.h"

MailAccount mail_account(const Session& session) {
    // A NULL column reads "-": no server.
    auto server = [&session](int position) {
        const QString value = session.company_setting(position).trimmed();
        return value == QLatin1String("-") ? QString() : value;
    };
    keep_out_of_log(session.company_setting(11));
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

QString mail_length_problem(const QString& subject, const QString& body) {
    if (subject.toUcs4().size() > kTextColumnLength)
        return QStringLiteral("件名は %1 文字以内で入力してください。").arg(kTextColumnLength);
    if (body.toUtf8().size() > kLongTextBytes)
        return QStringLiteral("本文が長すぎます（%1 バイトまで記録できます）。").arg(kLongTextBytes);
    return QString();
}

namespace {

SendResult send_to_row(Session& session, const QString& where, const QString& subject, const QString& body) {
    const MailAccount account = mail_account(session);
    const MailSettings settings = load_mail_settings(*session.db);
    // Logging in to the POP3 account first lets servers that want it accept the mail; its result
    // does not matter. Servers reached with a sign-in never want it.
    if (!account.pop.trimmed().isEmpty() && !settings.uses_oauth())
        RcvMail(account.pop, account.user, account.password, QStringLiteral("LIST"), mail_folder(session));

    const ResultTable rows = session.db->query_rows(
        QStringLiteral("select 顧客名,担当者,EMAIL,顧客ID from 顧客 where ") + where, 4);
    SendResult result;
    if (rows.row_count() != 1) {
        result.failure = rows.row_count() == 0 ? QStringLiteral("顧客が見つかりません")
                                               : QStringLiteral("同じ名前の顧客が複数あります");
        return result;
    }
    result.found = true;
    const QString name = rows(0, 1);
    const QString contact = rows(1, 1);
    const QString address = rows(2, 1);
    const QString id = rows(3, 1);
    const QString text = fill_placeholders(body, name, contact);
    // A mail that could not be recorded is not sent: the visit row must match what went out.
    result.failure = mail_length_problem(subject, text);
    if (!result.failure.isEmpty())
        return result;
    // A token the server refuses is renewed once and the mail tried again: the refusal comes at the
    // login, before anything of the mail was sent.
    bool sign_in_needed = false;
    bool tried = false;
    result.failure = with_mail_login(
        session,
        [&](const MailLogin& login) {
            tried = true;
            bool refused = false;
            const QString failure = SendMail(account.smtp, address, account.from, subject, text, QString(),
                                             login, kMailTimeoutSeconds, &result.server_unusable, &refused);
            return MailAttempt{failure, refused};
        },
        &sign_in_needed);
    if (sign_in_needed || (!tried && !result.failure.isEmpty()))
        result.server_unusable = true;  // no login to be had: every further mail would fail alike
    if (!result.failure.isEmpty())
        return result;
    result.sent = true;
    try {
        bool numeric = false;
        id.toLongLong(&numeric);
        if (!numeric)
            throw DatabaseError(QStringLiteral("顧客IDが数値ではありません: ") + id);
        session.db->execute_sql(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(") +
                                id + QStringLiteral(",'Email',") + sql_text(session.clock.today_text()) +
                                QLatin1Char(',') + sql_text(subject) + QLatin1Char(',') + sql_text(text) +
                                QLatin1Char(')'));
    } catch (const DatabaseError& e) {
        result.record_failure = e.message();
    }
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

BroadcastResult send_broadcast(Session& session, const QStringList& names, const QString& subject,
                               const QString& body, const BroadcastProgress& progress) {
    BroadcastResult outcome;
    auto reason = [](const QString& name, const QString& why) {
        return name + QStringLiteral("（") + why + QStringLiteral("）");
    };
    qsizetype i = 0;
    for (; i < names.size(); ++i) {
        const QString& name = names.at(i);
        if (progress && !progress(int(i), name)) {
            outcome.stopped = QStringLiteral("送信を中止しました");
            break;
        }
        SendResult result;
        try {
            result = send_mail(session, name, subject, body);
        } catch (const DatabaseError& e) {
            result.failure = e.message();
        }
        if (result.sent) {
            outcome.sent << name;
            if (!result.record_failure.isEmpty())
                outcome.not_recorded << reason(name, result.record_failure);
            continue;
        }
        outcome.not_sent << reason(name, result.failure);
        if (result.server_unusable) {
            outcome.stopped = QStringLiteral("メールサーバーを使えないため、送信を中止しました（") +
                              result.failure + QStringLiteral("）");
            ++i;
            break;
        }
    }
    // The names not reached share one line, so a long list stopped early stays readable.
    if (i < names.size())
        outcome.not_sent << QStringLiteral("中止したため未送信: ") + names.mid(i).join(QStringLiteral("、"));
    return outcome;
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

QString broadcast_summary(const BroadcastResult& result) {
    QString text;
    if (!result.stopped.isEmpty())
        text += result.stopped + QStringLiteral("\r\n\r\n");
    text += sent_summary(result.sent);
    auto section = [&text](const QString& title, const QStringList& lines) {
        if (lines.isEmpty())
            return;
        text += QStringLiteral("\r\n") + title + QStringLiteral("\r\n");
        for (const QString& line : lines)
            text += line + QStringLiteral("\r\n");
    };
    section(QStringLiteral("送信しましたが訪問の記録ができなかったお客様　"), result.not_recorded);
    section(QStringLiteral("送信できなかったお客様　"), result.not_sent);
    return text;
}

QString broadcast_question(int count) {
    return QStringLiteral("%1 件のメールを送信します。よろしいですか？").arg(count);
}
