#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// How a table is written for Excel in Japan: UTF-8 with a byte-order mark, or Shift_JIS (Windows-31J).
enum class CsvEncoding { Utf8Bom, ShiftJis };

// Which values go between double quotes: only those that need it (a comma, a quote, a line break,
// blanks at either end), or every value (the form the customer and goods imports read back).
enum class CsvQuoting { WhereNeeded, Every };

// A text that Excel would take for a formula (it begins with =, +, -, @, a tab or a carriage return)
// gets a leading apostrophe, so Excel shows it as text and runs nothing; a plain number such as -500
// or +1,234.5 stays a number. Texts of incoming mail (inquiry titles, senders) reach the files.
QString excel_text_cell(const QString& value);
// The same protection, reversible, for files written to be read back (sales-cli export): a value that
// begins with one of those characters or with an apostrophe gets one apostrophe more, and
// read_back_cell takes exactly one away again.
QString round_trip_cell(const QString& value);
QString read_back_cell(const QString& value);

// The rows (headings first, when the table has them) as CSV bytes: CRLF line ends, a quote inside a
// value doubled, every value passed through excel_text_cell. On a character that Shift_JIS cannot
// hold, returns an empty array and sets error.
QByteArray table_csv(const QVector<QStringList>& rows, CsvEncoding encoding, QString* error = nullptr,
                     CsvQuoting quoting = CsvQuoting::WhereNeeded);

// Writes table_csv into path through a temporary file, so a failure leaves an existing file as it
// was. False with a Japanese message on failure (message is emptied on success).
bool save_table_csv(const QString& path, const QVector<QStringList>& rows, CsvEncoding encoding,
                    QString& message, CsvQuoting quoting = CsvQuoting::WhereNeeded);
