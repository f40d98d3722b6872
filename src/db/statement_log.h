#pragma once

#include <QLoggingCategory>
#include <QString>

// Database errors in the log file for support: the statement with its values elided (texts typed by
// people, passwords of the company row, mail addresses), and the back-end's message.
Q_DECLARE_LOGGING_CATEGORY(lcDatabase)

// The statement with every text literal ('…' → '?'), date literal (#…# → #?#) and free-standing
// number replaced, so that its shape stays readable and none of its values does.
QString elide_statement_values(const QString& statement);

// One log line for a refused statement.
void log_database_error(const QString& statement, const QString& message);
