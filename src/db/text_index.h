#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "db/dialect.h"

class Database;

// A substring index of one text column, kept by the program itself in two tables of its own, for the
// back-ends that have none (MySQL/MariaDB). Every two characters of a text are a piece; a piece's row
// per block of 256 keys lists, for each key of the block holding it, where in the text it stands. A
// term is then found from the rows of a few of its pieces: the positions tell whether they stand
// side by side, so the answer is exactly "the text holds the term", with no second look at the texts.
// The other table keeps the text each key was indexed with, so that a change takes out exactly what
// went in, whenever and by whatever the column was written.
//
// Written in the caller's transaction: the index stands or falls with the rows it describes.
struct TextIndex {
    QString table;    // the indexed table
    QString key;      // its key column, a whole number
    QString column;   // the indexed text column
    QString pieces;   // piece, block, occurrences
    QString indexed;  // key, the text as indexed
};

// The create statements of both tables; empty for back-ends that need no index of the program's own.
QStringList text_index_statements(const TextIndex& index, Dialect dialect);
bool has_text_index(Dialect dialect);

// Brings the index in step with the column for these keys; keys whose row is gone leave it.
void update_text_index(Database& db, const TextIndex& index, const QVector<qint64>& keys);

// Rows the index lacks, or holds though they are gone (written by another program or an older copy
// of this one), brought in step. Returns how many keys it changed.
int repair_text_index(Database& db, const TextIndex& index);

// The keys whose text holds any of the terms, ascending.
QVector<qint64> search_text_index(Database& db, const TextIndex& index, const QStringList& terms);
