#pragma once

#include <QString>
#include <QStringList>

#include "db/dialect.h"

class Database;

// Tables of the program's own beside the design's: deleted rows kept for restore, and settings.
inline const QString kDeletedRowsTable = QStringLiteral("削除済みデータ");
inline const QString kProgramSettingsTable = QStringLiteral("プログラム設定");

// The create statements of both tables (and their index) for a back-end.
QStringList deleted_rows_schema_statements(Dialect dialect);

// Creates the tables where they are missing; running it again changes nothing.
void ensure_deleted_rows_table(Database& db);

// The column that tells whether a kept row's key is a text (a template's title) or a number, added
// to 削除済みデータ by a later step: the statement for a back-end.
inline const QString kKeyKindColumn = QStringLiteral("キー種類");
inline const QString kTextKeyKind = QStringLiteral("文字");
inline const QString kNumberKeyKind = QStringLiteral("数値");
QStringList deleted_rows_key_kind_statements(Dialect dialect);
