#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Session;

// The mail account of the company row (自社情報).
struct MailAccount {
    QString pop;
    QString user;
    QString password;
    QString smtp;
    QString from;
};
MailAccount mail_account(const Session& session);
// The folder "mail" under the program folder, where fetched messages are stored.
QString mail_folder(const Session& session);

// The outcome of one send_mail.
struct SendResult {
    bool found = false;  // the customer exists (exactly one row); otherwise nothing happened
    bool sent = false;   // the server accepted the mail (its visit row is stored unless record_failure)
    bool server_unusable = false;  // the failure lies with the server or account: later mails fail alike
    QString failure;               // why the mail was not sent (also when the customer was not found)
    QString record_failure;        // the mail was sent, but its visit row could not be stored: why
};

// The message to show when a subject or body is too long for its visit row (the subject's column holds
// 255 characters, the body's 65,535 bytes of UTF-8), else empty.
QString mail_length_problem(const QString& subject, const QString& body);

// The body with "{顧客名}" and then "{担当者}" replaced by the customer's name and contact person.
QString fill_placeholders(const QString& body, const QString& name, const QString& contact);

// Sends one mail to the customer named (exactly one customer of that name, else nothing happens) and
// records it as a visit with 社員 "Email". Throws DatabaseError when a statement is refused.
SendResult send_mail(Session& session, const QString& customer_name, const QString& subject,
                     const QString& body);
// The same for the customer with this key (names may repeat).
SendResult send_mail_to_customer(Session& session, const QString& customer_id, const QString& subject,
                                 const QString& body);

// The outcome of a mail to every name of a list.
struct BroadcastResult {
    QStringList sent;          // names mailed, in order
    QStringList not_recorded;  // of those, "name（why）" where the visit row could not be stored
    QStringList not_sent;      // "name（why）", in order; then the names a stop left unreached, on one line
    QString stopped;           // why the run stopped before its end; empty when it ran to the end
};

// A mail to every name of a list, in order. Before each mail, progress(done, next name) is called and
// the run stops when it returns false. A failure of the server or account stops the run at once.
// Never throws: a statement refused for one name puts that name under not_sent.
using BroadcastProgress = std::function<bool(int done, const QString& next_name)>;
BroadcastResult send_broadcast(Session& session, const QStringList& names, const QString& subject,
                               const QString& body, const BroadcastProgress& progress);

// "mail error 001:" + the library's text, the message shown for a failed send.
QString send_failure_message(const SendResult& result);
// "送信したお客様　" CR LF and the names, each followed by CR LF.
QString sent_summary(const QStringList& sent_names);
// The one summary of a broadcast: why it stopped (when it did), the names mailed, those mailed but not
// recorded, and those not mailed with the reasons.
QString broadcast_summary(const BroadcastResult& result);
// "N 件のメールを送信します。よろしいですか？"
QString broadcast_question(int count);
