#pragma once

class Database;

// While it lives, a write of many rows to the embedded file keeps its undo in a rollback journal
// beside the file instead of the write-ahead log, when no other connection has the file open: pages
// added past the file's old end need no journal, so they are written once, not into the log and
// then again into the file. Synced in full meanwhile. Back to the write-ahead log when it goes.
// Does nothing on a server, inside a transaction, or while anyone else has the file open (it never
// waits for them).
class BulkJournal {
public:
    explicit BulkJournal(Database& db);
    ~BulkJournal();
    BulkJournal(const BulkJournal&) = delete;
    BulkJournal& operator=(const BulkJournal&) = delete;

    bool active() const { return m_active; }

private:
    Database& m_db;
    bool m_active = false;
};
