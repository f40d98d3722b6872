#include "db/bulk_journal.h"

#include "db/database.h"

namespace {

QString journal_mode(Database& db, const QString& mode) {
    return db.query_rows(QStringLiteral("PRAGMA journal_mode = ") + mode, 1)(0, 1).toLower();
}

}  // namespace

BulkJournal::BulkJournal(Database& db) : m_db(db) {
    if (db.dialect() != Dialect::Sqlite)
        return;
    // Leaving the log takes the file for this connection alone: another one open is no reason to wait.
    db.execute_sql(QStringLiteral("PRAGMA busy_timeout = 0"));
    try {
        m_active = journal_mode(db, QStringLiteral("DELETE")) == QLatin1String("delete");
    } catch (const DatabaseError&) {
        // busy, or inside a transaction: the log stays
    }
    db.execute_sql(QStringLiteral("PRAGMA busy_timeout = %1").arg(kSqliteBusyTimeoutMs));
    if (m_active)
        db.execute_sql(QStringLiteral("PRAGMA synchronous = FULL"));
}

BulkJournal::~BulkJournal() {
    if (!m_active)
        return;
    try {
        m_db.execute_sql(QStringLiteral("PRAGMA synchronous = NORMAL"));
        journal_mode(m_db, QStringLiteral("WAL"));
    } catch (const DatabaseError&) {
        // A reader that kept the file past the busy wait: the next connection opened sets the log again.
    }
}
