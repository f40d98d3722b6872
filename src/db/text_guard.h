#pragma once

#include <QString>

// Throws DatabaseError when a statement would store a text that no back-end gives back as it was
// stored: U+FFFE and U+FFFF (SQLite reads them back as U+FFFD). Refused before anything is written,
// on every back-end alike.
void refuse_unreadable_text(const QString& statement);
