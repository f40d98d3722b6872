#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class Database;

// The cut-off proposed on opening: the same day one year back, as typed text (on February 29 the
// previous year's "02/29", which the date check pulls back to the 28th).
QString proposed_cutoff(const QDate& today);

struct DeletedRows {
    QString table;
    int count = 0;
};

// Deletes every activity row dated before the cut-off (yyyy/mm/dd, already checked) in one
// transaction: all seven tables or none. Returns the number of rows removed from each, in order.
QVector<DeletedRows> delete_old_data(Database& db, const QString& cutoff);

// "削除しました" and the counts, one table per line.
QString deleted_rows_message(const QVector<DeletedRows>& deleted);
