#pragma once

#include <QString>

class Database;

// Mail registered as inquiries, by a key made from the message's own headers, so that the same mail
// fetched again (an IMAP folder recreated, a second PC, a run stopped midway) is recognised.
inline const QString kReceivedMailTable = QStringLiteral("受信メール記録");

// Creates the table where it is missing; running it again changes nothing.
void ensure_received_mail_table(Database& db);
