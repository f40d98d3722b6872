#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <functional>
#include <limits>
#include <optional>

#include "sync/sync_rows.h"
#include "sync/sync_tables.h"

class Database;

// Laptop rows that keep their own version when the copy is brought up to date: rows changed on
// the laptop whose changes are still waiting (a conflict left for later, or written meanwhile).
struct KeptRows {
    QSet<qint64> rowids;     // the laptop's rows (rowid)
    QSet<QString> keys;      // Given tables: key values whose office row stays out
    QVector<SyncRow> bases;  // Unkeyed tables: the office rows they stand for, one each
};

// Rows this sync wrote into the office database, by table: keys (Numbered, Given) or row signatures
// (Unkeyed) with their counts. They come back to the laptop but are not counted as received.
using OwnRows = QHash<QString, QHash<QString, int>>;

struct CopyCounts {
    int inserted = 0;
    int updated = 0;
    int deleted = 0;
    int received = 0;  // of those, the rows another PC changed (not this sync's own)
};

// Checksums the office makes of its rows piece by piece (2,000 keys of a table, or of the orders its
// lines belong to), kept on the laptop whenever its copy is made the same as the office's. A piece
// whose checksum has not changed since, and that holds no row the laptop changed, is not read again:
// bringing a copy up to date reads what changed, not the whole office database. An office that cannot
// make the checksums (an embedded file) is read whole.
class PieceSums {
public:
    PieceSums(Database& laptop, Database& office);
    // A row the laptop changed, by its key or (rows without a key) its parent's key; the piece is read.
    void mark(const QString& table, const SyncRow& row, const TableShape& shape);
    // The pieces of the table to read, in order, by the column they are cut by; nothing when the office
    // makes no checksums.
    std::optional<QList<qint64>> to_read(const TableShape& shape, int column);
    // Keeps the checksums read by to_read on the laptop (in the caller's transaction).
    void save();

private:
    Database& m_laptop;
    Database& m_office;
    QHash<QString, QSet<qint64>> m_marked;
    QHash<QString, QHash<qint64, QString>> m_sums;
};

inline constexpr qint64 kPieceKeys = 2000;
inline constexpr qint64 kNullPiece = std::numeric_limits<qint64>::min();
inline const QString kPieceSumsTable = QStringLiteral("持ち出し区間");
// The column a table's rows are cut into pieces by: its key, or for rows without one the first column
// that points to another table; -1 for none.
int piece_column(const TableShape& shape);

// A row's text for comparing unkeyed rows (numbers as numbers).
QString row_signature(const TableShape& shape, const SyncRow& row);
// The key of a row of a Given table as compared (numbers as numbers).
QString row_key_text(const TableShape& shape, const SyncRow& row);

// Makes every synced table of the laptop hold the office's rows, except the kept rows, whose laptop
// version stays. Runs inside the caller's laptop transaction, with recording off; reads the office
// as it is (the caller holds a read snapshot). Throws DatabaseError.
CopyCounts copy_office_rows(
    Database& laptop, Database& office, const QVector<TableShape>& shapes,
    const QHash<QString, KeptRows>& kept, const OwnRows& own, PieceSums& pieces,
    const std::function<void(int done, int total, const QString& table)>& progress = {},
    const std::function<void()>& after_table = {});

// Holds a consistent read of the office database for the copy: a read transaction where the back-end
// gives one without blocking other writers.
class OfficeSnapshot {
public:
    explicit OfficeSnapshot(Database& office);
    ~OfficeSnapshot();
    OfficeSnapshot(const OfficeSnapshot&) = delete;
    OfficeSnapshot& operator=(const OfficeSnapshot&) = delete;

private:
    Database& m_office;
    bool m_open = false;
};

// The largest key of the office's numbered tables that is too large for a copy (at or above the
// laptop's own keys); throws DatabaseError naming the table when one is.
void refuse_large_office_keys(Database& office, const QVector<TableShape>& shapes);

// Sets each numbered table's counter so the laptop's new rows are numbered above kLaptopKeyBase.
void number_laptop_rows_apart(Database& laptop, const QVector<TableShape>& shapes);
