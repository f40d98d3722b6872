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
    bool sent = false;   // the server accepted the mail and the visit row is stored
    QString failure;     // the library's text when the customer was found but the mail not sent
};

// The body with "{顧客名}" and then "{担当者}" replaced by the customer's name and contact person.
QString fill_placeholders(const QString& body, const QString& name, const QString& contact);

// Sends one mail to the customer named (exactly one customer of that name, else nothing happens) and
// records it as a visit with 社員 "Email". Throws DatabaseError when a statement is refused.
SendResult send_mail(Session& session, const QString& customer_name, const QString& subject,
                     const QString& body);
// The same for the customer with this key (names may repeat).
SendResult send_mail_to_customer(Session& session, const QString& customer_id, const QString& subject,
                                 const QString& body);

// A mail to every name of a list, in order. After each name, progress(index + 1, name, result) is
// called and the broadcast stops when it returns false. Returns the names mailed successfully.
using BroadcastProgress = std::function<bool(int done, const QString& name, const SendResult& result)>;
QStringList send_broadcast(Session& session, const QStringList& names, const QString& subject,
                           const QString& body, const BroadcastProgress& progress);

// "mail error 001:" + the library's text, the message shown for a failed send.
QString send_failure_message(const SendResult& result);
// "送信したお客様　" CR LF and the names, each followed by CR LF.
QString sent_summary(const QStringList& sent_names);
