#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <functional>

#include "mail/bsmtp.h"
#include "mail/mail_settings.h"

// Fetching from an IMAP folder by UID. Per account and folder the program keeps the folder's
// UIDVALIDITY and the next UID to look at (the watermark); a run stores the messages from the
// watermark up as files in the mail folder, the intake registers them as it does POP3 mail, and only
// then are they marked, moved or deleted on the server and the watermark saved. A stop anywhere
// re-fetches rather than skips; a changed UIDVALIDITY starts from the first UID again, the intake
// recognising what it registered before.

struct ImapWatermark {
    qint64 uidvalidity = 0;  // 0: nothing kept
    qint64 next_uid = 1;
};

// The folder name as IMAP spells it (modified UTF-7, RFC 3501 5.1.3).
QString imap_mailbox_name(const QString& folder);
// The file identifier of a message: imap-<uidvalidity>-<uid>.
QString imap_mail_id(qint64 uidvalidity, qint64 uid);

struct ImapStoreResult {
    QString failure;  // the server could not be used to the end (what was stored stays stored)
    bool login_refused = false;
    qint64 uidvalidity = 0;          // 0 when the folder could not be opened
    QMap<qint64, QString> messages;  // UID -> file id, every message at or past the watermark now on disk
    qint64 next_uid = 1;             // the watermark once these are registered
};

// Stores the folder's messages from the kept watermark up (all of them after a change of
// UIDVALIDITY) that are not stored yet. stored(n) is called after each new file.
ImapStoreResult imap_store_new(const QString& server, const MailLogin& login, const QString& folder,
                               const ImapWatermark& kept, const QString& mail_folder,
                               const std::function<void(int)>& stored = {},
                               int timeout_seconds = kMailTimeoutSeconds);

// Marks, moves or deletes the given UIDs as the settings say. Returns the failure, else empty.
QString imap_after_fetch(const QString& server, const MailLogin& login, const QString& folder,
                         qint64 uidvalidity, const QList<qint64>& uids, AfterFetch after,
                         const QString& move_to, bool* login_refused,
                         int timeout_seconds = kMailTimeoutSeconds);
