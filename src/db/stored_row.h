#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class Database;

// One row as the database holds it, every column's text with NULL told apart from any text. A
// screen keeps the row it showed, so that a save can find out whether another PC changed or deleted
// it in the meantime. A row known only from a list's texts (NULL read as "-") has no nulls.
struct StoredRow {
    bool found = false;
    QStringList values;
    QVector<bool> nulls;
    bool operator==(const StoredRow& other) const = default;
};

// The row a list showed, column by column as query_rows gave it.
StoredRow row_from_texts(const QStringList& texts);
// The row's texts as query_rows gives them (NULL as "-").
QStringList row_texts(const StoredRow& row);

// A row addressed by its key; key is spliced as it stands (a checked number or a sql_text literal).
struct RowAddress {
    QString table;
    QString key_column;
    QString key;
};

StoredRow read_stored_row(Database& db, const RowAddress& row);

// What a save found when it compared the shown row with the stored one: Clear means nobody else
// changed it (and the save went ahead).
enum class WriteCheck { Clear, Changed, Deleted };

// Run first inside the save's transaction: takes the row's write lock (the file's on the embedded
// back-end), so no other PC can change it before the save commits, then compares. stored, when
// given, receives the row as stored now.
WriteCheck check_stored_row(Database& db, const RowAddress& row, const StoredRow& shown,
                            StoredRow* stored = nullptr);

// The save of a shown row in one transaction: with shown given, the row is checked first, and write
// runs only when the check is Clear. stored, when given, receives the row as stored now: after the
// save when Clear, the other PC's row when Changed. Without shown, write runs as it always did.
WriteCheck write_checked(Database& db, const RowAddress& row, const StoredRow* shown, StoredRow* stored,
                         const std::function<void()>& write);

inline const QString kChangedByOtherQuestion =
    QStringLiteral("表示した後に他の担当者が変更しています。上書きしますか？");
inline const QString kDeletedByOtherMessage = QStringLiteral("表示した後に他の担当者が削除しています。");
