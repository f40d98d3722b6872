#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "db/result_table.h"
#include "sync/sync_tables.h"

class Database;

// One row of a synced table as both sides compare it: every column's text, NULL told apart from any
// text. A row kept by the journal before columns were added has fewer values: the missing ones are
// unknown and compared with nothing.
struct SyncRow {
    QStringList values;
    QVector<bool> nulls;

    bool is_null(int c) const { return c >= nulls.size() || nulls.at(c); }
    QString value(int c) const { return is_null(c) ? QString() : values.at(c); }
    qint64 number(int c, bool* ok = nullptr) const;
    void set(int c, const QString& value);
};

// The select list of every column followed by the columns that tell which are NULL (one whole number
// per 30 columns), and how many result columns it gives.
QString row_select_list(const TableShape& shape);
int row_select_width(const TableShape& shape);
// The row of a result made with row_select_list, starting at result column first.
SyncRow result_row(const ResultTable& result, int row, int first, const TableShape& shape);

// A row as the journal's triggers keep it (a JSON array).
SyncRow json_row(const QString& json);

// A decimal number as SQL writes it (sign, digits, point, exponent; blanks around allowed).
bool parse_number(const QString& text, double* value);

// The SQL literal of a column's value: NULL, a bare number for numeric columns holding one, else text.
QString row_literal(const TableShape& shape, const SyncRow& row, int c);

// Whether two rows hold the same value in column c (numbers as numbers in numeric columns; an
// unknown value matches anything).
bool same_value(const TableShape& shape, const SyncRow& a, const SyncRow& b, int c);
// Same in every column that is sent (derived columns left out; the key too when skip_key).
bool same_row(const TableShape& shape, const SyncRow& a, const SyncRow& b, bool skip_key);

// A one-line description of a row for lists: its name or title and its key.
QString row_caption(const TableShape& shape, const SyncRow& row, const QString& key);

// "select top n ..." or "select ... limit n", as the back-end takes a first-rows limit.
QString first_rows(Database& db, const QString& select_list, const QString& rest, int n);
