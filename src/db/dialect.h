#pragma once

#include <QString>
#include <QStringList>

// The back-ends a statement can be sent to. Statements are written once in the embedded dialect
// (#yyyy/mm/dd# date literals, (#yyyy/mm/dd#-column) day differences, [name] identifiers) and
// translated just before they are sent.
enum class Dialect { Sqlite, MySql, SqlServer };

// Rewrites the embedded forms for the given back-end. Text inside string literals is never touched.
QString translate_statement(const QString& statement, Dialect dialect);

// The one way to make a text literal: single quotes around the value with every quote doubled, so the
// stored text equals the typed text and cannot end the literal. NUL characters, which no back-end
// stores, are dropped. (MySQL sessions run with NO_BACKSLASH_ESCAPES, so a backslash is plain text.)
QString sql_text(const QString& value);

// An insert that names the key of an auto-numbered table (a restore under the original key). SQL
// Server takes it only between "set identity_insert … on" and "off"; the others take it as it is.
// The statements are in the embedded dialect, like every other.
QStringList explicit_key_insert(const QString& table, const QString& insert, Dialect dialect);
