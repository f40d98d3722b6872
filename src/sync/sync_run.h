#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class Database;

// 同期: the laptop's changes go into the office database, then the laptop's copy is brought up to
// date with the office's.
//
// Each row changed on the laptop is one change: what the journal kept since the last sync, from the
// row as it was taken out (or brought up to date) to the row as it is now. A new row gets the
// office's own key, and rows that point to it follow. A changed or deleted row goes through the write
// check against the row as taken out: when the office changed or deleted it meanwhile, the row is a
// conflict and the caller decides. Each change is applied in one office transaction together with
// the record of its identifier, so a sync cut anywhere and run again applies every change once.

enum class ConflictKind {
    BothChanged,              // changed on the laptop and in the office
    ChangedHereDeletedThere,  // changed on the laptop, deleted in the office
    DeletedHereChangedThere,  // deleted on the laptop, changed in the office
    BothAdded,                // added on both sides under the same key (a template's name)
    ParentDeleted,            // rows added or moved on the laptop belong to a row the office deleted
    RowNotFound,              // a row without a key (an order line) changed, and the office's is gone
};

// One conflict as the user sees it: both versions, column by column.
struct SyncConflict {
    ConflictKind kind = ConflictKind::BothChanged;
    QString table;
    QString key;      // the office's key of the row ("" for a row without one)
    QString caption;  // the row in words: 顧客「山田商店」（顧客ID 12）
    QStringList columns;
    QStringList laptop;  // values on the laptop (empty when it deleted the row)
    QStringList office;  // values in the office (empty when it deleted the row)
    QVector<bool> laptop_nulls;
    QVector<bool> office_nulls;
    bool laptop_exists = true;
    bool office_exists = true;

    // A field-by-field choice makes sense only when both sides hold the row.
    bool fields_choosable() const { return laptop_exists && office_exists; }
    QString description() const;
    // The columns whose values differ.
    QStringList differing_columns() const;
};

struct SyncDecision {
    enum Choice { Laptop, Office, Fields, Stop };
    Choice choice = Stop;
    QSet<QString> laptop_columns;  // Fields: the columns taken from the laptop; the rest stay the office's
};

using ConflictResolver = std::function<SyncDecision(const SyncConflict&)>;

// The command line's --on-conflict: stop, office or laptop.
ConflictResolver fixed_resolver(SyncDecision::Choice choice);

struct SyncOptions {
    QString employee;          // named with deletes the laptop kept no restorable copy of
    ConflictResolver resolve;  // empty: every conflict is left for later
    // Called before each change and each table of the refresh; false stops sending (what was sent stays).
    std::function<bool(int done, int total, const QString& label)> progress;
    // Tests: called at every point where a sync can be cut (before and after each commit).
    std::function<void(int point, int points)> cut;
};

struct SyncSummary {
    int sent = 0;
    int received = 0;
    int conflicts = 0;
    int waiting = 0;  // changes kept on the laptop for the next sync
    bool cancelled = false;
    QStringList conflict_lines;                      // each conflict and what became of it
    QStringList failures;                            // changes the office refused, with its reason
    QStringList held;                                // changes that wait for another change left for later
    QHash<QString, QHash<qint64, qint64>> new_keys;  // table → laptop key → office key

    // "N 件送信, M 件受信, K 件の競合"
    QString text() const;
    // The summary with every conflict and failure listed.
    QString report() const;
    // 0 when everything was sent, 3 when conflicts were left for later, 1 when the office refused a change.
    int exit_status() const;
};

// Runs the sync of the laptop's copy with the office database (both open). Throws DatabaseError
// when it cannot run at all (not a copy, versions differ, another sync of this copy is running, the
// connection was lost); what was committed until then stays, and running it again goes on.
SyncSummary synchronize(Database& laptop, Database& office, const SyncOptions& options);
