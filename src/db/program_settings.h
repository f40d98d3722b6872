#pragma once

#include <QMap>
#include <QString>

class Database;

// Values kept in the program's own settings table (プログラム設定: 項目, 値) beside the design's
// tables, so the design's rows stay as older copies of the program expect them. An item written
// twice at the same moment by two PCs may stand twice: the newest row is the one read.

// The item's value, or fallback when it has none.
QString program_setting(Database& db, const QString& item, const QString& fallback = QString());
// Every item whose name starts with prefix, with its value.
QMap<QString, QString> program_settings(Database& db, const QString& prefix);
// Replaces the item's value (an empty value is kept as such). Joins the caller's transaction.
void set_program_setting(Database& db, const QString& item, const QString& value);
