#pragma once

#include <QDate>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/session.h"
#include "sync/office.h"
#include "sync/sync_run.h"

// A laptop's program folder taken out of an office database, with a session on it as the program
// opens it (sales.ini, the copy, the start-up values).
class LaptopCopy {
public:
    LaptopCopy(Database& office, const OfficeIdentity& identity, const QDate& today = QDate(2026, 12, 8),
               const QString& employee = QString());

    QString path() const { return m_dir.path() + QStringLiteral("/laptop"); }
    Session& session() { return *m_session; }
    Database& db() { return *m_session->db; }
    void exec(const QString& statement) { db().execute_sql(statement); }
    QString value(const QString& statement) { return db().query_rows(statement, 1)(0, 1); }

    // Syncs with the office the copy names, deciding every conflict with choice (Stop: left for later).
    SyncSummary sync(SyncDecision::Choice choice = SyncDecision::Stop,
                     const std::function<void(int, int)>& cut = {});
    SyncSummary sync(const ConflictResolver& resolve, const std::function<void(int, int)>& cut = {});
    // Opens the session again, as a restart of the program after a cut does.
    void reopen();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_session;
};

// Every row of a table as text, in a fixed order, NULL as "(null)"; the folded search columns left
// out unless asked for. For comparing two databases.
QStringList table_dump(Database& db, const QString& table, bool with_derived = false);
// table_dump of every design table and 削除済みデータ's kind, table and key columns.
QStringList database_dump(Database& db);
