#pragma once

#include <QString>

// A back-end's message about a full disk or a failed read or write, put into Japanese words for the
// user (the back-end's own text follows in brackets); an empty text for a message of any other kind.
QString storage_error_message(const QString& backend_message);

// True when a refusal (as the back-end words it, or as explained above) may have ended the open
// transaction on the back-end's side: a full disk, an I/O error, lost memory, a deadlock. Work that
// failed so must not be retried statement by statement, since it would then run outside the
// transaction and stay half stored.
bool refusal_ends_transaction(const QString& message);
