#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Session;

// What register_mail did with one message.
struct Registration {
    QString customer_id;
    QString address;            // the sender address it was matched on
    bool new_customer = false;  // a customer was created for an unknown sender
};

// The sender address of a From text: the text between the first "<" and the first ">" after it
// when both are there, otherwise the whole text; surrounding blanks removed.
QString sender_address(const QString& from);

// Registers one message as an inquiry: of the customer whose mail address is the sender's
// (compared without regard to letter case; of the lowest key when several share it), with 社員
// "email"; otherwise of a new customer holding only the address, with 社員 "-" and 状況 "email受付".
// The new customer and its inquiry are stored together or not at all. note_key, when given, receives
// the inquiry's new key before the registration commits; what it throws undoes the registration.
// Throws DatabaseError.
Registration register_mail(Session& session, const QString& subject, const QString& from, const QString& body,
                           const std::function<void(const QString&)>& note_key = {});

// The outcome of fetch_mail.
struct FetchResult {
    int count = 0;                   // messages registered
    QStringList new_customer_notes;  // "新しい顧客を　email: … で登録しました", one per new customer
    QString failure;  // the server could not be used (the messages already stored are still registered)
    // Registered with a text cut to its column's length and marked "（以下省略）"; the whole message
    // stays as its file in the mail folder. One line per mail: sender, subject and file.
    QStringList cut_notes;
    // Refused by the database for another reason: kept as its file for the next fetch, not registered.
    // One line per mail: sender, subject and the reason.
    QStringList refused_notes;
    // Stored messages that could not be read: moved to mail/unreadable/, one line per file.
    QStringList unreadable_notes;
};

// Points of a fetch, for a progress display: a message stored (n so far), a message registered and
// committed (n so far; its file is moved right after).
enum class FetchPoint { Stored, Registered };
using FetchObserver = std::function<void(FetchPoint point, int n)>;

// The mark put after a text cut to its column's length.
inline constexpr char16_t kCutMark[] = u"（以下省略）";

// Fetches every waiting message of the company's account (POP3, or the IMAP folder of the mail
// settings) into the mail folder and registers each message stored there that is not yet
// registered. A message is registered once only, even when the program stopped between storing and
// registering, or between registering and noting it, and when the same mail is fetched again
// (recognised by its headers). Throws DatabaseError.
FetchResult fetch_mail(Session& session, const FetchObserver& observe = {});

// "メールを　N　件受信しました"
QString fetch_count_message(int count);
// The messages to show after a fetch, in order: the failure (alone when nothing was registered), the
// count, and one message for the mails cut, refused or unreadable.
QStringList fetch_messages(const FetchResult& result);
