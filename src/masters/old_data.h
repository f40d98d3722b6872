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

// The rows delete_old_data would remove from each table, in the same order, without removing them.
QVector<DeletedRows> count_old_data(Database& db, const QString& cutoff);
// The question before deleting: the counts, their sum, and "本当に削除しますか".
QString old_data_question(const QVector<DeletedRows>& counts);
// The suggestion to take a backup first.
inline const QString kBackupFirstQuestion =
    QStringLiteral("消去したデータは元に戻せません。消去する前にバックアップを取りますか？");

// "削除しました" and the counts, one table per line.
QString deleted_rows_message(const QVector<DeletedRows>& deleted);
