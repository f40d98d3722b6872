#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// One row of an analysis grid: the key it was computed for (customer or goods id, not shown) and
// the cells in the grid's column order.
struct RankedRow {
    QString id;
    QStringList cells;
};

// An analysis as a grid shows it: the column headings and the rows in their shown order.
struct Ranking {
    QStringList headings;
    QVector<RankedRow> rows;
};

// The leading number of a text, 0 when it has none: blanks before it are skipped, a sign and a
// fraction are taken, anything after the number is ignored ("30 " -> 30, "5点" -> 5, "abc" -> 0).
double leading_number(const QString& text);

// A sum cell as the database returns it, as a 64-bit whole number. NULL ("-"), empty and
// unreadable cells count as 0; a fraction is rounded.
qint64 sum_value(const QString& cell);

// A number written with up to 15 significant digits, no trailing zeros and never in exponent form
// (100000 / 3 -> "33333.3333333333", 2.50 -> "2.5", 1e16 -> "10000000000000000").
QString number_text(double value);

// The start of the one-year period ending today: the same day a year earlier; on February 29 the
// day before, February 28, as the earlier year has no February 29.
QDate period_start(const QDate& today);

// Whether every non-empty cell of the column is a number, so the column sorts as numbers.
bool is_numeric_column(const QVector<RankedRow>& rows, int column);

// The order in which to show the rows, sorted by the column: numbers as numbers (an empty cell
// counts 0), other columns as text. The sort is stable: rows with equal values keep the order in
// which they stand in rows.
QVector<int> sorted_order(const QVector<RankedRow>& rows, int column, bool descending);

// Sorts the rows by the column, numerically, largest first, keeping the order of equal rows. Cells
// that are not numbers count 0.
void sort_largest_first(QVector<RankedRow>& rows, int column);

// The whole-number counts of "select KEY,count(*) from TABLE group by KEY" by key; rows without a
// key are left out.
QHash<QString, qint64> counts_by_key(Database& db, const QString& table, const QString& key);
// The names of "select KEY,NAME from TABLE" by key.
QHash<QString, QString> names_by_key(Database& db, const QString& table, const QString& key,
                                     const QString& name);
