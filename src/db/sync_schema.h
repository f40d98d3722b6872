#pragma once

#include <QString>
#include <QStringList>

#include "db/dialect.h"

class Database;

// The office database's record of the changes that laptops brought back: one row per change, keyed
// by the change's identifier and written in the same transaction as the change itself, so a sync
// that is cut and run again never applies a change twice. The office key of the row the change
// wrote is kept with it, so that a laptop learns the key of a new row even when the sync was cut
// before the laptop heard of it.
inline const QString kAppliedChangesTable = QStringLiteral("同期済み変更");

// The create statements of the table and its index for a back-end.
QStringList sync_schema_statements(Dialect dialect);

// Creates the table where it is missing; running it again changes nothing.
void ensure_sync_tables(Database& db);
