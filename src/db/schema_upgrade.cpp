#include "db/schema_upgrade.h"

#include "db/deleted_rows_schema.h"
#include "db/sync_schema.h"
#include "db/received_mail_schema.h"
#include "db/text_fold.h"

namespace {

const QString kVersionTable = QStringLiteral("sales_schema");

// ---- step 1: folded reading and partial search

QStringList folded_search_statements(Dialect d) {
    switch (d) {
        case Dialect::Sqlite:
            // NOCASE lets LIKE 'prefix%' use the index, as for 顧客名かな.
            return {QStringLiteral("alter table 顧客 add column 検索かな text collate nocase"),
                    QStringLiteral("alter table 顧客 add column 検索文字列 text"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
        case Dialect::MySql:
            return {QStringLiteral("alter table 顧客 add column 検索かな varchar(255)"),
                    QStringLiteral("alter table 顧客 add column 検索文字列 text"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
        case Dialect::SqlServer:
            return {QStringLiteral("alter table 顧客 add 検索かな nvarchar(255)"),
                    QStringLiteral("alter table 顧客 add 検索文字列 nvarchar(max)"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
    }
    return {};
}

// The embedded file finds parts of the search text through a trigram index. It reads the text from
// 顧客 itself (external content); the triggers keep it in step with every write, by this program or
// any other, with no function of the program's own.
const QStringList kTrigramStatements = {
    QStringLiteral("create virtual table 顧客検索 using fts5(検索文字列, content='顧客', "
                   "content_rowid='顧客ID', tokenize='trigram')"),
    QStringLiteral("insert into 顧客検索(顧客検索) values('rebuild')"),
    QStringLiteral("create trigger 顧客検索_ai after insert on 顧客 begin "
                   "insert into 顧客検索(rowid, 検索文字列) values (new.顧客ID, new.検索文字列); end"),
    QStringLiteral("create trigger 顧客検索_ad after delete on 顧客 begin "
                   "insert into 顧客検索(顧客検索, rowid, 検索文字列) values ('delete', old.顧客ID, "
                   "old.検索文字列); end"),
    QStringLiteral("create trigger 顧客検索_au after update on 顧客 begin "
                   "insert into 顧客検索(顧客検索, rowid, 検索文字列) values ('delete', old.顧客ID, "
                   "old.検索文字列); "
                   "insert into 顧客検索(rowid, 検索文字列) values (new.顧客ID, new.検索文字列); end"),
    // The index's own pieces, read to find two typed characters as the start of a piece.
    QStringLiteral("create virtual table 顧客検索_語 using fts5vocab(顧客検索, 'row')"),
};

// Fills both folded columns of the customers the condition selects.
int fill_search_columns(Database& db, const QString& condition) {
    const ResultTable rows = db.query_rows(
        QStringLiteral("select 顧客ID,coalesce(顧客名,''),coalesce(顧客名かな,''),coalesce(住所,''),"
                       "coalesce(TEL,''),coalesce(FAX,''),coalesce(携帯,''),coalesce(Email,''),"
                       "coalesce(担当者,'') from 顧客") +
            condition,
        9);
    for (int r = 1; r <= rows.row_count(); ++r) {
        const QString text = customer_search_text(rows(1, r), rows(3, r), rows(8, r), rows(7, r),
                                                  {rows(4, r), rows(5, r), rows(6, r)});
        db.execute_sql(QStringLiteral("update 顧客 set 検索かな=%1, 検索文字列=%2 where 顧客ID=%3")
                           .arg(sql_text(folded_reading(rows(2, r))), sql_text(text), rows(0, r)));
    }
    return rows.row_count();
}

void folded_search_apply(Database& db) {
    fill_search_columns(db, QString());
    if (db.dialect() != Dialect::Sqlite)
        return;
    for (const QString& s : kTrigramStatements)
        db.execute_sql(s);
}

// ---- the runner

bool version_table_exists(Database& db) {
    const QString statement =
        db.dialect() == Dialect::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where type='table' and name='%1'")
        : db.dialect() == Dialect::MySql
            ? QStringLiteral(
                  "select count(*) from information_schema.tables where table_schema=database() "
                  "and table_name='%1'")
            : QStringLiteral("select count(*) from information_schema.tables where table_name='%1'");
    return db.query_rows(statement.arg(kVersionTable), 1)(0, 1).toInt() > 0;
}

// MySQL commits each DDL statement, so a step cut short is run again from its start: what it made
// the first time is passed over.
bool already_made(const DatabaseError& e) {
    const QString m = e.message();
    return m.contains(QLatin1String("Duplicate column name")) ||
           m.contains(QLatin1String("Duplicate key name"));
}

void run_step(Database& db, const SchemaStep& step) {
    if (step.statements) {
        for (const QString& s : step.statements(db.dialect())) {
            try {
                db.execute_sql(s);
            } catch (const DatabaseError& e) {
                if (db.dialect() != Dialect::MySql || !already_made(e))
                    throw;
            }
        }
    }
    if (step.apply)
        step.apply(db);
    db.execute_sql(QStringLiteral("update %1 set version=%2").arg(kVersionTable).arg(step.version));
}

void make_version_table(Database& db) {
    db.execute_sql(QStringLiteral("create table %1 (version int)").arg(kVersionTable));
    db.execute_sql(QStringLiteral("insert into %1 (version) values(0)").arg(kVersionTable));
}

// The version table with its one row: a table left without a row (a first run cut short on MySQL,
// where the create commits on its own) would otherwise keep version 0 whatever the steps record.
void ensure_version_row(Database& db) {
    if (!version_table_exists(db)) {
        make_version_table(db);
        return;
    }
    if (db.query_rows(QStringLiteral("select count(*) from %1").arg(kVersionTable), 1)(0, 1).toInt() == 0)
        db.execute_sql(QStringLiteral("insert into %1 (version) values(0)").arg(kVersionTable));
}

DatabaseError newer_database(int stored, int program) {
    return DatabaseError(QStringLiteral("このデータベースは新しい版の営業手帳で使われています"
                                        "（データベースの版 %1、このプログラムの版 %2）。\n"
                                        "データを守るため開きません。新しい版のプログラムをお使いください。")
                             .arg(stored)
                             .arg(program));
}

// MySQL commits each DDL statement, so no transaction keeps two PCs apart: a lock of the server,
// named after the database and held by the connection until it is released, does.
class UpgradeLock {
public:
    explicit UpgradeLock(Database& db) : m_db(db) {
        const QString got = m_db.query_rows(
            QStringLiteral("select get_lock(concat('sales_schema_upgrade.', database()), 120)"), 1)(0, 1);
        if (got != QLatin1String("1"))
            throw DatabaseError(QStringLiteral(
                "ほかのPCがデータベースの版を更新しています。しばらく待ってからもう一度起動してください。"));
    }
    ~UpgradeLock() {
        try {
            m_db.query_rows(
                QStringLiteral("select release_lock(concat('sales_schema_upgrade.', database()))"), 1);
        } catch (const DatabaseError&) {
            // The server releases it with the connection anyway.
        }
    }
    UpgradeLock(const UpgradeLock&) = delete;
    UpgradeLock& operator=(const UpgradeLock&) = delete;

private:
    Database& m_db;
};

void run_steps_after(Database& db, int from) {
    for (const SchemaStep& step : schema_steps())
        if (step.version > from)
            run_step(db, step);
}

}  // namespace

const std::vector<SchemaStep>& schema_steps() {
    // To add a step: one line here, with the next number; never change a step once released.
    static const std::vector<SchemaStep> steps = {
        {1, QStringLiteral("顧客の読みと部分一致の検索"), folded_search_statements, folded_search_apply},
        {2, QStringLiteral("削除済みデータ"), {}, ensure_deleted_rows_table},
        {3, QStringLiteral("削除済みデータのキーの種類"), deleted_rows_key_kind_statements, {}},
        {5, QStringLiteral("受信メールの記録"), {}, ensure_received_mail_table},
        {6, QStringLiteral("持ち出しと同期"), {}, ensure_sync_tables},
    };
    return steps;
}

int current_schema_version() {
    return schema_steps().empty() ? 0 : schema_steps().back().version;
}

int stored_schema_version(Database& db) {
    if (!version_table_exists(db))
        return 0;
    const ResultTable rows =
        db.query_rows(QStringLiteral("select max(version) from %1").arg(kVersionTable), 1);
    return rows.row_count() == 0 ? 0 : rows(0, 1).toInt();
}

bool upgrade_schema(Database& db, const std::function<void(int, int)>& before_changes) {
    const int from = stored_schema_version(db);
    const int to = current_schema_version();
    if (from > to)
        throw newer_database(from, to);
    if (from == to)
        return false;
    if (before_changes)
        before_changes(from, to);
    // Another PC may have upgraded the database since the version was read: it is read again once
    // this connection alone may change it, and only the steps still missing then are run.
    if (db.dialect() == Dialect::MySql) {
        const UpgradeLock lock(db);
        ensure_version_row(db);  // committed before any step, so a run cut short continues later
        const int now = stored_schema_version(db);
        if (now > to)
            throw newer_database(now, to);
        if (now == to)
            return false;
        Transaction tx(db);
        run_steps_after(db, now);
        tx.commit();
        return true;
    }
    // The embedded file's transaction takes the write lock at its start; SQL Server's takes an
    // exclusive lock of its own for the upgrade.
    Transaction tx(db);
    if (db.dialect() == Dialect::SqlServer)
        db.execute_sql(
            QStringLiteral("exec sp_getapplock @Resource='sales_schema_upgrade', @LockMode='Exclusive', "
                           "@LockOwner='Transaction', @LockTimeout=120000"));
    ensure_version_row(db);
    const int now = stored_schema_version(db);
    if (now > to)
        throw newer_database(now, to);
    if (now == to) {
        tx.commit();
        return false;
    }
    run_steps_after(db, now);
    tx.commit();
    return true;
}

void create_schema_version(Database& db) {
    make_version_table(db);
    run_steps_after(db, 0);
}

int fill_missing_search_columns(Database& db) {
    if (stored_schema_version(db) < 1)
        return 0;
    Transaction tx(db);
    const int filled = fill_search_columns(db, QStringLiteral(" where 検索文字列 is null"));
    tx.commit();
    return filled;
}

bool is_search_column(const QString& column) {
    return column.compare(QStringLiteral("検索かな"), Qt::CaseInsensitive) == 0 ||
           column.compare(QStringLiteral("検索文字列"), Qt::CaseInsensitive) == 0;
}

void refresh_search_columns(Database& db, const QString& customer_id) {
    bool numeric = false;
    customer_id.toLongLong(&numeric);
    if (numeric && stored_schema_version(db) >= 1)
        fill_search_columns(db, QStringLiteral(" where 顧客ID=") + customer_id);
}
