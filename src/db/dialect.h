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
// A text as sql_text stores it, for a bound value: NUL characters dropped, a half surrogate pair
// replaced.
QString bound_text(const QString& value);

// An insert that names the key of an auto-numbered table (a restore under the original key). SQL
// Server takes it only between "set identity_insert … on" and "off"; the others take it as it is.
// The statements are in the embedded dialect, like every other.
QStringList explicit_key_insert(const QString& table, const QString& insert, Dialect dialect);
// An "insert into T (columns) values(...)" statement, translated, that on SQL Server also returns the
// new row's key (an output clause, since a later batch's SCOPE_IDENTITY() is NULL). On the other
// back-ends it is the plain translated insert and the key is read on the same connection with
// last_insert_key_statement.
QString insert_returning_key_statement(const QString& statement, const QString& key_column, Dialect dialect);
// The select that gives the key of the row this connection inserted last; empty for SQL Server.
QString last_insert_key_statement(Dialect dialect);
